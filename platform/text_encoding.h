#pragma once
// Device texts are 8-bit strings in the system's ANSI code page; what the
// program writes for other programs to read (JSON, CSV, log lines) is
// UTF-8, and so is what a user gives on a command line (read wide and
// converted). Real implementation: MultiByteToWideChar and
// WideCharToMultiByte between CP_ACP and CP_UTF8; natively (the simulator's
// Western system) code page 1252.
#include <string>
#include <string_view>

namespace nolpa::platform {

class TextEncoding {
 public:
  virtual ~TextEncoding() = default;

  // The ANSI text as UTF-8. Every byte gives a character: a byte the code
  // page leaves undefined becomes the control character of the same value
  // (as MultiByteToWideChar maps it), an incomplete double-byte character
  // U+FFFD. Never fails; an empty text gives an empty text.
  virtual std::string AnsiToUtf8(std::string_view ansi) = 0;

  // The UTF-8 text in the ANSI code page, only when the code page holds it
  // exactly: false (and `ansi` left as it was) when a character has no
  // counterpart there, when the conversion would take a look-alike
  // ("best fit", such as a full-width letter for its ASCII one) or the
  // default character "?", and when `utf8` is no well-formed UTF-8. So
  // converting the result back with AnsiToUtf8 gives `utf8` again. Real
  // implementation: WideCharToMultiByte with WC_NO_BEST_FIT_CHARS and its
  // used-default-character flag, the result converted back and compared.
  virtual bool Utf8ToAnsi(std::string_view utf8, std::string* ansi) = 0;
};

}  // namespace nolpa::platform
