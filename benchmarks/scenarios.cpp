#include "benchmarks/scenarios.h"

#include <cstdio>
#include <vector>

#include "discovery/device_list.h"
#include "discovery/vendor_driver.h"
#include "ident/command_sequence.h"
#include "platform/platform.h"
#include "platform/scoped.h"
#include "printerio/byte_channel.h"
#include "printerio/communication_test.h"
#include "printerio/reply_reader.h"
#include "serial_library/morvalib.h"
#include "serial_library/services.h"
#include "serial_library/usb_location.h"
#include "sim/world.h"
#include "tests/support/usb_bus.h"

namespace nolpa::bench {

namespace {
constexpr char kClassDeviceId[] = "MFG:Nolpa;CMD:NLP,D4;MDL:RK-L5200;CLS:PRINTER;";
constexpr char kClassSerial[] = "4E4C5041000000A001";
}  // namespace

struct BenchWorld::Parts {
  explicit Parts(platform::Clock& c) : clock(c), world(c), bus(world) {}

  platform::Platform Platform() {
    platform::Platform p;
    p.clock = &clock;
    p.files = &world.Files();
    p.interfaces = &world.Interfaces();
    p.dosDevices = &world.DosDevices();
    return p;
  }

  platform::Clock& clock;
  sim::World world;
  testing::UsbBus bus;
  discovery::DeviceRecord vendor;  // as Find listed it
  std::string classPath;
};

BenchWorld::BenchWorld(platform::Clock& clock) : parts_(std::make_unique<Parts>(clock)) {
  sim::VendorPrinterConfig vendor;
  vendor.name = "bench";
  vendor.serial = u"BENCH00000";
  vendor.idName = u"Bench";
  vendor.usb.product = u"VX Bench";
  parts_->world.AddVendorPrinter(vendor);
  const sim::ClassPrinter& printer = parts_->world.AddClassPrinter({.name = "bench-class",
                                                                    .deviceId = kClassDeviceId,
                                                                    .serial = kClassSerial,
                                                                    .firmware = "1.20"});
  parts_->classPath = printer.InterfacePath();
  parts_->bus.PlugAll();
  morvalib::InstallServices(parts_->bus.Services(parts_->world, clock));

  discovery::DeviceList list;
  if (discovery::ProbeVendorDriverDevice(parts_->Platform(), 0, list))
    parts_->vendor = list.Record(0);
}

BenchWorld::~BenchWorld() { morvalib::RemoveServices(); }

namespace {

// The vendor printer opened as an action opens it: a byte channel with the
// channel time-outs in force.
struct OpenChannel {
  OpenChannel(const platform::Platform& p, const std::string& path)
      : device(*p.files, p.files->Open(path)), channel(*p.files, *p.clock, device.Get()) {
    if (device.Valid()) channel.ApplyChannelTimeouts();
  }
  platform::ScopedDevice device;
  printerio::ByteChannel channel;
};

}  // namespace

std::string BenchWorld::CommandWrite(Meter& meter) {
  OpenChannel open(parts_->Platform(), parts_->vendor.devicePath);
  if (!open.device.Valid()) return "the vendor printer cannot be opened";
  // A code of its own each time, so every write stores something.
  char code[16];
  std::snprintf(code, sizeof code, "BENCH%05d", ++writes_);
  meter.Start();
  const bool ok = ident::WriteIdByCommands(open.channel, code, parts_->vendor.idName,
                                           parts_->vendor.idCode, parts_->vendor.idName);
  meter.Stop();
  if (!ok) return "the command write failed";
  parts_->vendor.idCode = code;
  return {};
}

std::string BenchWorld::CommunicationTest(Meter& meter) {
  printerio::CommTestRequest request;
  request.devicePath = parts_->vendor.devicePath;
  request.productText = parts_->vendor.productText;
  meter.Start();
  const printerio::CommTestOutcome outcome =
      printerio::RunCommunicationTest(parts_->Platform(), request, {});
  meter.Stop();
  return outcome.succeeded ? std::string{} : "the communication test failed";
}

std::string BenchWorld::Emptying(Meter& meter) {
  OpenChannel open(parts_->Platform(), parts_->vendor.devicePath);
  if (!open.device.Valid()) return "the vendor printer cannot be opened";
  meter.Start();
  const bool silent = printerio::EmptyChannel(open.channel);
  meter.Stop();
  return silent ? std::string{} : "the emptying gave up";
}

std::string BenchWorld::SerialNumberRead(Meter& meter) {
  platform::Platform p = parts_->Platform();
  platform::ScopedDevice device(*p.files, p.files->Open(parts_->classPath));
  if (!device.Valid()) return "the printer-class printer cannot be opened";
  morvalib::DropHubTable();
  char serial[64] = {};
  int length = 0;
  meter.Start();
  const int result =
      ::GetUSBSerialNumber(parts_->classPath.c_str(), serial, sizeof serial, &length, 0);
  meter.Stop();
  if (result != MORVALIB_OK) return "GetUSBSerialNumber gave " + std::to_string(result);
  if (std::string(serial) != kClassSerial) return "GetUSBSerialNumber read " + std::string(serial);
  return {};
}

std::string BenchWorld::SerialNumberReadAfterStaleReplies(Meter& meter) {
  const std::vector<std::uint8_t> stale = {
      0x02, 0x02, 0x00, 0x0B, 0x00, 0x00, 't',  'p',  ':',  ';',  0x0C,  // a late answer
      0x00, 0x00, 0x00, 0x0A, 0x01, 0x00, 0x82, 0x00, 0x02, 0x02,        // its close
      0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0x88, 0x00};                   // its Exit
  parts_->world.PrinterClass("bench-class").Channel().QueueReply(stale, parts_->clock.NowMs(), {});
  return SerialNumberRead(meter);
}

}  // namespace nolpa::bench
