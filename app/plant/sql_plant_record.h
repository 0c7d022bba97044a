#pragma once
// The plant's record in the plant's database, over the database interface.
// Every change is one transaction; a broken connection is opened again at
// the next call.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/plant/plant_database.h"
#include "app/plant/plant_record.h"

namespace nolpa::app::plant {

// The code after `code` in a counter, or nothing when it ran over (the
// station's own counting is given here).
using NextCode = std::function<std::optional<std::string>(std::string_view code)>;

class SqlPlantRecord final : public PlantRecord {
 public:
  SqlPlantRecord(PlantDatabase& database, NextCode nextCode)
      : db_(database), nextCode_(std::move(nextCode)) {}

  PlantStatus Reserve(const std::string& pool, const std::string& station,
                      const PrinterIdentity& printer, const std::string& time,
                      Reservation* reservation) override;
  PlantStatus ReserveCode(const std::string& code, const std::string& station,
                          const PrinterIdentity& printer, const std::string& time,
                          Reservation* reservation) override;
  PlantStatus RecordOutcome(std::int64_t id, Outcome outcome, const std::string& reason,
                            const std::string& time) override;
  PlantStatus FindByCode(const std::string& code, std::vector<CodeRecord>* records) override;
  PlantStatus FindByPrinter(const std::string& station, const PrinterIdentity& printer,
                            std::vector<CodeRecord>* records) override;
  const platform::DatabaseDiagnostic& Diagnostic() const override { return db_.Diagnostic(); }

 private:
  struct Cursor;
  PlantStatus ReadCursor(platform::DatabaseConnection& c, const std::string& pool, Cursor* cursor);
  PlantStatus NextCandidate(platform::DatabaseConnection& c, const std::string& pool,
                            Cursor* cursor, std::optional<std::string>* code);
  PlantStatus Taken(platform::DatabaseConnection& c, const std::string& code, bool* taken);
  PlantStatus Insert(platform::DatabaseConnection& c, const std::string& code,
                     const std::optional<std::string>& pool, const std::string& station,
                     const PrinterIdentity& printer, const std::string& time, bool* inserted);
  PlantStatus Numbered(PlantStatus committed, const std::string& code, Reservation* reservation);
  PlantStatus Select(std::string_view where, const std::vector<platform::DatabaseValue>& values,
                     std::vector<CodeRecord>* records);

  PlantDatabase& db_;
  NextCode nextCode_;
};

// The columns a record is read from, in the order RecordOf takes them.
extern const char kRecordColumns[];
CodeRecord RecordOf(const platform::DatabaseRow& row);

}  // namespace nolpa::app::plant
