#include "platform/testing/GuiTestHost.h"

#include <commctrl.h>

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

bool GuiTestHost::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  const bool privateRange = msg >= WM_USER && msg < 0x8000 && (msg < kReflectBase || msg >= kReflectBase + 0x200);
  if (msg == WM_COMMAND || msg == WM_NOTIFY || msg == WM_VSCROLL || msg == WM_HSCROLL || privateRange ||
      msg >= 0xC000) {
    SentMessage record{msg, wParam, lParam};
    if (msg == WM_NOTIFY && lParam) {
      record.notifyCode = reinterpret_cast<const NMHDR*>(lParam)->code;
      record.notifyFrom = reinterpret_cast<const NMHDR*>(lParam)->hwndFrom;
    }
    m_received.push_back(record);
    if (msg != WM_NOTIFY && msg != WM_COMMAND) {
      result = 0;
      return true;
    }
  }
  return CWnd::OnMessage(msg, wParam, lParam, result);
}
