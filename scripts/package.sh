#!/usr/bin/env bash
# Builds the Debian package in a release tree:
#   scripts/package.sh    writes build-release/rz8-filoverforing_VERSION_ARCH.deb
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/ensure-packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"

cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-release -j "$(nproc)"
# One package in the folder, so the install command's pattern names only this one.
rm -f build-release/rz8-filoverforing_*.deb
(cd build-release && cpack -G DEB >/dev/null)

deb=$(ls build-release/rz8-filoverforing_*.deb)
dpkg-deb --field "$deb" Package Version Depends Recommends Suggests
echo "Built $deb"
echo "Install it with: sudo apt install ./$deb"
