// The channel-API port: each operation against the stand-in channel API,
// and the library's serial-number and firmware functions through it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "serial_library/channel_api_port.h"
#include "serial_library/exchange.h"
#include "serial_library/firmware_version.h"
#include "serial_library/serial_number.h"
#include "tests/serial_library/channel_api_harness.h"

namespace nolpa::morvalib {
namespace {

using testing::ChannelApiHarness;

const std::string kSerialRead("tp\x04\x00\x01\x27\x03\xF0", 8);

int SendText(TRKCCC& port, const std::string& bytes, int* sent) {
  return port.SendControl(0, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                          static_cast<int>(bytes.size()), sent);
}

std::string Received(const std::uint8_t* buffer, int count) {
  return std::string(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(count));
}

TEST(ChannelApiPort, OpenLoadsOnceAndDestroyUnloads) {
  ChannelApiHarness h;
  h.AddPrinter("a", "First", 1, "1201");
  {
    auto port = h.OpenPort("First");
    EXPECT_EQ(port->IsOpen(), 1);
    EXPECT_EQ(port->Open(), 1) << "already open";
    EXPECT_EQ(channel_api::ReferenceCount(), 1);
    EXPECT_EQ(port->UsbLocation(), "1201");
    EXPECT_EQ(port->PortKind(), kChannelApiPortKind);
    EXPECT_EQ(port->StartPacketMode(), 0);
    EXPECT_EQ(port->IsPacketMode(), 1);
    auto second = h.OpenPort("First");
    EXPECT_EQ(channel_api::ReferenceCount(), 2);
  }
  EXPECT_EQ(h.api.LoadsTotal(), 1u);
  EXPECT_EQ(h.api.ReleaseCalls(), 1);
}

TEST(ChannelApiPort, OpenFailsOnlyWhenTheApiCannotBeLocated) {
  ChannelApiHarness h;
  h.AddPrinter("a", "First", 1, "1201");
  TRKZQAPI unnamed(h.Locator(), "");
  EXPECT_EQ(unnamed.Open(), 0);
  EXPECT_EQ(unnamed.IsOpen(), 0);

  // Located but not initialised: Open holds, every operation then fails.
  h.api.AddLibrary(std::string(testing::kSystemFolder) + "\\ZQAPI2.DLL").initializeResult = -1;
  auto port = h.OpenPort("First");
  EXPECT_FALSE(channel_api::Loaded());
  int sent = 7;
  EXPECT_EQ(SendText(*port, kSerialRead, &sent), 0);
  EXPECT_EQ(sent, 0);
  char id[256];
  EXPECT_EQ(port->GetDeviceId(256, id), -2);
  std::uint8_t status[64];
  int count = 0;
  EXPECT_EQ(port->ReadControlStatus(status, 64, &count), 0);
}

TEST(ChannelApiPort, CommandGoesOnTheControlChannelAndTheReplyClosesIt) {
  ChannelApiHarness h;
  sim::ClassPrinter& printer = h.AddPrinter("a", "First", 1, "1201");
  auto port = h.OpenPort("First");
  int sent = 0;
  ASSERT_EQ(SendText(*port, kSerialRead, &sent), 1);
  EXPECT_EQ(sent, 8);
  EXPECT_GT(port->OpenChannelHandle(), 0) << "open for the reply";
  std::uint8_t reply[1024];
  int count = 0;
  ASSERT_EQ(port->ReceiveControl(reply, sizeof reply, &count), 1);
  EXPECT_EQ(Received(reply, count), "tp:01F0:344534433530343130303030303041303131;\x0C");
  EXPECT_EQ(port->OpenChannelHandle(), -1);
  EXPECT_EQ(h.api.ReceiveWaits(), (std::vector<int>{20000, 20000}))
      << "the size query and the read";
  EXPECT_EQ(h.api.Calls(), (std::vector<std::string>{
                               "ZQInitialize", "ZQGetDeviceID(null)", "ZQGetDeviceID(buffer)",
                               "ZQGetAvailableChannel(null)", "ZQGetAvailableChannel(buffer)",
                               "ZQOpenChannel(control)", "ZQSend", "ZQReceive(null)",
                               "ZQReceive(buffer)", "ZQCloseChannel"}));

  // A reply that does not fit is measured, not copied, and still closes.
  ASSERT_EQ(SendText(*port, kSerialRead, &sent), 1);
  std::memset(reply, 'z', sizeof reply);
  EXPECT_EQ(port->ReceiveControl(reply, 10, &count), 1);
  EXPECT_EQ(count, 46);
  EXPECT_EQ(reply[0], 'z');
  EXPECT_EQ(port->OpenChannelHandle(), -1);

  // Nothing sent: nothing to receive from.
  EXPECT_EQ(port->ReceiveControl(reply, sizeof reply, &count), 0);

  // A silent printer: the 20-second wait passes and the channel is closed.
  printer.Faults().peripheral.silentCommands = true;
  ASSERT_EQ(SendText(*port, kSerialRead, &sent), 1);
  const std::uint64_t start = h.clock.NowMs();
  EXPECT_EQ(port->ReceiveControl(reply, sizeof reply, &count), 0);
  EXPECT_EQ(h.clock.NowMs() - start, 20000u);
  EXPECT_EQ(port->OpenChannelHandle(), -1);
}

TEST(ChannelApiPort, DataGoesOnTheDataChannelAndThePlainDataPathIsNotOffered) {
  ChannelApiHarness h;
  h.AddPrinter("a", "First", 1, "1201");
  auto port = h.OpenPort("First");
  const std::uint8_t request[] = {0x1B, '(',  'R',  0x08, 0x00, 0x00, 'R', 'E',
                                  'M',  'O',  'T',  'E',  '1',  'S',  'T', 0x02,
                                  0x00, 0x00, 0x01, 0x1B, 0x00, 0x00, 0x00};
  int written = 0;
  ASSERT_EQ(port->WriteData(0, request, sizeof request, &written), 1);
  EXPECT_EQ(written, 23);
  EXPECT_EQ(h.api.Calls()[h.api.Calls().size() - 2], "ZQOpenChannel(data)");
  EXPECT_GT(port->OpenChannelHandle(), 0) << "open for the answer; closed when the port goes";
  std::uint8_t buffer[16];
  int count = 5;
  EXPECT_EQ(port->ReadData(buffer, sizeof buffer, &count), 0);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(port->GetHandle(), platform::kInvalidDeviceHandle);
}

TEST(ChannelApiPort, SendFailsWithoutAUsableChannelAndLeavesNoneOpen) {
  struct Case {
    const char* name;
    void (*script)(sim::ChannelApiBehaviour&, sim::ClassPrinter&);
    bool data;  // WriteData instead of SendControl
  } cases[] = {
      {"device ID refused",
       [](sim::ChannelApiBehaviour& b, sim::ClassPrinter&) { b.deviceIdResult = -5; }, false},
      {"channel list refused",
       [](sim::ChannelApiBehaviour& b, sim::ClassPrinter&) { b.channelListResult = -5; }, false},
      {"no usable control channel",
       [](sim::ChannelApiBehaviour& b, sim::ClassPrinter&) { b.noControlChannel = true; }, false},
      {"printer without the packet protocol",
       [](sim::ChannelApiBehaviour&, sim::ClassPrinter& p) {
         p.SetDeviceId("MFG:Nolpa;CMD:NLP;MDL:RK-L5200;");
       },
       false},
      {"channel not opened",
       [](sim::ChannelApiBehaviour& b, sim::ClassPrinter&) { b.openChannelResult = -8; }, false},
      {"send refused", [](sim::ChannelApiBehaviour& b, sim::ClassPrinter&) { b.sendResult = -9; },
       false},
      {"data send refused",
       [](sim::ChannelApiBehaviour& b, sim::ClassPrinter&) { b.sendResult = -9; }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChannelApiHarness h;
    sim::ClassPrinter& printer = h.AddPrinter("a", "First", 1, "1201");
    c.script(h.api.AddLibrary(std::string(testing::kSystemFolder) + "\\ZQAPI2.DLL"), printer);
    auto port = h.OpenPort("First");
    int sent = 5;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(kSerialRead.data());
    EXPECT_EQ(c.data ? port->WriteData(0, bytes, 8, &sent) : port->SendControl(0, bytes, 8, &sent),
              0);
    EXPECT_EQ(sent, 0);
    EXPECT_EQ(port->OpenChannelHandle(), -1);
    EXPECT_EQ(h.api.OpenChannels(), 0u);
  }
}

// The channel opened is the first entry of the wanted type whose value is
// not 0; an entry of that type marked 0 before it is passed over, and a type
// listed only with 0 is never opened.
TEST(ChannelApiPort, FirstUsableEntryOfTheTypeIsTaken) {
  constexpr std::uint32_t kOther = 0x10020001;
  using List = std::vector<std::pair<std::uint32_t, std::uint16_t>>;
  struct Case {
    const char* name;
    List list;
    bool data;    // WriteData instead of SendControl
    bool opened;  // a channel of that type was opened and the bytes sent
  } const cases[] = {
      {"control marked 0, then usable",
       {{kOther, 1}, {sim::kZqControlChannel, 0}, {sim::kZqControlChannel, 4}},
       false,
       true},
      {"data marked 0, then usable",
       {{sim::kZqDataChannel, 0}, {sim::kZqControlChannel, 2}, {sim::kZqDataChannel, 3}},
       true,
       true},
      {"control only marked 0",
       {{kOther, 1}, {sim::kZqControlChannel, 0}, {sim::kZqDataChannel, 3}},
       false,
       false},
      {"usable entries of other types only",
       {{kOther, 1}, {sim::kZqControlChannel, 2}},
       true,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChannelApiHarness h;
    h.AddPrinter("a", "First", 1, "1201");
    h.api.AddLibrary(std::string(testing::kSystemFolder) + "\\ZQAPI2.DLL").channelList = c.list;
    auto port = h.OpenPort("First");
    int sent = 0;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(kSerialRead.data());
    EXPECT_EQ(c.data ? port->WriteData(0, bytes, 8, &sent) : port->SendControl(0, bytes, 8, &sent),
              c.opened ? 1 : 0);
    EXPECT_EQ(sent, c.opened ? 8 : 0);
    EXPECT_EQ(h.api.ChannelsOpenedTotal(), c.opened ? 1u : 0u);
    const auto opens = std::count(h.api.Calls().begin(), h.api.Calls().end(),
                                  c.data ? "ZQOpenChannel(data)" : "ZQOpenChannel(control)");
    EXPECT_EQ(opens, c.opened ? 1 : 0);
  }
}

TEST(ChannelApiPort, ChannelLeftOpenIsClosedBeforeTheNextAndAtDestroy) {
  ChannelApiHarness h;
  h.AddPrinter("a", "First", 1, "1201");
  {
    auto port = h.OpenPort("First");
    int sent = 0;
    ASSERT_EQ(SendText(*port, kSerialRead, &sent), 1);
    const int first = port->OpenChannelHandle();
    ASSERT_EQ(SendText(*port, kSerialRead, &sent), 1);
    EXPECT_NE(port->OpenChannelHandle(), first);
    EXPECT_EQ(h.api.OpenChannels(), 1u);
  }
  EXPECT_EQ(h.api.ChannelsOpenedTotal(), 2u);
  EXPECT_EQ(h.api.ReleaseCalls(), 1) << "released after the channel was closed";
}

TEST(ChannelApiPort, DeviceIdAndStatusAreCopiedOnlyWhenTheyFit) {
  ChannelApiHarness h;
  sim::ClassPrinter& printer = h.AddPrinter("a", "First", 1, "1201");
  auto port = h.OpenPort("First");
  const std::string id = testing::kDeviceIdD4;
  std::vector<char> buffer(id.size() + 1, 'z');
  EXPECT_EQ(port->GetDeviceId(static_cast<int>(buffer.size()), buffer.data()), 0);
  EXPECT_STREQ(buffer.data(), id.c_str());
  EXPECT_EQ(port->GetDeviceId(static_cast<int>(id.size()), buffer.data()), -2);

  printer.Faults().peripheral.statusFieldList = true;
  using Read = int (TRKCCC::*)(std::uint8_t*, int, int*);
  for (Read read : {&TRKCCC::ReadControlStatus, &TRKCCC::ReadDataStatus}) {
    std::uint8_t status[512];
    int count = 0;
    ASSERT_EQ(((*port).*read)(status, sizeof status, &count), 1);
    EXPECT_EQ(Received(status, 10), "@BDC ST2\r\n");
    const int length = count;
    EXPECT_EQ(((*port).*read)(status, length - 1, &count), 0) << "one byte short";
    EXPECT_EQ(count, length);
    EXPECT_EQ(port->OpenChannelHandle(), -1);
  }
  EXPECT_EQ(h.api.ChannelsOpenedTotal(), 4u);
  EXPECT_EQ(h.api.Calls()[h.api.Calls().size() - 4], "ZQOpenChannel(data)");

  h.api.AddLibrary(std::string(testing::kSystemFolder) + "\\ZQAPI2.DLL").statusResult = -3;
  std::uint8_t status[512];
  int count = 0;
  EXPECT_EQ(port->ReadControlStatus(status, sizeof status, &count), 0);
  EXPECT_EQ(h.api.OpenChannels(), 0u) << "closed after a failed status read";
}

// The serial-number library's functions above the channel-API port give the
// same results as above any other port.
TEST(ChannelApiPort, SerialNumberAndFirmwareThroughTheLibraryFunctions) {
  ChannelApiHarness h;
  sim::ClassPrinter& printer = h.AddPrinter("a", "First", 1, "1201");
  sim::ClassPrinter& plain =
      h.AddPrinter("b", "Second", 2, "1202", "MFG:Nolpa;CMD:NLP;MDL:RK-L5200;");
  const std::string path = printer.InterfacePath();

  char buffer[64] = {};
  int length = 0;
  ASSERT_EQ(ReadSerialNumber(h.Opener(), path.c_str(), buffer, sizeof buffer, &length, 0),
            MORVALIB_OK);
  EXPECT_EQ(std::string(buffer), printer.Serial());
  EXPECT_EQ(length, 19);

  EXPECT_EQ(WriteSerialNumber(h.Opener(), path.c_str(), "4E4C5041000000B002", 0), MORVALIB_OK);
  EXPECT_EQ(printer.Peripheral().Commands().PendingSerial(), "4E4C5041000000B002");

  ASSERT_EQ(ReadFirmwareVersion(h.Opener(), path.c_str(), buffer, sizeof buffer, &length),
            MORVALIB_OK);
  EXPECT_STREQ(buffer, "1.21");
  printer.Faults().peripheral.statusFieldList = true;
  ASSERT_EQ(ReadFirmwareVersion(h.Opener(), path.c_str(), buffer, sizeof buffer, &length),
            MORVALIB_OK);
  EXPECT_STREQ(buffer, "1.21");

  // Without the packet protocol the channel API offers no control channel:
  // neither the serial number nor the status on it can be had.
  const std::string plainPath = plain.InterfacePath();
  EXPECT_EQ(ReadSerialNumber(h.Opener(), plainPath.c_str(), buffer, sizeof buffer, &length, 0),
            MORVALIB_E_NO_PACKET);
  EXPECT_EQ(ReadFirmwareVersion(h.Opener(), plainPath.c_str(), buffer, sizeof buffer, &length),
            MORVALIB_E_FIRMWARE);

  // A device no spooler printer sits on is not this port's.
  EXPECT_EQ(
      ReadSerialNumber(h.Opener(), "\\\\?\\usb#vid_0f1a&pid_0520#zz#{x}", buffer, 64, &length, 0),
      MORVALIB_E_NO_PRINTER);
  EXPECT_EQ(h.api.ReleaseCalls(), static_cast<int>(h.api.LoadsTotal()))
      << "each call loads and releases";
}

}  // namespace
}  // namespace nolpa::morvalib
