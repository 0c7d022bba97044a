#pragma once
// The simulated outside world: it owns simulated devices and implements the
// device-facing platform interfaces over them. It reads time from the clock
// it is given: a VirtualClock in native tests, the real clock in
// NOLPAID-sim.exe.
//
// A test builds one in code:
//   VirtualClock clock;
//   World world(clock);
//   VendorPrinter& p = world.AddVendorPrinter({.name = "vx", .serial = u"A1"});
//   p.Faults().ioctl.push_back({.code = kIoctlIdName});  // refuse the ID name
//   platform::Platform platform{.clock = &clock, .files = &world.Files(), ...};
// or from a fleet text (fleet.h): LoadFleet(world, text).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/device_files.h"
#include "platform/device_interfaces.h"
#include "platform/dos_devices.h"
#include "sim/core/recorder.h"
#include "sim/core/sim_device.h"
#include "sim/printers/class_printer.h"
#include "sim/printers/vendor_printer.h"
#include "sim/usb/machine_layout.h"

namespace nolpa::sim {

// A fleet's event: at `atMs`, in ms since the world was made on its clock,
// the device or hub `name` is plugged in (`plug`) or unplugged.
struct PlugEvent {
  std::uint64_t atMs = 0;
  std::string name;
  bool plug = false;
  friend bool operator==(const PlugEvent&, const PlugEvent&) = default;
};

class World : private platform::DeviceFiles,
              private platform::DeviceInterfaces,
              private platform::DosDevices {
 public:
  explicit World(platform::Clock& clock);
  ~World() override;
  World(const World&) = delete;
  World& operator=(const World&) = delete;

  // The platform interfaces over this world.
  platform::DeviceFiles& Files() { return *this; }
  platform::DeviceInterfaces& Interfaces() { return *this; }
  platform::DosDevices& DosDevices() { return *this; }
  platform::Clock& Clock() { return clock_; }

  // Adds a device; it is plugged in at once. An empty name becomes
  // "<kind><n>". Throws std::invalid_argument when the name, the interface
  // path or the COM port is taken already, or the kind does not fit.
  VendorPrinter& AddVendorPrinter(VendorPrinterConfig config);
  ClassPrinter& AddClassPrinter(ClassPrinterConfig config);
  SerialPort& AddSerialPort(SerialPortConfig config);

  // Devices by name, in the order they were added. The typed lookups throw
  // std::out_of_range when there is no such device of that type.
  SimDevice* FindDevice(std::string_view name);
  SimDevice& Device(std::string_view name);
  VendorPrinter& Vendor(std::string_view name);
  ClassPrinter& PrinterClass(std::string_view name);
  const std::vector<std::unique_ptr<SimDevice>>& Devices() const { return devices_; }

  // The machine the printer-class printers are attached to, as the fleet
  // describes it (machine_layout.h): its Windows, its USB bus and sockets.
  MachineLayout& Machine() { return machine_; }
  const MachineLayout& Machine() const { return machine_; }

  // The devices as a fleet text with their present state (FleetToJson).
  std::string ToJson();

  // --- Plugging devices and the hubs of the machine's bus ---
  // Unplugs or plugs in the device or the hub (of Machine().hubs) named
  // `name` at once. A hub takes the printers below it with it: they are gone
  // while it is, and come back with it unless unplugged themselves, each as
  // a new generation (handles opened before stay dead). The state-changed
  // hook runs, so a state file keeps it. Throws std::invalid_argument for any
  // other name (a host controller cannot be unplugged).
  void Unplug(std::string_view name);
  void Plug(std::string_view name);
  // Unplugs `name` now and plugs it in again once `requests` more requests
  // have reached the machine (the world's and the bus's), or `ms` ms have
  // passed, whichever is given first: a hub dropping off during a call.
  // A state file keeps it plugged in.
  void UnplugFor(std::string_view name, std::optional<std::uint32_t> requests,
                 std::optional<std::uint32_t> ms);
  // Whether `name` is away for a while (UnplugFor) and will come back.
  bool ComingBack(std::string_view name) const;
  // Call after changing Machine()'s hubs or sockets by hand: the devices
  // below an unplugged hub go, the others come back.
  void UpdateHubPresence();
  // Adds events, kept in time order (equal times in the order given); each
  // is applied, in order, when the world is next touched at or after its
  // time. Throws std::invalid_argument for a name Unplug would refuse.
  void AddEvents(const std::vector<PlugEvent>& events);
  // The events not yet applied.
  const std::vector<PlugEvent>& PendingEvents() const { return events_; }
  // Milliseconds since the world was made, on its clock: the events' time.
  std::uint64_t ElapsedMs() const { return clock_.NowMs() - originMs_; }
  // Runs before every request that reaches the machine (the bus's calls it
  // for its own): brings back what UnplugFor took away, applies the
  // scheduled unplugs and the events that are due, and with `syncState` the
  // before-request hook.
  void Touch(bool syncState);

  // Departures from the protocols the devices play (departures.h).
  DepartureLog& Departures() { return departures_; }
  const DepartureLog& Departures() const { return departures_; }

  // Every request the devices received.
  RequestRecorder& Recorder() { return recorder_; }
  const RequestRecorder& Recorder() const { return recorder_; }

  // Handles opened and not yet closed (dead handles of unplugged devices
  // included), and interface sets not yet released: 0 after a clean action.
  std::size_t OpenHandles() const;
  std::size_t OpenSets() const;
  // Interface sets ever opened, and every name QueryTarget was asked about,
  // in order ("COM1" ... "COM32" after one Find).
  std::size_t SetsOpenedTotal() const { return setsOpenedTotal_; }
  const std::vector<std::string>& QueriedNames() const { return queriedNames_; }

  // Hooks for a world kept in a file (persistent_world.h): `onStateChanged`
  // runs after any request changed what a device stores; `beforeRequest`
  // runs before each open, write, control request, enumeration and name
  // query, so that a change made by another process can be taken in.
  void SetStateChangedHook(std::function<void()> onStateChanged);
  void SetBeforeRequestHook(std::function<void()> beforeRequest);

 private:
  struct OpenHandle {
    SimDevice* device;
    std::uint32_t generation;
  };
  struct OpenSetEntry {
    platform::Guid interfaceClass;
    std::vector<SimDevice*> devices;
  };

  // platform::DeviceFiles
  platform::DeviceHandle Open(const std::string& path) override;
  bool Read(platform::DeviceHandle handle, void* buffer, std::uint32_t size,
            std::uint32_t* done) override;
  bool Write(platform::DeviceHandle handle, const void* data, std::uint32_t size,
             std::uint32_t* done) override;
  bool IoControl(platform::DeviceHandle handle, std::uint32_t code, const void* in,
                 std::uint32_t inSize, void* out, std::uint32_t outSize,
                 std::uint32_t* returned) override;
  platform::ControlResult Control(platform::DeviceHandle handle, std::uint32_t code, const void* in,
                                  std::uint32_t inSize, void* out, std::uint32_t outSize,
                                  std::uint32_t* returned) override;
  bool SetTimeouts(platform::DeviceHandle handle, const platform::CommTimeouts& timeouts) override;
  void Close(platform::DeviceHandle handle) override;
  // platform::DeviceInterfaces
  platform::InterfaceSet OpenSet(const platform::Guid& interfaceClass) override;
  bool InterfacePath(platform::InterfaceSet set, const platform::Guid& interfaceClass,
                     std::uint32_t index, std::string* path) override;
  bool HasInterface(platform::InterfaceSet set, const platform::Guid& interfaceClass,
                    std::uint32_t index) override;
  void CloseSet(platform::InterfaceSet set) override;
  // platform::DosDevices
  bool QueryTarget(const std::string& name, std::string* firstTarget) override;

  template <typename T>
  T& Add(std::unique_ptr<T> device);
  void CheckUnique(const SimDevice& device) const;
  std::string FreeInterfacePath(std::uint16_t vendorId, std::uint16_t productId,
                                std::string_view serial, std::string_view name,
                                const platform::Guid& guid) const;
  // Unplug or Plug without the state-changed hook.
  void SetPlugged(std::string_view name, bool plugged);
  void ApplyDueEvents();
  void BringBackDue();
  // Live handles on `device`.
  std::size_t HandlesOn(const SimDevice* device) const;
  // Devices open without sharing; the printer-class driver lets a second
  // open through while one handle holds the device (the serial-number
  // library opens the printer while the program keeps its own handle).
  bool MayOpen(const SimDevice* device) const;
  // Notes kOverlappedHandleUsed when `handle` is used while a later open of
  // the same device is still held: the program waits for the library's call
  // to end, so its handle is idle while the library's is open.
  void CheckOverlap(platform::DeviceHandle handle, const SimDevice* device) const;
  // Notes kPortAboveCom32 when `name` ("COMn", or "\\.\COMn" when
  // `devicePath`) is a port above COM32, and kBarePortAboveCom9 when the
  // device path `name` is a bare "COMn" above COM9.
  void CheckPortExamined(std::string_view name, bool devicePath);
  // The handle's device when the handle is open and the device still there.
  SimDevice* LiveDevice(platform::DeviceHandle handle, SimDevice** anyDevice);
  RecordedRequest Begin(const SimDevice* device, RequestKind kind,
                        platform::DeviceHandle handle) const;
  void Finish(SimDevice* device, RecordedRequest&& request);
  std::vector<std::uint8_t> AnswerIoctl(SimDevice& device, std::uint32_t code,
                                        std::span<const std::uint8_t> in, bool& ok);

  platform::Clock& clock_;
  // Declared before the devices, so it outlives them and is checked last.
  DepartureLog departures_;
  std::vector<std::unique_ptr<SimDevice>> devices_;
  MachineLayout machine_;
  std::map<platform::DeviceHandle, OpenHandle> handles_;
  std::map<platform::InterfaceSet, OpenSetEntry> sets_;
  platform::DeviceHandle nextHandle_ = 0x100;
  platform::InterfaceSet nextSet_ = 0x5000;
  std::size_t setsOpenedTotal_ = 0;
  std::vector<std::string> queriedNames_;
  RequestRecorder recorder_;
  std::function<void()> onStateChanged_;
  std::function<void()> beforeRequest_;
  bool inBeforeRequest_ = false;
  std::uint64_t originMs_ = 0;
  std::vector<PlugEvent> events_;
  // What UnplugFor took away, and when it comes back.
  struct Return {
    std::string name;
    std::optional<std::uint32_t> requestsLeft;
    std::optional<std::uint64_t> atMs;
  };
  std::vector<Return> returns_;
  std::recursive_mutex mutex_;  // the library may call in from another thread
};

// The world NOLPAID-sim.exe runs against: loaded from `stateFile` (a fleet
// file); when the file does not exist it is created from the default fleet.
// Changes to printers (identifiers written, board memory) are saved back to
// the file at once, by writing a temporary file and renaming it over the
// old one, so a second process sees them and a crash never leaves half a
// file. The recorder is off. Returns null when the file exists but cannot be
// read or is not a valid fleet; `error` then says why.
std::unique_ptr<World> OpenPersistentWorld(const std::string& stateFile, platform::Clock& clock,
                                           std::string* error = nullptr);

}  // namespace nolpa::sim
