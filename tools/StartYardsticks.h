// What the start benchmark and its yardstick programs (the minimal window and the
// floor program) share: the paint the benchmark waits to see, the common controls
// the configurator's keys are made with, and the skin's images decoded as the
// configurator decodes them.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// The whole update area in one colour.
inline void PaintSolid(HWND hwnd, COLORREF colour) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd, &paint);
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &paint.rcPaint, brush);
  DeleteObject(brush);
  EndPaint(hwnd, &paint);
}

// While it lives, windows are made with the common controls the configurator's
// manifest (its resource 1) asks for, as its keys are.
class ConfiguratorControls {
 public:
  explicit ConfiguratorControls(const std::wstring& configuratorExe) {
    ACTCTXW context{};
    context.cbSize = sizeof(context);
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = configuratorExe.c_str();
    context.lpResourceName = MAKEINTRESOURCEW(1);
    m_context = CreateActCtxW(&context);
    m_active = m_context != INVALID_HANDLE_VALUE && ActivateActCtx(m_context, &m_cookie);
  }
  ~ConfiguratorControls() {
    if (m_active) DeactivateActCtx(0, m_cookie);
    if (m_context != INVALID_HANDLE_VALUE) ReleaseActCtx(m_context);
  }
  ConfiguratorControls(const ConfiguratorControls&) = delete;
  ConfiguratorControls& operator=(const ConfiguratorControls&) = delete;

 private:
  HANDLE m_context = INVALID_HANDLE_VALUE;
  ULONG_PTR m_cookie = 0;
  bool m_active = false;
};

// The paths of the folder's bitmaps (the folder given with its trailing backslash).
inline std::vector<std::wstring> BitmapsIn(const std::wstring& folder) {
  std::vector<std::wstring> files;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"*.bmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return files;
  do files.push_back(folder + found.cFileName);
  while (FindNextFileW(search, &found));
  FindClose(search);
  return files;
}

// One image read from its file into a DIB section, and let go.
inline void DecodeOnce(const std::wstring& file) {
  DeleteObject(LoadImageW(nullptr, file.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
}
