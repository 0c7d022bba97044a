// Clock, system facts, device-interface sets and DOS names on the real system.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/text_conversion.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_device_interfaces.h"
#include "platform/win32/win32_dos_devices.h"
#include "platform/win32/win32_system_info.h"

namespace nolpa::platform::win32 {
namespace {

TEST(SystemInfoAdapter, ReportsTheVersionAndTheProcessLanguage) {
  Win32SystemInfo info;
  // Zero would mean GetVersionExA refused the 148-byte structure.
  EXPECT_GT(info.MajorVersion(), 0u);
  EXPECT_EQ(info.UserDefaultLangId(), GetUserDefaultLangID());
}

TEST(ClockAdapter, SleepsForRealAndNeverRunsBackwards) {
  Win32Clock clock;
  const std::uint64_t start = clock.NowMs();
  clock.SleepMs(120);
  const std::uint64_t slept = clock.NowMs() - start;
  // No upper bound: a loaded machine may wake the thread late.
  EXPECT_GE(slept, 110u);
  std::uint64_t last = clock.NowMs();
  for (int i = 0; i < 1000; ++i) {
    const std::uint64_t now = clock.NowMs();
    ASSERT_GE(now, last);
    last = now;
  }
}

TEST(ClockAdapter, LocalTimeIsTheSystemsCalendar) {
  Win32Clock clock;
  SYSTEMTIME before;
  GetLocalTime(&before);
  const LocalTime now = clock.LocalNow();
  EXPECT_EQ(now.year, before.wYear);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_GE(now.day, 1);
  EXPECT_LE(now.day, 31);
  EXPECT_LE(now.dayOfWeek, 6);
  EXPECT_LE(now.hour, 23);
  EXPECT_LE(now.millisecond, 999);
}

// A class no driver registers: the set opens empty.
constexpr Guid kUnknownClass{
    0x6e0c5a3du, 0x41b2u, 0x4f7cu, {0x9a, 0x11, 0x2b, 0x7e, 0x53, 0xc8, 0x0d, 0x94}};
// GUID_DEVINTERFACE_DISPLAY_ADAPTER: Wine registers one for its display.
constexpr Guid kDisplayAdapterClass{
    0x5b45201du, 0xf2f2u, 0x4f3bu, {0x85, 0xbb, 0x30, 0xff, 0x1f, 0x95, 0x35, 0x99}};

TEST(DeviceInterfacesAdapter, UnknownClassGivesAnEmptySetThatReleases) {
  Win32DeviceInterfaces interfaces;
  const InterfaceSet set = interfaces.OpenSet(kUnknownClass);
  ASSERT_NE(set, kInvalidInterfaceSet);
  std::string path = "untouched";
  EXPECT_FALSE(interfaces.InterfacePath(set, kUnknownClass, 0, &path));
  EXPECT_EQ(path, "untouched");
  interfaces.CloseSet(set);
  interfaces.CloseSet(kInvalidInterfaceSet);
}

TEST(DeviceInterfacesAdapter, PresentInterfaceGivesItsWholePath) {
  Win32DeviceInterfaces interfaces;
  const InterfaceSet set = interfaces.OpenSet(kDisplayAdapterClass);
  ASSERT_NE(set, kInvalidInterfaceSet);
  std::string path;
  if (!interfaces.InterfacePath(set, kDisplayAdapterClass, 0, &path)) {
    interfaces.CloseSet(set);
    GTEST_SKIP() << "this system lists no display adapter interface";
  }
  // A device path, complete up to its class GUID at the end.
  EXPECT_EQ(path.rfind("\\\\?\\", 0), 0u) << path;
  EXPECT_NE(path.find("{5b45201d-f2f2-4f3b-85bb-30ff1f953599}"), std::string::npos) << path;
  EXPECT_EQ(path.find('\0'), std::string::npos);
  interfaces.CloseSet(set);
}

TEST(DosDevicesAdapter, DefinedNameGivesItsFirstTargetAndUnknownNameFails) {
  Win32DosDevices dos;
  std::string target = "untouched";
  EXPECT_FALSE(dos.QueryTarget("NOLPANOSUCHDEVICE", &target));
  EXPECT_FALSE(dos.QueryTarget("COM250", &target));
  EXPECT_EQ(target, "untouched");
  ASSERT_TRUE(dos.QueryTarget("C:", &target));
  EXPECT_FALSE(target.empty());
  EXPECT_EQ(target.find('\0'), std::string::npos);
}

TEST(TextConversion, DeviceTextRoundTripsThroughTheAnsiCodePage) {
  const std::string ascii = "VX-410 Receipt ID:0123456789ABCDEF01";
  EXPECT_EQ(WideToAnsi(AnsiToWide(ascii)), ascii);
  EXPECT_EQ(AnsiToWide(ascii), std::wstring(ascii.begin(), ascii.end()));
  EXPECT_EQ(Utf8ToWide("\xe6\x83\x85\xe5\xa0\xb1"), L"\u60c5\u5831");
  // Not UTF-8: shown through the ANSI code page rather than lost.
  EXPECT_EQ(Utf8ToWide("A\xb1Z").size(), AnsiToWide("A\xb1Z").size());
  EXPECT_FALSE(Utf8ToWide("A\xb1Z").empty());
}

}  // namespace
}  // namespace nolpa::platform::win32
