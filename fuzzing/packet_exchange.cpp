// The packet engine's receive side: CCBTCtrl enters packet mode and runs two
// whole control exchanges (serial-number read and status) against a peer
// that answers each packet the engine writes with the next piece of the
// input: a count byte and that many bytes (count 0xFF: the next read call
// fails instead). The first input byte chooses the model selector and, when
// bit 7 is set, which write call (low nibble) the device takes short.
#include "fuzzing/support/fuzz_input.h"
#include "serial_library/engine/cbt_ctrl.h"
#include "serial_library/printer_commands.h"
#include "tests/support/scripted_device.h"

namespace {

using namespace nolpa::serial_library;
using nolpa::fuzz::FuzzInput;
namespace platform = nolpa::platform;

class FuzzPeer final : public platform::DeviceFiles {
 public:
  FuzzPeer(FuzzInput& input, int shortWrite) : input_(input), shortWrite_(shortWrite) {}

  platform::DeviceHandle Open(const std::string&) override { return 7; }
  bool SetTimeouts(platform::DeviceHandle, const platform::CommTimeouts&) override { return false; }
  void Close(platform::DeviceHandle) override {}
  bool IoControl(platform::DeviceHandle, std::uint32_t, const void*, std::uint32_t, void*,
                 std::uint32_t, std::uint32_t* returned) override {
    *returned = 0;
    return false;
  }

  bool Write(platform::DeviceHandle, const void*, std::uint32_t size,
             std::uint32_t* done) override {
    *done = writes_++ == shortWrite_ && size > 0 ? size - 1 : size;
    const std::uint8_t count = input_.Byte();
    if (count == 0xFF) {
      failRead_ = true;
      return true;
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
    const std::size_t n = std::min<std::size_t>(size, pending_.size());
    std::copy_n(pending_.begin(), n, static_cast<std::uint8_t*>(buffer));
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
    *done = static_cast<std::uint32_t>(n);
    return true;
  }

 private:
  FuzzInput& input_;
  int shortWrite_;
  int writes_ = 0;
  bool failRead_ = false;
  std::vector<std::uint8_t> pending_;
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::uint8_t setup = input.Byte();
  nolpa::testing::FakeClock clock;
  FuzzPeer peer(input, (setup & 0x80) != 0 ? setup & 0x0F : -1);
  CPortIO io(peer, clock, 7);
  CCBTCtrl engine(io);
  if (!engine.Start().ok()) {
    FUZZ_CHECK(!engine.InPacketMode());
    return 0;
  }
  Bytes reply;
  const auto serialCommand = nolpa::morvalib::SerialReadCommand(setup & 1);
  CheckExchange(engine.ControlExchange(serialCommand, reply), reply);
  if (const auto serial = nolpa::morvalib::DecodeSerialReply(reply))
    FUZZ_CHECK(serial->size() <= reply.size() / 2);
  CheckExchange(engine.ControlExchange(nolpa::morvalib::kStatusCommand, reply), reply);
  nolpa::morvalib::DecodeStatusReply(reply);
  engine.Stop();
  FUZZ_CHECK(!engine.InPacketMode());
  // Outside packet mode nothing goes to the printer.
  FUZZ_CHECK(engine.ControlExchange(serialCommand, reply).error == EngineError::NotInPacketMode);
  return 0;
}
