#pragma once
// Message boxes: modal, owned by the application, one OK button.
#include <string>

namespace nolpa::platform {

// The style values of the two icons the program uses.
enum class MessageIcon : unsigned { Error = 16, Information = 64 };

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;

  // Shows one modal box and returns when it is dismissed. Text and caption
  // are UTF-8; the real implementation shows them through the wide calls.
  virtual void Show(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
};

}  // namespace nolpa::platform
