#include "ui/win32/main_window.h"

#include <stdexcept>

#include "platform/win32/responsive_wait.h"
#include "platform/win32/text_conversion.h"
#include "ui/layout.h"
#include "ui/win32/control_factory.h"
#include "ui/win32/control_mirror.h"
#include "ui/win32/exception_box.h"
#include "ui/win32/idle_query.h"

namespace nolpa::ui::win32 {

namespace {

// Posted when the window is first shown, so FormShow runs from the loop with
// the window already on the screen.
constexpr UINT kFormShow = WM_APP + 1;

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT;

ATOM RegisterMainClass(WNDPROC procedure) {
  return RegisterWindowClass(L"TMainForm", procedure,
                             reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1)));
}

// The outer size for the design's client area, centred on the screen.
RECT CentredFrame() {
  RECT frame{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  return RECT{left, top, left + width, top + height};
}

}  // namespace

// Marks an event handler as running. A close asked for meanwhile (from the
// nested loop of the handler's message box, say by the taskbar) is carried
// out once the outermost handler has ended, so FormClose never runs in the
// middle of an action.
class MainWindow::HandlerScope {
 public:
  explicit HandlerScope(MainWindow& window) : window_(window) { ++window_.handlerDepth_; }
  ~HandlerScope() {
    if (--window_.handlerDepth_ > 0 || !window_.closePending_) return;
    window_.closePending_ = false;
    PostMessageW(window_.hwnd_, WM_CLOSE, 0, 0);
  }
  HandlerScope(const HandlerScope&) = delete;
  HandlerScope& operator=(const HandlerScope&) = delete;

 private:
  MainWindow& window_;
};

MainWindow::MainWindow(TMainForm& form, HWND owner) : form_(form) {
  static const ATOM atom = RegisterMainClass(&RouteToWindow<MainWindow>);
  const RECT frame = CentredFrame();
  const std::wstring caption = platform::win32::Utf8ToWide(kWindowCaption);
  CreateWindowExW(kExStyle, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(atom)),
                  caption.c_str(), kStyle, frame.left, frame.top, frame.right - frame.left,
                  frame.bottom - frame.top, owner, nullptr, GetModuleHandleW(nullptr), this);
  if (hwnd_ == nullptr) throw std::runtime_error("Error creating window");
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.Normal()), FALSE);
  CreateControls();
  form_.SetObserver(this);
}

MainWindow::~MainWindow() {
  form_.SetObserver(nullptr);
  if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

void MainWindow::Show() {
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
}

void MainWindow::CreateControls() {
  mirroring_ = true;
  for (const ControlLayout* layout : CreationOrder()) {
    HWND control = CreateControl(hwnd_, *layout, fonts_.For(*layout));
    if (control == nullptr) throw std::runtime_error(std::string("Error creating ") + layout->name);
    controls_[static_cast<std::size_t>(layout->id)] = control;
    MirrorAll(control, *layout, form_.ControlById(layout->id));
  }
  mirroring_ = false;
}

void MainWindow::ControlChanged(ControlId id, ControlChange what) {
  HWND control = controls_[static_cast<std::size_t>(id)];
  if (control == nullptr) return;
  mirroring_ = true;
  MirrorChange(control, LayoutOf(id), form_.ControlById(id), what);
  mirroring_ = false;
}

void MainWindow::CloseRequested() { PostMessageW(hwnd_, WM_CLOSE, 0, 0); }

void MainWindow::BusyChanged(bool busy) {
  busy_ = busy;
  SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(busy ? IDC_WAIT : IDC_ARROW)));
}

LRESULT MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == IdleQueryMessage()) return platform::win32::HandlingSentMessageInWait() ? 0 : 1;
  switch (message) {
    case WM_COMMAND: {
      const int index = LOWORD(wParam) - kControlIdBase;
      if (lParam == 0 || index < 0 || index >= kControlCount) return 0;
      // While an action waits on a device, messages other programs send are
      // answered but start nothing: a click or a selection sent meanwhile
      // would run a handler inside the one that waits. An edit's new text is
      // still taken in, so the model keeps what the control shows.
      if (platform::win32::HandlingSentMessageInWait() && HIWORD(wParam) != EN_CHANGE) return 0;
      HandlerScope scope(*this);
      OnCommand(static_cast<ControlId>(index), HIWORD(wParam));
      return 0;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      return OnControlColour(message, reinterpret_cast<HDC>(wParam),
                             reinterpret_cast<HWND>(lParam));
    case WM_SHOWWINDOW:
      if (wParam != FALSE && !shown_) {
        shown_ = true;
        PostMessageW(hwnd_, kFormShow, 0, 0);
      }
      break;
    case kFormShow: {
      HandlerScope scope(*this);
      form_.FormShow();
      return 0;
    }
    case WM_PAINT: {
      const LRESULT result = DefWindowProcW(hwnd_, message, wParam, lParam);
      form_.FormPaint();
      return result;
    }
    case WM_SETCURSOR:
      // While an action runs, the pointer over any part of the window keeps
      // the wait cursor instead of taking back the class's arrow.
      if (busy_) {
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
        return TRUE;
      }
      break;
    case WM_HELP: form_.ApplicationEvents1Help(); return TRUE;
    case WM_ACTIVATE: OnActivate(LOWORD(wParam) != WA_INACTIVE); return 0;
    case WM_SYSCOMMAND:
      // The application window minimises for the program (it hides this one).
      if ((wParam & 0xFFF0) == SC_MINIMIZE && GetWindow(hwnd_, GW_OWNER) != nullptr) {
        ShowWindow(GetWindow(hwnd_, GW_OWNER), SW_MINIMIZE);
        return 0;
      }
      break;
    case WM_CLOSE: OnClose(); return 0;
    case WM_DESTROY: form_.SetObserver(nullptr); return 0;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void MainWindow::OnCommand(ControlId id, int code) {
  HWND control = controls_[static_cast<std::size_t>(id)];
  switch (LayoutOf(id).kind) {
    case ControlKind::Button:
      // A disabled button is never clicked, whoever sends the click.
      if (code == BN_CLICKED && IsWindowEnabled(control)) OnButtonClicked(id);
      break;
    case ControlKind::ComboBox:
      if (code != CBN_SELCHANGE) break;
      form_.ComboBox1.SelectionFromUser(
          static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0)));
      form_.ComboBox1Change();
      break;
    case ControlKind::Edit:
      if (code == EN_CHANGE && !mirroring_) OnEditChanged(id);
      // Leaving the field means the focus went to another control of this
      // window; losing it to a message box or another program is no exit.
      if (code == EN_KILLFOCUS && id == ControlId::Edit1 && IsChild(hwnd_, GetFocus()))
        form_.Edit1Exit();
      break;
    default: break;
  }
}

void MainWindow::OnButtonClicked(ControlId id) {
  switch (id) {
    case ControlId::Button1: form_.Button1Click(); break;
    case ControlId::Button2: form_.Button2Click(); break;
    case ControlId::Button3: form_.Button3Click(); break;
    case ControlId::Button4: form_.Button4Click(); break;
    case ControlId::Button5: form_.Button5Click(); break;
    case ControlId::Button6: form_.Button6Click(); break;
    default: break;
  }
}

void MainWindow::OnEditChanged(ControlId id) {
  Control& model = form_.ControlById(id);
  model.TextFromUser(ReadText(controls_[static_cast<std::size_t>(id)], LayoutOf(id)));
}

LRESULT MainWindow::OnControlColour(UINT message, HDC dc, HWND control) {
  const int index = GetDlgCtrlID(control) - kControlIdBase;
  if (index >= 0 && index < kControlCount) {
    const ControlLayout& layout = kLayout[static_cast<std::size_t>(index)];
    if (layout.kind == ControlKind::Edit || layout.kind == ControlKind::Memo) {
      const bool window = form_.ControlById(layout.id).Colour() == Colour::Window;
      const int colour = window ? COLOR_WINDOW : COLOR_BTNFACE;
      SetBkColor(dc, GetSysColor(colour));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(colour));
    }
  }
  return DefWindowProcW(hwnd_, message, reinterpret_cast<WPARAM>(dc),
                        reinterpret_cast<LPARAM>(control));
}

void MainWindow::OnActivate(bool active) {
  if (!active) {
    HWND focus = GetFocus();
    if (IsChild(hwnd_, focus)) lastFocus_ = focus;
    return;
  }
  // A plain window does not keep its focused control over a switch away and
  // back, as a dialog does; give the focus back, or to the first tab stop.
  HWND target = lastFocus_;
  if (!IsChild(hwnd_, target) || !IsWindowEnabled(target) || !IsWindowVisible(target))
    target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
  if (target != nullptr) SetFocus(target);
}

void MainWindow::OnClose() {
  // A close sent while a device call waits (a command-line run has no
  // handler around its waits) is never carried out in the middle of it.
  if (handlerDepth_ > 0 || platform::win32::HandlingSentMessageInWait()) {
    closePending_ = true;
    return;
  }
  if (closing_) return;
  closing_ = true;
  try {
    form_.FormClose();
  } catch (...) {
    ShowCurrentException(hwnd_);
  }
  DestroyWindow(hwnd_);
  // Closing ends the loop; a window destroyed without closing (a
  // command-line run) leaves none behind.
  PostQuitMessage(0);
}

}  // namespace nolpa::ui::win32
