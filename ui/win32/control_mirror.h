#pragma once
// Mirrors the model of one control into its real control, at once: a long
// action shows each step as it happens, as direct Win32 calls would.
#include <windows.h>

#include <string>

#include "ui/control.h"
#include "ui/layout.h"

namespace nolpa::ui::win32 {

// Applies one change of `model` to `control`.
void MirrorChange(HWND control, const ControlLayout& layout, const Control& model,
                  ControlChange what);

// Brings the real control fully in line with its model.
void MirrorAll(HWND control, const ControlLayout& layout, const Control& model);

// The control's current text as the model holds it: UTF-8 for captions, the
// ANSI code page for device texts.
std::string ReadText(HWND control, const ControlLayout& layout);

}  // namespace nolpa::ui::win32
