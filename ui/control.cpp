#include "ui/control.h"

namespace nolpa::ui {

void Control::Notify(ControlChange what) {
  if (observer_ != nullptr && *observer_ != nullptr) (*observer_)->ControlChanged(id_, what);
}

void Control::SetText(std::string text) {
  text_ = std::move(text);
  Notify(ControlChange::Text);
}

void Control::SetEnabled(bool enabled) {
  enabled_ = enabled;
  Notify(ControlChange::Enabled);
}

void Control::SetVisible(bool visible) {
  visible_ = visible;
  Notify(ControlChange::Visible);
}

void Control::SetColour(ui::Colour colour) {
  colour_ = colour;
  Notify(ControlChange::Colour);
}

void Control::ClearItems() {
  items_.clear();
  selected_ = -1;
  Notify(ControlChange::Items);
}

void Control::AddItem(std::string item) {
  items_.push_back(std::move(item));
  Notify(ControlChange::Items);
}

void Control::SetSelectedIndex(int index) {
  selected_ = (index >= 0 && index < static_cast<int>(items_.size())) ? index : -1;
  Notify(ControlChange::Selection);
}

void Control::Repaint() { Notify(ControlChange::Repaint); }

}  // namespace nolpa::ui
