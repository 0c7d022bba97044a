#pragma once
// Reading the printer's firmware version out of its status reply: the body
// of GetPrinterFirmwareVersion, with its contract (morvalib.h); the printer
// is reached through `open`.
#include <cstdint>
#include <string>

#include "serial_library/open_printer_port.h"
#include "serial_library/printer_port.h"

namespace nolpa::morvalib {

// IOCTL_USBPRINT_GET_LPT_STATUS and the status bit that must be set in the
// first byte of its answer before the data path is asked for the status.
inline constexpr std::uint32_t kIoctlLptStatus = 0x220030;
inline constexpr std::uint8_t kLptStatusReady = 0x08;
// How long the direct port waits after the remote status request, and for
// each byte of the reply.
inline constexpr std::uint32_t kStatusSettleMs = 2000;
inline constexpr std::uint32_t kStatusByteWaitMs = 2000;

int ReadFirmwareVersion(const PortOpener& open, const char* devicePath, char* buffer,
                        int bufferSize, int* length);

// The status reply of a direct port without the packet protocol, read from
// the data path up to and including its closing 0x0C (for a "@BDC ST2"
// status, the 0x0C after its whole field list: ReplyIsWhole); empty on a
// failed or missing read, a time-out or 1,024 bytes without that byte.
// While nothing is there it pauses 1 ms between reads.
std::string ReadDataPathReply(TRKCCC& port);

}  // namespace nolpa::morvalib
