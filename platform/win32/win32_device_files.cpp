#include "platform/win32/win32_device_files.h"

#include <windows.h>

namespace nolpa::platform::win32 {

namespace {

HANDLE ToHandle(DeviceHandle handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

// The opaque handle keeps the numeric value of INVALID_HANDLE_VALUE.
static_assert(sizeof(DeviceHandle) == sizeof(HANDLE));

DeviceHandle Win32DeviceFiles::Open(const std::string& path) {
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return reinterpret_cast<DeviceHandle>(handle);
}

bool Win32DeviceFiles::Read(DeviceHandle handle, void* buffer, std::uint32_t size,
                            std::uint32_t* done) {
  DWORD count = 0;
  const bool ok = ReadFile(ToHandle(handle), buffer, size, &count, nullptr) != FALSE;
  *done = count;
  return ok;
}

bool Win32DeviceFiles::Write(DeviceHandle handle, const void* data, std::uint32_t size,
                             std::uint32_t* done) {
  DWORD count = 0;
  const bool ok = WriteFile(ToHandle(handle), data, size, &count, nullptr) != FALSE;
  *done = count;
  return ok;
}

bool Win32DeviceFiles::IoControl(DeviceHandle handle, std::uint32_t code, const void* in,
                                 std::uint32_t inSize, void* out, std::uint32_t outSize,
                                 std::uint32_t* returned) {
  DWORD count = 0;
  const bool ok = DeviceIoControl(ToHandle(handle), code, const_cast<void*>(in), inSize, out,
                                  outSize, &count, nullptr) != FALSE;
  *returned = count;
  return ok;
}

bool Win32DeviceFiles::SetTimeouts(DeviceHandle handle, const CommTimeouts& timeouts) {
  COMMTIMEOUTS native{timeouts.readIntervalTimeout, timeouts.readTotalTimeoutMultiplier,
                      timeouts.readTotalTimeoutConstant, timeouts.writeTotalTimeoutMultiplier,
                      timeouts.writeTotalTimeoutConstant};
  return SetCommTimeouts(ToHandle(handle), &native) != FALSE;
}

void Win32DeviceFiles::Close(DeviceHandle handle) {
  if (handle == kInvalidDeviceHandle) return;
  CloseHandle(ToHandle(handle));
}

}  // namespace nolpa::platform::win32
