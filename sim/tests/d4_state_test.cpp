// What a printer-class printer does over time: replies that come late and
// hold back what follows them, and reads handed out in small pieces.
#include <optional>

#include "sim/tests/d4_peripheral_test_support.h"

namespace nolpa::sim {
namespace {

using namespace testing;

// A late reply comes `ms` after it was asked for, and everything sent after
// it waits behind it, as on one wire; only `count` replies are late.
TEST_F(SimPeripheralTest, ALateReplyHoldsBackWhatFollowsIt) {
  const Bytes status = Text("@BDC ST\r\nST:04;RV:5.10;\x0C");
  struct Case {
    const char* name;
    std::optional<std::uint8_t> transaction;
    Bytes setup;  // sent first; its answers come at once
    Bytes asked;  // its answer is the late one
    Bytes late;
    Bytes then;  // sent at once after it; its answer waits behind
    Bytes behind;
  } const cases[] = {
      {"Init", 0x00, kEntry, kInit, kInitOk, kOpenControl, kOpenControlOk},
      {"a command on the control channel", std::nullopt,
       Cat({kEntry, kInit, kOpenControl, kCreditOne, kCreditRequest}), DataPacket(0x02, kStatus),
       DataPacket(0x02, status), kCloseControl, kCloseControlOk},
      {"the remote status on the data path",
       std::nullopt,
       {},
       kRemoteStatus,
       status,
       kRemoteStatus,
       status},
  };
  std::uint32_t lateSoFar = 0;  // the count runs over the printer's life
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    printer->Faults().peripheral.lateReply = LateReply{c.transaction, 6000, ++lateSoFar};
    Send(c.setup);
    EXPECT_EQ(Send(c.asked), Bytes{});
    EXPECT_EQ(Send(c.then), Bytes{});
    clock.Advance(5999);
    EXPECT_EQ(ReadDue(world, handle), Bytes{});
    clock.Advance(1);
    EXPECT_EQ(ReadDue(world, handle), Cat({c.late, c.behind}));
    printer->PowerCycle();
  }
  printer->Faults().peripheral.lateReply.reset();
}

TEST_F(SimPeripheralTest, ReadsHandOutPiecesOfGrowingSize) {
  printer->Faults().peripheral.readPieces = 3;
  WriteAll(world, handle, kRemoteStatus);  // 24 bytes wait
  std::vector<std::size_t> sizes;
  for (Bytes piece = ReadOnce(world, handle); !piece.empty(); piece = ReadOnce(world, handle))
    sizes.push_back(piece.size());
  EXPECT_EQ(sizes, (std::vector<std::size_t>{1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3}));
}

}  // namespace
}  // namespace nolpa::sim
