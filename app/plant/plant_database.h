#pragma once
// One connection to the plant's database, opened when first needed and
// opened again after it broke, with the schema checked on every opening;
// and the transaction every change of the record runs in.
#include <functional>
#include <memory>
#include <string>

#include "app/plant/plant_record.h"
#include "platform/database.h"

namespace nolpa::app::plant {

class PlantDatabase {
 public:
  PlantDatabase(platform::Databases& databases, std::string connectionString,
                platform::DatabaseBounds bounds = {})
      : databases_(databases), connectionString_(std::move(connectionString)), bounds_(bounds) {}

  // Connected, with the schema this program knows: Ok, Unreachable,
  // NotSet (no schema, or an older one) or TooNew. `schemaAny` skips the
  // check (db init makes or upgrades it), also for every later call.
  PlantStatus Open(bool schemaAny = false);
  // The open connection; only after Open gave Ok.
  platform::DatabaseConnection& Connection() { return *connection_; }

  // Runs `work` in one transaction and commits it. A statement's failure
  // inside `work` is reported by returning Failure(). The whole is tried
  // again, up to a few times, when the server asks for it (a serialization
  // failure or deadlock, a unique key another transaction took meanwhile);
  // a broken connection gives Unreachable at once, and the next Open
  // connects anew.
  PlantStatus Transaction(const std::function<PlantStatus(platform::DatabaseConnection&)>& work);
  // Runs one statement on its own (committed by itself).
  PlantStatus Run(std::string_view sql, const std::vector<platform::DatabaseValue>& parameters,
                  const platform::DatabaseRowSink& rows = {}, std::int64_t* affected = nullptr);

  // The status a failed statement of the connection stands for: Unreachable
  // when the connection broke, else Failed.
  PlantStatus Failure();
  const platform::DatabaseDiagnostic& Diagnostic() const { return diagnostic_; }
  // The schema version found at the last Open (0: none).
  int SchemaVersion() const { return version_; }

 private:
  PlantStatus ReadVersion();

  platform::Databases& databases_;
  std::string connectionString_;
  platform::DatabaseBounds bounds_;
  std::unique_ptr<platform::DatabaseConnection> connection_;
  platform::DatabaseDiagnostic diagnostic_;
  int version_ = 0;
  bool schemaAny_ = false;
};

}  // namespace nolpa::app::plant
