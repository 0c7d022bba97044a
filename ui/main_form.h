#pragma once
// TMainForm: the main window as a portable model. Controls keep their design
// names; handlers are named after control and event. A binding (ui/win32)
// mirrors every control change and routes real events to the handlers.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "discovery/device_list.h"
#include "discovery/routes.h"
#include "ident/write_procedure.h"
#include "platform/device_files.h"
#include "platform/platform.h"
#include "resources/messages.h"
#include "serial_library/morvalib.h"
#include "ui/control.h"

namespace nolpa::ui {

// What the form is given to work with.
struct FormServices {
  platform::Platform platform;
  discovery::Routes routes;
};

class TMainForm {
 public:
  // Construction: builds the controls in their start state, clears the state
  // fields and decides the language. Shows nothing, touches no device.
  explicit TMainForm(FormServices services);
  TMainForm(const TMainForm&) = delete;
  TMainForm& operator=(const TMainForm&) = delete;

  void SetObserver(ControlObserver* observer) { observer_ = observer; }

  Control& ControlById(ControlId id);

  // Handlers.
  void FormShow();
  void FormPaint();
  void FormClose();
  // Returns true: the help request is handled and no help system is called.
  bool ApplicationEvents1Help();
  void Button1Click();  // Find
  void Button2Click();  // date-based ID code
  void Button3Click();  // Write
  void Button4Click();  // Exit
  void Button5Click();  // Test print
  void Button6Click();  // Communication test
  void ComboBox1Change();
  void Edit1Exit();

  // The start-of-work routine run when the window is first shown.
  void PrepareWork();

  // Controls, in field order.
  Control Label1{ControlId::Label1, &observer_};
  Control Label3{ControlId::Label3, &observer_};
  Control Label4{ControlId::Label4, &observer_};
  Control Label5{ControlId::Label5, &observer_};
  Control Label6{ControlId::Label6, &observer_};
  Control Button1{ControlId::Button1, &observer_};
  Control Button2{ControlId::Button2, &observer_};
  Control Button3{ControlId::Button3, &observer_};
  Control Button4{ControlId::Button4, &observer_};
  Control Button5{ControlId::Button5, &observer_};
  Control Button6{ControlId::Button6, &observer_};
  Control Edit1{ControlId::Edit1, &observer_};
  Control Edit2{ControlId::Edit2, &observer_};
  Control Bevel2{ControlId::Bevel2, &observer_};
  Control ComboBox1{ControlId::ComboBox1, &observer_};
  Control Label7{ControlId::Label7, &observer_};
  Control Label2{ControlId::Label2, &observer_};
  Control Label8{ControlId::Label8, &observer_};
  Control Memo1{ControlId::Memo1, &observer_};

  // Window state, in declaration order.
  std::uint8_t IsJapanese = 0;
  std::unique_ptr<discovery::DeviceList> DeviceList;
  // The serial-number library's entry points; null until bound.
  GetUSBSerialNumberFn GetUSBSerialNumber = nullptr;
  SetUSBSerialNumberFn SetUSBSerialNumber = nullptr;
  GetPrinterFirmwareVersionFn GetPrinterFirmwareVersion = nullptr;
  SendReceiveD4CommandFn SendReceiveD4Command = nullptr;
  // Printer models the library serves besides the two built in.
  std::array<std::string, 4> AddDeviceModels;
  platform::DeviceHandle BoardHandle = 0;
  std::int32_t BatchExitCode = 0;
  std::string BatchIdCode;
  std::string BatchProductName;
  std::int32_t BatchMode = 0;

  const FormServices& Services() const { return services_; }

 private:
  // While one lives the form is busy: the observer hears BusyChanged(true)
  // when the outermost scope starts and BusyChanged(false) when it ends,
  // however it ends.
  class BusyScope {
   public:
    explicit BusyScope(TMainForm& form);
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

   private:
    TMainForm& form_;
  };

  void ApplyCaptions();
  void ShowMessage(resources::MessageId id);
  // As ShowMessage, but information boxes stay hidden in command-line mode.
  void ShowActionMessage(resources::MessageId id);
  bool OnPrinterClassRoute() const;
  // The device-list record of the combo box's selection, when it names one.
  std::optional<std::size_t> SelectedRecord() const;
  // Enabling rule 6: every way out of Write and the communication test.
  void RestoreAfterAction(bool printerClassRoute);
  // Enabling rule 5: the start of Write and the communication test.
  void DisableForAction();

  FormServices services_;
  ControlObserver* observer_ = nullptr;
  int busyDepth_ = 0;
};

}  // namespace nolpa::ui
