#pragma once
// The standard box for an exception that reached the event loop or the
// entry point: error icon, the application title, the exception's message.
#include <windows.h>

#include <string>

namespace nolpa::ui::win32 {

void ShowExceptionBox(HWND owner, const std::string& message);

// Shows the box for the exception being handled (call inside a catch block);
// an exception that is no std::exception has an empty message.
void ShowCurrentException(HWND owner);

}  // namespace nolpa::ui::win32
