# The replay of every fuzz corpus in the native tree: one driver that links
# every target (each entry point renamed after its target) and one test per
# target over fuzzing/corpus/<name>/. Needs no clang and finds no new inputs.
include(${CMAKE_SOURCE_DIR}/fuzzing/targets.cmake)

set(FUZZ_DECLARATIONS "")
set(FUZZ_ENTRIES "")
set(FUZZ_SOURCES "")
foreach(target ${FUZZ_TARGETS})
  set(source ${CMAKE_SOURCE_DIR}/fuzzing/${target}.cpp)
  set_source_files_properties(${source} PROPERTIES
    COMPILE_DEFINITIONS "LLVMFuzzerTestOneInput=FuzzOne_${target}")
  list(APPEND FUZZ_SOURCES ${source})
  string(APPEND FUZZ_DECLARATIONS
    "extern \"C\" int FuzzOne_${target}(const std::uint8_t* data, std::size_t size);\n")
  string(APPEND FUZZ_ENTRIES "    {\"${target}\", FuzzOne_${target}},\n")
endforeach()
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/fuzz/replay_targets.h CONTENT
"#pragma once
// Made by fuzzing/replay.cmake from fuzzing/targets.cmake.
#include <cstddef>
#include <cstdint>

${FUZZ_DECLARATIONS}
namespace nolpa::fuzz {
struct ReplayTarget {
  const char* name;
  int (*run)(const std::uint8_t* data, std::size_t size);
};
inline constexpr ReplayTarget kReplayTargets[] = {
${FUZZ_ENTRIES}};
}  // namespace nolpa::fuzz
")

add_executable(fuzz_replay ${CMAKE_SOURCE_DIR}/fuzzing/replay_main.cpp ${FUZZ_SOURCES})
target_include_directories(fuzz_replay PRIVATE ${CMAKE_BINARY_DIR})
target_compile_options(fuzz_replay PRIVATE ${SANITIZE})
target_link_options(fuzz_replay PRIVATE ${SANITIZE})
target_link_libraries(fuzz_replay PRIVATE morvalib nolpa_sim nolpa_core)
foreach(target ${FUZZ_TARGETS})
  add_test(NAME fuzz.replay.${target}
           COMMAND fuzz_replay ${target} ${CMAKE_SOURCE_DIR}/fuzzing/corpus/${target})
  set_tests_properties(fuzz.replay.${target} PROPERTIES TIMEOUT 120
    ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1")
endforeach()
