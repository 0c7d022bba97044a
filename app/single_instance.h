#pragma once
// One copy per user logon: a named mutex, and the window pair a running copy
// is found by.

namespace nolpa::app {

// Creates the mutex "NOLPAID" (not owned; the handle stays open for the
// life of the process). True when another copy holds it, or when the mutex
// cannot be created at all.
bool AnotherCopyRunning();

// Finds the running copy's application window and brings it forward,
// restoring it when it is minimised. Does nothing when there is none.
void ActivateRunningCopy();

}  // namespace nolpa::app
