# The one version of a build: the file VERSION at the top of the tree
# (MAJOR.MINOR.BUILD), or NOLPA_VERSION given to CMake to build another one
# (./release --version, to try an upgrade). Every program's version
# resource, the console's --version, the window's caption and the audit log
# take it from the two files made here; ./release names the archive and the
# installer after it.
set(NOLPA_VERSION "" CACHE STRING "Build as this version instead of the file VERSION's")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/VERSION)
if(NOLPA_VERSION)
  set(NOLPA_RELEASE_VERSION ${NOLPA_VERSION})
else()
  file(STRINGS ${CMAKE_SOURCE_DIR}/VERSION NOLPA_RELEASE_VERSION LIMIT_COUNT 1)
endif()
# An installer compares only three numbers, of at most 255, 255 and 65535;
# the caption shows the minor number in two digits.
set(NOLPA_VERSION_BAD "")
if(NOLPA_RELEASE_VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
  if(CMAKE_MATCH_1 GREATER 255 OR CMAKE_MATCH_2 GREATER 99 OR CMAKE_MATCH_3 GREATER 65535)
    set(NOLPA_VERSION_BAD 1)
  endif()
else()
  set(NOLPA_VERSION_BAD 1)
endif()
if(NOLPA_VERSION_BAD)
  message(FATAL_ERROR "version \"${NOLPA_RELEASE_VERSION}\" is not MAJOR.MINOR.BUILD "
                      "(MAJOR at most 255, MINOR at most 99, BUILD at most 65535)")
endif()
# 5.0.1: "5.00", as the window's caption has always shown it.
math(EXPR NOLPA_VERSION_MAJOR "${CMAKE_MATCH_1}")
math(EXPR NOLPA_VERSION_MINOR "${CMAKE_MATCH_2}")
math(EXPR NOLPA_VERSION_BUILD "${CMAKE_MATCH_3}")
if(NOLPA_VERSION_MINOR LESS 10)
  set(NOLPA_PRODUCT_VERSION "${NOLPA_VERSION_MAJOR}.0${NOLPA_VERSION_MINOR}")
else()
  set(NOLPA_PRODUCT_VERSION "${NOLPA_VERSION_MAJOR}.${NOLPA_VERSION_MINOR}")
endif()
set(NOLPA_RELEASE_VERSION "${NOLPA_VERSION_MAJOR}.${NOLPA_VERSION_MINOR}.${NOLPA_VERSION_BUILD}")

# configure_file rewrites a file only when its text changes, so a new
# version recompiles this one file and the resource scripts.
set(NOLPA_GENERATED ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_SOURCE_DIR}/resources/version.cpp.in ${NOLPA_GENERATED}/version.cpp @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/resources/version.h.in ${NOLPA_GENERATED}/nolpa_version.h @ONLY)
target_sources(nolpa_core PRIVATE ${NOLPA_GENERATED}/version.cpp)
# ./release names the archive and the installer after this one.
file(CONFIGURE OUTPUT ${NOLPA_GENERATED}/version.txt CONTENT "${NOLPA_RELEASE_VERSION}\n")
