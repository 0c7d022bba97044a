// Find and the selected-device display.
#include "ui/main_form.h"

namespace nolpa::ui {

namespace {
constexpr std::size_t kHiddenCodeLength = 30;
}

void TMainForm::Button1Click() {
  const BusyScope busy(*this);
  if (!DeviceList) DeviceList = std::make_unique<discovery::DeviceList>();
  DeviceList->Clear();
  ComboBox1.ClearItems();
  for (Control* button : {&Button2, &Button3, &Button6, &Button5}) button->SetEnabled(false);
  Label5.SetText("");
  Label6.SetText("");
  Label8.SetText("");
  Memo1.SetText("");
  for (Control* edit : {&Edit1, &Edit2}) {
    edit->SetEnabled(false);
    edit->SetColour(Colour::ButtonFace);
    edit->SetText("");
  }

  discovery::RunRoutes(services_.routes, *DeviceList,
                       [this](const std::string& productText) { ComboBox1.AddItem(productText); });

  if (ComboBox1.Items().empty()) return;
  for (Control* button : {&Button2, &Button3, &Button6, &Button5}) button->SetEnabled(true);
  for (Control* edit : {&Edit1, &Edit2}) {
    edit->SetEnabled(true);
    edit->SetColour(Colour::Window);
  }
  ComboBox1.SetSelectedIndex(0);
  ComboBox1Change();
}

void TMainForm::ComboBox1Change() {
  const std::optional<std::size_t> selected = SelectedRecord();
  if (!selected) return;
  const discovery::DeviceRecord record = DeviceList->Record(*selected);

  Label5.SetText(record.infoLine1);
  Label6.SetText(record.infoLine2);
  Edit1.SetText(record.idCode);
  Edit2.SetText(record.idName);
  Label8.SetText(record.idCode.size() > kHiddenCodeLength
                     ? record.idCode.substr(0, kHiddenCodeLength) + "..."
                     : record.idCode);
  Memo1.SetText(record.idCode);

  if (OnPrinterClassRoute()) {
    Edit2.SetText("");
    Edit2.SetEnabled(false);
    Edit2.SetColour(Colour::ButtonFace);
    Button5.SetEnabled(false);
  } else {
    Edit2.SetEnabled(true);
    Edit2.SetColour(Colour::Window);
    Button5.SetEnabled(true);
  }
}

}  // namespace nolpa::ui
