#include "service/ServiceHost.h"

#include <shlobj.h>

#include "platform/Handles.h"
#include "platform/Registry.h"
#include "service/DeviceServiceIds.h"
#include "service/ServiceState.h"

namespace {

HRESULT SetKey(const std::wstring& path, const std::wstring& value) {
  platform::RegistryKey key;
  const LONG rc = key.Create(HKEY_LOCAL_MACHINE, path, KEY_WRITE);
  return HRESULT_FROM_WIN32(rc != ERROR_SUCCESS ? rc : key.WriteString(nullptr, value));
}

std::wstring ClassKey(const CLSID& clsid) { return L"Software\\Classes\\CLSID\\" + GuidText(clsid); }

HRESULT CallProxyDll(const std::wstring& exePath, const char* entry) {
  const size_t slash = exePath.find_last_of(L"\\/");
  const std::wstring dll = (slash == std::wstring::npos ? L"" : exePath.substr(0, slash + 1)) + L"DeviceServicePS.dll";
  HMODULE module = LoadLibraryW(dll.c_str());
  if (!module) return HRESULT_FROM_WIN32(GetLastError());
  using Entry = HRESULT(WINAPI*)();
  auto fn = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, entry)));
  const HRESULT hr = fn ? fn() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  FreeLibrary(module);
  return hr;
}

}  // namespace

bool IsServiceRunning() {
  return static_cast<bool>(platform::KernelHandle(OpenMutexW(SYNCHRONIZE, FALSE, kServiceMutexName)));
}

bool WaitForServiceExit(DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (IsServiceRunning()) {
    if (GetTickCount64() >= end) return false;
    Sleep(20);
  }
  return true;
}

std::wstring DefaultServiceDataFolder() {
  wchar_t base[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base)))
    GetTempPathW(MAX_PATH, base);
  std::wstring folder = base;
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  folder += L"Kestrane Ovrix Service";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder + L"\\";
}

HRESULT RegisterDeviceService(const std::wstring& exePath) {
  const std::wstring command = L"\"" + exePath + L"\"";
  HRESULT hr = SetKey(ClassKey(CLSID_DeviceServiceClass), L"Kestrane Ovrix Device Service");
  if (SUCCEEDED(hr)) hr = SetKey(ClassKey(CLSID_DeviceServiceClass) + L"\\LocalServer32", command);
  if (SUCCEEDED(hr)) hr = SetKey(ClassKey(CLSID_DeviceServiceControl), L"Kestrane Ovrix Device Service Control");
  if (SUCCEEDED(hr)) hr = SetKey(ClassKey(CLSID_DeviceServiceControl) + L"\\LocalServer32", command);
  if (SUCCEEDED(hr)) hr = CallProxyDll(exePath, "DllRegisterServer");
  return hr;
}

HRESULT UnregisterDeviceService(const std::wstring& exePath) {
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, ClassKey(CLSID_DeviceServiceClass).c_str());
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, ClassKey(CLSID_DeviceServiceControl).c_str());
  return CallProxyDll(exePath, "DllUnregisterServer");
}

std::wstring ModuleFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  const size_t slash = folder.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"" : folder.substr(0, slash + 1);
}
