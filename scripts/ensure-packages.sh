# Sourced by ./run and ./test: installs the Debian packages named in
# $@ that are missing. Needs root for apt-get; otherwise says what to install.
ensure_packages() {
    local missing=()
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing Debian packages: ${missing[*]}" >&2
        echo "Install them as root: apt-get install ${missing[*]}" >&2
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

BUILD_PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools qt6-svg-dev
    libgl-dev libudev-dev fonts-dejavu-core fonts-liberation2 qt6-translations-l10n)
# The hot-plug test plays udev's announcements with umockdev; the fuzz targets need clang;
# the install test checks the desktop entry.
TEST_PACKAGES=(umockdev libumockdev-dev clang-14 libclang-rt-14-dev desktop-file-utils)
# cpack's Debian generator: dpkg-shlibdeps for Depends, file to find the programs.
PACKAGE_PACKAGES=(dpkg-dev file)
