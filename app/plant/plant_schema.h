#pragma once
// The plant database's schema belongs to this program: numbered migrations,
// each applied in one transaction with the version it leads to, so a
// database is always at one version. `db init` applies the missing ones;
// a database at a version above kSchemaVersion is left untouched.
#include "app/plant/plant_database.h"

namespace nolpa::app::plant {

// The version this program's migrations lead to.
int LatestSchemaVersion();

// The version the database's schema table names: 0 when there is none.
// Unreachable when the server cannot be asked.
PlantStatus ReadSchemaVersion(platform::DatabaseConnection& connection, int* version,
                              platform::DatabaseDiagnostic* diagnostic);

// Brings the schema to LatestSchemaVersion: `from` gets the version found,
// `to` the version left. TooNew (nothing touched) above it. Migrations that
// another program applied meanwhile are taken as done.
PlantStatus MigrateSchema(PlantDatabase& database, int* from, int* to);

}  // namespace nolpa::app::plant
