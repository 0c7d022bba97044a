// The console companion's run as a whole: a request to stop (Ctrl+C, the
// console closed) ends it at its next step with the machine cleaned up and
// the attempt logged; the progress line is only ever shown on a console;
// messages follow the user's language; the form's boxes become lines on the
// error stream and wait for nobody.
#include <gtest/gtest.h>

#include "tests/console/console_harness.h"

namespace nolpa {
namespace {

using testing::ConsoleRig;

constexpr char kWorkFolder[] = "C:\\Users\\operator\\AppData\\Local\\Temp\\NOLPAID";

TEST(ConsoleSession, StopRequestWhileTheSpoolerIsStoppedEndsTheRunCleanedUp) {
  struct Case {
    const char* what;
    std::vector<std::string> arguments;
    int askAt;  // the StopRequested call that first says yes
    const char* holds;
    const char* logged;  // the result logged, or none
  } const cases[] = {
      {"after the first Find", {"set", "NEW-0001"}, 1, "VX410A000117", nullptr},
      {"while a rescan waits", {"set", "NEW-0001"}, 6, "NEW-0001", "written"},
      {"check, after the first Find", {"check", "VX410A000117"}, 1, "VX410A000117", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ConsoleRig rig;
    int asked = 0;
    bool spoolerStoppedWhenAsked = false;
    rig.signals.stop = [&] {
      if (++asked < c.askAt) return false;
      if (asked == c.askAt)
        spoolerStoppedWhenAsked = rig.h.services.Spooler().State() == sim::ServiceState::Stopped;
      return true;
    };
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.end(), {"--log", "audit.log"});
    EXPECT_EQ(rig.Run(arguments), 4);
    EXPECT_TRUE(spoolerStoppedWhenAsked);
    EXPECT_EQ(rig.h.world.Vendor("onboard-usb").Identity().serial, c.holds);
    EXPECT_EQ(rig.h.services.Spooler().State(), sim::ServiceState::Running);
    EXPECT_FALSE(rig.h.host.FolderExists(kWorkFolder));
    EXPECT_EQ(rig.signals.cleanUps, 1);
    EXPECT_NE(rig.streams.error.find("Interrupted. The print spooler was started again"),
              std::string::npos);
    const auto lines = rig.logs.Lines("audit.log");
    ASSERT_EQ(lines.size(), c.logged ? 1u : 0u);
    if (c.logged) {
      EXPECT_NE(lines[0].find(std::string("\"result\":\"") + c.logged + "\""), std::string::npos)
          << lines[0];
      EXPECT_NE(lines[0].find("\"exitCode\":4"), std::string::npos) << lines[0];
    }
  }
}

TEST(ConsoleSession, ProgressLineOnlyOnAConsole) {
  for (const bool console : {false, true}) {
    SCOPED_TRACE(console ? "on a console" : "redirected");
    ConsoleRig rig;
    rig.streams.errorIsConsole = console;
    EXPECT_EQ(rig.Run({"set", "NEW-0001"}), 0);
    EXPECT_EQ(rig.streams.output.find('\r'), std::string::npos);
    const bool progress =
        rig.streams.error.find("\rLooking for the printer again in 5 s (1 of 3)...") !=
        std::string::npos;
    EXPECT_EQ(progress, console) << rig.streams.error;
    EXPECT_EQ(rig.streams.error.find('\r') != std::string::npos, console);
    // Every progress line is cleared: the last thing on the line is blank.
    if (console) {
      EXPECT_EQ(rig.streams.error.back(), '\r');
    }
  }
}

TEST(ConsoleSession, MessagesFollowTheUsersLanguage) {
  struct Case {
    std::uint16_t langId;
    std::vector<std::string> arguments;
    const char* error;   // part of what the error stream says
    const char* output;  // part of what the output stream says
  } const cases[] = {
      {0x0409,
       {"set", "BAD/CODE"},
       "Error: Invalid character in ID code.",
       "Refused: Invalid character in ID code."},
      {0x0411,
       {"set", "BAD/CODE"},
       "エラー: 識別コードに無効な文字が含まれています。",
       "拒否されました: "},
      {0x0411,
       {"check", "X", "--product", "none"},
       "製品名 \"none\" のプリンターが見つかりません。",
       ""},
      {0x0411, {"--help"}, "", "使い方: NOLPAIDC"},
      {0x0804,
       {"check", "VX410A000117"},
       "",
       "Matches: VX-410 Receipt holds ID code VX410A000117."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments[0] + " " + std::to_string(c.langId));
    ConsoleRig rig;
    rig.h.system.langId = c.langId;
    rig.Run(c.arguments);
    EXPECT_NE(rig.streams.error.find(c.error), std::string::npos) << rig.streams.error;
    EXPECT_NE(rig.streams.output.find(c.output), std::string::npos) << rig.streams.output;
  }
}

TEST(ConsoleSession, WriteFailureBoxIsALineAndTheRunGoesOn) {
  ConsoleRig rig;
  rig.h.world.Vendor("onboard-usb").Faults().writes.push_back({.nth = 0, .take = 0});
  EXPECT_EQ(rig.Run({"set", "NEW-0001"}), 3);
  EXPECT_EQ(rig.streams.error, "Error: The writing in of the ID failed.\n");
  EXPECT_EQ(rig.streams.output, "Failed: The writing in of the ID failed.\n");
  EXPECT_TRUE(rig.h.boxes.shown.empty()) << "a box would wait for OK";
}

}  // namespace
}  // namespace nolpa
