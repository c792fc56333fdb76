#!/usr/bin/env bash
# An upload with no hardware: the virtual clock in the background, the program in front.
#   scripts/demo.sh BUILD_DIR
# RZ8_CLOCK_LINK moves the clock's port link (default /tmp/rz8-clock).
set -euo pipefail

if [ $# -ne 1 ]; then
    echo "Usage: $0 BUILD_DIR" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
top=$(cd "$(dirname "$0")/.." && pwd)
clock_exe="$build/tools/rz8-virtual-clock"
app_exe="$build/app/rz8-filoverforing"
example="$top/examples/stevne.RZ7"
link=${RZ8_CLOCK_LINK:-/tmp/rz8-clock}
log="${link}.log"

for exe in "$clock_exe" "$app_exe"; do
    if [ ! -x "$exe" ]; then
        echo "Not built: $exe" >&2
        exit 1
    fi
done

# The clock prints its port line first; read that, then pass the rest of its output on.
exec 3< <(exec "$clock_exe" --link "$link" --log "$log" 2>&1)
clock_pid=$!
forward_pid=
stop_clock() {
    kill -TERM "$clock_pid" 2>/dev/null || true
    if [ -n "$forward_pid" ]; then
        wait "$forward_pid" 2>/dev/null || true
    fi
}
trap stop_clock EXIT

if ! IFS= read -r -t 10 -u 3 first || [[ $first != "Open this port"* ]]; then
    echo "The virtual clock did not start: ${first:-no output}" >&2
    exit 1
fi
IFS= read -r -t 1 -u 3 _ || true # "Stop with Ctrl-C.": the program's end stops it here
cat <&3 &
forward_pid=$!
exec 3<&-

echo "Virtuell klokke klar: ${first#*: }"
echo "Velg filen $example i programmet,"
echo "skriv $link i portfeltet og trykk «Send data»."
echo "Klokkens hex-logg skrives til $log når programmet avsluttes."

status=0
"$app_exe" || status=$?
exit "$status"
