#pragma once
// Outcomes that wait in the station's audit log for the plant's database.
// The station writes each outcome into its local log first, on the line of
// that printer's outcome, with the record's id:
//   "plantRecord":"17","plantOutcome":"written"[,"plantReason":"..."]
// (the id is a text). Once the database took it, a line of its own says so:
//   {"time":...,"program":...,"plantRecord":"17","plantSent":"written"}
// An outcome the database could not take (server down, network cut) stays
// unsent in the log and is sent when it answers again: at the next printer
// or the next start. The database's update is idempotent, so an outcome
// whose sent line was lost is sent again without harm: each is recorded
// once.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/json_text.h"
#include "app/plant/plant_record.h"

namespace nolpa::app::console {

struct HeldOutcome {
  std::int64_t record = 0;
  plant::Outcome outcome = plant::Outcome::Reserved;
  std::string reason;
  std::string time;  // the line's own time: when the outcome was known
};

// The members an outcome line carries, added to `line`.
void AddOutcomeMembers(JsonObject& line, const HeldOutcome& outcome);

// The outcomes that lines of `logText` carry and no later line marks sent,
// in the log's order.
std::vector<HeldOutcome> UnsentOutcomes(std::string_view logText);

// The line (a line feed ends it) that marks `outcome` sent.
std::string SentLine(const HeldOutcome& outcome, const std::string& time,
                     const std::string& program);

struct OutboxResult {
  std::size_t sent = 0;     // taken by the database, sent line appended
  std::size_t refused = 0;  // the database refused them (no such record): left in the log
  std::size_t left = 0;     // not sent, the database being away
  plant::PlantStatus status = plant::PlantStatus::Ok;  // Unreachable when it went away meanwhile
};

// Sends the unsent outcomes of `logText`, oldest first, through `record`;
// `append` is given the sent line of each the database took (`now` is its
// time). Stops at the first Unreachable: the rest stay for the next time.
OutboxResult SendUnsentOutcomes(plant::PlantRecord& record, std::string_view logText,
                                const std::string& now, const std::string& program,
                                const std::function<bool(const std::string& line)>& append);

}  // namespace nolpa::app::console
