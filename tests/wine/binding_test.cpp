// The window binding in this process, on a hidden main window, with routes
// that the tests script: device texts both ways, edit colours, clicks that
// must not reach a handler, and an exception out of a handler.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_device_files.h"
#include "platform/win32/win32_device_interfaces.h"
#include "platform/win32/win32_dos_devices.h"
#include "platform/win32/win32_host_files.h"
#include "platform/win32/win32_message_boxes.h"
#include "platform/win32/win32_modules.h"
#include "platform/win32/win32_program_files.h"
#include "platform/win32/win32_system_info.h"
#include "tests/wine/window_driver.h"
#include "ui/main_form.h"
#include "ui/win32/application_window.h"
#include "ui/win32/main_window.h"
#include "ui/win32/message_loop.h"

namespace nolpa::ui::win32 {
namespace {

using wine_tests::MessageBoxSeen;

// How long a test waits for a handler's message box: a deadline, which a
// box that comes returns from at once.
constexpr DWORD kBoxTimeoutMs = 30000;

class BindingTest : public ::testing::Test {
 protected:
  // The form and its window over the real adapters; `probe` is the vendor
  // driver route, `controlSpooler` the spooler control (none when empty).
  // The window is never shown, so FormShow does not run.
  void Build(discovery::Probe probe, std::function<int(int mode)> controlSpooler = {}) {
    platform::Platform services;
    services.clock = &clock_;
    services.files = &files_;
    services.interfaces = &interfaces_;
    services.dosDevices = &dosDevices_;
    services.system = &system_;
    services.messageBoxes = &boxes_;
    // Closing the window runs FormClose, which removes the library's folder.
    services.hostFiles = &hostFiles_;
    services.modules = &modules_;
    services.program = &program_;
    discovery::Routes routes;
    routes.vendorDriver = std::move(probe);
    form_ = std::make_unique<TMainForm>(FormServices{services, routes, std::move(controlSpooler)});
    window_ = std::make_unique<MainWindow>(*form_, application_.Handle());
    boxes_.SetOwner(window_->Handle());
  }

  HWND Control(ControlId id) const {
    return GetDlgItem(window_->Handle(), 1000 + static_cast<int>(id));
  }

  // What a click on the button sends its parent.
  void Click(ControlId id) const {
    SendMessageW(window_->Handle(), WM_COMMAND, MAKEWPARAM(1000 + static_cast<int>(id), BN_CLICKED),
                 reinterpret_cast<LPARAM>(Control(id)));
  }

  std::wstring Text(ControlId id) const {
    wchar_t text[256] = {};
    GetWindowTextW(Control(id), text, 256);
    return text;
  }

  TMainForm& Form() { return *form_; }
  HWND Window() const { return window_->Handle(); }

 private:
  platform::win32::Win32Clock clock_;
  platform::win32::Win32DeviceFiles files_;
  platform::win32::Win32DeviceInterfaces interfaces_;
  platform::win32::Win32DosDevices dosDevices_;
  platform::win32::Win32SystemInfo system_;
  platform::win32::Win32MessageBoxes boxes_;
  platform::win32::Win32HostFiles hostFiles_;
  platform::win32::Win32Modules modules_{platform::win32::Win32Modules::Kind::ProgramLibrary};
  platform::win32::Win32ProgramFiles program_;
  ApplicationWindow application_;
  std::unique_ptr<TMainForm> form_;
  std::unique_ptr<MainWindow> window_;
};

// One printer whose texts hold bytes above 0x7F.
bool OnePrinter(int index, discovery::DeviceList& list) {
  if (index != 0) return false;
  list.Append({"\\\\?\\usb#vid_0f1a&pid_0410#1#{x}\\RK", "VX-410 \xB1", "AB\xE9", "Caf\xE9", "",
               "USB2.0 \xB5"});
  return true;
}

TEST_F(BindingTest, DeviceTextsAreShownAndReadInTheAnsiCodePage) {
  if (GetACP() != 1252) GTEST_SKIP() << "expects the Western code page, not " << GetACP();
  Build(&OnePrinter);
  Click(ControlId::Button1);
  wchar_t item[64] = {};
  SendMessageW(Control(ControlId::ComboBox1), CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(item));
  EXPECT_STREQ(item, L"VX-410 \u00B1");
  EXPECT_EQ(Text(ControlId::Edit1), L"AB\u00E9");
  EXPECT_EQ(Text(ControlId::Memo1), L"AB\u00E9");
  EXPECT_EQ(Text(ControlId::Label6), L"USB2.0 \u00B5");

  // What the user types reaches the model as ANSI bytes.
  SetWindowTextW(Control(ControlId::Edit2), L"Caf\u00E9 \u00BD");
  EXPECT_EQ(Form().Edit2.Text(), "Caf\xE9 \xBD");
  // Captions stay UTF-8 and show as such.
  EXPECT_EQ(Text(ControlId::Label1), L"Product Name");
}

// A printer on the USB Printer Class route, whose ID code box is normalised
// to 18 characters when the user leaves it.
bool OnePrinterClassPrinter(int index, discovery::DeviceList& list) {
  if (index != 0) return false;
  list.Append({"\\\\?\\usb#vid_0f1a&pid_0601#1#{y}", "RK-L5200", "4E4C5041000000A001", "", "",
               "USB Printer Class"});
  return true;
}

TEST_F(BindingTest, IdCodeBoxIsLeftOnlyWhenTheFocusMovesWithinTheWindow) {
  Build(&OnePrinterClassPrinter);
  Click(ControlId::Button1);
  ShowWindow(Window(), SW_SHOW);  // no loop runs here, so FormShow does not either
  HWND edit = Control(ControlId::Edit1);
  SetFocus(edit);
  SetWindowTextW(edit, L"abc");
  ASSERT_EQ(Form().Edit1.Text(), "abc");

  SetFocus(nullptr);  // the window loses the keyboard: no exit
  EXPECT_EQ(Form().Edit1.Text(), "abc");

  SetFocus(edit);
  SetFocus(Control(ControlId::Button3));
  EXPECT_EQ(Form().Edit1.Text(), "abc000000000000000");
  EXPECT_EQ(Text(ControlId::Edit1), L"abc000000000000000");
}

TEST_F(BindingTest, EditColoursFollowTheModel) {
  Build(&OnePrinter);
  HDC dc = GetDC(Window());
  auto brushFor = [&](ControlId id) {
    return reinterpret_cast<HBRUSH>(SendMessageW(Window(), WM_CTLCOLOREDIT,
                                                 reinterpret_cast<WPARAM>(dc),
                                                 reinterpret_cast<LPARAM>(Control(id))));
  };
  EXPECT_EQ(brushFor(ControlId::Edit1), GetSysColorBrush(COLOR_BTNFACE));
  Click(ControlId::Button1);  // Find enables both edits in the window colour
  EXPECT_EQ(brushFor(ControlId::Edit1), GetSysColorBrush(COLOR_WINDOW));
  EXPECT_EQ(brushFor(ControlId::Edit2), GetSysColorBrush(COLOR_WINDOW));
  EXPECT_EQ(brushFor(ControlId::Memo1), GetSysColorBrush(COLOR_BTNFACE));
  ReleaseDC(Window(), dc);
}

TEST_F(BindingTest, WaitCursorShowsWhileFindRunsAndTheArrowAfterwards) {
  HCURSOR wait = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT));
  HCURSOR arrow = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  bool waitDuringFind = false;
  LRESULT setCursorAnswer = FALSE;
  bool waitAfterSetCursor = false;
  Build([&](int index, discovery::DeviceList&) {
    if (index != 0) return false;
    waitDuringFind = GetCursor() == wait;
    // The pointer moving over the window asks it for a cursor: still waiting.
    setCursorAnswer = SendMessageW(Window(), WM_SETCURSOR, reinterpret_cast<WPARAM>(Window()),
                                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    waitAfterSetCursor = GetCursor() == wait;
    return false;
  });
  SetCursor(arrow);
  Click(ControlId::Button1);
  EXPECT_TRUE(waitDuringFind);
  EXPECT_EQ(setCursorAnswer, TRUE);
  EXPECT_TRUE(waitAfterSetCursor);
  EXPECT_EQ(GetCursor(), arrow);
}

// Closing starts the spooler, which may take some 22 s: the wait cursor
// shows meanwhile, and the arrow once it is done.
TEST_F(BindingTest, WaitCursorShowsWhileTheSpoolerIsStartedAtClose) {
  HCURSOR wait = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT));
  HCURSOR arrow = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  std::vector<int> modes;
  bool waitWhileStarting = false;
  Build([](int, discovery::DeviceList&) { return false; },
        [&](int mode) {
          modes.push_back(mode);
          waitWhileStarting = GetCursor() == wait;
          return 1;
        });
  SetCursor(arrow);
  SendMessageW(Window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(modes, std::vector<int>{0});
  EXPECT_TRUE(waitWhileStarting);
  EXPECT_EQ(GetCursor(), arrow);
  EXPECT_FALSE(IsWindow(Window()));
  // The close ended the loop that is not running here: its quit must not
  // end the next test's loop.
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
}

TEST_F(BindingTest, ClickOnADisabledButtonReachesNoHandler) {
  Build([](int, discovery::DeviceList&) { return false; });
  // Write with no device would end by enabling the buttons.
  Click(ControlId::Button3);
  EXPECT_FALSE(IsWindowEnabled(Control(ControlId::Button2)));
  EXPECT_FALSE(Form().Button2.Enabled());
}

TEST_F(BindingTest, CloseAskedForDuringAnActionWaitsForItsEnd) {
  Build(&OnePrinter);
  Click(ControlId::Button1);  // one printer: Write is enabled
  MessageBoxSeen seen;
  bool openWhileBoxShown = false;
  std::thread answer([&] {
    HWND box = wine_tests::WaitForMessageBox(GetCurrentProcessId(), kBoxTimeoutMs);
    if (box == nullptr) return PostMessageW(Window(), WM_CLOSE, 0, 0), void();
    seen = wine_tests::ReadMessageBox(box);
    // As a close from the taskbar would, while the write's message is open.
    SendMessageW(Window(), WM_CLOSE, 0, 0);
    openWhileBoxShown = IsWindow(Window()) && IsWindow(box);
    wine_tests::DismissMessageBox(box);
  });
  PostMessageW(Window(), WM_COMMAND,
               MAKEWPARAM(1000 + static_cast<int>(ControlId::Button3), BN_CLICKED),
               reinterpret_cast<LPARAM>(Control(ControlId::Button3)));
  RunMessageLoop(Window());
  answer.join();
  EXPECT_EQ(seen.caption, L"Error") << "the write of a device that is not there fails";
  EXPECT_TRUE(openWhileBoxShown) << "closed in the middle of the write";
  EXPECT_FALSE(IsWindow(Window())) << "the close was lost";
}

TEST_F(BindingTest, ExceptionOutOfAHandlerIsShownAndTheLoopGoesOn) {
  Build([](int, discovery::DeviceList&) -> bool { throw std::runtime_error("probe failed"); });
  MessageBoxSeen seen;
  std::thread answer([&] {
    HWND box = wine_tests::WaitForMessageBox(GetCurrentProcessId(), kBoxTimeoutMs);
    // Without a box the loop is ended all the same, so the test cannot hang.
    if (box == nullptr) return PostMessageW(Window(), WM_CLOSE, 0, 0), void();
    seen = wine_tests::ReadMessageBox(box);
    wine_tests::DismissMessageBox(box);
    // Handled only if the loop goes on after the box.
    PostMessageW(Window(), WM_CLOSE, 0, 0);
  });
  PostMessageW(Window(), WM_COMMAND,
               MAKEWPARAM(1000 + static_cast<int>(ControlId::Button1), BN_CLICKED),
               reinterpret_cast<LPARAM>(Control(ControlId::Button1)));
  RunMessageLoop(Window());
  answer.join();
  EXPECT_EQ(seen.caption, L"NOLPA Identifier Utility");
  EXPECT_EQ(seen.text, L"probe failed");
  EXPECT_FALSE(IsWindow(Window()));
}

}  // namespace
}  // namespace nolpa::ui::win32
