// TrayProbe.exe: a small program for the tray's end-to-end tests. It shows one
// window (class "KestraneOvrixTrayProbe"), puts it in the foreground and
// signals the event "KestraneOvrixTrayProbeStarted", so a test knows that the
// tray started it and can tell which program is in the foreground. It ends on
// WM_CLOSE, or by itself after a minute.
#include <windows.h>

#include "platform/Handles.h"

namespace {

constexpr wchar_t kClassName[] = L"KestraneOvrixTrayProbe";
constexpr UINT_PTR kLifetimeTimer = 1;

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_TIMER:
      if (wp == kLifetimeTimer) DestroyWindow(hwnd);
      return 0;
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
  wc.lpfnWndProc = ProbeProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = kClassName;
  if (!RegisterClassExW(&wc)) return 1;
  HWND hwnd = CreateWindowExW(0, kClassName, L"Tray probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 200, 120,
                              nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 1;
  SetForegroundWindow(hwnd);
  SetTimer(hwnd, kLifetimeTimer, 60000, nullptr);
  if (const platform::KernelHandle started(OpenEventW(EVENT_MODIFY_STATE, FALSE, L"KestraneOvrixTrayProbeStarted"));
      started) {
    SetEvent(started.Get());
  }
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
