#pragma once
// The control-channel exchange every serial-number operation goes through:
// open the printer, make sure the packet protocol runs, send one command,
// receive one reply, close the printer.
#include <cstdint>

#include "serial_library/open_printer_port.h"
#include "serial_library/printer_port.h"

namespace nolpa::morvalib {

// Size of the device-ID buffer the packet-mode check reads into.
inline constexpr int kDeviceIdBufferSize = 512;
// The first (and smallest) receive buffer of an exchange.
inline constexpr int kReplyBufferStep = 1024;

// True when the printer's device ID lists "D4" in its "CMD:" value (shorter
// than 128 characters, ended by ";") and the port then starts the packet
// protocol.
bool PacketModeCheck(TRKCCC& port);

// The body of SendReceiveD4Command, with its contract (morvalib.h); the
// printer is reached through `open`.
int ExchangeControl(const PortOpener& open, const char* devicePath, const std::uint8_t* command,
                    int commandLength, std::uint8_t* reply, int replySize, int* replyLength);

}  // namespace nolpa::morvalib
