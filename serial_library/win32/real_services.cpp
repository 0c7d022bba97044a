// Morvalib.dll reaches printers through the real device files, clock,
// device tree, USB hubs and interface enumeration, installed as the library
// is loaded.
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_device_files.h"
#include "platform/win32/win32_device_interfaces.h"
#include "platform/win32/win32_device_tree.h"
#include "platform/win32/win32_usb_hub_files.h"
#include "serial_library/services.h"

namespace {

nolpa::platform::win32::Win32DeviceFiles files;
nolpa::platform::win32::Win32Clock clock;
nolpa::platform::win32::Win32DeviceTree deviceTree;
nolpa::platform::win32::Win32UsbHubFiles hubFiles;
nolpa::platform::win32::Win32DeviceInterfaces interfaces;
[[maybe_unused]] const bool installed = nolpa::morvalib::InstallServices(
    {.files = &files, .clock = &clock, .deviceTree = &deviceTree, .hubFiles = &hubFiles,
     .interfaces = &interfaces});

}  // namespace
