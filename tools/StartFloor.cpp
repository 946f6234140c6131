// The start benchmark's floor program: the minimal window that, before it shows
// itself, does only the work whose cost the configurator's start cannot go
// below, in a new process as the configurator does it: the first connection to
// the device service and a number of trivial calls, a number of images decoded
// from their files, and a number of windows of the kind the keys are
// (owner-drawn buttons of the common controls the configurator's manifest asks
// for). A call, a decode or a window costs far more in a process that has just
// started than in a long-running one (each is a round of requests to the Wine
// server, and a new process does not yet run beside it), so the benchmark takes
// these costs from here and not from its own process.
//
// Command line: <configurator exe> <windows> <service calls> <images> <image folder>
// At its first paint it sends one debugger line, "start-floor", with the time and
// count of each kind of work, for the benchmark to read.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "service/ServiceCalls.h"
#include "tools/StartYardsticks.h"

namespace {

constexpr COLORREF kColour = RGB(56, 34, 12);

struct Work {
  int64_t ticks = 0;
  int count = 0;
};
Work g_connection, g_calls, g_decodes, g_windows;
bool g_reported = false;

int64_t Ticks() { return platform::testing::Now().QuadPart; }

void Report() {
  if (g_reported) return;
  g_reported = true;
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  char line[256];
  std::snprintf(line, sizeof(line),
                "start-floor freq=%lld connection=%lld/%d calls=%lld/%d decode=%lld/%d windows=%lld/%d\n",
                static_cast<long long>(frequency.QuadPart), static_cast<long long>(g_connection.ticks),
                g_connection.count, static_cast<long long>(g_calls.ticks), g_calls.count,
                static_cast<long long>(g_decodes.ticks), g_decodes.count, static_cast<long long>(g_windows.ticks),
                g_windows.count);
  OutputDebugStringA(line);
}

LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT:
      PaintSolid(hwnd, kColour);
      Report();
      return 0;
    case WM_DRAWITEM:
      return TRUE;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

// The first connection (the service's manager created, the device and its
// identity taken), then `calls` trivial calls; the objects are released at once.
void CallTheService(int calls) {
  if (calls <= 0) return;
  const platform::ComApartment apartment(COINIT_APARTMENTTHREADED);
  TrivialCallTarget target;
  int64_t start = Ticks();
  if (!target.Open()) return;
  g_connection = {Ticks() - start, 1};
  start = Ticks();
  DWORD vendor = 0, product = 0;
  int made = 0;
  for (; made < calls; ++made)
    if (FAILED(target.identity->GetIds(&vendor, &product))) break;
  g_calls = {Ticks() - start, made};
}

// `images` decodes of the folder's bitmaps (taken in turn) into DIB sections.
void DecodeImages(int images, const std::wstring& folder) {
  if (images <= 0 || folder.empty()) return;
  const std::vector<std::wstring> files = BitmapsIn(folder + L"\\");
  if (files.empty()) return;
  const int64_t start = Ticks();
  for (int i = 0; i < images; ++i)
    DecodeOnce(files[i % files.size()]);
  g_decodes = {Ticks() - start, images};
}

// `count` owner-drawn buttons as children of the hidden window, with the common
// controls of the configurator's manifest, as its keys are made.
void MakeWindows(HWND parent, int count, const std::wstring& configurator) {
  if (count <= 0) return;
  const ConfiguratorControls controls(configurator);
  const int64_t start = Ticks();
  for (int i = 0; i < count; ++i)
    CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, i % 20 * 10, i / 20 * 10, 8, 8, parent,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(i + 1)), nullptr, nullptr);
  g_windows = {Ticks() - start, count};
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // The C runtime's split of the command line: CommandLineToArgvW would map
  // shell32 (and the DLLs it brings), a start cost the configurator avoids.
  if (__argc < 6) return 2;
  const std::wstring configurator = __wargv[1];
  const int windows = _wtoi(__wargv[2]), calls = _wtoi(__wargv[3]), images = _wtoi(__wargv[4]);
  const std::wstring folder = __wargv[5];

  CallTheService(calls);
  DecodeImages(images, folder);

  WNDCLASSW wc{};
  wc.lpfnWndProc = Procedure;
  wc.hInstance = instance;
  wc.lpszClassName = L"OvrixStartFloor";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"floor", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 200, 200, nullptr,
                              nullptr, instance, nullptr);
  if (hwnd == nullptr) return 1;
  MakeWindows(hwnd, windows, configurator);
  ShowWindow(hwnd, SW_SHOW);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
