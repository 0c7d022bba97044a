#pragma once
// Writing the ID code and ID name to a printer as commands over its byte
// channel, framed by an opening and a closing packet that carry the byte the
// printer gives in answer to the identification query.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "printerio/byte_channel.h"
#include "printerio/printer_requests.h"

namespace nolpa::ident {

// The reset that starts the sequence; the communication test sends it too.
using printerio::kResetSequence;
// Asks for the one byte that the opening and closing packets carry.
inline constexpr std::array<std::uint8_t, 3> kIdentificationQuery = {0x1D, 0x49, 0x01};
// Record keys: the digit characters 9 and 8.
inline constexpr std::uint8_t kIdCodeKey = 0x39;
inline constexpr std::uint8_t kIdNameKey = 0x38;
// Longest text a store command can count: its 16-bit count covers the text
// and six more bytes.
inline constexpr std::size_t kMaxCommandTextLength = 0xFFFF - 6;

// 1C 7C 7F M 01 FE 80 00 00.
std::array<std::uint8_t, 9> OpeningPacket(std::uint8_t m);
// 1C 7C 7F M 02 FD 01 00 00.
std::array<std::uint8_t, 9> ClosingPacket(std::uint8_t m);
// 1D 28 43 pL pH 00 01 80 23 K, pL pH being length + 6, little-endian; it is
// followed by the text and FF. Requires length <= kMaxCommandTextLength.
std::array<std::uint8_t, 10> StoreHeader(std::uint8_t key, std::size_t length);
// 1D 28 43 05 00 00 00 80 23 K: empties the record.
std::array<std::uint8_t, 10> ClearCommand(std::uint8_t key);

// The command sequence on a channel whose time-outs the caller has set:
// reset (its write count not checked), emptying of the channel, the
// identification query, whose answer must be one ReplyOther byte M, the
// opening packet, then for the ID code and then the ID name: a clear command
// when the new value is empty (even if the stored one is empty too), a store
// (header, text, FF as three writes) when it differs byte for byte from the
// stored one, nothing when equal; last the closing packet. Every packet is one
// write that must be taken in full. Returns false at the first short write,
// unexpected or missing answer, or when the emptying gives up on a printer
// that will not fall silent; the closing packet is then not sent. A new
// value longer than kMaxCommandTextLength is refused before anything is sent.
// Takes at least 2000 ms (the silence that ends the emptying).
bool WriteIdByCommands(printerio::ByteChannel& channel, std::string_view newCode,
                       std::string_view newName, std::string_view storedCode,
                       std::string_view storedName);

}  // namespace nolpa::ident
