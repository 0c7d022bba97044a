#include "app/plant/sql_plant_record.h"

#include <cstdlib>

#include "app/plant/plant_codes.h"

namespace nolpa::app::plant {

using platform::DatabaseConnection;
using platform::DatabaseRow;
using platform::DatabaseValue;

const char kRecordColumns[] =
    "record_id, code, pool_name, station, device, product, location, previous_code, "
    "reserved_at, outcome, reason, outcome_at";

namespace {

std::string Text(const DatabaseRow& row, std::size_t column) {
  return column < row.size() ? row[column].value_or("") : "";
}

std::int64_t Number(const std::optional<std::string>& text) {
  return text ? std::strtoll(text->c_str(), nullptr, 10) : 0;
}

DatabaseValue Of(const std::string& text) { return DatabaseValue::Of(text); }
DatabaseValue Of(std::int64_t value) { return DatabaseValue::Of(value); }

}  // namespace

CodeRecord RecordOf(const DatabaseRow& row) {
  CodeRecord r;
  r.id = Number(row.empty() ? std::nullopt : row[0]);
  r.code = Text(row, 1);
  r.pool = Text(row, 2);
  r.station = Text(row, 3);
  r.printer = {Text(row, 4), Text(row, 5), Text(row, 6), Text(row, 7)};
  r.reservedAt = Text(row, 8);
  r.outcome = OutcomeNamed(Text(row, 9)).value_or(Outcome::Reserved);
  r.reason = Text(row, 10);
  r.outcomeAt = Text(row, 11);
  return r;
}

struct SqlPlantRecord::Cursor {
  bool counter = true;
  std::optional<std::string> nextCode;  // a counter's
  std::int64_t nextPosition = 1;        // a list's
  std::int64_t listSize = 0;
};

PlantStatus SqlPlantRecord::ReadCursor(DatabaseConnection& c, const std::string& pool,
                                       Cursor* cursor) {
  bool found = false;
  const bool read = c.Execute(
      "SELECT kind, next_code, next_position, list_size FROM nolpa_pools WHERE name = ? "
      "FOR UPDATE",
      {Of(pool)}, [&](const DatabaseRow& row) {
        found = true;
        cursor->counter = Text(row, 0) == "counter";
        cursor->nextCode = row.at(1);
        cursor->nextPosition = Number(row.at(2));
        cursor->listSize = Number(row.at(3));
        return false;
      });
  if (!read) return db_.Failure();
  return found ? PlantStatus::Ok : PlantStatus::NoSuchPool;
}

PlantStatus SqlPlantRecord::Taken(DatabaseConnection& c, const std::string& code, bool* taken) {
  *taken = false;
  if (!c.Execute("SELECT record_id FROM nolpa_codes WHERE code_key = ?", {Of(CodeKey(code))},
                 [&](const DatabaseRow&) {
                   *taken = true;
                   return false;
                 }))
    return db_.Failure();
  return PlantStatus::Ok;
}

// Records `code` unless the plant holds its key already (`*inserted` false).
PlantStatus SqlPlantRecord::Insert(DatabaseConnection& c, const std::string& code,
                                   const std::optional<std::string>& pool,
                                   const std::string& station, const PrinterIdentity& printer,
                                   const std::string& time, bool* inserted) {
  const std::string key = CodeKey(code);
  const std::vector<DatabaseValue> values = {Of(code),
                                             Of(key),
                                             pool ? Of(*pool) : DatabaseValue::Null(),
                                             Of(station),
                                             Of(printer.device),
                                             Of(printer.product),
                                             Of(printer.location),
                                             Of(printer.previousCode),
                                             Of(time),
                                             Of(OutcomeName(Outcome::Reserved)),
                                             Of(key)};
  std::int64_t added = 0;
  if (!c.Execute("INSERT INTO nolpa_codes (code, code_key, pool_name, station, device, product, "
                 "location, previous_code, reserved_at, outcome, outcome_stage) "
                 "SELECT ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0 FROM nolpa_schema WHERE NOT EXISTS "
                 "(SELECT 1 FROM nolpa_codes WHERE code_key = ?)",
                 values, {}, &added))
    return db_.Failure();
  *inserted = added == 1;
  return PlantStatus::Ok;
}

// The number the server gave the committed record of `code`; asked after
// the commit, so the pool's lock is not held for it.
PlantStatus SqlPlantRecord::Numbered(PlantStatus committed, const std::string& code,
                                     Reservation* reservation) {
  if (committed != PlantStatus::Ok) return committed;
  std::int64_t id = 0;
  const PlantStatus s = db_.Run("SELECT record_id FROM nolpa_codes WHERE code_key = ?",
                                {Of(CodeKey(code))}, [&](const DatabaseRow& row) {
                                  id = Number(row.at(0));
                                  return false;
                                });
  if (s != PlantStatus::Ok) return s;
  *reservation = {id, code};
  return id > 0 ? PlantStatus::Ok : PlantStatus::Failed;
}

PlantStatus SqlPlantRecord::NextCandidate(DatabaseConnection& c, const std::string& pool,
                                          Cursor* cursor, std::optional<std::string>* code) {
  code->reset();
  if (cursor->counter) {
    *code = cursor->nextCode;
    if (*code) cursor->nextCode = nextCode_(**code);
    return PlantStatus::Ok;
  }
  if (cursor->nextPosition > cursor->listSize) return PlantStatus::Ok;
  if (!c.Execute("SELECT code FROM nolpa_pool_codes WHERE pool_name = ? AND position = ?",
                 {Of(pool), Of(cursor->nextPosition)}, [&](const DatabaseRow& row) {
                   *code = row.at(0);
                   return false;
                 }))
    return db_.Failure();
  ++cursor->nextPosition;
  return PlantStatus::Ok;
}

PlantStatus SqlPlantRecord::Reserve(const std::string& pool, const std::string& station,
                                    const PrinterIdentity& printer, const std::string& time,
                                    Reservation* reservation) {
  std::string code;
  const PlantStatus committed = db_.Transaction([&](DatabaseConnection& c) {
    // The pool's row stays locked to the commit: its reservations follow
    // one another.
    Cursor cursor;
    if (const PlantStatus s = ReadCursor(c, pool, &cursor); s != PlantStatus::Ok) return s;
    // The cursor moves past every code the plant holds already.
    for (bool inserted = false; !inserted;) {
      std::optional<std::string> candidate;
      if (const PlantStatus s = NextCandidate(c, pool, &cursor, &candidate); s != PlantStatus::Ok)
        return s;
      if (!candidate) return PlantStatus::PoolEmpty;
      code = *candidate;
      const PlantStatus s = Insert(c, code, pool, station, printer, time, &inserted);
      if (s != PlantStatus::Ok) return s;
    }
    const DatabaseValue next = cursor.nextCode ? Of(*cursor.nextCode) : DatabaseValue::Null();
    if (!c.Execute("UPDATE nolpa_pools SET next_code = ?, next_position = ?, "
                   "handed_out = handed_out + 1 WHERE name = ?",
                   {next, Of(cursor.nextPosition), Of(pool)}))
      return db_.Failure();
    return PlantStatus::Ok;
  });
  return Numbered(committed, code, reservation);
}

PlantStatus SqlPlantRecord::ReserveCode(const std::string& code, const std::string& station,
                                        const PrinterIdentity& printer, const std::string& time,
                                        Reservation* reservation) {
  const PlantStatus committed = db_.Transaction([&](DatabaseConnection& c) {
    bool taken = false;
    if (const PlantStatus s = Taken(c, code, &taken); s != PlantStatus::Ok) return s;
    if (taken) return PlantStatus::CodeTaken;
    bool inserted = false;
    const PlantStatus s = Insert(c, code, std::nullopt, station, printer, time, &inserted);
    return s == PlantStatus::Ok && !inserted ? PlantStatus::CodeTaken : s;
  });
  return Numbered(committed, code, reservation);
}

PlantStatus SqlPlantRecord::RecordOutcome(std::int64_t id, Outcome outcome,
                                          const std::string& reason, const std::string& time) {
  const std::int64_t stage = OutcomeStage(outcome);
  std::int64_t changed = 0;
  PlantStatus s = db_.Run(
      "UPDATE nolpa_codes SET outcome = ?, outcome_stage = ?, reason = ?, outcome_at = ? "
      "WHERE record_id = ? AND outcome_stage <= ?",
      {Of(OutcomeName(outcome)), Of(stage), reason.empty() ? DatabaseValue::Null() : Of(reason),
       Of(time), Of(id), Of(stage)},
      {}, &changed);
  if (s != PlantStatus::Ok || changed > 0) return s;
  // Nothing changed: a later stage is recorded already, or no such record.
  bool known = false;
  s = db_.Run("SELECT record_id FROM nolpa_codes WHERE record_id = ?", {Of(id)},
              [&](const DatabaseRow&) {
                known = true;
                return false;
              });
  if (s != PlantStatus::Ok) return s;
  return known ? PlantStatus::Ok : PlantStatus::NoSuchRecord;
}

PlantStatus SqlPlantRecord::Select(std::string_view where, const std::vector<DatabaseValue>& values,
                                   std::vector<CodeRecord>* records) {
  records->clear();
  const std::string sql = std::string("SELECT ") + kRecordColumns + " FROM nolpa_codes WHERE " +
                          std::string(where) + " ORDER BY record_id";
  return db_.Run(sql, values, [&](const DatabaseRow& row) {
    records->push_back(RecordOf(row));
    return true;
  });
}

PlantStatus SqlPlantRecord::FindByCode(const std::string& code, std::vector<CodeRecord>* records) {
  return Select("code_key = ?", {Of(CodeKey(code))}, records);
}

PlantStatus SqlPlantRecord::FindByPrinter(const std::string& station,
                                          const PrinterIdentity& printer,
                                          std::vector<CodeRecord>* records) {
  return Select("station = ? AND (device = ? OR (location <> '' AND location = ? AND product = ?))",
                {Of(station), Of(printer.device), Of(printer.location), Of(printer.product)},
                records);
}

}  // namespace nolpa::app::plant
