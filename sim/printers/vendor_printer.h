#pragma once
// A printer behind the maker's drivers: reached through the USB driver's
// interface (path + "\RK") or as a virtual COM port. It answers the driver's
// control requests from its USB facts and identifiers, keeps an interface
// board's identifier memory, and runs the printer's byte protocol on its
// channel.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/core/sim_device.h"
#include "sim/core/usb_descriptors.h"
#include "sim/printers/board_image.h"
#include "sim/printers/printer_protocol.h"
#include "sim/printers/reply_channel.h"

namespace nolpa::sim {

// The maker's driver control codes (device type 0x22, METHOD_BUFFERED).
inline constexpr std::uint32_t kIoctlDeviceDescriptor = 0x222040;
inline constexpr std::uint32_t kIoctlStringDescriptors = 0x222048;
inline constexpr std::uint32_t kIoctlStatusBlock = 0x2220C0;
inline constexpr std::uint32_t kIoctlIdName = 0x2220CC;
inline constexpr std::uint32_t kIoctlSetBoardAddress = 0x2221C0;
inline constexpr std::uint32_t kIoctlWriteBoardValue = 0x2221C8;
inline constexpr std::uint32_t kIoctlFinishBoardWrite = 0x2221FC;

struct VendorPrinterConfig {
  std::string name{};
  DeviceKind kind = DeviceKind::VendorDriver;  // or DeviceKind::VirtualCom
  std::string interfacePath{};                 // vendor driver; empty: made from the USB ids
  int comPort = 0;                             // virtual COM: the port number
  std::string dosTarget{};  // virtual COM; empty: "\Device\KolmxSerial<comPort - 1>"
  UsbDeviceInfo usb{};
  std::u16string serial{};  // the USB serial number: the ID code
  std::u16string idName{};
  std::string model = "VX-410";
  std::string firmware = "1.00";
  std::uint8_t identByte = 0x20;
  std::string printed{};  // what earlier runs printed (VendorPrinter::Printed)
};

class VendorPrinter : public SimDevice {
 public:
  explicit VendorPrinter(const VendorPrinterConfig& config);

  // What the printer reports. The USB serial number and the ID name are
  // kept as UTF-16 code units (a fleet may give characters above U+00FF);
  // Identity() holds their low bytes, as the printer's commands see them.
  // Any change made through the protocol or a board write replaces both.
  const PrinterIdentity& Identity() const { return identity_; }
  const std::u16string& SerialUnits() const { return serialUnits_; }
  const std::u16string& IdNameUnits() const { return idNameUnits_; }
  void SetSerial(std::u16string units);
  void SetIdName(std::u16string units);
  void SetModel(std::string model) { identity_.model = std::move(model); }
  void SetFirmware(std::string firmware) { identity_.firmware = std::move(firmware); }
  void SetIdentByte(std::uint8_t m) { identity_.identByte = m; }

  UsbDeviceInfo& Usb() { return usb_; }
  const UsbDeviceInfo& Usb() const { return usb_; }
  bool OnNwjBoard() const { return IsNwjBoard(usb_.boardCode); }

  BoardMemory& Board() { return board_; }
  const BoardMemory& Board() const { return board_; }
  PrinterProtocol& Protocol() { return protocol_; }
  const PrinterProtocol& Protocol() const { return protocol_; }
  ReplyChannel& Channel() { return channel_; }

  // Most bytes of printed text kept; older ones are dropped first.
  static constexpr std::size_t kPrintedCapacity = 4096;
  // Every byte printed as text (not part of a command, NUL excepted), across
  // runs: the configured text, then what the host sent since. A change is a
  // change of stored state, so a state file keeps it.
  const std::string& Printed() const { return printed_; }
  // Replaces the printed text (another writer of a state file printed).
  void SetPrinted(std::string text);

  // Unrequested output: `bytes` reach the host `delayMs` from now (or after
  // what is already waiting), then one every `gapMs`.
  void QueueBytes(const std::vector<std::uint8_t>& bytes, std::uint32_t delayMs = 0,
                  std::uint32_t gapMs = 0);

  const platform::Guid* InterfaceClass() const override;
  std::string InterfacePath() const override { return interfacePath_; }
  int ComPort() const override { return comPort_; }
  std::string DosTarget() const override { return dosTarget_; }
  bool AnswersToPath(std::string_view path) const override;

  void Opened() override { channel_.RestartHeartbeat(); }
  void Closed() override;
  bool AcceptsRequest(std::uint32_t code, std::span<const std::uint8_t> in,
                      std::uint32_t outSize) override;
  std::optional<std::uint32_t> Read(std::uint8_t* buffer, std::uint32_t size) override;
  // The maker's USB driver leaves a read pending until bytes come (its COM
  // port twin, a serial port, honours the time-outs instead).
  std::optional<std::uint64_t> NextArrivalMs() override;
  void Write(std::span<const std::uint8_t> data) override;
  bool IoControl(std::uint32_t code, std::span<const std::uint8_t> in,
                 std::vector<std::uint8_t>& answer) override;

 protected:
  bool IsSerialPort() const override { return Kind() == DeviceKind::VirtualCom; }
  void OnUnplugged() override { channel_.Clear(); }

 private:
  bool BoardRequest(std::uint32_t code, std::span<const std::uint8_t> in);
  void ApplyBoardImages();
  void SyncUnitsWithIdentity();
  bool KeepPrinted(std::size_t before);

  std::string interfacePath_;
  int comPort_ = 0;
  std::string dosTarget_;
  UsbDeviceInfo usb_;
  std::u16string serialUnits_;
  std::u16string idNameUnits_;
  PrinterIdentity identity_;
  PrinterProtocol protocol_;
  BoardMemory board_;
  ReplyChannel channel_;
  std::string printed_;
};

}  // namespace nolpa::sim
