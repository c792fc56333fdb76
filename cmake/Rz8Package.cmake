# The Debian package, built by `cpack` in a release tree (scripts/package.sh); the
# normal build never runs it.
set(RZ8_PACKAGE_MAINTAINER "Tavo Tid <rz8@tavotid.invalid>"
  CACHE STRING "Maintainer field of the Debian package: Name <address>")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rz8-filoverforing)
set(CPACK_PACKAGE_VENDOR "Tavo Tid")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Folders 0755 whatever the packager's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${RZ8_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.tavotid.no")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Depends from the programs' own libraries: Qt Core, Gui, Widgets and Svg (whose plugins
# draw the icons), libudev and the C++ runtime. Qt's X11 platform plugin ships in libqt6gui6.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libudev1 is linked, so it is a dependency; udev itself only announces an adapter that is
# plugged in, and without it the refresh button still finds it. The window is laid out for
# Liberation Sans, and Qt's own dialog texts come from the translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev, fonts-liberation2 | fonts-liberation, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-wayland")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "upload event files to RZ7/RZ8 sports-timing clocks")
# The summary is the first line of the package's description; this is the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "RZ8 Filoverføring sends the class definitions and competitor names of an
event's import file to an RZ7 or RZ8 handheld timing clock over a serial line:
an RS-232 port or a USB serial adapter, at 4800 baud. An adapter plugged in
while the program runs is found and selected on its own.

The package also holds rz8-send, the same upload from a terminal or a script;
rz8-fetch, which captures the records stored in a clock and decodes them; and
rz8-virtual-clock, a stand-in clock on a pseudo-terminal that, with the example
import file, lets one try an upload without hardware.")

include(CPack)
