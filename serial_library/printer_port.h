#pragma once
// The printer port: what the exports do to a printer once it is open. Two
// kinds derive from it: the direct port `TRKPRN`, which opens the
// printer-class device file and runs the library's own packet-protocol
// engine, and the channel-API port `TRKZQAPI`, which goes through the
// maker's channel API of a spooler printer on the same USB socket. A port
// lives for one exported call: made and opened by OpenPrinterPort, destroyed
// before the call returns. Operations a kind has no use for return 0 (or do
// nothing); "returns 1" below means the operation succeeded.
#include <cstdint>
#include <string>

#include "platform/device_files.h"
#include "serial_library/live_objects.h"

namespace nolpa::morvalib {

// PortKind values.
inline constexpr std::int32_t kDirectPortKind = 4;
inline constexpr std::int32_t kChannelApiPortKind = 7;

// Longest printer name and UsbLocation an OpenParams holds.
inline constexpr std::size_t kMaxPrinterName = 127;
inline constexpr std::size_t kMaxUsbLocation = 63;

// What the open step learns about the printer and hands to SetParams.
struct OpenParams {
  std::int32_t portKind = kDirectPortKind;  // 7 once a spooler printer matched
  std::int32_t mode = 1;
  std::uint32_t waitMs = 2000;
  std::string printerName{};  // the matching spooler printer's name, if any
  std::string usbLocation{};  // where the device is plugged in
};

class TRKCCC {
 public:
  // Closes whatever the port holds open (channel, packet mode, device file).
  virtual ~TRKCCC() = default;
  TRKCCC() = default;
  TRKCCC(const TRKCCC&) = delete;
  TRKCCC& operator=(const TRKCCC&) = delete;

  // Reaches the printer; 1 when open (at once when it is already).
  virtual int Open() = 0;
  // Writes `count` bytes on the data path (`channel` 0); `*written`
  // receives the count taken. 1 on success.
  virtual int WriteData(int channel, const std::uint8_t* bytes, int count, int* written) = 0;
  // Reads what the printer sent on the data path, at most `size` bytes;
  // `*count` receives the count (0 when nothing waits). 1 on success.
  virtual int ReadData(std::uint8_t* buffer, int size, int* count) = 0;
  // Non-zero while the port is open.
  virtual int IsOpen() = 0;
  // The device file the port holds, kInvalidDeviceHandle when none.
  virtual platform::DeviceHandle GetHandle() = 0;
  // Takes what OpenPrinterPort found; 1 when accepted.
  virtual int SetParams(const OpenParams& params) = 0;
  // The IEEE 1284 device ID text (NUL-terminated) into `buffer` of `size`
  // bytes: 0 on success, -2 otherwise.
  virtual int GetDeviceId(int size, char* buffer) = 0;
  // Starts the packet protocol; 0 on success.
  virtual int StartPacketMode() = 0;
  virtual void StopPacketMode() = 0;
  // After StopPacketMode: false when the printer may have been left in the
  // packet protocol because the port could not tell it to leave. A port
  // that does not run the protocol itself has nothing to leave.
  virtual bool LeftPacketMode() { return true; }
  // Non-zero when control-channel exchanges are possible.
  virtual int IsPacketMode() = 0;
  // Sends one command on the control channel (`channel` 0); `*sent`
  // receives the count sent. 1 on success.
  virtual int SendControl(int channel, const std::uint8_t* bytes, int count, int* sent) = 0;
  // The reply to the last SendControl: at most `size` bytes are copied,
  // and `*count` receives the reply's whole length, which may exceed `size`
  // (the caller then asks again with a larger buffer). 1 on success.
  virtual int ReceiveControl(std::uint8_t* buffer, int size, int* count) = 0;
  // The printer's status through the data channel or the control channel,
  // at most `size` bytes; `*count` receives its length. 1 on success.
  virtual int ReadDataStatus(std::uint8_t* buffer, int size, int* count) = 0;
  virtual int ReadControlStatus(std::uint8_t* buffer, int size, int* count) = 0;

  // kDirectPortKind or kChannelApiPortKind.
  virtual std::int32_t PortKind() const = 0;

 private:
  PortCount count_;  // what a test reads to see that no port outlived its call
};

}  // namespace nolpa::morvalib
