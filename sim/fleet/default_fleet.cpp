// The built-in fleet: what NOLPAID-sim.exe finds on a machine without a
// state file. One printer of each kind the program knows (NW-J boards on
// both their codes 0x00 and 0x0C, an onboard interface on code 0x10), plus a
// serial port of another driver and a printer of another make that must not
// be listed. Each printer gives its own answer to the identification query.
// The printer-class printers of the library's models report their serial
// number and firmware through the packet protocol ("D4" in "CMD:"), except
// "rk-l880-plain", which offers no packet protocol and reports only its
// firmware, over the data path and in the field-list status form.
// "rk-l5200s" sits behind a printer of the print spooler whose 64-bit driver
// names the channel API ("ZQAPI2.DLL" in the system folder) in the 64-bit
// registry view, so a caller of the library reaches it through that API
// while the spooler runs, rather than through its device file.
// The machine is one of today's: 64-bit Windows with an xHCI host
// controller, whose root hub and every hub below run "USBHUB3". Two
// printer-class printers sit on the root hub, the others behind a hub on
// its port 5; "rk-l5200-combo", a second RK-L5200, is the printer function
// of a composite device. The printer-class printers answer as USB does, in
// bulk transfers of their endpoint's packet size (512 bytes at high speed,
// 64 at full speed), which a read smaller than the transfer overruns.
#include "sim/fleet/fleet.h"

namespace nolpa::sim {
namespace {

constexpr char kDefaultFleet[] = R"json({
  "comment": "NOLPA simulator default fleet",
  "version": 1,
  "machine": {
    "windows": "x64",
    "hostControllers": [
      {"name": "xhci", "number": 0, "ports": 8, "service": "USBXHCI", "hubService": "USBHUB3", "usb3": true}
    ],
    "hubs": [
      {"name": "desk-hub", "hub": "xhci", "port": 5, "ports": 4}
    ]
  },
  "devices": [
    {
      "name": "onboard-usb",
      "kind": "vendor",
      "usb": {"vendorId": "0x0F1A", "productId": "0x0410", "bcdUSB": "0x0200",
              "bcdDevice": "0x0100", "highSpeed": true, "boardCode": "0x04",
              "manufacturer": "Nolpa", "product": "VX-410 Receipt"},
      "serial": "VX410A000117", "idName": "Front desk",
      "model": "VX-410", "firmware": "2.03", "identByte": "0x4E"
    },
    {
      "name": "nwj-board",
      "kind": "vendor",
      "usb": {"vendorId": "0x0F1A", "productId": "0x0520", "bcdUSB": "0x0110",
              "bcdDevice": "0x0102", "highSpeed": false, "boardCode": "0x00",
              "manufacturer": "Nolpa", "product": "VX-520 Label"},
      "serial": "VX520B004281", "idName": "Warehouse",
      "model": "VX-520", "firmware": "1.12", "identByte": "0x21"
    },
    {
      "name": "nwj-board-c",
      "kind": "vendor",
      "usb": {"vendorId": "0x0F1A", "productId": "0x0530", "bcdUSB": "0x0200",
              "bcdDevice": "0x0104", "highSpeed": true, "boardCode": "0x0C",
              "manufacturer": "Nolpa", "product": "VX-530 Label"},
      "serial": "VX530D000077", "idName": "Dock 4",
      "model": "VX-530", "firmware": "1.20", "identByte": "0xA7"
    },
    {
      "name": "onboard-usb3",
      "kind": "vendor",
      "usb": {"vendorId": "0x0F1A", "productId": "0x0610", "bcdUSB": "0x0200",
              "bcdDevice": "0x0300", "highSpeed": true, "boardCode": "0x10",
              "manufacturer": "Nolpa", "product": "VX-610 Ticket"},
      "serial": "VX610E001503", "idName": "Gate 1",
      "model": "VX-610", "firmware": "4.02", "identByte": "0x63"
    },
    {
      "name": "com1",
      "kind": "serial",
      "comPort": 1, "dosTarget": "\\Device\\Serial0"
    },
    {
      "name": "com3",
      "kind": "com",
      "comPort": 3, "dosTarget": "\\Device\\KolmxSerial0",
      "usb": {"vendorId": "0x0F1A", "productId": "0x0300", "bcdUSB": "0x0200",
              "bcdDevice": "0x0201", "highSpeed": false, "boardCode": "0x08",
              "manufacturer": "Nolpa", "product": "VX-300 Kiosk"},
      "serial": "VX300C000932", "idName": "Kiosk 2",
      "model": "VX-300", "firmware": "3.00", "identByte": "0x22"
    },
    {
      "name": "rk-l5200",
      "kind": "printer-class",
      "vendorId": "0x0F1A", "productId": "0x0601",
      "deviceId": "MFG:Nolpa;CMD:NLP,D4;MDL:RK-L5200;CLS:PRINTER;DES:Nolpa RK-L5200 Label;",
      "serial": "4E4C5041000000A001", "firmware": "5.10",
      "faults": {"peripheral": {"usbPacketSize": 512}},
      "socket": {"hub": "xhci", "port": 1}
    },
    {
      "name": "rk-l5200s",
      "kind": "printer-class",
      "vendorId": "0x0F1A", "productId": "0x0604",
      "deviceId": "MFG:Nolpa;CMD:NLP,D4;MDL:RK-L5200S;CLS:PRINTER;DES:Nolpa RK-L5200S Label;",
      "serial": "4E4C5041000000D004", "firmware": "5.12",
      "spooler": {
        "printer": "Nolpa RK-L5200S Label", "port": "USB001", "portNumber": 1,
        "driver": {"name": "Nolpa Label Driver",
                   "path": "C:\\WINDOWS\\system32\\spool\\DRIVERS\\x64\\3\\NLLABEL.DLL",
                   "dataFile": "NLLABEL.INI", "zqapi32": "ZQAPI2.DLL", "zqapi32View": 64},
        "channelApi": {"file": "ZQAPI2.DLL", "folder": "system"}
      },
      "socket": {"hub": "desk-hub", "port": 1}
    },
    {
      "name": "rk-l880",
      "kind": "printer-class",
      "vendorId": "0x0F1A", "productId": "0x0602",
      "deviceId": "MFG:Nolpa;CMD:NLP,D4;MDL:RK-L880;CLS:PRINTER;DES:Nolpa RK-L880 Receipt;",
      "serial": "4E4C5041000000B002", "firmware": "3.41",
      "faults": {"peripheral": {"usbPacketSize": 64}},
      "socket": {"hub": "xhci", "port": 2}
    },
    {
      "name": "rk-l880-plain",
      "kind": "printer-class",
      "vendorId": "0x0F1A", "productId": "0x0603",
      "deviceId": "MFG:Nolpa;CMD:NLP;MDL:RK-L880;CLS:PRINTER;DES:Nolpa RK-L880 Receipt;",
      "serial": "4E4C5041000000C003", "firmware": "3.20",
      "faults": {"peripheral": {"statusFieldList": true, "usbPacketSize": 64}},
      "socket": {"hub": "desk-hub", "port": 2}
    },
    {
      "name": "other-make",
      "kind": "printer-class",
      "vendorId": "0x2B7E", "productId": "0x0101",
      "deviceId": "MFG:Quillfeather;CMD:QFL;MDL:QF-90 Office;CLS:PRINTER;",
      "serial": "QF90X11223344", "firmware": "1.0",
      "socket": {"hub": "desk-hub", "port": 4}
    },
    {
      "name": "rk-l5200-combo",
      "kind": "printer-class",
      "interfacePath": "\\\\?\\usb#vid_0f1a&pid_0605&mi_00#7&1c2d3e4f&0&0000#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}",
      "vendorId": "0x0F1A", "productId": "0x0605",
      "deviceId": "MFG:Nolpa;CMD:NLP,D4;MDL:RK-L5200;CLS:PRINTER;DES:Nolpa RK-L5200 Label;",
      "serial": "4E4C5041000000E005", "firmware": "5.14",
      "faults": {"peripheral": {"usbPacketSize": 512}},
      "socket": {"hub": "desk-hub", "port": 3, "composite": true}
    }
  ]
}
)json";

}  // namespace

std::string_view DefaultFleetJson() { return kDefaultFleet; }

}  // namespace nolpa::sim
