// The printer lookup's parsers of outside input: the instance identifier cut
// from a device path the caller names, and the answers of the USB host
// controller and hub drivers (root hub name, node information, a port's
// driver key name). The input holds the device path up to its first zero
// byte, then for each request in the order it is made a byte (bit 7: the
// driver refuses, bit 6: it claims more bytes than the buffer holds), a
// little-endian count and that many answer bytes.
#include <cstring>
#include <string>

#include "fuzzing/support/fuzz_input.h"
#include "serial_library/open_printer_port.h"
#include "serial_library/usb_hub_requests.h"

namespace {

using nolpa::fuzz::FuzzInput;
namespace morvalib = nolpa::morvalib;
namespace platform = nolpa::platform;

std::uint32_t Le32(const void* bytes) {
  const auto* b = static_cast<const std::uint8_t*>(bytes);
  return b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

class FuzzHubDriver final : public platform::UsbHubFiles {
 public:
  explicit FuzzHubDriver(FuzzInput& input) : input_(input) {}

  platform::DeviceHandle Open(const std::string&) override { return 9; }
  void Close(platform::DeviceHandle) override {}

  bool IoControl(platform::DeviceHandle, std::uint32_t code, const void* in, std::uint32_t inSize,
                 void* out, std::uint32_t outSize, std::uint32_t* returned) override {
    CheckRequest(code, in, inSize, outSize);
    *returned = 0;
    const std::uint8_t how = input_.Byte();
    const auto answer = input_.Take(input_.Le16() % (outSize + 1));
    if (how & 0x80) return false;
    if (!answer.empty()) std::memcpy(out, answer.data(), answer.size());
    *returned = static_cast<std::uint32_t>(answer.size()) + ((how & 0x40) ? outSize + 1 : 0);
    return true;
  }

  std::uint32_t askedPort = 0;

 private:
  // Every request goes out with the buffers the USB stack defines for it.
  void CheckRequest(std::uint32_t code, const void* in, std::uint32_t inSize,
                    std::uint32_t outSize) const {
    FUZZ_CHECK(outSize <= morvalib::kMaxNameAnswer);
    if (code == morvalib::kIoctlPortDriverKey) {
      FUZZ_CHECK(in != nullptr && inSize == outSize && outSize >= morvalib::kPortDriverKeySize);
      FUZZ_CHECK(Le32(in) == askedPort);
      return;
    }
    FUZZ_CHECK(code == morvalib::kIoctlRootHubName);
    FUZZ_CHECK(outSize >= morvalib::kRootHubNameSize);
    if (in != nullptr) FUZZ_CHECK(inSize == outSize && outSize == morvalib::kNodeInformationSize);
  }

  FuzzInput& input_;
};

void CheckName(const std::optional<std::string>& name) {
  if (!name) return;
  FUZZ_CHECK(name->find('\0') == std::string::npos);
  FUZZ_CHECK(name->size() <= morvalib::kMaxNameAnswer / 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  std::string path;
  while (!input.Empty()) {
    const char c = static_cast<char>(input.Byte());
    if (c == '\0') break;
    path += c;
  }
  if (const auto identifier = morvalib::InstanceIdentifier(path)) {
    FUZZ_CHECK(path.starts_with("\\\\?\\"));
    FUZZ_CHECK(!identifier->empty() && identifier->size() <= morvalib::kMaxInstanceIdentifier);
    for (char c : *identifier) FUZZ_CHECK(c < 'a' || c > 'z');
  }

  FuzzHubDriver driver(input);
  CheckName(morvalib::RootHubName(driver, 9));
  if (const auto ports = morvalib::HubPortCount(driver, 9))
    FUZZ_CHECK(*ports >= 0 && *ports <= 255);
  driver.askedPort = 1 + input.Byte();
  CheckName(morvalib::PortDriverKey(driver, 9, driver.askedPort));
  return 0;
}
