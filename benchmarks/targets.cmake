# The benchmark programs that ./bench builds and runs. Slow by design (they
# wait out real emptyings), so they are built only when asked for by name
# and are no tests of ctest.
set(NOLPA_BENCH_DIR ${CMAKE_SOURCE_DIR}/benchmarks)
if(WIN32)
  # The simulator's paths on the real clock, with the library linked in.
  add_executable(nolpa_bench_sim EXCLUDE_FROM_ALL ${NOLPA_BENCH_DIR}/win32/sim_main.cpp
    ${NOLPA_BENCH_DIR}/scenarios.cpp $<TARGET_OBJECTS:morvalib_objects>)
  target_link_libraries(nolpa_bench_sim PRIVATE nolpa_sim nolpa_win32 nolpa_core)
  # Find over the real adapters, and the bare look-ups it is held against.
  add_executable(nolpa_bench_find EXCLUDE_FROM_ALL ${NOLPA_BENCH_DIR}/win32/find_main.cpp)
  target_link_libraries(nolpa_bench_find PRIVATE nolpa_win32 nolpa_core)
  add_executable(nolpa_bench_enumerate EXCLUDE_FROM_ALL ${NOLPA_BENCH_DIR}/win32/enumerate_main.cpp)
  target_compile_definitions(nolpa_bench_enumerate PRIVATE ${NOLPA_WIN32_DEFINES})
  target_link_libraries(nolpa_bench_enumerate PRIVATE setupapi)
  # The console companion's list against the window program's Find, on the
  # default fleet with the library linked in.
  add_executable(nolpa_bench_list EXCLUDE_FROM_ALL ${NOLPA_BENCH_DIR}/win32/list_main.cpp
    ${NOLPA_BENCH_DIR}/fleet_list.cpp $<TARGET_OBJECTS:morvalib_objects>)
  target_link_libraries(nolpa_bench_list PRIVATE nolpa_sim nolpa_win32 nolpa_core)
  foreach(target nolpa_bench_sim nolpa_bench_find nolpa_bench_enumerate nolpa_bench_list)
    target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
    target_link_options(${target} PRIVATE ${NOLPA_STATIC_LINK})
  endforeach()
else()
  # The same paths on the virtual clock.
  # It also writes the generated fleets the console companion's list is
  # timed on, and times the station against set through the console
  # companion with its native seams.
  add_executable(nolpa_bench EXCLUDE_FROM_ALL ${NOLPA_BENCH_DIR}/native_main.cpp
    ${NOLPA_BENCH_DIR}/scenarios.cpp ${NOLPA_BENCH_DIR}/station_cycle.cpp ${NOLPA_POSIX_SOURCES})
  target_include_directories(nolpa_bench PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(nolpa_bench PRIVATE ${SANITIZE})
  target_link_options(nolpa_bench PRIVATE ${SANITIZE})
  target_link_libraries(nolpa_bench PRIVATE morvalib nolpa_sim nolpa_core)
endif()
