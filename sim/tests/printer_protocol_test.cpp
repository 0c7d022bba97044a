#include "sim/printers/printer_protocol.h"

#include "sim/core/departures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace nolpa::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kReset = {0x00, 0x00, 0x00, 0x00, 0x00, 0x1B, 0x3D, 0x01,
                      0x1B, 0x40, 0x1D, 0x61, 0x00, 0x1D, 0x6A, 0x00};
const Bytes kIdentify = {0x1D, 0x49, 0x01};
constexpr std::uint8_t kM = 0x20;

Bytes Opening(std::uint8_t m) { return {0x1C, 0x7C, 0x7F, m, 0x01, 0xFE, 0x80, 0x00, 0x00}; }
Bytes Closing(std::uint8_t m) { return {0x1C, 0x7C, 0x7F, m, 0x02, 0xFD, 0x01, 0x00, 0x00}; }

// A store with the count a correct host sends, unless `count` overrides it.
Bytes Store(std::uint8_t key, const std::string& text, int count = -1, bool withEnd = true) {
  const int n = count >= 0 ? count : static_cast<int>(text.size()) + 6;
  const auto lo = static_cast<std::uint8_t>(n & 0xFF), hi = static_cast<std::uint8_t>(n >> 8);
  Bytes b = {0x1D, 0x28, 0x43, lo, hi, 0x00, 0x01, 0x80, 0x23, key};
  b.insert(b.end(), text.begin(), text.end());
  if (withEnd) b.push_back(0xFF);
  return b;
}
Bytes Clear(std::uint8_t key) {
  return {0x1D, 0x28, 0x43, 0x05, 0x00, 0x00, 0x00, 0x80, 0x23, key};
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

struct Printer {
  PrinterProtocol protocol;
  PrinterIdentity identity{"VX-410 Receipt", "1.02", "SN0001", "Counter", kM};
  Bytes replies;
  std::vector<std::string> departures;

  Printer() {
    protocol.SetDepartureSink(
        [this](std::string_view kind, const std::string&) { departures.emplace_back(kind); });
  }

  void Send(const Bytes& b) { protocol.Receive(b.data(), b.size(), identity, replies); }
  // Feeds `b` in pieces of `chunk` bytes.
  void SendInChunks(const Bytes& b, std::size_t chunk) {
    for (std::size_t i = 0; i < b.size(); i += chunk) {
      const std::size_t n = std::min(chunk, b.size() - i);
      protocol.Receive(b.data() + i, n, identity, replies);
    }
  }
  bool Has(const std::string& name) const {
    const auto& c = protocol.Commands();
    return std::find(c.begin(), c.end(), name) != c.end();
  }
};

TEST(PrinterProtocol, ResetSequenceAnswersNothing) {
  Printer p;
  p.Send(kReset);
  EXPECT_TRUE(p.replies.empty());
  EXPECT_TRUE(p.protocol.Printed().empty());
  const std::vector<std::string> expected = {command::kSelectPrinter, command::kInitialise,
                                             command::kAutoStatus, command::kAutoInkStatus};
  EXPECT_EQ(p.protocol.Commands(), expected);
}

TEST(PrinterProtocol, IdentificationQueryFollowsFaultSwitch) {
  const struct {
    QueryAnswer answer;
    Bytes reply;
    ReplyShape shape;
  } cases[] = {
      {QueryAnswer::Normal, {kM}, ReplyShape::Other},
      {QueryAnswer::OneByteStatus, {0x12}, ReplyShape::OneByteStatus},
      {QueryAnswer::Block, {0x5F, 'x', 0x00}, ReplyShape::Block},
  };
  for (const auto& c : cases) {
    Printer p;
    p.protocol.SetQueryAnswer(c.answer);
    p.Send(kIdentify);
    EXPECT_EQ(p.replies, c.reply);
    EXPECT_EQ(ShapeOfReplyByte(p.replies.at(0)), c.shape);
  }
}

TEST(PrinterProtocol, InformationQueriesAnswerTextBlocks) {
  const std::string longText(100, 'q');
  const struct {
    std::uint8_t n;
    std::string PrinterIdentity::*field;
    std::string value;
    std::string expectedText;
  } cases[] = {
      {'C', &PrinterIdentity::model, "VX-410 Receipt", "VX-410 Receipt"},
      {'A', &PrinterIdentity::firmware, "1.02", "1.02"},
      {'D', &PrinterIdentity::serial, "SN0001", "SN0001"},
      {'D', &PrinterIdentity::serial, longText, longText.substr(0, 78)},
      {'C', &PrinterIdentity::model, std::string("AB\0CD", 5), "AB"},
  };
  for (const auto& c : cases) {
    Printer p;
    p.identity.*c.field = c.value;
    p.Send({0x1D, 0x49, c.n});
    Bytes expected = {0x5F};
    expected.insert(expected.end(), c.expectedText.begin(), c.expectedText.end());
    expected.push_back(0x00);
    EXPECT_EQ(p.replies, expected) << c.value.size();
  }
}

TEST(PrinterProtocol, ReplyShapesSplitTheByteValuesAsTheReaderDoes) {
  int counts[5] = {};
  for (int b = 0; b < 256; ++b)
    ++counts[static_cast<int>(ShapeOfReplyByte(static_cast<std::uint8_t>(b)))];
  EXPECT_EQ(counts[static_cast<int>(ReplyShape::FlowControl)], 2);
  EXPECT_EQ(counts[static_cast<int>(ReplyShape::OneByteStatus)], 16);
  EXPECT_EQ(counts[static_cast<int>(ReplyShape::FourByteStatus)], 16);
  EXPECT_EQ(counts[static_cast<int>(ReplyShape::Block)], 30);
  EXPECT_EQ(counts[static_cast<int>(ReplyShape::Other)], 192);
  EXPECT_TRUE(IsValidIdentByte(0x20));
  EXPECT_FALSE(IsValidIdentByte(0x16));
  EXPECT_FALSE(IsValidIdentByte(0x5F));
}

TEST(PrinterProtocol, SessionOpensOnlyWithTheByteAnsweredSinceTheLastReset) {
  Printer p;
  p.Send(Opening(kM));  // the right byte, but nobody asked for it
  EXPECT_FALSE(p.protocol.SessionOpen());
  EXPECT_TRUE(p.Has(command::kOpenRefused));
  p.Send(kIdentify);
  p.Send(Opening(kM + 1));
  EXPECT_FALSE(p.protocol.SessionOpen());
  p.Send(Opening(kM));
  EXPECT_TRUE(p.protocol.SessionOpen());
  p.Send(Closing(kM + 1));
  EXPECT_TRUE(p.protocol.SessionOpen());
  p.Send(Closing(kM));
  EXPECT_FALSE(p.protocol.SessionOpen());
  p.Send(Opening(kM));
  p.Send(kReset);  // ESC @ closes it, and forgets the answer
  EXPECT_FALSE(p.protocol.SessionOpen());
  p.Send(Opening(kM));
  EXPECT_FALSE(p.protocol.SessionOpen());
  EXPECT_EQ(p.departures, std::vector<std::string>(4, departure::kSessionWrongM));
}

TEST(PrinterProtocol, StoreAndClearApplyOnlyInsideASession) {
  const struct {
    Bytes command;
    std::string PrinterIdentity::*field;
    std::string after;
    std::string name;
  } cases[] = {
      {Store(0x39, "AB"), &PrinterIdentity::serial, "AB", command::kStoreIdCode},
      {Store(0x38, "Front desk"), &PrinterIdentity::idName, "Front desk", command::kStoreIdName},
      {Clear(0x39), &PrinterIdentity::serial, "", command::kClearIdCode},
      {Clear(0x38), &PrinterIdentity::idName, "", command::kClearIdName},
  };
  for (const auto& c : cases) {
    Printer inside;
    inside.Send(Join({kIdentify, Opening(kM), c.command}));
    EXPECT_EQ(inside.identity.*c.field, c.after);
    EXPECT_TRUE(inside.Has(c.name)) << c.name;
    EXPECT_TRUE(inside.departures.empty()) << c.name;

    Printer outside;
    const std::string before = outside.identity.*c.field;
    outside.Send(Join({kIdentify, Opening(kM + 1), c.command}));
    EXPECT_EQ(outside.identity.*c.field, before);
    EXPECT_TRUE(outside.Has(c.name + command::kOutsideSession)) << c.name;
    EXPECT_EQ(outside.departures,
              (std::vector<std::string>{departure::kSessionWrongM, departure::kOutsideSession}));
  }
}

TEST(PrinterProtocol, StoreAppliesWhenItsEndByteArrives) {
  Printer p;
  p.Send(kIdentify);
  p.Send(Opening(kM));
  const Bytes store = Store(0x39, "NEW");
  p.Send(Bytes(store.begin(), store.end() - 1));
  EXPECT_EQ(p.identity.serial, "SN0001");
  p.Send({0xFF});
  EXPECT_EQ(p.identity.serial, "NEW");
}

TEST(PrinterProtocol, SplitDeliveryBehavesLikeWholeDelivery) {
  // The lone GS cut short by ESC @ checks chunks that end on an ESC.
  const Bytes session = Join({kReset,
                              {0x1D, 0x1B, 0x40},
                              kIdentify,
                              Opening(kM),
                              Store(0x39, "AB"),
                              Clear(0x38),
                              Closing(kM),
                              {0x1D, 0x49, 0x44},
                              {'h', 'i', '\n', 0x00}});
  Printer whole;
  whole.Send(session);
  EXPECT_EQ(whole.identity.serial, "AB");
  EXPECT_EQ(whole.identity.idName, "");
  EXPECT_TRUE(whole.Has(command::kAbandoned));
  for (std::size_t chunk : {1, 2, 3, 7, 11}) {
    Printer split;
    split.SendInChunks(session, chunk);
    EXPECT_EQ(split.replies, whole.replies) << chunk;
    EXPECT_EQ(split.protocol.Commands(), whole.protocol.Commands()) << chunk;
    EXPECT_EQ(split.protocol.Printed(), whole.protocol.Printed()) << chunk;
    EXPECT_EQ(split.identity.serial, "AB") << chunk;
    EXPECT_EQ(split.identity.idName, "") << chunk;
  }
}

TEST(PrinterProtocol, MalformedStoresAreNotApplied) {
  const Bytes cases[] = {
      Store(0x39, "AB", 7),                 // count one short
      Store(0x39, "AB", 9),                 // count one long
      Store(0x39, "ABC", 8, false),         // no FF where the count ends
      Store(0x39, std::string("A\0B", 3)),  // NUL in the text
      Store(0x39, std::string(127, 'z')),   // too long to report back
      {0x1D, 0x28, 0x43, 0x06, 0x00, 0x00, 0x00, 0x80, 0x23, 0x39, 0x00},  // clear, count 6
  };
  for (const Bytes& bad : cases) {
    for (std::size_t chunk : {bad.size(), std::size_t{1}}) {
      Printer p;
      p.SendInChunks(Join({kIdentify, Opening(kM), bad, Closing(kM)}), chunk);
      EXPECT_EQ(p.identity.serial, "SN0001") << bad.size();
      EXPECT_TRUE(p.Has(command::kMalformedStore)) << bad.size();
      EXPECT_EQ(p.departures, std::vector<std::string>{departure::kMalformedStore});
      // The closing packet after the broken store is still understood.
      EXPECT_FALSE(p.protocol.SessionOpen()) << bad.size();
    }
  }
}

TEST(PrinterProtocol, ResetRecoversFromAHalfSentStore) {
  Printer p;
  p.Send(Join({Opening(kM), Store(0x39, "AB", 40, false)}));
  p.Send(kReset);
  EXPECT_TRUE(p.Has(command::kAbandoned));
  EXPECT_FALSE(p.protocol.SessionOpen());
  EXPECT_EQ(p.identity.serial, "SN0001");
  p.Send(Join({kIdentify, Opening(kM), Store(0x39, "CD"), Closing(kM)}));
  EXPECT_EQ(p.identity.serial, "CD");
  EXPECT_EQ(p.replies, Bytes{kM});
}

TEST(PrinterProtocol, PlainBytesAreKeptAndOtherCommandsSkipped) {
  const std::string text = "VARDU NOLPAID Test Print\n";
  Printer p;
  Bytes b(text.begin(), text.end());
  b.push_back(0x00);
  p.Send(Join({b, {0x1D, 0x28, 0x43, 0x03, 0x00, 'x', 'y', 'z'}, {0x1B, 0x4A}, {'!'}}));
  EXPECT_EQ(p.protocol.Printed(), text + "!");
  EXPECT_TRUE(p.replies.empty());
  EXPECT_TRUE(p.Has(command::kOtherFunction));
  EXPECT_TRUE(p.Has("ESC 4A"));
}

}  // namespace
}  // namespace nolpa::sim
