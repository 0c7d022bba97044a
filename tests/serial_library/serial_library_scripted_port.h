#pragma once
// A printer port whose printer a test scripts: its device ID, its answer to
// each control command, its data-path bytes and which operations fail. It
// records what it is sent and whether it was destroyed, so a test can run
// the library's exchange and exports above a port without a printer lookup.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "serial_library/morvalib.h"
#include "serial_library/open_printer_port.h"
#include "serial_library/printer_port.h"

namespace nolpa::testing {

struct ScriptedPrinter {
  // What the port reports.
  std::int32_t portKind = morvalib::kDirectPortKind;
  std::string deviceId = "MFG:Nolpa;CMD:NLP,D4;MDL:RK-L5200;";
  bool packetModeStarts = true;
  bool sendFails = false;
  bool receiveFails = false;
  // Control replies, one per SendControl (or per ReadControlStatus).
  std::deque<std::string> controlReplies;
  // Data-path chunks, one per ReadData; an empty chunk is "nothing yet".
  std::deque<std::string> dataChunks;

  // What happened.
  std::vector<std::string> controlSent;
  std::vector<std::string> dataWritten;
  int opens = 0;
  int destroyed = 0;
  int receiveSizeAsked = 0;

  morvalib::PortOpener Opener();
};

class ScriptedPort final : public morvalib::TRKCCC {
 public:
  explicit ScriptedPort(ScriptedPrinter& printer) : p_(printer) {}
  ~ScriptedPort() override { ++p_.destroyed; }

  int Open() override { return 1; }
  int WriteData(int, const std::uint8_t* bytes, int count, int* written) override {
    p_.dataWritten.emplace_back(reinterpret_cast<const char*>(bytes), count);
    *written = count;
    return 1;
  }
  int ReadData(std::uint8_t* buffer, int size, int* count) override {
    *count = 0;
    if (p_.dataChunks.empty()) return 1;
    std::string chunk = p_.dataChunks.front();
    p_.dataChunks.pop_front();
    *count = static_cast<int>(std::min<std::size_t>(chunk.size(), size));
    std::memcpy(buffer, chunk.data(), static_cast<std::size_t>(*count));
    return 1;
  }
  int IsOpen() override { return 1; }
  platform::DeviceHandle GetHandle() override { return platform::kInvalidDeviceHandle; }
  int SetParams(const morvalib::OpenParams&) override { return 1; }
  int GetDeviceId(int size, char* buffer) override {
    if (static_cast<int>(p_.deviceId.size()) >= size) return -2;
    std::memcpy(buffer, p_.deviceId.c_str(), p_.deviceId.size() + 1);
    return 0;
  }
  int StartPacketMode() override {
    packet_ = p_.packetModeStarts;
    return packet_ ? 0 : -1;
  }
  void StopPacketMode() override { packet_ = false; }
  int IsPacketMode() override {
    return packet_ || p_.portKind == morvalib::kChannelApiPortKind ? 1 : 0;
  }
  int SendControl(int, const std::uint8_t* bytes, int count, int* sent) override {
    p_.controlSent.emplace_back(reinterpret_cast<const char*>(bytes), count);
    *sent = p_.sendFails ? -1 : count;
    return p_.sendFails ? 0 : 1;
  }
  int ReceiveControl(std::uint8_t* buffer, int size, int* count) override {
    p_.receiveSizeAsked = size;
    return Reply(buffer, size, count, p_.receiveFails);
  }
  int ReadDataStatus(std::uint8_t*, int, int*) override { return 0; }
  int ReadControlStatus(std::uint8_t* buffer, int size, int* count) override {
    return Reply(buffer, size, count, false);
  }
  std::int32_t PortKind() const override { return p_.portKind; }

 private:
  int Reply(std::uint8_t* buffer, int size, int* count, bool fails) {
    if (fails || p_.controlReplies.empty()) return 0;
    const std::string reply = p_.controlReplies.front();
    p_.controlReplies.pop_front();
    // As a port does: the whole length, as much of the bytes as fits.
    *count = static_cast<int>(reply.size());
    std::copy_n(reply.data(), std::min<std::size_t>(reply.size(), size), buffer);
    return 1;
  }

  ScriptedPrinter& p_;
  bool packet_ = false;
};

inline morvalib::PortOpener ScriptedPrinter::Opener() {
  return [this](const char* devicePath, std::unique_ptr<morvalib::TRKCCC>* port) {
    if (devicePath == nullptr) return MORVALIB_E_ARGUMENT;
    ++opens;
    *port = std::make_unique<ScriptedPort>(*this);
    return MORVALIB_OK;
  };
}

}  // namespace nolpa::testing
