// DeviceService.exe: the stand-in device service, a local COM server that stays
// resident until asked to stop (DeviceServiceCtl stop) or the session ends.
//   DeviceService.exe /RegServer | /UnregServer   register or remove the classes
//   DeviceService.exe [/datadir FOLDER]           serve (state and log in FOLDER)
#include <windows.h>

#include <shellapi.h>

#include <memory>
#include <string>

#include "platform/Handles.h"
#include "platform/Strings.h"
#include "service/ServiceHost.h"
#include "service/ServiceObjects.h"
#include "service/SimKeyboard.h"

namespace {

bool IsSwitch(const wchar_t* arg, const wchar_t* name) {
  return (arg[0] == L'/' || arg[0] == L'-') && platform::EqualsNoCase(arg + 1, name);
}

std::wstring ExePath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

CServiceCore* g_core = nullptr;

// A hidden top-level window: only those hear that the session ends.
LRESULT CALLBACK SessionWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_QUERYENDSESSION) {
    if (g_core) g_core->Flush();
    return TRUE;
  }
  if (msg == WM_ENDSESSION && wp) {
    if (g_core) {
      g_core->Log(L"session ends");
      g_core->Flush();
    }
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::wstring dataFolder;
  for (int i = 1; argv && i < argc; ++i) {
    if (IsSwitch(argv[i], L"RegServer")) return SUCCEEDED(RegisterDeviceService(ExePath())) ? 0 : 1;
    if (IsSwitch(argv[i], L"UnregServer")) return SUCCEEDED(UnregisterDeviceService(ExePath())) ? 0 : 1;
    if (IsSwitch(argv[i], L"datadir") && i + 1 < argc) {
      dataFolder = argv[++i];
      if (!dataFolder.empty() && dataFolder.back() != L'\\') dataFolder += L'\\';
      CreateDirectoryW(dataFolder.c_str(), nullptr);
    }
  }
  if (argv) LocalFree(argv);

  platform::KernelHandle single(CreateMutexW(nullptr, TRUE, kServiceMutexName));
  if (!single || GetLastError() == ERROR_ALREADY_EXISTS) return 2;  // already running
  if (dataFolder.empty()) dataFolder = DefaultServiceDataFolder();

  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 3;
  CServiceCore::Options options;
  options.stateFile = dataFolder + L"DeviceService.state";
  options.logFile = dataFolder + L"DeviceService.log";
  options.keyboard = SimKeyboardKeys();
  auto core = CServiceCore::Create(std::move(options));
  g_core = core.get();
  core->Log(L"service started, process " + std::to_wstring(GetCurrentProcessId()));
  core->SetShutdownHandler([] { PostQuitMessage(0); });

  WNDCLASSW wc = {};
  wc.lpfnWndProc = SessionWindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = L"OvrixDeviceServiceSession";
  RegisterClassW(&wc);
  HWND session = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);

  int code = 0;
  {
    CServiceClassRegistration classes(core);
    if (FAILED(classes.Status())) {
      core->Log(L"class registration failed");
      code = 4;
    } else {
      MSG msg;
      while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
  }
  // The classes are revoked (a new service can register) and the state is on disk.
  core->Flush();
  core->Log(L"service stopped");
  if (session) DestroyWindow(session);
  g_core = nullptr;
  ReleaseMutex(single.Get());
  single.Close();  // explicitly: ExitProcess below runs no destructor
  // The clients' sinks are not released one by one, nor COM shut down: each release
  // is a call into its client, and a client that does not answer (busy, hung, or
  // itself waiting for this service to end) would keep the service alive. Ending
  // the process drops every reference at once; the clients' next calls fail as
  // disconnected.
  ExitProcess(static_cast<UINT>(code));
}
