#pragma once
// One control of the main window as a model: the state the handlers change.
// Every change is reported to the form's observer at once, so a binding can
// mirror it into a real control while a long action is still running.
#include <string>
#include <vector>

#include "ui/control_id.h"

namespace nolpa::ui {

enum class Colour { ButtonFace, Window };

enum class ControlChange { Text, Enabled, Visible, Colour, Items, Selection, Repaint };

class ControlObserver {
 public:
  virtual ~ControlObserver() = default;
  // A control's state changed; the observer reads the new state from the model.
  virtual void ControlChanged(ControlId id, ControlChange what) = 0;
  // Button4Click asks for the window to close (which runs FormClose).
  virtual void CloseRequested() = 0;
  // An action starts (true) or stops (false) blocking the user-interface
  // thread; a binding shows the wait cursor in between. Every true is
  // followed by one false, even when the action ends by an exception.
  virtual void BusyChanged(bool busy) { static_cast<void>(busy); }
};

class Control {
 public:
  Control(ControlId id, ControlObserver** observer) : id_(id), observer_(observer) {}

  ControlId Id() const { return id_; }

  const std::string& Text() const { return text_; }
  void SetText(std::string text);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  ui::Colour Colour() const { return colour_; }
  void SetColour(ui::Colour colour);

  // Combo box items and selection (-1: nothing selected).
  const std::vector<std::string>& Items() const { return items_; }
  void ClearItems();
  void AddItem(std::string item);
  int SelectedIndex() const { return selected_; }
  void SetSelectedIndex(int index);

  // Asks the binding to repaint the real control now.
  void Repaint();

  // The user changed the real control; record it without echoing it back.
  void TextFromUser(std::string text) { text_ = std::move(text); }
  void SelectionFromUser(int index) { selected_ = index; }

 private:
  void Notify(ControlChange what);

  ControlId id_;
  ControlObserver** observer_;
  std::string text_;
  bool enabled_ = true;
  bool visible_ = true;
  ui::Colour colour_ = ui::Colour::ButtonFace;
  std::vector<std::string> items_;
  int selected_ = -1;
};

}  // namespace nolpa::ui
