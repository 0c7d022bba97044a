#include "platform/win32/bounded_request.h"

#include <cstring>
#include <memory>
#include <vector>

#include "platform/win32/kernel_calls.h"
#include "platform/win32/responsive_wait.h"

namespace nolpa::platform::win32 {

namespace {

// What the driver holds while the request runs.
struct InFlight {
  OVERLAPPED overlapped{};
  std::vector<std::uint8_t> input;
  std::vector<std::uint8_t> output;
};

BOOL Issue(HANDLE handle, const BoundedRequest& request, InFlight& flight) {
  OVERLAPPED* overlapped = &flight.overlapped;
  switch (request.type) {
    case RequestType::Read:
      return ReadFile(handle, flight.output.data(), request.outSize, nullptr, overlapped);
    case RequestType::Write:
      return WriteFile(handle, flight.input.data(), request.inSize, nullptr, overlapped);
    case RequestType::Control:
      return DeviceIoControl(handle, request.code,
                             flight.input.empty() ? nullptr : flight.input.data(), request.inSize,
                             flight.output.empty() ? nullptr : flight.output.data(),
                             request.outSize, nullptr, overlapped);
  }
  return FALSE;
}

std::unique_ptr<InFlight> Prepare(const BoundedRequest& request, HANDLE event) {
  auto flight = std::make_unique<InFlight>();
  flight->overlapped.hEvent = event;
  flight->overlapped.Offset = static_cast<DWORD>(request.offset);
  flight->overlapped.OffsetHigh = static_cast<DWORD>(request.offset >> 32);
  if (request.in != nullptr && request.inSize > 0) {
    const auto* bytes = static_cast<const std::uint8_t*>(request.in);
    flight->input.assign(bytes, bytes + request.inSize);
  }
  if (request.out != nullptr) flight->output.resize(request.outSize);
  return flight;
}

}  // namespace

RequestOutcome RunBoundedRequest(HANDLE handle, const BoundedRequest& request) {
  RequestOutcome outcome;
  // An event of the request's own: a request made from a handler of a sent
  // message, inside another one's wait, never wakes the other.
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (event == nullptr) {
    outcome.error = GetLastError();
    return outcome;
  }
  std::unique_ptr<InFlight> flight = Prepare(request, event);
  if (!Issue(handle, request, *flight) && GetLastError() != ERROR_IO_PENDING) {
    outcome.error = GetLastError();
    CloseHandle(event);
    return outcome;
  }
  if (!WaitResponsively(event, request.boundMs)) {
    outcome.cutOff = true;
    CancelRequest(handle, &flight->overlapped);
    if (!WaitResponsively(event, kCancelGraceMs)) {
      // The driver still holds the buffers and the event: leave both to it.
      static_cast<void>(flight.release());
      outcome.abandoned = true;
      outcome.error = ERROR_TIMEOUT;
      return outcome;
    }
  }
  DWORD count = 0;
  outcome.ok = GetOverlappedResult(handle, &flight->overlapped, &count, FALSE) != FALSE;
  outcome.error = outcome.ok ? 0 : GetLastError();
  // Bytes that came before the request ended count, even on a failure.
  outcome.count = count;
  if (request.out != nullptr && count > 0)
    std::memcpy(request.out, flight->output.data(),
                count < request.outSize ? count : request.outSize);
  CloseHandle(event);
  return outcome;
}

}  // namespace nolpa::platform::win32
