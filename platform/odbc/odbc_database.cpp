#include "platform/odbc/odbc_database.h"

#include <cstdint>

#include "platform/odbc/utf16.h"

namespace nolpa::platform::odbc {

namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the W calls take UTF-16 code units");

bool Succeeded(SQLRETURN r) { return r == SQL_SUCCESS || r == SQL_SUCCESS_WITH_INFO; }

WideText Wide(std::string_view utf8) {
  const std::u16string units = Utf8ToUtf16(utf8);
  return WideText(units.begin(), units.end());
}

std::string Narrow(const SQLWCHAR* units, std::size_t count) {
  return Utf16ToUtf8(std::u16string(units, units + count));
}

SQLPOINTER AsPointer(std::uintptr_t value) { return reinterpret_cast<SQLPOINTER>(value); }

DatabaseDiagnostic Missing() { return {"IM001", 0, "The ODBC driver manager cannot be loaded."}; }

// A statement handle, freed on every way out.
class Statement {
 public:
  Statement(const OdbcCalls& odbc, SQLHDBC connection) : odbc_(odbc) {
    if (!Succeeded(odbc_.allocHandle(SQL_HANDLE_STMT, connection, &handle_)))
      handle_ = SQL_NULL_HSTMT;
  }
  ~Statement() {
    if (handle_ != SQL_NULL_HSTMT) odbc_.freeHandle(SQL_HANDLE_STMT, handle_);
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  SQLHSTMT Handle() const { return handle_; }

 private:
  const OdbcCalls& odbc_;
  SQLHSTMT handle_ = SQL_NULL_HSTMT;
};

// What a parameter is bound from; kept until the statement has run.
struct BoundValue {
  WideText text;
  SQLBIGINT integer = 0;
  SQLLEN indicator = 0;
};

class OdbcConnection final : public DatabaseConnection {
 public:
  OdbcConnection(const OdbcCalls& odbc, SQLHDBC handle, const DatabaseBounds& bounds)
      : odbc_(odbc), handle_(handle), bounds_(bounds) {}
  ~OdbcConnection() override {
    if (inTransaction_) odbc_.endTran(SQL_HANDLE_DBC, handle_, SQL_ROLLBACK);
    odbc_.disconnect(handle_);
    odbc_.freeHandle(SQL_HANDLE_DBC, handle_);
  }
  OdbcConnection(const OdbcConnection&) = delete;
  OdbcConnection& operator=(const OdbcConnection&) = delete;

  bool Execute(std::string_view sql, const std::vector<DatabaseValue>& parameters,
               const DatabaseRowSink& rows, std::int64_t* affected) override;
  bool Begin() override;
  bool Commit() override { return EndTransaction(SQL_COMMIT); }
  bool Rollback() override { return EndTransaction(SQL_ROLLBACK); }
  const DatabaseDiagnostic& Diagnostic() const override { return diagnostic_; }

 private:
  bool Fail(SQLSMALLINT type, SQLHANDLE handle) {
    diagnostic_ = DiagnosticOf(odbc_, type, handle, "The ODBC call failed.");
    return false;
  }
  bool Bind(SQLHSTMT statement, const std::vector<DatabaseValue>& parameters,
            std::vector<BoundValue>& bound);
  bool FetchRows(SQLHSTMT statement, const DatabaseRowSink& rows);
  bool Column(SQLHSTMT statement, SQLUSMALLINT column, std::optional<std::string>* value);
  bool SetAutocommit(bool on) {
    const std::uintptr_t mode = on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
    return Succeeded(odbc_.setConnectAttrW(handle_, SQL_ATTR_AUTOCOMMIT, AsPointer(mode),
                                           SQL_IS_UINTEGER))
               ? true
               : Fail(SQL_HANDLE_DBC, handle_);
  }
  bool EndTransaction(SQLSMALLINT completion);

  const OdbcCalls& odbc_;
  SQLHDBC handle_;
  DatabaseBounds bounds_;
  bool inTransaction_ = false;
  DatabaseDiagnostic diagnostic_;
};

bool OdbcConnection::Bind(SQLHSTMT statement, const std::vector<DatabaseValue>& parameters,
                          std::vector<BoundValue>& bound) {
  bound.resize(parameters.size());
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    const DatabaseValue& p = parameters[i];
    BoundValue& b = bound[i];
    const auto number = static_cast<SQLUSMALLINT>(i + 1);
    SQLRETURN r;
    if (p.kind == DatabaseValue::Kind::Integer) {
      b.integer = p.integer;
      r = odbc_.bindParameter(statement, number, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0,
                              &b.integer, 0, &b.indicator);
    } else {
      b.text = Wide(p.text);
      const bool null = p.kind == DatabaseValue::Kind::Null;
      const auto bytes = static_cast<SQLLEN>(b.text.size() * sizeof(SQLWCHAR));
      b.indicator = null ? SQL_NULL_DATA : bytes;
      const SQLULEN size = b.text.empty() ? 1 : b.text.size();
      r = odbc_.bindParameter(statement, number, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, size,
                              0, b.text.data(), bytes, &b.indicator);
    }
    if (!Succeeded(r)) return Fail(SQL_HANDLE_STMT, statement);
  }
  return true;
}

bool OdbcConnection::Execute(std::string_view sql, const std::vector<DatabaseValue>& parameters,
                             const DatabaseRowSink& rows, std::int64_t* affected) {
  Statement statement(odbc_, handle_);
  if (statement.Handle() == SQL_NULL_HSTMT) return Fail(SQL_HANDLE_DBC, handle_);
  const SQLHSTMT s = statement.Handle();
  odbc_.setStmtAttrW(s, SQL_ATTR_QUERY_TIMEOUT, AsPointer(bounds_.querySeconds), SQL_IS_UINTEGER);
  std::vector<BoundValue> bound;
  if (!Bind(s, parameters, bound)) return false;
  WideText text = Wide(sql);
  const SQLRETURN r = odbc_.execDirectW(s, text.data(), static_cast<SQLINTEGER>(text.size()));
  // An UPDATE or DELETE that touched no row answers "no data".
  if (r == SQL_NO_DATA) {
    if (affected != nullptr) *affected = 0;
    return true;
  }
  if (!Succeeded(r)) return Fail(SQL_HANDLE_STMT, s);
  if (affected != nullptr) {
    SQLLEN count = 0;
    *affected = Succeeded(odbc_.rowCount(s, &count)) && count > 0 ? count : 0;
  }
  return FetchRows(s, rows);
}

bool OdbcConnection::FetchRows(SQLHSTMT s, const DatabaseRowSink& rows) {
  SQLSMALLINT columns = 0;
  if (!rows || !Succeeded(odbc_.numResultCols(s, &columns)) || columns <= 0) return true;
  for (;;) {
    const SQLRETURN r = odbc_.fetch(s);
    if (r == SQL_NO_DATA) return true;
    if (!Succeeded(r)) return Fail(SQL_HANDLE_STMT, s);
    DatabaseRow row(static_cast<std::size_t>(columns));
    for (SQLSMALLINT c = 0; c < columns; ++c)
      if (!Column(s, static_cast<SQLUSMALLINT>(c + 1), &row[static_cast<std::size_t>(c)]))
        return false;
    if (!rows(row)) return true;
  }
}

// One column of the fetched row as text, read in pieces of any length.
bool OdbcConnection::Column(SQLHSTMT s, SQLUSMALLINT column, std::optional<std::string>* value) {
  constexpr std::size_t kUnits = 512;
  SQLWCHAR buffer[kUnits];
  WideText text;
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN r = odbc_.getData(s, column, SQL_C_WCHAR, buffer, sizeof buffer, &indicator);
    if (r == SQL_NO_DATA) break;  // every piece was read
    if (!Succeeded(r)) return Fail(SQL_HANDLE_STMT, s);
    if (indicator == SQL_NULL_DATA) {
      *value = std::nullopt;
      return true;
    }
    // The rest fits when the driver knows its length and it is less than the
    // buffer; a piece that did not fit fills the buffer but for its
    // terminator, and the next call gives what follows.
    const bool fits = indicator != SQL_NO_TOTAL && indicator >= 0 &&
                      static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR) < kUnits;
    text.append(buffer, fits ? static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR) : kUnits - 1);
    if (fits) break;
  }
  *value = Narrow(text.data(), text.size());
  return true;
}

bool OdbcConnection::Begin() {
  if (!SetAutocommit(false)) return false;
  inTransaction_ = true;
  return true;
}

bool OdbcConnection::EndTransaction(SQLSMALLINT completion) {
  const bool ended = Succeeded(odbc_.endTran(SQL_HANDLE_DBC, handle_, completion));
  if (!ended) Fail(SQL_HANDLE_DBC, handle_);
  inTransaction_ = false;
  // Back to one transaction a statement; after a lost connection this
  // fails too, and the first failure is the one kept.
  const DatabaseDiagnostic kept = diagnostic_;
  const bool reset = SetAutocommit(true);
  if (!ended) diagnostic_ = kept;
  return ended && reset;
}

}  // namespace

DatabaseDiagnostic DiagnosticOf(const OdbcCalls& odbc, SQLSMALLINT type, SQLHANDLE handle,
                                const char* fallback) {
  DatabaseDiagnostic d;
  for (SQLSMALLINT record = 1; record <= 8; ++record) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLWCHAR message[1024];
    SQLSMALLINT length = 0;
    if (!Succeeded(odbc.getDiagRecW(type, handle, record, state, &native, message,
                                    sizeof message / sizeof message[0], &length)))
      break;
    if (record == 1) {
      d.sqlState = Narrow(state, 5);
      d.nativeError = native;
    }
    const std::size_t units = length < 1024 ? static_cast<std::size_t>(length) : 1023;
    std::string text = Narrow(message, units);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    d.message += (d.message.empty() ? "" : "; ") + text;
  }
  if (d.message.empty()) d.message = fallback;
  return d;
}

OdbcDatabases::~OdbcDatabases() {
  if (environment_ != SQL_NULL_HENV) odbc_->freeHandle(SQL_HANDLE_ENV, environment_);
}

bool OdbcDatabases::Ready(DatabaseDiagnostic* diagnostic) {
  if (environment_ != SQL_NULL_HENV) return true;
  if (odbc_ == nullptr) odbc_ = &calls_();
  if (!odbc_->Complete() ||
      !Succeeded(odbc_->allocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment_))) {
    environment_ = SQL_NULL_HENV;
    *diagnostic = Missing();
    return false;
  }
  odbc_->setEnvAttr(environment_, SQL_ATTR_ODBC_VERSION, AsPointer(SQL_OV_ODBC3), 0);
  return true;
}

std::unique_ptr<DatabaseConnection> OdbcDatabases::Connect(std::string_view connectionString,
                                                           const DatabaseBounds& bounds,
                                                           DatabaseDiagnostic* diagnostic) {
  if (!Ready(diagnostic)) return nullptr;
  WideText text = Wide(connectionString);
  // The call takes the length as a 16-bit count.
  if (text.size() > 4096) {
    *diagnostic = {"HY090", 0, "The connection string is longer than 4096 characters."};
    return nullptr;
  }
  SQLHDBC handle = SQL_NULL_HDBC;
  if (!Succeeded(odbc_->allocHandle(SQL_HANDLE_DBC, environment_, &handle))) {
    *diagnostic = DiagnosticOf(*odbc_, SQL_HANDLE_ENV, environment_, "No connection handle.");
    return nullptr;
  }
  const std::uintptr_t seconds = bounds.loginSeconds;
  odbc_->setConnectAttrW(handle, SQL_ATTR_LOGIN_TIMEOUT, AsPointer(seconds), SQL_IS_UINTEGER);
  odbc_->setConnectAttrW(handle, SQL_ATTR_CONNECTION_TIMEOUT, AsPointer(bounds.querySeconds),
                         SQL_IS_UINTEGER);
  SQLWCHAR completed[1024];
  SQLSMALLINT length = 0;
  const SQLRETURN r =
      odbc_->driverConnectW(handle, nullptr, text.data(), static_cast<SQLSMALLINT>(text.size()),
                            completed, 1024, &length, SQL_DRIVER_NOPROMPT);
  if (!Succeeded(r)) {
    *diagnostic = DiagnosticOf(*odbc_, SQL_HANDLE_DBC, handle, "The connection failed.");
    odbc_->freeHandle(SQL_HANDLE_DBC, handle);
    return nullptr;
  }
  return std::make_unique<OdbcConnection>(*odbc_, handle, bounds);
}

}  // namespace nolpa::platform::odbc
