#include "tests/wine/window_driver.h"

#include <cstring>
#include <cwchar>

#include "ui/win32/idle_query.h"

namespace nolpa::wine_tests {

namespace {

constexpr int kControlIdBase = 1000;

std::wstring Widen(const std::string& text) {
  std::wstring wide(text.size() + 1, L'\0');
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
  wide.resize(length > 0 ? static_cast<std::size_t>(length - 1) : 0);
  return wide;
}

}  // namespace

std::wstring EnvironmentBlock(const Environment& extra) {
  std::wstring block;
  wchar_t* current = GetEnvironmentStringsW();
  for (const wchar_t* entry = current; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
    const std::wstring text(entry);
    bool replaced = false;
    for (const auto& [name, value] : extra)
      replaced =
          replaced || _wcsnicmp(text.c_str(), (Widen(name) + L"=").c_str(), name.size() + 1) == 0;
    if (!replaced) block += text + L'\0';
  }
  FreeEnvironmentStringsW(current);
  for (const auto& [name, value] : extra) block += Widen(name) + L"=" + Widen(value) + L'\0';
  return block + L'\0';
}

namespace {

struct WindowSearch {
  DWORD processId;
  const char* className;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char className[64];
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  if (GetClassNameA(window, className, sizeof className) == 0) return TRUE;
  if (std::strcmp(className, search->className) != 0) return TRUE;
  search->found = window;
  return FALSE;
}

HWND FindProcessWindow(DWORD processId, const char* className) {
  WindowSearch search{processId, className, nullptr};
  EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring WindowText(HWND window) {
  wchar_t text[1024] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, sizeof text / sizeof text[0],
                      reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 10000, nullptr);
  return text;
}

}  // namespace

ProgramRun::ProgramRun(const std::string& exePath, const std::string& arguments,
                       const Environment& extra) {
  std::wstring commandLine = L"\"" + Widen(exePath) + L"\"";
  if (!arguments.empty()) commandLine += L" " + Widen(arguments);
  std::wstring environment = EnvironmentBlock(extra);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                      CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, &startup, &info))
    return;
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  processId_ = info.dwProcessId;
}

ProgramRun::~ProgramRun() {
  if (process_ == nullptr) return;
  if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
  }
  CloseHandle(process_);
}

HWND ProgramRun::WaitForWindow(const char* className, DWORD timeoutMs) const {
  HWND window = nullptr;
  WaitUntil([&] { return (window = FindProcessWindow(processId_, className)) != nullptr; },
            timeoutMs);
  return window;
}

std::optional<DWORD> ProgramRun::WaitForExit(DWORD timeoutMs) const {
  if (process_ == nullptr || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return {};
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return code;
}

bool ProgramRun::WaitIdle(HWND window, DWORD timeoutMs) const {
  WaitForInputIdle(process_, timeoutMs);
  // The window answers sent messages while an action waits too; the idle
  // query tells a message loop's answer from such a one.
  const UINT query = ui::win32::IdleQueryMessage();
  return WaitUntil(
      [&] {
        DWORD_PTR idle = 0;
        return SendMessageTimeoutW(window, query, 0, 0, SMTO_NORMAL, timeoutMs, &idle) != 0 &&
               idle == 1;
      },
      timeoutMs);
}

HWND WaitForMessageBox(DWORD processId, DWORD timeoutMs) {
  HWND box = nullptr;
  WaitUntil([&] { return (box = FindProcessWindow(processId, "#32770")) != nullptr; }, timeoutMs);
  return box;
}

MessageBoxSeen ReadMessageBox(HWND box) {
  // The text of a message box is the static control with ID 0xFFFF.
  return {WindowText(box), WindowText(GetDlgItem(box, 0xFFFF))};
}

void DismissMessageBox(HWND box) { PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }

HWND WindowDriver::Control(ui::ControlId id) const {
  return GetDlgItem(window_, kControlIdBase + static_cast<int>(id));
}

std::wstring WindowDriver::Text(ui::ControlId id) const { return WindowText(Control(id)); }

RECT WindowDriver::Rect(ui::ControlId id) const {
  RECT rect;
  GetWindowRect(Control(id), &rect);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::vector<std::wstring> WindowDriver::Items(ui::ControlId combo) const {
  std::vector<std::wstring> items;
  const auto count = SendMessageW(Control(combo), CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t text[512] = {};
    SendMessageW(Control(combo), CB_GETLBTEXT, static_cast<WPARAM>(i),
                 reinterpret_cast<LPARAM>(text));
    items.emplace_back(text);
  }
  return items;
}

int WindowDriver::Selected(ui::ControlId combo) const {
  return static_cast<int>(SendMessageW(Control(combo), CB_GETCURSEL, 0, 0));
}

void WindowDriver::Click(ui::ControlId button) const {
  PostMessageW(Control(button), BM_CLICK, 0, 0);
}

void WindowDriver::Select(ui::ControlId combo, int index) const {
  HWND control = Control(combo);
  SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  const int id = kControlIdBase + static_cast<int>(combo);
  PostMessageW(window_, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(control));
}

void WindowDriver::SetText(ui::ControlId edit, const std::wstring& text) const {
  SendMessageW(Control(edit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void WindowDriver::Type(ui::ControlId edit, const std::wstring& text) const {
  for (wchar_t c : text) SendMessageW(Control(edit), WM_CHAR, c, 1);
}

}  // namespace nolpa::wine_tests
