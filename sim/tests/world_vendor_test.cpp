// A vendor-driver printer as the program sees it through the platform
// interfaces: enumeration, the driver's control requests, the byte channel.
#include <gtest/gtest.h>

#include <algorithm>

#include "sim/core/virtual_clock.h"
#include "sim/printers/board_image.h"
#include "sim/tests/sim_test_support.h"
#include "sim/world.h"

namespace nolpa::sim {
namespace {

using testing::Bytes;
using testing::Ioctl;

VendorPrinterConfig Onboard() {
  VendorPrinterConfig c;
  c.name = "vx";
  c.usb.bcdUsb = 0x0200;
  c.usb.bcdDevice = 0x0102;
  c.usb.highSpeed = true;
  c.usb.boardCode = kOnboardUsb1;
  c.usb.manufacturer = u"Nolpa";
  c.usb.product = u"VX-410 Receipt";
  c.serial = u"A1";
  c.idName = u"Desk";
  c.model = "VX-410";
  c.identByte = 0x20;
  return c;
}

class SimVendorPrinterTest : public ::testing::Test {
 protected:
  VirtualClock clock;
  World world{clock};
  VendorPrinter& printer = world.AddVendorPrinter(Onboard());
};

TEST_F(SimVendorPrinterTest, IsEnumeratedAndOpenedWithTheSuffix) {
  const auto paths = testing::Enumerate(world, kVendorInterfaceGuid);
  ASSERT_EQ(paths.size(), 1u);
  EXPECT_EQ(paths[0].rfind("\\\\?\\usb#vid_0f1a&pid_0410#", 0), 0u) << paths[0];
  EXPECT_NE(paths[0].find("#{5dd901c0-bcf4-11d1-9738-008029e6a5b3}"), std::string::npos);
  EXPECT_TRUE(testing::Enumerate(world, kUsbPrintInterfaceGuid).empty());
  EXPECT_EQ(world.SetsOpenedTotal(), 2u);

  EXPECT_EQ(world.Files().Open(paths[0]), platform::kInvalidDeviceHandle);
  const auto h = world.Files().Open(paths[0] + "\\RK");
  EXPECT_NE(h, platform::kInvalidDeviceHandle);
  world.Files().Close(h);
  EXPECT_EQ(world.OpenHandles(), 0u);
  EXPECT_EQ(world.OpenSets(), 0u);
}

TEST_F(SimVendorPrinterTest, AnswersTheDriverRequests) {
  const auto h = world.Files().Open(testing::VendorPath(printer));
  auto descriptor = Ioctl(world, h, kIoctlDeviceDescriptor, 18);
  ASSERT_TRUE(descriptor.ok);
  ASSERT_EQ(descriptor.out.size(), 18u);
  EXPECT_EQ(descriptor.out[0], 18);
  EXPECT_EQ(descriptor.out[1], 1);
  EXPECT_EQ(descriptor.out[2], 0x00);  // bcdUSB, little-endian
  EXPECT_EQ(descriptor.out[3], 0x02);
  EXPECT_EQ(descriptor.out[12], 0x02);  // bcdDevice
  EXPECT_EQ(descriptor.out[13], 0x01);

  const Bytes strings = {
      0x04, 0x03, 0x09, 0x04,                                   // languages
      0x0C, 0x03, 'N',  0,    'o', 0, 'l', 0, 'p', 0, 'a',  0,  // manufacturer
      0x1E, 0x03, 'V',  0,    'X', 0, '-', 0, '4', 0, '1',  0,    '0', 0, ' ', 0, 'R', 0, 'e', 0,
      'c',  0,    'e',  0,    'i', 0, 'p', 0, 't', 0, 0x06, 0x03, 'A', 0, '1', 0};  // serial
  EXPECT_EQ(Ioctl(world, h, kIoctlStringDescriptors, 1024).out, strings);
  EXPECT_EQ(Ioctl(world, h, kIoctlStatusBlock, 4).out, (Bytes{0x04, 0x01, 0x00, 0x00}));
  EXPECT_EQ(Ioctl(world, h, kIoctlIdName, 512).out,
            (Bytes{0x0A, 0x03, 'D', 0, 'e', 0, 's', 0, 'k', 0}));
  world.Files().Close(h);
}

TEST_F(SimVendorPrinterTest, StatusAndTextsFollowTheDevice) {
  printer.Usb().highSpeed = false;
  printer.Usb().boardCode = 0x84;
  printer.Usb().product = u"X\u0141";  // a character above U+00FF keeps both bytes
  printer.SetIdName(u"");
  const auto h = world.Files().Open(testing::VendorPath(printer));
  EXPECT_EQ(Ioctl(world, h, kIoctlStatusBlock, 4).out, (Bytes{0x84, 0x00, 0x00, 0x00}));
  const Bytes strings = Ioctl(world, h, kIoctlStringDescriptors, 1024).out;
  const Bytes product = {0x06, 0x03, 'X', 0x00, 0x41, 0x01};
  EXPECT_NE(std::search(strings.begin(), strings.end(), product.begin(), product.end()),
            strings.end());
  EXPECT_EQ(Ioctl(world, h, kIoctlIdName, 512).out, (Bytes{0x02, 0x03}));
  world.Files().Close(h);
}

// The printer class driver hands back as much of the device ID as the
// caller's buffer holds.
TEST(SimClassPrinterTest, CutsTheDeviceIdToTheCallersBuffer) {
  VirtualClock clock;
  World world(clock);
  auto& printer = world.AddClassPrinter({.name = "c", .deviceId = "MFG:Nolpa;MDL:RK-L5200;"});
  const auto h = world.Files().Open(printer.InterfacePath());
  const Bytes whole = Ioctl(world, h, kIoctlUsbPrint1284Id, 1024).out;
  ASSERT_EQ(whole.size(), 2u + 23u + 1u);
  const auto cut = Ioctl(world, h, kIoctlUsbPrint1284Id, 10);
  EXPECT_TRUE(cut.ok);
  EXPECT_EQ(cut.out, Bytes(whole.begin(), whole.begin() + 10));
  world.Files().Close(h);
}

TEST_F(SimVendorPrinterTest, RefusesUnknownCodesAndTimeouts) {
  world.Departures().Expect(departure::kUnknownIoctl);
  const auto h = world.Files().Open(testing::VendorPath(printer));
  const auto r = Ioctl(world, h, 0x222044, 64);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.out.empty());
  EXPECT_FALSE(world.Files().SetTimeouts(h, {0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 2000}));
  EXPECT_FALSE(printer.LastTimeouts().has_value());
  world.Files().Close(h);
}

TEST_F(SimVendorPrinterTest, IsNotSharedBetweenHandles) {
  const std::string path = testing::VendorPath(printer);
  const auto first = world.Files().Open(path);
  ASSERT_NE(first, platform::kInvalidDeviceHandle);
  EXPECT_EQ(world.Files().Open(path), platform::kInvalidDeviceHandle);
  EXPECT_EQ(world.OpenHandles(), 1u);
  world.Files().Close(first);
  const auto again = world.Files().Open(path);
  EXPECT_NE(again, platform::kInvalidDeviceHandle);
  world.Files().Close(again);
  world.Files().Close(again);  // a second close does nothing
  EXPECT_EQ(world.OpenHandles(), 0u);
}

TEST_F(SimVendorPrinterTest, UnpluggedDeviceVanishesAndItsHandleDies) {
  const std::string path = testing::VendorPath(printer);
  const auto old = world.Files().Open(path);
  printer.Unplug();
  EXPECT_TRUE(testing::Enumerate(world, kVendorInterfaceGuid).empty());
  EXPECT_EQ(world.Files().Open(path), platform::kInvalidDeviceHandle);
  EXPECT_FALSE(Ioctl(world, old, kIoctlDeviceDescriptor, 18).ok);
  std::uint8_t byte = 0;
  std::uint32_t done = 7;
  EXPECT_FALSE(world.Files().Read(old, &byte, 1, &done));
  EXPECT_EQ(done, 0u);
  EXPECT_FALSE(world.Files().Write(old, &byte, 1, &done));
  EXPECT_EQ(done, 0u);

  printer.Plug();  // a new arrival: the old handle stays dead
  EXPECT_EQ(testing::Enumerate(world, kVendorInterfaceGuid).size(), 1u);
  EXPECT_FALSE(Ioctl(world, old, kIoctlDeviceDescriptor, 18).ok);
  const auto fresh = world.Files().Open(path);
  EXPECT_NE(fresh, platform::kInvalidDeviceHandle);
  EXPECT_EQ(world.OpenHandles(), 2u);
  world.Files().Close(old);
  world.Files().Close(fresh);
  EXPECT_EQ(world.OpenHandles(), 0u);
}

TEST_F(SimVendorPrinterTest, StoreCommandsChangeWhatTheDriverReports) {
  const auto h = world.Files().Open(testing::VendorPath(printer));
  EXPECT_EQ(testing::WriteAll(world, h, {0x1D, 0x49, 0x01}), 3u);
  EXPECT_EQ(testing::ReadDue(world, h), Bytes{0x20});
  testing::WriteAll(world, h, testing::StoreSession(0x20, 0x39, "NEW7"));
  testing::WriteAll(world, h, testing::StoreSession(0x20, 0x38, "Hall"));
  EXPECT_EQ(printer.Identity().serial, "NEW7");
  const Bytes strings = Ioctl(world, h, kIoctlStringDescriptors, 1024).out;
  const Bytes serial = {0x0A, 0x03, 'N', 0, 'E', 0, 'W', 0, '7', 0};
  EXPECT_TRUE(std::equal(serial.rbegin(), serial.rend(), strings.rbegin()));
  EXPECT_EQ(Ioctl(world, h, kIoctlIdName, 512).out,
            (Bytes{0x0A, 0x03, 'H', 0, 'a', 0, 'l', 0, 'l', 0}));
  world.Files().Close(h);
}

// Writes an image pair by pair, as the host does through the driver.
void WriteImage(World& world, platform::DeviceHandle h,
                const std::vector<std::pair<std::uint16_t, std::uint16_t>>& cells) {
  for (auto [address, value] : cells) {
    ASSERT_TRUE(Ioctl(world, h, kIoctlSetBoardAddress, 0,
                      {static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(address >> 8)})
                    .ok);
    ASSERT_TRUE(Ioctl(world, h, kIoctlWriteBoardValue, 0,
                      {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)})
                    .ok);
  }
}

TEST_F(SimVendorPrinterTest, NwjBoardTakesWellFormedImagesAtTheEndOfAWrite) {
  printer.Usb().boardCode = kNwjBoard;
  const auto h = world.Files().Open(testing::VendorPath(printer));
  WriteImage(world, h, EncodeBoardImage("AB", kBoardIdCodeBase));
  WriteImage(world, h, EncodeBoardImage("", kBoardIdNameBase));
  EXPECT_EQ(printer.Identity().serial, "A1");  // nothing applied before the finish
  EXPECT_TRUE(Ioctl(world, h, kIoctlFinishBoardWrite, 0, Bytes(16, 0)).ok);
  EXPECT_EQ(printer.Identity().serial, "AB");
  EXPECT_EQ(printer.SerialUnits(), u"AB");
  EXPECT_EQ(printer.Identity().idName, "");
  EXPECT_EQ(Ioctl(world, h, kIoctlIdName, 512).out, (Bytes{0x02, 0x03}));
  world.Files().Close(h);
}

TEST_F(SimVendorPrinterTest, BrokenBoardImageLeavesTheOldValue) {
  printer.Usb().boardCode = kNwjBoard;
  auto code = EncodeBoardImage("AB", kBoardIdCodeBase);
  code.back().second += 1;  // wrong checksum
  auto name = EncodeBoardImage("Hall", kBoardIdNameBase);
  const auto h = world.Files().Open(testing::VendorPath(printer));
  WriteImage(world, h, code);
  WriteImage(world, h, name);
  Ioctl(world, h, kIoctlFinishBoardWrite, 0, Bytes(16, 0));
  EXPECT_EQ(printer.Identity().serial, "A1");
  EXPECT_EQ(printer.Identity().idName, "Hall");
  world.Files().Close(h);
}

TEST(SimComPortTest, VirtualComPrinterAnswersLikeTheUsbDriver) {
  VirtualClock clock;
  World world(clock);
  VendorPrinterConfig c = Onboard();
  c.kind = DeviceKind::VirtualCom;
  c.comPort = 3;
  world.AddVendorPrinter(c);
  world.AddSerialPort({.name = "plain", .comPort = 1});

  std::string target;
  ASSERT_TRUE(world.DosDevices().QueryTarget("COM3", &target));
  EXPECT_NE(target.find("Kolmx"), std::string::npos);
  ASSERT_TRUE(world.DosDevices().QueryTarget("COM1", &target));
  EXPECT_EQ(target, "\\Device\\Serial0");
  EXPECT_FALSE(world.DosDevices().QueryTarget("COM2", &target));
  EXPECT_FALSE(world.DosDevices().QueryTarget("COM03", &target));
  EXPECT_EQ(world.QueriedNames(), (std::vector<std::string>{"COM3", "COM1", "COM2", "COM03"}));
  EXPECT_TRUE(testing::Enumerate(world, kVendorInterfaceGuid).empty());

  const auto h = world.Files().Open("\\\\.\\COM3");
  ASSERT_NE(h, platform::kInvalidDeviceHandle);
  const platform::CommTimeouts t{0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 2000};
  EXPECT_TRUE(world.Files().SetTimeouts(h, t));
  ASSERT_TRUE(world.Vendor("vx").LastTimeouts().has_value());
  EXPECT_EQ(world.Vendor("vx").LastTimeouts()->writeTotalTimeoutConstant, 2000u);
  EXPECT_EQ(Ioctl(world, h, kIoctlStatusBlock, 4).out.size(), 4u);
  world.Files().Close(h);

  const auto plain = world.Files().Open("\\\\.\\COM1");
  EXPECT_TRUE(world.Files().SetTimeouts(plain, t));
  EXPECT_FALSE(Ioctl(world, plain, kIoctlStatusBlock, 4).ok);
  EXPECT_TRUE(testing::ReadOnce(world, plain).empty());
  world.Files().Close(plain);
}

TEST(SimClassPrinterTest, AnswersTheDeviceIdWithItsLengthPrefix) {
  VirtualClock clock;
  World world(clock);
  const std::string id = "MFG:Nolpa;CMD:NLP,D4;MDL:RK-L5200;CLS:PRINTER;";
  world.AddClassPrinter({.name = "rk", .deviceId = id, .serial = "4E4C5041000000A001"});
  world.AddVendorPrinter(Onboard());

  const auto paths = testing::Enumerate(world, kUsbPrintInterfaceGuid);
  ASSERT_EQ(paths.size(), 1u);
  EXPECT_NE(paths[0].find("{28d78fad-5a12-11d1-ae5b-0000f803a8c2}"), std::string::npos);
  const auto h = world.Files().Open(paths[0]);
  ASSERT_NE(h, platform::kInvalidDeviceHandle);
  const auto r = Ioctl(world, h, kIoctlUsbPrint1284Id, 1024);
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(r.out.size(), id.size() + 3);
  EXPECT_EQ(r.out[0], 0x00);  // big-endian length, counting its own two bytes
  EXPECT_EQ(r.out[1], id.size() + 2);
  EXPECT_EQ(std::string(r.out.begin() + 2, r.out.end() - 1), id);
  EXPECT_EQ(r.out.back(), 0x00);
  EXPECT_FALSE(world.Files().SetTimeouts(h, {}));
  EXPECT_FALSE(Ioctl(world, h, kIoctlStringDescriptors, 1024).ok);
  world.Files().Close(h);
  EXPECT_EQ(world.PrinterClass("rk").Serial(), "4E4C5041000000A001");
}

TEST(SimWorldTest, RefusesClashingDevices) {
  VirtualClock clock;
  World world(clock);
  world.AddSerialPort({.name = "a", .comPort = 3});
  EXPECT_THROW(world.AddSerialPort({.name = "a", .comPort = 4}), std::invalid_argument);
  VendorPrinterConfig com = Onboard();
  com.kind = DeviceKind::VirtualCom;
  com.comPort = 3;
  EXPECT_THROW(world.AddVendorPrinter(com), std::invalid_argument);
  EXPECT_THROW(world.Vendor("a"), std::out_of_range);
  EXPECT_THROW(world.Device("missing"), std::out_of_range);
}

TEST(SimWorldTest, PrintersWithTheSameSerialGetTheirOwnPaths) {
  VirtualClock clock;
  World world(clock);
  world.AddVendorPrinter({.name = "a", .serial = u"SAME"});
  world.AddVendorPrinter({.name = "b", .serial = u"SAME"});
  world.AddVendorPrinter({.name = "c", .serial = u"with space"});
  const auto paths = testing::Enumerate(world, kVendorInterfaceGuid);
  ASSERT_EQ(paths.size(), 3u);
  EXPECT_NE(paths[0].find("#SAME#"), std::string::npos);
  EXPECT_NE(paths[0], paths[1]);
  EXPECT_EQ(paths[2].find("with space"), std::string::npos);
  for (const auto& path : paths) {
    const auto h = world.Files().Open(path + "\\RK");
    EXPECT_NE(h, platform::kInvalidDeviceHandle) << path;
    world.Files().Close(h);
  }
}

}  // namespace
}  // namespace nolpa::sim
