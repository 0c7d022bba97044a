#pragma once
// The USB link to a HostilePeripheral, as the printer-class driver shows it
// to the library: device files whose reads and writes on the printer's
// device go to the peripheral, everything else (opening, the device-ID and
// port-status requests, closing) to the world underneath. What the printer
// sends reaches the host as the chooser decides: as a stream, or in USB
// transfers of 64 or 512 bytes, where a read whose buffer is smaller than
// the transfer overruns (the read fails, the transfer is lost); late by the
// delays the peripheral chose, never out of order; a read may fail or lose
// a transfer in flight; a write may take part or nothing. Time is the
// virtual clock's: a waiting read moves it on to the next arrival.
#include <algorithm>
#include <cstring>
#include <deque>
#include <string>

#include "platform/clock.h"
#include "platform/device_files.h"
#include "tests/support/hostile_peripheral.h"

namespace nolpa::testing {

class HostileLink final : public platform::DeviceFiles {
 public:
  HostileLink(platform::DeviceFiles& world, platform::Clock& clock, std::string printerPath,
              HostilePeripheral& printer, Chooser choose)
      : world_(world),
        clock_(clock),
        path_(std::move(printerPath)),
        printer_(printer),
        choose_(std::move(choose)) {}

  void SetChooser(Chooser choose) { choose_ = std::move(choose); }

  platform::DeviceHandle Open(const std::string& path) override {
    const platform::DeviceHandle handle = world_.Open(path);
    if (path == path_ && handle != platform::kInvalidDeviceHandle) {
      printerHandle_ = handle;
      const int transfer = Choose(Choice::Transfer);
      transferSize_ = transfer == 1 ? 64 : transfer == 2 ? 512 : 0;
    }
    return handle;
  }
  void Close(platform::DeviceHandle handle) override {
    if (handle == printerHandle_) printerHandle_ = platform::kInvalidDeviceHandle;
    world_.Close(handle);
  }
  bool IoControl(platform::DeviceHandle handle, std::uint32_t code, const void* in,
                 std::uint32_t inSize, void* out, std::uint32_t outSize,
                 std::uint32_t* returned) override {
    return world_.IoControl(handle, code, in, inSize, out, outSize, returned);
  }
  platform::ControlResult Control(platform::DeviceHandle handle, std::uint32_t code, const void* in,
                                  std::uint32_t inSize, void* out, std::uint32_t outSize,
                                  std::uint32_t* returned) override {
    return world_.Control(handle, code, in, inSize, out, outSize, returned);
  }
  bool SetTimeouts(platform::DeviceHandle handle, const platform::CommTimeouts& t) override {
    return world_.SetTimeouts(handle, t);
  }

  bool Write(platform::DeviceHandle handle, const void* data, std::uint32_t size,
             std::uint32_t* done) override {
    if (handle != printerHandle_) return world_.Write(handle, data, size, done);
    const int how = takeAll_ ? 0 : Choose(Choice::DeviceWrite);
    takeAll_ = how == 1;  // the rest of a part taken follows
    *done = how == 0 ? size : how == 1 ? std::max<std::uint32_t>(size / 2, 1) : 0;
    if (size == 0) *done = 0;
    printer_.Receive(static_cast<const std::uint8_t*>(data), *done);
    Arrivals();
    return how != 2;
  }

  bool Read(platform::DeviceHandle handle, void* buffer, std::uint32_t size,
            std::uint32_t* done) override {
    if (handle != printerHandle_) return world_.Read(handle, buffer, size, done);
    *done = 0;
    Arrivals();
    const int how = Choose(Choice::DeviceRead);
    if (how == 1) return false;
    if (how == 2 && !transfers_.empty()) Lose();  // in flight while a read was cancelled
    auto* out = static_cast<std::uint8_t*>(buffer);
    while (!transfers_.empty() && transfers_.front().dueMs <= clock_.NowMs()) {
      Transfer& next = transfers_.front();
      if (transferSize_ != 0 && next.bytes.size() > size - *done) {
        if (*done > 0) return true;
        Lose();  // overrun
        return false;
      }
      const std::size_t n = std::min<std::size_t>(next.bytes.size(), size - *done);
      std::memcpy(out + *done, next.bytes.data(), n);
      *done += static_cast<std::uint32_t>(n);
      next.bytes.erase(next.bytes.begin(), next.bytes.begin() + static_cast<std::ptrdiff_t>(n));
      held_ -= n;
      if (next.bytes.empty()) transfers_.pop_front();
      if (transferSize_ != 0 || *done == size) break;  // one transfer per read
    }
    return true;
  }

  bool ReadWaiting(platform::DeviceHandle handle, void* buffer, std::uint32_t size,
                   std::uint32_t waitMs, std::uint32_t* done) override {
    if (handle != printerHandle_) return world_.ReadWaiting(handle, buffer, size, waitMs, done);
    Arrivals();
    const std::uint64_t now = clock_.NowMs();
    std::uint64_t until = now + waitMs;
    if (!transfers_.empty()) until = std::min(until, std::max(now, transfers_.front().dueMs));
    if (until > now) clock_.SleepMs(static_cast<std::uint32_t>(until - now));
    return Read(handle, buffer, size, done);
  }

 private:
  struct Transfer {
    std::vector<std::uint8_t> bytes;
    std::uint64_t dueMs;
  };

  int Choose(Choice choice) { return choose_ ? choose_(choice, kAboutNothing) : 0; }
  void Lose() {
    held_ -= transfers_.front().bytes.size();
    transfers_.pop_front();
  }

  // What the printer sent, in transfers, each due after the one before. A
  // printer whose output the host does not read stops adding to it.
  void Arrivals() {
    constexpr std::size_t kMostHeld = 32 * 1024;
    auto& bursts = printer_.Out();
    while (!bursts.empty()) {
      const HostilePeripheral::Burst burst = std::move(bursts.front());
      bursts.pop_front();
      if (held_ + burst.bytes.size() > kMostHeld) continue;
      held_ += burst.bytes.size();
      lastDueMs_ = std::max(lastDueMs_, clock_.NowMs()) + burst.delayMs;
      const std::size_t step = transferSize_ != 0 ? transferSize_ : burst.bytes.size();
      for (std::size_t at = 0; at < burst.bytes.size(); at += step) {
        const auto from = burst.bytes.begin() + static_cast<std::ptrdiff_t>(at);
        const auto to = burst.bytes.begin() +
                        static_cast<std::ptrdiff_t>(std::min(burst.bytes.size(), at + step));
        transfers_.push_back({{from, to}, lastDueMs_});
      }
    }
  }

  platform::DeviceFiles& world_;
  platform::Clock& clock_;
  std::string path_;
  HostilePeripheral& printer_;
  Chooser choose_;
  platform::DeviceHandle printerHandle_ = platform::kInvalidDeviceHandle;
  std::size_t transferSize_ = 0;
  bool takeAll_ = false;
  std::deque<Transfer> transfers_;
  std::uint64_t lastDueMs_ = 0;
  std::size_t held_ = 0;  // bytes in transfers_
};

}  // namespace nolpa::testing
