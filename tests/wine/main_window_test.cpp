// The real program's window, end to end: frame, layout, captions in both
// languages, start state, typing limits and closing. Under Wine the real
// program finds no printer, so it stays in the "no device" state.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "tests/wine/program_fixture.h"
#include "ui/layout.h"

namespace nolpa::wine_tests {
namespace {

using ui::ControlId;
using ui::ControlKind;
using ui::ControlLayout;
using ui::kLayout;

class RealWindowTest : public ProgramTest {};

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

const char* ExpectedClass(ControlKind kind) {
  switch (kind) {
    case ControlKind::Button: return "Button";
    case ControlKind::Edit:
    case ControlKind::Memo: return "Edit";
    case ControlKind::ComboBox: return "ComboBox";
    default: return "Static";
  }
}

TEST_F(RealWindowTest, MainWindowHasItsCaptionFrameAndPlace) {
  ASSERT_NO_FATAL_FAILURE(Start(kRealProgram));
  HWND window = Window().Window();
  wchar_t caption[128] = {};
  GetWindowTextW(window, caption, 128);
  EXPECT_STREQ(caption, L"VARDU NOLPA Identifier Utility Ver.5.00");

  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 454);
  EXPECT_EQ(client.bottom, 259);
  const LONG style = GetWindowLongW(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME) << "must not be resizable";

  RECT frame;
  GetWindowRect(window, &frame);
  EXPECT_NEAR((frame.left + frame.right) / 2.0, GetSystemMetrics(SM_CXSCREEN) / 2.0, 1.0);
  EXPECT_NEAR((frame.top + frame.bottom) / 2.0, GetSystemMetrics(SM_CYSCREEN) / 2.0, 1.0);

  // The application window a second copy looks for owns the main window.
  HWND owner = GetWindow(window, GW_OWNER);
  EXPECT_EQ(ClassOf(owner), "TApplication");
  EXPECT_EQ(FindWindowA("TApplication", "NOLPA Identifier Utility"), owner);
}

TEST_F(RealWindowTest, EveryControlIsWhereTheLayoutPutsIt) {
  ASSERT_NO_FATAL_FAILURE(Start(kRealProgram));
  for (const ControlLayout& layout : kLayout) {
    SCOPED_TRACE(layout.name);
    HWND control = Window().Control(layout.id);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(ClassOf(control), ExpectedClass(layout.kind));
    const RECT rect = Window().Rect(layout.id);
    EXPECT_EQ(rect.left, layout.left);
    EXPECT_EQ(rect.top, layout.top);
    if (layout.kind == ControlKind::Label) {
      // Labels grow with their text, never below the design size.
      EXPECT_GE(rect.right - rect.left, layout.width);
      EXPECT_GE(rect.bottom - rect.top, layout.height);
    } else {
      EXPECT_EQ(rect.right - rect.left, layout.width);
      EXPECT_EQ(rect.bottom - rect.top, layout.height);
    }
    EXPECT_EQ(Window().Visible(layout.id), layout.visible);
  }
}

TEST_F(RealWindowTest, TabWalksTheControlsInTheirTabOrder) {
  ASSERT_NO_FATAL_FAILURE(Start(kRealProgram));
  std::vector<int> tabOrders;
  for (HWND child = GetWindow(Window().Window(), GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    const int index = GetDlgCtrlID(child) - 1000;
    ASSERT_GE(index, 0);
    ASSERT_LT(index, ui::kControlCount);
    const ControlLayout& layout = kLayout[static_cast<std::size_t>(index)];
    const bool tabStop = (GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP) != 0;
    EXPECT_EQ(tabStop, layout.tabOrder >= 0) << layout.name;
    if (tabStop) tabOrders.push_back(layout.tabOrder);
  }
  EXPECT_EQ(tabOrders, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

// Captions of the chosen language, and after the first Find (no printer)
// only the product list, Find, Exit and the ID code box are usable.
void ExpectCaptionsAndStartState(const WindowDriver& window, bool japanese) {
  for (const ControlLayout& layout : kLayout) {
    SCOPED_TRACE(layout.name);
    const char* caption = japanese ? layout.captionJa : layout.captionEn;
    if (layout.kind != ControlKind::ComboBox) {
      EXPECT_EQ(window.Text(layout.id), Widen(caption != nullptr ? caption : ""));
    }
    if (layout.tabOrder < 0) continue;
    const std::set<ControlId> usable{ControlId::ComboBox1, ControlId::Button1, ControlId::Button4,
                                     ControlId::Memo1};
    EXPECT_EQ(window.Enabled(layout.id), usable.count(layout.id) == 1);
  }
  EXPECT_TRUE(window.Items(ControlId::ComboBox1).empty());
  EXPECT_EQ(window.Selected(ControlId::ComboBox1), CB_ERR);
}

// Run with an English user locale, as every test but the Japanese one.
TEST_F(RealWindowTest, EnglishUserGetsEnglishCaptionsAndTheNoDeviceState) {
  ASSERT_NO_FATAL_FAILURE(Start(kRealProgram));
  ExpectCaptionsAndStartState(Window(), false);
}

// Run with the Japanese user locale (its own ctest entry).
TEST_F(RealWindowTest, JapaneseUserGetsJapaneseCaptionsAndTheNoDeviceState) {
  ASSERT_NO_FATAL_FAILURE(Start(kRealProgram));
  ExpectCaptionsAndStartState(Window(), true);
  // With the Japanese font in place the design captions fit the design sizes.
  for (ControlId id : {ControlId::Label1, ControlId::Label3, ControlId::Label4}) {
    const RECT rect = Window().Rect(id);
    EXPECT_EQ(rect.right - rect.left, ui::LayoutOf(id).width) << ui::LayoutOf(id).name;
    EXPECT_EQ(rect.bottom - rect.top, ui::LayoutOf(id).height) << ui::LayoutOf(id).name;
  }
}

TEST_F(RealWindowTest, TypingStopsAt80CharactersButTheProgramsTextIsKept) {
  ASSERT_NO_FATAL_FAILURE(Start(kRealProgram));
  for (ControlId id : {ControlId::Edit1, ControlId::Edit2}) {
    SCOPED_TRACE(ui::LayoutOf(id).name);
    Window().Type(id, std::wstring(90, L'7'));
    EXPECT_EQ(Window().Text(id), std::wstring(80, L'7'));
    Window().SetText(id, std::wstring(100, L'A'));
    EXPECT_EQ(Window().Text(id).size(), 100u);
  }
}

TEST_F(RealWindowTest, ExitButtonAndCloseBoxEndTheProgramWithZero) {
  ASSERT_NO_FATAL_FAILURE(Start(kRealProgram));
  Window().Click(ControlId::Button4);
  EXPECT_EQ(Run().WaitForExit(kExitTimeoutMs), std::optional<DWORD>(0));

  ASSERT_NO_FATAL_FAILURE(Start(kRealProgram));
  EXPECT_EQ(CloseAndWait(), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace nolpa::wine_tests
