// The device-file adapter against real files: the same calls a printer gets.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/win32_device_files.h"

namespace nolpa::platform::win32 {
namespace {

// A fresh file in the temporary folder, removed at the end of the test.
class TempFile {
 public:
  TempFile() {
    char folder[MAX_PATH];
    char name[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    GetTempFileNameA(folder, "nol", 0, name);  // creates it, empty
    path_ = name;
  }
  ~TempFile() { DeleteFileA(path_.c_str()); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

class DeviceFilesTest : public ::testing::Test {
 protected:
  Win32DeviceFiles files_;
  TempFile file_;
};

TEST_F(DeviceFilesTest, OpeningAMissingDeviceGivesTheInvalidHandle) {
  EXPECT_EQ(files_.Open(file_.Path() + ".missing"), kInvalidDeviceHandle);
  EXPECT_EQ(files_.Open("\\\\.\\NOLPA_NO_SUCH_DEVICE"), kInvalidDeviceHandle);
}

TEST_F(DeviceFilesTest, OpenIsExclusiveUntilClosed) {
  const DeviceHandle first = files_.Open(file_.Path());
  ASSERT_NE(first, kInvalidDeviceHandle);
  EXPECT_EQ(files_.Open(file_.Path()), kInvalidDeviceHandle) << "opened without sharing";
  files_.Close(first);
  const DeviceHandle again = files_.Open(file_.Path());
  EXPECT_NE(again, kInvalidDeviceHandle) << "Close did not release the file";
  files_.Close(again);
}

TEST_F(DeviceFilesTest, WrittenBytesReadBackWithCounts) {
  const std::string bytes("\x1b@ID\0\xff\x10", 7);
  DeviceHandle handle = files_.Open(file_.Path());
  ASSERT_NE(handle, kInvalidDeviceHandle);
  std::uint32_t done = 12345;
  ASSERT_TRUE(files_.Write(handle, bytes.data(), static_cast<std::uint32_t>(bytes.size()), &done));
  EXPECT_EQ(done, bytes.size());
  files_.Close(handle);

  handle = files_.Open(file_.Path());
  ASSERT_NE(handle, kInvalidDeviceHandle);
  char buffer[32] = {};
  ASSERT_TRUE(files_.Read(handle, buffer, sizeof buffer, &done));
  EXPECT_EQ(std::string(buffer, done), bytes);
  // At the end a read succeeds with nothing, as an idle channel does.
  done = 99;
  EXPECT_TRUE(files_.Read(handle, buffer, sizeof buffer, &done));
  EXPECT_EQ(done, 0u);
  files_.Close(handle);
}

TEST_F(DeviceFilesTest, DeviceRequestsAndTimeoutsAreRefusedByAPlainFile) {
  const DeviceHandle handle = files_.Open(file_.Path());
  ASSERT_NE(handle, kInvalidDeviceHandle);
  // A control code no file system knows (device type 0x22, function 0x800).
  const std::uint32_t code = CTL_CODE(0x22, 0x800, METHOD_BUFFERED, FILE_ANY_ACCESS);
  char reply[16];
  std::uint32_t returned = 77;
  EXPECT_FALSE(files_.IoControl(handle, code, nullptr, 0, reply, sizeof reply, &returned));
  EXPECT_EQ(returned, 0u);
  EXPECT_FALSE(files_.SetTimeouts(handle, {0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 2000}));
  files_.Close(handle);
}

TEST_F(DeviceFilesTest, ClosingTheInvalidHandleIsHarmless) {
  files_.Close(kInvalidDeviceHandle);
  const DeviceHandle handle = files_.Open(file_.Path());
  EXPECT_NE(handle, kInvalidDeviceHandle);
  files_.Close(handle);
}

}  // namespace
}  // namespace nolpa::platform::win32
