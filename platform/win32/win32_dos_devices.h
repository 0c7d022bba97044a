#pragma once
// The real DOS device names (QueryDosDeviceA).
#include "platform/dos_devices.h"

namespace nolpa::platform::win32 {

class Win32DosDevices final : public DosDevices {
 public:
  bool QueryTarget(const std::string& name, std::string* firstTarget) override;
};

}  // namespace nolpa::platform::win32
