#include "platform/odbc/odbc_calls.h"

namespace nolpa::platform::odbc {

const OdbcCalls& LinkedOdbc() {
  static const OdbcCalls calls = [] {
    OdbcCalls c;
    c.allocHandle = &SQLAllocHandle;
    c.freeHandle = &SQLFreeHandle;
    c.setEnvAttr = &SQLSetEnvAttr;
    c.setConnectAttrW = &SQLSetConnectAttrW;
    c.driverConnectW = &SQLDriverConnectW;
    c.disconnect = &SQLDisconnect;
    c.setStmtAttrW = &SQLSetStmtAttrW;
    c.bindParameter = &SQLBindParameter;
    c.execDirectW = &SQLExecDirectW;
    c.numResultCols = &SQLNumResultCols;
    c.rowCount = &SQLRowCount;
    c.fetch = &SQLFetch;
    c.getData = &SQLGetData;
    c.endTran = &SQLEndTran;
    c.getDiagRecW = &SQLGetDiagRecW;
    return c;
  }();
  return calls;
}

}  // namespace nolpa::platform::odbc
