#include "printerio/communication_test.h"

#include <cstring>
#include <optional>
#include <span>

#include "platform/scoped.h"
#include "printerio/printer_requests.h"
#include "printerio/reply_reader.h"

namespace nolpa::printerio {
namespace {

// The text of an accepted answer: a block of more than one byte that starts
// with the header; its text runs from after the header up to the NUL.
std::optional<std::string> AskOne(ByteChannel& channel, std::span<const std::uint8_t> request) {
  // A request that does not get through shows up as a missing answer.
  channel.WriteAll(request);
  ReplyBuffer reply{};
  int count = 0;
  if (ReadReply(channel, reply, count) != ReplyBlock || count <= 1 || reply[0] != kAnswerHeader)
    return std::nullopt;
  return std::string(reinterpret_cast<const char*>(reply.data()) + 1,
                     static_cast<std::size_t>(count) - 2);
}

CommTestOutcome TestByLibrary(platform::ScopedDevice& device, const CommTestRequest& request,
                              const FirmwareVersionFn& firmwareVersion) {
  CommTestOutcome outcome{false, request.infoLine1, true};
  std::array<char, kFirmwareBufferSize> version{};
  int length = 0;
  int result = -1;
  // The library opens the printer on its own while this handle stays open.
  if (firmwareVersion)
    result =
        firmwareVersion(request.devicePath.c_str(), version.data(), kFirmwareBufferSize, &length);
  device.Close();
  if (result != 0) return outcome;
  // Bounded by the buffer: a library that fills it without a NUL must not
  // make the text run on into the stack.
  const std::size_t textLength = strnlen(version.data(), version.size());
  outcome.infoLine1 = request.productText + " " + std::string(version.data(), textLength);
  outcome.succeeded = true;
  return outcome;
}

bool ExchangeWithPrinter(ByteChannel& channel, std::string& infoLine1) {
  if (!channel.WriteAll(kResetSequence)) return false;
  // Replies to the reset or anything else pending must not pass for answers.
  if (!EmptyChannel(channel)) return false;
  return AskPrinterInformation(channel, infoLine1);
}

}  // namespace

bool AskPrinterInformation(ByteChannel& channel, std::string& infoLine1) {
  const std::optional<std::string> model = AskOne(channel, kModelRequest);
  if (!model) return false;
  infoLine1 = *model;
  const std::optional<std::string> firmware = AskOne(channel, kFirmwareRequest);
  if (!firmware) return false;
  infoLine1 += " " + *firmware;
  const std::optional<std::string> serial = AskOne(channel, kSerialRequest);
  if (!serial) return false;
  infoLine1 += "  " + *serial;
  return true;
}

CommTestOutcome RunCommunicationTest(const platform::Platform& platform,
                                     const CommTestRequest& request,
                                     const FirmwareVersionFn& firmwareVersion) {
  platform::ScopedDevice device(*platform.files, platform.files->Open(request.devicePath));
  if (!device.Valid()) return {false, request.infoLine1, false};
  if (request.printerClassRoute) return TestByLibrary(device, request, firmwareVersion);

  ByteChannel channel(*platform.files, *platform.clock, device.Get());
  channel.ApplyChannelTimeouts();
  CommTestOutcome outcome{false, request.infoLine1, false};
  outcome.succeeded = ExchangeWithPrinter(channel, outcome.infoLine1);
  outcome.refreshDisplay = outcome.succeeded;
  device.Close();
  return outcome;
}

}  // namespace nolpa::printerio
