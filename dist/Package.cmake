# The Debian package: `cpack -G DEB` in the build folder writes tessa_VERSION_ARCH.deb with everything
# `cmake --install` puts in place, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessa)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Tessa project")
set(TESSA_PACKAGE_MAINTAINER "Tessa maintainers <maintainers@tessa.example>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${TESSA_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "companion of a stand-alone telephone call recorder")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Reads the SD card of a telephone call recorder when it is inserted, lists its calls, notes and
messages, plays the recordings with their waveform and backs them up into a dated folder tree, with a
SHA-256 list per month that proves every copy intact later. tessa-cli does the same without the window;
a systemd user unit runs it as a watcher that backs up each inserted card.")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)

# What the program loads at run time without linking it: the SVG icon engine and image plug-in, the
# desktop's programs for e-mail and the spreadsheet (xdg-email, xdg-open).
set(tessa_runtime_extras "libqt6svg6, xdg-utils")
find_program(TESSA_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(TESSA_DPKG_SHLIBDEPS)
    # The libraries the programs link, with their versions, as dpkg-shlibdeps reads them from the binaries.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "${tessa_runtime_extras}")
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libc6 (>= 2.36), libstdc++6 (>= 12), libgcc-s1, libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), \
libqt6widgets6 (>= 6.4), libqt6multimedia6 (>= 6.4), libqt6dbus6 (>= 6.4), libgsm1, libxlsxwriter4, \
libsoundtouch1, libssl3, ${tessa_runtime_extras}")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse")

include(CPack)
