#pragma once
// The channel-API port `TRKZQAPI`: reaches a spooler printer through the
// maker's channel API, which runs the packet protocol itself. A command is
// sent on a channel opened for it, which stays open for the reply; the
// status is read on a channel opened and closed around it.
#include <cstdint>
#include <memory>
#include <string>

#include "serial_library/printer_port.h"
#include "serial_library/spooler_printers.h"

namespace nolpa::morvalib {

// How long ZQReceive may wait for a reply.
inline constexpr int kChannelReceiveWaitMs = 20000;

// The connection to the printer while the port is open.
struct CCtrlPrinter {
  int channel = -1;  // the open channel's handle; -1 when none
  std::uint32_t channelType = 0;
  std::uint32_t entryType = 0;  // the chosen entry of the channel list
  std::uint16_t entryValue = 0;
  int receiveWaitMs = kChannelReceiveWaitMs;
};

class TRKZQAPI final : public TRKCCC {
 public:
  // `locate` gives the UsbLocation of the printer's device;
  // `deviceIdentifier` is the instance identifier of the device the
  // spooler printer was matched to.
  TRKZQAPI(UsbLocator locate, std::string deviceIdentifier);
  // Closes a channel left open and unloads the channel API if Open loaded it.
  ~TRKZQAPI() override;

  // 1 at once when open. 0 when the channel API cannot be located for the
  // printer, the printer's ports no longer lead to the device it was
  // matched to, that device is no longer at the UsbLocation SetParams gave
  // (something was plugged or unplugged since), or the connection record
  // cannot be allocated. Otherwise 1 after loading the channel API (a
  // failed load leaves every later operation to fail).
  int Open() override;
  // Data channel: as SendControl.
  int WriteData(int channel, const std::uint8_t* bytes, int count, int* written) override;
  int ReadData(std::uint8_t*, int, int* count) override;
  int IsOpen() override { return connection_ != nullptr ? 1 : 0; }
  platform::DeviceHandle GetHandle() override { return platform::kInvalidDeviceHandle; }
  // Takes the printer name and the UsbLocation it was matched at; 1.
  int SetParams(const OpenParams& params) override;
  int GetDeviceId(int size, char* buffer) override;
  // The channel API runs the packet protocol: nothing to start.
  int StartPacketMode() override { return 0; }
  void StopPacketMode() override {}
  int IsPacketMode() override { return 1; }
  // Closes a channel left open, opens the control channel (the first
  // usable entry of its type in the channel list) and sends the command on
  // it; `*sent` is the whole count. The channel stays open for the reply.
  int SendControl(int channel, const std::uint8_t* bytes, int count, int* sent) override;
  // The reply on the open channel: `*count` its whole length, copied when
  // it fits `size`. The channel is closed whatever happens.
  int ReceiveControl(std::uint8_t* buffer, int size, int* count) override;
  // The status through a channel of that type opened for it and closed
  // again: 1 with the status copied when it fits; 0 otherwise (`*count`
  // then holds its length when one was read).
  int ReadDataStatus(std::uint8_t* buffer, int size, int* count) override;
  int ReadControlStatus(std::uint8_t* buffer, int size, int* count) override;
  std::int32_t PortKind() const override { return kChannelApiPortKind; }

  const std::string& PrinterName() const { return printerName_; }
  const std::string& UsbLocation() const { return usbLocation_; }
  // Open loaded and initialised the channel API.
  bool Loaded() const { return loaded_; }
  // Open found the printer's ports leading elsewhere than the device it
  // was matched to, or that device elsewhere than where it was matched.
  bool Moved() const { return moved_; }
  // The open channel's handle, -1 when none.
  int OpenChannelHandle() const { return connection_ ? connection_->channel : -1; }

 private:
  bool OpenChannelOfType(std::uint32_t type);
  void CloseOpenChannel();
  int Send(std::uint32_t type, const std::uint8_t* bytes, int count, int* sent);
  int ReadStatus(std::uint32_t type, std::uint8_t* buffer, int size, int* count);

  UsbLocator locate_;
  std::string deviceIdentifier_;
  std::string matchedLocation_;
  std::string printerName_;
  std::string usbLocation_;
  std::unique_ptr<CCtrlPrinter> connection_;
  bool loaded_ = false;
  bool moved_ = false;
};

// The channel-API half of the open step, for the caller whose device has the
// instance identifier `callerIdentifier` and was traced to `usbLocation`
// under the hub table of generation `tracedUnder`: when a spooler printer
// reaches exactly that device (SpoolerPrinterOf) and no other printer sits
// at that location (OnlyPrinterAt), copies the printer's name into
// `params`, sets its PortKind to 7 and returns a new channel-API port (not
// yet given SetParams nor opened). Null otherwise: the caller then makes
// the direct port, which opens the caller's own device file, as it does
// when this port's Open finds the printer Moved.
std::unique_ptr<TRKZQAPI> MakeChannelApiPort(const std::string& callerIdentifier,
                                             const std::string& usbLocation,
                                             std::uint64_t tracedUnder, const UsbLocator& locate,
                                             OpenParams* params);

}  // namespace nolpa::morvalib
