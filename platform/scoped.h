#pragma once
// Owners that release a device handle, a hub or controller handle, or an
// interface set on every way out.
#include <string>

#include "platform/device_files.h"
#include "platform/device_interfaces.h"
#include "platform/usb_hub_files.h"

namespace nolpa::platform {

class ScopedDevice {
 public:
  ScopedDevice(DeviceFiles& files, DeviceHandle handle) : files_(files), handle_(handle) {}
  ~ScopedDevice() { Close(); }
  ScopedDevice(const ScopedDevice&) = delete;
  ScopedDevice& operator=(const ScopedDevice&) = delete;

  DeviceHandle Get() const { return handle_; }
  bool Valid() const { return handle_ != kInvalidDeviceHandle; }
  // Closes now (before a message box is shown, say); later calls do nothing.
  void Close() {
    if (Valid()) files_.Close(handle_);
    handle_ = kInvalidDeviceHandle;
  }

 private:
  DeviceFiles& files_;
  DeviceHandle handle_;
};

// Opens a host controller or hub by its path and closes it again.
class ScopedHub {
 public:
  ScopedHub(UsbHubFiles& files, const std::string& path)
      : files_(files), handle_(files.Open(path)) {}
  ~ScopedHub() {
    if (Valid()) files_.Close(handle_);
  }
  ScopedHub(const ScopedHub&) = delete;
  ScopedHub& operator=(const ScopedHub&) = delete;

  DeviceHandle Get() const { return handle_; }
  bool Valid() const { return handle_ != kInvalidDeviceHandle; }

 private:
  UsbHubFiles& files_;
  DeviceHandle handle_;
};

class ScopedInterfaceSet {
 public:
  ScopedInterfaceSet(DeviceInterfaces& interfaces, InterfaceSet set)
      : interfaces_(interfaces), set_(set) {}
  ~ScopedInterfaceSet() {
    if (Valid()) interfaces_.CloseSet(set_);
  }
  ScopedInterfaceSet(const ScopedInterfaceSet&) = delete;
  ScopedInterfaceSet& operator=(const ScopedInterfaceSet&) = delete;

  InterfaceSet Get() const { return set_; }
  bool Valid() const { return set_ != kInvalidInterfaceSet; }

 private:
  DeviceInterfaces& interfaces_;
  InterfaceSet set_;
};

}  // namespace nolpa::platform
