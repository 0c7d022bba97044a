#include "app/plant/plant_schema.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace nolpa::app::plant {

namespace {

// Each migration: the statements that lead from the version before it to
// its own. Types and constraints of SQL-92, which most servers take, and
// the record's number as an identity column (SQL:2003; PostgreSQL 10 on).
// Times are UTC text (ISO 8601), so they compare and sort as text on any
// server; codes are unique by their key (CodeKey) across the plant.
const std::vector<std::vector<const char*>> kMigrations = {
    // 1: pools, their listed codes, the record of every code handed out.
    {
        "CREATE TABLE nolpa_schema (version INTEGER NOT NULL)",
        "CREATE TABLE nolpa_pools ("
        " name VARCHAR(100) NOT NULL PRIMARY KEY,"
        " kind VARCHAR(10) NOT NULL,"       // "counter" or "list"
        " next_code VARCHAR(80),"           // a counter's next code; NULL once it ran over
        " next_position INTEGER NOT NULL,"  // a list's next position, from 1
        " list_size INTEGER NOT NULL,"
        " handed_out INTEGER NOT NULL,"
        " created_at VARCHAR(32) NOT NULL)",
        "CREATE TABLE nolpa_pool_codes ("
        " pool_name VARCHAR(100) NOT NULL REFERENCES nolpa_pools (name),"
        " position INTEGER NOT NULL,"
        " code VARCHAR(80) NOT NULL,"
        " code_key VARCHAR(80) NOT NULL,"
        " PRIMARY KEY (pool_name, position))",
        "CREATE TABLE nolpa_codes ("
        " record_id INTEGER GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"
        " code VARCHAR(80) NOT NULL,"
        " code_key VARCHAR(80) NOT NULL UNIQUE,"
        " pool_name VARCHAR(100),"
        " station VARCHAR(100) NOT NULL,"
        " device VARCHAR(1000) NOT NULL,"
        " product VARCHAR(255) NOT NULL,"
        " location VARCHAR(255) NOT NULL,"
        " previous_code VARCHAR(255) NOT NULL,"
        " reserved_at VARCHAR(32) NOT NULL,"
        " outcome VARCHAR(10) NOT NULL,"
        " outcome_stage INTEGER NOT NULL,"
        " reason VARCHAR(1000),"
        " outcome_at VARCHAR(32))",
        "CREATE INDEX nolpa_codes_by_time ON nolpa_codes (reserved_at)",
        "CREATE INDEX nolpa_codes_by_device ON nolpa_codes (station, device)",
        "INSERT INTO nolpa_schema (version) VALUES (1)",
    },
};

// Applies migration `to` (from 1) in one transaction.
PlantStatus Apply(PlantDatabase& database, int to) {
  return database.Transaction([&](platform::DatabaseConnection& c) {
    for (const char* statement : kMigrations[static_cast<std::size_t>(to - 1)])
      if (!c.Execute(statement, {})) return database.Failure();
    if (to == 1) return PlantStatus::Ok;  // its own INSERT names the version
    std::int64_t moved = 0;
    if (!c.Execute("UPDATE nolpa_schema SET version = ? WHERE version = ?",
                   {platform::DatabaseValue::Of(std::int64_t{to}),
                    platform::DatabaseValue::Of(std::int64_t{to - 1})},
                   {}, &moved))
      return database.Failure();
    return moved == 1 ? PlantStatus::Ok : PlantStatus::Failed;
  });
}

}  // namespace

int LatestSchemaVersion() { return static_cast<int>(kMigrations.size()); }

PlantStatus ReadSchemaVersion(platform::DatabaseConnection& connection, int* version,
                              platform::DatabaseDiagnostic* diagnostic) {
  std::optional<std::string> text;
  const bool read = connection.Execute("SELECT version FROM nolpa_schema", {},
                                       [&](const platform::DatabaseRow& row) {
                                         text = row.at(0);
                                         return false;
                                       });
  if (!read) {
    *diagnostic = connection.Diagnostic();
    if (platform::ConnectionLost(*diagnostic)) return PlantStatus::Unreachable;
    *version = 0;  // no such table: a database this program never set up
    return PlantStatus::Ok;
  }
  *version = text ? std::atoi(text->c_str()) : 0;
  return PlantStatus::Ok;
}

PlantStatus MigrateSchema(PlantDatabase& database, int* from, int* to) {
  if (const PlantStatus open = database.Open(true); open != PlantStatus::Ok) return open;
  *from = *to = database.SchemaVersion();
  if (*from > LatestSchemaVersion()) return PlantStatus::TooNew;
  for (int next = *from + 1; next <= LatestSchemaVersion(); ++next) {
    const PlantStatus applied = Apply(database, next);
    if (applied == PlantStatus::Unreachable) return applied;
    if (applied != PlantStatus::Ok) {
      // Another program may have applied it meanwhile: then go on.
      int now = 0;
      platform::DatabaseDiagnostic unused;
      if (database.Open(true) != PlantStatus::Ok ||
          ReadSchemaVersion(database.Connection(), &now, &unused) != PlantStatus::Ok || now < next)
        return applied;
      if (now > LatestSchemaVersion()) return PlantStatus::TooNew;
      next = now;
    }
    *to = next;
  }
  return PlantStatus::Ok;
}

}  // namespace nolpa::app::plant
