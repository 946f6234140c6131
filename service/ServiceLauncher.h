// For the end-to-end tests and the benchmark: runs the real DeviceService.exe on a
// data folder of their own, and puts the resident service back afterwards.
#pragma once
#include <windows.h>

#include <string>

#include "platform/Com.h"
#include "platform/Handles.h"
#include "platform/testing/WinePath.h"
#include "service/DeviceServiceIds.h"
#include "service/ServiceHost.h"

// Runs a program; one left running gets NUL as its standard handles, since under
// Wine it would otherwise keep this process's output open (and ctest waiting).
inline bool RunProgram(const std::wstring& commandLine, DWORD* exitCode, bool wait = true) {
  std::wstring cmd = commandLine;
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  platform::KernelHandle nul;
  if (!wait) {
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    nul.Reset(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING,
                          0, nullptr));
    if (nul) {
      si.dwFlags = STARTF_USESTDHANDLES;
      si.hStdInput = si.hStdOutput = si.hStdError = nul.Get();
    }
  }
  const BOOL started =
      CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, static_cast<bool>(nul), 0, nullptr, nullptr, &si, &pi);
  nul.Close();
  if (!started) return false;
  const platform::ProcessHandles process(pi);
  bool ok = true;
  if (wait) {
    ok = WaitForSingleObject(process.process.Get(), 60000) == WAIT_OBJECT_0;
    if (exitCode) GetExitCodeProcess(process.process.Get(), exitCode);
  }
  return ok;
}

// Runs a program to its end with its standard output in `outputFile`.
inline bool RunProgramToFile(const std::wstring& commandLine, const std::wstring& outputFile, DWORD* exitCode) {
  SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
  platform::KernelHandle out(
      CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr));
  if (!out) return false;
  std::wstring cmd = commandLine;
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = si.hStdError = out.Get();
  PROCESS_INFORMATION pi = {};
  const BOOL started = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  out.Close();
  if (!started) return false;
  const platform::ProcessHandles process(pi);
  const bool ok = WaitForSingleObject(process.process.Get(), 60000) == WAIT_OBJECT_0;
  if (exitCode) GetExitCodeProcess(process.process.Get(), exitCode);
  return ok;
}

// Asks the running service to end and waits for it.
inline bool StopService() {
  if (!IsServiceRunning()) return true;
  platform::ComRef<IDeviceServiceControl> control;
  if (SUCCEEDED(CoCreateInstance(CLSID_DeviceServiceControl, nullptr, CLSCTX_LOCAL_SERVER,
                                 __uuidof(IDeviceServiceControl), control.OutVoid()))) {
    control->Shutdown();
    control.Reset();
  }
  // Writing the state and ending can take long on a loaded machine; the wait ends
  // as soon as the service is gone.
  return WaitForServiceExit(60000);
}

// Registers `exe` and starts it on `dataFolder` (empty: its default folder);
// true once it answers.
inline bool StartService(const std::wstring& exe, const std::wstring& dataFolder) {
  DWORD code = 1;
  if (!RunProgram(L"\"" + exe + L"\" /RegServer", &code) || code != 0) return false;
  std::wstring cmd = L"\"" + exe + L"\"";
  if (!dataFolder.empty()) {
    std::wstring folder = dataFolder;  // a trailing backslash would escape the closing quote
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    cmd += L" /datadir \"" + folder + L"\"";
  }
  if (!RunProgram(cmd, nullptr, false)) return false;
  for (int i = 0; i < 300; ++i) {
    if (IsServiceRunning()) {
      platform::ComRef<IDeviceServiceControl> control;
      if (SUCCEEDED(CoCreateInstance(CLSID_DeviceServiceControl, nullptr, CLSCTX_LOCAL_SERVER,
                                     __uuidof(IDeviceServiceControl), control.OutVoid())))
        return true;
    }
    Sleep(50);
  }
  return false;
}

inline std::wstring NewDataFolder(const wchar_t* prefix) {
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  std::wstring folder = std::wstring(base) + prefix + std::to_wstring(GetCurrentProcessId()) + L"-" +
                        std::to_wstring(GetTickCount64()) + L"\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}
