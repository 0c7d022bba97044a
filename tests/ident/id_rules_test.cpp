// Date-based codes, normalisation and validation of the ID code and ID name.
#include <gtest/gtest.h>

#include "ident/id_rules.h"
#include "tests/support/form_harness.h"

namespace nolpa {
namespace {

using ident::IdInput;
using resources::MessageId;

const platform::LocalTime kExampleMoment{2027, 3, 1, 1, 9, 5, 3, 7};  // Monday

TEST(DateIdCode, FormatsByRoute) {
  EXPECT_EQ(ident::DateIdCode(kExampleMoment, true), "202703101090503007");
  EXPECT_EQ(ident::DateIdCode(kExampleMoment, false), "20270301090503");
  const platform::LocalTime late{2031, 12, 6, 31, 23, 59, 59, 999};
  EXPECT_EQ(ident::DateIdCode(late, true), "203112631235959999");
  EXPECT_EQ(ident::DateIdCode(late, false), "20311231235959");
}

TEST(NormaliseIdCode, ForcesEighteenOnThePrinterClassRouteOnly) {
  struct {
    std::string in;
    bool printerClass;
    std::string out;
  } const cases[] = {
      {"", true, "000000000000000000"},
      {"12345678901234567", true, "123456789012345670"},
      {"1234567890123456789012345", true, "123456789012345678"},
      {"abcdef0123456789ab", true, "abcdef0123456789ab"},  // case kept
      {"ab", true, "ab0000000000000000"},
      {"", false, ""},
      {"1234567890123456789012345", false, "1234567890123456789012345"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ident::NormaliseIdCode(c.in, c.printerClass), c.out) << c.in;
}

TEST(ValidateIdInput, RefusalsInOrder) {
  const std::string hex18 = "0123456789ABCDEF01";
  struct {
    IdInput input;
    std::optional<MessageId> refusal;
  } const cases[] = {
      // USB Printer Class route: length, then characters, then unchanged.
      {{true, "12345678901234567", "x", "", ""}, MessageId::IdCodeLength18},
      {{true, "0000000000000000000", "", "", ""}, MessageId::IdCodeLength18},
      {{true, "00000000000000abcd", "", "", ""}, MessageId::IdCodeInvalidHex},
      {{true, "00000000000000000G", "", "00000000000000000G", ""}, MessageId::IdCodeInvalidHex},
      {{true, hex18, "changed name", hex18, ""}, MessageId::IdCodeUnchanged},
      {{true, hex18, "", "0123456789ABCDEF02", ""}, std::nullopt},
      {{true, "000000000000000000", "", "", ""}, std::nullopt},
      // Other routes: code characters, name characters, unchanged pair.
      {{false, "A.B", "x/y", "", ""}, MessageId::IdCodeInvalid},
      {{false, "AB", "x/y", "", ""}, MessageId::IdNameInvalid},
      {{false, "AB", "x.y", "", ""}, MessageId::IdNameInvalid},
      {{false, "\xE3\x81\x82", "", "", ""}, MessageId::IdCodeInvalid},  // any non-ASCII byte
      {{false, "CODE", "NAME", "CODE", "NAME"}, MessageId::IdUnchanged},
      {{false, "", "", "", ""}, MessageId::IdUnchanged},
      {{false, "", "NAME", "OLD", "NAME"}, std::nullopt},  // clears the ID code
      {{false, "CODE", "NEW", "CODE", "OLD"}, std::nullopt},
      {{false, "code", "NAME", "CODE", "NAME"}, std::nullopt},  // comparison keeps case
      {{false, " -+09@AZ_az~", "", "", ""}, std::nullopt},
      {{false, std::string(120, 'A'), "", "", ""}, std::nullopt},  // no upper bound here
      // A zero byte is in neither set, wherever it stands.
      {{false, std::string("AB\0CD", 5), "", "", ""}, MessageId::IdCodeInvalid},
      {{false, "AB", std::string("N\0", 2), "", ""}, MessageId::IdNameInvalid},
      {{true, std::string("0123456789ABCDEF\0", 17) + "1", "", "", ""},
       MessageId::IdCodeInvalidHex},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input.idCode + " / " + c.input.idName);
    EXPECT_EQ(ident::ValidateIdInput(c.input), c.refusal);
  }
}

TEST(ValidateIdInput, MessagesAndKindsInBothLanguages) {
  using platform::MessageIcon;
  struct {
    MessageId id;
    MessageIcon icon;
    const char* japanese;
    const char* english;
  } const cases[] = {
      {MessageId::IdCodeLength18, MessageIcon::Error,
       "識別コード(USB Serial No.)は、18文字固定にしてください。",
       "The length of ID code(USB Serial No.) is 18 characters."},
      {MessageId::IdCodeInvalidHex, MessageIcon::Error,
       "識別コード(USB Serial No.)に無効な文字が含まれています。",
       "Invalid character in ID code(USB Serial No.)."},
      {MessageId::IdCodeUnchanged, MessageIcon::Information,
       "識別コード(USB Serial No.)が現在の値から変更されていません。",
       "Nothing is changed from current ID code(USB Serial No.) setting."},
      {MessageId::IdCodeInvalid, MessageIcon::Error, "識別コードに無効な文字が含まれています。",
       "Invalid character in ID code."},
      {MessageId::IdNameInvalid, MessageIcon::Error, "識別名に無効な文字が含まれています。",
       "Invalid character in ID name."},
      {MessageId::IdUnchanged, MessageIcon::Information,
       "識別コード、識別名が現在の値から変更されていません。",
       "Nothing is changed from current setting."},
  };
  for (const auto& c : cases) {
    const auto& message = resources::Message(c.id);
    EXPECT_EQ(message.id, c.id);
    EXPECT_EQ(message.icon, c.icon);
    EXPECT_STREQ(message.japanese, c.japanese);
    EXPECT_STREQ(message.english, c.english);
  }
  EXPECT_STREQ(resources::MessageCaption(MessageIcon::Error, true), "エラー");
  EXPECT_STREQ(resources::MessageCaption(MessageIcon::Error, false), "Error");
  EXPECT_STREQ(resources::MessageCaption(MessageIcon::Information, true), "情報");
  EXPECT_STREQ(resources::MessageCaption(MessageIcon::Information, false), "Information");
}

TEST(DateButton, FillsTheCodeBoxByRouteAndChangesNoEnabledState) {
  for (bool printerClass : {false, true}) {
    testing::FormHarness h;
    if (printerClass)
      h.routes.printerClass =
          testing::ProbeListing({{0, testing::PrinterClassRecord("RK-L5200", "")}});
    else
      h.routes.vendorDriver = testing::ProbeListing({{0, testing::VendorRecord("V", "")}});
    auto& form = h.Make();
    form.FormShow();
    const auto enabledBefore = h.observer.Count(ui::ControlChange::Enabled);
    form.Button2Click();
    EXPECT_EQ(form.Edit1.Text(), printerClass ? "202703101090503007" : "20270301090503");
    form.Edit1.TextFromUser("12345678901234567");
    form.Edit1Exit();
    EXPECT_EQ(form.Edit1.Text(), printerClass ? "123456789012345670" : "12345678901234567");
    EXPECT_EQ(h.observer.Count(ui::ControlChange::Enabled), enabledBefore);
    EXPECT_TRUE(h.boxes.shown.empty());
  }
}

}  // namespace
}  // namespace nolpa
