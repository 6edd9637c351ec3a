# kestrune-server-copy: moves a library between an encrypted data file and
# an empty PostgreSQL database, in either direction.
add_executable(kestrune-server-copy ${CMAKE_SOURCE_DIR}/tools/server-copy/main.cpp)
target_link_libraries(kestrune-server-copy PRIVATE kestrune_data)
kestrune_warnings(kestrune-server-copy)
