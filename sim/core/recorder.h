#pragma once
// The recorder: every request every simulated device receives, in order,
// with the virtual time it came at. Tests read it as a script of what the
// program did to the devices.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/device_files.h"
#include "sim/core/faults.h"

namespace nolpa::sim {

struct RecordedRequest {
  std::uint64_t timeMs = 0;
  std::string device{};  // the device's name; empty for an open that named no device
  RequestKind kind = RequestKind::Open;
  platform::DeviceHandle handle = platform::kInvalidDeviceHandle;  // the handle used or opened
  bool ok = false;            // what the call returned (close: true)
  std::string path{};         // open: the path asked for
  std::uint32_t code = 0;     // ioctl: control code
  std::uint32_t size = 0;     // read: bytes asked for; write: bytes offered; ioctl: output size
  std::uint32_t count = 0;    // read: bytes returned; write: bytes taken; ioctl: bytes returned
  std::uint32_t inSize = 0;   // ioctl: the input buffer's size (0 without one)
  std::uint32_t outSize = 0;  // ioctl: the output buffer's size (0 without one)
  std::vector<std::uint8_t> in{};     // write: the bytes offered; ioctl: the input bytes
  std::vector<std::uint8_t> out{};    // read: the bytes returned; ioctl: the output bytes
  platform::CommTimeouts timeouts{};  // set-timeouts: the values asked for
};

class RequestRecorder {
 public:
  // A disabled recorder keeps nothing (long runs of the Windows build).
  void SetEnabled(bool enabled) { enabled_ = enabled; }
  bool Enabled() const { return enabled_; }

  void Add(RecordedRequest&& request);
  void Clear() { requests_.clear(); }

  const std::vector<RecordedRequest>& Requests() const { return requests_; }
  // The requests one device received.
  std::vector<RecordedRequest> RequestsOf(std::string_view device) const;

  // One line per request, in order; a run of reads that returned nothing
  // (or a run of failed reads) is one line ending in " xN" when N > 1.
  // Lines read, for example:
  //   open ok                      open failed
  //   close
  //   write 3/3 1D 49 01           write failed
  //   read 20                      read -  x2000      read failed
  //   ioctl 222048 ok 34           ioctl 2221C0 [00 01] ok 0      ioctl 222048 refused
  //   set-timeouts FFFFFFFF FFFFFFFF 0 0 2000 accepted
  // With no `device`, each line starts with the device name and ": ". With
  // `withTimes`, each line starts with "@<ms> ".
  std::vector<std::string> Transcript(std::string_view device = {}, bool withTimes = false) const;

 private:
  bool enabled_ = true;
  std::vector<RecordedRequest> requests_;
};

// The line Transcript writes for one request.
std::string DescribeRequest(const RecordedRequest& request);

}  // namespace nolpa::sim
