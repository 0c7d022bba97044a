# Native Linux tree: the core and the simulator under GoogleTest, with
# AddressSanitizer and UndefinedBehaviorSanitizer.
find_package(nlohmann_json 3 REQUIRED)
target_link_libraries(nolpa_sim PUBLIC nlohmann_json::nlohmann_json)

set(SANITIZE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
add_library(morvalib STATIC $<TARGET_OBJECTS:morvalib_objects>)
# The database adapter over the unixODBC it links (unixodbc-dev).
add_library(nolpa_odbc STATIC ${NOLPA_ODBC_SOURCES} ${CMAKE_SOURCE_DIR}/platform/odbc/odbc_calls_linked.cpp)
target_include_directories(nolpa_odbc PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(nolpa_odbc PUBLIC odbc)
foreach(target nolpa_core nolpa_sim morvalib_objects nolpa_plant nolpa_odbc)
  target_compile_options(${target} PRIVATE ${SANITIZE})
endforeach()

# The console companion against the simulator, for writing line scripts
# without printers (build/native/nolpaidc).
set(NOLPA_POSIX_SOURCES ${CMAKE_SOURCE_DIR}/platform/posix/posix_console.cpp)
add_executable(nolpaidc ${CMAKE_SOURCE_DIR}/app/console/native/console_main.cpp ${NOLPA_POSIX_SOURCES})
target_compile_options(nolpaidc PRIVATE ${SANITIZE})
target_link_options(nolpaidc PRIVATE ${SANITIZE})
target_link_libraries(nolpaidc PRIVATE morvalib nolpa_sim nolpa_core nolpa_odbc)

find_package(GTest REQUIRED)
enable_testing()
# tests/ has a folder for each area of the product; tests/wine/ is built by
# the Windows tree.
file(GLOB_RECURSE TEST_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tests/*.cpp
  ${CMAKE_SOURCE_DIR}/sim/tests/*.cpp)
list(FILTER TEST_SOURCES EXCLUDE REGEX "/tests/(wine|plant)/")
add_executable(nolpa_tests ${TEST_SOURCES} ${NOLPA_POSIX_SOURCES})
target_compile_options(nolpa_tests PRIVATE ${SANITIZE})
target_link_options(nolpa_tests PRIVATE ${SANITIZE})
target_link_libraries(nolpa_tests PRIVATE morvalib nolpa_sim nolpa_core GTest::gmock GTest::gtest_main)
include(GoogleTest)
# Every test runs on virtual time and takes well under a second; a hang fails
# with the test's name long before the CI limit.
gtest_discover_tests(nolpa_tests DISCOVERY_TIMEOUT 60
  PROPERTIES TIMEOUT 120
             ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1")

# The plant database's tests, against a PostgreSQL server of their own.
include(${CMAKE_SOURCE_DIR}/tests/plant/plant_tests.cmake)

# The fuzz corpora, replayed once per run (fuzzing/replay.cmake).
include(${CMAKE_SOURCE_DIR}/fuzzing/replay.cmake)
