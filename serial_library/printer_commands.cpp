#include "serial_library/printer_commands.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace nolpa::morvalib {

namespace {

// The three bytes that tell the two command variants apart.
constexpr std::array<std::uint8_t, 3> kModelBytes[2] = {{0x27, 0x03, 0xF0}, {0x0A, 0x43, 0xF0}};

constexpr std::string_view kSerialReadHeader = "tp:01F0:";
constexpr std::string_view kWriteAcknowledgement = "tp:00F0:OK;\x0C";
constexpr std::size_t kWriteHeaderSize = 8;  // "tp:00F0:"
constexpr std::string_view kAnyStatusHeader = "@BDC ST";
constexpr std::string_view kStatusHeader = "@BDC ST\r\n";
constexpr std::string_view kFieldStatusHeader = "@BDC ST2\r\n";
constexpr std::string_view kVersionKey = "RV:";
constexpr std::uint8_t kVersionFieldType = 8;
constexpr std::uint8_t kFormFeed = 0x0C;

const std::array<std::uint8_t, 3>& ModelBytes(int model) { return kModelBytes[model == 0 ? 0 : 1]; }

std::string_view AsText(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

int HexValue(std::uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Text up to the first NUL, at most `limit` bytes.
std::string CutText(std::string_view bytes, std::size_t limit) {
  bytes = bytes.substr(0, std::min(limit, bytes.size()));
  return std::string(bytes.substr(0, bytes.find('\0')));
}

std::string VersionFromKeyedFields(std::string_view fields) {
  const std::size_t key = fields.find(kVersionKey);
  if (key == std::string_view::npos) return {};
  const std::string_view value = fields.substr(key + kVersionKey.size());
  const std::size_t end = value.find(';');
  if (end > kMaxFirmwareVersion) return {};  // no ';' gives npos, above any bound
  return CutText(value.substr(0, end), kMaxFirmwareVersion);
}

// Where the field list of a "@BDC ST2" status ends, by the length that
// follows its header; nothing while the length has not come whole.
std::optional<std::size_t> FieldListEnd(std::span<const std::uint8_t> reply) {
  const std::size_t at = kFieldStatusHeader.size();
  if (reply.size() < at + 2) return std::nullopt;
  return at + 2 + (reply[at] | (reply[at + 1] << 8));
}

std::string VersionFromFieldList(std::span<const std::uint8_t> rest) {
  if (rest.size() < 2) return {};
  const std::size_t declared = rest[0] | (rest[1] << 8);
  std::span<const std::uint8_t> fields = rest.subspan(2);
  fields = fields.first(std::min(declared, fields.size()));
  while (fields.size() >= 2) {
    const std::uint8_t type = fields[0];
    const std::size_t size = std::min<std::size_t>(fields[1], fields.size() - 2);
    if (type == kVersionFieldType)
      return CutText(AsText(fields.subspan(2, size)), kMaxFirmwareVersion);
    fields = fields.subspan(2 + size);
  }
  return {};
}

}  // namespace

const std::array<std::uint8_t, 23> kRemoteStatusRequest = {
    0x1B, '(', 'R', 0x08, 0x00, 0x00, 'R',  'E',  'M',  'O',  'T', 'E',
    '1',  'S', 'T', 0x02, 0x00, 0x00, 0x01, 0x1B, 0x00, 0x00, 0x00};

std::array<std::uint8_t, 8> SerialReadCommand(int model) {
  const auto& m = ModelBytes(model);
  return {'t', 'p', 0x04, 0x00, 0x01, m[0], m[1], m[2]};
}

std::array<std::uint8_t, 26> SerialWriteCommand(int model, const char* serial) {
  const auto& m = ModelBytes(model);
  std::array<std::uint8_t, 26> command = {'t', 'p', 0x16, 0x00, 0x00, m[0], m[1], m[2]};
  std::memcpy(command.data() + 8, serial, kSerialNumberLength);
  return command;
}

std::optional<std::string> DecodeSerialReply(std::span<const std::uint8_t> reply) {
  if (!AsText(reply).starts_with(kSerialReadHeader)) return std::nullopt;
  const std::string_view digits = AsText(reply).substr(kSerialReadHeader.size());
  const std::size_t end = digits.find(';');
  // The ';' must have its form feed after it.
  if (end == std::string_view::npos || end + 1 >= digits.size()) return std::nullopt;
  if (static_cast<std::uint8_t>(digits[end + 1]) != kFormFeed) return std::nullopt;
  std::string text;
  for (std::size_t i = 0; i < end; ++i)
    if (HexValue(static_cast<std::uint8_t>(digits[i])) < 0) return std::nullopt;
  for (std::size_t i = 0; i + 1 < end; i += 2) {
    const int value = HexValue(digits[i]) * 16 + HexValue(digits[i + 1]);
    if (value == 0) break;
    text += static_cast<char>(value);
  }
  return text;
}

bool IsWriteAcknowledged(std::span<const std::uint8_t> reply) {
  return AsText(reply) == kWriteAcknowledgement;
}

bool CouldAnswer(std::span<const std::uint8_t> command, std::span<const std::uint8_t> reply) {
  constexpr std::size_t kCommandHead = 8;  // letters, parameter length, kind, model bytes
  const std::string_view head = AsText(command).substr(0, kCommandHead);
  std::string_view prefix;
  for (const int model : {0, 1}) {
    if (head == AsText(SerialReadCommand(model))) prefix = kSerialReadHeader;
    const auto write = SerialWriteCommand(model, "000000000000000000");
    if (command.size() == write.size() && head == AsText(write).substr(0, kCommandHead))
      prefix = kWriteAcknowledgement.substr(0, kWriteHeaderSize);
  }
  if (AsText(command) == AsText(kStatusCommand)) prefix = kAnyStatusHeader;
  return AsText(reply).starts_with(prefix);
}

std::optional<std::string> DecodeStatusReply(std::span<const std::uint8_t> reply) {
  const std::string_view text = AsText(reply);
  if (text.starts_with(kStatusHeader)) {
    const std::size_t end = text.find(static_cast<char>(kFormFeed), kStatusHeader.size());
    if (end == std::string_view::npos) return std::nullopt;
    return VersionFromKeyedFields(text.substr(kStatusHeader.size(), end - kStatusHeader.size()));
  }
  if (!text.starts_with(kFieldStatusHeader)) return std::nullopt;
  const auto listEnd = FieldListEnd(reply);
  if (!listEnd || text.find(static_cast<char>(kFormFeed), *listEnd) == std::string_view::npos)
    return std::nullopt;
  return VersionFromFieldList(reply.subspan(kFieldStatusHeader.size()));
}

bool ReplyIsWhole(std::span<const std::uint8_t> reply) {
  if (reply.empty() || reply.back() != kFormFeed) return false;
  if (!AsText(reply).starts_with(kFieldStatusHeader)) return true;
  const auto listEnd = FieldListEnd(reply);
  return listEnd && reply.size() > *listEnd;
}

}  // namespace nolpa::morvalib
