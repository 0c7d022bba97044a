// Morvalib.dll reaches printers through the real device files and clock,
// traces them through the real device tree and USB hubs, and reaches the
// spooler printers' channel API through the real spooler, registry, device
// interfaces, system folders and module loader, installed as the library is
// loaded.
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_device_files.h"
#include "platform/win32/win32_device_interfaces.h"
#include "platform/win32/win32_device_tree.h"
#include "platform/win32/win32_modules.h"
#include "platform/win32/win32_print_spooler.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system_folders.h"
#include "platform/win32/win32_usb_hub_files.h"
#include "serial_library/services.h"

namespace {

nolpa::platform::win32::Win32DeviceFiles files;
nolpa::platform::win32::Win32Clock clock;
nolpa::platform::win32::Win32DeviceTree deviceTree;
nolpa::platform::win32::Win32UsbHubFiles hubFiles;
nolpa::platform::win32::Win32PrintSpooler spooler;
nolpa::platform::win32::Win32Registry registry;
nolpa::platform::win32::Win32DeviceInterfaces interfaces;
nolpa::platform::win32::Win32SystemFolders systemFolders;
// A spooler printer's channel API, loaded with its companions from its own folder.
nolpa::platform::win32::Win32Modules modules{
    nolpa::platform::win32::Win32Modules::Kind::DriverCompanion};
[[maybe_unused]] const bool installed = nolpa::morvalib::InstallServices({.files = &files,
                                                                          .clock = &clock,
                                                                          .deviceTree = &deviceTree,
                                                                          .hubFiles = &hubFiles,
                                                                          .spooler = &spooler,
                                                                          .registry = &registry,
                                                                          .interfaces = &interfaces,
                                                                          .system = &systemFolders,
                                                                          .modules = &modules});

}  // namespace
