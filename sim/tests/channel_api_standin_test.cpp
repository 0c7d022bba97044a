// The channel-API stand-in is strict: every call a careful host would not
// make is noted as a departure, whatever it answers.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "sim/core/departures.h"
#include "sim/core/virtual_clock.h"
#include "sim/host/channel_api_standin.h"

namespace nolpa::sim {
namespace {

using Initialize = int (*)();
using DeviceIdFn = int (*)(int, const char*, char*, int*);
using OpenFn = int (*)(int, const char*, unsigned int);
using CloseFn = int (*)(int);
using SendFn = int (*)(int, const unsigned char*, int);

constexpr char kLibrary[] = "C:\\WINDOWS\\system32\\ZQAPI2.DLL";

struct StandIn {
  VirtualClock clock;
  World world{clock};
  SpoolerWorld spooler{world};
  ChannelApiStandIn api{world, spooler};
  platform::ModuleHandle module = 0;

  StandIn() {
    world.AddClassPrinter({.name = "cp", .deviceId = "MFG:Nolpa;CMD:NLP,D4;MDL:RK-L5200;"});
    spooler.AddDriver({.name = "Line", .driverPath = "C:\\drv\\L.DLL"});
    spooler.AddPrinter({.name = "P", .port = "USB001", .driver = "Line", .device = "cp"});
    api.AddLibrary(kLibrary);
    module = api.Modules().Load(kLibrary);
  }
  template <typename Fn>
  Fn Op(const char* name) {
    return reinterpret_cast<Fn>(api.Modules().Export(module, name));
  }
  int Open() { return Op<OpenFn>("ZQOpenChannel")(kZqByName, "P", kZqControlChannel); }
};

TEST(ChannelApiStandIn, NotesEveryCallACarefulHostWouldNotMake) {
  const unsigned char status[] = {'s', 't', 0x01, 0x00, 0x01};
  struct Case {
    const char* kind;
    std::function<void(StandIn&)> misuse;
  } cases[] = {
      {departure::kChannelApiNotInitialised,
       [](StandIn& s) {
         EXPECT_EQ(s.Op<OpenFn>("ZQOpenChannel")(kZqByName, "P", kZqControlChannel), kZqFailed);
       }},
      {departure::kChannelUsedAfterClose,
       [&](StandIn& s) {
         s.Op<Initialize>("ZQInitialize")();
         const int channel = s.Open();
         s.Op<CloseFn>("ZQCloseChannel")(channel);
         EXPECT_EQ(s.Op<SendFn>("ZQSend")(channel, status, 5), kZqFailed);
         s.Op<Initialize>("ZQRelease")();
       }},
      {departure::kChannelOpenAtRelease,
       [](StandIn& s) {
         s.Op<Initialize>("ZQInitialize")();
         s.Open();
         s.Op<Initialize>("ZQRelease")();
       }},
      {departure::kSizeQueryIgnored,
       [](StandIn& s) {
         s.Op<Initialize>("ZQInitialize")();
         char small[8];
         int size = sizeof small;
         EXPECT_EQ(s.Op<DeviceIdFn>("ZQGetDeviceID")(kZqByName, "P", small, &size), kZqSize);
         EXPECT_EQ(size, 35) << "the size it needs, NUL counted";
         s.Op<Initialize>("ZQRelease")();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    StandIn s;
    s.world.Departures().Expect(c.kind);
    c.misuse(s);
    EXPECT_EQ(s.world.Departures().Count(c.kind), 1u);
    EXPECT_EQ(s.world.Departures().Unexpected().size(), 0u);
    s.api.Modules().Free(s.module);
  }
}

TEST(ChannelApiStandIn, ModuleLeftLoadedOrFreedTwiceIsNoted) {
  VirtualClock clock;
  World world(clock);
  world.Departures().Expect(departure::kChannelApiLeftLoaded);
  world.Departures().Expect(departure::kModuleFreedTwice);
  {
    SpoolerWorld spooler(world);
    ChannelApiStandIn api(world, spooler);
    EXPECT_EQ(api.Modules().Load("C:\\WINDOWS\\system32\\OTHER.DLL"), 0u)
        << "not a channel-API library";
    api.AddLibrary(kLibrary);
    const platform::ModuleHandle module = api.Modules().Load(kLibrary);
    ASSERT_NE(module, 0u);
    EXPECT_EQ(api.Modules().Export(module, "ZQNoSuchCall"), nullptr);
    api.Modules().Free(module);
    api.Modules().Free(module);
    api.Modules().Load(kLibrary);
  }
  EXPECT_EQ(world.Departures().Count(departure::kModuleFreedTwice), 1u);
  EXPECT_EQ(world.Departures().Count(departure::kChannelApiLeftLoaded), 1u);
}

}  // namespace
}  // namespace nolpa::sim
