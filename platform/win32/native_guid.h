#pragma once
// The platform's GUID as the Win32 GUID structure.
#include <windows.h>

#include <cstring>

#include "platform/device_interfaces.h"

namespace nolpa::platform::win32 {

inline GUID ToGuid(const Guid& guid) {
  GUID native;
  native.Data1 = guid.data1;
  native.Data2 = guid.data2;
  native.Data3 = guid.data3;
  std::memcpy(native.Data4, guid.data4, sizeof native.Data4);
  return native;
}

}  // namespace nolpa::platform::win32
