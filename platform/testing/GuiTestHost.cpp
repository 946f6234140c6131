#include "platform/testing/GuiTestHost.h"

#include <commctrl.h>

namespace {
// Outside the recorded range: the host's own wake-up for RunInNextLoop.
constexpr UINT kRunStepMessage = WM_APP + 0x3F1;
}  // namespace

namespace platform::testing {

GuiTestHost::GuiTestHost() {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&icc);
  CreateEx(0, DefaultClassName(), L"test host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, kRect,
           static_cast<HWND>(nullptr), 0);
  // With no window manager nobody activates the window for us.
  ::SetForegroundWindow(m_hWnd);
  ::SetActiveWindow(m_hWnd);
  ParkCursor();
  Pump();
}

GuiTestHost::~GuiTestHost() {
  DestroyWindow();
  Pump();
}

void GuiTestHost::Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (platform::PreTranslateThroughParents(&msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

std::vector<SentMessage> GuiTestHost::ReceivedOf(UINT msg) const {
  std::vector<SentMessage> out;
  for (const auto& m : m_received)
    if (m.msg == msg) out.push_back(m);
  return out;
}

void GuiTestHost::RunInNextLoop(std::function<void()> step) {
  m_steps.push_back(std::move(step));
  PostMessage(kRunStepMessage);
}

bool GuiTestHost::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg == kRunStepMessage) {
    if (!m_steps.empty()) {
      auto step = std::move(m_steps.front());
      m_steps.pop_front();
      step();
    }
    result = 0;
    return true;
  }
  const bool privateRange = msg >= WM_USER && msg < 0x8000 && (msg < platform::kReflectBase || msg >= platform::kReflectBase + 0x200);
  if (msg == WM_COMMAND || msg == WM_NOTIFY || msg == WM_VSCROLL || msg == WM_HSCROLL || privateRange ||
      msg >= 0xC000) {
    SentMessage record{msg, wParam, lParam};
    if (msg == WM_NOTIFY && lParam) {
      record.notifyCode = reinterpret_cast<const NMHDR*>(lParam)->code;
      record.notifyFrom = reinterpret_cast<const NMHDR*>(lParam)->hwndFrom;
    }
    if (auto copier = m_copiers.find(msg); copier != m_copiers.end()) copier->second(record, wParam, lParam);
    m_received.push_back(record);
    if (auto handler = m_handlers.find(msg); handler != m_handlers.end()) {
      // A copy: the handler may replace or clear itself.
      const Handler call = handler->second;
      result = call(wParam, lParam);
      return true;
    }
    if (msg != WM_NOTIFY && msg != WM_COMMAND) {
      result = 0;
      return true;
    }
  }
  return CWnd::OnMessage(msg, wParam, lParam, result);
}

}  // namespace platform::testing
