#include "sim/printers/printer_protocol.h"

#include "sim/core/departures.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <utility>

namespace nolpa::sim {
namespace {

constexpr std::uint8_t kNul = 0x00;
constexpr std::uint8_t kEsc = 0x1B;
constexpr std::uint8_t kFs = 0x1C;
constexpr std::uint8_t kGs = 0x1D;
constexpr std::uint8_t kInitialiseByte = 0x40;  // the '@' of ESC @
constexpr std::uint8_t kStoreEnd = 0xFF;
constexpr std::uint8_t kBlockHeader = 0x5F;
constexpr std::uint8_t kStatusByte = 0x12;
constexpr std::uint8_t kKeyIdCode = 0x39;
constexpr std::uint8_t kKeyIdName = 0x38;
constexpr std::uint8_t kFunctionClear = 0x00;
constexpr std::uint8_t kFunctionStore = 0x01;

// GS ( fn pL pH: the count pL pH covers what follows these five bytes.
constexpr std::size_t kCountedHeaderLength = 5;
// GS ( C pL pH 00 fn 80 23 K: the text of a store starts after these ten.
constexpr std::size_t kIdentifierHeaderLength = 10;
constexpr std::size_t kClearCount = 5;

constexpr std::array<std::uint8_t, 5> kOpenTail = {0x01, 0xFE, 0x80, 0x00, 0x00};
constexpr std::array<std::uint8_t, 5> kCloseTail = {0x02, 0xFD, 0x01, 0x00, 0x00};

using Bytes = std::span<const std::uint8_t>;

std::size_t CountOf(Bytes cmd) {
  return static_cast<std::size_t>(cmd[3]) | static_cast<std::size_t>(cmd[4]) << 8;
}

// The key of an identifier function GS ( C pL pH 00 fn 80 23 K with the given
// fn, or nullopt when the first ten bytes are not of that form.
std::optional<std::uint8_t> IdentifierKey(Bytes cmd, std::uint8_t function) {
  if (cmd.size() < kIdentifierHeaderLength || cmd[2] != 'C') return std::nullopt;
  const std::array<std::uint8_t, 4> head = {kNul, function, 0x80, 0x23};
  if (!std::equal(head.begin(), head.end(), cmd.begin() + 5)) return std::nullopt;
  const std::uint8_t key = cmd[9];
  if (key != kKeyIdCode && key != kKeyIdName) return std::nullopt;
  return key;
}

// Length of the GS ( function at the start of `b`, or nullopt while the bytes
// so far do not tell. A store ends at its first FF even when its count says
// otherwise, so that a wrong count does not swallow the packets after it.
std::optional<std::size_t> CountedLength(Bytes b) {
  if (b.size() < kCountedHeaderLength) return std::nullopt;
  const std::size_t end = kCountedHeaderLength + CountOf(b);
  if (end <= kIdentifierHeaderLength) return end;
  if (b.size() < kIdentifierHeaderLength) return std::nullopt;
  if (!IdentifierKey(b, kFunctionStore)) return end;
  const auto stop = b.begin() + static_cast<std::ptrdiff_t>(std::min(end, b.size()));
  const auto ff = std::find(b.begin() + kIdentifierHeaderLength, stop, kStoreEnd);
  if (ff != stop) return static_cast<std::size_t>(ff - b.begin()) + 1;
  if (b.size() >= end) return end;
  return std::nullopt;
}

// A reply block 5F text 00. The text ends at its first NUL, which would end
// the block early anyway, and is cut so the block fits a reader's 80 bytes.
void AppendTextBlock(const std::string& text, std::vector<std::uint8_t>& replies) {
  std::size_t length = std::min(text.find('\0'), text.size());
  length = std::min(length, kMaxReplyTextLength);
  replies.push_back(kBlockHeader);
  replies.insert(replies.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
  replies.push_back(kNul);
}

}  // namespace

ReplyShape ShapeOfReplyByte(std::uint8_t b) {
  if (b == 0x11 || b == 0x13) return ReplyShape::FlowControl;
  if ((b & 0x93) == 0x12) return ReplyShape::OneByteStatus;
  if ((b & 0x93) == 0x10) return ReplyShape::FourByteStatus;
  if ((b & 0x91) == 0x11) return ReplyShape::Block;
  return ReplyShape::Other;
}

bool IsValidIdentByte(std::uint8_t b) { return ShapeOfReplyByte(b) == ReplyShape::Other; }

struct PrinterProtocol::CommandShape {
  std::array<std::uint8_t, 3> prefix;
  std::size_t prefixLength;
  std::size_t length;  // of the whole command; 0 when it carries a count
  void (PrinterProtocol::*run)(Bytes, Sink&);
};

// The first shape whose prefix the bytes start with. `needMore` is set when
// the bytes so far match the start of a longer prefix.
const PrinterProtocol::CommandShape* PrinterProtocol::MatchShape(Bytes b, bool& needMore) {
  // Longer prefixes first: the one-byte prefixes catch unknown commands.
  static const CommandShape kShapes[] = {
      {{kEsc, 0x40}, 2, 2, &PrinterProtocol::RunInitialise},
      {{kEsc, 0x3D}, 2, 3, &PrinterProtocol::RunSelectPrinter},
      {{kGs, 0x61}, 2, 3, &PrinterProtocol::RunAutoStatus},
      {{kGs, 0x6A}, 2, 3, &PrinterProtocol::RunAutoInkStatus},
      {{kGs, 0x49}, 2, 3, &PrinterProtocol::RunInformation},
      {{kGs, 0x28}, 2, 0, &PrinterProtocol::RunCountedFunction},
      {{kFs, 0x7C, 0x7F}, 3, 9, &PrinterProtocol::RunSessionPacket},
      {{kEsc}, 1, 2, &PrinterProtocol::RunUnknown},
      {{kGs}, 1, 2, &PrinterProtocol::RunUnknown},
      {{kFs}, 1, 2, &PrinterProtocol::RunUnknown},
  };
  for (const CommandShape& shape : kShapes) {
    const std::size_t n = std::min(shape.prefixLength, b.size());
    if (!std::equal(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n), shape.prefix.begin()))
      continue;
    if (n < shape.prefixLength) {
      needMore = true;
      return nullptr;
    }
    return &shape;
  }
  return nullptr;
}

std::size_t PrinterProtocol::Step(Bytes b, Sink& sink) {
  bool needMore = false;
  const CommandShape* shape = MatchShape(b, needMore);
  if (needMore) return 0;
  if (shape == nullptr) {
    if (b[0] != kNul) printed_.push_back(static_cast<char>(b[0]));
    return 1;
  }
  const std::optional<std::size_t> length =
      shape->length != 0 ? std::optional<std::size_t>(shape->length) : CountedLength(b);
  // ESC @ inside a command cuts it short, so a host can always recover a
  // printer stuck in a half-sent command by resetting it.
  const std::size_t limit = length ? std::min(*length, b.size()) : b.size();
  for (std::size_t i = 1; i < limit; ++i) {
    if (b[i] != kEsc) continue;
    if (i + 1 == b.size()) return 0;  // wait: this may be the start of ESC @
    if (b[i + 1] == kInitialiseByte) {
      commands_.emplace_back(command::kAbandoned);
      return i;
    }
  }
  if (!length || *length > b.size()) return 0;
  (this->*shape->run)(b.first(*length), sink);
  return *length;
}

void PrinterProtocol::Receive(const std::uint8_t* data, std::size_t size, PrinterIdentity& identity,
                              std::vector<std::uint8_t>& replies) {
  if (data != nullptr) pending_.insert(pending_.end(), data, data + size);
  Sink sink{identity, replies};
  std::size_t pos = 0;
  while (pos < pending_.size()) {
    const std::size_t used = Step(Bytes(pending_).subspan(pos), sink);
    if (used == 0) break;
    pos += used;
  }
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pos));
}

void PrinterProtocol::SetQueryAnswer(QueryAnswer a) { queryAnswer_ = a; }

void PrinterProtocol::SetInfoAnswers(std::map<std::uint8_t, InfoAnswer> answers) {
  infoAnswers_ = std::move(answers);
}

// The answer to GS I n as the fault switch for n shapes it.
void PrinterProtocol::AppendInfoAnswer(std::uint8_t n, const std::string& text, Sink& sink) const {
  const auto it = infoAnswers_.find(n);
  const InfoAnswer answer = it == infoAnswers_.end() ? InfoAnswer::Normal : it->second;
  switch (answer) {
    case InfoAnswer::Normal: AppendTextBlock(text, sink.replies); break;
    case InfoAnswer::Ignore: break;
    case InfoAnswer::OneByteStatus: sink.replies.push_back(kStatusByte); break;
    case InfoAnswer::NoTerminator:
      AppendTextBlock(text, sink.replies);
      sink.replies.pop_back();
      break;
    case InfoAnswer::OtherBlock: {
      // A reply reader takes it for a block all the same: 0x15 & 0x91 is 0x11.
      constexpr std::uint8_t kOtherBlockHeader = 0x15;
      const std::size_t start = sink.replies.size();
      AppendTextBlock(text, sink.replies);
      sink.replies[start] = kOtherBlockHeader;
      break;
    }
  }
}

const std::vector<std::string>& PrinterProtocol::Commands() const { return commands_; }

const std::string& PrinterProtocol::Printed() const { return printed_; }

void PrinterProtocol::Depart(std::string_view kind, std::string detail) {
  if (departureSink_) departureSink_(kind, std::move(detail));
}

void PrinterProtocol::RunInitialise(Bytes, Sink&) {
  sessionOpen_ = false;
  answeredM_.reset();
  commands_.emplace_back(command::kInitialise);
}

void PrinterProtocol::RunSelectPrinter(Bytes, Sink&) {
  commands_.emplace_back(command::kSelectPrinter);
}

// No automatic status is simulated, so switching it off changes nothing.
void PrinterProtocol::RunAutoStatus(Bytes, Sink&) { commands_.emplace_back(command::kAutoStatus); }

void PrinterProtocol::RunAutoInkStatus(Bytes, Sink&) {
  commands_.emplace_back(command::kAutoInkStatus);
}

void PrinterProtocol::RunInformation(Bytes cmd, Sink& sink) {
  struct TextQuery {
    std::uint8_t n;
    const char* name;
    std::string PrinterIdentity::*text;
  };
  static const TextQuery kTextQueries[] = {
      {0x43, command::kModelQuery, &PrinterIdentity::model},
      {0x41, command::kFirmwareQuery, &PrinterIdentity::firmware},
      {0x44, command::kSerialQuery, &PrinterIdentity::serial},
  };
  const std::uint8_t n = cmd[2];
  for (const TextQuery& query : kTextQueries) {
    if (query.n != n) continue;
    commands_.emplace_back(query.name);
    AppendInfoAnswer(n, sink.identity.*query.text, sink);
    return;
  }
  if (n != 0x01) {
    commands_.emplace_back(command::kOtherInfoQuery);
    return;
  }
  commands_.emplace_back(command::kIdentify);
  switch (queryAnswer_) {
    case QueryAnswer::Normal:
      sink.replies.push_back(sink.identity.identByte);
      answeredM_ = sink.identity.identByte;
      break;
    case QueryAnswer::OneByteStatus: sink.replies.push_back(kStatusByte); break;
    case QueryAnswer::Block: AppendTextBlock("x", sink.replies); break;
  }
}

// FS | 7F M tail: the tail tells opening from closing; M must be the byte the
// printer answers to GS I 1, which proves the host asked this printer first.
void PrinterProtocol::RunSessionPacket(Bytes cmd, Sink&) {
  const Bytes tail = cmd.subspan(4);
  const bool open = std::equal(tail.begin(), tail.end(), kOpenTail.begin());
  const bool close = std::equal(tail.begin(), tail.end(), kCloseTail.begin());
  if (!open && !close) {
    commands_.emplace_back(command::kOtherSessionPacket);
    return;
  }
  const bool matches = answeredM_ && cmd[3] == *answeredM_;
  if (matches) {
    sessionOpen_ = open;
  } else {
    char detail[48];
    if (answeredM_) {
      std::snprintf(detail, sizeof detail, "M %02X, answered %02X", static_cast<unsigned>(cmd[3]),
                    static_cast<unsigned>(*answeredM_));
    } else {
      std::snprintf(detail, sizeof detail, "M %02X, no answer since reset",
                    static_cast<unsigned>(cmd[3]));
    }
    Depart(departure::kSessionWrongM, std::string(open ? "opening " : "closing ") + detail);
  }
  if (open) {
    commands_.emplace_back(matches ? command::kOpenSession : command::kOpenRefused);
  } else {
    commands_.emplace_back(matches ? command::kCloseSession : command::kCloseRefused);
  }
}

void PrinterProtocol::RunCountedFunction(Bytes cmd, Sink& sink) {
  if (IdentifierKey(cmd, kFunctionStore) || IdentifierKey(cmd, kFunctionClear)) {
    RunIdentifierFunction(cmd, sink);
    return;
  }
  commands_.emplace_back(command::kOtherFunction);
}

// A store or clear of the ID code or ID name. Only a well-framed one with a
// text that can be reported back is taken.
void PrinterProtocol::RunIdentifierFunction(Bytes cmd, Sink& sink) {
  const std::size_t count = CountOf(cmd);
  const bool complete = cmd.size() == kCountedHeaderLength + count;
  if (const auto key = IdentifierKey(cmd, kFunctionClear)) {
    if (!complete || count != kClearCount) {
      commands_.emplace_back(command::kMalformedStore);
      Depart(departure::kMalformedStore, "clear");
      return;
    }
    ApplyIdentifier(*key, true, std::string(), sink);
    return;
  }
  const std::uint8_t key = *IdentifierKey(cmd, kFunctionStore);
  if (!complete || cmd.back() != kStoreEnd) {
    commands_.emplace_back(command::kMalformedStore);
    Depart(departure::kMalformedStore, "count or terminator");
    return;
  }
  const Bytes text = cmd.subspan(kIdentifierHeaderLength, cmd.size() - kIdentifierHeaderLength - 1);
  const bool hasNul = std::find(text.begin(), text.end(), kNul) != text.end();
  if (hasNul || text.size() > kMaxStoredTextLength) {
    commands_.emplace_back(command::kMalformedStore);
    Depart(departure::kMalformedStore, hasNul ? "NUL in text" : "text too long");
    return;
  }
  ApplyIdentifier(key, false, std::string(text.begin(), text.end()), sink);
}

void PrinterProtocol::ApplyIdentifier(std::uint8_t key, bool clear, std::string text, Sink& sink) {
  const bool idCode = key == kKeyIdCode;
  std::string name = clear ? (idCode ? command::kClearIdCode : command::kClearIdName)
                           : (idCode ? command::kStoreIdCode : command::kStoreIdName);
  if (sessionOpen_) {
    (idCode ? sink.identity.serial : sink.identity.idName) = std::move(text);
  } else {
    name += command::kOutsideSession;
    Depart(departure::kOutsideSession, name);
  }
  commands_.push_back(std::move(name));
}

void PrinterProtocol::RunUnknown(Bytes cmd, Sink&) {
  const char* prefix = cmd[0] == kEsc ? "ESC" : cmd[0] == kGs ? "GS" : "FS";
  char name[16];
  std::snprintf(name, sizeof name, "%s %02X", prefix, static_cast<unsigned>(cmd[1]));
  commands_.emplace_back(name);
}

}  // namespace nolpa::sim
