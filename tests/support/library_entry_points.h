#pragma once
// The library's four exports through the pointer types a program binds them
// by, so a test calls them as the program does.
#include "serial_library/morvalib.h"
#include "sim/host/host_system.h"

namespace nolpa::testing {

inline constexpr GetUSBSerialNumberFn kGetSerial = &::GetUSBSerialNumber;
inline constexpr SetUSBSerialNumberFn kSetSerial = &::SetUSBSerialNumber;
inline constexpr GetPrinterFirmwareVersionFn kGetFirmware = &::GetPrinterFirmwareVersion;
inline constexpr SendReceiveD4CommandFn kSendReceive = &::SendReceiveD4Command;

// Makes the simulated host's library export the real library code.
inline void BindLibraryExports(sim::LibraryExports& library) {
  library.getUSBSerialNumber = kGetSerial;
  library.setUSBSerialNumber = kSetSerial;
  library.getPrinterFirmwareVersion = kGetFirmware;
  library.sendReceiveD4Command = kSendReceive;
}

}  // namespace nolpa::testing
