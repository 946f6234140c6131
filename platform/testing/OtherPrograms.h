// For end-to-end tests, which watch a program from outside: starting it, finding
// its top-level windows, and the pixels on the screen.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Gdi.h"
#include "platform/Handles.h"

namespace platform::testing {

// Starts `commandLine` in `folder` (null: the current one) with NUL as its
// standard handles: under Wine a process it starts in turn (the device service
// activated for it, the tray) would otherwise inherit this test's output and keep
// ctest waiting after the test has ended. False when NUL cannot be opened or the
// program does not start; the caller owns the handles in `pi` (platform::ProcessHandles).
inline bool StartProgram(const std::wstring& commandLine, const wchar_t* folder, PROCESS_INFORMATION& pi) {
  SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
  const platform::KernelHandle nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                               &sa, OPEN_EXISTING, 0, nullptr));
  if (!nul) return false;
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = si.hStdOutput = si.hStdError = nul.Get();
  std::wstring cmd = commandLine;
  return CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, folder, &si, &pi) != FALSE;
}

struct WindowSearch {
  DWORD pid;
  const wchar_t* className;
  HWND found = nullptr;
};

inline BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM lp) {
  auto* search = reinterpret_cast<WindowSearch*>(lp);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  wchar_t name[128] = {};
  GetClassNameW(hwnd, name, 128);
  if ((search->pid == 0 || owner == search->pid) && std::wstring(name) == search->className) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// The first top-level window of the class `className` that the process `pid` (0:
// any process) owns; null when there is none.
inline HWND TopWindowOf(DWORD pid, const wchar_t* className) {
  WindowSearch search{pid, className};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The pixels (0x00RRGGBB, top row first) of the rectangle `from` of a bitmap, or
// of the screen when `bitmap` is null.
inline std::vector<uint32_t> PixelsOf(HBITMAP bitmap, RECT from) {
  const int width = from.right - from.left, height = from.bottom - from.top;
  CClientDC screen(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, dib);
  if (bitmap) {
    HDC source = CreateCompatibleDC(screen);
    HGDIOBJ oldSource = SelectObject(source, bitmap);
    BitBlt(memory, 0, 0, width, height, source, from.left, from.top, SRCCOPY);
    SelectObject(source, oldSource);
    DeleteDC(source);
  } else {
    BitBlt(memory, 0, 0, width, height, screen, from.left, from.top, SRCCOPY);
  }
  GdiFlush();
  std::vector<uint32_t> pixels(static_cast<const uint32_t*>(bits), static_cast<const uint32_t*>(bits) + width * height);
  for (uint32_t& p : pixels) p &= 0xFFFFFF;
  SelectObject(memory, old);
  DeleteObject(dib);
  DeleteDC(memory);
  return pixels;
}

}  // namespace platform::testing
