#pragma once
// Fault switches of one simulated device. A test sets them on a device (or a
// fleet file lists them); the world and the device consult them on every
// request. Counted faults count matching requests from the moment the fault
// entry was set: `seen` is that count and starts at 0.
#include <cstdint>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "sim/core/peripheral_faults.h"

namespace nolpa::sim {

// The requests a device receives, as the recorder names them.
enum class RequestKind { Open, Close, Read, Write, IoControl, SetTimeouts };
const char* RequestKindName(RequestKind kind);  // "open", "close", "read", ...
std::optional<RequestKind> RequestKindFromName(std::string_view name);

// A control request answered other than normally.
struct IoctlFault {
  enum class Action {
    Refuse,  // the request fails, nothing returned
    Short,   // the normal answer cut to `fill` bytes
    Raw,     // succeeds with exactly `bytes` (cut to the caller's buffer)
  };
  std::uint32_t code = 0;
  Action action = Action::Refuse;
  std::uint32_t nth = 0;  // 0: every request of `code`; n: only the n-th
  std::uint32_t fill = 0;
  std::vector<std::uint8_t> bytes{};
  std::uint32_t seen = 0;
};

// A write that takes only `take` bytes (fewer when fewer are offered).
struct WriteFault {
  std::uint32_t nth = 0;  // 0: every write; n: only the n-th
  std::uint32_t take = 0;
  std::uint32_t seen = 0;
};

// The device is unplugged right after it answered the `after`-th matching
// request: any request except close, or only those of `kind` (and `code`
// for control requests).
struct UnplugFault {
  std::uint32_t after = 1;
  std::optional<RequestKind> kind{};
  std::optional<std::uint32_t> code{};
  std::uint32_t seen = 0;
};

// A USB device idle in selective suspend: a read, write or control request
// that reaches it `idleMs` or more after its last one (or as its first one
// since the world was made) fails with "not ready" and wakes it; the requests
// that follow are answered until it is idle that long again.
struct SuspendFault {
  std::uint32_t idleMs = 0;
  std::optional<std::uint64_t> lastRequestMs{};
};

// A printer that never falls silent: `byte` every `periodMs` while it is
// being read, starting one period after the first read of an open handle.
struct Heartbeat {
  std::uint8_t byte = 0x12;
  std::uint32_t periodMs = 500;
};

// How a printer's replies reach the host's reads.
struct ChannelFaults {
  bool silent = false;                                     // replies are dropped
  std::uint32_t latencyMs = 0;                             // before the first byte of a reply
  std::uint32_t byteGapMs = 0;                             // between consecutive reply bytes
  std::map<std::uint32_t, std::uint32_t> gapBeforeByte{};  // reply byte index -> extra ms
  std::vector<std::uint8_t> chatter{};                     // sent ahead of every reply
  std::vector<std::uint8_t> flowControl{};                 // inserted inside replies...
  std::uint32_t flowControlEvery = 1;                      // ...after every this many reply bytes
  std::optional<Heartbeat> heartbeat{};
  QueryAnswer queryAnswer = QueryAnswer::Normal;     // answer to GS I 1
  std::map<std::uint8_t, InfoAnswer> infoAnswers{};  // GS I n ('C', 'A', 'D') -> answer
};

struct FaultSet {
  std::vector<IoctlFault> ioctl{};
  std::vector<WriteFault> writes{};
  std::optional<UnplugFault> unplug{};
  std::optional<std::uint64_t> unplugAtMs{};  // unplugged from this virtual time on
  bool refuseOpen = false;                    // the device exists but every open fails
  bool failInterfaceDetail = false;           // enumerated, but its path cannot be read
  bool refuseTimeouts = false;                // a serial port that refuses SetTimeouts
  std::optional<SuspendFault> suspend{};      // "not ready" after idle
  ChannelFaults channel{};
  PeripheralFaults peripheral{};  // printer-class printers
};

// Counts a control request of `code` against every matching entry and
// returns the first entry that fires on it, or null.
const IoctlFault* NextIoctlFault(FaultSet& faults, std::uint32_t code);

// Counts a write of `size` bytes and returns how many bytes it takes.
std::uint32_t BytesTaken(FaultSet& faults, std::uint32_t size);

// Notes a read, write or control request at `nowMs`; true when it finds the
// device suspended and must fail with "not ready".
bool NotReadyDue(FaultSet& faults, std::uint64_t nowMs);

// Counts a request that was answered; true when the device must now vanish.
bool UnplugDue(FaultSet& faults, RequestKind kind, std::uint32_t code);

}  // namespace nolpa::sim
