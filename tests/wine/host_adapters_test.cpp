// Host files, module loading and the program's own files on the real system.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/win32/win32_host_files.h"
#include "platform/win32/win32_modules.h"
#include "platform/win32/win32_program_files.h"

namespace nolpa::platform::win32 {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A folder of its own under the temporary folder, removed at the end.
class HostAdapters : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    const DWORD length = files_.TempPath(temp, sizeof temp);
    ASSERT_GT(length, 0u);
    ASSERT_LT(length, sizeof temp);
    folder_ = std::string(temp, length) + "NOLPATEST" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(files_.CreateFolder(folder_));
  }
  void TearDown() override {
    for (const char* name : {"lib.dll", "data.bin", "setup.ini"}) {
      SetFileAttributesA((folder_ + "\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA((folder_ + "\\" + name).c_str());
    }
    RemoveDirectoryA(folder_.c_str());
  }
  std::string In(const char* name) const { return folder_ + "\\" + name; }

  Win32HostFiles files_;
  std::string folder_;
};

TEST_F(HostAdapters, TempPathEndsInABackslashAndKeepsToTheBuffer) {
  char temp[MAX_PATH];
  const std::uint32_t length = files_.TempPath(temp, sizeof temp);
  ASSERT_GT(length, 1u);
  EXPECT_EQ(temp[length - 1], '\\');
  char small[2] = {'x', 'y'};
  EXPECT_EQ(files_.TempPath(small, sizeof small), length + 1);
  EXPECT_FALSE(files_.CreateFolder(folder_));  // exists already
}

// A folder link is a reparse point itself, whatever it leads to; a plain
// folder, a file and nothing at all are not. The link is one the build
// made (tests/wine/CMakeLists.txt): Wine shows a symbolic link of the
// Unix side as a reparse point, and makes none of its own.
TEST_F(HostAdapters, ReparsePointIsToldFromAPlainFolderOrFile) {
  const std::string file = In("data.bin");
  ASSERT_TRUE(files_.CreateNewFile(file, Bytes{1}));
  const std::string link = NOLPA_TEST_FOLDER_LINK;
  ASSERT_NE(GetFileAttributesA(link.c_str()), INVALID_FILE_ATTRIBUTES) << link;
  EXPECT_TRUE(files_.IsReparsePoint(link));
  EXPECT_FALSE(files_.IsReparsePoint(folder_));
  EXPECT_FALSE(files_.IsReparsePoint(file));
  EXPECT_FALSE(files_.IsReparsePoint(In("missing")));
}

TEST_F(HostAdapters, HeldFileCanBeReadButNotWrittenOrDeleted) {
  const std::string path = In("data.bin");
  ASSERT_TRUE(files_.CreateNewFile(path, Bytes{5, 6, 7}));
  EXPECT_FALSE(files_.CreateNewFile(path, Bytes{1, 2, 3, 4}));  // never written over
  const FileHold hold = files_.HoldFile(path);
  ASSERT_NE(hold, kNoFileHold);

  HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
  EXPECT_FALSE(DeleteFileA(path.c_str()));
  EXPECT_FALSE(files_.CreateNewFile(path, Bytes{9}));
  HANDLE reader =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  CloseHandle(reader);

  Bytes bytes;
  ASSERT_TRUE(files_.ReadHeldFile(hold, 100, &bytes));
  EXPECT_EQ(bytes, (Bytes{5, 6, 7}));
  files_.ReleaseFile(hold);
  files_.ReleaseFile(kNoFileHold);
  EXPECT_TRUE(files_.RemoveFile(path));
  EXPECT_EQ(files_.HoldFile(path), kNoFileHold);
}

TEST_F(HostAdapters, AttributesDeleteAndRemove) {
  const std::string path = In("data.bin");
  ASSERT_TRUE(files_.CreateNewFile(path, Bytes{1}));
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(files_.RemoveFolder(folder_));  // not empty
  EXPECT_TRUE(files_.SetNormalAttributes(path));
  // Wine reports a plain file as ARCHIVE; what matters is that it is writable.
  EXPECT_EQ(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_TRUE(files_.SetNormalAttributes(folder_));
  EXPECT_TRUE(files_.RemoveFile(path));
  EXPECT_FALSE(files_.RemoveFile(path));
  EXPECT_TRUE(files_.RemoveFolder(folder_));
  EXPECT_FALSE(files_.SetNormalAttributes(folder_));
}

// The library is loaded while the program still holds its file.
TEST_F(HostAdapters, HeldLibraryLoadsBindsAndFrees) {
  std::ifstream in(NOLPA_TEST_LIBRARY, std::ios::binary);
  ASSERT_TRUE(in) << NOLPA_TEST_LIBRARY;
  const Bytes image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string path = In("lib.dll");
  ASSERT_TRUE(files_.CreateNewFile(path, image));
  const FileHold hold = files_.HoldFile(path);
  ASSERT_NE(hold, kNoFileHold);

  Win32Modules modules(Win32Modules::Kind::ProgramLibrary);
  const ModuleHandle module = modules.Load(path);
  files_.ReleaseFile(hold);
  ASSERT_NE(module, 0u);
  EXPECT_EQ(modules.Export(module, "SetUSBSerialNumber"), nullptr);
  auto version = reinterpret_cast<int(__cdecl*)(const char*, char*, int, int*)>(
      modules.Export(module, "GetPrinterFirmwareVersion"));
  ASSERT_NE(version, nullptr);
  char buffer[16] = {};
  int length = 0;
  EXPECT_EQ(version("p", buffer, sizeof buffer, &length), 0);
  EXPECT_STREQ(buffer, "T1.00");
  EXPECT_EQ(length, 6);
  modules.Free(module);
  EXPECT_TRUE(files_.RemoveFile(path));
  EXPECT_EQ(modules.Load(path), 0u);
  EXPECT_EQ(modules.Load(In("data.bin")), 0u);
}

TEST_F(HostAdapters, ProgramFilesGiveResourcePathAndIniValues) {
  Win32ProgramFiles program;
  Bytes resource;
  ASSERT_TRUE(program.RcDataResource("FILE1", &resource));
  EXPECT_EQ(resource, (Bytes{'N', 'O', 'L', 'P', 'A', 0x01, 0x02}));
  EXPECT_FALSE(program.RcDataResource("FILE2", &resource));
  const std::string exe = program.ExecutablePath();
  EXPECT_NE(exe.find("nolpa_wine_unit_tests.exe"), std::string::npos) << exe;

  const std::string ini = In("setup.ini");
  const std::string text = "[AddDevice]\r\n1=TM-X\r\n2=\r\n";
  ASSERT_TRUE(files_.CreateNewFile(ini, Bytes(text.begin(), text.end())));
  EXPECT_EQ(program.IniString(ini, "AddDevice", "1", "RK-L5200"), "TM-X");
  EXPECT_EQ(program.IniString(ini, "AddDevice", "2", "RK-L5200"), "");
  EXPECT_EQ(program.IniString(ini, "AddDevice", "3", "RK-L5200"), "RK-L5200");
  EXPECT_EQ(program.IniString(In("none.ini"), "AddDevice", "1", "RK-L5200"), "RK-L5200");
}

}  // namespace
}  // namespace nolpa::platform::win32
