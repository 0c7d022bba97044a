#pragma once
// An IEEE 1284.4 peripheral of its own, written from the standard's packet
// layout and transactions (never from the library's engine), that may do
// at each step anything the standard lets a printer do, and some things it
// does not: it asks a Chooser before every step. A chooser that always
// says 0 gets a printer that behaves.
//
// Plain mode: the entry string starts packet mode, the remote status
// request is answered with the status, anything else is print data. Packet
// mode: the transactions on socket 0 (Init, OpenChannel, CloseChannel,
// Credit, CreditRequest, Exit), commands on the control channel (socket
// 0x02) answered as data packets while the host gave credit. Exit ends
// packet mode whatever it answers. A packet is framed by its header's
// length in packet mode: plain bytes sent then are read as a packet header.
// Bytes out are handed to the link (hostile_link.h) in bursts, each with
// the delay after which it may reach the host; bursts never overtake.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace nolpa::testing {

// Each point at which the printer chooses. The value 0 always behaves.
enum class Choice : std::uint8_t {
  Transfer,      // per call: 0 a byte stream, 1 transfers of 64 bytes, 2 of 512
  Before,        // per host packet, before the answer: 0 nothing, 1 a Credit, 2 a
                 // CreditRequest, 3 an unknown command, 4 an Error packet, 5 bytes that
                 // start no packet, 6 data on the control channel, credit or not
  Flood,         // how many of Before's packets (0: one)
  Answer,        // per transaction or command: 0 answer, 1 late, 2 never,
                 // 3 refuse (result not 0; "NA;" for a serial write), 4 an Error
                 // packet instead, 5 on another socket
  DelayTens,     // how late, in tens of ms
  CreditGrant,   // per CreditRequest: 0 what was asked, 1 0 then a Credit, 2 0
  Pieces,        // per answer: the packets it is split into (0: one)
  HeaderCredit,  // credit for the host in an answer's data packet header
  EndFlag,       // 0 end-of-message on the last packet, 1 never
  DeviceWrite,   // per write call: 0 take all, 1 take part, 2 fail (nothing taken)
  DeviceRead,    // per read call: 0 as asked, 1 fail, 2 lose the next transfer
  Garbage,       // each byte of Before's noise (its high bit always set)
  KeepQueued,    // at CloseChannel, Init and Exit: 0 drop the answers not sent yet,
                 // 1 keep them, to go out at the next credit before anything else
};
// What a choice is about: the host's command byte for a transaction, kData
// for a data packet, kPlain outside packet mode.
inline constexpr std::uint8_t kAboutData = 0xF0;
inline constexpr std::uint8_t kAboutNothing = 0xF1;
using Chooser = std::function<int(Choice, std::uint8_t about)>;

class HostilePeripheral {
 public:
  using Bytes = std::vector<std::uint8_t>;
  struct Burst {
    Bytes bytes;
    std::uint32_t delayMs;  // after the burst before it
  };

  HostilePeripheral(std::string serial, std::string firmware, Chooser choose)
      : serial_(std::move(serial)), firmware_(std::move(firmware)), choose_(std::move(choose)) {}

  void SetChooser(Chooser choose) { choose_ = std::move(choose); }
  // An answer the printer still holds from an earlier command, in one
  // packet: it goes out as soon as the host gives the control channel
  // credit, ahead of anything else.
  void HoldAnswer(const std::string& answer) {
    if (!answer.empty())
      held_.push_back({Packet(kControl, 0, 0x02, Bytes(answer.begin(), answer.end())), 0});
  }

  // Bytes the host wrote; what the printer sends goes to Out().
  void Receive(const std::uint8_t* data, std::size_t size) {
    inbox_.insert(inbox_.end(), data, data + size);
    for (bool more = true; more;) more = mode_ == Mode::Plain ? PlainStep() : PacketStep();
  }
  std::deque<Burst>& Out() { return out_; }

  bool InPacketMode() const { return mode_ != Mode::Plain; }
  // Serial numbers whose write the printer acknowledged with "OK;".
  const std::vector<std::string>& Accepted() const { return accepted_; }
  const std::string& Serial() const { return serial_; }
  const std::string& Firmware() const { return firmware_; }
  // Plain bytes the printer took for a packet header while in packet mode.
  bool PlainReadAsPacket() const { return plainReadAsPacket_; }
  // The host's answers to what the printer started: those against the
  // rules (a CreditRequest granted credit, an unknown command accepted).
  int WrongAnswers() const { return wrongAnswers_; }
  int StatusRequests() const { return statusRequests_; }

  static std::string Status(const std::string& firmware) {
    return "@BDC ST\r\nST:04;RV:" + firmware + ";\x0C";
  }

 private:
  enum class Mode { Plain, Entered, Ready };
  struct Piece {
    Bytes packet;
    std::uint32_t delayMs;
    bool ends = true;  // the last packet of its message
  };
  struct ChannelState {
    std::uint16_t toHostSize = 512;
    int hostCredit = 0;          // data packets the host may send
    int printerCredit = 0;       // data packets the printer may send
    Bytes command{};             // a command coming in over several packets
    std::deque<Piece> pieces{};  // answers waiting for credit
    bool midMessage = false;     // part of a message went out, the rest waits
  };
  static constexpr std::size_t kMaxOut = 256 * 1024;
  static constexpr std::uint8_t kRefused = 0x01;
  static constexpr std::uint8_t kControl = 0x02;

  int Choose(Choice choice, std::uint8_t about) { return choose_ ? choose_(choice, about) : 0; }

  void Send(Bytes bytes, std::uint32_t delayMs = 0) {
    std::size_t queued = 0;
    for (const Burst& burst : out_) queued += burst.bytes.size();
    if (queued + bytes.size() <= kMaxOut) out_.push_back({std::move(bytes), delayMs});
  }
  static Bytes Packet(std::uint8_t socket, std::uint8_t credit, std::uint8_t control,
                      const Bytes& body) {
    const std::size_t length = body.size() + 6;
    Bytes packet{socket, socket, std::uint8_t(length >> 8), std::uint8_t(length), credit, control};
    packet.insert(packet.end(), body.begin(), body.end());
    return packet;
  }
  static Bytes Transaction(const Bytes& body) { return Packet(0, 1, 0, body); }

  bool PlainStep() {
    static const std::string kEntry("\x00\x00\x00\x1B\x01@QXV 1284.4\n@QXV\n@QXV\n", 27);
    static const std::string kStatusRequest(
        "\x1B(R\x08\x00\x00REMOTE1ST\x02\x00\x00\x01\x1B\x00\x00\x00", 23);
    const std::string text(inbox_.begin(), inbox_.end());
    for (const std::string* known : {&kEntry, &kStatusRequest}) {
      if (text.size() < known->size() && known->starts_with(text)) return false;  // more to come
      if (!text.starts_with(*known)) continue;
      inbox_.erase(inbox_.begin(), inbox_.begin() + static_cast<std::ptrdiff_t>(known->size()));
      if (known == &kEntry) {
        mode_ = Mode::Entered;
      } else {
        ++statusRequests_;
        const std::string status = Status(firmware_);
        Send(Bytes(status.begin(), status.end()));
      }
      return true;
    }
    if (inbox_.empty()) return false;
    inbox_.erase(inbox_.begin());  // print data
    return true;
  }

  bool PacketStep() {
    if (inbox_.size() < 6) return false;
    const std::size_t length = (inbox_[2] << 8) | inbox_[3];
    if (inbox_[0] == 0x1B && inbox_[1] == 0x28) plainReadAsPacket_ = true;
    if (length < 6 || (length < 7 && inbox_[0] == 0)) {  // the standard's bad packet length
      inbox_.erase(inbox_.begin(), inbox_.begin() + 6);
      Send(Transaction({0x7F, 0, 0, 0x80}));
      return true;
    }
    if (inbox_.size() < length) return false;
    const Bytes packet(inbox_.begin(), inbox_.begin() + static_cast<std::ptrdiff_t>(length));
    inbox_.erase(inbox_.begin(), inbox_.begin() + static_cast<std::ptrdiff_t>(length));
    if (packet[0] == 0 && packet[1] == 0) {
      OnTransaction(packet);
    } else {
      OnData(packet);
    }
    return mode_ != Mode::Plain || !inbox_.empty();
  }

  // Answers not sent when the channel closed (or the printer was reset, or
  // left packet mode) are dropped, or kept for the next credit.
  void CloseChannels(std::uint8_t about) {
    const bool keep = Choose(Choice::KeepQueued, about) == 1;
    for (auto& [socket, channel] : channels_)
      if (keep) held_.insert(held_.end(), channel.pieces.begin(), channel.pieces.end());
    channels_.clear();
  }

  // Before the answer to anything the host sent, the printer may send what
  // the chooser picks, once or as a flood.
  void Before(std::uint8_t about) {
    const int what = Choose(Choice::Before, about);
    if (what == 0 || mode_ != Mode::Ready) return;
    const int count = std::max(1, Choose(Choice::Flood, about));
    for (int i = 0; i < count; ++i) {
      switch (what) {
        case 1: Send(Transaction({0x03, kControl, kControl, 0, 1})); break;
        case 2: Send(Transaction({0x04, kControl, kControl, 0, 1, 0, 1})); break;
        case 3: Send(Transaction({0x55, 0x01, 0x02})); break;
        case 4: Send(Transaction({0x7F, kControl, kControl, 0x80})); break;
        case 5: {
          // Never a packet: a header's length would be 0x8080 or more.
          Bytes noise(static_cast<std::size_t>(Choose(Choice::Garbage, about) % 64 + 1));
          for (std::uint8_t& b : noise)
            b = static_cast<std::uint8_t>(0x80 | Choose(Choice::Garbage, about));
          Send(noise);
          break;
        }
        default: DataOfItsOwn(); break;
      }
    }
  }

  // The answer to a transaction, or a misdeed in its place.
  void Answer(std::uint8_t command, Bytes body) {
    const int how = Choose(Choice::Answer, command);
    const std::uint32_t delay = how == 1 ? 10u * Choose(Choice::DelayTens, command) : 0;
    if (how == 2) return;
    if (how == 3 && body.size() > 1) body[1] = kRefused;
    if (how == 4) body = {0x7F, kControl, kControl, 0x80};
    if (how == 5 && body.size() > 3) body[2] = body[3] = 0x40;
    Send(Transaction(body), delay);
  }

  void OnTransaction(const Bytes& packet) {
    const std::uint8_t command = packet[6];
    const Bytes params(packet.begin() + 7, packet.end());
    if ((command & 0x80) != 0) return OnHostReply(command, params);
    Before(command);
    if (mode_ == Mode::Entered && command != 0x00 && command != 0x08) {
      Send(Transaction({0x7F, 0, 0, 0x80}));  // nothing but Init before Init
      return;
    }
    switch (command) {
      case 0x00:
        mode_ = Mode::Ready;
        CloseChannels(command);
        return Answer(command, {0x80, 0, 0x10});
      case 0x01: return Open(params);
      case 0x02:
        CloseChannels(command);
        return Answer(command, {0x82, 0, P(params, 0), P(params, 1)});
      case 0x03: return GrantedByHost(params);
      case 0x04: return CreditRequest(params);
      case 0x08:
        mode_ = Mode::Plain;  // the standard's Exit: whatever is answered
        CloseChannels(command);
        return Answer(command, {0x88, 0});
      default: Send(Transaction({0x7F, 0, 0, 0x80}));
    }
  }
  static std::uint8_t P(const Bytes& params, std::size_t at) {
    return at < params.size() ? params[at] : 0;
  }

  void Open(const Bytes& params) {
    const std::uint8_t socket = P(params, 0);
    const std::uint16_t toPrinter = std::uint16_t(P(params, 2) << 8 | P(params, 3));
    const std::uint16_t toHost = std::uint16_t(P(params, 4) << 8 | P(params, 5));
    const bool ok = socket == kControl && toHost >= 16;
    if (ok) channels_[socket] = ChannelState{.toHostSize = toHost};
    Answer(0x01, {0x81, std::uint8_t(ok ? 0 : kRefused), socket, P(params, 1),
                  std::uint8_t(toPrinter >> 8), std::uint8_t(toPrinter), std::uint8_t(toHost >> 8),
                  std::uint8_t(toHost), 0, 1});
  }

  void GrantedByHost(const Bytes& params) {
    const auto it = channels_.find(P(params, 0));
    if (it != channels_.end()) {
      it->second.printerCredit += P(params, 2) << 8 | P(params, 3);
      it->second.pieces.insert(it->second.pieces.begin(), held_.begin(), held_.end());
      held_.clear();
    }
    Answer(0x03,
           {0x83, std::uint8_t(it != channels_.end() ? 0 : kRefused), P(params, 0), P(params, 1)});
    if (it != channels_.end()) Flush(it->second);
  }

  void CreditRequest(const Bytes& params) {
    const auto it = channels_.find(P(params, 0));
    const int grant = Choose(Choice::CreditGrant, 0x04);
    const std::uint16_t credit = grant == 0 ? std::uint16_t(P(params, 2) << 8 | P(params, 3)) : 0;
    if (it != channels_.end()) it->second.hostCredit += credit;
    Answer(0x04, {0x84, std::uint8_t(it != channels_.end() ? 0 : kRefused), P(params, 0),
                  P(params, 1), std::uint8_t(credit >> 8), std::uint8_t(credit)});
    if (grant == 1 && it != channels_.end()) {
      it->second.hostCredit += 1;
      Send(Transaction({0x03, P(params, 0), P(params, 1), 0, 1}));
    }
  }

  // A reply of the host to a transaction the printer started.
  void OnHostReply(std::uint8_t command, const Bytes& params) {
    const std::uint8_t result = P(params, 0);
    if (command == 0x84 && (P(params, 3) != 0 || P(params, 4) != 0)) ++wrongAnswers_;
    if (command == 0xD5 && result == 0) ++wrongAnswers_;
    Before(command);
  }

  void OnData(const Bytes& packet) {
    const auto it = channels_.find(packet[0]);
    if (it == channels_.end() || packet[1] != packet[0]) {
      Send(Transaction({0x7F, packet[0], packet[1], 0x84}));
      return;
    }
    ChannelState& channel = it->second;
    if (channel.hostCredit <= 0) {
      Send(Transaction({0x7F, packet[0], packet[1], 0x81}));
      return;
    }
    --channel.hostCredit;
    channel.command.insert(channel.command.end(), packet.begin() + 6, packet.end());
    Before(kAboutData);
    if (channel.command.size() < 4) return;
    const std::size_t whole = 4 + (channel.command[2] | channel.command[3] << 8);
    if (channel.command.size() < whole) return;
    const Bytes command(channel.command.begin(), channel.command.begin() + whole);
    channel.command.erase(channel.command.begin(), channel.command.begin() + whole);
    const int how = Choose(Choice::Answer, kAboutData);
    if (how == 2) return;
    if (how == 4) return Send(Transaction({0x7F, kControl, kControl, 0x85}));
    // An answer on another socket is not the control channel's: it goes out
    // at once, neither waiting for the channel's credit nor using it.
    for (Piece& piece : Pieces(Interpret(command, how == 3), channel.toHostSize, how)) {
      if (how == 5) Send(std::move(piece.packet), piece.delayMs);
      if (how != 5) channel.pieces.push_back(std::move(piece));
    }
    Flush(channel);
  }

  Bytes Interpret(const Bytes& command, bool refuse) {
    const std::string text(command.begin(), command.end());
    std::string answer = "??;\x0C";
    if (text.starts_with(std::string("tp\x04\x00\x01", 5))) {
      answer = "tp:01F0:";
      static const char kHex[] = "0123456789ABCDEF";
      for (unsigned char c : serial_) answer += {kHex[c >> 4], kHex[c & 15]};
      answer += ";\x0C";
    } else if (text.starts_with(std::string("tp\x16\x00\x00", 5)) && text.size() == 26) {
      answer = refuse ? "tp:00F0:NA;\x0C" : "tp:00F0:OK;\x0C";
      if (!refuse) accepted_.push_back(text.substr(8));
    } else if (text == std::string("st\x01\x00\x01", 5)) {
      answer = Status(firmware_);
    }
    return Bytes(answer.begin(), answer.end());
  }

  // An answer cut into the data packets it goes out in, as chosen: how
  // many, the credit each header carries, the end-of-message flag, how
  // late, on which socket.
  std::deque<Piece> Pieces(const Bytes& message, std::size_t packetSize, int how) {
    const std::size_t most = std::max<std::size_t>(packetSize, 16) - 6;
    const std::size_t pieces = std::max(1, Choose(Choice::Pieces, kAboutData));
    const std::size_t step = std::clamp<std::size_t>(message.size() / pieces + 1, 1, most);
    const bool flag = Choose(Choice::EndFlag, kAboutData) == 0;
    std::deque<Piece> out;
    for (std::size_t at = 0; at < message.size(); at += step) {
      const Bytes piece(
          message.begin() + static_cast<std::ptrdiff_t>(at),
          message.begin() + static_cast<std::ptrdiff_t>(std::min(message.size(), at + step)));
      const bool last = at + step >= message.size();
      const auto credit = static_cast<std::uint8_t>(Choose(Choice::HeaderCredit, kAboutData));
      const std::uint32_t delay =
          how == 1 && at == 0 ? 10u * Choose(Choice::DelayTens, kAboutData) : 0;
      out.push_back({Packet(how == 5 ? 0x40 : kControl, credit, last && flag ? 0x02 : 0, piece),
                     delay, last});
    }
    return out;
  }

  // One packet per credit the host gave, in order.
  void Flush(ChannelState& channel) {
    while (!channel.pieces.empty() && channel.printerCredit > 0) {
      --channel.printerCredit;
      channel.midMessage = !channel.pieces.front().ends;
      Send(std::move(channel.pieces.front().packet), channel.pieces.front().delayMs);
      channel.pieces.pop_front();
    }
  }

  // A message of its own on the control channel, whether or not the host
  // gave credit for it; never inside another message (then not at all).
  void DataOfItsOwn() {
    const auto it = channels_.find(kControl);
    if (it == channels_.end() || !it->second.midMessage)
      Send(Packet(kControl, 0, 0x02, {'x', 0x0C}));
  }

  std::string serial_;
  std::string firmware_;
  Chooser choose_;
  std::deque<Piece> held_;
  Mode mode_ = Mode::Plain;
  Bytes inbox_;
  std::deque<Burst> out_;
  std::map<std::uint8_t, ChannelState> channels_;
  std::vector<std::string> accepted_;
  bool plainReadAsPacket_ = false;
  int wrongAnswers_ = 0;
  int statusRequests_ = 0;
};

}  // namespace nolpa::testing
