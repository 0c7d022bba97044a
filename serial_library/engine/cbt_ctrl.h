#pragma once
// CCBTCtrl: the library's IEEE 1284.4 packet-protocol engine, host side. It
// enters packet mode (entry string, Init), runs the transactions on socket 0,
// and does the whole control-channel exchange the direct printer port needs.
// Every public operation holds the engine's own lock; none throws.
//
// A printer keeps its state across handles: packet mode lasts until Exit,
// and what it sent stays queued until someone reads it. So the engine reads
// away what waits before it speaks, knows a reply by its socket and command
// (and a control-channel answer by the command it answers), answers what
// the printer starts, passes over the rest within bounds, and ends with
// Exit whenever it sent the entry string. One session (an engine's life,
// within one exported call) ends by its deadline and reads no more packets
// and bytes than its bounds allow, whatever the printer sends.
#include <algorithm>
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
#include "serial_library/engine/session_deadline.h"

namespace nolpa::serial_library {

// The engine's eight configuration values, in the order they are given.
struct EngineConfig {
  std::uint16_t credit;                    // granted and requested per transaction
  std::uint16_t controlHostToPrinter;      // control channel packet size
  std::uint16_t printerToHost;             // both channels
  std::uint16_t fourth;                    // kept as given; this engine has no use for it
  std::uint16_t dataHostToPrinter;         // data channel packet size
  std::uint16_t maximumOutstandingCredit;  // carried by every CreditRequest
  int readAttempts;                        // with the pause: how long one wait lasts
  std::uint32_t readPauseMs;               // pause after a read that could not wait
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
// How long a wait lasts once the printer has been silent through a whole
// wait in this session: the closing transactions still go out, but a
// second silence costs no second full wait.
inline constexpr std::uint32_t kShortWaitMs = 200;

// What one session takes from the printer before it gives up on it: every
// packet read (reply, kept, answered or passed over), every byte read (the
// read-away before the entry string apart), the packets passed over, the
// transactions of the printer's own answered.
struct SessionBounds {
  std::size_t packets;
  std::size_t bytes;
  int passedOver;
  int answered;
};
inline constexpr SessionBounds kSessionBounds{4096, 256 * 1024, 64, 64};
// What the closing (the channel's close and Exit) may still take once a
// flood used up the session's bounds.
inline constexpr SessionBounds kClosingBounds{64, 16 * 1024, 32, 16};

// What leads the printer into packet mode: 0x00 0x00 0x00 0x1B 0x01, then
// "@QXV 1284.4" LF "@QXV" LF "@QXV" LF.
extern const std::array<std::uint8_t, 27> kEntryString;

enum class Channel { Control, Data };

enum class EngineError {
  None,
  NotInPacketMode,  // no successful Start, or stopped
  WriteFailed,      // write call failed or the device took fewer bytes
  ReadFailed,       // a read call failed
  ReadTimedOut,     // the wait, or the session's deadline, ran out
  Malformed,        // not the reply expected: bad length, wrong command, too short
  ResultNotZero,    // the reply's result byte is not 0 (see EngineStatus::result)
  ErrorPacket,      // the printer sent an Error packet (see errorPacket)
  WrongSockets,     // a reply named another channel than the one asked for
  ReplyTooLong,     // a reply beyond kMaxControlReply, or a packet beyond its size
  NoCredit,         // the printer granted no credit for the command
  CommandTooLong,   // the command does not fit the packet size
  Noise,            // too much that was not the reply: beyond a bound of the session
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
// Tells whether a whole message answers the command sent; one that does not
// (an earlier command's answer) is passed over.
using AnswersCommand = std::function<bool(std::span<const std::uint8_t>)>;
inline bool AnyMessage(std::span<const std::uint8_t>) { return true; }

class CCBTCtrl {
 public:
  // Borrows `io` for its whole life. Without a deadline, the session's
  // waits end kSessionWorkMs (and its closing kSessionClosingMs later) after
  // its construction.
  explicit CCBTCtrl(CPortIO& io, const EngineConfig& config = kEngineConfig,
                    std::optional<SessionDeadline> deadline = std::nullopt);
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
  // True when plain bytes may go to the printer after Stop: the last entry
  // string went out whole, Exit reached the printer after it, and the
  // printer either sent no packet since (silent: it does not speak the
  // protocol) or acknowledged Exit with result 0. Otherwise it may still be
  // in packet mode and would read plain bytes as a packet header; so also
  // when no entry string could be sent, since then nothing is known of it.
  bool PlainBytesSafe() const;
  // True unless Exit is owed and could not be written whole (a write cut
  // short, or refused twice): the printer was then told nothing.
  bool ExitDelivered() const;

  // The single transactions, each in packet mode only.
  EngineStatus OpenChannel(Channel channel);  // adopts the granted sizes
  EngineStatus CloseChannel(Channel channel);
  EngineStatus GrantCredit(Channel channel);  // Credit: `credit` to the printer
  // CreditRequest: adds what is granted; a grant of 0 is followed by a
  // wait for a Credit of the printer's own.
  EngineStatus RequestCredit(Channel channel);

  // One whole control exchange: open the control channel, grant credit,
  // request credit, send `command` as one data packet, receive the whole
  // reply, close the channel. Whatever reached the channel before the
  // command went out is dropped; a message after it that `answers` does not
  // accept is passed over. A reply that spans several packets is read on,
  // with further credit, until its end: the end-of-message flag of a
  // packet, or `whole` saying so. `reply` receives it on success and is
  // empty on failure; a part is never handed out. A command that does not
  // fit the packet size is refused before anything is sent. Once the reply
  // is whole the exchange has succeeded, whatever the closing of the
  // channel gives. After any other failure the channel is closed once (not
  // after a write cut short, nor when the open request never went out or
  // the printer refused it).
  EngineStatus ControlExchange(std::span<const std::uint8_t> command, Bytes& reply,
                               const WholeReply& whole = EndsWithClosingByte,
                               const AnswersCommand& answers = AnyMessage);

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

    // Credit the printer granted, by whichever of its ways; held to what
    // the 16-bit field can count.
    void AddCreditToSend(unsigned credit) {
      creditToSend = static_cast<std::uint16_t>(std::min<unsigned>(creditToSend + credit, 0xFFFF));
    }
  };
  // What a wait waits for: a transaction's reply, a data packet of a
  // channel, or credit for a channel.
  struct Awaited {
    std::optional<Command> reply{};
    ChannelState* data = nullptr;
    ChannelState* credit = nullptr;
    bool drain = false;  // nothing: only what is there now, without waiting
  };
  struct Counts {
    std::size_t packets = 0;
    std::size_t bytes = 0;
    int passedOver = 0;
    int answered = 0;
  };
  enum class Placed { Reply, Error, Kept, PassedOver, Answered };
  // While the closing transactions run: the closing's own bounds and the
  // deadline's closing time; the session's counts come back after.
  class ClosingScope {
   public:
    explicit ClosingScope(CCBTCtrl& engine);
    ~ClosingScope();
    ClosingScope(const ClosingScope&) = delete;
    ClosingScope& operator=(const ClosingScope&) = delete;

   private:
    CCBTCtrl& engine_;
    Counts saved_;
    bool outer_;
  };
  enum class WriteRetry { None, Once };

  ChannelState& State(Channel channel) { return channels_[static_cast<int>(channel)]; }
  ChannelState* OpenChannelOn(std::uint8_t primary, std::uint8_t secondary);
  EngineStatus StartLocked();
  EngineStatus StopLocked();
  bool Write(const Bytes& packet, WriteRetry retry);
  EngineStatus Transaction(Command command, const Bytes& request, Bytes& reply,
                           WriteRetry retry = WriteRetry::None);
  EngineStatus Await(const Awaited& awaited, Bytes& reply);
  std::uint64_t WaitEnd() const;
  bool WithinBounds() const;
  Placed Place(const Bytes& packet, const Awaited& awaited);
  Placed PlaceData(const Bytes& packet);
  bool AnswerPeer(const Bytes& packet);
  EngineStatus DropQueued(ChannelState& channel);
  EngineStatus OpenChannelLocked(ChannelState& channel);
  EngineStatus CloseChannelLocked(ChannelState& channel);
  EngineStatus GrantCreditLocked(ChannelState& channel);
  EngineStatus RequestCreditLocked(ChannelState& channel);
  EngineStatus SendCommandLocked(ChannelState& channel, std::span<const std::uint8_t> command);
  EngineStatus ReceiveMessageLocked(ChannelState& channel, const WholeReply& whole,
                                    const AnswersCommand& answers, Bytes& reply);
  EngineStatus NextMessageLocked(ChannelState& channel, const WholeReply& whole, Bytes& message);
  void ResetChannels();

  CPortIO& io_;
  const EngineConfig config_;
  const SessionDeadline deadline_;
  mutable std::mutex lock_;
  bool entrySent_ = false;    // some of the entry string went out; Exit is owed
  bool packetMode_ = false;   // Init confirmed
  bool answering_ = false;    // Init confirmed in this session: the printer's
                              // own transactions get answers, also while Exit waits
  bool closing_ = false;      // the closing transactions run: closing bounds, deadline
  bool silent_ = false;       // a wait in this session ran out its whole time
  bool heardPacket_ = false;  // a packet came since the last entry string
  bool exitAcknowledged_ = false;
  bool exitUndelivered_ = false;
  bool entryWhole_ = false;  // the last entry string went out whole
  std::size_t readAway_ = 0;
  Counts counts_;
  std::array<ChannelState, 2> channels_;
};

// A short English name of `error`, for logs and test output.
const char* EngineErrorName(EngineError error);

}  // namespace nolpa::serial_library
