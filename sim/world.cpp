#include "sim/world.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "sim/core/text.h"

namespace nolpa::sim {

using platform::DeviceHandle;
using platform::kInvalidDeviceHandle;

World::World(platform::Clock& clock) : clock_(clock), originMs_(clock.NowMs()) {}

World::~World() = default;

template <typename T>
T& World::Add(std::unique_ptr<T> device) {
  CheckUnique(*device);
  T& added = *device;
  added.Attach(
      &clock_,
      [this] {
        if (onStateChanged_) onStateChanged_();
      },
      &departures_);
  devices_.push_back(std::move(device));
  return added;
}

void World::CheckUnique(const SimDevice& device) const {
  for (const auto& d : devices_) {
    if (d->Name() == device.Name())
      throw std::invalid_argument("device name taken: " + device.Name());
    if (device.ComPort() != 0 && d->ComPort() == device.ComPort())
      throw std::invalid_argument("COM port taken: " + std::to_string(device.ComPort()));
    if (!device.InterfacePath().empty() && SameName(d->InterfacePath(), device.InterfacePath()))
      throw std::invalid_argument("interface path taken: " + device.InterfacePath());
  }
}

namespace {
std::string DefaultName(DeviceKind kind, std::size_t count) {
  return std::string(DeviceKindName(kind)) + std::to_string(count + 1);
}
}  // namespace

// A path made from the serial number, or from the name when another device
// with the same ids and serial number holds that one already.
std::string World::FreeInterfacePath(std::uint16_t vendorId, std::uint16_t productId,
                                     std::string_view serial, std::string_view name,
                                     const platform::Guid& guid) const {
  std::string path = MakeInterfacePath(vendorId, productId, serial, name, guid);
  for (const auto& d : devices_)
    if (SameName(d->InterfacePath(), path))
      return MakeInterfacePath(vendorId, productId, {}, name, guid);
  return path;
}

VendorPrinter& World::AddVendorPrinter(VendorPrinterConfig config) {
  if (config.kind != DeviceKind::VendorDriver && config.kind != DeviceKind::VirtualCom)
    throw std::invalid_argument("a vendor printer is on the vendor driver or a COM port");
  if (config.kind == DeviceKind::VirtualCom && (config.comPort < 1 || config.comPort > 255))
    throw std::invalid_argument("COM port out of range");
  if (config.name.empty()) config.name = DefaultName(config.kind, devices_.size());
  if (config.kind == DeviceKind::VendorDriver && config.interfacePath.empty())
    config.interfacePath =
        FreeInterfacePath(config.usb.vendorId, config.usb.productId, Narrow(config.serial),
                          config.name, kVendorInterfaceGuid);
  return Add(std::make_unique<VendorPrinter>(config));
}

ClassPrinter& World::AddClassPrinter(ClassPrinterConfig config) {
  if (config.name.empty()) config.name = DefaultName(DeviceKind::PrinterClass, devices_.size());
  if (config.interfacePath.empty())
    config.interfacePath = FreeInterfacePath(config.vendorId, config.productId, config.serial,
                                             config.name, kUsbPrintInterfaceGuid);
  return Add(std::make_unique<ClassPrinter>(config));
}

SerialPort& World::AddSerialPort(SerialPortConfig config) {
  if (config.comPort < 1 || config.comPort > 255)
    throw std::invalid_argument("COM port out of range");
  if (config.name.empty()) config.name = DefaultName(DeviceKind::SerialPort, devices_.size());
  return Add(std::make_unique<SerialPort>(config));
}

SimDevice* World::FindDevice(std::string_view name) {
  for (auto& d : devices_)
    if (d->Name() == name) return d.get();
  return nullptr;
}

SimDevice& World::Device(std::string_view name) {
  if (SimDevice* d = FindDevice(name)) return *d;
  throw std::out_of_range("no device named " + std::string(name));
}

VendorPrinter& World::Vendor(std::string_view name) {
  if (auto* p = dynamic_cast<VendorPrinter*>(FindDevice(name))) return *p;
  throw std::out_of_range("no vendor printer named " + std::string(name));
}

ClassPrinter& World::PrinterClass(std::string_view name) {
  if (auto* p = dynamic_cast<ClassPrinter*>(FindDevice(name))) return *p;
  throw std::out_of_range("no printer-class printer named " + std::string(name));
}

std::size_t World::OpenHandles() const { return handles_.size(); }
std::size_t World::OpenSets() const { return sets_.size(); }

void World::SetStateChangedHook(std::function<void()> onStateChanged) {
  onStateChanged_ = std::move(onStateChanged);
}

void World::SetBeforeRequestHook(std::function<void()> beforeRequest) {
  beforeRequest_ = std::move(beforeRequest);
}

// The hook runs once, even if it calls back in.
void World::Touch(bool syncState) {
  std::lock_guard lock(mutex_);
  if (syncState && beforeRequest_ && !inBeforeRequest_) {
    inBeforeRequest_ = true;
    beforeRequest_();
    inBeforeRequest_ = false;
  }
  const std::uint64_t now = clock_.NowMs();
  for (auto& d : devices_) {
    auto& at = d->Faults().unplugAtMs;
    if (at && *at <= now) {
      d->Unplug();
      at.reset();
    }
  }
  BringBackDue();
  ApplyDueEvents();
}

std::size_t World::HandlesOn(const SimDevice* device) const {
  return static_cast<std::size_t>(
      std::count_if(handles_.begin(), handles_.end(), [device](const auto& h) {
        return h.second.device == device && h.second.generation == device->Generation();
      }));
}

bool World::MayOpen(const SimDevice* device) const {
  const std::size_t held = HandlesOn(device);
  return held == 0 || (held == 1 && device->Kind() == DeviceKind::PrinterClass);
}

void World::CheckOverlap(DeviceHandle handle, const SimDevice* device) const {
  if (device == nullptr) return;
  const auto later =
      std::find_if(handles_.upper_bound(handle), handles_.end(), [device](const auto& h) {
        return h.second.device == device && h.second.generation == device->Generation();
      });
  if (later != handles_.end())
    device->NoteDeparture(
        departure::kOverlappedHandleUsed,
        "handle " + std::to_string(handle) + " while " + std::to_string(later->first) + " is open");
}

SimDevice* World::LiveDevice(DeviceHandle handle, SimDevice** anyDevice) {
  *anyDevice = nullptr;
  auto it = handles_.find(handle);
  if (it == handles_.end()) return nullptr;
  SimDevice* d = it->second.device;
  *anyDevice = d;
  return d->Plugged() && d->Generation() == it->second.generation ? d : nullptr;
}

RecordedRequest World::Begin(const SimDevice* device, RequestKind kind, DeviceHandle handle) const {
  RecordedRequest r;
  r.timeMs = clock_.NowMs();
  if (device && recorder_.Enabled()) r.device = device->Name();
  r.kind = kind;
  r.handle = handle;
  return r;
}

// Records the request; a plugged device then counts it towards its unplug.
void World::Finish(SimDevice* device, RecordedRequest&& request) {
  const RequestKind kind = request.kind;
  const std::uint32_t code = request.code;
  recorder_.Add(std::move(request));
  if (device && device->Plugged() && UnplugDue(device->Faults(), kind, code)) device->Unplug();
}

DeviceHandle World::Open(const std::string& path) {
  std::lock_guard lock(mutex_);
  Touch(true);
  CheckPortExamined(path, true);
  SimDevice* device = nullptr;
  for (auto& d : devices_)
    if (d->AnswersToPath(path)) device = d.get();
  RecordedRequest r = Begin(device, RequestKind::Open, kInvalidDeviceHandle);
  r.path = path;
  if (device && device->Plugged() && !device->Faults().refuseOpen && MayOpen(device)) {
    r.handle = nextHandle_;
    nextHandle_ += 4;
    handles_[r.handle] = {device, device->Generation()};
    device->Opened();
    r.ok = true;
  }
  const DeviceHandle handle = r.handle;
  Finish(device && device->Plugged() ? device : nullptr, std::move(r));
  return handle;
}

bool World::Read(DeviceHandle handle, void* buffer, std::uint32_t size, std::uint32_t* done) {
  std::lock_guard lock(mutex_);
  Touch(false);
  if (done) *done = 0;
  SimDevice* any = nullptr;
  SimDevice* device = LiveDevice(handle, &any);
  CheckOverlap(handle, device);
  RecordedRequest r = Begin(any, RequestKind::Read, handle);
  r.size = size;
  if (device && NotReadyDue(device->Faults(), clock_.NowMs())) {
    r.ok = false;
  } else if (device && (buffer || size == 0)) {
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    r.count = device->Read(bytes, size);
    // The bytes are copied only for a recorder that keeps them: a reply
    // reader's silence is thousands of empty reads.
    if (recorder_.Enabled() && r.count > 0) r.out.assign(bytes, bytes + r.count);
    if (done) *done = r.count;
    r.ok = true;
  }
  const bool ok = r.ok;
  Finish(device, std::move(r));
  return ok;
}

bool World::Write(DeviceHandle handle, const void* data, std::uint32_t size, std::uint32_t* done) {
  std::lock_guard lock(mutex_);
  Touch(true);
  if (done) *done = 0;
  SimDevice* any = nullptr;
  SimDevice* device = LiveDevice(handle, &any);
  CheckOverlap(handle, device);
  RecordedRequest r = Begin(any, RequestKind::Write, handle);
  r.size = size;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  if (bytes) r.in.assign(bytes, bytes + size);
  if (device && NotReadyDue(device->Faults(), clock_.NowMs())) {
    r.ok = false;
  } else if (device && (bytes || size == 0)) {
    r.count = BytesTaken(device->Faults(), size);
    device->Write(std::span<const std::uint8_t>(r.in.data(), r.count));
    if (done) *done = r.count;
    r.ok = true;
  }
  const bool ok = r.ok;
  Finish(device, std::move(r));
  return ok;
}

// The device's answer as the faults reshape it.
std::vector<std::uint8_t> World::AnswerIoctl(SimDevice& device, std::uint32_t code,
                                             std::span<const std::uint8_t> in, bool& ok) {
  std::vector<std::uint8_t> answer;
  ok = device.IoControl(code, in, answer);
  const IoctlFault* fault = NextIoctlFault(device.Faults(), code);
  if (!fault) return ok ? answer : std::vector<std::uint8_t>{};
  switch (fault->action) {
    case IoctlFault::Action::Refuse: ok = false; return {};
    case IoctlFault::Action::Short:
      if (answer.size() > fault->fill) answer.resize(fault->fill);
      return ok ? answer : std::vector<std::uint8_t>{};
    case IoctlFault::Action::Raw: ok = true; return fault->bytes;
  }
  return answer;
}

bool World::IoControl(DeviceHandle handle, std::uint32_t code, const void* in, std::uint32_t inSize,
                      void* out, std::uint32_t outSize, std::uint32_t* returned) {
  return Control(handle, code, in, inSize, out, outSize, returned) == platform::ControlResult::Done;
}

platform::ControlResult World::Control(DeviceHandle handle, std::uint32_t code, const void* in,
                                       std::uint32_t inSize, void* out, std::uint32_t outSize,
                                       std::uint32_t* returned) {
  std::lock_guard lock(mutex_);
  bool notReady = false;
  Touch(true);
  if (returned) *returned = 0;
  SimDevice* any = nullptr;
  SimDevice* device = LiveDevice(handle, &any);
  CheckOverlap(handle, device);
  RecordedRequest r = Begin(any, RequestKind::IoControl, handle);
  r.code = code;
  r.size = out ? outSize : 0;
  r.inSize = in ? inSize : 0;
  r.outSize = r.size;
  if (in)
    r.in.assign(static_cast<const std::uint8_t*>(in),
                static_cast<const std::uint8_t*>(in) + inSize);
  if (device && !device->AcceptsRequest(code, r.in, r.outSize)) {
    r.ok = false;
  } else if (device && NotReadyDue(device->Faults(), clock_.NowMs())) {
    r.ok = false;
    notReady = true;
  } else if (device) {
    r.out = AnswerIoctl(*device, code, r.in, r.ok);
    if (r.out.size() > r.size) r.out.resize(r.size);  // cut to the caller's buffer
    r.count = static_cast<std::uint32_t>(r.out.size());
    if (r.count > 0) std::memcpy(out, r.out.data(), r.count);
    if (returned) *returned = r.count;
  }
  const bool ok = r.ok;
  Finish(device, std::move(r));
  if (ok) return platform::ControlResult::Done;
  return notReady ? platform::ControlResult::NotReady : platform::ControlResult::Failed;
}

bool World::SetTimeouts(DeviceHandle handle, const platform::CommTimeouts& timeouts) {
  std::lock_guard lock(mutex_);
  Touch(false);
  SimDevice* any = nullptr;
  SimDevice* device = LiveDevice(handle, &any);
  RecordedRequest r = Begin(any, RequestKind::SetTimeouts, handle);
  r.timeouts = timeouts;
  r.ok = device && device->SetTimeouts(timeouts);
  const bool ok = r.ok;
  Finish(device, std::move(r));
  return ok;
}

void World::Close(DeviceHandle handle) {
  std::lock_guard lock(mutex_);
  Touch(false);
  auto it = handles_.find(handle);
  if (it == handles_.end()) return;
  SimDevice* device = it->second.device;
  const bool live = device->Plugged() && device->Generation() == it->second.generation;
  handles_.erase(it);
  if (live) device->Closed();
  RecordedRequest r = Begin(device, RequestKind::Close, handle);
  r.ok = true;
  Finish(device, std::move(r));
}

}  // namespace nolpa::sim
