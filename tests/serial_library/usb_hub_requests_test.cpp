// The hub drivers' name answers as the lookup reads them: a name narrowed to
// low bytes ends where a C string would, so a hub is never opened, nor a
// port matched, by a name that holds a zero byte.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "serial_library/usb_hub_requests.h"

namespace nolpa {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Wide(const std::u16string& text) {
  Bytes bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

// Answers every request with `head` (the fixed part: its whole size at
// `lengthAt`) followed by the name, cut to the buffer offered.
class NameDriver final : public platform::UsbHubFiles {
 public:
  NameDriver(std::size_t head, std::size_t lengthAt, const std::u16string& name)
      : answer_(head, 0) {
    const Bytes wide = Wide(name);
    answer_.insert(answer_.end(), wide.begin(), wide.end());
    const auto size = static_cast<std::uint32_t>(answer_.size());
    std::memcpy(answer_.data() + lengthAt, &size, 4);
  }
  platform::DeviceHandle Open(const std::string&) override { return 1; }
  void Close(platform::DeviceHandle) override {}
  bool IoControl(platform::DeviceHandle, std::uint32_t, const void*, std::uint32_t, void* out,
                 std::uint32_t outSize, std::uint32_t* returned) override {
    *returned = std::min<std::uint32_t>(outSize, static_cast<std::uint32_t>(answer_.size()));
    std::memcpy(out, answer_.data(), *returned);
    return true;
  }

 private:
  Bytes answer_;
};

TEST(UsbHubNames, NarrowToLowBytesAndEndAtTheFirstZeroByte) {
  struct Case {
    std::u16string name;
    std::string expected;
  } cases[] = {
      {u"USB#ROOT_HUB20#4&1", "USB#ROOT_HUB20#4&1"},
      {u"AB\u0143CD", "ABCCD"},  // a unit above U+00FF gives its low byte
      {u"AB\u3100CD", "AB"},     // low byte zero: a C string ends there
      {u"", ""},
      // Longer than the first request's buffer: asked for again whole.
      {std::u16string(200, u'K'), std::string(200, 'K')},
  };
  for (const auto& c : cases) {
    NameDriver controller(4, 0, c.name);
    EXPECT_EQ(morvalib::RootHubName(controller, 1), c.expected);
    NameDriver hub(8, 4, c.name);
    EXPECT_EQ(morvalib::PortDriverKey(hub, 1, 3), c.expected);
  }
}

}  // namespace
}  // namespace nolpa
