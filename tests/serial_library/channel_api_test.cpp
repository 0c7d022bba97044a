// Loading the channel API with its reference count, and the size-query
// protocol every sized operation follows.
#include <gtest/gtest.h>

#include "serial_library/channel_api.h"
#include "serial_library/channel_api_functions.h"
#include "tests/serial_library/channel_api_harness.h"

namespace nolpa::morvalib {
namespace {

using testing::ChannelApiHarness;

TEST(ChannelApi, LoadsOnceCountsReferencesAndReleasesOnce) {
  ChannelApiHarness h;
  h.AddPrinter("a", "First", 1, "1201");
  ASSERT_TRUE(channel_api::Load(Services(), "First"));
  ASSERT_TRUE(channel_api::Load(Services(), "First"));
  EXPECT_EQ(channel_api::ReferenceCount(), 2);
  EXPECT_EQ(h.api.LoadsTotal(), 1u);
  EXPECT_EQ(h.api.InitializeCalls(), 1);
  channel_api::Unload();
  EXPECT_TRUE(channel_api::Loaded());
  EXPECT_EQ(h.api.ReleaseCalls(), 0);
  channel_api::Unload();
  EXPECT_FALSE(channel_api::Loaded());
  EXPECT_EQ(h.api.ReleaseCalls(), 1);
  EXPECT_EQ(h.api.LoadedModules(), 0u);
  channel_api::Unload();  // nothing left to count down
  EXPECT_EQ(h.api.ReleaseCalls(), 1);
  EXPECT_FALSE(channel_api::DeviceId("First")) << "the operations are forgotten with the module";
}

TEST(ChannelApi, FailedLoadLeavesNothingLoaded) {
  const char* const kOperations[] = {"ZQInitialize",  "ZQRelease",      "ZQGetAvailableChannel",
                                     "ZQOpenChannel", "ZQCloseChannel", "ZQReceive",
                                     "ZQSend",        "ZQGetStatus",    "ZQGetDeviceID"};
  for (const char* missing : kOperations) {
    SCOPED_TRACE(missing);
    ChannelApiHarness h;
    h.api.AddLibrary(std::string(testing::kSystemFolder) + "\\ZQAPI2.DLL").missing = {missing};
    h.AddPrinter("a", "First", 1, "1201");
    EXPECT_FALSE(channel_api::Load(Services(), "First"));
    EXPECT_EQ(h.api.LoadsTotal(), 1u);
    EXPECT_EQ(h.api.LoadedModules(), 0u) << "unloaded again";
    EXPECT_EQ(h.api.InitializeCalls(), 0);
  }
  ChannelApiHarness h;
  h.api.AddLibrary(std::string(testing::kSystemFolder) + "\\ZQAPI2.DLL").initializeResult = -3;
  h.AddPrinter("a", "First", 1, "1201");
  EXPECT_FALSE(channel_api::Load(Services(), "First"));
  EXPECT_EQ(channel_api::LastResult(), -3);
  EXPECT_EQ(h.api.LoadedModules(), 0u);
  EXPECT_EQ(h.api.ReleaseCalls(), 0) << "nothing to release after a failed initialisation";
  h.spooler.SetMachineString(testing::kChannelApiKey, "ZQAPI32", "");
  EXPECT_FALSE(channel_api::Load(Services(), "First")) << "not located: nothing loaded";
  EXPECT_EQ(h.api.LoadsTotal(), 1u);
}

TEST(ChannelApi, EverySizedOperationAsksForTheSizeThenReadsIntoOneByteMore) {
  struct Case {
    const char* call;
    bool (*run)(int channel);
    int* failure;  // the stand-in's switch that makes the call fail
  };
  ChannelApiHarness h;
  h.AddPrinter("a", "First", 1, "1201");
  sim::ChannelApiBehaviour& behaviour =
      h.api.AddLibrary(std::string(testing::kSystemFolder) + "\\ZQAPI2.DLL");
  ASSERT_TRUE(channel_api::Load(Services(), "First"));
  const Case cases[] = {
      {"ZQGetDeviceID", [](int) { return channel_api::DeviceId("First").has_value(); },
       &behaviour.deviceIdResult},
      {"ZQGetAvailableChannel",
       [](int) { return channel_api::AvailableChannels("First").has_value(); },
       &behaviour.channelListResult},
      {"ZQGetStatus", [](int c) { return channel_api::Status(c).has_value(); },
       &behaviour.statusResult},
  };
  const std::size_t deviceIdSize = std::string(testing::kDeviceIdD4).size() + 1;
  const int expectedSizes[] = {static_cast<int>(deviceIdSize) + 1, 3 * ZQ_CHANNEL_ENTRY_SIZE + 1,
                               -1};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.call);
    const int channel = channel_api::OpenChannel("First", ZQ_CHANNEL_CONTROL);
    const std::size_t before = h.api.Calls().size();
    ASSERT_TRUE(c.run(channel));
    const std::vector<std::string> calls(h.api.Calls().begin() + static_cast<long>(before),
                                         h.api.Calls().end());
    EXPECT_EQ(calls, (std::vector<std::string>{std::string(c.call) + "(null)",
                                               std::string(c.call) + "(buffer)"}));
    if (expectedSizes[i] > 0) {
      EXPECT_EQ(h.api.BufferSizes().back(), expectedSizes[i]);
    }
    EXPECT_EQ(channel_api::LiveBuffers(), 0);

    *c.failure = -6;  // refused outright: kept as the last result
    EXPECT_FALSE(c.run(channel));
    EXPECT_EQ(channel_api::LastResult(), -6);
    *c.failure = 0;
    channel_api::CloseChannel(channel);
  }
  channel_api::Unload();
}

TEST(ChannelApi, ReceiveAsksForTheSizeAndTimesOutWithItsWait) {
  ChannelApiHarness h;
  sim::ClassPrinter& printer = h.AddPrinter("a", "First", 1, "1201");
  ASSERT_TRUE(channel_api::Load(Services(), "First"));
  const int channel = channel_api::OpenChannel("First", ZQ_CHANNEL_CONTROL);
  ASSERT_GT(channel, 0);
  const std::uint8_t status[] = {'s', 't', 0x01, 0x00, 0x01};
  ASSERT_TRUE(channel_api::Send(channel, status, 5));
  const auto reply = channel_api::Receive(channel, 20000);
  ASSERT_TRUE(reply);
  EXPECT_EQ(std::string(reply->begin(), reply->end()), "@BDC ST\r\nST:04;RV:1.21;\x0C");
  EXPECT_EQ(h.api.BufferSizes().back(), static_cast<int>(reply->size()) + 1);

  printer.Faults().peripheral.silentCommands = true;
  ASSERT_TRUE(channel_api::Send(channel, status, 5));
  const std::uint64_t start = h.clock.NowMs();
  EXPECT_FALSE(channel_api::Receive(channel, 20000));
  EXPECT_EQ(h.clock.NowMs() - start, 20000u);
  EXPECT_EQ(channel_api::LastResult(), sim::kZqTimedOut);
  EXPECT_EQ(channel_api::LiveBuffers(), 0);
  channel_api::CloseChannel(channel);
  channel_api::Unload();
}

}  // namespace
}  // namespace nolpa::morvalib
