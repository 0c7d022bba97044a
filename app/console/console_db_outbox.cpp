#include "app/console/console_db_outbox.h"

#include <cstdlib>
#include <optional>

#include "app/json_member.h"
#include "app/plant/plant_codes.h"

namespace nolpa::app::console {

namespace {

constexpr std::string_view kRecord = "plantRecord";
constexpr std::string_view kOutcome = "plantOutcome";
constexpr std::string_view kReason = "plantReason";
constexpr std::string_view kSent = "plantSent";

std::optional<std::int64_t> RecordId(std::string_view line) {
  const std::optional<std::string> text = JsonMemberText(line, kRecord);
  // Only the text the station writes: a number from 1, without sign,
  // spaces or leading zeros.
  if (!text || text->empty() || text->size() > 18 || text->front() == '0' ||
      text->find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  return std::strtoll(text->c_str(), nullptr, 10);
}

}  // namespace

void AddOutcomeMembers(JsonObject& line, const HeldOutcome& outcome) {
  line.Text(kRecord, std::to_string(outcome.record))
      .Text(kOutcome, plant::OutcomeName(outcome.outcome));
  if (!outcome.reason.empty()) line.Text(kReason, outcome.reason);
}

std::vector<HeldOutcome> UnsentOutcomes(std::string_view logText) {
  std::vector<HeldOutcome> held;
  while (!logText.empty()) {
    const std::size_t end = logText.find('\n');
    const std::string_view line = logText.substr(0, end);
    logText.remove_prefix(end == std::string_view::npos ? logText.size() : end + 1);
    if (line.find(kRecord) == std::string_view::npos) continue;
    const std::optional<std::int64_t> id = RecordId(line);
    if (!id) continue;
    if (const auto sent = JsonMemberText(line, kSent)) {
      std::erase_if(held, [&](const HeldOutcome& h) {
        return h.record == *id && plant::OutcomeName(h.outcome) == *sent;
      });
      continue;
    }
    const auto outcome = plant::OutcomeNamed(JsonMemberText(line, kOutcome).value_or(""));
    if (!outcome) continue;
    held.push_back({*id, *outcome, JsonMemberText(line, kReason).value_or(""),
                    JsonMemberText(line, "time").value_or("")});
  }
  return held;
}

std::string SentLine(const HeldOutcome& outcome, const std::string& time,
                     const std::string& program) {
  JsonObject line;
  line.Text("time", time).Text("program", program);
  line.Text(kRecord, std::to_string(outcome.record))
      .Text(kSent, plant::OutcomeName(outcome.outcome));
  return line.Json() + "\n";
}

OutboxResult SendUnsentOutcomes(plant::PlantRecord& record, std::string_view logText,
                                const std::string& now, const std::string& program,
                                const std::function<bool(const std::string& line)>& append) {
  OutboxResult result;
  const std::vector<HeldOutcome> held = UnsentOutcomes(logText);
  for (std::size_t i = 0; i < held.size(); ++i) {
    const HeldOutcome& h = held[i];
    const plant::PlantStatus s = record.RecordOutcome(h.record, h.outcome, h.reason, h.time);
    if (s == plant::PlantStatus::Unreachable) {
      result.status = s;
      result.left = held.size() - i;
      return result;
    }
    if (s != plant::PlantStatus::Ok) {
      ++result.refused;
      continue;
    }
    // A sent line that is lost sends the outcome once more, which changes nothing.
    append(SentLine(h, now, program));
    ++result.sent;
  }
  return result;
}

}  // namespace nolpa::app::console
