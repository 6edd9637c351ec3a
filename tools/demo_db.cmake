# The demo database generator and the library the benchmarks share with it.
add_library(kestrune_demo STATIC ${CMAKE_SOURCE_DIR}/tools/demo/DemoDatabase.cpp)
target_include_directories(kestrune_demo PUBLIC ${CMAKE_SOURCE_DIR}/tools/demo)
# Projects are drawn with the program's own candidate filter and draws.
target_link_libraries(kestrune_demo PUBLIC kestrune_extraction)

add_executable(kestrune-demo-db ${CMAKE_SOURCE_DIR}/tools/demo/main.cpp)
target_link_libraries(kestrune-demo-db PRIVATE kestrune_demo)
