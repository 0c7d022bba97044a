// One copy per logon: a second copy ends with -1 without a window, and
// brings the first copy forward, restoring it when it is minimised.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/wine/program_fixture.h"

namespace nolpa::wine_tests {
namespace {

constexpr DWORD kRefused = 0xFFFFFFFF;  // -1 as an exit code

class SingleInstanceTest : public ProgramTest {
 protected:
  // Runs a second copy to its end; it must not get as far as a window.
  std::optional<DWORD> RunSecondCopy(const std::string& arguments) {
    ProgramRun second(ProgramPath(kRealProgram), arguments);
    EXPECT_TRUE(second.Started());
    const std::optional<DWORD> code = second.WaitForExit(kExitTimeoutMs);
    EXPECT_EQ(second.WaitForWindow("TMainForm", 0), nullptr);
    return code;
  }

  HWND ApplicationWindow() const { return GetWindow(Window().Window(), GW_OWNER); }
};

bool BelongsTo(HWND window, DWORD processId) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  return window != nullptr && owner == processId;
}

// A window of this test process, to take the foreground away from the program.
class ForegroundThief {
 public:
  ForegroundThief()
      : window_(CreateWindowExW(0, L"STATIC", L"thief", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr)) {
    SetForegroundWindow(window_);
  }
  ~ForegroundThief() { DestroyWindow(window_); }
  HWND Handle() const { return window_; }

 private:
  HWND window_;
};

TEST_F(SingleInstanceTest, SecondCopyIsRefusedAndBringsTheFirstForward) {
  ASSERT_NO_FATAL_FAILURE(Start(kRealProgram));
  ForegroundThief thief;
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == thief.Handle(); }, kSettleMs))
      << "the test window did not take the foreground";

  // Switches are never parsed by a refused copy.
  EXPECT_EQ(RunSecondCopy("/s 0123456789ABCDEF01"), kRefused);
  EXPECT_TRUE(
      WaitUntil([&] { return BelongsTo(GetForegroundWindow(), Run().ProcessId()); }, kSettleMs))
      << "the first copy did not come to the front";
  EXPECT_TRUE(IsWindowVisible(Window().Window()));
}

TEST_F(SingleInstanceTest, SecondCopyRestoresAMinimisedFirst) {
  ASSERT_NO_FATAL_FAILURE(Start(kRealProgram));
  PostMessageW(Window().Window(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(WaitUntil([&] { return IsIconic(ApplicationWindow()) != FALSE; }, kSettleMs));
  // The application window is iconic before its size handler hides the
  // main window, so the hiding is waited for as well.
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(Window().Window()) == FALSE; }, kSettleMs))
      << "not minimised with the application";

  EXPECT_EQ(RunSecondCopy(""), kRefused);
  EXPECT_TRUE(WaitUntil([&] { return IsIconic(ApplicationWindow()) == FALSE; }, kSettleMs));
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(Window().Window()) != FALSE; }, kSettleMs));
}

TEST_F(SingleInstanceTest, CopyRefusedEvenWhenNoWindowCanBeFound) {
  // This process holds the mutex: there is no first copy's window to find.
  HANDLE mutex = CreateMutexA(nullptr, FALSE, "NOLPAID");
  ASSERT_NE(mutex, nullptr);
  ASSERT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "a copy is running";
  EXPECT_EQ(RunSecondCopy("/c 0123456789ABCDEF01 VX"), kRefused);
  CloseHandle(mutex);
}

}  // namespace
}  // namespace nolpa::wine_tests
