// What `db pools` and `db report` print: aligned columns for people, or
// one JSON array, or a CSV table as safe in a spreadsheet as list's.
#include "app/console/console_db.h"
#include "app/console/console_db_texts.h"
#include "app/console/console_listing.h"
#include "app/console/console_run.h"
#include "app/json_text.h"
#include "app/plant/plant_pools.h"

namespace nolpa::app::console {

using plant::PlantStatus;

namespace {

// A report's or a pool's fields in order: name, value (nothing: null).
using Fields = std::vector<std::pair<const char*, std::optional<std::string>>>;

std::optional<std::string> Given(const std::string& text) {
  if (text.empty()) return std::nullopt;
  return text;
}

Fields PoolFields(const plant::PoolSummary& p) {
  return {{"name", p.name},
          {"kind", std::string(p.counter ? "counter" : "list")},
          {"next", Given(p.next)},
          {"left", std::to_string(p.left)},
          {"handedOut", std::to_string(p.handedOut)},
          {"createdAt", p.createdAt}};
}

Fields RecordFields(const plant::CodeRecord& r) {
  return {{"record", std::to_string(r.id)},
          {"code", r.code},
          {"pool", Given(r.pool)},
          {"station", r.station},
          {"product", r.printer.product},
          {"device", r.printer.device},
          {"location", Given(r.printer.location)},
          {"previousCode", r.printer.previousCode},
          {"reservedAt", r.reservedAt},
          {"outcome", std::string(plant::OutcomeName(r.outcome))},
          {"reason", Given(r.reason)},
          {"outcomeAt", Given(r.outcomeAt)}};
}

// Numbers stay numbers in the JSON.
bool IsNumber(std::string_view name) {
  return name == "left" || name == "handedOut" || name == "record";
}

std::string Json(const Fields& fields) {
  JsonObject object;
  for (const auto& [name, value] : fields) {
    if (!value) {
      object.Null(name);
    } else if (IsNumber(name)) {
      object.Number(name, std::stoll(*value));
    } else {
      object.Text(name, *value);
    }
  }
  return object.Json();
}

std::string Csv(const Fields& fields, bool header) {
  std::string line;
  for (const auto& [name, value] : fields)
    line += (line.empty() ? "" : ",") + (header ? std::string(name) : CsvField(value.value_or("")));
  return line;
}

// Prints rows one by one as JSON or CSV, or keeps them for a table.
class Printer {
 public:
  Printer(const Options& options, ConsoleOutput& output) : o_(options), output_(output) {}
  void Row(const Fields& fields, std::vector<std::string> cells) {
    if (o_.json) {
      output_.Result((count_ == 0 ? "[" : ",") + Json(fields));
    } else if (o_.csv) {
      if (count_ == 0) output_.Result(Csv(fields, true));
      output_.Result(Csv(fields, false));
    } else {
      rows_.push_back(std::move(cells));
    }
    ++count_;
  }
  // Ends the JSON array, or prints the table under `heads` (tab-separated).
  void End(const std::string& heads, const std::string& none, const Fields& empty) {
    if (o_.json) {
      output_.Result(count_ == 0 ? "[]" : "]");
      return;
    }
    if (o_.csv) {
      if (count_ == 0) output_.Result(Csv(empty, true));
      return;
    }
    if (count_ == 0) {
      output_.Result(none);
      return;
    }
    std::vector<std::string> head;
    for (std::size_t at = 0; at <= heads.size();) {
      const std::size_t tab = std::min(heads.find('\t', at), heads.size());
      head.push_back(heads.substr(at, tab - at));
      at = tab + 1;
    }
    rows_.insert(rows_.begin(), head);
    for (const std::string& line : AlignedLines(rows_)) output_.Result(line);
  }

 private:
  const Options& o_;
  ConsoleOutput& output_;
  std::size_t count_ = 0;
  std::vector<std::vector<std::string>> rows_;
};

}  // namespace

int DbPools(plant::PlantDatabase& database, const Options& options, ConsoleOutput& output,
            bool japanese) {
  std::vector<plant::PoolSummary> pools;
  if (const PlantStatus s = plant::ListPools(database, &pools); s != PlantStatus::Ok)
    return SayPlantFailure(s, database, "", output, japanese);
  Printer printer(options, output);
  for (const plant::PoolSummary& p : pools)
    printer.Row(PoolFields(p), {p.name, SayDb(p.counter ? DbText::Counter : DbText::List, japanese),
                                p.next.empty() ? "-" : p.next, std::to_string(p.left),
                                std::to_string(p.handedOut)});
  printer.End(SayDb(DbText::PoolHeads, japanese), SayDb(DbText::NoPools, japanese), PoolFields({}));
  return kMatches;
}

int DbReport(plant::PlantDatabase& database, const Options& options, ConsoleOutput& output,
             bool japanese) {
  Printer printer(options, output);
  const plant::ReportFilter filter{options.pool, options.since};
  const PlantStatus s = plant::Report(database, filter, [&](const plant::CodeRecord& r) {
    printer.Row(RecordFields(r),
                {std::to_string(r.id), r.code, r.pool.empty() ? "-" : r.pool, r.station,
                 r.printer.product, r.reservedAt, plant::OutcomeName(r.outcome),
                 r.reason.empty() ? "-" : r.reason, r.outcomeAt.empty() ? "-" : r.outcomeAt});
  });
  if (s == PlantStatus::NoSuchPool) {
    std::vector<plant::PoolSummary> pools;
    std::string names;
    if (plant::ListPools(database, &pools) == PlantStatus::Ok)
      for (const plant::PoolSummary& p : pools) names += (names.empty() ? "" : ", ") + p.name;
    output.Error(SayDb(DbText::NoSuchPool, japanese, {*options.pool, names.empty() ? "-" : names}));
    return kUsage;
  }
  if (s != PlantStatus::Ok) return SayPlantFailure(s, database, "", output, japanese);
  printer.End(SayDb(DbText::ReportHeads, japanese), SayDb(DbText::NothingHandedOut, japanese),
              RecordFields({}));
  return kMatches;
}

}  // namespace nolpa::app::console
