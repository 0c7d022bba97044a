#include "ident/id_rules.h"

#include <cstdio>
#include <cstring>

namespace nolpa::ident {

using resources::MessageId;

std::string DateIdCode(const platform::LocalTime& t, bool printerClassRoute) {
  char text[64];
  if (printerClassRoute) {
    std::snprintf(text, sizeof text, "%04d%02d%d%02d%02d%02d%02d%03d", t.year, t.month, t.dayOfWeek,
                  t.day, t.hour, t.minute, t.second, t.millisecond);
  } else {
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
  }
  return text;
}

std::string NormaliseIdCode(const std::string& text, bool printerClassRoute) {
  if (!printerClassRoute) return text;
  std::string result = text.substr(0, kPrinterClassIdLength);
  if (result.size() < kPrinterClassIdLength) {
    result = (result + std::string(kPrinterClassIdLength, '0')).substr(0, kPrinterClassIdLength);
  }
  return result;
}

bool AllCharactersIn(const std::string& text, const char* set) {
  for (char c : text)
    if (c == '\0' || std::strchr(set, c) == nullptr) return false;
  return true;
}

std::optional<MessageId> ValidateIdInput(const IdInput& in) {
  if (in.printerClassRoute) {
    if (in.idCode.size() != kPrinterClassIdLength) return MessageId::IdCodeLength18;
    if (!AllCharactersIn(in.idCode, kHexadecimalSet)) return MessageId::IdCodeInvalidHex;
    if (in.idCode == in.storedIdCode) return MessageId::IdCodeUnchanged;
    return std::nullopt;
  }
  if (!AllCharactersIn(in.idCode, kGeneralSet)) return MessageId::IdCodeInvalid;
  if (!AllCharactersIn(in.idName, kGeneralSet)) return MessageId::IdNameInvalid;
  if (in.idCode == in.storedIdCode && in.idName == in.storedIdName) return MessageId::IdUnchanged;
  return std::nullopt;
}

}  // namespace nolpa::ident
