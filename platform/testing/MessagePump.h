// The message pump of the tests and benchmarks: the code under test answers calls,
// fires events and finishes writes from this thread's queue, so a test waits by
// dispatching it.
#pragma once
#include <windows.h>

namespace platform::testing {

// Dispatches this thread's messages until `done` holds or the time is up; whether
// `done` held.
template <typename F>
bool PumpUntil(F done, DWORD timeoutMs = 20000) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (done()) return true;
    if (GetTickCount64() >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

// Dispatches for `ms` whatever arrives.
inline void PumpFor(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

// Dispatches what is queued now, without waiting.
inline void PumpPending() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace platform::testing
