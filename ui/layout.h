#pragma once
// The main window's layout: written once, read by the binding and the tests.
#include <array>
#include <cstdint>

#include "ui/control.h"
#include "ui/control_id.h"

namespace nolpa::ui {

enum class ControlKind { Label, Button, Edit, Bevel, ComboBox, Memo };

// Which text a control holds: captions and messages are UTF-8 from the
// tables; device texts are 8-bit strings in the system's ANSI code page.
enum class TextKind { Caption, DeviceText };

struct ControlLayout {
  ControlId id;
  const char* name;
  ControlKind kind;
  int left, top, width, height;  // width/height 0: the label sizes itself to its text
  int tabOrder;                  // -1: takes no focus
  bool enabled;
  bool visible;
  Colour colour;
  bool shiftJisFont;  // the font with the Japanese character set
  int maxTyped;       // characters the user may type; 0 when not an edit
  TextKind textKind;
  const char* captionJa;  // design caption; nullptr when the control has none
  const char* captionEn;
};

inline constexpr int kClientWidth = 454;
inline constexpr int kClientHeight = 259;
inline constexpr int kFontHeight = 12;
inline constexpr int kComboItemHeight = 12;
inline constexpr char kFontFace[] = "ＭＳ Ｐゴシック";
// "VARDU NOLPA Identifier Utility Ver.5.00": the version comes from the build.
extern const char kWindowCaption[];
inline constexpr char kApplicationTitle[] = "NOLPA Identifier Utility";
inline constexpr char kApplicationClass[] = "TApplication";

// In field order of TMainForm.
extern const std::array<ControlLayout, kControlCount> kLayout;

const ControlLayout& LayoutOf(ControlId id);

}  // namespace nolpa::ui
