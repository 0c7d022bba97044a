#pragma once
// A device handle seen as a byte channel to a printer: whole-packet writes and
// one-byte polling reads. This is the only place in the core that turns a
// device handle into reads and writes; the reply reader and the write
// sequences see nothing but this class.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "platform/clock.h"
#include "platform/device_files.h"

namespace nolpa::printerio {

class ByteChannel {
 public:
  // Borrows all three. The caller opened `handle` and closes it after the
  // channel is no longer used.
  ByteChannel(platform::DeviceFiles& files, platform::Clock& clock, platform::DeviceHandle handle);

  // Sends `bytes` with exactly one write call. True only when the call
  // succeeded and the device took every byte; a short write is a failure and
  // is not completed with a second call. An empty packet is one write of
  // zero bytes.
  bool WriteAll(std::span<const std::uint8_t> bytes);
  // The same for text, sent byte for byte without a terminator.
  bool WriteAll(std::string_view text);

  // One read of at most one byte. The byte when one was waiting; nullopt when
  // none was, and also when the read call failed (the reply reader treats
  // both alike and tries again). Does not wait once the channel time-outs are
  // in force; a driver that refused them keeps its own read behaviour.
  std::optional<std::uint8_t> TryReadByte();
  // The same read, which may also wait up to `waitMs` for a byte where the
  // driver keeps a read pending until one comes (ReadWaiting): the thread
  // sleeps meanwhile instead of polling.
  std::optional<std::uint8_t> ReadByteWaiting(std::uint32_t waitMs);

  // Puts kChannelTimeouts on the handle. The result is ignored on purpose:
  // handles that are not serial ports refuse the call and keep their driver's
  // own behaviour, and the action goes on either way.
  void ApplyChannelTimeouts();

  // The clock that every wait on this channel is measured and spent on.
  platform::Clock& clock() const { return clock_; }
  platform::DeviceFiles& files() const { return files_; }
  platform::DeviceHandle handle() const { return handle_; }

 private:
  platform::DeviceFiles& files_;
  platform::Clock& clock_;
  platform::DeviceHandle handle_;
};

}  // namespace nolpa::printerio
