# The plant database's tests (tests/plant/): the code without SQL, and the
# record, the schema, the pools, the report and the db commands against a
# real PostgreSQL 15 server that the fixture starts on loopback and a free
# port (scripts/pg-test-server.sh) and stops at the end; unixODBC and its
# PostgreSQL driver between them, as on a line PC.
set(PLANT_SERVER_DIR ${CMAKE_BINARY_DIR}/plant-server)
set(PLANT_SERVER_SCRIPT ${CMAKE_SOURCE_DIR}/scripts/pg-test-server.sh)
add_test(NAME plant.server.start COMMAND ${PLANT_SERVER_SCRIPT} start ${PLANT_SERVER_DIR})
add_test(NAME plant.server.stop COMMAND ${PLANT_SERVER_SCRIPT} stop ${PLANT_SERVER_DIR})
set_tests_properties(plant.server.start PROPERTIES FIXTURES_SETUP plant_server TIMEOUT 180)
set_tests_properties(plant.server.stop PROPERTIES FIXTURES_CLEANUP plant_server TIMEOUT 120)

# A station's share of the plant's record as a process of its own: the
# property kills it at random moments.
add_executable(plant_taker ${CMAKE_SOURCE_DIR}/tests/plant/plant_taker.cpp)
target_link_libraries(plant_taker PRIVATE nolpa_plant nolpa_odbc nolpa_core)
target_compile_options(plant_taker PRIVATE ${SANITIZE})
target_link_options(plant_taker PRIVATE ${SANITIZE})

file(GLOB PLANT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/plant/*_test.cpp)
add_executable(nolpa_plant_tests ${PLANT_TEST_SOURCES}
  ${CMAKE_SOURCE_DIR}/tests/plant/plant_server.cpp
  ${CMAKE_SOURCE_DIR}/tests/plant/child_process.cpp ${NOLPA_POSIX_SOURCES})
target_compile_options(nolpa_plant_tests PRIVATE ${SANITIZE})
target_link_options(nolpa_plant_tests PRIVATE ${SANITIZE})
target_link_libraries(nolpa_plant_tests PRIVATE nolpa_core nolpa_plant nolpa_odbc GTest::gtest_main)
target_compile_definitions(nolpa_plant_tests PRIVATE
  NOLPA_PLANT_SERVER_DIR="${PLANT_SERVER_DIR}" NOLPA_PLANT_SERVER_SCRIPT="${PLANT_SERVER_SCRIPT}"
  NOLPA_PLANT_TAKER="$<TARGET_FILE:plant_taker>" NOLPA_NOLPAIDC="$<TARGET_FILE:nolpaidc>")
add_dependencies(nolpa_plant_tests plant_taker nolpaidc)
gtest_discover_tests(nolpa_plant_tests TEST_PREFIX "plant." DISCOVERY_TIMEOUT 60
  PROPERTIES TIMEOUT 300 FIXTURES_REQUIRED plant_server
             ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1")
