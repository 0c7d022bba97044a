#pragma once
// The interactive message loop.
#include <windows.h>

namespace nolpa::ui::win32 {

// Runs until WM_QUIT. Keyboard messages for `dialogWindow` and its controls
// go through IsDialogMessageW, which gives Tab order and the & accelerators.
void RunMessageLoop(HWND dialogWindow);

}  // namespace nolpa::ui::win32
