#pragma once
// The run without the window: find the printer the command line names, then
// check its ID code or write it and read it back. The outcome is the
// process exit code. Portable, so it is tested against the simulator.
#include <cstdint>
#include <functional>

#include "app/command_line.h"
#include "ui/main_form.h"

namespace nolpa::app {

// BatchExitCode values.
inline constexpr std::int32_t kCodeMatches = 0;  // the device holds BatchIdCode
inline constexpr std::int32_t kNoDevice = 1;     // none found, or none of that product
inline constexpr std::int32_t kDeviceGone = 2;   // set: not found again after the write
inline constexpr std::int32_t kCodeDiffers = 3;  // another code (also a failed write)
inline constexpr std::int32_t kRunFailed = 4;    // an exception ended the run

// The ID code box takes this many characters.
inline constexpr std::size_t kIdBoxCharacters = 80;

// The write is read back after this wait, up to this many times.
inline constexpr std::uint32_t kRescanWaitMs = 5000;
inline constexpr int kRescans = 3;

// PrepareWork, then the first device whose product text equals
// BatchProductName (case ignored; any device when it is empty). BatchMode 2
// compares that device's ID code with BatchIdCode; otherwise BatchIdCode is
// put into Edit1 as it is and written by Write (Button3Click), and the
// device is looked for again after each wait. Leaves the outcome in
// BatchExitCode and returns -1. Shows no window; Write's error boxes still
// appear. Exceptions pass to the caller.
std::int32_t RunCommandLine(ui::TMainForm& form);

// The same, told what the form's fields cannot say: an ID code or product
// name the ANSI code page could not hold (no printer holds or is named by
// one; a set refuses the code with the ID rules' invalid-character message,
// as it refuses one over the 80 characters the box takes on the routes
// other than the USB Printer Class, and logs it as given). `encoding`, when
// given, turns the values of such a refusal into the log's UTF-8.
std::int32_t RunCommandLine(ui::TMainForm& form, const CommandLineValues& values,
                            platform::TextEncoding* encoding);

// A whole command-line run as the entry point carries it out: the values
// into BatchIdCode, BatchProductName and BatchMode, RunCommandLine, then the
// clean-up of closing the window (FormClose), so that the machine is left as
// an interactive run leaves it. An exception that ends the run makes the exit
// code kRunFailed (a failed run must never read as a match) and is handed to
// `reportException` only once the clean-up is done (called inside a catch
// block of that exception). An exception from the clean-up is reported the
// same way, after the run's, and leaves the exit code as it was. Returns the
// exit code.
std::int32_t CarryOutCommandLineRun(ui::TMainForm& form, const CommandLineValues& values,
                                    const std::function<void()>& reportException,
                                    platform::TextEncoding* encoding = nullptr);

}  // namespace nolpa::app
