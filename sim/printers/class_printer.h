#pragma once
// A printer on the system's USB printer class driver: reached by its
// interface path of GUID_DEVINTERFACE_USBPRINT, it answers the driver's
// device-ID and port-status requests, and its bytes go to its IEEE 1284.4
// peripheral (d4_peripheral.h), which keeps the USB serial number that the
// serial-number library reads and writes through the control channel. The
// device ID's "CMD:" decides whether it offers the packet protocol ("D4").
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/core/sim_device.h"
#include "sim/core/usb_descriptors.h"
#include "sim/printers/d4_peripheral.h"
#include "sim/printers/reply_channel.h"
#include "sim/printers/spooler_seat.h"

namespace nolpa::sim {

// IOCTL_USBPRINT_GET_LPT_STATUS and IOCTL_USBPRINT_GET_1284_ID.
inline constexpr std::uint32_t kIoctlUsbPrintLptStatus = 0x220030;
inline constexpr std::uint32_t kIoctlUsbPrint1284Id = 0x220034;

struct ClassPrinterConfig {
  std::string name{};
  std::string interfacePath{};  // empty: made from the USB ids and the serial
  std::uint16_t vendorId = 0x0F1A;
  std::uint16_t productId = 0x0520;
  // The IEEE 1284 device ID text, without its length prefix, such as
  // "MFG:Nolpa;CMD:NLP,D4;MDL:RK-L5200;CLS:PRINTER;".
  std::string deviceId{};
  std::string serial{};    // the USB serial number: the ID code
  std::string firmware{};  // as the printer reports it to the library
  // The spooler printer it sits behind, if any.
  std::optional<SpoolerSeat> spoolerSeat{};
};

class ClassPrinter : public SimDevice {
 public:
  explicit ClassPrinter(const ClassPrinterConfig& config);

  std::uint16_t VendorId() const { return vendorId_; }
  std::uint16_t ProductId() const { return productId_; }
  const std::string& DeviceId() const { return deviceId_; }
  void SetDeviceId(std::string deviceId);
  const std::string& Serial() const { return peripheral_.Commands().Serial(); }
  void SetSerial(std::string serial);
  const std::string& Firmware() const { return peripheral_.Commands().Firmware(); }
  void SetFirmware(std::string firmware) {
    peripheral_.Commands().SetFirmware(std::move(firmware));
  }
  // A serial number written over the control channel takes effect here (and
  // when the printer is unplugged, which cuts its power); packet mode and
  // whatever waited for the host are gone. Closing a handle does neither.
  void PowerCycle();
  D4Peripheral& Peripheral() { return peripheral_; }
  // A control-channel command as the channel API passes it on, outside the
  // packet protocol; its reply is appended to `reply`. A serial number
  // written this way is kept (and saved) like one written over the device.
  void ControlCommand(std::span<const std::uint8_t> command, std::vector<std::uint8_t>& reply);
  const std::optional<SpoolerSeat>& Seat() const { return seat_; }
  const D4Peripheral& Peripheral() const { return peripheral_; }

  // Every byte the host wrote to the printer, in order.
  const std::vector<std::uint8_t>& Received() const { return received_; }
  ReplyChannel& Channel() { return channel_; }

  // The answer to IOCTL_USBPRINT_GET_1284_ID: a two-byte big-endian length
  // (counting itself and the text) and the device-ID text, as the
  // driver passes it on from the printer, followed by a NUL.
  std::vector<std::uint8_t> DeviceIdReply() const;

  const platform::Guid* InterfaceClass() const override { return &kUsbPrintInterfaceGuid; }
  std::string InterfacePath() const override { return interfacePath_; }
  bool AnswersToPath(std::string_view path) const override;

  std::optional<std::uint32_t> Read(std::uint8_t* buffer, std::uint32_t size) override;
  // The printer class driver leaves a read pending until bytes come.
  std::optional<std::uint64_t> NextArrivalMs() override;
  void Write(std::span<const std::uint8_t> data) override;
  bool IoControl(std::uint32_t code, std::span<const std::uint8_t> in,
                 std::vector<std::uint8_t>& answer) override;
  void Closed() override { peripheral_.HostClosed(); }

 protected:
  void OnUnplugged() override;

 private:
  std::string interfacePath_;
  std::uint16_t vendorId_;
  std::uint16_t productId_;
  std::string deviceId_;
  std::optional<SpoolerSeat> seat_;
  void QueueOutput(const std::vector<std::uint8_t>& out,
                   const std::vector<D4Peripheral::Delay>& delays);
  std::uint32_t TakePieces(std::uint8_t* buffer, std::uint32_t size);

  std::vector<std::uint8_t> received_;
  std::uint32_t nextPiece_ = 1;  // the size of the next read, with readPieces
  D4Peripheral peripheral_;
  ReplyChannel channel_;
};

}  // namespace nolpa::sim
