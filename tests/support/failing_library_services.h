#pragma once
// Failure injection for the serial-number library's lookup services: the
// device tree, the USB hub files, the print spooler, the registry and the
// system folders, counted on the program's FaultCounter. Each failure looks
// the way the interface documents one (false, an invalid handle, an empty
// list or text, no value); releases (Close, CloseKey) pass uncounted.
#include <optional>
#include <string>
#include <vector>

#include "platform/device_tree.h"
#include "platform/print_spooler.h"
#include "platform/registry.h"
#include "platform/system_folders.h"
#include "platform/usb_hub_files.h"
#include "tests/support/fault_injection.h"

namespace nolpa::testing {

class FailingDeviceTree final : public platform::DeviceTree {
 public:
  FailingDeviceTree(platform::DeviceTree& inner, FaultCounter& c) : inner_(inner), c_(c) {}
  bool LocateNode(const std::string& instanceId, platform::DevNode* node) override {
    return c_.Fails("DeviceTree::LocateNode") ? false : inner_.LocateNode(instanceId, node);
  }
  bool Parent(platform::DevNode node, platform::DevNode* parent) override {
    return c_.Fails("DeviceTree::Parent") ? false : inner_.Parent(node, parent);
  }
  bool Property(platform::DevNode node, platform::NodeProperty property,
                std::string* value) override {
    return c_.Fails("DeviceTree::Property") ? false : inner_.Property(node, property, value);
  }

 private:
  platform::DeviceTree& inner_;
  FaultCounter& c_;
};

class FailingUsbHubFiles final : public platform::UsbHubFiles {
 public:
  FailingUsbHubFiles(platform::UsbHubFiles& inner, FaultCounter& c) : inner_(inner), c_(c) {}
  platform::DeviceHandle Open(const std::string& path) override {
    return c_.Fails("UsbHubFiles::Open") ? platform::kInvalidDeviceHandle : inner_.Open(path);
  }
  bool IoControl(platform::DeviceHandle h, std::uint32_t code, const void* in, std::uint32_t inSize,
                 void* out, std::uint32_t outSize, std::uint32_t* returned) override {
    if (!c_.Fails("UsbHubFiles::IoControl"))
      return inner_.IoControl(h, code, in, inSize, out, outSize, returned);
    if (returned) *returned = 0;
    return false;
  }
  void Close(platform::DeviceHandle h) override { inner_.Close(h); }

 private:
  platform::UsbHubFiles& inner_;
  FaultCounter& c_;
};

class FailingPrintSpooler final : public platform::PrintSpooler {
 public:
  FailingPrintSpooler(platform::PrintSpooler& inner, FaultCounter& c) : inner_(inner), c_(c) {}
  std::vector<std::string> LocalPrinterNames() override {
    return c_.Fails("PrintSpooler::EnumPrinters") ? std::vector<std::string>{}
                                                  : inner_.LocalPrinterNames();
  }
  std::string Environment() override {
    return c_.Fails("PrintSpooler::GetPrinterData") ? std::string() : inner_.Environment();
  }
  bool PrinterDriver(const std::string& printerName, const std::string& environment,
                     platform::PrinterDriverInfo* driver) override {
    return c_.Fails("PrintSpooler::GetPrinterDriver")
               ? false
               : inner_.PrinterDriver(printerName, environment, driver);
  }
  std::vector<platform::PrinterDriverInfo> InstalledDrivers(
      const std::string& environment) override {
    return c_.Fails("PrintSpooler::EnumPrinterDrivers") ? std::vector<platform::PrinterDriverInfo>{}
                                                        : inner_.InstalledDrivers(environment);
  }

 private:
  platform::PrintSpooler& inner_;
  FaultCounter& c_;
};

class FailingRegistry final : public platform::Registry {
 public:
  FailingRegistry(platform::Registry& inner, FaultCounter& c) : inner_(inner), c_(c) {}
  platform::RegistryKey OpenMachineKey(const std::string& subKey,
                                       platform::RegistryView view) override {
    return c_.Fails("Registry::OpenMachineKey") ? platform::kNoRegistryKey
                                                : inner_.OpenMachineKey(subKey, view);
  }
  platform::RegistryKey OpenInterfaceKey(platform::InterfaceSet set, const platform::Guid& g,
                                         std::uint32_t index) override {
    return c_.Fails("Registry::OpenInterfaceKey") ? platform::kNoRegistryKey
                                                  : inner_.OpenInterfaceKey(set, g, index);
  }
  std::optional<std::string> ReadString(platform::RegistryKey key, const std::string& name,
                                        std::uint32_t maxBytes) override {
    if (c_.Fails("Registry::ReadString")) return std::nullopt;
    return inner_.ReadString(key, name, maxBytes);
  }
  std::optional<std::uint32_t> ReadDword(platform::RegistryKey key,
                                         const std::string& name) override {
    if (c_.Fails("Registry::ReadDword")) return std::nullopt;
    return inner_.ReadDword(key, name);
  }
  void CloseKey(platform::RegistryKey key) override { inner_.CloseKey(key); }

 private:
  platform::Registry& inner_;
  FaultCounter& c_;
};

class FailingSystemFolders final : public platform::SystemFolders {
 public:
  FailingSystemFolders(platform::SystemFolders& inner, FaultCounter& c) : inner_(inner), c_(c) {}
  std::string SystemDirectory() override {
    return c_.Fails("SystemFolders::SystemDirectory") ? std::string() : inner_.SystemDirectory();
  }
  // The version has no failure of its own: a failed call reads as {false, 0}.
  platform::WindowsVersion Version() override {
    return c_.Fails("SystemFolders::Version") ? platform::WindowsVersion{} : inner_.Version();
  }
  bool FileExists(const std::string& path) override {
    return c_.Fails("SystemFolders::FileExists") ? false : inner_.FileExists(path);
  }
  std::string IniString(const std::string& file, const std::string& section, const std::string& key,
                        std::uint32_t maxBytes) override {
    return c_.Fails("SystemFolders::IniString") ? std::string()
                                                : inner_.IniString(file, section, key, maxBytes);
  }

 private:
  platform::SystemFolders& inner_;
  FaultCounter& c_;
};

}  // namespace nolpa::testing
