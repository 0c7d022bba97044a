#pragma once
// A printer-class printer's place behind a printer of the Windows print
// spooler, as a fleet file describes it: the spooler printer and its port,
// the printer-class interface's port values, the printer's driver with the
// settings that name the maker's channel API, and where that channel API
// is installed. spooler_seats.h sets a SpoolerWorld up from these.
#include <cstdint>
#include <optional>
#include <string>

namespace nolpa::sim {

enum class ChannelApiFolder { System, Driver };

struct SpoolerSeat {
  std::string printer;  // the spooler printer's name
  std::string port;     // its registry value "Port", such as "USB001"; empty: none
  // The printer-class interface key's "Port Number" and "Base Name"; a
  // value left out is missing from the key.
  std::optional<std::uint32_t> portNumber{};
  std::optional<std::string> baseName{};

  std::string driver;               // the driver's name
  std::string driverPath;           // its full path
  std::string dataFile{};           // its data file: a full path, or a name in the driver's folder
  bool driverInstalled = true;      // listed among the installed drivers
  std::string driverEnvironment{};  // "Windows x64", ...; empty: the machine's own
  // The channel API's file name in the registry value "ZQAPI32" of the
  // driver's key, and in the data file's keys "ZQAPII" and "ZQAPINAME".
  std::optional<std::string> zqapi32{};
  std::optional<std::string> zqapii{};
  std::optional<std::string> zqapiName{};
  // "ZQAPI32" lies in the 64-bit view of 64-bit Windows (where a 64-bit
  // driver's installer writes it), not in the 32-bit one.
  bool zqapi32In64BitView = false;

  // The channel API installed as this file (empty: not installed) in the
  // system folder or the driver's folder.
  std::string channelApiFile{};
  ChannelApiFolder channelApiFolder = ChannelApiFolder::System;
  // A 64-bit file: it exists, but does not load into a 32-bit process.
  bool channelApi64Bit = false;
  // What its ZQInitialize returns (negative: it fails).
  int channelApiInitialize = 0;

  friend bool operator==(const SpoolerSeat&, const SpoolerSeat&) = default;
};

}  // namespace nolpa::sim
