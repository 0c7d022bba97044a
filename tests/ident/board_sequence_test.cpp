#include "ident/board_sequence.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/scripted_device.h"

namespace nolpa::ident {
namespace {

using testing::Bytes;
using testing::IoRequest;

constexpr platform::DeviceHandle kBoard = 0x5A0;

// The requests that write `image`, as the driver should see them.
std::vector<IoRequest> RequestsFor(const std::vector<BoardLocation>& image) {
  std::vector<IoRequest> requests;
  for (const BoardLocation& l : image) {
    requests.push_back({kBoard,
                        kSetBoardAddressCode,
                        {Bytes::value_type(l.address & 0xFF), Bytes::value_type(l.address >> 8)}});
    requests.push_back({kBoard,
                        kWriteBoardValueCode,
                        {Bytes::value_type(l.value & 0xFF), Bytes::value_type(l.value >> 8)}});
  }
  return requests;
}

void ExpectRequests(const std::vector<IoRequest>& actual, const std::vector<IoRequest>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(actual[i].handle, expected[i].handle);
    EXPECT_EQ(actual[i].code, expected[i].code);
    EXPECT_EQ(actual[i].input, expected[i].input);
  }
}

struct Rig {
  testing::FakeClock clock;
  testing::ScriptedDevice device{clock};
};

TEST(BoardStringImage, LaysOutTheStringDescriptorAndChecksum) {
  EXPECT_EQ(BoardStringImage(0, "AB"),
            (std::vector<BoardLocation>{
                {0, 6}, {1, 3}, {2, 0x41}, {3, 0}, {4, 0x42}, {5, 0}, {6, 0x8C}}));
  EXPECT_EQ(BoardStringImage(256, ""), (std::vector<BoardLocation>{{256, 0x00FF}}));

  const std::vector<BoardLocation> z80 = BoardStringImage(0, std::string(80, 'z'));
  ASSERT_EQ(z80.size(), 163u);
  EXPECT_EQ(z80.front(), (BoardLocation{0, 0xA2}));
  EXPECT_EQ(z80.back(), (BoardLocation{162, 0x26C5}));

  // Code-page characters are bytes 0x80 to 0xFF, never sign-extended.
  const std::vector<BoardLocation> kana = BoardStringImage(256, "\xB1\xFF");
  EXPECT_EQ(kana[2], (BoardLocation{258, 0xB1}));
  EXPECT_EQ(kana[4], (BoardLocation{260, 0xFF}));
  EXPECT_EQ(kana[6], (BoardLocation{262, 6 + 3 + 0xB1 + 0xFF}));

  const std::vector<BoardLocation> longest = BoardStringImage(256, std::string(126, 'A'));
  EXPECT_EQ(longest.front(), (BoardLocation{256, 254}));
  EXPECT_EQ(longest.back().address, 256 + 254);
}

TEST(WriteIdByBoard, WritesCodeThenNameThenFinishes) {
  Rig rig;
  EXPECT_TRUE(WriteIdByBoard(rig.device, kBoard, "AB", ""));
  std::vector<IoRequest> expected =
      RequestsFor({{0, 6}, {1, 3}, {2, 0x41}, {3, 0}, {4, 0x42}, {5, 0}, {6, 0x8C}, {256, 0x00FF}});
  expected.push_back({kBoard, kFinishBoardWriteCode, Bytes(16, 0)});
  ExpectRequests(rig.device.requests, expected);
}

// The board takes the images into use only when the finish is accepted, so
// a refused finish is a failed write, not a success.
TEST(WriteIdByBoard, RefusedFinishIsAFailure) {
  Rig rig;
  rig.device.FailIoControl(2 * (7 + 5));  // AB (7 pairs) and "x" (5 pairs)
  EXPECT_FALSE(WriteIdByBoard(rig.device, kBoard, "AB", "x"));
  EXPECT_EQ(rig.device.requests.back().code, kFinishBoardWriteCode);
}

TEST(WriteIdByBoard, StopsAtTheFirstRefusedRequest) {
  // Refusals in the code's image, at the name's first request and at its last.
  for (std::size_t failing : {0u, 4u, 5u, 14u, 23u}) {
    SCOPED_TRACE(failing);
    Rig rig;
    rig.device.FailIoControl(failing);
    EXPECT_FALSE(WriteIdByBoard(rig.device, kBoard, "AB", "x"));
    EXPECT_EQ(rig.device.requests.size(), failing + 1);
    EXPECT_NE(rig.device.requests.back().code, kFinishBoardWriteCode);
  }
}

TEST(WriteIdByBoard, RefusesAnOversizedIdentifierBeforeAnyRequest) {
  const std::string tooLong(kMaxBoardTextLength + 1, 'A');
  for (auto [code, name] : {std::pair<std::string, std::string>{tooLong, "x"}, {"AB", tooLong}}) {
    Rig rig;
    EXPECT_FALSE(WriteIdByBoard(rig.device, kBoard, code, name));
    EXPECT_TRUE(rig.device.requests.empty());
  }
  Rig rig;
  EXPECT_FALSE(WriteBoardString(rig.device, kBoard, kIdNameBase, tooLong));
  EXPECT_TRUE(rig.device.requests.empty());
  EXPECT_TRUE(WriteIdByBoard(rig.device, kBoard, std::string(126, 'A'), ""));
  EXPECT_EQ(rig.device.requests.size(), 4 * 126 + 6 + 2 + 1u);
}

}  // namespace
}  // namespace nolpa::ident
