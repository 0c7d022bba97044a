#include "ui/win32/control_factory.h"

#include <algorithm>

namespace nolpa::ui::win32 {

namespace {

struct KindClass {
  const wchar_t* className;
  DWORD style;
  DWORD exStyle;
};

KindClass ClassOf(const ControlLayout& layout) {
  switch (layout.kind) {
    case ControlKind::Label:
      // Device text is shown as it is: an '&' in it is no accelerator.
      return {
          L"STATIC",
          static_cast<DWORD>(SS_LEFT | (layout.textKind == TextKind::DeviceText ? SS_NOPREFIX : 0)),
          0};
    case ControlKind::Button: return {L"BUTTON", BS_PUSHBUTTON, 0};
    case ControlKind::Edit: return {L"EDIT", ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::Bevel: return {L"STATIC", SS_ETCHEDHORZ, 0};
    case ControlKind::ComboBox:
      return {L"COMBOBOX", CBS_DROPDOWNLIST | CBS_HASSTRINGS | WS_VSCROLL, 0};
    case ControlKind::Memo:
      return {L"EDIT", ES_LEFT | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL, 0};
  }
  return {L"STATIC", 0, 0};
}

// Room below the closed combo box for its drop-down list.
constexpr int kDroppedListHeight = 8 * kComboItemHeight + 2;

// Item height 12 for the list; the selection field gets the height that
// makes the closed box as tall as the design says. The height a combo box
// reports for its field is not always the one it takes (some versions add
// their edge), so measure after setting it and correct once.
void SetComboHeights(HWND combo, int closedHeight) {
  SendMessageW(combo, CB_SETITEMHEIGHT, 0, kComboItemHeight);
  auto request =
      static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
  for (int pass = 0; pass < 2; ++pass) {
    RECT rect;
    GetWindowRect(combo, &rect);
    request += closedHeight - (rect.bottom - rect.top);
    SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), request);
  }
}

}  // namespace

std::vector<const ControlLayout*> CreationOrder() {
  std::vector<const ControlLayout*> order;
  order.reserve(kLayout.size());
  for (const ControlLayout& layout : kLayout) order.push_back(&layout);
  std::stable_sort(order.begin(), order.end(), [](const ControlLayout* a, const ControlLayout* b) {
    const bool aStops = a->tabOrder >= 0;
    const bool bStops = b->tabOrder >= 0;
    if (aStops != bStops) return aStops;
    return aStops && a->tabOrder < b->tabOrder;
  });
  return order;
}

HWND CreateControl(HWND parent, const ControlLayout& layout, HFONT font) {
  const KindClass kind = ClassOf(layout);
  DWORD style = WS_CHILD | kind.style;
  if (layout.visible) style |= WS_VISIBLE;
  if (!layout.enabled) style |= WS_DISABLED;
  if (layout.tabOrder >= 0) style |= WS_TABSTOP;
  const bool combo = layout.kind == ControlKind::ComboBox;
  const int height = combo ? layout.height + kDroppedListHeight : layout.height;
  HWND control = CreateWindowExW(kind.exStyle, kind.className, L"", style, layout.left, layout.top,
                                 layout.width, height, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(DialogId(layout.id))),
                                 GetModuleHandleW(nullptr), nullptr);
  if (control == nullptr) return nullptr;
  // Some controls adjust their size while they are created (an etched line
  // gains an edge); the design size wins.
  SetWindowPos(control, nullptr, layout.left, layout.top, layout.width, height,
               SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  if (layout.maxTyped > 0) SendMessageW(control, EM_LIMITTEXT, layout.maxTyped, 0);
  if (combo) SetComboHeights(control, layout.height);
  return control;
}

}  // namespace nolpa::ui::win32
