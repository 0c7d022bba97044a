#pragma once
// Departures: every time a simulated device, driver or service is asked to do
// something the protocol it plays does not allow (a control request with a
// buffer of the wrong size, a session packet with the wrong byte, a handle
// still open when it should not be), it notes it here, whatever it answers.
// A test that provokes a departure on purpose says so with Expect(); any
// other departure left in a log when the log is destroyed is handed to the
// process's departure handler, which the native test suite turns into a
// failure of the running test. NOLPAID-sim.exe installs no handler.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace nolpa::sim {

// The kinds of departure, as tests name them.
namespace departure {
// A control request whose input or output buffer is not the size the driver
// defines for it; the driver refuses it.
inline constexpr char kIoctlBufferSize[] = "ioctl buffer size";
// A control request the driver does not know; refused.
inline constexpr char kUnknownIoctl[] = "unknown ioctl";
// A request on a printer-class handle while a later open of the same
// device is still held: the program's handle used during the library's call.
inline constexpr char kOverlappedHandleUsed[] = "overlapped handle used";
// A board-memory request on an interface that has no board memory.
inline constexpr char kBoardRequestOnboard[] = "board request on onboard interface";
// The finishing board request with a first word other than 0.
inline constexpr char kFinishWordNotZero[] = "finish word not zero";
// An opening or closing packet whose M is not the printer's last answer to
// the identification query since its last reset (or no query was asked).
inline constexpr char kSessionWrongM[] = "session packet with wrong M";
// A store or clear command while no session is open.
inline constexpr char kOutsideSession[] = "store or clear outside session";
// A store whose count, terminator or text is not well formed.
inline constexpr char kMalformedStore[] = "malformed store";
// The device was closed with an ID session still open.
inline constexpr char kSessionOpenAtClose[] = "session open at close";
// A module loaded from a file the program did not hold open against
// writing at that moment: another process could have swapped it.
inline constexpr char kModuleFromUnheldFile[] = "module loaded from unheld file";
// FreeLibrary of a module that is not loaded (freed already, or never).
inline constexpr char kModuleFreedTwice[] = "module freed twice";
// A call through an export of a module that was freed since.
inline constexpr char kCallIntoFreedModule[] = "call into freed module";
// A file hold released twice, or one never made.
inline constexpr char kFileReleasedTwice[] = "file released twice";
// A file hold still open when the host system goes away.
inline constexpr char kFileHoldLeaked[] = "file hold leaked";
// A COM port above COM32 was queried or opened: the program examines COM1
// to COM32 only, whatever driver a higher port belongs to.
inline constexpr char kPortAboveCom32[] = "port above COM32 examined";
// A port above COM9 opened by its bare name ("COM10"): Windows finds it only
// as "\\.\COM10", so the open fails.
inline constexpr char kBarePortAboveCom9[] = "port above COM9 opened without \\\\.\\";
// --- The packet-protocol side of a printer-class printer ---
// A 1284.4 transaction packet sent before the entry string.
inline constexpr char kPacketBeforeEntry[] = "packet before entry string";
// The entry string sent to a printer whose device ID lists no "D4".
inline constexpr char kEntryWithoutD4[] = "entry string without D4";
// A packet whose length field is below 6, or a transaction whose length is
// not the one its command defines.
inline constexpr char kTransactionLength[] = "transaction with wrong length";
// A transaction packet whose header credit is not 1 or control not 0.
inline constexpr char kTransactionHeader[] = "transaction header credit or control";
// A transaction other than Init before Init succeeded.
inline constexpr char kTransactionBeforeInit[] = "transaction before Init";
// A transaction command the printer does not know (or a reply or Error
// packet sent to the printer, which never sends a command).
inline constexpr char kUnknownTransaction[] = "unknown transaction";
// Init while the protocol is already initialised.
inline constexpr char kInitTwice[] = "Init twice";
// OpenChannel for a channel already open.
inline constexpr char kChannelOpenedTwice[] = "channel opened twice";
// A data packet, Credit, CreditRequest or CloseChannel for a channel not open.
inline constexpr char kChannelNotOpen[] = "channel not open";
// A data packet on a channel where the printer has granted no credit.
inline constexpr char kDataWithoutCredit[] = "data packet without credit";
// A data packet longer than the packet size the printer granted.
inline constexpr char kPacketTooLong[] = "packet longer than granted";
// Exit while a channel is still open.
inline constexpr char kChannelOpenAtExit[] = "channel open at Exit";
// The device closed while a channel is still open.
inline constexpr char kChannelOpenAtClose[] = "channel open at close";
// The device closed while the printer is still in packet mode.
inline constexpr char kClosedInPacketMode[] = "closed in packet mode";
// Exit, or the device closed, while a transaction the printer started (a
// Credit, a CreditRequest, a command the host does not know) is unanswered.
inline constexpr char kPrinterTransactionUnanswered[] = "printer's transaction unanswered";
// A reply to a transaction the printer started that does not fit it: the
// wrong length or sockets, or success claimed for a command the host
// cannot know.
inline constexpr char kPrinterTransactionAnsweredWrongly[] =
    "printer's transaction answered wrongly";
// A read of a printer-class printer whose room was smaller than the USB
// packet that came: the transfer overran it and its bytes were lost.
inline constexpr char kTransferOverrun[] = "transfer overran the read";
// A control-channel command that is unknown or whose length or parameters
// do not fit it.
inline constexpr char kMalformedCommand[] = "malformed control command";
// A hub asked for the driver key of a port it does not have (0 or beyond
// its port count).
inline constexpr char kHubPortOutOfRange[] = "hub port out of range";
// A host controller or hub handle, or a hub interface set, still open when
// the USB topology goes away.
inline constexpr char kUsbHandleLeaked[] = "usb handle left open";
// --- The maker's channel API and the spooler it reads ---
// A channel-API operation called before ZQInitialize, or after ZQRelease.
inline constexpr char kChannelApiNotInitialised[] = "channel API call without ZQInitialize";
// A channel handle used (sent on, received from, closed) that is not open.
inline constexpr char kChannelUsedAfterClose[] = "channel used after close";
// ZQRelease while a channel is still open.
inline constexpr char kChannelOpenAtRelease[] = "channel open at ZQRelease";
// A sized call with a buffer smaller than the size the API reported.
inline constexpr char kSizeQueryIgnored[] = "size query ignored";
// The channel API still loaded, or a registry key still open, when the
// simulated spooler goes away.
inline constexpr char kChannelApiLeftLoaded[] = "channel API left loaded";
inline constexpr char kRegistryKeyLeaked[] = "registry key left open";
}  // namespace departure

struct Departure {
  std::uint64_t timeMs = 0;
  std::string device;  // who noted it
  std::string kind;    // one of namespace departure
  std::string detail;  // what exactly, for the failure message
};

// Describes one departure on one line: "@<ms> <device>: <kind> (<detail>)".
std::string DescribeDeparture(const Departure& departure);

class DepartureLog {
 public:
  DepartureLog() = default;
  // Reports what is left unexpected to the handler.
  ~DepartureLog();
  DepartureLog(const DepartureLog&) = delete;
  DepartureLog& operator=(const DepartureLog&) = delete;

  void Note(Departure departure);

  // Departures of `kind` are what the test provokes: they are kept but not
  // reported at destruction.
  void Expect(std::string_view kind);

  const std::vector<Departure>& All() const { return departures_; }
  // The departures not covered by Expect().
  std::vector<Departure> Unexpected() const;
  // How many of `kind` were noted.
  std::size_t Count(std::string_view kind) const;
  void Clear() { departures_.clear(); }

 private:
  std::vector<Departure> departures_;
  std::vector<std::string> expected_;
};

// Called with the unexpected departures of every log destroyed from now on
// (never with an empty list). Empty by default: nothing is reported.
using DepartureHandler = std::function<void(const std::vector<Departure>&)>;
void SetDepartureHandler(DepartureHandler handler);

}  // namespace nolpa::sim
