#pragma once
// The main window, class "TMainForm": creates the controls from the layout
// table, mirrors every change of the TMainForm model into them, and turns
// window messages into calls of the form's handlers. Nothing else.
#include <windows.h>

#include "ui/win32/window_procedure.h"

#include <array>

#include "ui/control_id.h"
#include "ui/main_form.h"
#include "ui/win32/form_fonts.h"

namespace nolpa::ui::win32 {

class MainWindow final : public ControlObserver {
 public:
  // Creates the window, hidden and centred on the screen, owned by `owner`,
  // with every control in the state of the model.
  MainWindow(TMainForm& form, HWND owner);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  HWND Handle() const { return hwnd_; }
  // Shows the window; the first show runs FormShow from the message loop.
  void Show();

  void ControlChanged(ControlId id, ControlChange what) override;
  void CloseRequested() override;
  // Shows the wait cursor while busy, and the arrow again afterwards.
  void BusyChanged(bool busy) override;
  bool Busy() const { return busy_; }

 private:
  class HandlerScope;
  template <class Window>
  friend LRESULT CALLBACK RouteToWindow(HWND, UINT, WPARAM, LPARAM);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls();
  void OnCommand(ControlId id, int code);
  void OnButtonClicked(ControlId id);
  void OnEditChanged(ControlId id);
  LRESULT OnControlColour(UINT message, HDC dc, HWND control);
  void OnActivate(bool active);
  void OnClose();

  TMainForm& form_;
  FormFonts fonts_;
  HWND hwnd_ = nullptr;
  std::array<HWND, kControlCount> controls_{};
  // Set while a model change is written into a control, so the control's
  // change notification is not read back as the user's input.
  bool mirroring_ = false;
  bool shown_ = false;
  bool closing_ = false;
  bool busy_ = false;
  // Handlers running now (a handler's message box runs a nested loop), and a
  // close that waits for them to end.
  int handlerDepth_ = 0;
  bool closePending_ = false;
  HWND lastFocus_ = nullptr;
};

}  // namespace nolpa::ui::win32
