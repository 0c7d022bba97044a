// The four exports against printers that do what IEEE 1284.4 lets a
// printer do, each a script of its choices: an earlier answer sent as soon
// as the printer has credit, floods of Credits and of data, credit granted
// late, an Exit never acknowledged, replies in USB transfers of 64 and 512
// bytes. Each call must end right (no success that is not one, within the
// call's deadline, nothing left open), and the next call on the same
// printer, now behaving, must succeed.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "serial_library/call_deadline.h"
#include "serial_library/live_objects.h"
#include "tests/support/hostile_world.h"

namespace nolpa::testing {
namespace {

constexpr int kForever = -1;  // ends a list: its last value, for ever

// Choices by what they are about, each list taken in turn; nothing listed
// (or a list used up) behaves.
using Script = std::map<std::pair<Choice, std::uint8_t>, std::vector<int>>;

Chooser Scripted(Script script) {
  auto state =
      std::make_shared<std::pair<Script, std::map<std::pair<Choice, std::uint8_t>, std::size_t>>>(
          std::move(script), std::map<std::pair<Choice, std::uint8_t>, std::size_t>{});
  return [state](Choice choice, std::uint8_t about) {
    const auto key = std::make_pair(choice, about);
    const auto found = state->first.find(key);
    if (found == state->first.end()) return 0;
    const std::vector<int>& values = found->second;
    std::size_t& next = state->second[key];
    if (next < values.size() && values[next] == kForever) return values[next - 1];
    return next < values.size() ? values[next++] : 0;
  };
}

enum class Call { ReadSerial, WriteSerial, ReadFirmware };

int RunCall(HostileWorld& w, Call call) {
  std::string text;
  switch (call) {
    case Call::ReadSerial: {
      const int result = w.ReadSerial(&text);
      if (result == MORVALIB_OK) {
        EXPECT_EQ(text, kHostileSerial) << "not the printer's own";
      }
      return result;
    }
    case Call::WriteSerial: return w.WriteSerial("NEWSERIAL000000042");
    case Call::ReadFirmware: {
      const int result = w.ReadFirmware(&text);
      if (result == MORVALIB_OK) {
        EXPECT_EQ(text, kHostileFirmware) << "not the printer's own";
      }
      return result;
    }
  }
  return MORVALIB_E_ARGUMENT;
}

TEST(HostilePrinterScripts, EveryCallEndsRightAndTheNextOneSucceeds) {
  constexpr std::uint8_t kCredit = 0x03, kCreditRequest = 0x04, kCreditReply = 0x83;
  constexpr std::uint8_t kInit = 0x00, kOpen = 0x01, kExit = 0x08;
  struct Case {
    const char* name;
    Call call;
    Script script;
    const char* held;  // the answer the printer still holds
    int result;
  } const cases[] = {
      {"an earlier OK sent before the command, this write refused",
       Call::WriteSerial,
       {{{Choice::Answer, kAboutData}, {3}}},
       "tp:00F0:OK;\x0C",
       MORVALIB_E_NOT_ACKED},
      {"an earlier serial number sent before the command",
       Call::ReadSerial,
       {},
       "tp:01F0:4F4C44;\x0C",
       MORVALIB_OK},
      {"a new Credit each time the host answers one",
       Call::ReadSerial,
       {{{Choice::Before, kOpen}, {1}}, {{Choice::Before, kCreditReply}, {1, kForever}}},
       "",
       MORVALIB_E_SEND},
      {"1,500 data packets without credit before the credit's reply",
       Call::ReadSerial,
       {{{Choice::Before, kCreditRequest}, {6}}, {{Choice::Flood, kCreditRequest}, {1500}}},
       "",
       MORVALIB_E_SEND},
      {"CreditRequests and unknown commands of the printer's own",
       Call::ReadSerial,
       {{{Choice::Before, kOpen}, {2}}, {{Choice::Before, kCredit}, {3}}},
       "",
       MORVALIB_OK},
      {"a CreditRequest granted 0, then a Credit",
       Call::WriteSerial,
       {{{Choice::CreditGrant, kCreditRequest}, {1}}},
       "",
       MORVALIB_OK},
      {"credit only in the answer's packet header, answer in pieces",
       Call::ReadSerial,
       {{{Choice::HeaderCredit, kAboutData}, {1, kForever}},
        {{Choice::Pieces, kAboutData}, {4}},
        {{Choice::EndFlag, kAboutData}, {1}}},
       "",
       MORVALIB_OK},
      {"Init refused, Exit never acknowledged: no status on the plain path",
       Call::ReadFirmware,
       {{{Choice::Answer, kInit}, {3}}, {{Choice::Answer, kExit}, {2}}},
       "",
       MORVALIB_E_FIRMWARE},
      {"Init refused, Exit acknowledged: the status on the plain path",
       Call::ReadFirmware,
       {{{Choice::Answer, kInit}, {3}}},
       "",
       MORVALIB_OK},
      {"replies in transfers of 64 bytes",
       Call::ReadSerial,
       {{{Choice::Transfer, kAboutNothing}, {1}}},
       "",
       MORVALIB_OK},
      {"replies in transfers of 512 bytes",
       Call::ReadFirmware,
       {{{Choice::Transfer, kAboutNothing}, {2}}},
       "",
       MORVALIB_OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HostileWorld w(Scripted(c.script));
    ASSERT_TRUE(w.Installed());
    w.Printer().HoldAnswer(c.held);
    const std::uint64_t start = w.Clock().NowMs();
    EXPECT_EQ(RunCall(w, c.call), c.result);
    EXPECT_LE(w.Clock().NowMs() - start, morvalib::kCallWorkMs + morvalib::kCallClosingMs);
    EXPECT_FALSE(w.Printer().InPacketMode());
    EXPECT_FALSE(w.Printer().PlainReadAsPacket());
    EXPECT_EQ(w.Printer().WrongAnswers(), 0);
    EXPECT_EQ(w.Printer().Accepted().empty(), c.call != Call::WriteSerial || c.result != 0);
    EXPECT_EQ(w.World().OpenHandles(), 0u);
    EXPECT_EQ(morvalib::Live(), morvalib::LiveObjects{});

    w.Choose({});
    EXPECT_EQ(RunCall(w, c.call), MORVALIB_OK) << "the next call, the printer now behaving";
    EXPECT_FALSE(w.Printer().InPacketMode());
  }
}

}  // namespace
}  // namespace nolpa::testing
