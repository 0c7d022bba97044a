#pragma once
// The command side of a simulated printer: it parses the byte stream a host
// writes to the printer's channel, answers the queries, and applies the
// identifier store and clear commands that arrive inside an opened ID session.
// Pure: no I/O, no clock; the caller moves the bytes.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/core/peripheral_faults.h"

namespace nolpa::sim {

// What a printer holds and reports. All texts are 8-bit strings.
struct PrinterIdentity {
  std::string model;     // answered to GS I C
  std::string firmware;  // answered to GS I A
  std::string serial;    // the ID code; answered to GS I D, replaced by a store with key '9'
  std::string idName;    // the ID name; replaced by a store with key '8'
  // M: the one-byte answer to the identification query GS I 1, and the byte
  // the opening and closing packets must carry. The host accepts it only when
  // it is of shape ReplyShape::Other; a fleet must check it with
  // IsValidIdentByte. The protocol answers whatever value it holds.
  std::uint8_t identByte = 0x20;
};

// How a host's reply reader treats a reply by its first byte b.
enum class ReplyShape {
  FlowControl,     // 0x11 and 0x13: dropped wherever they arrive
  OneByteStatus,   // (b & 0x93) == 0x12
  FourByteStatus,  // (b & 0x93) == 0x10
  Block,           // (b & 0x91) == 0x11: runs to the first 00
  Other,           // everything else: one byte
};

// The shape a reply starting with `b` is read as.
ReplyShape ShapeOfReplyByte(std::uint8_t b);

// True when `b` can serve as identByte: the host reads it back as a lone
// byte only when its shape is ReplyShape::Other.
bool IsValidIdentByte(std::uint8_t b);

// Longest identifier a store may carry: a longer one could not be reported
// as a USB string descriptor (length byte 2L + 2 must fit in 8 bits).
inline constexpr std::size_t kMaxStoredTextLength = 126;

// Longest text a GS I reply block carries, so the block (5F, text, 00) stays
// within the 80 bytes a host reader accepts.
inline constexpr std::size_t kMaxReplyTextLength = 78;

// The names PrinterProtocol::Commands() records, one per parsed command.
namespace command {
inline constexpr char kInitialise[] = "ESC @";
inline constexpr char kSelectPrinter[] = "ESC =";
inline constexpr char kAutoStatus[] = "GS a";
inline constexpr char kAutoInkStatus[] = "GS j";
inline constexpr char kIdentify[] = "GS I 1";
inline constexpr char kModelQuery[] = "GS I C";
inline constexpr char kFirmwareQuery[] = "GS I A";
inline constexpr char kSerialQuery[] = "GS I D";
inline constexpr char kOtherInfoQuery[] = "GS I other";  // no answer
inline constexpr char kOpenSession[] = "open session";
inline constexpr char kOpenRefused[] = "open session refused";  // wrong M
inline constexpr char kCloseSession[] = "close session";
inline constexpr char kCloseRefused[] = "close session refused";  // wrong M
inline constexpr char kOtherSessionPacket[] = "FS | other";
inline constexpr char kStoreIdCode[] = "store ID code";
inline constexpr char kStoreIdName[] = "store ID name";
inline constexpr char kClearIdCode[] = "clear ID code";
inline constexpr char kClearIdName[] = "clear ID name";
// Appended to the four names above when no session was open: not applied.
inline constexpr char kOutsideSession[] = " outside session";
// A store whose count, terminating FF or text is wrong: not applied.
inline constexpr char kMalformedStore[] = "malformed store";
inline constexpr char kOtherFunction[] = "GS ( other";  // parsed by count, ignored
// A command cut short by ESC @ arriving inside it; ESC @ follows.
inline constexpr char kAbandoned[] = "abandoned";
// Unrecognised ESC x, GS x, FS x: recorded as "ESC 4A" etc. (hex of x).
}  // namespace command

class PrinterProtocol {
 public:
  // Feeds `size` bytes the host wrote. Commands may be split across calls or
  // several may come in one call: an incomplete command waits for the rest.
  // Appends the printer's answers to `replies`. A store or clear command
  // inside an opened session changes `identity` as soon as its last byte
  // arrives. ESC @ anywhere, even inside another command, drops that command,
  // closes the session and starts afresh.
  void Receive(const std::uint8_t* data, std::size_t size, PrinterIdentity& identity,
               std::vector<std::uint8_t>& replies);

  // Chooses what GS I 1 answers from now on.
  void SetQueryAnswer(QueryAnswer a);
  // Chooses how GS I n answers from now on, by n ('C', 'A', 'D'); an n not
  // in the map answers normally.
  void SetInfoAnswers(std::map<std::uint8_t, InfoAnswer> answers);

  // Hears of every departure from the protocol (sim/core/departures.h kinds): a
  // session packet whose M is not the printer's last answer to GS I 1 since
  // its last reset, a store or clear outside a session, a malformed store.
  using DepartureSink = std::function<void(std::string_view kind, std::string detail)>;
  void SetDepartureSink(DepartureSink sink) { departureSink_ = std::move(sink); }

  // Names of the commands parsed so far, in order (see namespace command).
  const std::vector<std::string>& Commands() const;

  // Bytes that were not part of any command (NUL excepted), in order.
  const std::string& Printed() const;

  // True while an ID session is open.
  bool SessionOpen() const { return sessionOpen_; }

 private:
  using Bytes = std::span<const std::uint8_t>;
  struct Sink {
    PrinterIdentity& identity;
    std::vector<std::uint8_t>& replies;
  };
  struct CommandShape;

  // Parses one command or plain byte at the start of `bytes`; returns the
  // number of bytes consumed, 0 when more bytes are needed.
  std::size_t Step(Bytes bytes, Sink& sink);
  static const CommandShape* MatchShape(Bytes bytes, bool& needMore);

  void RunInitialise(Bytes cmd, Sink& sink);
  void RunSelectPrinter(Bytes cmd, Sink& sink);
  void RunAutoStatus(Bytes cmd, Sink& sink);
  void RunAutoInkStatus(Bytes cmd, Sink& sink);
  void RunInformation(Bytes cmd, Sink& sink);
  void RunSessionPacket(Bytes cmd, Sink& sink);
  void RunCountedFunction(Bytes cmd, Sink& sink);
  void RunUnknown(Bytes cmd, Sink& sink);
  void RunIdentifierFunction(Bytes cmd, Sink& sink);
  void ApplyIdentifier(std::uint8_t key, bool clear, std::string text, Sink& sink);
  void AppendInfoAnswer(std::uint8_t n, const std::string& text, Sink& sink) const;

  void Depart(std::string_view kind, std::string detail = {});

  std::vector<std::uint8_t> pending_;  // bytes of a command not yet complete
  // The M the printer gave in answer to GS I 1 since its last ESC @; a
  // session packet must carry exactly this byte.
  std::optional<std::uint8_t> answeredM_;
  DepartureSink departureSink_;
  QueryAnswer queryAnswer_ = QueryAnswer::Normal;
  std::map<std::uint8_t, InfoAnswer> infoAnswers_;
  bool sessionOpen_ = false;
  std::vector<std::string> commands_;
  std::string printed_;
};

}  // namespace nolpa::sim
