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
target_compile_options(morvalib_objects PRIVATE -Wno-restrict)
# A release's programs: the same bytes from the same sources (cmake/release.cmake).
include(${CMAKE_SOURCE_DIR}/cmake/release.cmake)
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
# The printing, setup and configuration-manager libraries are loaded at run
# time from the system folder (platform/win32/system_libraries.h), never
# imported by name: an import by name is looked for in the program's folder.
target_link_libraries(nolpa_win32 PUBLIC nolpa_core advapi32)
# The database adapter; its calls come from the system's odbc32.dll, loaded
# at run time (platform/win32/system_libraries.h).
add_library(nolpa_odbc STATIC ${NOLPA_ODBC_SOURCES})
target_include_directories(nolpa_odbc PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(nolpa_odbc PUBLIC ${NOLPA_WIN32_DEFINES})
target_link_libraries(nolpa_win32 PUBLIC nolpa_odbc)
target_compile_options(nolpa_plant PRIVATE -Wno-restrict)

# The window binding: HWNDs mirrored from TMainForm.
file(GLOB WIN32_UI_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/ui/win32/*.cpp)
add_library(nolpa_ui_win32 STATIC ${WIN32_UI_SOURCES})
target_link_libraries(nolpa_ui_win32 PUBLIC nolpa_win32 nolpa_core user32 gdi32)

# The serial-number library, once per device world: Morvalib.dll over the
# real adapters, Morvalib-sim.dll over the world its program hands it. Each
# exports by name only what its .def file lists, and needs no MinGW DLL.
function(morvalib_dll target def)
  add_library(${target} SHARED $<TARGET_OBJECTS:morvalib_objects> ${def} ${ARGN}
    ${NOLPA_LIBRARY_RC})
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${target})
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
  # Stripped: the image travels inside each program.
  target_link_options(${target} PRIVATE ${NOLPA_STATIC_LINK} -s)
endfunction()
set(MORVALIB_WIN32 ${CMAKE_SOURCE_DIR}/serial_library/win32)
morvalib_dll(Morvalib ${MORVALIB_WIN32}/morvalib.def ${MORVALIB_WIN32}/real_services.cpp)
target_link_libraries(Morvalib PRIVATE nolpa_win32)
morvalib_dll(Morvalib-sim ${MORVALIB_WIN32}/morvalib-sim.def ${MORVALIB_WIN32}/attach_world.cpp)

# A program carries its flavour of the library as resource "FILE1": the
# library is built first, and a new library relinks the program.
function(nolpa_embed_library program library)
  set(MORVALIB_IMAGE ${CMAKE_BINARY_DIR}/${library}.dll)
  if(library STREQUAL "Morvalib" AND NOLPA_LIBRARY_IMAGE)
    set(MORVALIB_IMAGE ${NOLPA_LIBRARY_IMAGE})  # a signed copy (./release --sign)
  endif()
  set(rc ${CMAKE_BINARY_DIR}/${program}-library.rc)
  configure_file(${CMAKE_SOURCE_DIR}/resources/library_image.rc.in ${rc} @ONLY)
  target_sources(${program} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${MORVALIB_IMAGE})
  add_dependencies(${program} ${library})
endfunction()

# The program, once per device world: the real one and the simulated one.
set(NOLPA_APP_SOURCES
  ${CMAKE_SOURCE_DIR}/app/main.cpp
  ${CMAKE_SOURCE_DIR}/app/single_instance.cpp
  ${CMAKE_SOURCE_DIR}/app/program.cpp
  ${CMAKE_SOURCE_DIR}/resources/nolpaid.rc)
set_property(SOURCE ${CMAKE_SOURCE_DIR}/resources/nolpaid.rc APPEND PROPERTY
  OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/resources/nolpaid.manifest)

function(nolpa_program target world_source)
  add_executable(${target} WIN32 ${NOLPA_APP_SOURCES} ${world_source})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${target})
  target_link_options(${target} PRIVATE ${NOLPA_STATIC_LINK})
  target_link_libraries(${target} PRIVATE nolpa_ui_win32 nolpa_win32 ${ARGN})
endfunction()

nolpa_program(NOLPAID ${CMAKE_SOURCE_DIR}/app/device_world_real.cpp nolpa_core)
nolpa_program(NOLPAID-sim ${CMAKE_SOURCE_DIR}/app/device_world_sim.cpp nolpa_sim nolpa_core)
target_sources(NOLPAID-sim PRIVATE ${CMAKE_SOURCE_DIR}/app/sim_channel_api_host.cpp
  ${CMAKE_SOURCE_DIR}/app/sim_byte_channel.cpp)
nolpa_embed_library(NOLPAID Morvalib)
nolpa_embed_library(NOLPAID-sim Morvalib-sim)

# The channel-API stand-in as a real library file: NOLPAID-sim.exe carries it
# as resource "SIMCHANNELAPI" and writes it where its simulated spooler's
# drivers expect their channel API; its calls go back into the program.
add_library(ChannelApi-sim SHARED ${CMAKE_SOURCE_DIR}/sim/host/win32/channel_api_dll.cpp
  ${CMAKE_SOURCE_DIR}/sim/host/win32/channel_api_dll.def)
set_target_properties(ChannelApi-sim PROPERTIES PREFIX "" OUTPUT_NAME ChannelApi-sim)
target_link_options(ChannelApi-sim PRIVATE ${NOLPA_STATIC_LINK} -s)
set(CHANNEL_API_IMAGE ${CMAKE_BINARY_DIR}/ChannelApi-sim.dll)
set(CHANNEL_API_RC ${CMAKE_BINARY_DIR}/NOLPAID-sim-channel-api.rc)
configure_file(${CMAKE_SOURCE_DIR}/resources/channel_api_image.rc.in ${CHANNEL_API_RC} @ONLY)
target_sources(NOLPAID-sim PRIVATE ${CHANNEL_API_RC})
set_source_files_properties(${CHANNEL_API_RC} PROPERTIES OBJECT_DEPENDS ${CHANNEL_API_IMAGE})
add_dependencies(NOLPAID-sim ChannelApi-sim)

# The console companion, once per device world: NOLPAIDC.exe and
# NOLPAIDC-sim.exe, console programs over the same form, world and library.
set(NOLPA_CONSOLE_SOURCES
  ${CMAKE_SOURCE_DIR}/app/console/win32/console_main.cpp
  ${CMAKE_SOURCE_DIR}/app/single_instance.cpp
  ${CMAKE_SOURCE_DIR}/resources/nolpaidc.rc)
set_property(SOURCE ${CMAKE_SOURCE_DIR}/resources/nolpaidc.rc APPEND PROPERTY
  OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/resources/nolpaidc.manifest)
function(nolpa_console target world_source flavour_source)
  add_executable(${target} ${NOLPA_CONSOLE_SOURCES} ${world_source}
    ${CMAKE_SOURCE_DIR}/app/console/win32/${flavour_source})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${target})
  target_link_options(${target} PRIVATE ${NOLPA_STATIC_LINK})
  # shell32: CommandLineToArgvW, the arguments read wide.
  target_link_libraries(${target} PRIVATE nolpa_win32 ${ARGN} shell32)
endfunction()
nolpa_console(NOLPAIDC ${CMAKE_SOURCE_DIR}/app/device_world_real.cpp flavour_real.cpp nolpa_core)
nolpa_console(NOLPAIDC-sim ${CMAKE_SOURCE_DIR}/app/device_world_sim.cpp flavour_sim.cpp nolpa_sim nolpa_core)
target_sources(NOLPAIDC-sim PRIVATE ${CMAKE_SOURCE_DIR}/app/sim_channel_api_host.cpp
  ${CMAKE_SOURCE_DIR}/app/sim_byte_channel.cpp ${CHANNEL_API_RC})
add_dependencies(NOLPAIDC-sim ChannelApi-sim)
nolpa_embed_library(NOLPAIDC Morvalib)
nolpa_embed_library(NOLPAIDC-sim Morvalib-sim)

# The tests that run the Windows binaries under Wine.
enable_testing()
add_subdirectory(${CMAKE_SOURCE_DIR}/tests/wine ${CMAKE_BINARY_DIR}/tests-wine)
