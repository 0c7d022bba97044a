#pragma once
// The system's printing, device-setup, configuration-manager and ODBC libraries,
// loaded at run time from the system folder by their full paths instead of
// being imported by name: none of them is among the libraries the system
// always takes from its own folder, so an import by name would be looked
// for in the program's folder first, and a file of that name planted there
// (a download folder) would run in this elevated process. Each is loaded
// once, on first use, and stays loaded for the process's life; a call whose
// library or export is missing is null, and its adapter then fails.
// clang-format off
#include <windows.h>

#include <cfgmgr32.h>
#include <setupapi.h>
#include <winspool.h>
// clang-format on

#include "platform/odbc/odbc_calls.h"

namespace nolpa::platform::win32 {

struct SpoolerCalls {
  decltype(&EnumPrintersA) enumPrinters = nullptr;
  decltype(&OpenPrinterA) openPrinter = nullptr;
  decltype(&GetPrinterDriverA) getPrinterDriver = nullptr;
  decltype(&ClosePrinter) closePrinter = nullptr;
  decltype(&EnumPrinterDriversA) enumPrinterDrivers = nullptr;
  decltype(&GetPrinterDataA) getPrinterData = nullptr;
};

struct SetupCalls {
  decltype(&SetupDiGetClassDevsA) getClassDevs = nullptr;
  decltype(&SetupDiEnumDeviceInterfaces) enumDeviceInterfaces = nullptr;
  decltype(&SetupDiGetDeviceInterfaceDetailA) getDeviceInterfaceDetail = nullptr;
  decltype(&SetupDiDestroyDeviceInfoList) destroyDeviceInfoList = nullptr;
  decltype(&SetupDiOpenDeviceInterfaceRegKey) openDeviceInterfaceRegKey = nullptr;
};

struct ConfigManagerCalls {
  decltype(&CM_Locate_DevNodeA) locateDevNode = nullptr;
  decltype(&CM_Get_Parent) getParent = nullptr;
  decltype(&CM_Get_DevNode_Registry_PropertyA) getDevNodeRegistryProperty = nullptr;
};

// winspool.drv, setupapi.dll and cfgmgr32.dll of the system folder.
const SpoolerCalls& Spooler();
const SetupCalls& Setup();
const ConfigManagerCalls& ConfigManager();
// odbc32.dll of the system folder: the W calls the database adapter makes.
const odbc::OdbcCalls& Odbc();

}  // namespace nolpa::platform::win32
