#include "platform/win32/win32_device_files.h"

#include <windows.h>

#include <algorithm>

#include "platform/device_call_bounds.h"
#include "platform/win32/bounded_request.h"

namespace nolpa::platform::win32 {

namespace {

HANDLE ToHandle(DeviceHandle handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

// The opaque handle keeps the numeric value of INVALID_HANDLE_VALUE.
static_assert(sizeof(DeviceHandle) == sizeof(HANDLE));

DeviceHandle Win32DeviceFiles::Open(const std::string& path) {
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
  const auto opened = reinterpret_cast<DeviceHandle>(handle);
  if (handle == INVALID_HANDLE_VALUE) return opened;
  HandleState state;
  state.seekable = GetFileType(handle) == FILE_TYPE_DISK;
  const std::lock_guard lock(mutex_);
  states_[opened] = state;
  return opened;
}

Win32DeviceFiles::HandleState Win32DeviceFiles::StateOf(DeviceHandle handle) {
  const std::lock_guard lock(mutex_);
  const auto found = states_.find(handle);
  return found != states_.end() ? found->second : HandleState{};
}

void Win32DeviceFiles::Advance(DeviceHandle handle, std::uint32_t count, bool abandoned) {
  const std::lock_guard lock(mutex_);
  const auto found = states_.find(handle);
  if (found == states_.end()) return;
  if (found->second.seekable) found->second.position += count;
  if (abandoned) found->second.stuck = true;
}

RequestOutcome Win32DeviceFiles::Transfer(DeviceHandle handle, BoundedRequest request,
                                          std::uint32_t (*bound)(const std::optional<CommTimeouts>&,
                                                                 std::uint32_t),
                                          std::uint32_t atLeastMs) {
  const HandleState state = StateOf(handle);
  if (state.stuck) return RequestOutcome{};
  request.offset = state.position;
  request.boundMs = std::max(
      bound(state.timeouts, request.type == RequestType::Read ? request.outSize : request.inSize),
      atLeastMs);
  const RequestOutcome outcome = RunBoundedRequest(ToHandle(handle), request);
  Advance(handle, outcome.count, outcome.abandoned);
  return outcome;
}

bool Win32DeviceFiles::Read(DeviceHandle handle, void* buffer, std::uint32_t size,
                            std::uint32_t* done) {
  return ReadWaiting(handle, buffer, size, 0, done);
}

// One request waited on for the whole wait: a driver that leaves a read
// pending until bytes come (the printer class driver does) completes it the
// moment they do, and the thread sleeps meanwhile. A driver that honours
// time-outs asking for an immediate return completes it at once.
bool Win32DeviceFiles::ReadWaiting(DeviceHandle handle, void* buffer, std::uint32_t size,
                                   std::uint32_t waitMs, std::uint32_t* done) {
  BoundedRequest request;
  request.type = RequestType::Read;
  request.out = buffer;
  request.outSize = size;
  const std::uint32_t atLeastMs =
      waitMs == 0
          ? 0
          : std::min(waitMs, kLongestDeviceWaitMs - kImmediateReadGraceMs) + kImmediateReadGraceMs;
  const RequestOutcome outcome = Transfer(handle, request, &ReadBoundMs, atLeastMs);
  *done = outcome.count;
  // A read that reached its bound hands back what came, as a read whose
  // time-outs expired does; so does one at the end of a file.
  return outcome.ok || (outcome.cutOff && !outcome.abandoned) || outcome.error == ERROR_HANDLE_EOF;
}

bool Win32DeviceFiles::Write(DeviceHandle handle, const void* data, std::uint32_t size,
                             std::uint32_t* done) {
  BoundedRequest request;
  request.type = RequestType::Write;
  request.in = data;
  request.inSize = size;
  const RequestOutcome outcome = Transfer(handle, request, &WriteBoundMs);
  *done = outcome.count;
  // A write cut off at its bound failed, whatever part of it went out.
  return outcome.ok && !outcome.cutOff;
}

ControlResult Win32DeviceFiles::Control(DeviceHandle handle, std::uint32_t code, const void* in,
                                        std::uint32_t inSize, void* out, std::uint32_t outSize,
                                        std::uint32_t* returned) {
  *returned = 0;
  if (StateOf(handle).stuck) return ControlResult::Failed;
  BoundedRequest request;
  request.type = RequestType::Control;
  request.code = code;
  request.in = in;
  request.inSize = in != nullptr ? inSize : 0;
  request.out = out;
  request.outSize = out != nullptr ? outSize : 0;
  request.boundMs = kControlBoundMs;
  const RequestOutcome outcome = RunBoundedRequest(ToHandle(handle), request);
  Advance(handle, 0, outcome.abandoned);
  if (outcome.ok) {
    *returned = outcome.count;
    return ControlResult::Done;
  }
  return outcome.error == ERROR_NOT_READY ? ControlResult::NotReady : ControlResult::Failed;
}

bool Win32DeviceFiles::IoControl(DeviceHandle handle, std::uint32_t code, const void* in,
                                 std::uint32_t inSize, void* out, std::uint32_t outSize,
                                 std::uint32_t* returned) {
  return Control(handle, code, in, inSize, out, outSize, returned) == ControlResult::Done;
}

bool Win32DeviceFiles::SetTimeouts(DeviceHandle handle, const CommTimeouts& timeouts) {
  {
    // Kept even when the driver refuses them: they bound the calls all the same.
    const std::lock_guard lock(mutex_);
    const auto found = states_.find(handle);
    if (found != states_.end()) found->second.timeouts = timeouts;
  }
  COMMTIMEOUTS native{timeouts.readIntervalTimeout, timeouts.readTotalTimeoutMultiplier,
                      timeouts.readTotalTimeoutConstant, timeouts.writeTotalTimeoutMultiplier,
                      timeouts.writeTotalTimeoutConstant};
  return SetCommTimeouts(ToHandle(handle), &native) != FALSE;
}

void Win32DeviceFiles::Close(DeviceHandle handle) {
  if (handle == kInvalidDeviceHandle) return;
  {
    const std::lock_guard lock(mutex_);
    states_.erase(handle);
  }
  CloseHandle(ToHandle(handle));
}

}  // namespace nolpa::platform::win32
