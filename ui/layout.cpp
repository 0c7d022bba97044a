#include "ui/layout.h"

namespace nolpa::ui {

namespace {
constexpr auto BF = Colour::ButtonFace;
constexpr auto CAP = TextKind::Caption;
constexpr auto DEV = TextKind::DeviceText;
}  // namespace

// clang-format off
const std::array<ControlLayout, kControlCount> kLayout = {{
  //  id                  name         kind                  left top  w    h   tab enabled visible colour SJIS max text captionJa            captionEn
  {ControlId::Label1,    "Label1",    ControlKind::Label,    16,  20,  36,  12, -1, true,  true,  BF, false, 0, CAP, "製品名",            "Product Name"},
  {ControlId::Label3,    "Label3",    ControlKind::Label,    16,  149, 36,  12, -1, true,  true,  BF, false, 0, CAP, "識別名",            "ID name"},
  {ControlId::Label4,    "Label4",    ControlKind::Label,    16,  48,  24,  12, -1, true,  true,  BF, false, 0, CAP, "情報",              "Information"},
  {ControlId::Label5,    "Label5",    ControlKind::Label,    122, 48,  0,   0,  -1, true,  true,  BF, false, 0, DEV, "",                  ""},
  {ControlId::Label6,    "Label6",    ControlKind::Label,    122, 64,  0,   0,  -1, true,  true,  BF, false, 0, DEV, "",                  ""},
  {ControlId::Button1,   "Button1",   ControlKind::Button,   340, 15,  105, 25,  1, true,  true,  BF, false, 0, CAP, "検索(&F)",          "&Find"},
  {ControlId::Button2,   "Button2",   ControlKind::Button,   340, 103, 105, 25,  3, false, true,  BF, false, 0, CAP, "<<\u3000日時(&D)",  "<< &Date"},
  {ControlId::Button3,   "Button3",   ControlKind::Button,   340, 134, 105, 60,  5, false, true,  BF, false, 0, CAP, "書き込み(&W)",      "&Write"},
  {ControlId::Button4,   "Button4",   ControlKind::Button,   341, 215, 105, 25,  8, true,  true,  BF, false, 0, CAP, "終了(&X)",          "E&xit"},
  {ControlId::Button5,   "Button5",   ControlKind::Button,   125, 215, 105, 25,  7, false, true,  BF, false, 0, CAP, "テスト印字(&P)",    "Test &Print"},
  {ControlId::Button6,   "Button6",   ControlKind::Button,   14,  215, 105, 25,  6, false, true,  BF, false, 0, CAP, "通信テスト(&T)",    "Test &Comm"},
  {ControlId::Edit1,     "Edit1",     ControlKind::Edit,     122, 106, 208, 20,  2, false, true,  BF, true,  80, DEV, nullptr,            nullptr},
  {ControlId::Edit2,     "Edit2",     ControlKind::Edit,     122, 146, 208, 20,  4, false, true,  BF, false, 80, DEV, nullptr,            nullptr},
  {ControlId::Bevel2,    "Bevel2",    ControlKind::Bevel,    0,   200, 456, 2,  -1, true,  true,  BF, false, 0, CAP, nullptr,             nullptr},
  {ControlId::ComboBox1, "ComboBox1", ControlKind::ComboBox, 122, 17,  208, 20,  0, true,  true,  BF, false, 0, DEV, nullptr,             nullptr},
  {ControlId::Label7,    "Label7",    ControlKind::Label,    16,  120, 84,  12, -1, true,  true,  BF, false, 0, CAP, "(USB Serial No.)",  "(USB Serial No.)"},
  {ControlId::Label2,    "Label2",    ControlKind::Label,    16,  102, 54,  12, -1, true,  true,  BF, false, 0, CAP, "識別コード",        "ID code"},
  {ControlId::Label8,    "Label8",    ControlKind::Label,    125, 90,  0,   0,  -1, true,  false, BF, true,  0, DEV, "",                  ""},
  {ControlId::Memo1,     "Memo1",     ControlKind::Memo,     125, 88,  320, 15,  9, true,  true,  BF, true,  0, DEV, nullptr,             nullptr},
}};
// clang-format on

const ControlLayout& LayoutOf(ControlId id) { return kLayout[static_cast<int>(id)]; }

}  // namespace nolpa::ui
