#pragma once
// DOS device names (QueryDosDeviceA).
#include <string>

namespace nolpa::platform {

class DosDevices {
 public:
  virtual ~DosDevices() = default;

  // QueryDosDeviceA(name) into a 4096-byte buffer. False when the name is
  // not defined; otherwise `*firstTarget` receives the first NUL-terminated
  // target name only.
  virtual bool QueryTarget(const std::string& name, std::string* firstTarget) = 0;
};

}  // namespace nolpa::platform
