#include "ui/win32/message_loop.h"

namespace nolpa::ui::win32 {

void RunMessageLoop(HWND dialogWindow) {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsWindow(dialogWindow) && IsDialogMessageW(dialogWindow, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace nolpa::ui::win32
