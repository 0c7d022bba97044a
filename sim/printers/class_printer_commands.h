#pragma once
// The command interpreter of a printer-class printer: the commands that come
// on its packet-protocol control channel ("tp" to read or write the USB serial
// number, "st" for the status with the firmware version) and the remote
// status request on its plain data path. Each command is two ASCII letters, a
// 16-bit little-endian parameter length and the parameters; every answer is
// ASCII text ended by 0x0C. Pure: no I/O, no clock.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/core/peripheral_faults.h"

namespace nolpa::sim {

// The three bytes after the function byte of a "tp" command that name the
// model it is meant for.
using ModelBytes = std::array<std::uint8_t, 3>;
inline constexpr ModelBytes kModelBytesL5200 = {0x27, 0x03, 0xF0};
inline constexpr ModelBytes kModelBytesL880 = {0x0A, 0x43, 0xF0};
// The model bytes a printer of this model (its "MDL:" value) answers to.
ModelBytes ModelBytesFor(std::string_view model);

// The 23-byte remote status request of the data path.
inline constexpr std::uint8_t kRemoteStatusRequest[] = {
    0x1B, '(', 'R', 0x08, 0x00, 0x00, 'R',  'E',  'M',  'O',  'T', 'E',
    '1',  'S', 'T', 0x02, 0x00, 0x00, 0x01, 0x1B, 0x00, 0x00, 0x00};

class ClassPrinterCommands {
 public:
  using DepartureSink = std::function<void(std::string_view kind, std::string detail)>;

  ClassPrinterCommands(std::string serial, std::string firmware, ModelBytes model);

  // Feeds control-channel bytes; a command may come split or several at
  // once. Appends the answers to `replies`.
  void Receive(std::span<const std::uint8_t> bytes, const PeripheralFaults& faults,
               std::vector<std::uint8_t>& replies);
  // Drops a command cut short (its channel was closed).
  void Reset() { pending_.clear(); }

  // The answer to "st" and to the remote status request.
  std::vector<std::uint8_t> StatusReply(const PeripheralFaults& faults) const;

  const std::string& Serial() const { return serial_; }
  void SetSerial(std::string serial) { serial_ = std::move(serial); }
  const std::string& Firmware() const { return firmware_; }
  void SetFirmware(std::string firmware) { firmware_ = std::move(firmware); }
  const ModelBytes& Model() const { return model_; }
  void SetModel(const ModelBytes& model) { model_ = model; }
  // A written serial number waits here until the next power cycle.
  const std::optional<std::string>& PendingSerial() const { return pendingSerial_; }
  void SetPendingSerial(std::optional<std::string> serial) { pendingSerial_ = std::move(serial); }
  // Applies the pending serial number; true when there was one.
  bool PowerCycle();

  void SetDepartureSink(DepartureSink sink) { departureSink_ = std::move(sink); }

 private:
  void Run(std::string_view name, std::span<const std::uint8_t> params,
           const PeripheralFaults& faults, std::vector<std::uint8_t>& replies);
  void RunSerial(std::span<const std::uint8_t> params, const PeripheralFaults& faults,
                 std::vector<std::uint8_t>& replies);
  void Malformed(std::string_view name, const std::string& detail,
                 std::vector<std::uint8_t>& replies);

  std::string serial_;
  std::string firmware_;
  ModelBytes model_;
  std::optional<std::string> pendingSerial_;
  std::vector<std::uint8_t> pending_;
  DepartureSink departureSink_;
};

}  // namespace nolpa::sim
