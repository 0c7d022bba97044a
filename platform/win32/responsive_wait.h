#pragma once
// Waiting on the user-interface thread without leaving the window deaf.
// While a device call or a pause waits, messages that other threads and
// processes SEND to this thread's windows are handled (the shell, a second
// copy restoring the first, a test reading a control): their senders are
// blocked until they are. Posted messages (input, paint, timers, a posted
// close) stay in the queue for the message loop, so no event handler of the
// program runs in the middle of another.
#include <windows.h>

namespace nolpa::platform::win32 {

// Waits until `object` is signalled (true) or `timeoutMs` has passed
// (false), handling sent messages meanwhile. With a null `object` it is a
// pause of `timeoutMs` that handles sent messages.
bool WaitResponsively(HANDLE object, DWORD timeoutMs);

// True while this thread handles a sent message inside WaitResponsively: a
// window procedure then defers what would start or end an action.
bool HandlingSentMessageInWait();

}  // namespace nolpa::platform::win32
