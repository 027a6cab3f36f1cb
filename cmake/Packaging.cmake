# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: `cpack -G DEB` in the build folder (or scripts/package.sh) writes
# pagewick_VERSION_ARCH.deb from what `cmake --install` puts under /usr.

set(CPACK_PACKAGE_NAME pagewick)
set(CPACK_PACKAGE_VENDOR "The Pagewick developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "list the PDF files of a folder with their document properties")
# One string: set() with several would make a list, and its semicolons would reach the control
# file.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Pagewick opens a folder and shows every PDF file in it with the properties\n"
    "stored inside: title, subject, author, keywords, producer, creation date,\n"
    "encryption, page count, size and PDF version. The list can be sorted by any\n"
    "column, files can be opened from it, and the list can be saved as a\n"
    "comma-separated file. The user interface is Japanese. pagewick-list and\n"
    "pagewick-info print the list and the properties without a window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(PAGEWICK_MAINTAINER "The Pagewick developers <maintainers@users.noreply.c-seed-95820db3.example>"
    CACHE STRING "The Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PAGEWICK_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from dpkg-shlibdeps (package dpkg-dev). What it cannot see: Qt's window
# system plugins are loaded at run time, and the desktop's associations and browser are asked
# through xdg-utils' commands.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(PAGEWICK_GUI)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, xdg-utils")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic, adwaita-icon-theme")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)

include(CPack)
