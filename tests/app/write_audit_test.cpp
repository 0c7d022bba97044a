// The window program's Write with an audit log: a line per attempt, the
// outcome classified; a write the log could not record is not made, and a
// line that could not be appended is said after the write's own message.
#include <gtest/gtest.h>

#include "app/audit_log.h"
#include "app/command_line.h"
#include "app/run_command_line.h"
#include "tests/console/console_harness.h"
#include "tests/support/sim_harness.h"

namespace nolpa {
namespace {

using resources::MessageId;
using testing::MemoryLogFiles;
using testing::SimHarness;

struct AuditedForm {
  SimHarness h;
  MemoryLogFiles logs;
  platform::posix::Windows1252Encoding encoding;
  app::AuditLog log{logs, encoding, "NOLPAID", "audit.log"};
  app::ImmediateWriteAudit audit{log};

  explicit AuditedForm(bool show = true) {
    h.AddVendor("a", u"CODE-A", u"name a");
    h.AddVendor("b", u"CODE-B", u"name b", sim::kNwjBoard);
    h.Make([this](ui::FormServices& s) { s.writeAudit = &audit; });
    if (show) h.form->FormShow();
  }
  void Write(int index, const std::string& code) {
    h.form->ComboBox1.SelectionFromUser(index);
    h.form->ComboBox1Change();
    h.form->Edit1.TextFromUser(code);
    h.boxes.shown.clear();
    h.form->Button3Click();
  }
  std::size_t DeviceRequests() const {
    return h.world.Recorder().RequestsOf("a").size() + h.world.Recorder().RequestsOf("b").size();
  }
};

TEST(WriteAudit, EachWriteAttemptIsOneLineWithItsOutcome) {
  const struct {
    int index;
    const char* code;
    const char* result;
    MessageId message;
  } attempts[] = {
      {0, "NEW-A", "written", MessageId::WriteSucceeded},
      {1, "NEW-B", "written", MessageId::WriteSucceeded},
      {0, "BAD/A", "refused", MessageId::IdCodeInvalid},
      {0, "NEW-A", "unchanged", MessageId::IdUnchanged},
  };
  AuditedForm f;
  for (const auto& a : attempts) f.Write(a.index, a.code);
  const auto lines = f.logs.Lines("audit.log");
  ASSERT_EQ(lines.size(), std::size(attempts));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(lines[i]);
    EXPECT_NE(lines[i].find(std::string("\"newIdCode\":\"") + attempts[i].code + "\""),
              std::string::npos);
    EXPECT_NE(lines[i].find(std::string("\"result\":\"") + attempts[i].result + "\""),
              std::string::npos);
    EXPECT_NE(lines[i].find(std::string("\"message\":\"") +
                            resources::Message(attempts[i].message).english),
              std::string::npos);
    EXPECT_NE(lines[i].find("\"program\":\"NOLPAID\""), std::string::npos);
    EXPECT_NE(lines[i].find("\"exitCode\":null"), std::string::npos);
  }
  EXPECT_NE(lines[1].find("\"oldIdCode\":\"CODE-B\""), std::string::npos) << "the board's old code";
}

TEST(WriteAudit, ACommandLineCodeTheCodePageCannotHoldIsLoggedAsGiven) {
  AuditedForm f(false);
  app::CommandLineValues values =
      app::InAnsiCodePage(app::ParseCommandLine("/s ＬＩＮＥ３ VX a"), f.encoding);
  EXPECT_EQ(app::CarryOutCommandLineRun(
                *f.h.form, values, [] {}, &f.encoding),
            3);
  const auto lines = f.logs.Lines("audit.log");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(
      lines[0].find(
          R"("newIdCode":"ＬＩＮＥ３","oldIdName":"name a","newIdName":"name a","result":"refused","message":"Invalid character in ID code.")"),
      std::string::npos)
      << lines[0];
  EXPECT_EQ(f.h.world.Vendor("a").Identity().serial, "CODE-A");
}

TEST(WriteAudit, WriteTheLogCannotRecordIsNotMade) {
  AuditedForm f;
  f.logs.unopenable.insert("audit.log");
  const std::size_t before = f.DeviceRequests();
  f.Write(0, "NEW-A");
  ASSERT_EQ(f.h.boxes.shown.size(), 1u);
  EXPECT_EQ(f.h.boxes.shown[0].text, resources::Message(MessageId::AuditLogUnavailable).english);
  EXPECT_EQ(f.h.world.Vendor("a").Identity().serial, "CODE-A");
  EXPECT_EQ(f.DeviceRequests(), before);
  EXPECT_TRUE(f.h.form->Button3.Enabled()) << "the controls were not given back";
}

TEST(WriteAudit, LineThatCouldNotBeAppendedIsSaidAfterTheWrite) {
  AuditedForm f;
  f.logs.failAppends = true;
  f.Write(0, "NEW-A");
  EXPECT_EQ(f.h.world.Vendor("a").Identity().serial, "NEW-A");
  ASSERT_EQ(f.h.boxes.shown.size(), 2u);
  EXPECT_EQ(f.h.boxes.shown[0].text, resources::Message(MessageId::WriteSucceeded).english);
  EXPECT_EQ(f.h.boxes.shown[1].text, resources::Message(MessageId::AuditLogNotWritten).english);
}

}  // namespace
}  // namespace nolpa
