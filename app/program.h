#pragma once
// The program once the single-instance check has passed.

namespace nolpa::app {

// Creates the application and main windows and runs the message loop until
// the main window closes. Returns the process exit code. Exceptions pass
// to the caller.
int RunProgram(const char* commandLine);

}  // namespace nolpa::app
