#include "platform/win32/win32_registry.h"

#include "platform/win32/native_guid.h"
#include "platform/win32/system_libraries.h"

#include <cstring>
#include <vector>

namespace nolpa::platform::win32 {

namespace {

HKEY ToKey(RegistryKey key) { return reinterpret_cast<HKEY>(key); }

}  // namespace

static_assert(sizeof(RegistryKey) == sizeof(HKEY));

RegistryKey Win32Registry::OpenMachineKey(const std::string& subKey, RegistryView view) {
  HKEY key = nullptr;
  const REGSAM access = view == RegistryView::Bits64 ? KEY_READ | KEY_WOW64_64KEY : KEY_READ;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, access, &key) != ERROR_SUCCESS)
    return kNoRegistryKey;
  return reinterpret_cast<RegistryKey>(key);
}

RegistryKey Win32Registry::OpenInterfaceKey(InterfaceSet set, const Guid& interfaceClass,
                                            std::uint32_t index) {
  const SetupCalls& setup = Setup();
  if (setup.enumDeviceInterfaces == nullptr || setup.openDeviceInterfaceRegKey == nullptr)
    return kNoRegistryKey;
  const GUID guid = ToGuid(interfaceClass);
  HDEVINFO devices = reinterpret_cast<HDEVINFO>(set);
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  if (!setup.enumDeviceInterfaces(devices, nullptr, &guid, index, &data)) return kNoRegistryKey;
  HKEY key = setup.openDeviceInterfaceRegKey(devices, &data, 0, KEY_READ);
  if (key == INVALID_HANDLE_VALUE || key == nullptr) return kNoRegistryKey;
  return reinterpret_cast<RegistryKey>(key);
}

std::optional<std::string> Win32Registry::ReadString(RegistryKey key, const std::string& name,
                                                     std::uint32_t maxBytes) {
  if (maxBytes == 0) return std::nullopt;
  std::vector<char> buffer(maxBytes, '\0');
  DWORD type = 0;
  DWORD size = maxBytes;
  if (RegQueryValueExA(ToKey(key), name.c_str(), nullptr, &type,
                       reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return std::nullopt;
  // The value need not carry its NUL; it ends at the first one within it.
  return std::string(buffer.data(), strnlen(buffer.data(), size));
}

std::optional<std::uint32_t> Win32Registry::ReadDword(RegistryKey key, const std::string& name) {
  DWORD value = 0;
  DWORD type = 0;
  DWORD size = sizeof value;
  if (RegQueryValueExA(ToKey(key), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value),
                       &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value)
    return std::nullopt;
  return value;
}

void Win32Registry::CloseKey(RegistryKey key) {
  if (key == kNoRegistryKey) return;
  RegCloseKey(ToKey(key));
}

}  // namespace nolpa::platform::win32
