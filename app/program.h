#pragma once
// The program once the single-instance check has passed.
#include "app/command_line.h"

namespace nolpa::app {

// Creates the application and main windows. Interactive: runs the message
// loop until the main window closes and returns 0. With a mode: the
// command-line run, with the window never shown; returns its exit code.
// Exceptions before the run starts pass to the caller.
int RunProgram(const CommandLineValues& values);

}  // namespace nolpa::app
