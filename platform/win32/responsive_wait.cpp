#include "platform/win32/responsive_wait.h"

namespace nolpa::platform::win32 {

namespace {

thread_local int sentMessageDepth = 0;

// Milliseconds on the performance counter: GetTickCount moves in steps of
// 10 to 16 ms, too coarse for a wait of a few.
ULONGLONG NowMs() {
  LARGE_INTEGER frequency;
  LARGE_INTEGER counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<ULONGLONG>(counter.QuadPart) * 1000 /
         static_cast<ULONGLONG>(frequency.QuadPart);
}

// Handles the messages other threads have sent to this thread; takes
// nothing posted out of the queue.
void HandleSentMessages() {
  ++sentMessageDepth;
  MSG message;
  PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  --sentMessageDepth;
}

}  // namespace

bool WaitResponsively(HANDLE object, DWORD timeoutMs) {
  const DWORD count = object != nullptr ? 1 : 0;
  const ULONGLONG deadline = NowMs() + timeoutMs;
  for (;;) {
    const ULONGLONG now = NowMs();
    const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    const DWORD woken = MsgWaitForMultipleObjectsEx(count, object != nullptr ? &object : nullptr,
                                                    left, QS_SENDMESSAGE, 0);
    if (count == 1 && woken == WAIT_OBJECT_0) return true;
    if (woken != WAIT_OBJECT_0 + count) return false;  // the time is up, or the wait failed
    HandleSentMessages();
    if (left == 0) return object != nullptr && WaitForSingleObject(object, 0) == WAIT_OBJECT_0;
  }
}

bool HandlingSentMessageInWait() { return sentMessageDepth > 0; }

}  // namespace nolpa::platform::win32
