#pragma once
// IEEE 1284.4 packets as a test scripts them: the host's requests with the
// engine's configuration, and the printer's replies, written out byte by
// byte from the packet layouts (never built by the code under test).
#include <cstdint>
#include <vector>

namespace nolpa::testing::d4 {

using Bytes = std::vector<std::uint8_t>;

// The packets keep the layout they are read by: one packet to a line.
// clang-format off
// The requests.
inline const Bytes kEntry{0x00, 0x00, 0x00, 0x1B, 0x01, '@', 'Q', 'X', 'V', ' ', '1', '2', '8', '4',
                        '.',  '4',  0x0A, '@',  'Q',  'X', 'V', 0x0A, '@', 'Q', 'X', 'V', 0x0A};
inline const Bytes kInit{0, 0, 0, 8, 1, 0, 0x00, 0x10};
inline const Bytes kOpenControl{0, 0, 0, 17, 1, 0, 0x01, 0x02, 0x02, 0x00, 0x40, 0x02, 0x00, 0, 0, 0, 0};
inline const Bytes kOpenData{0, 0, 0, 17, 1, 0, 0x01, 0x40, 0x40, 0x10, 0x00, 0x02, 0x00, 0, 0, 0, 0};
inline const Bytes kClose{0, 0, 0, 10, 1, 0, 0x02, 0x02, 0x02, 0x00};
inline const Bytes kCredit{0, 0, 0, 11, 1, 0, 0x03, 0x02, 0x02, 0x00, 0x01};
inline const Bytes kCreditRequest{0, 0, 0, 13, 1, 0, 0x04, 0x02, 0x02, 0x00, 0x01, 0x00, 0x1E};
inline const Bytes kExit{0, 0, 0, 7, 1, 0, 0x08};
inline const Bytes kCommand{'t', 'p', 0x04, 0x00, 0x01, 0x27, 0x03, 0xF0};
inline const Bytes kCommandPacket{0x02, 0x02, 0, 14, 0, 0, 't', 'p', 0x04, 0x00, 0x01, 0x27, 0x03, 0xF0};

inline Bytes InitReply(std::uint8_t result = 0) { return {0, 0, 0, 9, 1, 0, 0x80, result, 0x10}; }
inline Bytes OpenReply(std::uint8_t socket, std::uint16_t h2p, std::uint16_t p2h, std::uint8_t result = 0) {
  return {0, 0, 0, 16, 1, 0, 0x81, result, socket, socket, std::uint8_t(h2p >> 8),
          std::uint8_t(h2p), std::uint8_t(p2h >> 8), std::uint8_t(p2h), 0, 1};
}
inline Bytes SocketReply(std::uint8_t command, std::uint8_t result = 0) {
  return {0, 0, 0, 10, 1, 0, command, result, 0x02, 0x02};
}
inline Bytes CreditGrant(std::uint16_t credit, std::uint8_t result = 0) {
  return {0, 0, 0, 12, 1, 0, 0x84, result, 0x02, 0x02, 0, std::uint8_t(credit)};
}
inline Bytes ExitReply(std::uint8_t result = 0) { return {0, 0, 0, 8, 1, 0, 0x88, result}; }
inline Bytes DataPacket(std::uint8_t socket, const Bytes& payload) {
  const std::size_t length = payload.size() + 6;
  Bytes packet{socket, socket, std::uint8_t(length >> 8), std::uint8_t(length), 0, 0};
  packet.insert(packet.end(), payload.begin(), payload.end());
  return packet;
}
inline Bytes ErrorPacket(std::uint8_t code) { return {0, 0, 0, 10, 1, 0, 0x7F, 0x02, 0x02, code}; }
// A data packet whose header carries the end-of-message flag (control bit 1).
inline Bytes LastDataPacket(std::uint8_t socket, const Bytes& payload) {
  Bytes packet = DataPacket(socket, payload);
  packet[5] = 0x02;
  return packet;
}
// A Credit the printer starts on its own: one more packet on the control
// channel; and the host's reply to it.
inline const Bytes kPeerCredit{0, 0, 0, 11, 1, 0, 0x03, 0x02, 0x02, 0x00, 0x01};
inline const Bytes kPeerCreditReply{0, 0, 0, 10, 1, 0, 0x83, 0x00, 0x02, 0x02};
// clang-format on

}  // namespace nolpa::testing::d4
