#pragma once
// The window procedure shared by the program's window classes: each window
// belongs to one C++ object, passed as the creation parameter, and every
// message goes to that object's Handle.
#include <windows.h>

#include "ui/win32/exception_box.h"

namespace nolpa::ui::win32 {

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
