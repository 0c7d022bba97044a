// The window model: layout, captions in both languages, paint, help, exit.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/form_harness.h"
#include "ui/layout.h"

namespace nolpa {
namespace {

using testing::FormHarness;
using ui::ControlChange;
using ui::ControlId;

struct CaptionCase {
  ControlId id;
  const char* japanese;
  const char* english;
};

const CaptionCase kCaptions[] = {
    {ControlId::Label1, "製品名", "Product Name"},
    {ControlId::Label2, "識別コード", "ID code"},
    {ControlId::Label3, "識別名", "ID name"},
    {ControlId::Label4, "情報", "Information"},
    {ControlId::Label5, "", ""},
    {ControlId::Label6, "", ""},
    {ControlId::Label7, "(USB Serial No.)", "(USB Serial No.)"},
    {ControlId::Label8, "", ""},
    {ControlId::Button1, "検索(&F)", "&Find"},
    {ControlId::Button2, "<<\xE3\x80\x80日時(&D)", "<< &Date"},  // ideographic space
    {ControlId::Button3, "書き込み(&W)", "&Write"},
    {ControlId::Button4, "終了(&X)", "E&xit"},
    {ControlId::Button5, "テスト印字(&P)", "Test &Print"},
    {ControlId::Button6, "通信テスト(&T)", "Test &Comm"},
    {ControlId::Edit1, "", ""},
    {ControlId::Edit2, "", ""},
    {ControlId::Memo1, "", ""},
};

TEST(MainFormCaptions, JapaneseOnlyForLanguage0411) {
  struct {
    std::uint16_t langId;
    bool japanese;
  } const cases[] = {{0x0411, true},  {0x0409, false}, {0x0804, false}, {0x0412, false},
                     {0x0404, false}, {0x0011, false}, {0x0811, false}, {0x0000, false}};
  for (const auto& c : cases) {
    FormHarness h;
    h.system.langId = c.langId;
    auto& form = h.Make();
    SCOPED_TRACE(c.langId);
    EXPECT_EQ(form.IsJapanese, c.japanese ? 1 : 0);
    for (const auto& caption : kCaptions) {
      SCOPED_TRACE(ui::LayoutOf(caption.id).name);
      EXPECT_EQ(form.ControlById(caption.id).Text(),
                c.japanese ? caption.japanese : caption.english);
    }
  }
}

TEST(MainFormCaptions, WindowCaptionIsTheSameInBothLanguages) {
  EXPECT_STREQ(ui::kWindowCaption, "VARDU NOLPA Identifier Utility Ver.5.00");
  EXPECT_STREQ(ui::kApplicationTitle, "NOLPA Identifier Utility");
  EXPECT_STREQ(ui::kApplicationClass, "TApplication");
}

struct LayoutCase {
  ControlId id;
  int left, top, width, height, tab;
  bool enabled;
};

// Position, size, tab order and start state of every control that takes focus
// or has a fixed size.
const LayoutCase kLayoutCases[] = {
    {ControlId::Label1, 16, 20, 36, 12, -1, true},
    {ControlId::Label3, 16, 149, 36, 12, -1, true},
    {ControlId::Label4, 16, 48, 24, 12, -1, true},
    {ControlId::Button1, 340, 15, 105, 25, 1, true},
    {ControlId::Button2, 340, 103, 105, 25, 3, false},
    {ControlId::Button3, 340, 134, 105, 60, 5, false},
    {ControlId::Button4, 341, 215, 105, 25, 8, true},
    {ControlId::Button5, 125, 215, 105, 25, 7, false},
    {ControlId::Button6, 14, 215, 105, 25, 6, false},
    {ControlId::Edit1, 122, 106, 208, 20, 2, false},
    {ControlId::Edit2, 122, 146, 208, 20, 4, false},
    {ControlId::Bevel2, 0, 200, 456, 2, -1, true},
    {ControlId::ComboBox1, 122, 17, 208, 20, 0, true},
    {ControlId::Label7, 16, 120, 84, 12, -1, true},
    {ControlId::Label2, 16, 102, 54, 12, -1, true},
    {ControlId::Memo1, 125, 88, 320, 15, 9, true},
};

TEST(MainFormLayout, EveryControlAtItsPlace) {
  for (const auto& c : kLayoutCases) {
    const auto& layout = ui::LayoutOf(c.id);
    SCOPED_TRACE(layout.name);
    EXPECT_EQ(layout.id, c.id);
    EXPECT_EQ(layout.left, c.left);
    EXPECT_EQ(layout.top, c.top);
    EXPECT_EQ(layout.width, c.width);
    EXPECT_EQ(layout.height, c.height);
    EXPECT_EQ(layout.tabOrder, c.tab);
    EXPECT_EQ(layout.enabled, c.enabled);
  }
  // The self-sizing labels keep only their position.
  EXPECT_EQ(ui::LayoutOf(ControlId::Label5).left, 122);
  EXPECT_EQ(ui::LayoutOf(ControlId::Label6).top, 64);
  EXPECT_FALSE(ui::LayoutOf(ControlId::Label8).visible);
}

TEST(MainFormLayout, TabOrderIsAPermutationAndEditsTakeEightyCharacters) {
  std::vector<int> tabs;
  for (const auto& layout : ui::kLayout)
    if (layout.tabOrder >= 0) tabs.push_back(layout.tabOrder);
  std::sort(tabs.begin(), tabs.end());
  EXPECT_EQ(tabs, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(ui::LayoutOf(ControlId::Edit1).maxTyped, 80);
  EXPECT_EQ(ui::LayoutOf(ControlId::Edit2).maxTyped, 80);
  for (ControlId sjis : {ControlId::Edit1, ControlId::Memo1, ControlId::Label8})
    EXPECT_TRUE(ui::LayoutOf(sjis).shiftJisFont);
  EXPECT_FALSE(ui::LayoutOf(ControlId::Edit2).shiftJisFont);
}

TEST(MainFormStart, OnlyListFindExitAndMemoUsable) {
  FormHarness h;
  auto& form = h.Make();
  for (const auto& layout : ui::kLayout) {
    if (layout.tabOrder < 0) continue;
    const bool usable = layout.id == ControlId::ComboBox1 || layout.id == ControlId::Button1 ||
                        layout.id == ControlId::Button4 || layout.id == ControlId::Memo1;
    EXPECT_EQ(form.ControlById(layout.id).Enabled(), usable) << layout.name;
  }
  EXPECT_EQ(form.Edit1.Colour(), ui::Colour::ButtonFace);
  EXPECT_EQ(form.Edit2.Colour(), ui::Colour::ButtonFace);
  EXPECT_FALSE(form.Label8.Visible());
  EXPECT_EQ(form.DeviceList, nullptr);
  EXPECT_EQ(form.BoardHandle, 0u);
  EXPECT_EQ(form.BatchMode, 0);
}

TEST(MainFormPaint, RepaintsTheSixButtonsFromVersionSix) {
  struct {
    std::uint32_t major;
    int repaints;
  } const cases[] = {{4, 0}, {5, 0}, {6, 6}, {10, 6}};
  for (const auto& c : cases) {
    FormHarness h;
    h.system.majorVersion = c.major;
    auto& form = h.Make();
    form.FormPaint();
    ASSERT_EQ(h.observer.Count(ControlChange::Repaint), c.repaints) << c.major;
    for (int i = 0; i < c.repaints; ++i)
      EXPECT_EQ(h.observer.changes[i].id,
                static_cast<ControlId>(static_cast<int>(ControlId::Button1) + i));
  }
}

TEST(MainFormHelp, F1IsSwallowedAndChangesNothing) {
  FormHarness h;
  auto& form = h.Make();
  EXPECT_TRUE(form.ApplicationEvents1Help());
  EXPECT_TRUE(h.observer.changes.empty());
  EXPECT_TRUE(h.boxes.shown.empty());
}

TEST(MainFormClose, ExitAsksToCloseAndCloseFreesTheList) {
  FormHarness h;
  auto& form = h.Make();
  form.FormShow();
  ASSERT_NE(form.DeviceList, nullptr);
  form.Button4Click();
  EXPECT_EQ(h.observer.closeRequests, 1);
  form.FormClose();
  EXPECT_EQ(form.DeviceList, nullptr);
}

}  // namespace
}  // namespace nolpa
