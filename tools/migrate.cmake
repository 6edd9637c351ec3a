# kestrune-migrate: brings an expert library in from an Access database file
# into a new data file, and lists the tables of any Access file.
add_executable(kestrune-migrate ${CMAKE_SOURCE_DIR}/tools/migrate/main.cpp)
target_link_libraries(kestrune-migrate PRIVATE kestrune_migrate)
kestrune_warnings(kestrune-migrate)
