#!/usr/bin/env bash
# Installs a build tree into a temporary prefix and checks what the package would hold:
# exactly the expected files, a valid desktop entry whose Exec and Icon resolve there,
# and installed programs that start.
#   tst_install.sh BUILD_DIR [CMAKE]
set -euo pipefail
build=$1
cmake=${2:-cmake}

tmp=$(mktemp -d "${TMPDIR:-/tmp}/rz8-install.XXXXXX")
app_pid=
cleanup() {
    if [ -n "$app_pid" ]; then
        kill -KILL "$app_pid" 2>/dev/null || true
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

prefix=$tmp/usr
"$cmake" --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1 ||
    { cat "$tmp/install.log" >&2; fail "cmake --install"; }

# The whole list, so a test, bench or library installed by mistake fails here as well.
expected="bin/rz8-fetch
bin/rz8-filoverforing
bin/rz8-send
bin/rz8-virtual-clock
share/applications/rz8-filoverforing.desktop
share/doc/rz8-filoverforing/examples/README.md
share/doc/rz8-filoverforing/examples/stevne.RZ7
share/icons/hicolor/64x64/apps/rz8-filoverforing.png
share/icons/hicolor/scalable/apps/rz8-filoverforing.svg"
installed=$(cd "$prefix" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort)
diff <(echo "$expected") <(echo "$installed") >&2 ||
    fail "installed files differ from the expected ones (< expected, > installed)"
for exe in "$prefix"/bin/*; do
    [ -x "$exe" ] || fail "not executable: $exe"
done

entry=$prefix/share/applications/rz8-filoverforing.desktop
# Hints and warnings count too: the entry is ours and can be clean.
report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $report"
[ -z "$report" ] || fail "desktop-file-validate: $report"

icon=$(sed -n 's/^Icon=//p' "$entry")
for size in 64x64/apps/"$icon".png scalable/apps/"$icon".svg; do
    [ -s "$prefix/share/icons/hicolor/$size" ] || fail "no icon hicolor/$size for Icon=$icon"
done

# The entry's Exec, field codes removed, run from the installed bin/ as a menu would.
exec_line=$(sed -n 's/^Exec=//p' "$entry" | sed 's/ *%[fFuUik]//g')
read -r -a command <<<"$exec_line"
[ -x "$prefix/bin/${command[0]}" ] || fail "Exec=$exec_line is no installed program"

run_env=(env PATH="$prefix/bin:$PATH" HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/home/.config"
    XDG_DATA_HOME="$tmp/home/.local/share" XDG_CACHE_HOME="$tmp/home/.cache")
mkdir -p "$tmp/home"

sanitizer_report() {
    grep -E 'AddressSanitizer|LeakSanitizer|runtime error:' "$1" >/dev/null
}

# The command-line programs load and answer --help.
for program in rz8-send rz8-fetch rz8-virtual-clock; do
    status=0
    timeout 10 "${run_env[@]}" "$program" --help >"$tmp/out" 2>"$tmp/err" || status=$?
    if [ "$status" -ne 0 ] || ! grep -q "$program" "$tmp/out" || sanitizer_report "$tmp/err"; then
        cat "$tmp/err" >&2
        fail "$program --help: status $status"
    fi
done

# The window: still running after two seconds, then ended by SIGTERM and by nothing else.
QT_QPA_PLATFORM=offscreen "${run_env[@]}" "${command[@]}" >"$tmp/app.out" 2>"$tmp/app.err" &
app_pid=$!
for _ in $(seq 20); do
    sleep 0.1
    if ! kill -0 "$app_pid" 2>/dev/null; then
        status=0
        wait "$app_pid" || status=$?
        app_pid=
        cat "$tmp/app.err" >&2
        fail "$exec_line ended on its own within two seconds, status $status"
    fi
done
kill -TERM "$app_pid"
status=0
wait "$app_pid" || status=$?
app_pid=
if [ "$status" -ne $((128 + 15)) ] || sanitizer_report "$tmp/app.err"; then
    cat "$tmp/app.err" >&2
    fail "$exec_line: status $status after SIGTERM"
fi
echo "PASS: installed $(echo "$installed" | wc -l) files; the programs start"
