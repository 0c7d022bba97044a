#pragma once
// Where a USB device is plugged in, as a short text (UsbLocation).
//
// A location has two characters per level, from the host controller down to
// the device: first the root hub's position in the hub table (hub_table.h,
// from 1) and the table's length, then for each hub on the way down the
// number of the port the next device hangs on and "0". Each character
// stands for a value: "0"-"9" for 0-9, "a"-"z" for 10-35, "-" for anything
// else. A printer on port 2 of a hub on port 3 of the second of two root
// hubs, with no other hub, is "233020": the table lists the two root hubs
// and that hub. A location names a socket, not a printer: the functions of
// one composite device share one, and so do devices on ports 36 and above
// of one hub.
#include <string>

#include "serial_library/hub_table.h"
#include "serial_library/printer_port.h"

namespace nolpa::morvalib {

// The character for `value` in a location text.
char LocationCharacter(int value);

// The location of the device whose instance identifier is
// `instanceIdentifier` ("USB\VID_0F1A&PID_0520\A1"), or an empty text when
// it cannot be traced: the device or a node on the way up is not found, a
// hub does not answer, no port of a hub leads to the device, or the text
// would be longer than kMaxUsbLocation.
//
// A node on the way up is a hub when the hub table lists it. The table in
// force is built again, and the device traced once more under the new one,
// when the trace shows it out of date: a node on the way runs a hub driver
// ("usbhub", "USBHUB3", "iusb3hub") but is not listed, no listed root hub
// is above the device, or a node below the root hub is not listed while a
// present hub of the hub interface class is missing from the table (a hub
// of an unlisted driver that came later). A trace still out of date under
// a new table gives an empty text. Every controller and hub opened is
// closed again.
std::string UsbLocation(const std::string& instanceIdentifier);

}  // namespace nolpa::morvalib
