// The maker's driver answers the four read requests of a printer's readout
// with the input: for each request in the order they are made, a byte (bit 7:
// refused), a little-endian count (bounded by the caller's buffer) and that
// many reply bytes.
#include <cstring>

#include "discovery/vendor_driver.h"
#include "fuzzing/support/fuzz_input.h"

namespace {

using nolpa::fuzz::FuzzInput;
namespace discovery = nolpa::discovery;
namespace platform = nolpa::platform;

std::uint32_t ExpectedBufferSize(std::uint32_t code) {
  switch (code) {
    case discovery::kGetDeviceDescriptor: return discovery::kDeviceDescriptorSize;
    case discovery::kGetStringDescriptors: return discovery::kStringDescriptorsSize;
    case discovery::kGetStatusBlock: return discovery::kStatusBlockSize;
    case discovery::kGetIdName: return discovery::kIdNameSize;
  }
  return 0;
}

class FuzzDriver final : public platform::DeviceFiles {
 public:
  explicit FuzzDriver(FuzzInput& input) : input_(input) {}

  platform::DeviceHandle Open(const std::string&) override { return 7; }
  bool Read(platform::DeviceHandle, void*, std::uint32_t, std::uint32_t* done) override {
    *done = 0;
    return false;
  }
  bool Write(platform::DeviceHandle, const void*, std::uint32_t, std::uint32_t* done) override {
    *done = 0;
    return false;
  }
  bool SetTimeouts(platform::DeviceHandle, const platform::CommTimeouts&) override { return false; }
  void Close(platform::DeviceHandle) override {}

  bool IoControl(platform::DeviceHandle, std::uint32_t code, const void* in, std::uint32_t inSize,
                 void* out, std::uint32_t outSize, std::uint32_t* returned) override {
    // The driver defines each request's buffers; a readout that asks with
    // others would be refused by the real one.
    FUZZ_CHECK(in == nullptr && inSize == 0);
    FUZZ_CHECK(out != nullptr && outSize == ExpectedBufferSize(code));
    *returned = 0;
    const std::uint8_t how = input_.Byte();
    const std::uint32_t wanted = input_.Le16() % (outSize + 1);
    const auto reply = input_.Take(wanted);
    if (how & 0x80) return false;
    if (!reply.empty()) std::memcpy(out, reply.data(), reply.size());
    *returned = static_cast<std::uint32_t>(reply.size());
    return true;
  }

 private:
  FuzzInput& input_;
};

void CheckText(const std::string& text, std::size_t longest) {
  FUZZ_CHECK(text.size() <= longest);
  FUZZ_CHECK(text.find('\0') == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  FuzzDriver driver(input);
  if (const auto strings = discovery::ReadDeviceStrings(driver, 7)) {
    // A descriptor's length byte allows at most 126 units after its header.
    CheckText(strings->product, 126);
    CheckText(strings->idCode, 126);
    CheckText(strings->idName, 126);
  }
  if (const auto line = discovery::FormatUsbInfoLine(driver, 7)) {
    FUZZ_CHECK(line->starts_with("USB"));
    FUZZ_CHECK(line->find(" Speed, ") != std::string::npos);
    FUZZ_CHECK(line->find(" Series Ver.") != std::string::npos);
    FUZZ_CHECK(line->ends_with(" "));
  }
  return 0;
}
