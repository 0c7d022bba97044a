#pragma once
// What the console companion writes: results on the output stream; the
// window program's message boxes, its own messages and a progress line on
// the error stream. The progress line is kept only on a console; redirected
// output never holds one.
#include <string>
#include <string_view>
#include <vector>

#include "app/console/console_texts.h"
#include "platform/console_streams.h"
#include "platform/message_boxes.h"
#include "ui/control.h"

namespace nolpa::app::console {

class ConsoleOutput {
 public:
  explicit ConsoleOutput(platform::ConsoleStreams& streams);

  // One line (a line feed is added) on the output stream.
  void Result(std::string_view utf8);
  // One line on the error stream.
  void Error(std::string_view utf8);
  // Shows `utf8` as the progress line, replacing the one shown; only on a
  // console.
  void Progress(std::string_view utf8);
  // Clears the progress line, if one is shown.
  void EndProgress();

 private:
  platform::ConsoleStreams& streams_;
  bool errorIsConsole_;
  std::size_t progressWidth_ = 0;  // columns of the line shown, 0: none
};

// The form's message boxes as lines on the error stream ("Error: text"); each
// is answered OK at once. Remembers what was shown, in order.
class ConsoleMessageBoxes final : public platform::MessageBoxes {
 public:
  explicit ConsoleMessageBoxes(ConsoleOutput& output) : output_(output) {}
  void Show(const std::string& text, const std::string& caption,
            platform::MessageIcon icon) override;
  const std::vector<std::string>& Shown() const { return shown_; }
  // True when `text` is the last message shown.
  bool LastWas(const std::string& text) const { return !shown_.empty() && shown_.back() == text; }

 private:
  ConsoleOutput& output_;
  std::vector<std::string> shown_;
};

// The progress line while the form is busy (a Find, a write, a test):
// the text of the activity the companion has set.
class ProgressObserver final : public ui::ControlObserver {
 public:
  ProgressObserver(ConsoleOutput& output, const bool& japanese)
      : output_(output), japanese_(japanese) {}
  void SetActivity(Text activity) {
    activity_ = activity;
    text_.clear();
  }
  // A text of its own, made with its values (the station's waits).
  void SetActivityText(std::string text) { text_ = std::move(text); }
  void ControlChanged(ui::ControlId, ui::ControlChange) override {}
  void CloseRequested() override {}
  void BusyChanged(bool busy) override;

 private:
  ConsoleOutput& output_;
  const bool& japanese_;
  Text activity_ = Text::ProgressFind;
  std::string text_;  // when not empty, shown instead of activity_
};

}  // namespace nolpa::app::console
