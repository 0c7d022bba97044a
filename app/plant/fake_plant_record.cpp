#include "app/plant/fake_plant_record.h"

#include "app/plant/plant_codes.h"

namespace nolpa::app::plant {

void FakePlantRecord::AddCounterPool(const std::string& name, const std::string& first) {
  pools_[name] = Pool{true, first, {}, 0};
}

void FakePlantRecord::AddListPool(const std::string& name, std::vector<std::string> codes) {
  pools_[name] = Pool{false, std::nullopt, std::move(codes), 0};
}

PlantStatus FakePlantRecord::Away() {
  diagnostic_ = {"08S01", 0, "The fake plant record is switched unreachable."};
  return PlantStatus::Unreachable;
}

bool FakePlantRecord::Taken(const std::string& code) const {
  for (const CodeRecord& r : records_)
    if (CodeKey(r.code) == CodeKey(code)) return true;
  return false;
}

std::optional<std::string> FakePlantRecord::Candidate(Pool& pool) {
  if (!pool.counter) {
    if (pool.position >= pool.codes.size()) return std::nullopt;
    return pool.codes[pool.position++];
  }
  std::optional<std::string> code = pool.next;
  if (code) pool.next = nextCode_(*code);
  return code;
}

void FakePlantRecord::Add(const std::string& code, const std::string& pool,
                          const std::string& station, const PrinterIdentity& printer,
                          const std::string& time, Reservation* reservation) {
  CodeRecord r;
  r.id = static_cast<std::int64_t>(records_.size()) + 1;
  r.code = code;
  r.pool = pool;
  r.station = station;
  r.printer = printer;
  r.reservedAt = time;
  records_.push_back(r);
  *reservation = {r.id, code};
}

PlantStatus FakePlantRecord::Reserve(const std::string& pool, const std::string& station,
                                     const PrinterIdentity& printer, const std::string& time,
                                     Reservation* reservation) {
  if (!reachable_) return Away();
  const auto found = pools_.find(pool);
  if (found == pools_.end()) return PlantStatus::NoSuchPool;
  Pool trial = found->second;  // the cursor moves only when a code is handed out
  for (std::optional<std::string> code = Candidate(trial); code; code = Candidate(trial)) {
    if (Taken(*code)) continue;
    found->second = trial;
    Add(*code, pool, station, printer, time, reservation);
    return PlantStatus::Ok;
  }
  return PlantStatus::PoolEmpty;
}

PlantStatus FakePlantRecord::ReserveCode(const std::string& code, const std::string& station,
                                         const PrinterIdentity& printer, const std::string& time,
                                         Reservation* reservation) {
  if (!reachable_) return Away();
  if (Taken(code)) return PlantStatus::CodeTaken;
  Add(code, "", station, printer, time, reservation);
  return PlantStatus::Ok;
}

PlantStatus FakePlantRecord::RecordOutcome(std::int64_t id, Outcome outcome,
                                           const std::string& reason, const std::string& time) {
  if (!reachable_) return Away();
  if (id < 1 || id > static_cast<std::int64_t>(records_.size())) return PlantStatus::NoSuchRecord;
  CodeRecord& r = records_[static_cast<std::size_t>(id - 1)];
  if (OutcomeStage(outcome) < OutcomeStage(r.outcome)) return PlantStatus::Ok;
  r.outcome = outcome;
  r.reason = reason;
  r.outcomeAt = time;
  return PlantStatus::Ok;
}

PlantStatus FakePlantRecord::FindByCode(const std::string& code, std::vector<CodeRecord>* records) {
  if (!reachable_) return Away();
  records->clear();
  for (const CodeRecord& r : records_)
    if (CodeKey(r.code) == CodeKey(code)) records->push_back(r);
  return PlantStatus::Ok;
}

PlantStatus FakePlantRecord::FindByPrinter(const std::string& station,
                                           const PrinterIdentity& printer,
                                           std::vector<CodeRecord>* records) {
  if (!reachable_) return Away();
  records->clear();
  for (const CodeRecord& r : records_) {
    const bool sameSocket = !r.printer.location.empty() && r.printer.location == printer.location &&
                            r.printer.product == printer.product;
    if (r.station == station && (r.printer.device == printer.device || sameSocket))
      records->push_back(r);
  }
  return PlantStatus::Ok;
}

}  // namespace nolpa::app::plant
