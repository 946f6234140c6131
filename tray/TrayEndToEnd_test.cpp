// The installed tray against the real DeviceService.exe on a data folder of its
// own: one instance, its three connections, a key's program launch, the
// keyboard's removal and return, and "Close Tray Icon". Runs alone: it stops
// the session's resident service (the harness starts it again afterwards).
#include <windows.h>
#include <dbt.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "device/DeviceRecords.h"
#include "platform/testing/WinePath.h"
#include "service/ServiceLauncher.h"

namespace {

const std::wstring kTrayExe = DosPath(TRAY_EXE);
const std::wstring kProbeExe = DosPath(PROBE_EXE);
const std::wstring kServiceExe = DosPath(SERVICE_EXE);

template <typename T>
struct Ref {
  T* p = nullptr;
  ~Ref() {
    if (p) p->Release();
  }
  T* operator->() const { return p; }
  void** Out() { return reinterpret_cast<void**>(&p); }
};

template <typename F>
bool WaitFor(F done, DWORD timeoutMs = 15000) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (!done()) {
    if (GetTickCount64() >= end) return false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(50);
  }
  return true;
}

// Started with NUL as its standard handles (see RunProgram); the caller closes the handles.
PROCESS_INFORMATION Start(const std::wstring& exe) {
  std::wstring cmd = L"\"" + exe + L"\"";
  SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
  HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                           OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = si.hStdOutput = si.hStdError = nul;
  PROCESS_INFORMATION pi = {};
  CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  CloseHandle(nul);
  return pi;
}

struct WindowSearch {
  DWORD pid;  // 0: any process
  const wchar_t* className;
  HWND found = nullptr;
};

BOOL CALLBACK FindWindowOf(HWND hwnd, LPARAM lp) {
  auto* search = reinterpret_cast<WindowSearch*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t name[128] = {};
  GetClassNameW(hwnd, name, 128);
  if ((search->pid == 0 || pid == search->pid) && std::wstring(name) == search->className) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND WindowOf(DWORD pid, const wchar_t* className) {
  WindowSearch search{pid, className};
  EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool TrayRunning() {
  HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, L"MorvelSysTray");
  if (!mutex) return false;
  CloseHandle(mutex);
  return true;
}

// A tray left running by someone else: "Close Tray Icon" on each hidden dialog of
// a process holding the name.
void CloseRunningTrays() {
  if (!TrayRunning()) return;
  struct All {
    static BOOL CALLBACK Close(HWND hwnd, LPARAM) {
      wchar_t name[128] = {};
      GetClassNameW(hwnd, name, 128);
      if (std::wstring(name) == L"#32770" && !IsWindowVisible(hwnd)) PostMessageW(hwnd, WM_COMMAND, 33000, 0);
      return TRUE;
    }
  };
  EnumWindows(All::Close, 0);
  WaitFor([] { return !TrayRunning(); }, 10000);
}

class TrayEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CloseRunningTrays();
    ASSERT_FALSE(TrayRunning());
    ASSERT_TRUE(StopService());
    ASSERT_TRUE(StartService(kServiceExe, NewDataFolder(L"tray-e2e-")));
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_DeviceServiceControl, nullptr, CLSCTX_LOCAL_SERVER,
                                           __uuidof(IDeviceServiceControl), control.Out())));
    ASSERT_TRUE(SUCCEEDED(control->ResetToFactory()));
  }
  void TearDown() override {
    if (tray.hProcess) {
      if (WaitForSingleObject(tray.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(tray.hProcess, 99);
      CloseHandle(tray.hProcess);
      CloseHandle(tray.hThread);
    }
    if (HWND probe = WindowOf(0, L"KestraneOvrixTrayProbe")) PostMessageW(probe, WM_CLOSE, 0, 0);
    if (control.p) {
      control->Release();
      control.p = nullptr;
    }
    StopService();
    CoUninitialize();
  }

  size_t Calls(const wchar_t* method) {
    BSTR text = nullptr;
    if (FAILED(control->GetCallLog(&text)) || !text) return 0;
    const std::wstring log(text, SysStringLen(text));
    SysFreeString(text);
    size_t n = 0;
    for (size_t at = log.find(method); at != std::wstring::npos; at = log.find(method, at + 1)) ++n;
    return n;
  }
  bool WaitForCalls(const wchar_t* method, size_t count) {
    return WaitFor([&] { return Calls(method) >= count; }) && Calls(method) == count;
  }

  // A key of the active profile that launches the probe; its device key code.
  DWORD AssignProbeToAKey() {
    Ref<IDeviceManager> manager;
    Ref<IDevice> device;
    Ref<IApplicationManager> apps;
    Ref<IDeviceApplication> app;
    Ref<IProfileManager> profiles;
    Ref<IDeviceProfile> active;
    Ref<IKeyAssignments> keys;
    GUID appId{};
    if (FAILED(CoCreateInstance(CLSID_DeviceServiceClass, nullptr, kDeviceServiceContext, __uuidof(IDeviceManager),
                                manager.Out())) ||
        FAILED(manager->GetDevice(0, &device.p)) ||
        FAILED(device->GetFeature(__uuidof(IApplicationManager), apps.Out())) ||
        FAILED(apps->CreateApplication(&app.p)) || FAILED(app->SetName(kProbeExe.c_str())) ||
        FAILED(app->GetId(&appId)) || FAILED(device->GetFeature(__uuidof(IProfileManager), profiles.Out())) ||
        FAILED(profiles->GetActiveProfile(&active.p)) ||
        FAILED(active->GetFeature(__uuidof(IKeyAssignments), keys.Out())))
      return 0;
    DeviceKeyAssignment first{};
    DWORD count = 1;
    DeviceKeyAssignment* buffer = &first;
    if (FAILED(keys->GetAssignments(&count, &buffer)) || count != 1) return 0;
    DeviceKeyAssignment launch{};
    launch.keyCode = first.keyCode;
    launch.type = DEVICE_ASSIGN_LAUNCH;
    SetDeviceRecordGuid(launch, 12, appId);
    if (FAILED(keys->SetAssignments(1, &launch))) return 0;
    return first.keyCode;
  }

  Ref<IDeviceServiceControl> control;
  PROCESS_INFORMATION tray{};
};

TEST_F(TrayEndToEnd, OneTrayWithItsConnectionsLaunchesRemovesReturnsAndCloses) {
  const DWORD keyCode = AssignProbeToAKey();
  ASSERT_NE(keyCode, 0u);
  control->ClearCallLog();

  tray = Start(kTrayExe);
  ASSERT_NE(tray.hProcess, nullptr);
  HWND dialog = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (dialog = WindowOf(tray.dwProcessId, L"#32770")) != nullptr; }));
  ASSERT_TRUE(WaitForCalls(L"IConnectionPoint::Advise", 3));

  // A second start ends at once; the first runs on.
  PROCESS_INFORMATION second = Start(kTrayExe);
  ASSERT_NE(second.hProcess, nullptr);
  EXPECT_EQ(WaitForSingleObject(second.hProcess, 15000), WAIT_OBJECT_0);
  DWORD secondCode = 99;
  GetExitCodeProcess(second.hProcess, &secondCode);
  EXPECT_EQ(secondCode, 0u);
  CloseHandle(second.hProcess);
  CloseHandle(second.hThread);
  EXPECT_EQ(WaitForSingleObject(tray.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(IsWindow(dialog));
  EXPECT_EQ(Calls(L"IConnectionPoint::Advise"), 3u);

  // The key's program launch reaches the tray, which starts the probe.
  HANDLE probeStarted = CreateEventW(nullptr, TRUE, FALSE, L"KestraneOvrixTrayProbeStarted");
  ASSERT_NE(probeStarted, nullptr);
  EXPECT_EQ(control->PressKey(keyCode), S_OK);
  EXPECT_EQ(WaitForSingleObject(probeStarted, 15000), WAIT_OBJECT_0) << "the probe did not start";
  CloseHandle(probeStarted);
  if (HWND probe = WindowOf(0, L"KestraneOvrixTrayProbe")) PostMessageW(probe, WM_CLOSE, 0, 0);

  // Unplugged: the next tick drops all three; plugged again: the next tick connects.
  control->ClearCallLog();
  control->SetPlugged(FALSE);
  PostMessageW(dialog, WM_TIMER, 700, 0);
  EXPECT_TRUE(WaitForCalls(L"IConnectionPoint::Unadvise", 3));
  control->ClearCallLog();
  control->SetPlugged(TRUE);
  PostMessageW(dialog, WM_TIMER, 700, 0);
  EXPECT_TRUE(WaitForCalls(L"IConnectionPoint::Advise", 3));

  // A removal message from another process.
  const std::wstring name = L"\\\\?\\HID#VID_2F7A&PID_0C41&MI_00#7&2&0&0000#{378de44c-56ef-11d1-bc8c-00a0c91405dd}";
  std::vector<unsigned char> bytes(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) +
                                   (name.size() + 1) * sizeof(wchar_t));
  auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(bytes.data());
  record->dbcc_size = static_cast<DWORD>(bytes.size());
  record->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  std::memcpy(record->dbcc_name, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
  control->ClearCallLog();
  DWORD_PTR answer = 0;
  EXPECT_NE(SendMessageTimeoutW(dialog, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE,
                                reinterpret_cast<LPARAM>(bytes.data()), SMTO_ABORTIFHUNG, 10000, &answer),
            0);
  EXPECT_TRUE(WaitForCalls(L"IConnectionPoint::Unadvise", 3));
  control->ClearCallLog();
  PostMessageW(dialog, WM_TIMER, 700, 0);
  EXPECT_TRUE(WaitForCalls(L"IConnectionPoint::Advise", 3));

  // "Close Tray Icon": the program ends cleanly and leaves no sink behind.
  control->ClearCallLog();
  PostMessageW(dialog, WM_COMMAND, 33000, 0);
  ASSERT_EQ(WaitForSingleObject(tray.hProcess, 15000), WAIT_OBJECT_0);
  DWORD code = 99;
  GetExitCodeProcess(tray.hProcess, &code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(Calls(L"IConnectionPoint::Unadvise"), 3u);
  EXPECT_EQ(Calls(L"IConnectionPoint::Advise"), 0u);
  EXPECT_FALSE(TrayRunning());
}

}  // namespace
