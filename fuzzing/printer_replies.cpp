// The library's decoders of the printer's control-channel answers: the
// serial-number reply, the write acknowledgement and the status reply.
#include "fuzzing/support/fuzz_input.h"
#include "serial_library/printer_commands.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace morvalib = nolpa::morvalib;
  const std::span<const std::uint8_t> reply(data, size);
  const std::string_view text = nolpa::fuzz::AsText(reply);

  if (const auto serial = morvalib::DecodeSerialReply(reply)) {
    FUZZ_CHECK(text.starts_with("tp:01F0:"));
    const std::size_t digits = text.find(';') - 8;
    FUZZ_CHECK(serial->size() <= digits / 2);
    FUZZ_CHECK(serial->find('\0') == std::string::npos);
  }
  FUZZ_CHECK(morvalib::IsWriteAcknowledged(reply) == text.starts_with("tp:00F0:OK;\x0C"));
  if (const auto version = morvalib::DecodeStatusReply(reply)) {
    FUZZ_CHECK(text.starts_with("@BDC ST"));
    FUZZ_CHECK(version->size() <= morvalib::kMaxFirmwareVersion);
    FUZZ_CHECK(version->find('\0') == std::string::npos);
  }
  return 0;
}
