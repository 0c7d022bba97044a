#pragma once
// The application's own top-level window, class "TApplication", titled with
// the application title. A second copy finds the program by it. It owns the
// main window and carries the taskbar button: minimising the main window
// minimises it, and restoring it (from the taskbar, or OpenIcon by a second
// copy) brings the main window back.
#include <windows.h>

#include "ui/win32/window_procedure.h"

namespace nolpa::ui::win32 {

class ApplicationWindow {
 public:
  ApplicationWindow();
  ~ApplicationWindow();
  ApplicationWindow(const ApplicationWindow&) = delete;
  ApplicationWindow& operator=(const ApplicationWindow&) = delete;

  HWND Handle() const { return hwnd_; }
  // The window it hands activation to and hides or shows with itself.
  void SetMainWindow(HWND main) { main_ = main; }
  // Shows it (it has no size, only a title and a taskbar button).
  void Show();

 private:
  template <class Window>
  friend LRESULT CALLBACK RouteToWindow(HWND, UINT, WPARAM, LPARAM);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void OnSize(WPARAM kind);
  void ActivateMain();

  HWND hwnd_ = nullptr;
  HWND main_ = nullptr;
  bool minimised_ = false;
};

}  // namespace nolpa::ui::win32
