#pragma once
// Reading and writing the printer's USB serial number: the bodies of
// GetUSBSerialNumber and SetUSBSerialNumber, with their contract
// (morvalib.h); the printer is reached through `open`.
#include <cstddef>
#include <string>

#include "serial_library/open_printer_port.h"

namespace nolpa::morvalib {

// The largest reply buffer the serial-number read enlarges to. A reply that
// does not fit it is no serial number: the read ends with -5. On the direct
// port the ceiling is never reached (its engine refuses replies over 1,024
// bytes); it bounds the channel-API port, whose replies have no limit.
inline constexpr std::size_t kMaxSerialReplyBuffer = 64 * 1024;

int ReadSerialNumber(const PortOpener& open, const char* devicePath, char* buffer, int bufferSize,
                     int* length, int model);

int WriteSerialNumber(const PortOpener& open, const char* devicePath, const char* serialNumber,
                      int model);

// Copies `text` with its NUL into the caller's buffer when it fits: the
// out-parameter rule shared by the two text exports. Sets `*length` to the
// text's length + 1; returns 0, or -2 with `buffer` untouched.
int HandOutText(const std::string& text, char* buffer, int bufferSize, int* length);

}  // namespace nolpa::morvalib
