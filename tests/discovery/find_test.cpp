// Find over scripted routes, and the selected-device display.
#include <gtest/gtest.h>

#include "tests/support/form_harness.h"

namespace nolpa {
namespace {

using testing::FormHarness;
using testing::PrinterClassRecord;
using testing::ProbeListing;
using testing::VendorRecord;
using ui::Colour;

void ExpectNothingSelectable(ui::TMainForm& form) {
  for (ui::Control* c :
       {&form.Button2, &form.Button3, &form.Button5, &form.Button6, &form.Edit1, &form.Edit2})
    EXPECT_FALSE(c->Enabled());
  EXPECT_TRUE(form.Button1.Enabled());
  EXPECT_TRUE(form.Button4.Enabled());
  EXPECT_TRUE(form.ComboBox1.Enabled());
  EXPECT_EQ(form.Edit1.Colour(), Colour::ButtonFace);
  EXPECT_EQ(form.Edit2.Colour(), Colour::ButtonFace);
}

TEST(Find, NothingFoundLeavesEverythingEmptyAndShowsNothing) {
  FormHarness empty;
  auto& again = empty.Make();
  again.FormShow();
  EXPECT_TRUE(again.ComboBox1.Items().empty());
  EXPECT_EQ(again.ComboBox1.SelectedIndex(), -1);
  EXPECT_EQ(again.DeviceList->Length(), 0u);
  for (ui::Control* c :
       {&again.Label5, &again.Label6, &again.Label8, &again.Memo1, &again.Edit1, &again.Edit2})
    EXPECT_EQ(c->Text(), "");
  ExpectNothingSelectable(again);
  EXPECT_TRUE(empty.boxes.shown.empty());
}

TEST(Find, RecordsAndComboItemsStayInStepInRouteOrder) {
  struct Case {
    int vendor, com, printerClass;
  } const cases[] = {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {2, 1, 3}, {0, 2, 0}};
  for (const auto& c : cases) {
    FormHarness h;
    std::vector<std::pair<int, discovery::DeviceRecord>> vendor, com, printerClass;
    for (int i = 0; i < c.vendor; ++i)
      vendor.push_back({i * 5 + 3, VendorRecord("V" + std::to_string(i), "1")});
    for (int i = 0; i < c.com; ++i)
      com.push_back(
          {i + 2,
           VendorRecord("C" + std::to_string(i) + "   [COM" + std::to_string(i + 3) + "]", "2")});
    for (int i = 0; i < c.printerClass; ++i)
      printerClass.push_back({i * 40, PrinterClassRecord("RK-L5200 " + std::to_string(i), "3")});
    h.routes = {ProbeListing(vendor), ProbeListing(com), ProbeListing(printerClass)};
    auto& form = h.Make();
    form.FormShow();

    const auto& list = *form.DeviceList;
    const std::size_t total = c.vendor + c.com + c.printerClass;
    SCOPED_TRACE(total);
    ASSERT_EQ(list.Length() % 6, 0u);
    ASSERT_EQ(list.Count(), total);
    ASSERT_EQ(form.ComboBox1.Items().size(), total);
    std::vector<std::string> expected;
    expected.reserve(total);
    for (const auto& v : vendor) expected.push_back(v.second.productText);
    for (const auto& v : com) expected.push_back(v.second.productText);
    for (const auto& v : printerClass) expected.push_back(v.second.productText);
    for (std::size_t k = 0; k < total; ++k) {
      EXPECT_EQ(form.ComboBox1.Items()[k], expected[k]);
      EXPECT_EQ(list.Get(k, discovery::ProductText), expected[k]);
    }
    if (total == 0) {
      ExpectNothingSelectable(form);
      continue;
    }
    EXPECT_EQ(form.ComboBox1.SelectedIndex(), 0);
    EXPECT_EQ(form.Edit1.Text(), list.Get(0, discovery::IdCode));
    for (ui::Control* b : {&form.Button2, &form.Button3, &form.Button6, &form.Edit1})
      EXPECT_TRUE(b->Enabled());
    EXPECT_EQ(form.Edit1.Colour(), Colour::Window);
    const bool firstIsPrinterClass = c.vendor + c.com == 0;
    EXPECT_EQ(form.Button5.Enabled(), !firstIsPrinterClass);
    EXPECT_EQ(form.Edit2.Enabled(), !firstIsPrinterClass);
    EXPECT_EQ(form.Edit2.Colour(), firstIsPrinterClass ? Colour::ButtonFace : Colour::Window);
  }
  // The analyzer loses gtest's failure message when an ASSERT returns early.
}  // NOLINT(clang-analyzer-cplusplus.NewDeleteLeaks)

TEST(Find, TriesEveryIndexOfEachRouteAndNoMore) {
  FormHarness h;
  std::vector<int> vendor, com, printerClass;
  h.routes = {ProbeListing({{0, VendorRecord("A", "1")}}, &vendor), ProbeListing({}, &com),
              ProbeListing({}, &printerClass)};
  auto& form = h.Make();
  form.Button1Click();
  ASSERT_EQ(vendor.size(), 128u);
  ASSERT_EQ(com.size(), 32u);
  ASSERT_EQ(printerClass.size(), 128u);
  EXPECT_EQ(vendor.back(), 127);
  EXPECT_EQ(com.back(), 31);
  EXPECT_EQ(printerClass.front(), 0);
}

TEST(Find, StartClearsWhatTheLastOneShowed) {
  FormHarness h;
  bool present = true;
  h.routes.vendorDriver = [&present](int index, discovery::DeviceList& list) {
    if (!present || index != 0) return false;
    list.Append(VendorRecord("A", "CODE"));
    return true;
  };
  auto& form = h.Make();
  form.FormShow();
  form.DeviceList->Set(0, discovery::InfoLine1, "MODEL FW  SERIAL");
  form.ComboBox1Change();
  ASSERT_EQ(form.Label5.Text(), "MODEL FW  SERIAL");
  form.Button1Click();
  EXPECT_EQ(form.Label5.Text(), "");  // a new Find empties information line 1 again
  present = false;
  form.Button1Click();
  EXPECT_EQ(form.Label6.Text(), "");
  EXPECT_EQ(form.Memo1.Text(), "");
  ExpectNothingSelectable(form);
}

TEST(Display, SlotsGoToTheirControlsAndTheRouteSetsTheIdNameBox) {
  FormHarness h;
  h.routes.vendorDriver = ProbeListing({{0, VendorRecord("V", "VCODE", "VNAME")}});
  h.routes.printerClass = ProbeListing({{0, PrinterClassRecord("RK-L880", "00112233445566778A")}});
  auto& form = h.Make();
  form.FormShow();
  EXPECT_EQ(form.Edit2.Text(), "VNAME");

  form.ComboBox1.SelectionFromUser(1);
  form.ComboBox1Change();
  EXPECT_EQ(form.Label6.Text(), "USB Printer Class");
  EXPECT_EQ(form.Edit1.Text(), "00112233445566778A");
  EXPECT_EQ(form.Memo1.Text(), "00112233445566778A");
  EXPECT_EQ(form.Edit2.Text(), "");
  EXPECT_FALSE(form.Edit2.Enabled());
  EXPECT_EQ(form.Edit2.Colour(), Colour::ButtonFace);
  EXPECT_FALSE(form.Button5.Enabled());
  EXPECT_TRUE(form.Button3.Enabled());  // the display leaves the other buttons alone

  form.ComboBox1.SelectionFromUser(0);
  form.ComboBox1Change();
  EXPECT_EQ(form.Edit2.Text(), "VNAME");
  EXPECT_TRUE(form.Edit2.Enabled());
  EXPECT_EQ(form.Edit2.Colour(), Colour::Window);
  EXPECT_TRUE(form.Button5.Enabled());
  EXPECT_EQ(form.Label6.Text(), "USB2.0 High Speed, Onboard USB(1) Series Ver.1.0 ");
}

TEST(Display, HiddenLabelShortensCodesLongerThanThirty) {
  const std::string thirty(30, 'A');
  struct {
    std::string code, hidden;
  } const cases[] = {{"", ""},
                     {thirty, thirty},
                     {thirty + "B", thirty + "..."},
                     {std::string(80, 'C'), std::string(30, 'C') + "..."}};
  for (const auto& c : cases) {
    FormHarness h;
    h.routes.vendorDriver = ProbeListing({{0, VendorRecord("V", c.code)}});
    auto& form = h.Make();
    form.FormShow();
    EXPECT_EQ(form.Label8.Text(), c.hidden);
    EXPECT_EQ(form.Edit1.Text(), c.code);
    EXPECT_EQ(form.Memo1.Text(), c.code);
    EXPECT_FALSE(form.Label8.Visible());
  }
}

TEST(Display, NoSelectionChangesNothing) {
  FormHarness h;
  auto& form = h.Make();
  form.FormShow();
  const auto before = h.observer.changes.size();
  form.ComboBox1Change();
  EXPECT_EQ(h.observer.changes.size(), before);
}

}  // namespace
}  // namespace nolpa
