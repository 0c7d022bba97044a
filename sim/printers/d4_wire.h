#pragma once
// The byte layout both halves of a printer-class printer's packet-protocol
// side share (d4_peripheral.cpp, d4_printer_transactions.cpp): header and
// command bytes, result and error codes, and the builder of what the
// printer sends back. Private to sim/printers/.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/printers/d4_peripheral.h"

namespace nolpa::sim::d4 {

inline constexpr std::size_t kHeaderSize = 6;
inline constexpr std::uint8_t kTransactionSocket = 0x00;
inline constexpr std::uint8_t kRevision = 0x10;
inline constexpr std::uint8_t kReplyBit = 0x80;
inline constexpr std::uint8_t kErrorCommand = 0x7F;
// Bit 1 of a header's control byte: the last packet of a message.
inline constexpr std::uint8_t kEndOfMessage = 0x02;

// Transaction commands and the packet length each one has.
inline constexpr std::uint8_t kInit = 0x00;
inline constexpr std::uint8_t kOpenChannel = 0x01;
inline constexpr std::uint8_t kCloseChannel = 0x02;
inline constexpr std::uint8_t kCredit = 0x03;
inline constexpr std::uint8_t kCreditRequest = 0x04;
inline constexpr std::uint8_t kExit = 0x08;
struct TransactionShape {
  std::uint8_t command;
  std::size_t length;
};
inline constexpr TransactionShape kShapes[] = {{kInit, 8},           {kOpenChannel, 17},
                                               {kCloseChannel, 10},  {kCredit, 11},
                                               {kCreditRequest, 13}, {kExit, 7}};

// Result bytes of the replies.
inline constexpr std::uint8_t kResultOk = 0x00;
inline constexpr std::uint8_t kResultRefused = 0x01;
inline constexpr std::uint8_t kResultRevision = 0x02;  // revision not supported

// Error packet codes.
inline constexpr std::uint8_t kErrorMalformed = 0x80;
inline constexpr std::uint8_t kErrorNoCredit = 0x81;
inline constexpr std::uint8_t kErrorTooLong = 0x83;
inline constexpr std::uint8_t kErrorNotOpen = 0x84;

// The largest packet the printer takes or sends, header included.
inline constexpr std::uint16_t kMaxPacket = 4096;
// Most credit one CreditRequest grants: the printer's command buffers.
inline constexpr std::uint16_t kMaxGrant = 8;

inline std::uint16_t Be16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

inline void PutBe16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
}

inline std::string Hex2(std::uint32_t v) {
  char buf[12];
  std::snprintf(buf, sizeof buf, "0x%02X", static_cast<unsigned>(v));
  return buf;
}

}  // namespace nolpa::sim::d4

namespace nolpa::sim {

struct D4Peripheral::Out {
  D4Peripheral& self;
  const PeripheralFaults& faults;
  std::vector<std::uint8_t>& bytes;
  std::vector<Delay>* delays;

  void Packet(std::uint8_t psid, std::uint8_t ssid, std::uint8_t credit,
              const std::vector<std::uint8_t>& payload, std::uint8_t control = 0x00) {
    if (self.silenced_) return;
    bytes.insert(bytes.end(), {psid, ssid});
    d4::PutBe16(bytes, static_cast<std::uint16_t>(d4::kHeaderSize + payload.size()));
    bytes.insert(bytes.end(), {credit, control});
    bytes.insert(bytes.end(), payload.begin(), payload.end());
  }
  // What is sent from here on reaches the host `ms` later.
  void After(std::uint32_t ms) {
    if (delays) delays->push_back({bytes.size(), ms});
  }
  // What is sent from here on comes late.
  void Late() {
    if (faults.lateReply) After(faults.lateReply->ms);
  }
  std::uint8_t TransactionSocket() const {
    return faults.wrongSockets ? kControlSocket : d4::kTransactionSocket;
  }
  void Reply(std::uint8_t command, std::vector<std::uint8_t> fields) {
    if (self.TakeLate(faults, command)) Late();
    fields.insert(fields.begin(), static_cast<std::uint8_t>(command | d4::kReplyBit));
    Packet(TransactionSocket(), TransactionSocket(), 1, fields);
  }
  void Error(std::uint8_t psid, std::uint8_t ssid, std::uint8_t code) {
    Packet(TransactionSocket(), TransactionSocket(), 1, {d4::kErrorCommand, psid, ssid, code});
  }
};

}  // namespace nolpa::sim
