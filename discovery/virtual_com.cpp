#include "discovery/virtual_com.h"

#include "discovery/routes.h"
#include "discovery/vendor_driver.h"
#include "platform/scoped.h"
#include "printerio/channel_timeouts.h"

namespace nolpa::discovery {

std::string ComPortName(int index) { return "COM" + std::to_string(index + 1); }

bool ProbeVirtualComPort(const platform::Platform& platform, int index, DeviceList& list) {
  // Ports from COM33 up are not the program's to examine.
  if (index < 0 || index >= kVirtualComProbes) return false;
  const std::string portName = ComPortName(index);
  std::string target;
  if (!platform.dosDevices->QueryTarget(portName, &target)) return false;
  if (!Contains(target, kVirtualComDriverMarker)) return false;

  const std::string devicePath = "\\\\.\\" + portName;
  platform::ScopedDevice device(*platform.files, platform.files->Open(devicePath));
  if (!device.Valid()) return false;
  // A port that refuses them keeps its own read behaviour; the probe goes on.
  platform.files->SetTimeouts(device.Get(), printerio::kChannelTimeouts);
  const auto strings = ReadDeviceStrings(*platform.files, device.Get());
  if (!strings) return false;
  const auto infoLine = FormatUsbInfoLine(*platform.files, device.Get());
  if (!infoLine) return false;

  list.Append({devicePath, strings->product + kPortNameSeparator + portName + "]", strings->idCode,
               strings->idName, "", *infoLine});
  return true;
}

}  // namespace nolpa::discovery
