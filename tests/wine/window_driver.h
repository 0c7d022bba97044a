#pragma once
// Drives a program's window from another process, as a user would through
// the controls: launch it, find its main window, read and operate controls
// by control ID, answer its message boxes, close it, collect its exit code.
#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ui/control_id.h"

namespace nolpa::wine_tests {

// Variables added to (or replacing those of) this process's environment.
using Environment = std::vector<std::pair<std::string, std::string>>;

// This process's environment with `extra` laid over it, as a block for
// CreateProcessW.
std::wstring EnvironmentBlock(const Environment& extra);

// One launched program; terminated at destruction if it is still running.
class ProgramRun {
 public:
  ProgramRun(const std::string& exePath, const std::string& arguments,
             const Environment& extra = {});
  ~ProgramRun();
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  bool Started() const { return process_ != nullptr; }
  DWORD ProcessId() const { return processId_; }
  // A visible top-level window of this process with the class, or null
  // after the time-out.
  HWND WaitForWindow(const char* className, DWORD timeoutMs) const;
  // The exit code, or nothing when it still runs after the time-out.
  std::optional<DWORD> WaitForExit(DWORD timeoutMs) const;
  // Waits until the program is idle in its message loop (or a message
  // box's); false when it is still busy after the time-out.
  bool WaitIdle(HWND window, DWORD timeoutMs) const;

 private:
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
};

// A message box: caption and text as shown.
struct MessageBoxSeen {
  std::wstring caption;
  std::wstring text;
};

// The first visible message box (class #32770) of the process, or null.
HWND WaitForMessageBox(DWORD processId, DWORD timeoutMs);
MessageBoxSeen ReadMessageBox(HWND box);
// Presses OK.
void DismissMessageBox(HWND box);

// Operates the controls of a main window by control ID.
class WindowDriver {
 public:
  explicit WindowDriver(HWND window) : window_(window) {}
  HWND Window() const { return window_; }
  HWND Control(ui::ControlId id) const;

  std::wstring Text(ui::ControlId id) const;
  bool Enabled(ui::ControlId id) const { return IsWindowEnabled(Control(id)) != FALSE; }
  bool Visible(ui::ControlId id) const { return IsWindowVisible(Control(id)) != FALSE; }
  // Position and size in the main window's client coordinates.
  RECT Rect(ui::ControlId id) const;
  std::vector<std::wstring> Items(ui::ControlId combo) const;
  int Selected(ui::ControlId combo) const;

  // Posted, so a handler that opens a message box does not block the driver.
  void Click(ui::ControlId button) const;
  // Selects an item as a user does: the selection, then its notification.
  void Select(ui::ControlId combo, int index) const;
  // Replaces an edit's text; the program is told as if it had been typed.
  void SetText(ui::ControlId edit, const std::wstring& text) const;
  // Types characters into a control, one WM_CHAR each.
  void Type(ui::ControlId edit, const std::wstring& text) const;
  void Close() const { PostMessageW(window_, WM_CLOSE, 0, 0); }

 private:
  HWND window_;
};

// Polls `condition` every 20 ms until it holds or the time runs out.
template <class Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(20);
  }
  return true;
}

}  // namespace nolpa::wine_tests
