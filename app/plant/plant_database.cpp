#include "app/plant/plant_database.h"

#include "app/plant/plant_schema.h"

namespace nolpa::app::plant {

namespace {

// A transaction the server undid for a conflict with another one is tried
// again this many times before the failure is reported.
constexpr int kRetries = 8;

// Class 40: a transaction rolled back (serialization failure, deadlock);
// class 23: a unique key that a concurrent transaction took first.
bool WorthRetrying(const platform::DatabaseDiagnostic& d) {
  return d.sqlState.starts_with("40") || d.sqlState.starts_with("23");
}

}  // namespace

PlantStatus PlantDatabase::Open(bool schemaAny) {
  schemaAny_ = schemaAny_ || schemaAny;
  if (connection_ == nullptr) {
    connection_ = databases_.Connect(connectionString_, bounds_, &diagnostic_);
    if (connection_ == nullptr) return PlantStatus::Unreachable;
    if (const PlantStatus read = ReadVersion(); read != PlantStatus::Ok) return read;
  }
  if (schemaAny_) return PlantStatus::Ok;
  if (version_ > LatestSchemaVersion()) return PlantStatus::TooNew;
  return version_ < LatestSchemaVersion() ? PlantStatus::NotSet : PlantStatus::Ok;
}

PlantStatus PlantDatabase::ReadVersion() {
  const PlantStatus status = ReadSchemaVersion(*connection_, &version_, &diagnostic_);
  if (status != PlantStatus::Ok) connection_.reset();
  return status;
}

PlantStatus PlantDatabase::Failure() {
  if (connection_ != nullptr) diagnostic_ = connection_->Diagnostic();
  if (!platform::ConnectionLost(diagnostic_)) return PlantStatus::Failed;
  connection_.reset();
  return PlantStatus::Unreachable;
}

PlantStatus PlantDatabase::Transaction(
    const std::function<PlantStatus(platform::DatabaseConnection&)>& work) {
  for (int attempt = 0;; ++attempt) {
    if (const PlantStatus open = Open(); open != PlantStatus::Ok) return open;
    platform::DatabaseConnection& c = *connection_;
    if (!c.Begin()) return Failure();
    PlantStatus status = work(c);
    if (status == PlantStatus::Ok) {
      if (c.Commit()) return PlantStatus::Ok;
      status = Failure();
    } else if (connection_ != nullptr) {
      c.Rollback();
    }
    if (status != PlantStatus::Failed || attempt >= kRetries || !WorthRetrying(diagnostic_))
      return status;
  }
}

PlantStatus PlantDatabase::Run(std::string_view sql,
                               const std::vector<platform::DatabaseValue>& parameters,
                               const platform::DatabaseRowSink& rows, std::int64_t* affected) {
  if (const PlantStatus open = Open(); open != PlantStatus::Ok) return open;
  return connection_->Execute(sql, parameters, rows, affected) ? PlantStatus::Ok : Failure();
}

}  // namespace nolpa::app::plant
