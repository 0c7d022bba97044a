#pragma once
// CCBTCtrl: the library's IEEE 1284.4 packet-protocol engine, host side. It
// enters packet mode (entry string, Init), runs the transactions on socket 0,
// and does the whole control-channel exchange the direct printer port needs.
// Every public operation holds the engine's own lock; none throws.
//
// A printer keeps its state across handles: packet mode lasts until Exit,
// and what it sent stays queued until someone reads it. So the engine reads
// away what waits before it speaks, knows a reply by its socket and command
// (anything else that comes meanwhile is passed over, up to a bound), and
// ends with Exit whenever it sent the entry string.
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <span>

#include "serial_library/engine/packet_codec.h"
#include "serial_library/engine/packet_reader.h"
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
  int readAttempts;                        // empty reads before a wait gives up
  std::uint32_t readPauseMs;               // pause after each empty read
};
inline constexpr EngineConfig kEngineConfig{1, 64, 512, 50, 4096, 30, 500, 10};

inline constexpr std::uint8_t kControlSocket = 0x02;
inline constexpr std::uint8_t kDataSocket = 0x40;
inline constexpr std::uint8_t kInitRevision = 0x10;
// The longest reply a control exchange takes in, over all its packets. The
// caller decides how much of it fits its buffer; a longer one fails.
inline constexpr std::size_t kMaxControlReply = 64 * 1024;
// At most this many bytes are read away before the entry string.
inline constexpr std::size_t kReadAwayLimit = 64 * 1024;
// Packets one wait passes over (not the reply, nor data of an open channel)
// before it gives up.
inline constexpr int kMaxPassedOver = 64;
// Empty reads a wait may spend once the printer has been silent through a
// whole read limit in this session: the closing transactions still go out,
// but a second silence costs no second read limit.
inline constexpr int kShortReadAttempts = 20;

// What leads the printer into packet mode: 0x00 0x00 0x00 0x1B 0x01, then
// "@QXV 1284.4" LF "@QXV" LF "@QXV" LF.
extern const std::array<std::uint8_t, 27> kEntryString;

enum class Channel { Control, Data };

enum class EngineError {
  None,
  NotInPacketMode,  // no successful Start, or stopped
  WriteFailed,      // write call failed or the device took fewer bytes
  ReadFailed,       // a read call failed
  ReadTimedOut,     // the empty-read budget ran out
  Malformed,        // not the reply expected: bad length, wrong command, too short
  ResultNotZero,    // the reply's result byte is not 0 (see EngineStatus::result)
  ErrorPacket,      // the printer sent an Error packet (see errorPacket)
  WrongSockets,     // a reply named another channel than the one asked for
  ReplyTooLong,     // a reply beyond kMaxControlReply, or a packet beyond its size
  NoCredit,         // the printer granted no credit for the command
  CommandTooLong,   // the command does not fit the packet size
  Noise,            // too much that was not the reply (kMaxPassedOver, kMaxDroppedBytes)
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

// Tells whether the bytes received so far are a whole reply, for printers
// that do not mark the end of a message in the packet header.
using WholeReply = std::function<bool(std::span<const std::uint8_t>)>;
// The plain rule: a reply is whole once its last byte is 0x0C.
bool EndsWithClosingByte(std::span<const std::uint8_t> reply);

class CCBTCtrl {
 public:
  // Borrows `io` for its whole life.
  explicit CCBTCtrl(CPortIO& io, const EngineConfig& config = kEngineConfig);
  // Stop.
  ~CCBTCtrl();
  CCBTCtrl(const CCBTCtrl&) = delete;
  CCBTCtrl& operator=(const CCBTCtrl&) = delete;

  // Reads away what the printer holds (at most kReadAwayLimit bytes, never
  // waiting for more), sends the entry string, then Init with revision
  // 0x10. Until Init's reply comes, everything else the printer sends (an
  // answer to the entry string, an Error packet, an earlier call's late
  // replies) is passed over. Packet mode begins only when that reply's
  // result is 0. Calling it again in packet mode does nothing.
  EngineStatus Start();
  // Ends what Start began: Exit, with its reply awaited, whenever any of the
  // entry string went out (also after a failed, late or partly sent Init),
  // unless a write cut short left nothing safe to send. Packet mode ends
  // whatever the reply. Without an entry string sent, nothing is sent.
  EngineStatus Stop();
  bool InPacketMode() const;

  // The single transactions, each in packet mode only.
  EngineStatus OpenChannel(Channel channel);  // adopts the granted sizes
  EngineStatus CloseChannel(Channel channel);
  EngineStatus GrantCredit(Channel channel);    // Credit: `credit` to the printer
  EngineStatus RequestCredit(Channel channel);  // CreditRequest: adds what is granted

  // One whole control exchange: open the control channel, grant credit,
  // request credit, send `command` as one data packet, receive the whole
  // reply, close the channel. A reply that spans several packets is read
  // on, with further credit, until its end: the end-of-message flag of a
  // packet, or `whole` saying so. `reply` receives it on success and is
  // empty on failure; a part is never handed out. A command that does not
  // fit the packet size is refused before anything is sent. Once the reply
  // is whole the exchange has succeeded, whatever the closing of the
  // channel gives. After any other failure the channel is closed once (not
  // after a write cut short, nor when the open request never went out or
  // the printer refused it).
  EngineStatus ControlExchange(std::span<const std::uint8_t> command, Bytes& reply,
                               const WholeReply& whole = EndsWithClosingByte);

  ChannelSizes Sizes(Channel channel) const;
  // Bytes read away before the last entry string.
  std::size_t ReadAwayCount() const;

 private:
  struct ChannelState {
    std::uint8_t socket;
    ChannelSizes asked;
    ChannelSizes adopted;
    bool open = false;
    std::uint16_t creditToSend = 0;     // packets the printer lets us send
    std::uint32_t creditToReceive = 0;  // packets we let the printer send
    std::deque<Bytes> inbox;            // its data packets not yet taken
  };
  enum class Placed { Reply, Error, Kept, PassedOver };
  enum class WriteRetry { None, Once };

  ChannelState& State(Channel channel) { return channels_[static_cast<int>(channel)]; }
  ChannelState* OpenChannelOn(std::uint8_t primary, std::uint8_t secondary);
  EngineStatus StartLocked();
  EngineStatus StopLocked();
  bool Write(const Bytes& packet, WriteRetry retry);
  EngineStatus Transaction(Command command, const Bytes& request, Bytes& reply,
                           WriteRetry retry = WriteRetry::None);
  EngineStatus Await(std::optional<Command> command, ChannelState* dataFor, Bytes& reply);
  Placed Place(const Bytes& packet, std::optional<Command> command);
  bool AnswerPeer(const Bytes& packet);
  EngineStatus OpenChannelLocked(ChannelState& channel);
  EngineStatus CloseChannelLocked(ChannelState& channel);
  EngineStatus GrantCreditLocked(ChannelState& channel);
  EngineStatus RequestCreditLocked(ChannelState& channel);
  EngineStatus SendCommandLocked(ChannelState& channel, std::span<const std::uint8_t> command);
  EngineStatus ReceiveMessageLocked(ChannelState& channel, const WholeReply& whole, Bytes& reply);
  void ResetChannels();

  CPortIO& io_;
  const EngineConfig config_;
  mutable std::mutex lock_;
  bool entrySent_ = false;   // some of the entry string went out; Exit is owed
  bool packetMode_ = false;  // Init confirmed
  bool silent_ = false;      // a wait in this session ran out its whole read limit
  std::size_t readAway_ = 0;
  std::array<ChannelState, 2> channels_;
};

// A short English name of `error`, for logs and test output.
const char* EngineErrorName(EngineError error);

}  // namespace nolpa::serial_library
