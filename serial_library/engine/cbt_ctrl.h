#pragma once
// CCBTCtrl: the library's IEEE 1284.4 packet-protocol engine, host side. It
// enters packet mode (entry string, Init), runs the transactions on socket 0,
// and does the whole control-channel exchange the direct printer port needs.
// Every public operation holds the engine's own lock; none throws.
#include <array>
#include <cstdint>
#include <mutex>
#include <span>

#include "serial_library/engine/packet_codec.h"
#include "serial_library/engine/port_io.h"

namespace nolpa::serial_library {

// The engine's eight configuration values, in the order they are given.
struct EngineConfig {
  std::uint16_t credit;                    // granted and requested per transaction
  std::uint16_t controlHostToPrinter;      // control channel packet size
  std::uint16_t printerToHost;             // both channels
  std::uint16_t fourth;                    // kept as given; this engine has no use for it
  std::uint16_t dataHostToPrinter;         // data channel packet size
  std::uint16_t maximumOutstandingCredit;  // carried by every CreditRequest
  int readAttempts;                        // empty reads before a packet read gives up
  std::uint32_t readPauseMs;               // pause after each empty read
};
inline constexpr EngineConfig kEngineConfig{1, 64, 512, 50, 4096, 30, 500, 10};

inline constexpr std::uint8_t kControlSocket = 0x02;
inline constexpr std::uint8_t kDataSocket = 0x40;
inline constexpr std::uint8_t kInitRevision = 0x10;
// The largest reply payload a control exchange hands back. A reply packet
// announcing more is refused before its payload is read.
inline constexpr std::size_t kMaxControlReply = 1024;

// What leads the printer into packet mode: 0x00 0x00 0x00 0x1B 0x01, then
// "@QXV 1284.4" LF "@QXV" LF "@QXV" LF.
extern const std::array<std::uint8_t, 27> kEntryString;

enum class Channel { Control, Data };

enum class EngineError {
  None,
  NotInPacketMode,   // no successful Start, or stopped
  WriteFailed,       // write call failed or the device took fewer bytes
  ReadFailed,        // a read call failed
  ReadTimedOut,      // the empty-read budget ran out
  Malformed,         // not the reply expected: bad length, wrong command, too short
  ResultNotZero,     // the reply's result byte is not 0 (see EngineStatus::result)
  ErrorPacket,       // the printer sent an Error packet (see errorPacket)
  WrongSockets,      // the reply came on another channel
  ReplyTooLong,      // reply packet beyond kMaxControlReply
  NoCredit,          // the printer granted no credit for the command
  CommandTooLong,    // the command does not fit the granted packet size
};

struct EngineStatus {
  EngineError error = EngineError::None;
  std::uint8_t result = 0;  // the non-zero result byte, for ResultNotZero
  ErrorPacketKind errorPacket = ErrorPacketKind::Unknown;  // for ErrorPacket
  bool ok() const { return error == EngineError::None; }
};

// Packet sizes of a channel: what was asked until a reply grants others.
struct ChannelSizes {
  std::uint16_t hostToPrinter;
  std::uint16_t printerToHost;
};

class CCBTCtrl {
 public:
  // Borrows `io` for its whole life.
  explicit CCBTCtrl(CPortIO& io, const EngineConfig& config = kEngineConfig);
  // Stops (Exit) when still in packet mode.
  ~CCBTCtrl();
  CCBTCtrl(const CCBTCtrl&) = delete;
  CCBTCtrl& operator=(const CCBTCtrl&) = delete;

  // Sends the entry string, then Init with revision 0x10. Packet mode begins
  // only when the Init reply's result is 0. Calling it again in packet mode
  // does nothing.
  EngineStatus Start();
  // Exit, with its reply awaited, when in packet mode; packet mode ends
  // whatever the reply. Outside packet mode nothing is sent (a printer that
  // never confirmed Init is not waited for a second time).
  EngineStatus Stop();
  bool InPacketMode() const;

  // The single transactions, each in packet mode only.
  EngineStatus OpenChannel(Channel channel);   // adopts the granted sizes
  EngineStatus CloseChannel(Channel channel);
  EngineStatus GrantCredit(Channel channel);   // Credit: `credit` to the printer
  EngineStatus RequestCredit(Channel channel); // CreditRequest: adds what is granted

  // One whole control exchange: open the control channel, grant credit,
  // request credit, send `command` as one data packet, receive one reply
  // packet on the control channel, close the channel. `reply` receives the
  // reply's payload (at most kMaxControlReply bytes) on success, and is
  // empty on failure. The reply must be one data packet on the control
  // channel's sockets; an Error packet, a transaction packet or a packet of
  // another channel in its place fails the exchange. When a read or write
  // call failed after the open request went out, the channel is closed once
  // more as a courtesy (its result ignored; the exchange has failed either
  // way); after any other failure its state at the printer is unknown, and
  // Stop (Exit) ends every channel.
  EngineStatus ControlExchange(std::span<const std::uint8_t> command, Bytes& reply);

  ChannelSizes Sizes(Channel channel) const;

 private:
  struct ChannelState {
    std::uint8_t socket;
    ChannelSizes asked;
    ChannelSizes adopted;
    std::uint16_t creditToSend = 0;  // packets the printer lets us send
  };

  ChannelState& State(Channel channel) { return channels_[static_cast<int>(channel)]; }
  EngineStatus ReadPacket(Bytes& packet, std::size_t maxPayload);
  EngineStatus Transaction(Command command, const Bytes& request, Bytes& reply);
  EngineStatus OpenChannelLocked(ChannelState& channel);
  EngineStatus CloseChannelLocked(ChannelState& channel);
  void CloseAfterBrokenCall(ChannelState& channel, const EngineStatus& failure);
  EngineStatus GrantCreditLocked(ChannelState& channel);
  EngineStatus RequestCreditLocked(ChannelState& channel);
  EngineStatus SendCommandLocked(ChannelState& channel,
                                 std::span<const std::uint8_t> command);
  EngineStatus ReceiveReplyLocked(ChannelState& channel, Bytes& reply);
  EngineStatus StopLocked();

  CPortIO& io_;
  const EngineConfig config_;
  mutable std::mutex lock_;
  bool packetMode_ = false;
  std::array<ChannelState, 2> channels_;
};

// A short English name of `error`, for logs and test output.
const char* EngineErrorName(EngineError error);

}  // namespace nolpa::serial_library
