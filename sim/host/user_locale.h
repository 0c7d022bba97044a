#pragma once
// The comparison of an English user locale on the Western code page (1252),
// for native tests: letters are equal to their other case (A-Z, the accented
// letters 0xC0-0xDE with 0xE0-0xFE, and the pairs Š, Œ, Ž, Ÿ); every other
// byte equals only itself. The linguistic weights of the real comparison
// (characters it ignores) are not played.
#include "platform/text_compare.h"

namespace nolpa::sim {

class WesternUserLocale final : public platform::TextCompare {
 public:
  bool EqualIgnoringCase(const std::string& a, const std::string& b) override;
};

}  // namespace nolpa::sim
