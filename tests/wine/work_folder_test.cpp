// The simulated program's start-up and close seen from outside: the library
// it carries is written to %TEMP%\NOLPAID, replacing what was there, and
// loaded; the spooler is stopped while the window is open; closing the
// window, or the end of a command-line run, unloads and deletes the library,
// removes the folder when nothing else is in it and starts the spooler.
#include <windows.h>

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "sim/fleet/fleet.h"
#include "tests/wine/machine_state.h"
#include "tests/wine/program_fixture.h"
#include "tests/wine/sim_state.h"

namespace nolpa::wine_tests {
namespace {

std::string LibraryFile() { return WorkFolder() + "\\Morvalib.dll"; }

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// True when the process has a module loaded from the work folder's library.
bool LoadsLibraryFromWorkFolder(DWORD processId) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  MODULEENTRY32 module{};
  module.dwSize = sizeof module;
  bool found = false;
  for (BOOL more = Module32First(snapshot, &module); more && !found;
       more = Module32Next(snapshot, &module))
    found = lstrcmpiA(module.szExePath, LibraryFile().c_str()) == 0;
  CloseHandle(snapshot);
  return found;
}

class WorkFolderTest : public ProgramTest {
 protected:
  void SetUp() override {
    // What an earlier run or another process left behind.
    CreateDirectoryA(WorkFolder().c_str(), nullptr);
    WriteBytes(LibraryFile(), "left over by someone else");
  }
  void TearDown() override {
    ProgramTest::TearDown();
    DeleteFileA((WorkFolder() + "\\other.txt").c_str());
    DeleteFileA(LibraryFile().c_str());
    RemoveDirectoryA(WorkFolder().c_str());
  }
  SimState state_;
};

TEST_F(WorkFolderTest, LibraryIsReplacedLoadedAndRemovedWithTheSpoolerStoppedMeanwhile) {
  ASSERT_NO_FATAL_FAILURE(Start(kSimProgram, "", state_.Env()));
  EXPECT_EQ(ReadBytes(LibraryFile()), ReadBytes(ProgramPath("Morvalib-sim.dll")));
  EXPECT_FALSE(ReadBytes(LibraryFile()).empty());
  EXPECT_TRUE(LoadsLibraryFromWorkFolder(Run().ProcessId()));
  EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_STOPPED));

  EXPECT_EQ(CloseAndWait(), std::optional<DWORD>(0));
  EXPECT_FALSE(Exists(LibraryFile()));
  EXPECT_FALSE(Exists(WorkFolder()));
  EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
}

TEST_F(WorkFolderTest, AFolderHoldingAnotherFileStays) {
  WriteBytes(WorkFolder() + "\\other.txt", "not the program's");
  ASSERT_NO_FATAL_FAILURE(Start(kSimProgram, "", state_.Env()));
  EXPECT_EQ(CloseAndWait(), std::optional<DWORD>(0));
  EXPECT_FALSE(Exists(LibraryFile()));
  EXPECT_TRUE(Exists(WorkFolder() + "\\other.txt"));
}

TEST_F(WorkFolderTest, ACommandLineRunLeavesTheSpoolerRunningAndNoFolder) {
  ProgramRun run(ProgramPath(kSimProgram), "/c VX410A000117", state_.Env());
  ASSERT_TRUE(run.Started());
  EXPECT_EQ(run.WaitForExit(kExitTimeoutMs), std::optional<DWORD>(0));
  EXPECT_FALSE(Exists(WorkFolder()));
  EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
}

// A command-line run that meets an exception (here: the simulator cannot
// keep what the write changed, for a folder stands where it writes its
// state file anew) cleans up before it shows the exception box: while the
// box waits for OK the spooler runs again and the work folder is gone, so a
// line that kills the program at a time-out leaves the machine able to
// print.
TEST_F(WorkFolderTest, AnExceptionIsShownOnlyOnceTheRunHasCleanedUp) {
  WriteBytes(state_.Path(), std::string(sim::DefaultFleetJson()));
  const std::string blocker = state_.Path() + ".tmp";
  ASSERT_TRUE(CreateDirectoryA(blocker.c_str(), nullptr));
  ProgramRun run(ProgramPath(kSimProgram), "/s NOLPA-0099", state_.Env());
  ASSERT_TRUE(run.Started());
  HWND box = WaitForMessageBox(run.ProcessId(), kStartTimeoutMs);
  if (box != nullptr) {
    EXPECT_EQ(ReadMessageBox(box).caption, L"NOLPA Identifier Utility");
    EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING))
        << "the box came with the spooler stopped";
    EXPECT_FALSE(Exists(WorkFolder())) << "the box came with the library's folder still there";
    DismissMessageBox(box);
  }
  EXPECT_EQ(run.WaitForExit(kExitTimeoutMs), std::optional<DWORD>(4));
  RemoveDirectoryA(blocker.c_str());
  ASSERT_NE(box, nullptr) << "no exception box";
}

}  // namespace
}  // namespace nolpa::wine_tests
