#include "platform/win32/system_libraries.h"

#include <string>

#include "platform/win32/kernel_calls.h"

namespace nolpa::platform::win32 {

namespace {

// LOAD_LIBRARY_SEARCH_SYSTEM32, not declared for the Windows version the
// headers are kept to.
constexpr DWORD kSearchSystem32 = 0x00000800;

// `fileName` from the system folder, by its full path; what it imports comes
// from the system folder too. Null when it cannot be loaded.
HMODULE LoadFromSystemFolder(const wchar_t* fileName) {
  wchar_t folder[MAX_PATH + 1];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return nullptr;
  const std::wstring path = std::wstring(folder, length) + L"\\" + fileName;
  const DWORD flags = LibrarySearchFlagsKnown() ? kSearchSystem32 : LOAD_WITH_ALTERED_SEARCH_PATH;
  return LoadLibraryExW(path.c_str(), nullptr, flags);
}

// Binds `name` of `module` to `call`; a missing module or export leaves it null.
template <typename Function>
void Bind(HMODULE module, const char* name, Function& call) {
  if (module == nullptr) return;
  call = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

const SpoolerCalls& Spooler() {
  static const SpoolerCalls calls = [] {
    SpoolerCalls c;
    HMODULE module = LoadFromSystemFolder(L"winspool.drv");
    Bind(module, "EnumPrintersA", c.enumPrinters);
    Bind(module, "OpenPrinterA", c.openPrinter);
    Bind(module, "GetPrinterDriverA", c.getPrinterDriver);
    Bind(module, "ClosePrinter", c.closePrinter);
    Bind(module, "EnumPrinterDriversA", c.enumPrinterDrivers);
    Bind(module, "GetPrinterDataA", c.getPrinterData);
    return c;
  }();
  return calls;
}

const SetupCalls& Setup() {
  static const SetupCalls calls = [] {
    SetupCalls c;
    HMODULE module = LoadFromSystemFolder(L"setupapi.dll");
    Bind(module, "SetupDiGetClassDevsA", c.getClassDevs);
    Bind(module, "SetupDiEnumDeviceInterfaces", c.enumDeviceInterfaces);
    Bind(module, "SetupDiGetDeviceInterfaceDetailA", c.getDeviceInterfaceDetail);
    Bind(module, "SetupDiDestroyDeviceInfoList", c.destroyDeviceInfoList);
    Bind(module, "SetupDiOpenDeviceInterfaceRegKey", c.openDeviceInterfaceRegKey);
    return c;
  }();
  return calls;
}

const ConfigManagerCalls& ConfigManager() {
  static const ConfigManagerCalls calls = [] {
    ConfigManagerCalls c;
    HMODULE module = LoadFromSystemFolder(L"cfgmgr32.dll");
    Bind(module, "CM_Locate_DevNodeA", c.locateDevNode);
    Bind(module, "CM_Get_Parent", c.getParent);
    Bind(module, "CM_Get_DevNode_Registry_PropertyA", c.getDevNodeRegistryProperty);
    return c;
  }();
  return calls;
}

const odbc::OdbcCalls& Odbc() {
  static const odbc::OdbcCalls calls = [] {
    odbc::OdbcCalls c;
    HMODULE module = LoadFromSystemFolder(L"odbc32.dll");
    Bind(module, "SQLAllocHandle", c.allocHandle);
    Bind(module, "SQLFreeHandle", c.freeHandle);
    Bind(module, "SQLSetEnvAttr", c.setEnvAttr);
    Bind(module, "SQLSetConnectAttrW", c.setConnectAttrW);
    Bind(module, "SQLDriverConnectW", c.driverConnectW);
    Bind(module, "SQLDisconnect", c.disconnect);
    Bind(module, "SQLSetStmtAttrW", c.setStmtAttrW);
    Bind(module, "SQLBindParameter", c.bindParameter);
    Bind(module, "SQLExecDirectW", c.execDirectW);
    Bind(module, "SQLNumResultCols", c.numResultCols);
    Bind(module, "SQLRowCount", c.rowCount);
    Bind(module, "SQLFetch", c.fetch);
    Bind(module, "SQLGetData", c.getData);
    Bind(module, "SQLEndTran", c.endTran);
    Bind(module, "SQLGetDiagRecW", c.getDiagRecW);
    return c;
  }();
  return calls;
}

}  // namespace nolpa::platform::win32
