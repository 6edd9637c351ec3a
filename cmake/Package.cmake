# `cpack -G DEB` in the build folder makes a Debian package of the installed
# tree. The shared libraries the executable links give most dependencies
# (dpkg-shlibdeps); the rest are what it starts or loads at run time: the
# office for the reports, the CJK fonts for its Chinese screens, xdg-utils to
# open exported files and folders, and Qt's Chinese translations of its own
# dialog texts, and Qt's platform plugins (without them an install without
# recommended packages may have no way to show a window).

set(KESTRUNE_PACKAGE_MAINTAINER "Kestrune maintainers <maintainers@kestrune.io>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrune)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Kestrune developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "library of outside experts and draws of experts for projects")
# Lines of the extended description, wrapped as Debian's control files are.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "A desktop program for a personnel department. It keeps a library of outside"
  "experts in one password-protected database file, draws experts for projects"
  "(ticked by hand, at random, or stopped on a rolling display), stores each"
  "draw as dated records, and prints or exports the lists through spreadsheet"
  "templates with LibreOffice Calc. The screens and messages are in Simplified"
  "Chinese.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KESTRUNE_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libreoffice-calc-nogui | libreoffice-calc, fonts-noto-cjk, xdg-utils, qt6-translations-l10n, qt6-qpa-plugins")

# `make package_source`: the sources without build folders or version control.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\.git/" "/\\.git$" "/build[^/]*/" "/\\.cache/")

include(CPack)
