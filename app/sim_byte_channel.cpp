#include "app/sim_byte_channel.h"

#include <windows.h>

namespace nolpa::app {

std::string ByteChannelPathFromEnvironment() {
  char value[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA("NOLPA_SIM_BYTE_CHANNEL", value, sizeof value);
  return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

platform::DeviceHandle RedirectedByteChannel::ChannelOf(platform::DeviceHandle handle) {
  if (handle == platform::kInvalidDeviceHandle) return handle;
  const std::lock_guard lock(mutex_);
  const auto found = channels_.find(handle);
  if (found != channels_.end()) return found->second;
  const platform::DeviceHandle channel = real_.Open(channelPath_);
  if (channel != platform::kInvalidDeviceHandle) channels_[handle] = channel;
  return channel;
}

bool RedirectedByteChannel::Read(platform::DeviceHandle handle, void* buffer, std::uint32_t size,
                                 std::uint32_t* done) {
  *done = 0;
  const platform::DeviceHandle channel = ChannelOf(handle);
  return channel != platform::kInvalidDeviceHandle && real_.Read(channel, buffer, size, done);
}

bool RedirectedByteChannel::ReadWaiting(platform::DeviceHandle handle, void* buffer,
                                        std::uint32_t size, std::uint32_t waitMs,
                                        std::uint32_t* done) {
  *done = 0;
  const platform::DeviceHandle channel = ChannelOf(handle);
  return channel != platform::kInvalidDeviceHandle &&
         real_.ReadWaiting(channel, buffer, size, waitMs, done);
}

bool RedirectedByteChannel::Write(platform::DeviceHandle handle, const void* data,
                                  std::uint32_t size, std::uint32_t* done) {
  *done = 0;
  const platform::DeviceHandle channel = ChannelOf(handle);
  return channel != platform::kInvalidDeviceHandle && real_.Write(channel, data, size, done);
}

bool RedirectedByteChannel::SetTimeouts(platform::DeviceHandle handle,
                                        const platform::CommTimeouts& timeouts) {
  const platform::DeviceHandle channel = ChannelOf(handle);
  return channel != platform::kInvalidDeviceHandle && real_.SetTimeouts(channel, timeouts);
}

void RedirectedByteChannel::Close(platform::DeviceHandle handle) {
  simulated_.Close(handle);
  platform::DeviceHandle channel = platform::kInvalidDeviceHandle;
  {
    const std::lock_guard lock(mutex_);
    const auto found = channels_.find(handle);
    if (found == channels_.end()) return;
    channel = found->second;
    channels_.erase(found);
  }
  real_.Close(channel);
}

}  // namespace nolpa::app
