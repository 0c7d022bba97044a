#pragma once
// Whether the program is idle, asked from another process. The window
// answers messages that other programs send even while an action waits on a
// device or a pause, so an answer alone no longer means the action has
// ended. Sent to the main window, the registered message "NOLPAID.Idle"
// gives 1 when it is handled from a message loop (the window's own, or a
// message box's while the box waits for its OK) and 0 when it is handled in
// the middle of such a wait.
#include <windows.h>

namespace nolpa::ui::win32 {

inline constexpr wchar_t kIdleQueryName[] = L"NOLPAID.Idle";

inline UINT IdleQueryMessage() {
  static const UINT message = RegisterWindowMessageW(kIdleQueryName);
  return message;
}

}  // namespace nolpa::ui::win32
