#pragma once
// The control-channel commands the library sends and the decoding of the
// printer's answers: pure functions over bytes. A command is two ASCII
// letters, a 16-bit little-endian parameter length and the parameters; the
// printer answers with ASCII text.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace nolpa::morvalib {

// Characters of a USB serial number; a write sends exactly this many.
inline constexpr std::size_t kSerialNumberLength = 18;
// Longest firmware version text.
inline constexpr std::size_t kMaxFirmwareVersion = 31;

// The serial-number read for the model selector (0: RK-L5200 and the INI
// models, anything else: RK-L880): "tp", 4, 0, 0x01 and three model bytes.
std::array<std::uint8_t, 8> SerialReadCommand(int model);

// The serial-number write: "tp", 22, 0, 0x00, the three model bytes and the
// first 18 bytes of `serial`, as they are. `serial` must hold at least 18.
std::array<std::uint8_t, 26> SerialWriteCommand(int model, const char* serial);

// The serial number out of a read reply "tp:01F0:" <hex digits> ";" 0x0C:
// each pair of digits is one character (a trailing odd digit is dropped,
// and a pair of value 0 ends the text). Nothing when the reply is not of
// that form.
std::optional<std::string> DecodeSerialReply(std::span<const std::uint8_t> reply);

// True when a write reply is exactly the acknowledgement "tp:00F0:OK;" 0x0C.
bool IsWriteAcknowledged(std::span<const std::uint8_t> reply);

// True when `reply` may be the printer's answer to `command`: the answers
// to the serial-number read and write and to the status query begin with
// texts of their own ("tp:01F0:", "tp:00F0:", "@BDC ST"), so an answer to
// another of them (one an earlier call left) is told apart. Of any other
// command the answer is not known here: any reply may be it.
bool CouldAnswer(std::span<const std::uint8_t> command, std::span<const std::uint8_t> reply);

// The status query on the control channel: "st", 1, 0, 0x01.
inline constexpr std::array<std::uint8_t, 5> kStatusCommand = {'s', 't', 0x01, 0x00, 0x01};

// The remote status request on the data path (printers without the packet
// protocol): ESC "(R" 8 0 0 "REMOTE1", "ST" 2 0 0 1, ESC 0 0 0.
extern const std::array<std::uint8_t, 23> kRemoteStatusRequest;

// The firmware version out of a whole status reply: "@BDC ST" CR LF with an
// "RV:" field before its closing 0x0C, or "@BDC ST2" CR LF with a field
// list (type 8) of the length it announces, then 0x0C. A whole reply of
// either form without a usable version field gives an empty text; a reply
// of neither form, or one without its closing byte, gives nothing.
std::optional<std::string> DecodeStatusReply(std::span<const std::uint8_t> reply);

// True when `reply` is a whole answer: its last byte is the closing 0x0C,
// and a status in the "@BDC ST2" form holds its whole field list before
// it (the list may itself hold 0x0C bytes).
bool ReplyIsWhole(std::span<const std::uint8_t> reply);

}  // namespace nolpa::morvalib
