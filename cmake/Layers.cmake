# One library per source folder. Each library sees only its own folder and
# the folders it links: a folder's headers are reachable through a private
# include root that holds just that folder, so an include that goes against
# the declared direction does not compile.
function(kestrune_layer name)
  cmake_parse_arguments(L "" "" "LINKS;QT;EXTRA" ${ARGN})
  set(root ${CMAKE_BINARY_DIR}/layers/${name})
  file(MAKE_DIRECTORY ${root})
  if(NOT EXISTS ${root}/${name})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${name} ${root}/${name} SYMBOLIC)
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${name}/*.cpp ${CMAKE_SOURCE_DIR}/src/${name}/*.h)
  add_library(kestrune_${name} STATIC ${sources})
  target_include_directories(kestrune_${name} PUBLIC ${root})
  set(deps)
  foreach(l ${L_LINKS})
    list(APPEND deps kestrune_${l})
  endforeach()
  set(qt)
  foreach(q ${L_QT})
    list(APPEND qt Qt6::${q})
  endforeach()
  target_link_libraries(kestrune_${name} PUBLIC ${deps} ${qt} ${L_EXTRA})
  kestrune_warnings(kestrune_${name})
endfunction()

# The project's own code builds without a warning; system headers are
# included as SYSTEM and do not count.
function(kestrune_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# A probe is a one-line source in layer `from` that includes a header of
# layer `to`; a test builds it and expects the build to fail when the include
# goes against the declared order, or to pass when it follows it.
function(kestrune_layer_probe from to header expect)
  set(name layer_probe_${from}_${to})
  set(src ${CMAKE_BINARY_DIR}/layer_probes/${name}.cpp)
  file(WRITE ${src} "#include \"${to}/${header}\"\n")
  add_library(${name} OBJECT EXCLUDE_FROM_ALL ${src})
  target_link_libraries(${name} PRIVATE kestrune_${from})
  add_test(NAME LayerInclude.${from}_uses_${to}
           COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target ${name})
  if(expect STREQUAL "fails")
    set_tests_properties(LayerInclude.${from}_uses_${to} PROPERTIES WILL_FAIL TRUE)
  endif()
  set_tests_properties(LayerInclude.${from}_uses_${to} PROPERTIES RESOURCE_LOCK layer_probes)
endfunction()
