#pragma once
// Bringing the print spooler service into the state the program wants: stopped
// while the window is open, running again when it closes.
#include "platform/platform.h"

namespace nolpa::ident {

// The modes ControlSpooler takes.
inline constexpr int kSpoolerRun = 0;   // start the spooler if it is stopped
inline constexpr int kSpoolerStop = 1;  // stop the spooler if it runs

// Asks the service control manager for the "spooler" service in the state
// `mode` names and waits until it is there: at most until more than 20 whole
// seconds have passed since the request was accepted, asking every 500 ms.
// Returns 1 when the service is in that state (already, or after the wait),
// 0 for any other mode (nothing is opened then) and on every failure. Shows
// nothing; every handle it opens is closed before it returns, the service's
// before the manager's.
int ControlSpooler(const platform::Platform& platform, int mode);

}  // namespace nolpa::ident
