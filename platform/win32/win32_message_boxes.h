#pragma once
// The real message boxes: MessageBoxW, modal to the main window once it
// exists (SetOwner), with the UTF-8 texts widened.
#include "platform/message_boxes.h"

namespace nolpa::platform::win32 {

class Win32MessageBoxes final : public MessageBoxes {
 public:
  // `owner` is an HWND; null makes the box modal to the whole thread.
  void SetOwner(void* owner) { owner_ = owner; }
  void Show(const std::string& text, const std::string& caption, MessageIcon icon) override;

 private:
  void* owner_ = nullptr;
};

}  // namespace nolpa::platform::win32
