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

install(TARGETS kestrune kestrune-verify kestrune-migrate kestrune-server-copy
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
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

# Manual pages and the changelog, compressed as Debian ships them (best
# compression, no name or time stamp, so the package is reproducible).
set(kestrune_man_pages kestrune kestrune-verify kestrune-migrate kestrune-server-copy)
set(kestrune_compressed)
foreach(page ${kestrune_man_pages})
  set(out ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/packaging/man/${page}.1 > ${out}
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/man/${page}.1 VERBATIM)
  list(APPEND kestrune_compressed ${out})
  install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
set(kestrune_changelog ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${kestrune_changelog}
  COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/packaging/changelog > ${kestrune_changelog}
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog VERBATIM)
add_custom_target(kestrune_docs ALL DEPENDS ${kestrune_compressed} ${kestrune_changelog})
install(FILES ${kestrune_changelog} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kestrune)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lintian/kestrune DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides)

include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)
