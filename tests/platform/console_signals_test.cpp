// The native requests to stop: the first only noted, a second that ends the
// process with 4, never with 0, and only after the write being sent has its
// audit line.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>

#include "platform/posix/posix_console.h"

namespace nolpa {
namespace {

void Say(const char* text) { ::write(STDERR_FILENO, text, std::char_traits<char>::length(text)); }

TEST(ConsoleSignals, ASecondCtrlCEndsTheProcessWithFourAfterTheWriteInProgress) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  platform::posix::PosixConsoleSignals signals;
  // The first is only noted.
  EXPECT_EXIT(
      {
        signals.Watch();
        ::raise(SIGINT);
        ::_exit(signals.StopRequested() ? 0 : 9);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(
      {
        signals.Watch();
        ::raise(SIGINT);
        ::raise(SIGINT);
        Say("went on");
        ::_exit(0);
      },
      ::testing::ExitedWithCode(4), "^$");
  EXPECT_EXIT(
      {
        signals.Watch();
        ::raise(SIGINT);
        signals.BeginWrite();
        ::raise(SIGINT);
        Say("line appended;");
        signals.EndWrite();
        Say("went on");
        ::_exit(0);
      },
      ::testing::ExitedWithCode(4), "^line appended;$");
}

}  // namespace
}  // namespace nolpa
