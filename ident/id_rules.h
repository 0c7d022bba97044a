#pragma once
// What an ID code and an ID name may hold on each route: the date-based
// code, the normalisation on leaving the ID code box, and the validation run
// before a write.
#include <optional>
#include <string>

#include "platform/clock.h"
#include "resources/messages.h"

namespace nolpa::ident {

inline constexpr std::size_t kPrinterClassIdLength = 18;
inline constexpr char kHexadecimalSet[] = "0123456789ABCDEF";
inline constexpr char kGeneralSet[] =
    " -+0123456789@ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz~";

// 18 digits "%04d%02d%d%02d%02d%02d%02d%03d" on the USB Printer Class route,
// 14 digits "%04d%02d%02d%02d%02d%02d" elsewhere.
std::string DateIdCode(const platform::LocalTime& time, bool printerClassRoute);

// On the USB Printer Class route, cuts the text to 18 characters or fills it
// with zeros on the right; elsewhere returns it unchanged. Case is kept.
std::string NormaliseIdCode(const std::string& text, bool printerClassRoute);

// True when every byte of `text` is in `set` (an empty text passes).
bool AllCharactersIn(const std::string& text, const char* set);

struct IdInput {
  bool printerClassRoute = false;
  std::string idCode;
  std::string idName;
  std::string storedIdCode;
  std::string storedIdName;
};

// The first refusal in order, or nullopt when the values may be written.
std::optional<resources::MessageId> ValidateIdInput(const IdInput& input);

}  // namespace nolpa::ident
