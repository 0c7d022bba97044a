#pragma once
// Small helpers for the simulator's own tests: one call per request, bytes
// as vectors.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/device_files.h"
#include "platform/device_interfaces.h"
#include "sim/world.h"

namespace nolpa::sim::testing {

using Bytes = std::vector<std::uint8_t>;

struct IoctlResult {
  bool ok = false;
  Bytes out;  // the bytes the call reported as filled
};

inline IoctlResult Ioctl(World& world, platform::DeviceHandle handle, std::uint32_t code,
                         std::uint32_t outSize, const Bytes& in = {}) {
  Bytes buffer(outSize, 0xEE);
  std::uint32_t returned = 0xDEAD;
  IoctlResult r;
  r.ok = world.Files().IoControl(handle, code, in.empty() ? nullptr : in.data(),
                                 static_cast<std::uint32_t>(in.size()),
                                 outSize ? buffer.data() : nullptr, outSize, &returned);
  buffer.resize(returned);
  r.out = buffer;
  return r;
}

// One read of at most `size` bytes; the bytes it returned.
inline Bytes ReadOnce(World& world, platform::DeviceHandle handle, std::uint32_t size = 64) {
  Bytes buffer(size);
  std::uint32_t done = 0;
  if (!world.Files().Read(handle, buffer.data(), size, &done)) return {};
  buffer.resize(done);
  return buffer;
}

// Reads until nothing more is due now, each read into a buffer as large as
// any USB transfer a printer sends.
inline Bytes ReadDue(World& world, platform::DeviceHandle handle) {
  Bytes all;
  for (;;) {
    const Bytes b = ReadOnce(world, handle, 4096);
    if (b.empty()) return all;
    all.insert(all.end(), b.begin(), b.end());
  }
}

// Writes `bytes`; returns the count the device took.
inline std::uint32_t WriteAll(World& world, platform::DeviceHandle handle, const Bytes& bytes) {
  std::uint32_t done = 0;
  world.Files().Write(handle, bytes.data(), static_cast<std::uint32_t>(bytes.size()), &done);
  return done;
}

// The interface paths a class enumerates, in order; the set is released.
inline std::vector<std::string> Enumerate(World& world, const platform::Guid& guid) {
  std::vector<std::string> paths;
  const platform::InterfaceSet set = world.Interfaces().OpenSet(guid);
  std::string path;
  for (std::uint32_t i = 0; world.Interfaces().InterfacePath(set, guid, i, &path); ++i)
    paths.push_back(path);
  world.Interfaces().CloseSet(set);
  return paths;
}

inline std::string VendorPath(VendorPrinter& p) { return p.InterfacePath() + "\\RK"; }

// A whole store session for identification byte m: the query (whose one-byte
// answer the printer queues), the opening packet, one store, the closing one.
inline Bytes StoreSession(std::uint8_t m, std::uint8_t key, const std::string& text) {
  const std::size_t count = text.size() + 6;
  // clang-format off: one command of the session to a line
  Bytes b = {0x1D,
             0x49,
             0x01,
             0x1C,
             0x7C,
             0x7F,
             m,
             0x01,
             0xFE,
             0x80,
             0x00,
             0x00,
             0x1D,
             0x28,
             0x43,
             static_cast<std::uint8_t>(count & 0xFF),
             static_cast<std::uint8_t>(count >> 8),
             0x00,
             0x01,
             0x80,
             0x23,
             key};
  // clang-format on
  b.insert(b.end(), text.begin(), text.end());
  b.push_back(0xFF);
  const Bytes close = {0x1C, 0x7C, 0x7F, m, 0x02, 0xFD, 0x01, 0x00, 0x00};
  b.insert(b.end(), close.begin(), close.end());
  return b;
}

}  // namespace nolpa::sim::testing
