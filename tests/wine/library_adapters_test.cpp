// The adapters the serial-number library reads the spooler's printers and
// their channel API through, on the real system: the registry, the system
// folders and the print spooler.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/win32/win32_device_interfaces.h"
#include "platform/win32/win32_print_spooler.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system_folders.h"

namespace nolpa::platform::win32 {
namespace {

TEST(RegistryAdapter, ReadsMachineStringsAndDwordsByType) {
  Win32Registry registry;
  const RegistryKey key =
      registry.OpenMachineKey("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", RegistryView::Own);
  ASSERT_NE(key, kNoRegistryKey);
  const auto version = registry.ReadString(key, "CurrentVersion", 32);
  ASSERT_TRUE(version);
  EXPECT_NE(version->find('.'), std::string::npos) << *version;
  EXPECT_FALSE(registry.ReadString(key, "CurrentVersion", 2))
      << "a value that does not fit is no value";
  EXPECT_FALSE(registry.ReadDword(key, "CurrentVersion")) << "a string is no 32-bit value";
  EXPECT_FALSE(registry.ReadString(key, "No Such Value", 32));
  registry.CloseKey(key);
  EXPECT_EQ(registry.OpenMachineKey("SOFTWARE\\No Such Vendor\\No Such Key", RegistryView::Own),
            kNoRegistryKey);
}

// The key every Windows has is in both views (one and the same on 32-bit
// Windows); a missing one in neither.
TEST(RegistryAdapter, SixtyFourBitViewOpensAsTheOwnOneDoes) {
  Win32Registry registry;
  const RegistryKey key = registry.OpenMachineKey("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                                                  RegistryView::Bits64);
  ASSERT_NE(key, kNoRegistryKey);
  EXPECT_TRUE(registry.ReadString(key, "CurrentVersion", 32));
  registry.CloseKey(key);
  EXPECT_EQ(registry.OpenMachineKey("SOFTWARE\\No Such Vendor\\No Such Key", RegistryView::Bits64),
            kNoRegistryKey);
}

TEST(RegistryAdapter, InterfaceKeyBeyondTheSetIsNone) {
  // GUID_DEVINTERFACE_USBPRINT: no such device on the test machine.
  const Guid usbPrint = {
      0x28D78FAD, 0x5A12, 0x11D1, {0xAE, 0x5B, 0x00, 0x00, 0xF8, 0x03, 0xA8, 0xC2}};
  Win32DeviceInterfaces interfaces;
  Win32Registry registry;
  const InterfaceSet set = interfaces.OpenSet(usbPrint);
  ASSERT_NE(set, kInvalidInterfaceSet);
  EXPECT_EQ(registry.OpenInterfaceKey(set, usbPrint, 1000), kNoRegistryKey);
  interfaces.CloseSet(set);
}

TEST(SystemFoldersAdapter, SystemFolderVersionFilesAndIniValues) {
  Win32SystemFolders system;
  const std::string folder = system.SystemDirectory();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '\\');
  EXPECT_TRUE(system.FileExists(folder + "\\kernel32.dll"));
  EXPECT_FALSE(system.FileExists(folder)) << "a folder is no file";
  EXPECT_FALSE(system.FileExists(folder + "\\no-such-file.dll"));
  const WindowsVersion version = system.Version();
  EXPECT_TRUE(version.ntLine);
  EXPECT_GE(version.major, 5u);

  char temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
  const std::string ini = std::string(temp) + "nolpa-driver-data.ini";
  std::ofstream(ini) << "[Utility]\r\nZQAPINAME=NLAPI.DLL\r\n[Empty]\r\nZQAPII=\r\n";
  EXPECT_EQ(system.IniString(ini, "Utility", "ZQAPINAME", 128), "NLAPI.DLL");
  EXPECT_EQ(system.IniString(ini, "utility", "zqapiname", 5), "NLAP") << "cut to the buffer";
  EXPECT_EQ(system.IniString(ini, "Empty", "ZQAPII", 128), "");
  EXPECT_EQ(system.IniString(ini, "Missing", "ZQAPII", 128), "");
  DeleteFileA(ini.c_str());
}

TEST(PrintSpoolerAdapter, UnknownPrinterHasNoDriver) {
  Win32PrintSpooler spooler;
  PrinterDriverInfo driver{"kept", "", ""};
  EXPECT_FALSE(spooler.PrinterDriver("No Such Printer 7F3A", "", &driver));
  EXPECT_FALSE(spooler.PrinterDriver("No Such Printer 7F3A", "Windows NT x86", &driver));
  EXPECT_EQ(driver.name, "kept");
  // Whatever the spooler lists, every installed driver has a driver file.
  for (const PrinterDriverInfo& installed : spooler.InstalledDrivers(""))
    EXPECT_FALSE(installed.driverPath.empty());
  // The environment named is the one a 32-bit caller gets without naming one.
  EXPECT_EQ(spooler.InstalledDrivers("Windows NT x86").size(), spooler.InstalledDrivers("").size());
}

}  // namespace
}  // namespace nolpa::platform::win32
