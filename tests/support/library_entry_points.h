#pragma once
// The library's four exports through the pointer types a program binds them
// by, so a test calls them as the program does.
#include "serial_library/morvalib.h"

namespace nolpa::testing {

inline constexpr GetUSBSerialNumberFn kGetSerial = &::GetUSBSerialNumber;
inline constexpr SetUSBSerialNumberFn kSetSerial = &::SetUSBSerialNumber;
inline constexpr GetPrinterFirmwareVersionFn kGetFirmware = &::GetPrinterFirmwareVersion;
inline constexpr SendReceiveD4CommandFn kSendReceive = &::SendReceiveD4Command;

}  // namespace nolpa::testing
