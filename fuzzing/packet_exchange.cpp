// The packet engine's receive side: CCBTCtrl reads away what a printer left,
// enters packet mode and runs two whole control exchanges (serial-number
// read and status) against a peer that answers each write the engine makes
// with the next piece of the input: a count byte and that many bytes. Count
// 0xFF: the next read call fails instead; 0xFE: the next byte is a number
// of reads that find nothing before anything more comes (a late printer),
// then a count and bytes as usual. The first input byte chooses the model
// selector and, when bit 7 is set, which write call (bits 1 to 4) the device
// takes short by one byte; then a count and that many bytes already waiting
// when the engine starts.
#include "fuzzing/support/fuzz_input.h"
#include "serial_library/engine/cbt_ctrl.h"
#include "serial_library/printer_commands.h"
#include "tests/support/scripted_device.h"

namespace {

using namespace nolpa::serial_library;
using nolpa::fuzz::FuzzInput;
namespace platform = nolpa::platform;

constexpr std::uint8_t kFailRead = 0xFF;
constexpr std::uint8_t kLate = 0xFE;

class FuzzPeer final : public platform::DeviceFiles {
 public:
  FuzzPeer(FuzzInput& input, int shortWrite) : input_(input), shortWrite_(shortWrite) {
    const auto waiting = input_.Take(input_.Byte());
    pending_.assign(waiting.begin(), waiting.end());
  }

  platform::DeviceHandle Open(const std::string&) override { return 7; }
  bool SetTimeouts(platform::DeviceHandle, const platform::CommTimeouts&) override { return false; }
  void Close(platform::DeviceHandle) override {}
  bool IoControl(platform::DeviceHandle, std::uint32_t, const void*, std::uint32_t, void*,
                 std::uint32_t, std::uint32_t* returned) override {
    *returned = 0;
    return false;
  }

  bool Write(platform::DeviceHandle, const void* data, std::uint32_t size,
             std::uint32_t* done) override {
    FUZZ_CHECK(data != nullptr && size > 0);
    *done = writes_++ == shortWrite_ ? size - 1 : size;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    taken_.insert(taken_.end(), bytes, bytes + *done);
    std::uint8_t count = input_.Byte();
    if (count == kFailRead) {
      failRead_ = true;
      return true;
    }
    if (count == kLate) {
      emptyReads_ += input_.Byte();
      count = input_.Byte();
    }
    const auto answer = input_.Take(count);
    pending_.insert(pending_.end(), answer.begin(), answer.end());
    return true;
  }

  bool Read(platform::DeviceHandle, void* buffer, std::uint32_t size,
            std::uint32_t* done) override {
    FUZZ_CHECK(buffer != nullptr);
    *done = 0;
    if (failRead_) {
      failRead_ = false;
      return false;
    }
    if (emptyReads_ > 0) {
      --emptyReads_;
      return true;
    }
    const std::size_t n = std::min<std::size_t>(size, pending_.size());
    std::copy_n(pending_.begin(), n, static_cast<std::uint8_t*>(buffer));
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
    *done = static_cast<std::uint32_t>(n);
    return true;
  }

  // Every byte the device took, in order.
  const Bytes& Taken() const { return taken_; }

 private:
  FuzzInput& input_;
  int shortWrite_;
  int writes_ = 0;
  bool failRead_ = false;
  int emptyReads_ = 0;
  Bytes pending_;
  Bytes taken_;
};

void CheckExchange(const EngineStatus& status, const Bytes& reply) {
  if (status.ok()) {
    FUZZ_CHECK(reply.size() <= kMaxControlReply);
  } else {
    FUZZ_CHECK(reply.empty());
  }
  FUZZ_CHECK(EngineErrorName(status.error) != nullptr);
  FUZZ_CHECK(ErrorPacketName(status.errorPacket) != nullptr);
}

bool EndsWith(const Bytes& bytes, const Bytes& tail) {
  return bytes.size() >= tail.size() &&
         std::equal(tail.begin(), tail.end(), bytes.end() - tail.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::uint8_t setup = input.Byte();
  nolpa::testing::FakeClock clock;
  FuzzPeer peer(input, (setup & 0x80) != 0 ? (setup >> 1) & 0x0F : -1);
  CPortIO io(peer, clock, 7);
  {
    CCBTCtrl engine(io);
    if (engine.Start().ok()) {
      Bytes reply;
      const auto serialCommand = nolpa::morvalib::SerialReadCommand(setup & 1);
      CheckExchange(engine.ControlExchange(serialCommand, reply), reply);
      if (const auto serial = nolpa::morvalib::DecodeSerialReply(reply))
        FUZZ_CHECK(serial->size() <= reply.size() / 2);
      CheckExchange(engine.ControlExchange(nolpa::morvalib::kStatusCommand, reply,
                                           &nolpa::morvalib::ReplyIsWhole),
                    reply);
      nolpa::morvalib::DecodeStatusReply(reply);
    }
    engine.Stop();
    FUZZ_CHECK(!engine.InPacketMode());
    // Outside packet mode nothing goes to the printer.
    Bytes reply;
    FUZZ_CHECK(engine.ControlExchange(nolpa::morvalib::kStatusCommand, reply).error ==
               EngineError::NotInPacketMode);
  }
  // Whatever happened, a printer that took any of the entry string was
  // last sent an Exit: it is never left in packet mode.
  if (!peer.Taken().empty()) FUZZ_CHECK(EndsWith(peer.Taken(), BuildExit()));
  return 0;
}
