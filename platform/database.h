#pragma once
// A database server reached over ODBC: the plant's record of which code went
// into which printer. Texts are UTF-8 both ways (the adapter speaks the
// wide-character ODBC calls, so a name in any language arrives intact).
// Every call is bounded: a connection by its login time-out, a statement by
// its query time-out; none waits without end. Real implementation:
// platform/odbc/ over SQLDriverConnectW, SQLExecDirectW, SQLBindParameter,
// SQLFetch, SQLGetData, SQLEndTran and SQLGetDiagRecW (unixODBC natively,
// the system's odbc32.dll on Windows).
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nolpa::platform {

// What the driver or the driver manager said about the last failure.
struct DatabaseDiagnostic {
  std::string sqlState;  // five characters: "08001" cannot connect, "IM002" no such DSN, ...
  std::int32_t nativeError = 0;
  std::string message;  // every record the driver gave, UTF-8, joined by "; "
};

// A statement's parameter, bound to its "?" in order.
struct DatabaseValue {
  enum class Kind { Null, Text, Integer };
  Kind kind = Kind::Null;
  std::string text;  // UTF-8
  std::int64_t integer = 0;

  static DatabaseValue Null() { return {}; }
  static DatabaseValue Of(std::string_view utf8) { return {Kind::Text, std::string(utf8), 0}; }
  static DatabaseValue Of(std::int64_t value) { return {Kind::Integer, {}, value}; }
};

// One row: each column as the server's text of it (UTF-8); nothing for NULL.
using DatabaseRow = std::vector<std::optional<std::string>>;
// Takes each row as it is fetched; false stops the fetching (no failure).
using DatabaseRowSink = std::function<bool(const DatabaseRow&)>;

class DatabaseConnection {
 public:
  virtual ~DatabaseConnection() = default;

  // Runs one statement (UTF-8, a "?" for each parameter). Rows it returns go
  // to `rows` (may be empty: rows are then left unread). `affected`, when
  // given, gets the count of rows an INSERT, UPDATE or DELETE touched (0
  // when none). False on failure; Diagnostic() says why.
  virtual bool Execute(std::string_view sql, const std::vector<DatabaseValue>& parameters,
                       const DatabaseRowSink& rows = {}, std::int64_t* affected = nullptr) = 0;

  // Outside Begin, every statement commits by itself. Begin starts a
  // transaction that lasts to Commit or Rollback; both end it whatever
  // they return. A failed Commit has kept nothing.
  virtual bool Begin() = 0;
  virtual bool Commit() = 0;
  virtual bool Rollback() = 0;

  // The last failure of this connection.
  virtual const DatabaseDiagnostic& Diagnostic() const = 0;
};

struct DatabaseBounds {
  std::uint32_t loginSeconds = 10;  // connecting and logging in
  std::uint32_t querySeconds = 30;  // each statement, its fetching included
};

class Databases {
 public:
  virtual ~Databases() = default;

  // Connects by an ODBC connection string ("DSN=plant",
  // "Driver={PostgreSQL Unicode};Server=...") and never prompts. Null on
  // failure, with `diagnostic` filled.
  virtual std::unique_ptr<DatabaseConnection> Connect(std::string_view connectionString,
                                                      const DatabaseBounds& bounds,
                                                      DatabaseDiagnostic* diagnostic) = 0;
};

// SQLSTATE classes the callers tell apart.
inline bool ConnectionLost(const DatabaseDiagnostic& d) {
  // 08: connection exception; HYT01: connection time-out; 57P01..03: the
  // server shutting down or not accepting connections.
  return d.sqlState.starts_with("08") || d.sqlState == "HYT01" || d.sqlState.starts_with("57P");
}

}  // namespace nolpa::platform
