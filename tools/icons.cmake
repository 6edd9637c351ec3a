# The program's icon for desktops: make_icons paints the artwork the program
# shows (Artwork::PaintAppIcon) into an icon theme tree in the build folder,
# as SVG and as PNG at the usual sizes. cmake/Install.cmake installs the tree.

include(${CMAKE_SOURCE_DIR}/cmake/AppId.cmake)
find_package(Qt6 REQUIRED COMPONENTS Svg)

# The library that holds the artwork.
set(kestrune_artwork_library kestrune_ui)

add_executable(make_icons ${CMAKE_SOURCE_DIR}/tools/make_icons.cpp)
target_link_libraries(make_icons PRIVATE ${kestrune_artwork_library} Qt6::Svg Qt6::Gui)

set(KESTRUNE_ICON_DIR ${CMAKE_BINARY_DIR}/icons/hicolor)
set(icon_sizes 16 24 32 48 64 128 256)
set(icon_outputs ${KESTRUNE_ICON_DIR}/scalable/apps/${KESTRUNE_APP_ID}.svg)
foreach(size ${icon_sizes})
  list(APPEND icon_outputs ${KESTRUNE_ICON_DIR}/${size}x${size}/apps/${KESTRUNE_APP_ID}.png)
endforeach()

add_custom_command(
  OUTPUT ${icon_outputs}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
          $<TARGET_FILE:make_icons> ${KESTRUNE_ICON_DIR} ${KESTRUNE_APP_ID} ${icon_sizes}
  DEPENDS make_icons
  COMMENT "Painting the program icon"
  VERBATIM)
add_custom_target(app_icons ALL DEPENDS ${icon_outputs})
