// The simulated program with its printers' byte channel on a device that
// never answers (a named pipe nobody serves, through the real device-file
// adapter): Test Comm, Write and Test Print end within their documented
// times, with their failure message where they have one; the window answers
// the messages another program sends it all the while; the device is closed
// before each message, and the spooler runs again after close.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "tests/wine/machine_state.h"
#include "tests/wine/program_fixture.h"
#include "tests/wine/silent_pipe.h"
#include "tests/wine/sim_state.h"

namespace nolpa::wine_tests {
namespace {

using ui::ControlId;

constexpr wchar_t kOnboardPrinter[] = L"VX-410 Receipt";

struct SilentCase {
  const char* name;
  ControlId button;
  const wchar_t* message;
  // What the action waits for before it fails: its first write's 2000 ms
  // (Test Comm); the reset write's 2000 ms, the 2000 ms emptying and the
  // query's 2000 ms (Write).
  DWORD expectedMs;
};

class SilentPrinterTest : public ProgramTest {
 protected:
  Environment Env() const {
    Environment env = state_.Env();
    env.emplace_back("NOLPA_SIM_BYTE_CHANNEL", pipe_.Path());
    return env;
  }

  // Clicks `button`, and until a message box comes asks the window, every
  // 100 ms, to answer a sent message; returns the box (null after 20 s) and
  // the longest the window took to answer.
  HWND ClickAndProbe(ControlId button, DWORD* slowestAnswerMs, DWORD* tookMs) {
    const DWORD clicked = GetTickCount();
    Window().Click(button);
    *slowestAnswerMs = 0;
    HWND box = nullptr;
    while ((box = WaitForMessageBox(Run().ProcessId(), 100)) == nullptr) {
      if (GetTickCount() - clicked > 20000) return nullptr;
      const DWORD asked = GetTickCount();
      DWORD_PTR result = 0;
      if (SendMessageTimeoutW(Window().Window(), WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result) == 0) {
        *slowestAnswerMs = 5000;
        continue;
      }
      *slowestAnswerMs = std::max<DWORD>(*slowestAnswerMs, GetTickCount() - asked);
    }
    *tookMs = GetTickCount() - clicked;
    return box;
  }

  SilentPipe pipe_;
  SimState state_;
};

TEST_F(SilentPrinterTest, ActionsEndWithTheirFailureInTimeAndTheWindowAnswersMeanwhile) {
  ASSERT_NO_FATAL_FAILURE(Start(kSimProgram, "", Env()));
  ASSERT_GT(pipe_.Connections(), 0) << "no printer's byte channel reached the silent device";
  const auto items = Window().Items(ControlId::ComboBox1);
  const auto found = std::find(items.begin(), items.end(), kOnboardPrinter);
  ASSERT_NE(found, items.end());
  Window().Select(ControlId::ComboBox1, static_cast<int>(found - items.begin()));
  ASSERT_TRUE(
      WaitUntil([&] { return Window().Text(ControlId::Edit1) == L"VX410A000117"; }, kSettleMs));

  const SilentCase cases[] = {
      {"Test Comm", ControlId::Button6, L"Can not communicate with the device.", 2000},
      {"Write", ControlId::Button3, L"The writing in of the ID failed.", 6000},
  };
  for (const SilentCase& c : cases) {
    SCOPED_TRACE(c.name);
    Window().SetText(ControlId::Edit2, L"Front desk 2");
    DWORD slowest = 0;
    DWORD took = 0;
    HWND box = ClickAndProbe(c.button, &slowest, &took);
    ASSERT_NE(box, nullptr) << "no message: the action still waits on the device";
    std::printf("%s on a silent printer: %lu ms to its message, window answered within %lu ms\n",
                c.name, static_cast<unsigned long>(took), static_cast<unsigned long>(slowest));
    EXPECT_EQ(ReadMessageBox(box).text, c.message);
    EXPECT_GE(took + 50, c.expectedMs);
    EXPECT_LT(took, c.expectedMs + 2500);
    EXPECT_LT(slowest, 1000u) << "the window did not answer while the action waited";
    EXPECT_EQ(pipe_.OpenClients(), 0) << "the device was still open when the message came";
    DismissMessageBox(box);
    ASSERT_TRUE(Run().WaitIdle(Window().Window(), kSettleMs));
  }

  // Test Print shows nothing: its write ends, and the device is closed,
  // after the 2000 ms the time-outs give it.
  const int before = pipe_.Connections();
  const DWORD clicked = GetTickCount();
  Window().Click(ControlId::Button5);
  ASSERT_TRUE(WaitUntil([&] { return pipe_.Connections() > before; }, kSettleMs));
  ASSERT_TRUE(WaitUntil([&] { return pipe_.OpenClients() == 0; }, kSettleMs));
  const DWORD took = GetTickCount() - clicked;
  EXPECT_GE(took + 50, 2000u);
  EXPECT_LT(took, 2000u + 2500u);

  EXPECT_EQ(CloseAndWait(), std::optional<DWORD>(0));
  EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
}

}  // namespace
}  // namespace nolpa::wine_tests
