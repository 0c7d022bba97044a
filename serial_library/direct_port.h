#pragma once
// The direct port TRKPRN: the printer-class device file opened by the
// library itself, with the library's own IEEE 1284.4 engine for the control
// channel. It is the port used when no spooler printer with the maker's
// channel API sits on the device's USB socket.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/device_files.h"
#include "serial_library/engine/cbt_ctrl.h"
#include "serial_library/engine/port_io.h"
#include "serial_library/printer_port.h"

namespace nolpa::morvalib {

// IOCTL_USBPRINT_GET_1284_ID.
inline constexpr std::uint32_t kIoctlGet1284Id = 0x220034;
// A failed open is tried again every kOpenRetryPauseMs until kOpenRetryMs
// have passed since the first attempt.
inline constexpr std::uint32_t kOpenRetryMs = 1500;
inline constexpr std::uint32_t kOpenRetryPauseMs = 10;

class TRKPRN final : public TRKCCC {
 public:
  // The printer-class device file at a UsbLocation; empty when none is.
  using DeviceFinder = std::function<std::string(const std::string& usbLocation)>;

  // Open asks `find` for the device file at the UsbLocation SetParams gave.
  // Borrows `files` and `clock` for its whole life.
  TRKPRN(platform::DeviceFiles& files, platform::Clock& clock, DeviceFinder find);
  // Open opens `devicePath`, wherever the printer is plugged in.
  TRKPRN(platform::DeviceFiles& files, platform::Clock& clock, std::string devicePath);
  // Ends packet mode (Exit) whenever the engine sent the entry string, then
  // closes the device.
  ~TRKPRN() override;

  // Finds the device file at the port's UsbLocation and opens it for
  // reading and writing, without sharing; a failed open is repeated every
  // 10 ms until 1,500 ms have passed. 1 when open; 0 at once when no
  // device file is found.
  int Open() override;
  // The whole count on the device file, outside packet mode only (and,
  // once the engine ran, only when it could say the printer left packet
  // mode: a printer still in it would read the bytes as a packet): a write
  // that takes part is followed by one for the rest. 1 when every byte was
  // taken.
  int WriteData(int channel, const std::uint8_t* bytes, int count, int* written) override;
  // What the device file has, outside packet mode only: bytes left from the
  // last whole transfer read, else one read of a whole transfer, without
  // waiting; `*count` 0 when nothing waits. 1 when the read call succeeded.
  int ReadData(std::uint8_t* buffer, int size, int* count) override;
  int IsOpen() override;
  platform::DeviceHandle GetHandle() override;
  // Takes the UsbLocation and the wait time; 0 when the UsbLocation is
  // longer than an OpenParams holds.
  int SetParams(const OpenParams& params) override;
  // The device ID as the class driver returns it into `buffer`, moved down
  // over its two big-endian length bytes and ended with a NUL after the
  // count the driver returned (the length the bytes announce is not
  // believed). 0 on success; -2 when the request fails or returns fewer
  // than the two length bytes.
  int GetDeviceId(int size, char* buffer) override;
  // Entry string and Init through a new engine; 0 in packet mode. When
  // either fails the engine is stopped (Exit, when the entry string went
  // out, so the printer is back in its plain mode for the data path) and
  // dropped again: -1.
  int StartPacketMode() override;
  void StopPacketMode() override;
  // False when the engine could not send Exit (the printer was told
  // nothing), or still runs.
  bool LeftPacketMode() override;
  int IsPacketMode() override;
  // One whole control exchange in the engine, its reply read whole (over
  // several packets where the printer splits it; whole by ReplyIsWhole or
  // the end-of-message flag), known as the answer to these bytes by
  // CouldAnswer, and held for ReceiveControl. 1 on success, `*sent` then
  // the whole count.
  int SendControl(int channel, const std::uint8_t* bytes, int count, int* sent) override;
  // Hands out the held reply as printer_port.h says (`*count` its whole
  // length, at most `size` bytes copied) and drops what was copied. 1
  // whenever the engine runs; `*count` 0 when nothing is held.
  int ReceiveControl(std::uint8_t* buffer, int size, int* count) override;
  int ReadDataStatus(std::uint8_t*, int, int*) override { return 0; }
  int ReadControlStatus(std::uint8_t*, int, int*) override { return 0; }
  std::int32_t PortKind() const override { return kDirectPortKind; }

  const std::string& UsbLocation() const { return usbLocation_; }
  std::uint32_t WaitMs() const { return waitMs_; }

 private:
  void DropEngine();
  // The buffered reader of the device file, made at its first use.
  serial_library::CPortIO& Io();

  platform::DeviceFiles& files_;
  platform::Clock& clock_;
  DeviceFinder find_;
  std::string devicePath_;
  std::string usbLocation_;
  std::uint32_t waitMs_ = 0;
  platform::DeviceHandle handle_ = platform::kInvalidDeviceHandle;
  std::unique_ptr<serial_library::CPortIO> io_;
  std::unique_ptr<serial_library::CCBTCtrl> engine_;
  // At most kMaxControlReply bytes: a reply longer than the caller's buffer
  // is held whole, so that its length can be told and it can be asked for
  // again with a buffer that fits.
  std::vector<std::uint8_t> heldReply_;
  // A write went out in part: the printer would read the next bytes as the
  // rest of the cut one, so nothing more is written on this handle.
  bool framingLost_ = false;
  // The engine could not say that the printer left packet mode.
  bool plainUnsafe_ = false;
  // Exit was owed and could not be written.
  bool exitUndelivered_ = false;
};

}  // namespace nolpa::morvalib
