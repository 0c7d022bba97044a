#pragma once
// Where the programs under test are, and how long the tests wait for them.
#include <windows.h>

#include <string>

namespace nolpa::wine_tests {

inline std::string ProgramPath(const char* exeName) {
  return std::string(NOLPA_BIN_DIR) + "/" + exeName;
}

inline constexpr char kRealProgram[] = "NOLPAID.exe";
inline constexpr char kSimProgram[] = "NOLPAID-sim.exe";

// Deadlines of waits for a condition, never bounds on how long something
// took: a wait ends as soon as its condition holds, and these leave room
// for a machine under heavy load. Start-up under Wine, with its first Find,
// stays well inside these.
inline constexpr DWORD kStartTimeoutMs = 30000;
inline constexpr DWORD kExitTimeoutMs = 30000;
// What another process or the window manager does in answer to a message
// (activation, minimising, a handler's change) is waited for this long.
inline constexpr DWORD kSettleMs = 20000;

}  // namespace nolpa::wine_tests
