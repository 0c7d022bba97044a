#include "sim/core/recorder.h"

#include <cstdio>

#include "sim/core/text.h"

namespace nolpa::sim {
namespace {

std::string Hex32(std::uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(v));
  return buf;
}

std::string DescribeIoctl(const RecordedRequest& r) {
  std::string line = "ioctl " + Hex32(r.code);
  if (!r.in.empty()) line += " [" + FormatHexBytes(r.in) + "]";
  if (!r.ok) return line + " refused";
  return line + " ok " + std::to_string(r.count);
}

std::string DescribeTimeouts(const RecordedRequest& r) {
  const auto& t = r.timeouts;
  return "set-timeouts " + Hex32(t.readIntervalTimeout) + " " +
         Hex32(t.readTotalTimeoutMultiplier) + " " + Hex32(t.readTotalTimeoutConstant) + " " +
         Hex32(t.writeTotalTimeoutMultiplier) + " " + std::to_string(t.writeTotalTimeoutConstant) +
         (r.ok ? " accepted" : " refused");
}

bool IsEmptyRead(const RecordedRequest& r) {
  return r.kind == RequestKind::Read && (!r.ok || r.count == 0);
}

}  // namespace

std::string DescribeRequest(const RecordedRequest& r) {
  switch (r.kind) {
    case RequestKind::Open: return r.ok ? "open ok" : "open failed";
    case RequestKind::Close: return "close";
    case RequestKind::Write:
      if (!r.ok) return "write failed";
      return "write " + std::to_string(r.count) + "/" + std::to_string(r.size) + " " +
             FormatHexBytes(r.in);
    case RequestKind::Read:
      if (!r.ok) return "read failed";
      return r.count == 0 ? "read -" : "read " + FormatHexBytes(r.out);
    case RequestKind::IoControl: return DescribeIoctl(r);
    case RequestKind::SetTimeouts: return DescribeTimeouts(r);
  }
  return "?";
}

void RequestRecorder::Add(RecordedRequest&& request) {
  if (enabled_) requests_.push_back(std::move(request));
}

std::vector<RecordedRequest> RequestRecorder::RequestsOf(std::string_view device) const {
  std::vector<RecordedRequest> out;
  for (const auto& r : requests_)
    if (r.device == device) out.push_back(r);
  return out;
}

std::vector<std::string> RequestRecorder::Transcript(std::string_view device,
                                                     bool withTimes) const {
  std::vector<std::string> lines;
  std::string previous;  // the last line before its repeat count
  std::size_t repeats = 0;
  auto flush = [&] {
    if (repeats > 1) lines.back() += " x" + std::to_string(repeats);
  };
  for (const auto& r : requests_) {
    if (!device.empty() && r.device != device) continue;
    std::string line = DescribeRequest(r);
    if (device.empty()) line.insert(0, r.device + ": ");
    if (IsEmptyRead(r) && repeats > 0 && line == previous) {
      ++repeats;
      continue;
    }
    flush();
    previous = line;
    repeats = 1;
    lines.push_back(withTimes ? "@" + std::to_string(r.timeMs) + " " + line : line);
  }
  flush();
  return lines;
}

}  // namespace nolpa::sim
