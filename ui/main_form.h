#pragma once
// TMainForm: the main window as a portable model. Controls keep their design
// names; handlers are named after control and event. A binding (ui/win32)
// mirrors every control change and routes real events to the handlers.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "discovery/device_list.h"
#include "discovery/printer_class.h"
#include "discovery/routes.h"
#include "ident/write_attempt.h"
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
  // The print spooler control: mode 1 stops the service, 0 starts it.
  // PrepareWork stops it before the first Find and FormClose starts it
  // last; the result is not used. Empty: nothing is done.
  std::function<int(int mode)> controlSpooler = {};
  // Called once the library is loaded and its entry points bound, with its
  // handle; not called when it could not be loaded. Empty: nothing is done.
  std::function<void(platform::ModuleHandle library)> libraryLoaded = {};
  // The trail of ID writes: asked before each Write and told its outcome.
  // Null: no trail is kept.
  ident::WriteAudit* writeAudit = nullptr;
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

  // The start-of-work routine run when the window is first shown: writes
  // out, loads and binds the library, reads the extra models, stops the
  // spooler and runs Find. Throws std::exception when the library cannot be
  // written out; the window is usable then, with nothing loaded or found.
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
  // The loaded serial-number library; 0 when it is not loaded.
  platform::ModuleHandle LibraryHandle = 0;
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
  // Shows the message in its box, in the form's language (a front end that
  // refuses a value before Write does says it as Write would).
  void ShowMessage(resources::MessageId id);
  // What the USB Printer Class route reads of the library at probe time.
  discovery::SerialLibraryView SerialLibrary() const {
    return {GetUSBSerialNumber, &AddDeviceModels};
  }

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
  // As ShowMessage, but information boxes stay hidden in command-line mode.
  void ShowActionMessage(resources::MessageId id);
  bool OnPrinterClassRoute() const;
  // The device-list record of the combo box's selection, when it names one.
  std::optional<std::size_t> SelectedRecord() const;
  // Enabling rule 6: every way out of Write and the communication test.
  void RestoreAfterAction(bool printerClassRoute);
  // The start of Write and the communication test: enabling rule 5, and the
  // record they work on; with nothing selected, rule 6 at once and nothing.
  std::optional<std::size_t> StartAction(bool printerClassRoute);

  FormServices services_;
  ControlObserver* observer_ = nullptr;
  int busyDepth_ = 0;
};

}  // namespace nolpa::ui
