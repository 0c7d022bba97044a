#pragma once
// The test print: one fixed line of text sent straight to the printer.
#include <array>
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace nolpa::printerio {

// "VARDU NOLPAID Test Print", a line feed and a NUL: 26 bytes, all sent.
inline constexpr std::array<std::uint8_t, 26> kTestLine = {
    'V', 'A', 'R', 'D', 'U', ' ', 'N', 'O', 'L', 'P', 'A', 'I',  'D',
    ' ', 'T', 'e', 's', 't', ' ', 'P', 'r', 'i', 'n', 't', 0x0A, 0x00};

// Opens the device, sets the channel time-outs and sends kTestLine in one
// write; on the USB Printer Class route it only opens and closes the device.
// Silent: a device that cannot be opened, refuses the time-outs or does not
// take the line is left as it is. The device is closed before returning.
// True when the device took the whole line (the window shows nothing either
// way; the console companion reports it).
bool SendTestPrint(const platform::Platform& platform, const std::string& devicePath,
                   bool printerClassRoute);

}  // namespace nolpa::printerio
