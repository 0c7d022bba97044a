#include "ui/win32/control_mirror.h"

#include <algorithm>

#include "platform/win32/text_conversion.h"

namespace nolpa::ui::win32 {

namespace {

using platform::win32::AnsiToWide;
using platform::win32::Utf8ToWide;
using platform::win32::WideToAnsi;

std::wstring ToWide(const ControlLayout& layout, const std::string& text) {
  return layout.textKind == TextKind::DeviceText ? AnsiToWide(text) : Utf8ToWide(text);
}

// Labels grow wide enough for their text (the design sizes are those of the
// Japanese captions); a label without a design size is exactly its text.
// A design height stays: substitute fonts may be a pixel taller.
void FitLabel(HWND label, const ControlLayout& layout, const std::wstring& text) {
  HDC dc = GetDC(label);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
  RECT extent{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &extent,
            DT_CALCRECT | DT_LEFT | DT_NOPREFIX | DT_EXPANDTABS);
  SelectObject(dc, old);
  ReleaseDC(label, dc);
  const int width = std::max<int>(layout.width, extent.right);
  const int height = layout.height > 0 ? layout.height : static_cast<int>(extent.bottom);
  SetWindowPos(label, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MirrorText(HWND control, const ControlLayout& layout, const Control& model) {
  // A drop-down list shows its selected item; it has no text of its own.
  if (layout.kind == ControlKind::ComboBox) return;
  const std::wstring text = ToWide(layout, model.Text());
  SetWindowTextW(control, text.c_str());
  if (layout.kind == ControlKind::Label) FitLabel(control, layout, text);
}

void MirrorItems(HWND combo, const ControlLayout& layout, const Control& model) {
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  for (const std::string& item : model.Items()) {
    const std::wstring text = ToWide(layout, item);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(model.SelectedIndex()), 0);
}

}  // namespace

void MirrorChange(HWND control, const ControlLayout& layout, const Control& model,
                  ControlChange what) {
  switch (what) {
    case ControlChange::Text: MirrorText(control, layout, model); break;
    case ControlChange::Enabled: EnableWindow(control, model.Enabled()); break;
    case ControlChange::Visible: ShowWindow(control, model.Visible() ? SW_SHOWNA : SW_HIDE); break;
    case ControlChange::Colour: InvalidateRect(control, nullptr, TRUE); break;
    case ControlChange::Items: MirrorItems(control, layout, model); break;
    case ControlChange::Selection:
      SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(model.SelectedIndex()), 0);
      break;
    case ControlChange::Repaint:
      RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
      break;
  }
  UpdateWindow(control);
}

void MirrorAll(HWND control, const ControlLayout& layout, const Control& model) {
  MirrorChange(control, layout, model, ControlChange::Text);
  MirrorChange(control, layout, model, ControlChange::Enabled);
  MirrorChange(control, layout, model, ControlChange::Visible);
  if (layout.kind == ControlKind::ComboBox)
    MirrorChange(control, layout, model, ControlChange::Items);
}

std::string ReadText(HWND control, const ControlLayout& layout) {
  const int length = GetWindowTextLengthW(control);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), length + 1)));
  if (layout.textKind == TextKind::DeviceText) return WideToAnsi(text);
  return platform::win32::WideToUtf8(text);
}

}  // namespace nolpa::ui::win32
