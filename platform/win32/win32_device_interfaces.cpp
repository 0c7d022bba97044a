#include "platform/win32/win32_device_interfaces.h"

#include "platform/win32/native_guid.h"
#include "platform/win32/system_libraries.h"

#include <cstddef>
#include <cstring>
#include <vector>

namespace nolpa::platform::win32 {

namespace {

HDEVINFO ToSet(InterfaceSet set) { return reinterpret_cast<HDEVINFO>(set); }

}  // namespace

static_assert(sizeof(InterfaceSet) == sizeof(HDEVINFO));

InterfaceSet Win32DeviceInterfaces::OpenSet(const Guid& interfaceClass) {
  const SetupCalls& setup = Setup();
  if (setup.getClassDevs == nullptr) return kInvalidInterfaceSet;
  const GUID guid = ToGuid(interfaceClass);
  HDEVINFO set = setup.getClassDevs(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  return reinterpret_cast<InterfaceSet>(set);
}

bool Win32DeviceInterfaces::InterfacePath(InterfaceSet set, const Guid& interfaceClass,
                                          std::uint32_t index, std::string* path) {
  const SetupCalls& setup = Setup();
  if (setup.enumDeviceInterfaces == nullptr || setup.getDeviceInterfaceDetail == nullptr)
    return false;
  const GUID guid = ToGuid(interfaceClass);
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  if (!setup.enumDeviceInterfaces(ToSet(set), nullptr, &guid, index, &data)) return false;

  DWORD required = 0;
  setup.getDeviceInterfaceDetail(ToSet(set), &data, nullptr, 0, &required, nullptr);
  if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return false;

  // DWORD elements keep the detail structure aligned.
  std::vector<DWORD> buffer((required + sizeof(DWORD) - 1) / sizeof(DWORD));
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
  if (!setup.getDeviceInterfaceDetail(ToSet(set), &data, detail, required, nullptr, nullptr))
    return false;
  // The path ends at its NUL, within the bytes the call was given.
  const char* text = detail->DevicePath;
  const std::size_t room = required - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
  *path = std::string(text, strnlen(text, room));
  return true;
}

bool Win32DeviceInterfaces::HasInterface(InterfaceSet set, const Guid& interfaceClass,
                                         std::uint32_t index) {
  const auto enumInterfaces = Setup().enumDeviceInterfaces;
  if (enumInterfaces == nullptr) return false;
  const GUID guid = ToGuid(interfaceClass);
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  return enumInterfaces(ToSet(set), nullptr, &guid, index, &data) != FALSE;
}

void Win32DeviceInterfaces::CloseSet(InterfaceSet set) {
  if (set == kInvalidInterfaceSet || Setup().destroyDeviceInfoList == nullptr) return;
  Setup().destroyDeviceInfoList(ToSet(set));
}

}  // namespace nolpa::platform::win32
