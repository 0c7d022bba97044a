#include "ui/win32/exception_box.h"

#include <exception>

#include "platform/win32/text_conversion.h"
#include "ui/layout.h"

namespace nolpa::ui::win32 {

void ShowExceptionBox(HWND owner, const std::string& message) {
  using platform::win32::Utf8ToWide;
  MessageBoxW(owner, Utf8ToWide(message).c_str(), Utf8ToWide(kApplicationTitle).c_str(),
              MB_OK | MB_ICONERROR | (owner != nullptr ? MB_APPLMODAL : MB_TASKMODAL));
}

void ShowCurrentException(HWND owner) {
  try {
    throw;
  } catch (const std::exception& e) {
    ShowExceptionBox(owner, e.what());
  } catch (...) {
    ShowExceptionBox(owner, "");
  }
}

}  // namespace nolpa::ui::win32
