#pragma once

namespace nolpa::ui {

// The controls of TMainForm, in the order of their fields.
enum class ControlId : int {
  Label1,
  Label3,
  Label4,
  Label5,
  Label6,
  Button1,
  Button2,
  Button3,
  Button4,
  Button5,
  Button6,
  Edit1,
  Edit2,
  Bevel2,
  ComboBox1,
  Label7,
  Label2,
  Label8,
  Memo1,
  Count
};

inline constexpr int kControlCount = static_cast<int>(ControlId::Count);

}  // namespace nolpa::ui
