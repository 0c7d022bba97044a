#pragma once
// Misbehaviour switches of a printer-class printer's packet-protocol side
// and of its command interpreter. The default is a printer that behaves.
#include <cstdint>
#include <optional>

namespace nolpa::sim {

// What the printer answers to a serial-number write.
enum class WriteAnswer { Ok, NotAvailable, Busy };  // "OK;", "NA;", "BUSY;"

struct PeripheralFaults {
  // Init with any revision is answered with a refusal.
  bool refuseRevision = false;
  // An Error packet with this code takes the place of a transaction's reply;
  // only for transactions of command `errorOn`, or for all when unset. The
  // transaction has no effect, except Exit, which still ends packet mode.
  std::optional<std::uint8_t> errorCode{};
  std::optional<std::uint8_t> errorOn{};
  // Transaction replies go out on socket 0x02 instead of 0, and control
  // replies on the data channel's socket 0x40.
  bool wrongSockets = false;
  // CreditRequest is answered with no credit granted.
  bool noCredit = false;
  // From the first transaction of this command on, the printer sends nothing
  // more until it leaves packet mode.
  std::optional<std::uint8_t> silentFrom{};
  // Commands on the control channel are taken but never answered.
  bool silentCommands = false;
  // OpenChannel grants at most this packet size in either direction.
  std::optional<std::uint16_t> packetSizeLimit{};
  WriteAnswer writeAnswer = WriteAnswer::Ok;
  // The status reply in the "@BDC ST2" field-list form.
  bool statusFieldList = false;
  // IOCTL_USBPRINT_GET_LPT_STATUS reports an error: bit 0x08 clear.
  bool lptError = false;
};

}  // namespace nolpa::sim
