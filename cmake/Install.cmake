# Installing Kestrune as a Linux desktop program: `cmake --install` puts the
# executable in bin/, the report templates in share/kestrune/ and what
# desktops read (the desktop entry, the icon theme files, the AppStream
# metainfo) where they look for it. cmake/Package.cmake makes a .deb of the
# same tree.

include(GNUInstallDirs)
include(${CMAKE_CURRENT_LIST_DIR}/AppId.cmake)

if(NOT DEFINED KESTRUNE_ICON_DIR)
  message(FATAL_ERROR "tools/icons.cmake must be included before cmake/Install.cmake")
endif()

install(TARGETS kestrune RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/templates/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/kestrune
        FILES_MATCHING PATTERN "*.xls")
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${KESTRUNE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${KESTRUNE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${KESTRUNE_ICON_DIR}/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
# Where Debian and its derivatives look for a package's licence.
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kestrune
        RENAME copyright)

include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)
