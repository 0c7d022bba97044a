// The outcomes a station's audit log holds back for the plant's database
// (any bytes, one JSON object a line): the ones no later line marks sent.
// The model takes for granted that each line the station appends starts on
// a line of its own (the log's appender ends a torn last line first), that
// an outcome line and its sent line name the record by the same text, and
// that one record's outcome of one stage is sent whole. The input breaks
// each: a torn last line, ids with signs, spaces or leading zeros, sent
// lines of another stage, the same outcome twice, lines two writers joined.
#include <set>

#include "app/console/console_db_outbox.h"
#include "app/plant/plant_codes.h"
#include "fuzzing/support/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace console = nolpa::app::console;
  const std::string_view text = nolpa::fuzz::AsText({data, size});
  const std::vector<console::HeldOutcome> held = console::UnsentOutcomes(text);
  for (const console::HeldOutcome& h : held) {
    FUZZ_CHECK(h.record > 0);
    // The id is in the log as its own text.
    FUZZ_CHECK(text.find("\"" + std::to_string(h.record) + "\"") != std::string_view::npos);
    FUZZ_CHECK(nolpa::app::plant::OutcomeNamed(nolpa::app::plant::OutcomeName(h.outcome)));
  }
  // Each held outcome marked sent, on lines of their own: nothing is held
  // any more, so nothing is sent twice.
  std::string marked(text);
  if (!marked.empty() && marked.back() != '\n') marked += '\n';
  for (const console::HeldOutcome& h : held) marked += console::SentLine(h, "T", "NOLPAIDC");
  FUZZ_CHECK(console::UnsentOutcomes(marked).empty());
  // An outcome line appended after them is held again, alone.
  nolpa::app::JsonObject line;
  console::AddOutcomeMembers(line, {7, nolpa::app::plant::Outcome::Written, "r", "T"});
  const std::vector<console::HeldOutcome> again =
      console::UnsentOutcomes(marked + line.Json() + "\n");
  FUZZ_CHECK(again.size() == 1 && again[0].record == 7 && again[0].reason == "r");
  return 0;
}
