#include "sim/printers/class_printer_commands.h"

#include <algorithm>

#include "sim/core/departures.h"

namespace nolpa::sim {
namespace {

constexpr std::size_t kHeaderSize = 4;  // two letters and the parameter length
// Longer parameters are not a command this printer could hold.
constexpr std::size_t kMaxParams = 1024;
constexpr std::size_t kSerialSize = 18;
constexpr std::uint8_t kEnd = 0x0C;
constexpr std::uint8_t kFunctionRead = 0x01;
constexpr std::uint8_t kFunctionWrite = 0x00;
// Field types of the "@BDC ST2" list.
constexpr std::uint8_t kFieldStatus = 0x01;
constexpr std::uint8_t kFieldVersion = 0x08;
constexpr std::uint8_t kStatusReady = 0x04;

void Append(std::vector<std::uint8_t>& out, std::string_view text) {
  out.insert(out.end(), text.begin(), text.end());
}

void Answer(std::vector<std::uint8_t>& out, std::string_view text) {
  Append(out, text);
  out.push_back(kEnd);
}

std::string HexOf(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char c : bytes) {
    hex.push_back(kDigits[c >> 4]);
    hex.push_back(kDigits[c & 0x0F]);
  }
  return hex;
}

bool Printable(std::span<const std::uint8_t> bytes) {
  return std::all_of(bytes.begin(), bytes.end(),
                     [](std::uint8_t b) { return b >= 0x20 && b <= 0x7E; });
}

}  // namespace

ModelBytes ModelBytesFor(std::string_view model) {
  return model.find("RK-L880") != std::string_view::npos ? kModelBytesL880 : kModelBytesL5200;
}

ClassPrinterCommands::ClassPrinterCommands(std::string serial, std::string firmware,
                                           ModelBytes model)
    : serial_(std::move(serial)), firmware_(std::move(firmware)), model_(model) {}

bool ClassPrinterCommands::PowerCycle() {
  if (!pendingSerial_) return false;
  serial_ = std::move(*pendingSerial_);
  pendingSerial_.reset();
  return true;
}

void ClassPrinterCommands::Receive(std::span<const std::uint8_t> bytes,
                                   const PeripheralFaults& faults,
                                   std::vector<std::uint8_t>& replies) {
  pending_.insert(pending_.end(), bytes.begin(), bytes.end());
  while (pending_.size() >= kHeaderSize) {
    const std::string name(pending_.begin(), pending_.begin() + 2);
    const std::size_t size = pending_[2] | (pending_[3] << 8);
    if (size > kMaxParams) {
      pending_.clear();
      Malformed(name, "parameter length " + std::to_string(size), replies);
      return;
    }
    if (pending_.size() < kHeaderSize + size) return;
    const std::vector<std::uint8_t> params(pending_.begin() + kHeaderSize,
                                           pending_.begin() + kHeaderSize + size);
    pending_.erase(pending_.begin(), pending_.begin() + kHeaderSize + size);
    std::vector<std::uint8_t> answer;
    Run(name, params, faults, answer);
    if (!faults.silentCommands) replies.insert(replies.end(), answer.begin(), answer.end());
  }
}

void ClassPrinterCommands::Run(std::string_view name, std::span<const std::uint8_t> params,
                               const PeripheralFaults& faults, std::vector<std::uint8_t>& replies) {
  if (name == "tp") {
    RunSerial(params, faults, replies);
  } else if (name == "st" && params.size() == 1 && params[0] == 0x01) {
    const std::vector<std::uint8_t> status = StatusReply(faults);
    replies.insert(replies.end(), status.begin(), status.end());
  } else {
    Malformed(name, std::to_string(params.size()) + " parameter bytes", replies);
  }
}

// "tp" 04 00 01 <model>: read; "tp" 16 00 00 <model> <18 bytes>: write.
void ClassPrinterCommands::RunSerial(std::span<const std::uint8_t> params,
                                     const PeripheralFaults& faults,
                                     std::vector<std::uint8_t>& replies) {
  const bool read = params.size() == 4 && params[0] == kFunctionRead;
  const bool write = params.size() == 4 + kSerialSize && params[0] == kFunctionWrite;
  if (!read && !write) {
    Malformed("tp", std::to_string(params.size()) + " parameter bytes", replies);
    return;
  }
  const std::string_view prefix = read ? "tp:01F0:" : "tp:00F0:";
  Append(replies, prefix);
  // Two refusals answer alike: another model's command and a refused write.
  const bool otherModel = !std::equal(model_.begin(), model_.end(), params.begin() + 1);
  if (otherModel) {  // NOLINT(bugprone-branch-clone)
    Answer(replies, "NA;");
  } else if (read) {
    Answer(replies, HexOf(serial_) + ";");
  } else if (faults.writeAnswer == WriteAnswer::Busy) {
    Answer(replies, "BUSY;");
  } else if (faults.writeAnswer == WriteAnswer::NotAvailable || !Printable(params.subspan(4))) {
    Answer(replies, "NA;");
  } else {
    pendingSerial_ = std::string(params.begin() + 4, params.end());
    Answer(replies, "OK;");
  }
}

void ClassPrinterCommands::Malformed(std::string_view name, const std::string& detail,
                                     std::vector<std::uint8_t>& replies) {
  if (departureSink_) departureSink_(departure::kMalformedCommand, HexOf(name) + ": " + detail);
  Append(replies, name);
  Answer(replies, ":NA;");
}

std::vector<std::uint8_t> ClassPrinterCommands::StatusReply(const PeripheralFaults& faults) const {
  std::vector<std::uint8_t> reply;
  if (!faults.statusFieldList) {
    Append(reply, "@BDC ST\r\nST:04;RV:" + firmware_ + ";");
    reply.push_back(kEnd);
    return reply;
  }
  const std::string version = firmware_.substr(0, 255);
  std::vector<std::uint8_t> fields = {kFieldStatus, 1, kStatusReady, kFieldVersion,
                                      static_cast<std::uint8_t>(version.size())};
  Append(fields, version);
  Append(reply, "@BDC ST2\r\n");
  reply.push_back(static_cast<std::uint8_t>(fields.size() & 0xFF));
  reply.push_back(static_cast<std::uint8_t>(fields.size() >> 8));
  reply.insert(reply.end(), fields.begin(), fields.end());
  reply.push_back(kEnd);
  return reply;
}

}  // namespace nolpa::sim
