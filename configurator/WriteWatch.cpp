#include "configurator/WriteWatch.h"

void WriteWatch::Watch(HWND window) {
  m_watching = true;
  ::SetTimer(window, kTimer, kIntervalMs, nullptr);
}

void WriteWatch::Forget(HWND window) {
  m_watching = false;
  ::KillTimer(window, kTimer);
}

bool WriteWatch::Ended(HWND window) {
  if (m_device == nullptr || m_device->IsWriting()) return false;
  ::KillTimer(window, kTimer);
  return true;
}

bool WriteWatch::TakeWatched() {
  const bool watched = m_watching;
  m_watching = false;
  return watched;
}

bool WriteWatch::WaitForEnd() const {
  if (m_device == nullptr) return true;
  const HCURSOR old = ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)));  // IDC_WAIT
  // A service call that never returns would keep the write running for ever.
  const ULONGLONG deadline = ::GetTickCount64() + m_waitMs;
  bool ended = true;
  while (m_device->IsWriting()) {
    if (::GetTickCount64() >= deadline) {
      ended = false;
      break;
    }
    MSG msg;
    // Painting and what the write's calls need (posted and sent messages), never input.
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_PAINT | QS_POSTMESSAGE | QS_SENDMESSAGE);
  }
  ::SetCursor(old);
  return ended;
}
