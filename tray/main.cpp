// KestraneOvrixTray: the tray companion. For now a hidden window that runs until
// it is closed.
#include <windows.h>

namespace {

LRESULT CALLBACK TrayProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = TrayProc;
  wc.hInstance = instance;
  wc.lpszClassName = L"KestraneOvrixTrayWindow";
  if (!RegisterClassExW(&wc)) return 1;
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"Kestrane Ovrix Tray", WS_POPUP, 0, 0, 0, 0, nullptr,
                              nullptr, instance, nullptr);
  if (!hwnd) return 1;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
