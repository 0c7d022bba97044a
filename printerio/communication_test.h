#pragma once
// The communication test: does the selected printer answer? On the maker's
// drivers it asks the printer for its model, firmware version and serial
// number; on the USB Printer Class route it asks the serial-number library
// for the firmware version.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/platform.h"
#include "printerio/byte_channel.h"

namespace nolpa::printerio {

// Printer-information requests GS I n, in the order the test sends them.
inline constexpr std::array<std::uint8_t, 3> kModelRequest = {0x1D, 0x49, 0x43};     // "C"
inline constexpr std::array<std::uint8_t, 3> kFirmwareRequest = {0x1D, 0x49, 0x41};  // "A"
inline constexpr std::array<std::uint8_t, 3> kSerialRequest = {0x1D, 0x49, 0x44};    // "D"
// The header byte of an accepted answer ("_").
inline constexpr std::uint8_t kAnswerHeader = 0x5F;
// The buffer the library writes the firmware version into.
inline constexpr int kFirmwareBufferSize = 128;

// The library's GetPrinterFirmwareVersion(device path, buffer, buffer size,
// length); empty while the library is not bound. 0 means the buffer holds the
// version as NUL-terminated text.
using FirmwareVersionFn =
    std::function<int(const char* devicePath, char* buffer, int bufferSize, int* length)>;

struct CommTestRequest {
  bool printerClassRoute = false;  // information line 2 names the USB Printer Class
  std::string devicePath;
  std::string productText;
  std::string infoLine1;  // the record's information line 1 before the test
};

struct CommTestOutcome {
  bool succeeded = false;
  // What the record's information line 1 holds now. What a step stored stays
  // when a later step fails.
  std::string infoLine1;
  // Whether the selected-device display runs afterwards: after every library
  // call and after a full exchange, never after a failed open or exchange.
  bool refreshDisplay = false;
};

// Asks the three requests on a channel that is open, has its time-outs and
// has been emptied. Each accepted answer goes into `infoLine1` as soon as it
// comes: the model replaces it, then one space and the firmware version, then
// two spaces and the serial number are appended. False at the first request
// without an accepted answer; the requests after it are not sent.
bool AskPrinterInformation(ByteChannel& channel, std::string& infoLine1);

// The whole test on the device: opens it, talks to it, and closes it before
// returning, so the caller can show its message with no handle open.
CommTestOutcome RunCommunicationTest(const platform::Platform& platform,
                                     const CommTestRequest& request,
                                     const FirmwareVersionFn& firmwareVersion);

}  // namespace nolpa::printerio
