// The simulated host's module table. A loaded library's exports are plain C
// functions, as the program binds them; they reach the scripted behaviour of
// the module loaded last through one process-wide slot, since a function
// pointer carries no context.
#include <algorithm>

#include "sim/host/host_system.h"

namespace nolpa::sim {

namespace {

constexpr int kNoPrinter = -9;

struct ActiveLibrary {
  const LibraryExports* exports = nullptr;  // null once freed
  DepartureLog* log = nullptr;              // of the host that loaded it
  const HostSystem* host = nullptr;
};
ActiveLibrary& Active() {
  static ActiveLibrary active;
  return active;
}

// The exports to call, or null (noted) when the module is gone.
const LibraryExports* Callee(const char* name) {
  ActiveLibrary& active = Active();
  if (active.exports == nullptr && active.log != nullptr)
    active.log->Note({0, "host", departure::kCallIntoFreedModule, name});
  return active.exports;
}

int GetUSBSerialNumberExport(const char* path, char* buffer, int size, int* length, int model) {
  const LibraryExports* e = Callee("GetUSBSerialNumber");
  if (e == nullptr || !e->getUSBSerialNumber) return kNoPrinter;
  return e->getUSBSerialNumber(path, buffer, size, length, model);
}

int SetUSBSerialNumberExport(const char* path, const char* serial, int model) {
  const LibraryExports* e = Callee("SetUSBSerialNumber");
  if (e == nullptr || !e->setUSBSerialNumber) return kNoPrinter;
  return e->setUSBSerialNumber(path, serial, model);
}

int GetPrinterFirmwareVersionExport(const char* path, char* buffer, int size, int* length) {
  const LibraryExports* e = Callee("GetPrinterFirmwareVersion");
  if (e == nullptr || !e->getPrinterFirmwareVersion) return kNoPrinter;
  return e->getPrinterFirmwareVersion(path, buffer, size, length);
}

int SendReceiveD4CommandExport(const char* path, const unsigned char* command, int commandLength,
                               unsigned char* reply, int replySize, int* replyLength) {
  const LibraryExports* e = Callee("SendReceiveD4Command");
  if (e == nullptr || !e->sendReceiveD4Command) return kNoPrinter;
  return e->sendReceiveD4Command(path, command, commandLength, reply, replySize, replyLength);
}

struct ExportEntry {
  const char* name;
  platform::ExportedFunction function;
};
const ExportEntry kExports[] = {
    {"GetUSBSerialNumber", reinterpret_cast<platform::ExportedFunction>(&GetUSBSerialNumberExport)},
    {"SetUSBSerialNumber", reinterpret_cast<platform::ExportedFunction>(&SetUSBSerialNumberExport)},
    {"GetPrinterFirmwareVersion",
     reinterpret_cast<platform::ExportedFunction>(&GetPrinterFirmwareVersionExport)},
    {"SendReceiveD4Command",
     reinterpret_cast<platform::ExportedFunction>(&SendReceiveD4CommandExport)},
};

}  // namespace

HostSystem::~HostSystem() {
  for (const auto& [hold, file] : holds_) Note(departure::kFileHoldLeaked, file);
  if (Active().host == this) Active() = {};
}

LibraryExports& HostSystem::AddLibraryImage(std::vector<std::uint8_t> bytes) {
  images_.push_back({std::move(bytes), {}});
  return images_.back().exports;
}

platform::ModuleHandle HostSystem::Load(const std::string& path) {
  const std::size_t call = Record("Load", path);
  const std::string key = Key(path);
  const auto file = files_.find(key);
  if (file == files_.end()) {
    Done(call, false);
    return 0;
  }
  if (!Held(key)) Note(departure::kModuleFromUnheldFile, path);
  const auto image = std::find_if(images_.begin(), images_.end(),
                                  [&](const Image& i) { return i.bytes == Content(key); });
  if (image == images_.end()) {
    Done(call, false);
    return 0;
  }
  ++modulesLoadedTotal_;
  Active() = {&image->exports, &departures_, this};
  for (auto& [handle, module] : modules_)
    if (module.file == key) {
      ++module.references;
      Done(call, true);
      return handle;
    }
  const platform::ModuleHandle handle = nextModule_;
  nextModule_ += 0x10000;
  modules_[handle] = {key, static_cast<std::size_t>(image - images_.begin()), 1};
  Done(call, true);
  return handle;
}

platform::ExportedFunction HostSystem::Export(platform::ModuleHandle module, const char* name) {
  const std::size_t call = Record("Export", name);
  const auto it = modules_.find(module);
  if (it == modules_.end()) {
    Done(call, false);
    return nullptr;
  }
  const std::vector<std::string>& missing = images_[it->second.image].exports.missing;
  if (std::find(missing.begin(), missing.end(), name) != missing.end()) {
    Done(call, false);
    return nullptr;
  }
  for (const ExportEntry& entry : kExports)
    if (std::string_view(entry.name) == name) {
      Done(call, true);
      return entry.function;
    }
  Done(call, false);
  return nullptr;
}

void HostSystem::Free(platform::ModuleHandle module) {
  const std::size_t call = Record("Free", std::to_string(module));
  const auto it = modules_.find(module);
  if (it == modules_.end()) {
    Note(departure::kModuleFreedTwice, std::to_string(module));
    Done(call, false);
    return;
  }
  if (--it->second.references == 0) {
    if (Active().exports == &images_[it->second.image].exports) Active().exports = nullptr;
    modules_.erase(it);
  }
  Done(call, true);
}

}  // namespace nolpa::sim
