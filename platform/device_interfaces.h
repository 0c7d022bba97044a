#pragma once
// Device-interface enumeration by class GUID (SetupAPI).
#include <cstdint>
#include <string>

namespace nolpa::platform {

struct Guid {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::uint8_t data4[8];
  friend bool operator==(const Guid&, const Guid&) = default;
};

// Opaque handle of one enumerated interface set (an HDEVINFO).
using InterfaceSet = std::uintptr_t;
inline constexpr InterfaceSet kInvalidInterfaceSet = ~InterfaceSet{0};

class DeviceInterfaces {
 public:
  virtual ~DeviceInterfaces() = default;

  // SetupDiGetClassDevsA(guid, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE): the
  // present interfaces of the class. kInvalidInterfaceSet on failure. Every
  // set must be released with CloseSet.
  virtual InterfaceSet OpenSet(const Guid& interfaceClass) = 0;

  // The device path of interface number `index` of the class in `set`
  // (SetupDiEnumDeviceInterfaces, then SetupDiGetDeviceInterfaceDetailA once
  // for the size and once into a buffer of that size). False when the set has
  // no such interface or the detail cannot be read.
  virtual bool InterfacePath(InterfaceSet set, const Guid& interfaceClass, std::uint32_t index,
                             std::string* path) = 0;

  // SetupDiEnumDeviceInterfaces alone: whether `set` holds an interface
  // numbered `index` of the class at all, readable or not. An enumeration
  // goes on past an interface whose path cannot be read (a device removed
  // while the set is walked) and ends where this is false. The default asks
  // InterfacePath, so an implementation that cannot tell the two apart ends
  // the enumeration at the first unreadable interface.
  virtual bool HasInterface(InterfaceSet set, const Guid& interfaceClass, std::uint32_t index) {
    std::string path;
    return InterfacePath(set, interfaceClass, index, &path);
  }

  // SetupDiDestroyDeviceInfoList. Releasing kInvalidInterfaceSet does nothing.
  virtual void CloseSet(InterfaceSet set) = 0;
};

}  // namespace nolpa::platform
