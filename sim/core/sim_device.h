#pragma once
// One simulated device as the world sees it: a name, how it is reached
// (interface class and path, or COM port), whether it is plugged in, its
// fault switches, and the requests it answers. The world checks handles,
// presence and the generic faults; a device only answers.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/device_files.h"
#include "platform/device_interfaces.h"
#include "sim/core/departures.h"
#include "sim/core/faults.h"

namespace nolpa::sim {

enum class DeviceKind {
  VendorDriver,  // the maker's USB driver: interface path + "\RK"
  VirtualCom,    // the maker's virtual COM port driver: \\.\COMn
  PrinterClass,  // the system's USB printer class driver: the interface path
  SerialPort,    // a serial port of another driver: \\.\COMn, not a printer
};
const char* DeviceKindName(DeviceKind kind);  // "vendor", "com", "printer-class", "serial"
std::optional<DeviceKind> DeviceKindFromName(std::string_view name);

// {5DD901C0-BCF4-11D1-9738-008029E6A5B3}: the maker's USB driver.
inline constexpr platform::Guid kVendorInterfaceGuid = {
    0x5DD901C0, 0xBCF4, 0x11D1, {0x97, 0x38, 0x00, 0x80, 0x29, 0xE6, 0xA5, 0xB3}};
// {28D78FAD-5A12-11D1-AE5B-0000F803A8C2}: GUID_DEVINTERFACE_USBPRINT.
inline constexpr platform::Guid kUsbPrintInterfaceGuid = {
    0x28D78FAD, 0x5A12, 0x11D1, {0xAE, 0x5B, 0x00, 0x00, 0xF8, 0x03, 0xA8, 0xC2}};

// "{5dd901c0-bcf4-11d1-9738-008029e6a5b3}": the lower-case form paths carry.
std::string GuidText(const platform::Guid& guid);

// A stable interface path: \\?\usb#vid_xxxx&pid_xxxx#<instance>#{guid}.
// The instance is `serial` when it is a plain alphanumeric text, else one
// derived from `name`.
std::string MakeInterfacePath(std::uint16_t vendorId, std::uint16_t productId,
                              std::string_view serial, std::string_view name,
                              const platform::Guid& guid);

// ASCII case-insensitive equality, as the object manager compares names.
bool SameName(std::string_view a, std::string_view b);

// The highest port a device path may name without "\\.\" ("COM9").
inline constexpr int kHighestBarePort = 9;

// The port number of "COMn", else 0. With `allowDevicePrefix` the name is a
// device path to open: "\\.\COMn", or "COMn" bare up to COM9 only.
int ComPortNumber(std::string_view name, bool allowDevicePrefix);

class SimDevice {
 public:
  SimDevice(std::string name, DeviceKind kind) : name_(std::move(name)), kind_(kind) {}
  virtual ~SimDevice() = default;
  SimDevice(const SimDevice&) = delete;
  SimDevice& operator=(const SimDevice&) = delete;

  const std::string& Name() const { return name_; }
  DeviceKind Kind() const { return kind_; }

  FaultSet& Faults() { return faults_; }
  const FaultSet& Faults() const { return faults_; }

  // An unplugged device is not enumerated, cannot be opened, and fails every
  // request on a handle opened before. Plugging it in again does not revive
  // those handles: each plug-in starts a new generation. A device is present
  // while it is plugged in itself and every hub above it is
  // (SetHubsPresent); Plugged() tells both.
  bool Plugged() const { return plugged_ && hubsPresent_; }
  bool PluggedItself() const { return plugged_; }
  void Unplug();
  void Plug();
  // The world tells a device on a hub whether that hub and every hub above
  // it are plugged in: a hub takes the devices below it with it.
  void SetHubsPresent(bool present);
  std::uint32_t Generation() const { return generation_; }

  // The serial time-outs last accepted, if any.
  const std::optional<platform::CommTimeouts>& LastTimeouts() const { return timeouts_; }

  // --- Addressing (the world asks) ---
  virtual const platform::Guid* InterfaceClass() const { return nullptr; }
  virtual std::string InterfacePath() const { return {}; }
  virtual int ComPort() const { return 0; }             // 0: not a COM port
  virtual std::string DosTarget() const { return {}; }  // for ComPort()
  virtual bool AnswersToPath(std::string_view path) const = 0;

  // --- Requests (the world calls these once handle and presence are checked) ---
  virtual void Opened() {}
  virtual void Closed() {}
  // Copies at most `size` waiting bytes into `buffer`; returns how many.
  virtual std::uint32_t Read(std::uint8_t* buffer, std::uint32_t size);
  // Receives bytes the host wrote (already cut by the write faults).
  virtual void Write(std::span<const std::uint8_t> data);
  // False when the driver refuses a request of `code` with these buffers
  // outright (a size it does not define for the code); the device notes the
  // departure. The world asks this before IoControl.
  virtual bool AcceptsRequest(std::uint32_t code, std::span<const std::uint8_t> in,
                              std::uint32_t outSize);
  // The whole answer to a control request, before it is cut to the caller's
  // buffer; false when the driver refuses the request.
  virtual bool IoControl(std::uint32_t code, std::span<const std::uint8_t> in,
                         std::vector<std::uint8_t>& answer);
  // Records the time-outs and returns true when this is a serial port.
  bool SetTimeouts(const platform::CommTimeouts& timeouts);

  // The world's hooks: the clock devices read, who hears that a device's
  // stored state (identifiers, board memory) changed, and where departures
  // from the protocol are noted.
  void Attach(platform::Clock* clock, std::function<void()> onStateChanged,
              DepartureLog* departures = nullptr);

  // Notes a departure from the protocol this device plays (departures.h).
  void NoteDeparture(std::string_view kind, std::string detail = {}) const;

 protected:
  virtual bool IsSerialPort() const { return false; }
  virtual void OnUnplugged() {}
  std::uint64_t Now() const { return clock_ ? clock_->NowMs() : 0; }
  void NotifyStateChanged() const {
    if (onStateChanged_) onStateChanged_();
  }

 private:
  void SetPresence(bool plugged, bool hubsPresent);

  std::string name_;
  DeviceKind kind_;
  FaultSet faults_;
  bool plugged_ = true;
  bool hubsPresent_ = true;
  std::uint32_t generation_ = 1;
  std::optional<platform::CommTimeouts> timeouts_;
  platform::Clock* clock_ = nullptr;
  std::function<void()> onStateChanged_;
  DepartureLog* departures_ = nullptr;
};

// A serial port of another driver: it opens and takes time-outs, takes every
// byte written, never answers, and refuses every control request.
struct SerialPortConfig {
  std::string name{};
  int comPort = 1;
  std::string dosTarget{};  // empty: "\Device\Serial<comPort - 1>"
};

class SerialPort : public SimDevice {
 public:
  explicit SerialPort(const SerialPortConfig& config);
  int ComPort() const override { return comPort_; }
  std::string DosTarget() const override { return dosTarget_; }
  bool AnswersToPath(std::string_view path) const override;

 protected:
  bool IsSerialPort() const override { return true; }

 private:
  int comPort_;
  std::string dosTarget_;
};

}  // namespace nolpa::sim
