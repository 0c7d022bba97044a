#include "ui/main_form.h"

#include "ui/layout.h"
#include "ui/library_loader.h"

namespace nolpa::ui {

namespace {
constexpr std::uint16_t kJapaneseLangId = 0x0411;

// Controls whose captions the English language replaces, in that order.
constexpr ControlId kEnglishCaptionOrder[] = {
    ControlId::Label1,  ControlId::Label2,  ControlId::Label3,  ControlId::Label4,
    ControlId::Label5,  ControlId::Label6,  ControlId::Label7,  ControlId::Button1,
    ControlId::Button2, ControlId::Button3, ControlId::Button4, ControlId::Button5,
    ControlId::Button6};
}  // namespace

TMainForm::TMainForm(FormServices services) : services_(std::move(services)) {
  for (const ControlLayout& layout : kLayout) {
    Control& control = ControlById(layout.id);
    control.SetText(layout.captionJa != nullptr ? layout.captionJa : "");
    control.SetEnabled(layout.enabled);
    control.SetVisible(layout.visible);
    control.SetColour(layout.colour);
  }
  ApplyCaptions();
}

Control& TMainForm::ControlById(ControlId id) {
  Control* const controls[] = {&Label1,  &Label3,  &Label4,  &Label5,  &Label6,
                               &Button1, &Button2, &Button3, &Button4, &Button5,
                               &Button6, &Edit1,   &Edit2,   &Bevel2,  &ComboBox1,
                               &Label7,  &Label2,  &Label8,  &Memo1};
  static_assert(sizeof controls / sizeof controls[0] == kControlCount);
  return *controls[static_cast<int>(id)];
}

void TMainForm::ApplyCaptions() {
  IsJapanese = services_.platform.system->UserDefaultLangId() == kJapaneseLangId ? 1 : 0;
  if (IsJapanese != 0) return;
  for (ControlId id : kEnglishCaptionOrder) ControlById(id).SetText(LayoutOf(id).captionEn);
}

void TMainForm::ShowMessage(resources::MessageId id) {
  const resources::MessageText& message = resources::Message(id);
  const bool japanese = IsJapanese != 0;
  services_.platform.messageBoxes->Show(japanese ? message.japanese : message.english,
                                        resources::MessageCaption(message.icon, japanese),
                                        message.icon);
}

void TMainForm::ShowActionMessage(resources::MessageId id) {
  if (BatchMode != 0 && resources::Message(id).icon == platform::MessageIcon::Information) return;
  ShowMessage(id);
}

bool TMainForm::OnPrinterClassRoute() const {
  return discovery::Contains(Label6.Text(), discovery::kPrinterClassMarker);
}

std::optional<std::size_t> TMainForm::SelectedRecord() const {
  const int index = ComboBox1.SelectedIndex();
  if (!DeviceList || index < 0 || static_cast<std::size_t>(index) >= DeviceList->Count())
    return std::nullopt;
  return static_cast<std::size_t>(index);
}

void TMainForm::FormShow() { PrepareWork(); }

// A failure to write the library out throws and ends the routine there:
// nothing is loaded, the spooler keeps running and no Find has run. Busy
// throughout: stopping the spooler alone may block for some 22 s.
void TMainForm::PrepareWork() {
  const BusyScope busy(*this);
  DeviceList = std::make_unique<discovery::DeviceList>();
  const LoadedLibrary library = LoadSerialLibrary(services_.platform);
  LibraryHandle = library.handle;
  GetUSBSerialNumber = library.getUSBSerialNumber;
  SetUSBSerialNumber = library.setUSBSerialNumber;
  GetPrinterFirmwareVersion = library.getPrinterFirmwareVersion;
  SendReceiveD4Command = library.sendReceiveD4Command;
  if (LibraryHandle != 0 && services_.libraryLoaded) services_.libraryLoaded(LibraryHandle);
  AddDeviceModels = ReadAddDeviceModels(*services_.platform.program);
  if (services_.controlSpooler) services_.controlSpooler(1);
  Button1Click();
}

void TMainForm::FormPaint() {
  if (services_.platform.system->MajorVersion() < 6) return;
  for (Control* button : {&Button1, &Button2, &Button3, &Button4, &Button5, &Button6})
    button->Repaint();
}

// Busy throughout, for the spooler start at its end.
void TMainForm::FormClose() {
  const BusyScope busy(*this);
  RemoveSerialLibrary(services_.platform, LibraryHandle);
  // The entry points died with the module: nothing may call them now.
  LibraryHandle = 0;
  GetUSBSerialNumber = nullptr;
  SetUSBSerialNumber = nullptr;
  GetPrinterFirmwareVersion = nullptr;
  SendReceiveD4Command = nullptr;
  DeviceList.reset();
  if (services_.controlSpooler) services_.controlSpooler(0);
}

bool TMainForm::ApplicationEvents1Help() { return true; }

void TMainForm::Button4Click() {
  if (observer_ != nullptr) observer_->CloseRequested();
}

std::optional<std::size_t> TMainForm::StartAction(bool printerClass) {
  for (Control* control :
       {&Button1, &Button2, &Button3, &Button4, &Button5, &Button6, &Edit1, &Edit2})
    control->SetEnabled(false);
  const std::optional<std::size_t> selected = SelectedRecord();
  if (!selected) RestoreAfterAction(printerClass);
  return selected;
}

void TMainForm::RestoreAfterAction(bool printerClass) {
  for (Control* control : {&Button1, &Button2, &Button3, &Button4, &Button6, &Edit1})
    control->SetEnabled(true);
  Button5.SetEnabled(!printerClass);
  Edit2.SetEnabled(!printerClass);
}

}  // namespace nolpa::ui
