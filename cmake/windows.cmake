# Windows tree (MinGW-w64 i686): the Win32 adapters, the window binding, the
# two programs and the tests that run under Wine.
enable_language(RC)

# Static runtime: NOLPAID.exe must run without any MinGW DLL beside it.
set(NOLPA_STATIC_LINK -static -static-libgcc -static-libstdc++)
# GCC 12 warns falsely on "literal" + std::string once inlined at -O2
# (GCC bug 105651); the warning is wrong for every such line. The core and
# the simulator were made before this file is read.
add_compile_options(-Wno-restrict)
target_compile_options(nolpa_core PRIVATE -Wno-restrict)
target_compile_options(nolpa_sim PRIVATE -Wno-restrict)
# Keep to the API of the oldest Windows the program supports.
set(NOLPA_WIN32_DEFINES _WIN32_WINNT=0x0501 WINVER=0x0501)

# nlohmann/json is header-only; reach Debian's copy through a folder that
# holds nothing else, so no other host header can shadow a MinGW one.
set(NOLPA_HOST_JSON /usr/include/nlohmann)
if(NOT EXISTS ${NOLPA_HOST_JSON}/json.hpp)
  message(FATAL_ERROR "nlohmann/json headers not found in ${NOLPA_HOST_JSON}")
endif()
set(NOLPA_JSON_INCLUDE ${CMAKE_BINARY_DIR}/json-include)
file(MAKE_DIRECTORY ${NOLPA_JSON_INCLUDE})
file(CREATE_LINK ${NOLPA_HOST_JSON} ${NOLPA_JSON_INCLUDE}/nlohmann SYMBOLIC)
target_include_directories(nolpa_sim SYSTEM PUBLIC ${NOLPA_JSON_INCLUDE})

# The real adapters of the platform interfaces.
file(GLOB WIN32_PLATFORM_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/win32/*.cpp)
add_library(nolpa_win32 STATIC ${WIN32_PLATFORM_SOURCES})
target_compile_definitions(nolpa_win32 PUBLIC ${NOLPA_WIN32_DEFINES})
target_link_libraries(nolpa_win32 PUBLIC nolpa_core setupapi advapi32)

# The window binding: HWNDs mirrored from TMainForm.
file(GLOB WIN32_UI_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/ui/win32/*.cpp)
add_library(nolpa_ui_win32 STATIC ${WIN32_UI_SOURCES})
target_link_libraries(nolpa_ui_win32 PUBLIC nolpa_win32 nolpa_core user32 gdi32)

# The program, once per device world: the real one and the simulated one.
set(NOLPA_APP_SOURCES
  ${CMAKE_SOURCE_DIR}/app/main.cpp
  ${CMAKE_SOURCE_DIR}/app/single_instance.cpp
  ${CMAKE_SOURCE_DIR}/app/program.cpp
  ${CMAKE_SOURCE_DIR}/resources/nolpaid.rc)
set_source_files_properties(${CMAKE_SOURCE_DIR}/resources/nolpaid.rc PROPERTIES
  OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/resources/nolpaid.manifest)

function(nolpa_program target world_source)
  add_executable(${target} WIN32 ${NOLPA_APP_SOURCES} ${world_source})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${target})
  target_link_options(${target} PRIVATE ${NOLPA_STATIC_LINK})
  target_link_libraries(${target} PRIVATE nolpa_ui_win32 nolpa_win32 ${ARGN})
endfunction()

nolpa_program(NOLPAID ${CMAKE_SOURCE_DIR}/app/device_world_real.cpp nolpa_core)
nolpa_program(NOLPAID-sim ${CMAKE_SOURCE_DIR}/app/device_world_sim.cpp nolpa_sim nolpa_core)

# The tests that run the Windows binaries under Wine.
enable_testing()
add_subdirectory(${CMAKE_SOURCE_DIR}/tests/wine ${CMAKE_BINARY_DIR}/tests-wine)
