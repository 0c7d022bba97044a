#pragma once
// Creates the real control for one entry of the layout table.
#include <windows.h>

#include <vector>

#include "ui/layout.h"

namespace nolpa::ui::win32 {

// Control IDs are 1000 + ControlId, so other programs (and the tests) can
// find a control with GetDlgItem.
inline constexpr int kControlIdBase = 1000;
inline int DialogId(ControlId id) { return kControlIdBase + static_cast<int>(id); }

// The layout entries in the order the controls are created. Creation order
// is z-order, and z-order is the order Tab walks: the tab stops first, by
// their tab number, then the controls that take no focus.
std::vector<const ControlLayout*> CreationOrder();

// Creates the control at its design position and size, in the start state
// of the table, with its font; edits get their typing limit and the combo
// box its item heights.
HWND CreateControl(HWND parent, const ControlLayout& layout, HFONT font);

}  // namespace nolpa::ui::win32
