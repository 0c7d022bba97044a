// The four exports against a hostile IEEE 1284.4 printer whose every choice
// comes from the input: which packets it sends of its own and how many
// (Credits, CreditRequests, unknown commands, Error packets, data, bytes
// that start no packet), how it answers (late, never, refused, as an Error
// packet, on another socket), what credit it grants and puts in headers,
// how it cuts its answers, whether it keeps answers across a close, how its
// bytes reach the host (a stream or USB transfers of 64 or 512 bytes) and
// how its device takes writes and reads. The input starts with the answer
// the printer holds from an earlier call (a count, then the bytes), then
// one byte per call (which export) followed by the choices that call uses;
// each choice is one byte, and an input used up behaves.
//
// After every call: a serial number or firmware version returned is the
// printer's own, whole; a write succeeded only when the printer
// acknowledged this very write; the call ended within its deadline on the
// virtual clock; the printer is out of packet mode unless the call failed;
// plain bytes never went to it in packet mode; its own transactions got
// answers by the rules; nothing of the library or the device is left
// open. Then every export, on the same printer now behaving (once what it
// sent late has come), succeeds.
#include <string>

#include "fuzzing/support/fuzz_input.h"
#include "serial_library/call_deadline.h"
#include "serial_library/live_objects.h"
#include "tests/support/hostile_world.h"

namespace {

using nolpa::fuzz::FuzzInput;
using nolpa::testing::Choice;
namespace morvalib = nolpa::morvalib;
namespace testing = nolpa::testing;

constexpr int kMostCalls = 6;

// One input byte per choice, read into the choice's range so that most
// values behave where misbehaving ends every call.
int Decide(FuzzInput& input, Choice choice) {
  const int b = input.Byte();
  switch (choice) {
    case Choice::Transfer: return b % 3;
    case Choice::Before: return b >= 0x80 ? b % 7 : 0;
    case Choice::Flood: return b * 8;
    case Choice::Answer: return b >= 0xC0 ? b % 6 : 0;
    case Choice::DelayTens: return b;
    case Choice::CreditGrant: return b >= 0xC0 ? b % 3 : 0;
    case Choice::Pieces: return b % 8;
    case Choice::HeaderCredit: return (b & 3) == 3 ? b >> 2 : 0;
    case Choice::EndFlag: return b & 1;
    case Choice::DeviceWrite:
    case Choice::DeviceRead: return b >= 0xF0 ? b % 3 : 0;
    case Choice::Garbage: return b;
    case Choice::KeepQueued: return b & 1;
  }
  return 0;
}

enum class Call { ReadSerial, WriteSerial, ReadFirmware, SendStatus };

// Runs `call` and checks what its result says against the printer.
void CheckedCall(testing::HostileWorld& w, Call call, int round, bool mustSucceed) {
  testing::HostilePeripheral& printer = w.Printer();
  const std::uint64_t start = w.Clock().NowMs();
  const std::size_t acceptedBefore = printer.Accepted().size();
  std::string text;
  const std::string serial = "WRITTEN" + std::to_string(10000000000 + round);  // 18 characters
  int result = 0;
  switch (call) {
    case Call::ReadSerial:
      result = w.ReadSerial(&text);
      if (result == MORVALIB_OK) FUZZ_CHECK(text == testing::kHostileSerial);
      break;
    case Call::WriteSerial:
      result = w.WriteSerial(serial);
      if (result == MORVALIB_OK)
        FUZZ_CHECK(printer.Accepted().size() > acceptedBefore &&
                   printer.Accepted().back() == serial);
      break;
    case Call::ReadFirmware:
      result = w.ReadFirmware(&text);
      if (result == MORVALIB_OK) FUZZ_CHECK(text == testing::kHostileFirmware);
      break;
    case Call::SendStatus:
      result = w.SendStatus(&text);
      if (result == MORVALIB_OK)
        FUZZ_CHECK(text == testing::HostilePeripheral::Status(testing::kHostileFirmware));
      break;
  }
  FUZZ_CHECK(w.Clock().NowMs() - start <= morvalib::kCallWorkMs + morvalib::kCallClosingMs);
  FUZZ_CHECK(!printer.InPacketMode() || result != MORVALIB_OK);
  FUZZ_CHECK(!printer.PlainReadAsPacket());
  FUZZ_CHECK(printer.WrongAnswers() == 0);
  FUZZ_CHECK(w.World().OpenHandles() == 0);
  FUZZ_CHECK(morvalib::Live() == morvalib::LiveObjects{});
  if (mustSucceed) FUZZ_CHECK(result == MORVALIB_OK);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const auto held = input.Take(input.Byte() % 59);
  testing::HostileWorld w([&input](Choice choice, std::uint8_t) { return Decide(input, choice); });
  FUZZ_CHECK(w.Installed());
  w.Printer().HoldAnswer(std::string(held.begin(), held.end()));
  int round = 0;
  for (; round < kMostCalls && !input.Empty(); ++round)
    CheckedCall(w, static_cast<Call>(input.Byte() % 4), round, false);
  // Now behaving, once what it sent late has all come.
  w.Choose({});
  w.Clock().Advance(morvalib::kCallWorkMs);
  for (const Call call :
       {Call::ReadSerial, Call::WriteSerial, Call::ReadFirmware, Call::SendStatus})
    CheckedCall(w, call, ++round, true);
  return 0;
}
