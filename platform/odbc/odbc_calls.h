#pragma once
// The ODBC calls the database adapter makes, as a table: natively bound to
// the unixODBC it is linked with (odbc_calls_linked.cpp), on Windows to the
// system folder's odbc32.dll, loaded at run time (platform/win32/
// system_libraries.h). Only wide-character (W) entry points take texts:
// they carry every language, and Wine's odbc32 implements no other.
// A call the library lacks is null; the adapter then fails cleanly.
// clang-format off
#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>
// clang-format on

#include <string>

namespace nolpa::platform::odbc {

using WideText = std::basic_string<SQLWCHAR>;

struct OdbcCalls {
  SQLRETURN(SQL_API* allocHandle)(SQLSMALLINT, SQLHANDLE, SQLHANDLE*) = nullptr;
  SQLRETURN(SQL_API* freeHandle)(SQLSMALLINT, SQLHANDLE) = nullptr;
  SQLRETURN(SQL_API* setEnvAttr)(SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER) = nullptr;
  SQLRETURN(SQL_API* setConnectAttrW)(SQLHDBC, SQLINTEGER, SQLPOINTER, SQLINTEGER) = nullptr;
  SQLRETURN(SQL_API* driverConnectW)
  (SQLHDBC, SQLHWND, SQLWCHAR*, SQLSMALLINT, SQLWCHAR*, SQLSMALLINT, SQLSMALLINT*,
   SQLUSMALLINT) = nullptr;
  SQLRETURN(SQL_API* disconnect)(SQLHDBC) = nullptr;
  SQLRETURN(SQL_API* setStmtAttrW)(SQLHSTMT, SQLINTEGER, SQLPOINTER, SQLINTEGER) = nullptr;
  SQLRETURN(SQL_API* bindParameter)
  (SQLHSTMT, SQLUSMALLINT, SQLSMALLINT, SQLSMALLINT, SQLSMALLINT, SQLULEN, SQLSMALLINT, SQLPOINTER,
   SQLLEN, SQLLEN*) = nullptr;
  SQLRETURN(SQL_API* execDirectW)(SQLHSTMT, SQLWCHAR*, SQLINTEGER) = nullptr;
  SQLRETURN(SQL_API* numResultCols)(SQLHSTMT, SQLSMALLINT*) = nullptr;
  SQLRETURN(SQL_API* rowCount)(SQLHSTMT, SQLLEN*) = nullptr;
  SQLRETURN(SQL_API* fetch)(SQLHSTMT) = nullptr;
  SQLRETURN(SQL_API* getData)
  (SQLHSTMT, SQLUSMALLINT, SQLSMALLINT, SQLPOINTER, SQLLEN, SQLLEN*) = nullptr;
  SQLRETURN(SQL_API* endTran)(SQLSMALLINT, SQLHANDLE, SQLSMALLINT) = nullptr;
  SQLRETURN(SQL_API* getDiagRecW)
  (SQLSMALLINT, SQLHANDLE, SQLSMALLINT, SQLWCHAR*, SQLINTEGER*, SQLWCHAR*, SQLSMALLINT,
   SQLSMALLINT*) = nullptr;

  bool Complete() const {
    return allocHandle && freeHandle && setEnvAttr && setConnectAttrW && driverConnectW &&
           disconnect && setStmtAttrW && bindParameter && execDirectW && numResultCols &&
           rowCount && fetch && getData && endTran && getDiagRecW;
  }
};

// The unixODBC calls this program is linked with (native builds only).
const OdbcCalls& LinkedOdbc();

}  // namespace nolpa::platform::odbc
