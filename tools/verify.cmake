# kestrune-verify: re-checks the stored draws of a data file.
add_executable(kestrune-verify ${CMAKE_SOURCE_DIR}/tools/verify/main.cpp)
target_link_libraries(kestrune-verify PRIVATE kestrune_data)
kestrune_warnings(kestrune-verify)
