#pragma once
// Small rules of the plant's record that hold no SQL.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/log_files.h"

namespace nolpa::app::plant {

// The key a code is kept unique by: its ASCII letters in upper case, every
// other byte as it is (the station compares codes so, as Windows compares
// device names).
std::string CodeKey(std::string_view code);

// How many codes a counter still gives from `next` on, `next` included:
// its last run of digits counted up to all nines ("LINE3-9998": 2). At most
// INT64_MAX; 0 when `next` has no digits.
std::int64_t CountedCodesLeft(std::string_view next);

// "2027-03-01T09:05:03.007Z".
std::string IsoTime(const platform::UtcTime& time);

// A date or time the report may start from: "2027-03-01", "2027-03-01T09",
// "2027-03-01T09:05" or "2027-03-01T09:05:03", in UTC; compared as text with
// the stored times. False for anything else.
bool IsReportStart(std::string_view text);

}  // namespace nolpa::app::plant
