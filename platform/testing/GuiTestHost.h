// A host window for tests of controls: a visible, activated top-level window
// (hover logic needs an active window and WindowFromPoint ignores hidden ones),
// with the real cursor parked outside it, that records what its children send
// to it (their owner) and pumps the thread's queue through our own loop.
#pragma once
#include "platform/Window.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace platform::testing {

struct SentMessage {
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;  // a pointer in it is valid only during the call
  UINT notifyCode = 0;  // WM_NOTIFY: the header's code and sender, copied while valid
  HWND notifyFrom = nullptr;
  // Filled during the call by the copier set for the message (SetRecordCopier):
  // what a pointer in lParam showed while it was valid.
  std::vector<int64_t> values;
  std::wstring text;
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

  // Copies what lParam points at into the record while the call lasts.
  using RecordCopier = std::function<void(SentMessage& record, WPARAM wParam, LPARAM lParam)>;
  void SetRecordCopier(UINT msg, RecordCopier copier) { m_copiers[msg] = std::move(copier); }
  // Called during the message, after it was recorded (the owner's reaction:
  // refilling a list inside its notification, destroying a window ...). The
  // handler's value is the message's result.
  using Handler = std::function<LRESULT(WPARAM wParam, LPARAM lParam)>;
  void SetHandler(UINT msg, Handler handler) { m_handlers[msg] = std::move(handler); }
  void ClearHandler(UINT msg) { m_handlers.erase(msg); }
  // Runs `step` when the next message loop of this thread dispatches it: a
  // popup opened inside a sent click runs its own modal loop, and the step
  // then runs inside that loop (steps run one per loop turn, in order).
  void RunInNextLoop(std::function<void()> step);

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  std::vector<SentMessage> m_received;
  std::map<UINT, RecordCopier> m_copiers;
  std::map<UINT, Handler> m_handlers;
  std::deque<std::function<void()>> m_steps;
};

}  // namespace platform::testing
