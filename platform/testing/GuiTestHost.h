// A host window for tests of controls: a visible, activated top-level window
// (hover logic needs an active window and WindowFromPoint ignores hidden ones),
// with the real cursor parked outside it, that records what its children send
// to it (their owner) and pumps the thread's queue through our own loop.
#pragma once
#include "platform/Window.h"

#include <vector>

struct SentMessage {
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;  // a pointer in it is valid only during the call
  UINT notifyCode = 0;  // WM_NOTIFY: the header's code and sender, copied while valid
  HWND notifyFrom = nullptr;
};

class GuiTestHost : public CWnd {
 public:
  static constexpr RECT kRect{100, 100, 740, 580};
  // A point on the screen outside the host.
  static constexpr POINT kParkedCursor{1260, 1000};

  GuiTestHost();
  ~GuiTestHost() override;

  // Dispatches everything queued for this thread (posted WM_VSCROLL, WM_COMMAND
  // ...), each message through PreTranslateMessage first, as the program's loop
  // does. Timers are not waited for: tests send WM_TIMER themselves.
  void Pump();
  void ParkCursor() const { ::SetCursorPos(kParkedCursor.x, kParkedCursor.y); }

  // What reached the host: WM_COMMAND, WM_NOTIFY, WM_VSCROLL, WM_HSCROLL, the
  // private WM_USER-range messages and registered messages.
  const std::vector<SentMessage>& Received() const { return m_received; }
  std::vector<SentMessage> ReceivedOf(UINT msg) const;
  void ClearReceived() { m_received.clear(); }

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  std::vector<SentMessage> m_received;
};
