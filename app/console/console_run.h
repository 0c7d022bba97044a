#pragma once
// One command of the console companion on the form model: PrepareWork,
// the printer chosen, then the listing, the check, the set with its
// read-back, a printer test, or the station's loop. The caller cleans up
// (FormClose) afterwards.
#include "app/console/console_audit.h"
#include "app/console/console_options.h"
#include "app/console/console_output.h"
#include "platform/console_signals.h"
#include "platform/device_tree.h"
#include "platform/log_files.h"
#include "platform/text_encoding.h"
#include "ui/main_form.h"

namespace nolpa::app::console {

// Exit codes.
inline constexpr int kMatches = 0;         // equal; a test succeeded; the list printed
inline constexpr int kNoPrinter = 1;       // none found, none of that product, no such index
inline constexpr int kNotListedAgain = 2;  // set: not found in the three rescans
inline constexpr int kDiffers = 3;         // another code; a write refused or failed; a test failed
inline constexpr int kRunFailed = 4;       // an exception, the log, an interruption
inline constexpr int kPending = 5;         // set: acknowledged, applied at the next restart
inline constexpr int kDuplicate = 6;  // set: another printer of that vendor and product holds it
inline constexpr int kUsage = 7;      // the command line was not understood
inline constexpr int kPlantDatabase = 8;  // db: the plant's database cannot be used
inline constexpr int kAnotherCopy = -1;   // another copy of either program runs
// A second Ctrl+C ends the process with the code of an interrupted run.
static_assert(kRunFailed == platform::kEndedBySecondRequest);

// A set reads the code back after this wait, up to this many times.
inline constexpr std::uint32_t kRescanWaitMs = 5000;
inline constexpr int kRescans = 3;
// The waits are cut into steps this long, so a request to stop is seen soon.
inline constexpr std::uint32_t kWaitStepMs = 100;
// The station looks for printers this often.
inline constexpr std::uint32_t kStationPollMs = 1000;
// The ID boxes take this many characters; a command line may give more.
inline constexpr std::size_t kMostIdCharacters = 80;

struct RunContext {
  ui::TMainForm& form;
  const Options& options;
  ConsoleOutput& output;
  ConsoleMessageBoxes& boxes;
  ProgressObserver& progress;
  HeldWriteAudit& audit;
  platform::ConsoleSignals& signals;
  platform::TextEncoding& encoding;
  platform::DeviceTree* usbTree;  // null: no USB locations
  platform::LogFiles& files;      // the audit log and the station's code list read whole
  std::string logPath;            // the audit log kept (UTF-8); empty: none
};

struct CommandOutcome {
  int exitCode = kRunFailed;
  bool interrupted = false;  // a request to stop ended the command early
};

// Runs options.command (List, Check, Set, TestComm, TestPrint or Station).
// Exceptions pass to the caller.
CommandOutcome RunCommand(RunContext& context);

}  // namespace nolpa::app::console
