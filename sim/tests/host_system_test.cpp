// The simulated host refuses what the real system refuses: writing or
// deleting a held file, loading bytes that are no known library, removing a
// folder that is not empty; and it notes a program's slips.
#include <gtest/gtest.h>

#include "sim/host/host_system.h"

namespace nolpa::sim {
namespace {

constexpr char kFolder[] = "C:\\Users\\operator\\AppData\\Local\\Temp\\NOLPAID";
constexpr char kFile[] = "C:\\Users\\operator\\AppData\\Local\\Temp\\NOLPAID\\Morvalib.dll";

TEST(HostSystem, TempPathKeepsToTheCallersBuffer) {
  HostSystem host;
  char buffer[8] = "unused";
  EXPECT_EQ(host.Files().TempPath(buffer, sizeof buffer), host.TempPathText().size() + 1);
  EXPECT_STREQ(buffer, "unused");
  char big[260];
  EXPECT_EQ(host.Files().TempPath(big, sizeof big), host.TempPathText().size());
  EXPECT_EQ(big, host.TempPathText());
}

TEST(HostSystem, HeldFileCannotBeWrittenOrDeletedByAnyone) {
  HostSystem host;
  platform::HostFiles& files = host.Files();
  ASSERT_TRUE(files.CreateFolder(kFolder));
  EXPECT_FALSE(files.CreateFolder(kFolder));  // exists
  ASSERT_TRUE(files.CreateNewFile(kFile, std::vector<std::uint8_t>{1, 2, 3}));
  const platform::FileHold hold = files.HoldFile(kFile);
  ASSERT_NE(hold, platform::kNoFileHold);
  EXPECT_FALSE(host.AnotherProcessWrites(kFile, {9}));
  EXPECT_FALSE(host.AnotherProcessDeletes(kFile));
  EXPECT_FALSE(files.CreateNewFile(kFile, std::vector<std::uint8_t>{4}));
  EXPECT_FALSE(files.RemoveFile(kFile));
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(files.ReadHeldFile(hold, 2, &bytes));
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{1, 2}));
  files.ReleaseFile(hold);
  EXPECT_FALSE(files.RemoveFolder(kFolder));  // not empty
  EXPECT_TRUE(files.RemoveFile(kFile));
  EXPECT_TRUE(files.RemoveFolder(kFolder));
  EXPECT_EQ(files.HoldFile(kFile), platform::kNoFileHold);
}

TEST(HostSystem, OnlyAKnownImageLoadsAndItsExportsReachTheScript) {
  HostSystem host;
  host.Library().getUSBSerialNumber = [](const char*, char*, int, int* length, int model) {
    *length = 7;
    return model == 1 ? 0 : -5;
  };
  host.Library().missing = {"SendReceiveD4Command"};
  ASSERT_TRUE(host.AnotherProcessWrites(kFile, {'M', 'Z'}));
  platform::FileHold hold = host.Files().HoldFile(kFile);
  EXPECT_EQ(host.Modules().Load(kFile), 0u);
  host.Files().ReleaseFile(hold);
  ASSERT_TRUE(host.AnotherProcessWrites(kFile, HostSystem::DefaultLibraryImage()));
  hold = host.Files().HoldFile(kFile);
  const platform::ModuleHandle module = host.Modules().Load(kFile);
  host.Files().ReleaseFile(hold);
  ASSERT_NE(module, 0u);
  EXPECT_FALSE(host.AnotherProcessWrites(kFile, {0}));  // in use as an image
  EXPECT_EQ(host.Modules().Export(module, "SendReceiveD4Command"), nullptr);
  EXPECT_EQ(host.Modules().Export(module, "DllMain"), nullptr);
  auto get = reinterpret_cast<int (*)(const char*, char*, int, int*, int)>(
      host.Modules().Export(module, "GetUSBSerialNumber"));
  ASSERT_NE(get, nullptr);
  int length = 0;
  EXPECT_EQ(get("p", nullptr, 0, &length, 1), 0);
  EXPECT_EQ(length, 7);
  EXPECT_EQ(get("p", nullptr, 0, &length, 0), -5);
  host.Modules().Free(module);
  EXPECT_EQ(host.LoadedModules(), 0u);
  EXPECT_EQ(host.Departures().All().size(), 0u);
}

TEST(HostSystem, NotesTheProgramsSlips) {
  struct Case {
    const char* kind;
    std::function<void(HostSystem&)> act;
  } const cases[] = {
      {departure::kModuleFromUnheldFile,
       [](HostSystem& host) {
         host.AnotherProcessWrites(kFile, HostSystem::DefaultLibraryImage());
         host.Modules().Free(host.Modules().Load(kFile));
       }},
      {departure::kModuleFreedTwice, [](HostSystem& host) { host.Modules().Free(0x1234); }},
      {departure::kFileReleasedTwice,
       [](HostSystem& host) {
         host.AnotherProcessWrites(kFile, {1});
         const platform::FileHold hold = host.Files().HoldFile(kFile);
         host.Files().ReleaseFile(hold);
         host.Files().ReleaseFile(hold);
       }},
      {departure::kCallIntoFreedModule,
       [](HostSystem& host) {
         host.AnotherProcessWrites(kFile, HostSystem::DefaultLibraryImage());
         const platform::FileHold hold = host.Files().HoldFile(kFile);
         const platform::ModuleHandle module = host.Modules().Load(kFile);
         host.Files().ReleaseFile(hold);
         auto set = reinterpret_cast<int (*)(const char*, const char*, int)>(
             host.Modules().Export(module, "SetUSBSerialNumber"));
         host.Modules().Free(module);
         EXPECT_EQ(set("p", "s", 0), -9);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    HostSystem host;
    host.Departures().Expect(c.kind);
    c.act(host);
    EXPECT_EQ(host.Departures().Count(c.kind), 1u);
    EXPECT_EQ(host.Departures().Unexpected().size(), 0u);
  }
}

TEST(HostSystem, IniReaderFollowsTheSystemsRules) {
  HostSystem host;
  host.SetIniFile("C:\\p.ini", "; note\n[AddDevice]\n1 = \"RK-Q\" \n2='x'\nA=b\n[Next]\n3=no\n");
  platform::ProgramFiles& program = host.Program();
  EXPECT_EQ(program.IniString("c:\\P.INI", "adddevice", "1", "d"), "RK-Q");
  EXPECT_EQ(program.IniString("C:\\p.ini", "AddDevice", "2", "d"), "x");
  EXPECT_EQ(program.IniString("C:\\p.ini", "AddDevice", "a", "d"), "b");
  EXPECT_EQ(program.IniString("C:\\p.ini", "AddDevice", "3", "d"), "d");
  EXPECT_EQ(program.IniString("C:\\q.ini", "AddDevice", "1", "d"), "d");
}

}  // namespace
}  // namespace nolpa::sim
