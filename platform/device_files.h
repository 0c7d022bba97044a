#pragma once
// Device files: the one byte channel and control-request path to a printer.
// Real implementation: CreateFileA / ReadFile / WriteFile / DeviceIoControl /
// SetCommTimeouts / CloseHandle, each request overlapped and cancelled when
// it outlasts its bound (device_call_bounds.h). The simulator implements the
// same contract.
#include <cstdint>
#include <string>

namespace nolpa::platform {

// Opaque device handle; the numeric value of a Win32 HANDLE.
using DeviceHandle = std::uintptr_t;
// INVALID_HANDLE_VALUE: what a failed open returns, and what BoardHandle holds
// between board writes.
inline constexpr DeviceHandle kInvalidDeviceHandle = ~DeviceHandle{0};

// The five fields of COMMTIMEOUTS, in their order.
struct CommTimeouts {
  std::uint32_t readIntervalTimeout;
  std::uint32_t readTotalTimeoutMultiplier;
  std::uint32_t readTotalTimeoutConstant;
  std::uint32_t writeTotalTimeoutMultiplier;
  std::uint32_t writeTotalTimeoutConstant;
};

// How a control request ended. NotReady is the device's "not ready"
// (ERROR_NOT_READY): a USB device woken from selective suspend may answer its
// first request so, and the next one normally.
enum class ControlResult { Done, Failed, NotReady };

class DeviceFiles {
 public:
  virtual ~DeviceFiles() = default;

  // Opens an existing device for reading and writing, without sharing, with
  // normal attributes. Returns kInvalidDeviceHandle when the open fails (no
  // such device, or it is held open by someone else).
  virtual DeviceHandle Open(const std::string& path) = 0;

  // One read of at most `size` bytes. Returns the call's success; `*done`
  // receives the bytes read (0 when none was waiting). Never blocks beyond
  // the handle's time-outs (ReadBoundMs, whether or not the driver took
  // them); a read that reaches its bound ends with the bytes that came.
  virtual bool Read(DeviceHandle handle, void* buffer, std::uint32_t size, std::uint32_t* done) = 0;

  // One read like Read that may also wait, up to `waitMs` (held to
  // kLongestDeviceWaitMs), for bytes when none are there yet: it returns as
  // soon as some come, and with none once the wait is over. A reader that
  // waits this way costs no processor time while the device is silent. A
  // driver that completes every read at once (a serial port told to), and
  // this default, which is Read, return sooner with nothing: the caller
  // pauses before it asks again.
  virtual bool ReadWaiting(DeviceHandle handle, void* buffer, std::uint32_t size,
                           std::uint32_t waitMs, std::uint32_t* done) {
    static_cast<void>(waitMs);
    return Read(handle, buffer, size, done);
  }

  // One write. Returns the call's success; `*done` receives the number of
  // bytes the device took, which may be fewer than `size`. A write still
  // pending at its bound (WriteBoundMs) is cancelled and fails.
  virtual bool Write(DeviceHandle handle, const void* data, std::uint32_t size,
                     std::uint32_t* done) = 0;

  // DeviceIoControl. `in`/`out` may be null with a size of 0. Returns true
  // when the driver accepted the request; `*returned` receives the count of
  // output bytes it filled in. A request still pending after
  // kControlBoundMs is cancelled and fails.
  virtual bool IoControl(DeviceHandle handle, std::uint32_t code, const void* in,
                         std::uint32_t inSize, void* out, std::uint32_t outSize,
                         std::uint32_t* returned) = 0;

  // IoControl that also tells a device that is not ready from other
  // failures. Without that knowledge (this default) every failure is Failed.
  virtual ControlResult Control(DeviceHandle handle, std::uint32_t code, const void* in,
                                std::uint32_t inSize, void* out, std::uint32_t outSize,
                                std::uint32_t* returned) {
    return IoControl(handle, code, in, inSize, out, outSize, returned) ? ControlResult::Done
                                                                       : ControlResult::Failed;
  }

  // SetCommTimeouts. Handles that are not serial ports refuse it; callers
  // ignore the result. The time-outs bound this handle's reads and writes
  // either way.
  virtual bool SetTimeouts(DeviceHandle handle, const CommTimeouts& timeouts) = 0;

  // CloseHandle. Closing kInvalidDeviceHandle does nothing.
  virtual void Close(DeviceHandle handle) = 0;
};

}  // namespace nolpa::platform
