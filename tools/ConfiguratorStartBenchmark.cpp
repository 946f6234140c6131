// How long the configurator takes from CreateProcess to its first painted main
// window (a known pixel of its skin on the screen), against the same measure of
// a minimal Win32 window, in the same run with the device service running.
// Prints the medians of five starts each and their ratio; it checks nothing.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/testing/WinePath.h"

namespace {

struct Target {
  const wchar_t* what;
  std::wstring exe;
  std::wstring folder;
  POINT pixel;
  COLORREF colour;
  const wchar_t* windowClass;
};

// NUL as standard handles: what the program starts must not hold our output.
HANDLE OpenNul() {
  SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
  return CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0,
                     nullptr);
}

COLORREF ScreenPixel(POINT at) {
  HDC screen = GetDC(nullptr);
  const COLORREF colour = GetPixel(screen, at.x, at.y);
  ReleaseDC(nullptr, screen);
  return colour;
}

// Milliseconds from CreateProcess until the pixel shows the colour; -1 on failure.
double TimeToFirstPaint(const Target& target) {
  // Something else on the screen first, so the pixel changes only when the program paints.
  HWND cover = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 1280, 1024, nullptr,
                               nullptr, nullptr, nullptr);
  UpdateWindow(cover);
  DestroyWindow(cover);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);

  HANDLE nul = OpenNul();
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = si.hStdOutput = si.hStdError = nul;
  PROCESS_INFORMATION pi{};
  std::wstring cmd = L"\"" + target.exe + L"\"";
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  const BOOL started = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      target.folder.empty() ? nullptr : target.folder.c_str(), &si, &pi);
  CloseHandle(nul);
  if (!started) return -1;
  double elapsed = -1;
  for (;;) {
    QueryPerformanceCounter(&now);
    const double ms = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    if (ScreenPixel(target.pixel) == target.colour) {
      elapsed = ms;
      break;
    }
    if (ms > 30000 || WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) break;
    Sleep(1);
  }
  // Close it through its window and wait for its end before the next start.
  for (int i = 0; i < 200; ++i) {
    HWND window = FindWindowW(target.windowClass, nullptr);
    if (window != nullptr) {
      PostMessageW(window, WM_CLOSE, 0, 0);
      break;
    }
    Sleep(10);
  }
  if (WaitForSingleObject(pi.hProcess, 20000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return elapsed;
}

// The colour of the background image at a point (24-bit BMP, bottom-up).
COLORREF BackgroundPixel(const std::wstring& path, POINT at) {
  HBITMAP bitmap = static_cast<HBITMAP>(LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
  if (bitmap == nullptr) return CLR_INVALID;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  const COLORREF colour = GetPixel(dc, at.x, at.y);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bitmap);
  return colour;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? -1 : values[values.size() / 2];
}

}  // namespace

int main() {
  const std::wstring app = DosPath(OVRIX_SKIN_APP_DIR) + L"\\";
  // A point of the main window's background that no control covers.
  const POINT backgroundPoint{700, 88};
  const Target configurator{L"configurator", app + L"KestraneOvrixConfig.exe", app, backgroundPoint,
                            BackgroundPixel(app + L"skins\\MainPage_Background.bmp", backgroundPoint),
                            L"SINGLE_INSTANCE_APP_MORVEL"};
  const Target minimal{L"minimal window", DosPath(OVRIX_MINIMAL_WINDOW_EXE), L"", POINT{100, 100}, RGB(12, 34, 56),
                       L"OvrixMinimalWindow"};
  std::vector<double> configuratorTimes, minimalTimes;
  for (int run = 0; run < 5; ++run) {
    minimalTimes.push_back(TimeToFirstPaint(minimal));
    configuratorTimes.push_back(TimeToFirstPaint(configurator));
  }
  const double c = Median(configuratorTimes), m = Median(minimalTimes);
  std::printf("start to first paint, median of 5: configurator %.1f ms, minimal window %.1f ms\n", c, m);
  if (c > 0 && m > 0) std::printf("ratio %.2f (goal: at most 5)\n", c / m);
  else std::printf("a start did not paint (configurator %.1f, minimal %.1f)\n", c, m);
  return c > 0 && m > 0 ? 0 : 1;
}
