# What the Windows tree does so that a release (./release) has the same
# bytes every time it is built from one commit, in whatever folder: no link
# time in a PE header, no build folder in a program, the version from
# cmake/version.cmake in every resource script. Read by cmake/windows.cmake
# before the programs are defined.
add_link_options(-Wl,--no-insert-timestamp)
foreach(target nolpa_core nolpa_sim morvalib_objects)
  target_compile_options(${target} PRIVATE -ffile-prefix-map=${CMAKE_SOURCE_DIR}/=)
endforeach()
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=)

# The programs of a release carry no symbol table (it names the objects they
# were linked from); the test tree keeps it for the backtraces under Wine.
option(NOLPA_STRIP_PROGRAMS "Link the programs without their symbol table" OFF)
if(NOLPA_STRIP_PROGRAMS)
  add_link_options(-s)
endif()

# ./release --sign: the programs carry the signed copy of Morvalib.dll that
# this names, so the library they write out and load is signed too.
set(NOLPA_LIBRARY_IMAGE "" CACHE FILEPATH "The Morvalib.dll the programs carry, if not the tree's")

foreach(rc nolpaid.rc nolpaidc.rc morvalib.rc)
  set_property(SOURCE ${CMAKE_SOURCE_DIR}/resources/${rc} APPEND PROPERTY
    INCLUDE_DIRECTORIES ${NOLPA_GENERATED})
  set_property(SOURCE ${CMAKE_SOURCE_DIR}/resources/${rc} APPEND PROPERTY
    OBJECT_DEPENDS ${NOLPA_GENERATED}/nolpa_version.h)
endforeach()
set(NOLPA_LIBRARY_RC ${CMAKE_SOURCE_DIR}/resources/morvalib.rc)
