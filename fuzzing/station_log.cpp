// What a station reads before it hands out a code: its audit log (any
// bytes, one JSON object a line) and its code list.
#include <algorithm>

#include "app/console/station_codes.h"
#include "app/json_member.h"
#include "app/json_text.h"
#include "fuzzing/support/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace console = nolpa::app::console;
  const std::string_view text = nolpa::fuzz::AsText({data, size});
  const std::size_t lines =
      static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;

  std::size_t unreadable = 0;
  const console::UsedCodes used = console::CodesInLog(text, &unreadable);
  FUZZ_CHECK(used.Size() + unreadable <= lines);
  // A write the log holds as pending names a code the log uses up.
  for (const console::PendingWrite& pending : console::PendingInLog(text))
    FUZZ_CHECK(used.Contains(pending.newIdCode));

  // A text member read back and written again reads back once more.
  if (const auto code = nolpa::app::JsonMemberText(text, "newIdCode")) {
    const std::string again = "{\"newIdCode\":" + nolpa::app::JsonString(*code) + "}";
    const auto back = nolpa::app::JsonMemberText(again, "newIdCode");
    FUZZ_CHECK(back.has_value());
    FUZZ_CHECK(nolpa::app::JsonMemberText("{\"newIdCode\":" + nolpa::app::JsonString(*back) + "}",
                                          "newIdCode") == back);
  }

  // The code list: whole lines, never a blank one; the next code is unused.
  const std::vector<std::string> list = console::CodeListLines(text);
  for (const std::string& code : list) {
    FUZZ_CHECK(!code.empty() && code.find('\n') == std::string::npos);
    FUZZ_CHECK(code.find_first_not_of(" \t\r") != std::string::npos);
  }
  if (const auto next = console::CodeSource::FromList(list).Next(used))
    FUZZ_CHECK(!used.Contains(*next) && std::find(list.begin(), list.end(), *next) != list.end());

  // Counting up keeps the length and moves on.
  const std::string first(text.substr(0, 32));
  if (const auto counted = console::NextCountedCode(first)) {
    FUZZ_CHECK(counted->size() == first.size() && *counted != first);
    if (const auto next = console::CodeSource::CountingFrom(first).Next(used))
      FUZZ_CHECK(!used.Contains(*next) && next->size() == first.size());
  }
  return 0;
}
