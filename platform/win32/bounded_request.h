#pragma once
// One overlapped device request with a deadline: issued, waited for (sent
// messages handled meanwhile), and cancelled when the deadline passes. A
// request that completed while it was being cancelled keeps what it did, so
// no byte read or written is lost. The request's buffers are the adapter's
// own, so a driver that never completes a cancelled request cannot write
// into memory the caller has moved on from.
#include <windows.h>

#include <cstdint>

namespace nolpa::platform::win32 {

enum class RequestType { Read, Write, Control };

struct BoundedRequest {
  RequestType type = RequestType::Read;
  DWORD code = 0;            // control requests
  const void* in = nullptr;  // write data, or control input
  DWORD inSize = 0;
  void* out = nullptr;  // read buffer, or control output
  DWORD outSize = 0;
  ULONGLONG offset = 0;  // the file position; devices ignore it
  DWORD boundMs = 0;     // how long the request may take
};

struct RequestOutcome {
  bool ok = false;         // the request succeeded (before or while it was cancelled)
  DWORD count = 0;         // bytes read, written or returned; copied into `out`
  DWORD error = 0;         // GetLastError of a failure
  bool cutOff = false;     // the deadline passed and the request was cancelled
  bool abandoned = false;  // the driver did not complete the cancelled request
};

// How long a driver is given to complete a request it was asked to cancel.
inline constexpr DWORD kCancelGraceMs = 500;

// Runs `request` on `handle`, a handle opened with FILE_FLAG_OVERLAPPED (on
// any other the call simply blocks as the driver decides).
RequestOutcome RunBoundedRequest(HANDLE handle, const BoundedRequest& request);

}  // namespace nolpa::platform::win32
