#pragma once
// The plant's database from the console: the db commands (init, pool add,
// pools, report), and what the station, set and check use to reach it:
// SOURCE resolved (--db, else the INI file's [Plant] Database), the
// password kept off the command line, the database opened and its schema
// checked, each failure said with its exit code.
#include <memory>
#include <string>

#include "app/console/console_output.h"
#include "app/console/console_program.h"
#include "app/plant/plant_database.h"

namespace nolpa::app::console {

inline constexpr char kPlantSection[] = "Plant";
inline constexpr char kPlantDatabaseKey[] = "Database";

struct ResolvedSource {
  int exitCode = 0;        // kMatches, or why there is no connection string (said already)
  std::string connection;  // the ODBC connection string
  std::string shown;       // SOURCE as given, for messages (a file's content never shown)
};
// The connection string `options.db` (or, without it, the INI file's
// [Plant] Database) stands for. A password on the command line or in the
// INI file is refused (kUsage), as are an empty SOURCE and a connection
// file that cannot be read or holds nothing.
ResolvedSource ResolvePlantSource(const ConsoleEnvironment& env, const Options& options,
                                  ConsoleOutput& output, bool japanese);

// Says what `status` (not Ok) means for the database `shown`, with the
// server's word where it has one; returns the exit code: kRunFailed for no
// code left (PoolEmpty, as the station's codes running out), else
// kPlantDatabase (not reached, refused, no schema or a newer one, a
// statement refused). NoSuchPool and PoolExists are the caller's to say
// (with the pool's name; kUsage).
int SayPlantFailure(plant::PlantStatus status, plant::PlantDatabase& database,
                    const std::string& shown, ConsoleOutput& output, bool japanese);

// Opens the database `source` names with its schema checked: null after
// saying why (`exitCode` gets the code).
std::unique_ptr<plant::PlantDatabase> OpenPlantDatabase(const ConsoleEnvironment& env,
                                                        const ResolvedSource& source,
                                                        ConsoleOutput& output, bool japanese,
                                                        int* exitCode);

// `NOLPAIDC db ...`: needs neither printers nor the spooler, and runs
// beside a station. Returns the exit code.
int RunDb(const ConsoleEnvironment& env, const Options& options, ConsoleOutput& output,
          bool japanese);

}  // namespace nolpa::app::console
