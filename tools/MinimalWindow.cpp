// The benchmark's yardstick: the smallest Win32 program that shows a window and
// paints it one solid colour, started the same way as the configurator.
#include <windows.h>

#include "tools/StartYardsticks.h"

namespace {

constexpr COLORREF kColour = RGB(12, 34, 56);

LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT:
      PaintSolid(hwnd, kColour);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = Procedure;
  wc.hInstance = instance;
  wc.lpszClassName = L"OvrixMinimalWindow";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"minimal", WS_POPUP | WS_VISIBLE, 0, 0, 200, 200, nullptr, nullptr,
                              instance, nullptr);
  if (hwnd == nullptr) return 1;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
