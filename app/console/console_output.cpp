#include "app/console/console_output.h"

namespace nolpa::app::console {

namespace {

// Characters a line takes on a console (UTF-8 continuation bytes take none).
std::size_t Columns(std::string_view utf8) {
  std::size_t columns = 0;
  for (char c : utf8) columns += (static_cast<unsigned char>(c) & 0xC0) == 0x80 ? 0 : 1;
  return columns;
}

}  // namespace

ConsoleOutput::ConsoleOutput(platform::ConsoleStreams& streams)
    : streams_(streams), errorIsConsole_(streams.IsConsole(platform::Stream::Error)) {}

void ConsoleOutput::Result(std::string_view utf8) {
  EndProgress();
  streams_.Write(platform::Stream::Output, std::string(utf8) + "\n");
}

void ConsoleOutput::Error(std::string_view utf8) {
  EndProgress();
  streams_.Write(platform::Stream::Error, std::string(utf8) + "\n");
}

void ConsoleOutput::Progress(std::string_view utf8) {
  if (!errorIsConsole_) return;
  const std::size_t width = Columns(utf8);
  // Wide characters take two columns; padding to twice the old width clears
  // what a longer line left.
  const std::size_t pad = progressWidth_ * 2 > width ? progressWidth_ * 2 - width : 0;
  streams_.Write(platform::Stream::Error, "\r" + std::string(utf8) + std::string(pad, ' ') + "\r");
  progressWidth_ = width;
}

void ConsoleOutput::EndProgress() {
  if (progressWidth_ == 0) return;
  streams_.Write(platform::Stream::Error, "\r" + std::string(progressWidth_ * 2, ' ') + "\r");
  progressWidth_ = 0;
}

void ConsoleMessageBoxes::Show(const std::string& text, const std::string& caption,
                               platform::MessageIcon) {
  shown_.push_back(text);
  std::string line = caption + ": ";
  // A box's lines become indented lines of one message.
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "\r\n") == 0) {
      line += "\n  ";
      ++i;
    } else {
      line += text[i];
    }
  }
  output_.Error(line);
}

void ProgressObserver::BusyChanged(bool busy) {
  if (busy) {
    output_.Progress(text_.empty() ? Say(activity_, japanese_) : text_);
  } else {
    output_.EndProgress();
  }
}

}  // namespace nolpa::app::console
