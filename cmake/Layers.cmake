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

