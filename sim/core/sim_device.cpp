#include "sim/core/sim_device.h"

#include <cctype>
#include <cstdio>

namespace nolpa::sim {
namespace {

struct KindName {
  DeviceKind kind;
  const char* name;
};
constexpr KindName kKindNames[] = {
    {DeviceKind::VendorDriver, "vendor"},
    {DeviceKind::VirtualCom, "com"},
    {DeviceKind::PrinterClass, "printer-class"},
    {DeviceKind::SerialPort, "serial"},
};

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool IsPlainInstance(std::string_view s) {
  if (s.empty() || s.size() > 64) return false;
  for (char c : s)
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  return true;
}

std::uint32_t Fnv1a(std::string_view s) {
  std::uint32_t h = 2166136261u;
  for (unsigned char c : s) h = (h ^ c) * 16777619u;
  return h;
}

}  // namespace

const char* DeviceKindName(DeviceKind kind) {
  for (const auto& k : kKindNames)
    if (k.kind == kind) return k.name;
  return "?";
}

std::optional<DeviceKind> DeviceKindFromName(std::string_view name) {
  for (const auto& k : kKindNames)
    if (name == k.name) return k.kind;
  return std::nullopt;
}

std::string GuidText(const platform::Guid& g) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
                static_cast<unsigned>(g.data1), g.data2, g.data3, g.data4[0], g.data4[1],
                g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
  return buf;
}

std::string MakeInterfacePath(std::uint16_t vendorId, std::uint16_t productId,
                              std::string_view serial, std::string_view name,
                              const platform::Guid& guid) {
  char ids[32];
  std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x", vendorId, productId);
  std::string instance;
  if (IsPlainInstance(serial)) {
    instance = serial;
  } else {
    char buf[24];
    std::snprintf(buf, sizeof buf, "5&%08x&0&1", static_cast<unsigned>(Fnv1a(name)));
    instance = buf;
  }
  return std::string("\\\\?\\usb#") + ids + "#" + instance + "#" + GuidText(guid);
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

int ComPortNumber(std::string_view name, bool allowDevicePrefix) {
  const bool prefixed = allowDevicePrefix && name.substr(0, 4) == "\\\\.\\";
  if (prefixed) name.remove_prefix(4);
  if (name.size() < 4 || name.size() > 6 || !SameName(name.substr(0, 3), "COM")) return 0;
  int n = 0;
  for (char c : name.substr(3)) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + (c - '0');
  }
  // "COM03" is not the name of port 3.
  if (name[3] == '0') return 0;
  // A device path may name COM1 to COM9 bare; Windows opens a higher port
  // only as "\\.\COMn".
  return allowDevicePrefix && !prefixed && n > kHighestBarePort ? 0 : n;
}

// Each change of presence: gone cuts the device's power, back starts a new
// generation.
void SimDevice::SetPresence(bool plugged, bool hubsPresent) {
  const bool was = Plugged();
  plugged_ = plugged;
  hubsPresent_ = hubsPresent;
  if (was && !Plugged()) OnUnplugged();
  if (!was && Plugged()) ++generation_;
}

void SimDevice::Unplug() { SetPresence(false, hubsPresent_); }

void SimDevice::Plug() { SetPresence(true, hubsPresent_); }

void SimDevice::SetHubsPresent(bool present) { SetPresence(plugged_, present); }

std::uint32_t SimDevice::Read(std::uint8_t*, std::uint32_t) { return 0; }

void SimDevice::Write(std::span<const std::uint8_t>) {}

bool SimDevice::AcceptsRequest(std::uint32_t, std::span<const std::uint8_t>, std::uint32_t) {
  return true;
}

bool SimDevice::IoControl(std::uint32_t, std::span<const std::uint8_t>,
                          std::vector<std::uint8_t>&) {
  return false;
}

bool SimDevice::SetTimeouts(const platform::CommTimeouts& timeouts) {
  if (!IsSerialPort() || faults_.refuseTimeouts) return false;
  timeouts_ = timeouts;
  return true;
}

void SimDevice::Attach(platform::Clock* clock, std::function<void()> onStateChanged,
                       DepartureLog* departures) {
  clock_ = clock;
  onStateChanged_ = std::move(onStateChanged);
  departures_ = departures;
}

void SimDevice::NoteDeparture(std::string_view kind, std::string detail) const {
  if (departures_ == nullptr) return;
  departures_->Note({Now(), name_, std::string(kind), std::move(detail)});
}

SerialPort::SerialPort(const SerialPortConfig& config)
    : SimDevice(config.name, DeviceKind::SerialPort),
      comPort_(config.comPort),
      dosTarget_(config.dosTarget.empty() ? "\\Device\\Serial" + std::to_string(config.comPort - 1)
                                          : config.dosTarget) {}

bool SerialPort::AnswersToPath(std::string_view path) const {
  return ComPortNumber(path, true) == comPort_;
}

}  // namespace nolpa::sim
