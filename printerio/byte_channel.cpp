#include "printerio/byte_channel.h"

#include <limits>

#include "printerio/channel_timeouts.h"

namespace nolpa::printerio {

ByteChannel::ByteChannel(platform::DeviceFiles& files, platform::Clock& clock,
                         platform::DeviceHandle handle)
    : files_(files), clock_(clock), handle_(handle) {}

bool ByteChannel::WriteAll(std::span<const std::uint8_t> bytes) {
  // A length the write call cannot express would be cut short silently.
  if (bytes.size() > std::numeric_limits<std::uint32_t>::max()) return false;
  const auto size = static_cast<std::uint32_t>(bytes.size());
  // Start from zero so a failing call that leaves the count alone does not
  // look like a full write.
  std::uint32_t written = 0;
  const bool ok = files_.Write(handle_, bytes.data(), size, &written);
  return ok && written == size;
}

bool ByteChannel::WriteAll(std::string_view text) {
  return WriteAll(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::optional<std::uint8_t> ByteChannel::TryReadByte() { return ReadByteWaiting(0); }

std::optional<std::uint8_t> ByteChannel::ReadByteWaiting(std::uint32_t waitMs) {
  std::uint8_t byte = 0;
  std::uint32_t read = 0;
  const bool ok = waitMs == 0 ? files_.Read(handle_, &byte, 1, &read)
                              : files_.ReadWaiting(handle_, &byte, 1, waitMs, &read);
  if (!ok || read != 1) return std::nullopt;
  return byte;
}

void ByteChannel::ApplyChannelTimeouts() { files_.SetTimeouts(handle_, kChannelTimeouts); }

}  // namespace nolpa::printerio
