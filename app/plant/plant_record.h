#pragma once
// The plant's record of codes: which code of which pool went into which
// printer at which station, and what became of the write. Stations take
// their codes from it, so no code goes into two printers anywhere in the
// plant. The SQL implementation keeps it in the plant's database
// (sql_plant_record.h); FakePlantRecord keeps it in memory for tests of
// the logic above it. Texts are UTF-8; times are UTC, ISO 8601 text
// ("2027-03-01T09:05:03.007Z"), as the station's audit log stamps them.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/database.h"

namespace nolpa::app::plant {

// The printer a code is meant for, as the station saw it.
struct PrinterIdentity {
  std::string device;        // the device path
  std::string product;       // the product text
  std::string location;      // the USB socket, where known; else empty
  std::string previousCode;  // the ID code it held before
};

// What became of a code, in the order a write goes through them. A later
// stage never gives way to an earlier one.
enum class Outcome {
  Reserved,  // taken for the printer; nothing known sent yet
  Pending,   // the printer took it and applies it at its next restart
  Written,   // written and read back
  Ng,        // not written as asked (the reason says why)
  Checked,   // a pending printer read back with it after its restart
};
const char* OutcomeName(Outcome outcome);  // "reserved", "pending", ...
std::optional<Outcome> OutcomeNamed(std::string_view name);
// 0 for Reserved, 1 for Pending, 2 for the final ones.
int OutcomeStage(Outcome outcome);

struct CodeRecord {
  std::int64_t id = 0;
  std::string code;
  std::string pool;  // empty: written by a set, from no pool
  std::string station;
  PrinterIdentity printer;
  std::string reservedAt;
  Outcome outcome = Outcome::Reserved;
  std::string reason;     // Ng: why
  std::string outcomeAt;  // empty while Reserved
};

struct Reservation {
  std::int64_t id = 0;
  std::string code;
};

enum class PlantStatus {
  Ok,
  Unreachable,  // the server did not answer or the connection broke
  NotSet,       // the database holds no schema of this program (db init)
  TooNew,       // its schema is newer than this program knows
  NoSuchPool,
  PoolExists,  // a pool of that name is there already
  PoolEmpty,   // no code of the pool is left to hand out
  CodeTaken,   // the code is in the plant's record already
  NoSuchRecord,
  Failed,  // the server refused a statement: Diagnostic() says why
};

class PlantRecord {
 public:
  virtual ~PlantRecord() = default;

  // Takes the first code of `pool` that no record of the plant holds (a
  // code is one code whatever the case of its ASCII letters) and records it
  // Reserved for `station` and `printer`, in one transaction, committed
  // before this returns Ok. Only on Ok may the code be sent to a printer;
  // on any other status nothing was handed out (after Unreachable a
  // reservation may have been kept, but its code is never handed out again
  // either way).
  virtual PlantStatus Reserve(const std::string& pool, const std::string& station,
                              const PrinterIdentity& printer, const std::string& time,
                              Reservation* reservation) = 0;

  // Records `code`, from no pool, as Reserved for `station` and `printer`
  // (a set that writes a code of its own); CodeTaken when the plant's
  // record holds it already.
  virtual PlantStatus ReserveCode(const std::string& code, const std::string& station,
                                  const PrinterIdentity& printer, const std::string& time,
                                  Reservation* reservation) = 0;

  // Sets the outcome of record `id`, as of `time`. Sending the same outcome
  // again changes nothing, and an outcome of an earlier stage than the one
  // recorded is passed over (Ok), so an outcome held back while the server
  // was away may be sent late and more than once.
  virtual PlantStatus RecordOutcome(std::int64_t id, Outcome outcome, const std::string& reason,
                                    const std::string& time) = 0;

  // The record of `code` (letters' case ignored), if any, in `records`.
  virtual PlantStatus FindByCode(const std::string& code, std::vector<CodeRecord>* records) = 0;

  // Every record of `station` for that printer: the same device path, or
  // the same product at the same known USB socket; oldest first.
  virtual PlantStatus FindByPrinter(const std::string& station, const PrinterIdentity& printer,
                                    std::vector<CodeRecord>* records) = 0;

  // The server's word on the last status other than Ok.
  virtual const platform::DatabaseDiagnostic& Diagnostic() const = 0;
};

}  // namespace nolpa::app::plant
