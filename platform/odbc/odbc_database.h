#pragma once
// The database interface over an ODBC driver manager: unixODBC natively,
// the system's odbc32.dll on Windows (and Wine's, which hands the calls to
// the host's 32-bit unixODBC). Parameters are bound, never spliced into the
// statement's text; texts travel as UTF-16 through the W entry points.
#include "platform/database.h"
#include "platform/odbc/odbc_calls.h"

namespace nolpa::platform::odbc {

class OdbcDatabases final : public Databases {
 public:
  // `calls` is asked for the table at the first Connect, so a run that never
  // connects never loads the driver manager.
  explicit OdbcDatabases(const OdbcCalls& (*calls)()) : calls_(calls) {}
  ~OdbcDatabases() override;
  OdbcDatabases(const OdbcDatabases&) = delete;
  OdbcDatabases& operator=(const OdbcDatabases&) = delete;

  std::unique_ptr<DatabaseConnection> Connect(std::string_view connectionString,
                                              const DatabaseBounds& bounds,
                                              DatabaseDiagnostic* diagnostic) override;

 private:
  bool Ready(DatabaseDiagnostic* diagnostic);

  const OdbcCalls& (*calls_)();
  const OdbcCalls* odbc_ = nullptr;
  SQLHENV environment_ = SQL_NULL_HENV;
};

// The diagnostic records of `handle`, joined; `fallback` as the message
// when it has none.
DatabaseDiagnostic DiagnosticOf(const OdbcCalls& odbc, SQLSMALLINT type, SQLHANDLE handle,
                                const char* fallback);

}  // namespace nolpa::platform::odbc
