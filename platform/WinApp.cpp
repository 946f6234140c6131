#include "platform/WinApp.h"

namespace {

CWinApp* g_app = nullptr;

}  // namespace

namespace platform {

CWinApp* CurrentApp() { return g_app; }

}  // namespace platform

CWinApp::CWinApp() : m_hInstance(::GetModuleHandleW(nullptr)) {
  if (!g_app) g_app = this;
}

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

int CWinApp::Run() {
  if (!InitInstance()) return ExitInstance();
  MSG msg;
  for (;;) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    if (platform::PreTranslateThroughParents(&msg)) continue;
    if (!msg.hwnd && PreTranslateMessage(&msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  m_exitCode = static_cast<int>(msg.wParam);
  return ExitInstance();
}
