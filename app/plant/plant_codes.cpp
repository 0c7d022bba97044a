#include "app/plant/plant_codes.h"

#include <cstdio>
#include <limits>

#include "app/plant/plant_record.h"

namespace nolpa::app::plant {

namespace {

struct OutcomeEntry {
  Outcome outcome;
  const char* name;
  int stage;
};
constexpr OutcomeEntry kOutcomes[] = {
    {Outcome::Reserved, "reserved", 0}, {Outcome::Pending, "pending", 1},
    {Outcome::Written, "written", 2},   {Outcome::Ng, "ng", 2},
    {Outcome::Checked, "checked", 2},
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

const char* OutcomeName(Outcome outcome) {
  for (const OutcomeEntry& e : kOutcomes)
    if (e.outcome == outcome) return e.name;
  return "?";
}

std::optional<Outcome> OutcomeNamed(std::string_view name) {
  for (const OutcomeEntry& e : kOutcomes)
    if (name == e.name) return e.outcome;
  return std::nullopt;
}

int OutcomeStage(Outcome outcome) {
  for (const OutcomeEntry& e : kOutcomes)
    if (e.outcome == outcome) return e.stage;
  return 0;
}

std::string CodeKey(std::string_view code) {
  std::string key(code);
  for (char& c : key)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return key;
}

std::int64_t CountedCodesLeft(std::string_view next) {
  std::size_t end = next.size();
  while (end > 0 && !IsDigit(next[end - 1])) --end;
  std::size_t begin = end;
  while (begin > 0 && IsDigit(next[begin - 1])) --begin;
  if (begin == end) return 0;
  // 10^width - value, in steps that stop at the largest count.
  constexpr std::int64_t kMost = std::numeric_limits<std::int64_t>::max();
  std::int64_t nines = 0;  // all nines of the width, then minus the value
  std::int64_t value = 0;
  for (std::size_t i = begin; i < end; ++i) {
    if (nines > (kMost - 9) / 10) return kMost;
    nines = nines * 10 + 9;
    value = value * 10 + (next[i] - '0');
  }
  return nines - value + 1;
}

std::string IsoTime(const platform::UtcTime& t) {
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", t.year, t.month, t.day,
                t.hour, t.minute, t.second, t.millisecond);
  return text;
}

bool IsReportStart(std::string_view text) {
  // Each accepted form, "9" standing for a digit.
  constexpr std::string_view kForms[] = {"9999-99-99", "9999-99-99T99", "9999-99-99T99:99",
                                         "9999-99-99T99:99:99"};
  for (std::string_view form : kForms) {
    if (form.size() != text.size()) continue;
    bool fits = true;
    for (std::size_t i = 0; i < form.size() && fits; ++i)
      fits = form[i] == '9' ? IsDigit(text[i]) : form[i] == text[i];
    if (fits) return true;
  }
  return false;
}

}  // namespace nolpa::app::plant
