#pragma once
// The window procedure shared by the program's window classes: each window
// belongs to one C++ object, passed as the creation parameter, and every
// message goes to that object's Handle.
#include <windows.h>

#include "ui/win32/exception_box.h"

namespace nolpa::ui::win32 {

// Registers a window class of this program: arrow cursor, the default icon,
// and `background` (null when the window paints all of itself).
inline ATOM RegisterWindowClass(const wchar_t* name, WNDPROC procedure, HBRUSH background) {
  WNDCLASSEXW cls{};
  cls.cbSize = sizeof cls;
  cls.lpfnWndProc = procedure;
  cls.hInstance = GetModuleHandleW(nullptr);
  cls.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  cls.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  cls.hbrBackground = background;
  cls.lpszClassName = name;
  return RegisterClassExW(&cls);
}

template <class Window>
LRESULT CALLBACK RouteToWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* owner = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    owner->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
  }
  auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  try {
    return self->Handle(message, wParam, lParam);
  } catch (...) {
    // Exceptions cannot unwind through the system's frames: show it here,
    // and the loop goes on.
    ShowCurrentException(hwnd);
    return 0;
  }
}

}  // namespace nolpa::ui::win32
