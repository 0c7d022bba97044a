#pragma once
// Where a USB device is plugged in, as a short text (UsbLocation), and the
// process-wide table of USB hubs that text counts its root hubs in.
//
// A location has two characters per level, from the host controller down to
// the device: first the root hub's position in the hub table (from 1) and
// the table's length, then for each hub on the way down the number of the
// port the next device hangs on and "0". Each character stands for a value:
// "0"-"9" for 0-9, "a"-"z" for 10-35, "-" for anything else. A printer on
// port 2 of a hub on port 3 of the second of two root hubs, with no other
// hub, is "233020": the table lists the two root hubs and that hub.
#include <cstddef>
#include <string>
#include <vector>

#include "serial_library/printer_port.h"

namespace nolpa::morvalib {

// Longest hub table entry (256 with its NUL); the longest location text is
// kMaxUsbLocation (printer_port.h).
inline constexpr std::size_t kMaxHubPath = 255;
// Host controllers asked for their root hub: "\\.\HCD0" to "\\.\HCD15".
inline constexpr int kHostControllers = 16;

// The character for `value` in a location text.
char LocationCharacter(int value);

// The hub table, built on first use from the installed services and kept
// until DropHubTable (the library's unloading, or a trace that met a hub the
// table does not list): "\\?\" + the root hub name of every host controller
// that answers, in controller order, then every present hub of the USB hub
// interface class not listed yet (compared without regard to case). Paths
// longer than kMaxHubPath are left out. Empty, and not kept, while the USB
// tracing services are not installed.
const std::vector<std::string>& HubTable();
// Forgets the table: the next HubTable() builds it again.
void DropHubTable();

// The location of the device whose instance identifier is
// `instanceIdentifier` ("USB\VID_0F1A&PID_0520\A1"), or an empty text when
// it cannot be traced: the device or a node on the way up is not found, a
// hub does not answer, no port of a hub leads to the device, a hub or its
// root hub is not in the hub table, or the text would be longer than
// kMaxUsbLocation. A hub is a node the hub table lists or a hub driver
// ("usbhub", "USBHUB3", ...) runs, whichever stack it is on. When the table
// lacks a hub on the way, it is dropped, and the next call builds it anew.
// Every controller and hub opened is closed again.
std::string UsbLocation(const std::string& instanceIdentifier);

}  // namespace nolpa::morvalib
