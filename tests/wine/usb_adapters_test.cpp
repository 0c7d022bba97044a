// The device-tree and USB hub adapters on the real system: the access and
// sharing a hub is opened with, and lookups that must fail cleanly.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/win32_device_files.h"
#include "platform/win32/win32_device_tree.h"
#include "platform/win32/win32_usb_hub_files.h"

namespace nolpa::platform::win32 {
namespace {

std::string FreshTempFile() {
  char folder[MAX_PATH];
  char name[MAX_PATH];
  GetTempPathA(sizeof folder, folder);
  GetTempFileNameA(folder, "hub", 0, name);  // creates it, empty
  return name;
}

// A hub stays open in the system's own components: it is opened for writing
// only, shared with other writers, and then no exclusive open succeeds.
TEST(UsbHubFilesAdapter, OpensForWritingSharedWithOtherWriters) {
  const std::string path = FreshTempFile();
  Win32UsbHubFiles hubs;
  Win32DeviceFiles files;
  const DeviceHandle first = hubs.Open(path);
  const DeviceHandle second = hubs.Open(path);
  ASSERT_NE(first, kInvalidDeviceHandle);
  ASSERT_NE(second, kInvalidDeviceHandle);
  EXPECT_EQ(files.Open(path), kInvalidDeviceHandle);
  char byte = 0;
  DWORD count = 0;
  EXPECT_FALSE(ReadFile(reinterpret_cast<HANDLE>(first), &byte, 1, &count, nullptr));
  // A file is no hub: the request is refused and nothing is reported filled.
  char out[6] = {};
  std::uint32_t returned = 7;
  EXPECT_FALSE(hubs.IoControl(first, 0x220408, nullptr, 0, out, sizeof out, &returned));
  EXPECT_EQ(returned, 0u);
  hubs.Close(first);
  hubs.Close(second);
  hubs.Close(kInvalidDeviceHandle);
  EXPECT_TRUE(DeleteFileA(path.c_str()));
}

TEST(UsbHubFilesAdapter, MissingControllerGivesTheInvalidHandle) {
  Win32UsbHubFiles hubs;
  EXPECT_EQ(hubs.Open("\\\\.\\HCD15"), kInvalidDeviceHandle);
}

TEST(DeviceTreeAdapter, UnknownInstanceIsNotFound) {
  Win32DeviceTree tree;
  DevNode node = 0;
  EXPECT_FALSE(tree.LocateNode("USB\\VID_0000&PID_0000\\NOLPA_NO_SUCH_DEVICE", &node));
}

}  // namespace
}  // namespace nolpa::platform::win32
