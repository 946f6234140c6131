#include "platform/LateBound.h"

#include <shellapi.h>

namespace {

// The function `name` of the system DLL `dll`, loaded from the system folder only
// (never a DLL of that name beside the program) and kept for the process; null
// when either cannot be had.
template <typename Function>
Function FindSystemFunction(const wchar_t* dll, const char* name) {
  HMODULE module = ::LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

}  // namespace

namespace platform {

HINSTANCE LateShellExecuteW(HWND owner, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                       const wchar_t* folder, int show) {
  static const auto function = FindSystemFunction<decltype(&::ShellExecuteW)>(L"shell32.dll", "ShellExecuteW");
  if (function == nullptr) return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(SE_ERR_DLLNOTFOUND));
  return function(owner, verb, file, parameters, folder, show);
}

BOOL LateGetOpenFileNameW(OPENFILENAMEW* request) {
  static const auto function = FindSystemFunction<decltype(&::GetOpenFileNameW)>(L"comdlg32.dll", "GetOpenFileNameW");
  return function != nullptr ? function(request) : FALSE;
}

BOOL LateGetSaveFileNameW(OPENFILENAMEW* request) {
  static const auto function = FindSystemFunction<decltype(&::GetSaveFileNameW)>(L"comdlg32.dll", "GetSaveFileNameW");
  return function != nullptr ? function(request) : FALSE;
}

BOOL LateAlphaBlend(HDC target, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, BLENDFUNCTION blend) {
  static const auto function = FindSystemFunction<decltype(&::AlphaBlend)>(L"msimg32.dll", "AlphaBlend");
  if (function == nullptr) return FALSE;
  return function(target, x, y, width, height, source, sourceX, sourceY, sourceWidth, sourceHeight, blend);
}

}  // namespace platform
