#include "sim/printers/board_image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nolpa::sim {
namespace {

using Cells = std::vector<std::pair<std::uint16_t, std::uint16_t>>;

BoardMemory Written(const Cells& cells) {
  BoardMemory memory;
  for (const auto& [address, value] : cells) {
    memory.SelectAddress(address);
    memory.WriteValue(value);
  }
  return memory;
}

const Cells kAB = {{0, 6}, {1, 3}, {2, 0x41}, {3, 0}, {4, 0x42}, {5, 0}, {6, 0x8C}};

TEST(BoardImage, KnownImagesDecode) {
  EXPECT_EQ(DecodeBoardImage(Written(kAB), 0), "AB");
  EXPECT_EQ(EncodeBoardImage("AB", 0), kAB);

  const std::string zs(80, 'z');
  const Cells image = EncodeBoardImage(zs, kBoardIdNameBase);
  ASSERT_EQ(image.size(), 163u);
  EXPECT_EQ(image.front(), (std::pair<std::uint16_t, std::uint16_t>{256, 0xA2}));
  EXPECT_EQ(image.back(), (std::pair<std::uint16_t, std::uint16_t>{256 + 162, 0x26C5}));
  EXPECT_EQ(DecodeBoardImage(Written(image), kBoardIdNameBase), zs);

  EXPECT_EQ(DecodeBoardImage(Written({{256, 0x00FF}}), 256), "");
  EXPECT_EQ(EncodeBoardImage("", 256), (Cells{{256, 0x00FF}}));
}

TEST(BoardImage, BrokenImagesDoNotDecode) {
  const struct {
    const char* what;
    std::uint16_t address;
    std::uint16_t value;  // written over the "AB" image
  } cases[] = {
      {"checksum off by one", 6, 0x8D},
      {"wrong type", 1, 4},
      {"odd length byte", 0, 7},
      {"length byte too small", 0, 2},
      {"length with a high byte", 0, 0x0106},
      {"character with a high byte", 2, 0x0141},
      {"non-zero high-byte cell", 3, 1},
      {"NUL character", 2, 0},
  };
  for (const auto& c : cases) {
    BoardMemory memory = Written(kAB);
    memory.SelectAddress(c.address);
    memory.WriteValue(c.value);
    EXPECT_EQ(DecodeBoardImage(memory, 0), std::nullopt) << c.what;
  }
  for (std::size_t missing = 0; missing < kAB.size(); ++missing) {
    Cells cells = kAB;
    cells.erase(cells.begin() + static_cast<std::ptrdiff_t>(missing));
    EXPECT_EQ(DecodeBoardImage(Written(cells), 0), std::nullopt) << "missing cell " << missing;
  }
  EXPECT_EQ(DecodeBoardImage(BoardMemory(), 0), std::nullopt);
}

TEST(BoardImage, ImagesThatCannotFitAreRefused) {
  EXPECT_TRUE(EncodeBoardImage(std::string(127, 'a'), 0).empty());
  EXPECT_TRUE(EncodeBoardImage("ABCDEFGHIJ", 0xFFF0).empty());
  const std::string longest(126, 'a');
  EXPECT_EQ(DecodeBoardImage(Written(EncodeBoardImage(longest, 0)), 0), longest);
  // An image whose checksum cell would lie past the last address is broken.
  BoardMemory edge = Written({{0xFFFE, 4}, {0xFFFF, 3}});
  EXPECT_EQ(DecodeBoardImage(edge, 0xFFFE), std::nullopt);
}

}  // namespace
}  // namespace nolpa::sim
