#include "ui/win32/application_window.h"

#include "platform/win32/text_conversion.h"
#include "ui/layout.h"
#include "ui/win32/exception_box.h"

namespace nolpa::ui::win32 {

namespace {

// Posted to itself: activation is handed on after the activation message.
constexpr UINT kActivateMain = WM_APP + 1;

ATOM RegisterApplicationClass(WNDPROC procedure) {
  static const std::wstring name = platform::win32::Utf8ToWide(kApplicationClass);
  return RegisterWindowClass(name.c_str(), procedure, nullptr);
}

}  // namespace

ApplicationWindow::ApplicationWindow() {
  static const ATOM atom = RegisterApplicationClass(&RouteToWindow<ApplicationWindow>);
  const std::wstring title = platform::win32::Utf8ToWide(kApplicationTitle);
  const int x = GetSystemMetrics(SM_CXSCREEN) / 2;
  const int y = GetSystemMetrics(SM_CYSCREEN) / 2;
  hwnd_ = CreateWindowExW(0, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(atom)), title.c_str(),
                          WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, x,
                          y, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), this);
}

ApplicationWindow::~ApplicationWindow() {
  if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

void ApplicationWindow::Show() { ShowWindow(hwnd_, SW_SHOWNORMAL); }

LRESULT ApplicationWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE: OnSize(wParam); break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) PostMessageW(hwnd_, kActivateMain, 0, 0);
      return 0;
    case kActivateMain: ActivateMain(); return 0;
    case WM_CLOSE:
      // Closing from the taskbar closes the program the usual way.
      if (main_ != nullptr) PostMessageW(main_, WM_CLOSE, 0, 0);
      return 0;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void ApplicationWindow::OnSize(WPARAM kind) {
  if (main_ == nullptr) return;
  if (kind == SIZE_MINIMIZED) {
    minimised_ = true;
    ShowWindow(main_, SW_HIDE);
  } else if (kind == SIZE_RESTORED && minimised_) {
    minimised_ = false;
    ShowWindow(main_, SW_SHOW);
    PostMessageW(hwnd_, kActivateMain, 0, 0);
  }
}

void ApplicationWindow::ActivateMain() {
  if (main_ == nullptr || !IsWindowVisible(main_)) return;
  // A modal box of the main window takes the activation when one is open.
  HWND target = GetLastActivePopup(main_);
  SetActiveWindow(IsWindowVisible(target) ? target : main_);
}

}  // namespace nolpa::ui::win32
