#include "platform/win32/win32_message_boxes.h"

#include <windows.h>

#include "platform/win32/text_conversion.h"

namespace nolpa::platform::win32 {

void Win32MessageBoxes::Show(const std::string& text, const std::string& caption,
                             MessageIcon icon) {
  const UINT modality = owner_ != nullptr ? MB_APPLMODAL : MB_TASKMODAL;
  MessageBoxW(static_cast<HWND>(owner_), Utf8ToWide(text).c_str(), Utf8ToWide(caption).c_str(),
              MB_OK | modality | static_cast<UINT>(icon));
}

}  // namespace nolpa::platform::win32
