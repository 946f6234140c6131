// What DeviceService.exe, its control tool and the end-to-end tests share about
// the running service: its single-instance name, its data folder, its registration.
#pragma once
#include <windows.h>

#include <string>

// Held by the running service; a second start finds it and exits.
inline constexpr wchar_t kServiceMutexName[] = L"KestraneOvrixDeviceService";

bool IsServiceRunning();
// Waits until no service holds the single-instance name; false on timeout.
bool WaitForServiceExit(DWORD timeoutMs);

// "%ProgramData%\Kestrane Ovrix Service" (created when missing); the state file
// "DeviceService.state" and the log "DeviceService.log" live there.
std::wstring DefaultServiceDataFolder();

// LocalServer32 keys of both classes for `exePath`, and the proxy/stub DLL beside
// it (DeviceServicePS.dll). Returns the first failure.
HRESULT RegisterDeviceService(const std::wstring& exePath);
HRESULT UnregisterDeviceService(const std::wstring& exePath);

std::wstring ModuleFolder();  // the running program's folder, with a trailing backslash
