#pragma once
// The maker's channel API as one process-wide state: the loaded module, its
// reference count, the last result it gave, and its nine operations bound
// by name. Every function here takes the process-wide lock (process_lock.h)
// for its whole span, so none may be called while holding it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "serial_library/services.h"

namespace nolpa::morvalib::channel_api {

// Largest size a sized call may ask for; a larger one is taken as broken.
inline constexpr int kMaxSizedBuffer = 1 << 20;

// One entry of the channel list.
struct ChannelEntry {
  std::uint32_t type = 0;
  std::uint16_t value = 0;  // non-zero when the channel can be used
};

// Loads the API for printer `printerName`: when it is loaded with a
// positive count, counts one more; otherwise locates it
// (LocateChannelApi), loads it, binds all nine operations and calls
// ZQInitialize. False, with nothing loaded, when it cannot be located or
// loaded, an operation is missing or ZQInitialize is negative.
bool Load(const LibraryServices& services, const std::string& printerName);
// Counts one load down; at 0 calls ZQRelease, frees the module and forgets
// the operations. Nothing happens when nothing is loaded.
void Unload();

bool Loaded();
int ReferenceCount();
// The last negative result an operation gave (or ZQInitialize's result).
int LastResult();
// Heap buffers of sized calls not yet freed: 0 whenever no call runs.
int LiveBuffers();

// The operations. Each fails (nothing, false or a non-positive handle) when
// the API is not loaded; a negative result is kept as LastResult().
// The printer's IEEE 1284 device ID (ZQGetDeviceID, size query first).
std::optional<std::string> DeviceId(const std::string& printerName);
// The printer's channel list (ZQGetAvailableChannel, size query first).
std::optional<std::vector<ChannelEntry>> AvailableChannels(const std::string& printerName);
// ZQOpenChannel(1, printer, type): the handle, positive on success.
int OpenChannel(const std::string& printerName, std::uint32_t channelType);
// ZQSend: true when the API reports the bytes sent.
bool Send(int channel, const std::uint8_t* bytes, int count);
// ZQReceive with `waitMs` (size query first): the bytes received.
std::optional<std::vector<std::uint8_t>> Receive(int channel, int waitMs);
// ZQGetStatus (size query first): the status bytes.
std::optional<std::vector<std::uint8_t>> Status(int channel);
// ZQCloseChannel; its result is of no use.
void CloseChannel(int channel);

}  // namespace nolpa::morvalib::channel_api
