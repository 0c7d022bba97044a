#pragma once
// The plant's record in memory, for tests of the logic that uses it (the
// station, set, check): the same rules as the database's (a code once
// recorded is never handed out again, outcomes never step back), a switch
// that makes the server unreachable, and the records to look at. No SQL.
#include <map>
#include <string>
#include <vector>

#include "app/plant/plant_record.h"
#include "app/plant/sql_plant_record.h"

namespace nolpa::app::plant {

class FakePlantRecord final : public PlantRecord {
 public:
  explicit FakePlantRecord(NextCode nextCode) : nextCode_(std::move(nextCode)) {}

  void AddCounterPool(const std::string& name, const std::string& first);
  void AddListPool(const std::string& name, std::vector<std::string> codes);
  // While false every call answers Unreachable and changes nothing.
  void SetReachable(bool reachable) { reachable_ = reachable; }
  const std::vector<CodeRecord>& Records() const { return records_; }

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
  const platform::DatabaseDiagnostic& Diagnostic() const override { return diagnostic_; }

 private:
  struct Pool {
    bool counter = true;
    std::optional<std::string> next;  // a counter's
    std::vector<std::string> codes;   // a list's
    std::size_t position = 0;
  };
  PlantStatus Away();
  bool Taken(const std::string& code) const;
  std::optional<std::string> Candidate(Pool& pool);
  void Add(const std::string& code, const std::string& pool, const std::string& station,
           const PrinterIdentity& printer, const std::string& time, Reservation* reservation);

  NextCode nextCode_;
  bool reachable_ = true;
  std::map<std::string, Pool> pools_;
  std::vector<CodeRecord> records_;
  platform::DatabaseDiagnostic diagnostic_;
};

}  // namespace nolpa::app::plant
