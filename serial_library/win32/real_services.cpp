// Morvalib.dll reaches printers through the real device files and clock,
// installed as the library is loaded.
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_device_files.h"
#include "serial_library/services.h"

namespace {

nolpa::platform::win32::Win32DeviceFiles files;
nolpa::platform::win32::Win32Clock clock;
[[maybe_unused]] const bool installed = nolpa::morvalib::InstallServices({.files = &files, .clock = &clock});

}  // namespace
