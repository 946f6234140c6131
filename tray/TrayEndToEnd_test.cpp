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
#include "platform/Com.h"
#include "platform/Gdi.h"
#include "platform/Handles.h"
#include "platform/Registry.h"
#include "platform/Strings.h"
#include "platform/testing/OtherPrograms.h"
#include "platform/testing/WinePath.h"
#include "service/ServiceCalls.h"
#include "service/ServiceLauncher.h"
#include "tray/DeviceManager.h"

namespace {

const std::wstring kTrayExe = DosPath(TRAY_EXE);
const std::wstring kProbeExe = DosPath(PROBE_EXE);
const std::wstring kServiceExe = DosPath(SERVICE_EXE);

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

// Started with NUL as its standard handles (see RunProgram); empty when it did not start.
platform::ProcessHandles Start(const std::wstring& exe) {
  PROCESS_INFORMATION pi = {};
  platform::testing::StartProgram(L"\"" + exe + L"\"", nullptr, pi);
  return platform::ProcessHandles(pi);
}

HWND WindowOf(DWORD pid, const wchar_t* className) { return platform::testing::TopWindowOf(pid, className); }

bool TrayRunning() {
  return static_cast<bool>(platform::KernelHandle(OpenMutexW(SYNCHRONIZE, FALSE, L"MorvelSysTray")));
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
    com.Initialize(COINIT_APARTMENTTHREADED);
    CloseRunningTrays();
    ASSERT_FALSE(TrayRunning());
    ASSERT_TRUE(StopService());
    dataFolder = NewDataFolder(L"tray-e2e-");
    ASSERT_TRUE(StartService(kServiceExe, dataFolder));
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_DeviceServiceControl, nullptr, CLSCTX_LOCAL_SERVER,
                                           __uuidof(IDeviceServiceControl), control.OutVoid())));
    ASSERT_TRUE(SUCCEEDED(control->ResetToFactory()));
  }
  void TearDown() override {
    if (tray.process) {
      if (WaitForSingleObject(tray.process.Get(), 0) == WAIT_TIMEOUT) TerminateProcess(tray.process.Get(), 99);
      tray = {};
    }
    if (HWND probe = WindowOf(0, L"KestraneOvrixTrayProbe")) PostMessageW(probe, WM_CLOSE, 0, 0);
    if (probe.process) {
      if (WaitForSingleObject(probe.process.Get(), 5000) == WAIT_TIMEOUT) TerminateProcess(probe.process.Get(), 99);
      probe = {};
    }
    control.Reset();
    StopService();
    com.Uninitialize();
  }

  std::wstring CallLog() { return ReadCallLog(control.Get()); }
  size_t Calls(const wchar_t* method) { return CallsIn(CallLog(), method); }
  // Fails with the service's whole call log, which shows how far the tray got.
  ::testing::AssertionResult WaitForCalls(const wchar_t* method, size_t count) {
    if (WaitFor([&] { return Calls(method) >= count; }) && Calls(method) == count)
      return ::testing::AssertionSuccess();
    const std::wstring log = CallLog();
    return ::testing::AssertionFailure() << Calls(method) << " calls, the call log:\n"
                                         << platform::WideToUtf8(log);
  }

  // A key of the active profile that launches the probe; its device key code.
  DWORD AssignProbeToAKey() {
    platform::ComRef<IDeviceManager> manager;
    platform::ComRef<IDevice> device;
    platform::ComRef<IApplicationManager> apps;
    platform::ComRef<IDeviceApplication> app;
    platform::ComRef<IProfileManager> profiles;
    platform::ComRef<IDeviceProfile> active;
    platform::ComRef<IKeyAssignments> keys;
    GUID appId{};
    if (FAILED(CoCreateInstance(CLSID_DeviceServiceClass, nullptr, kDeviceServiceContext, __uuidof(IDeviceManager),
                                manager.OutVoid())) ||
        FAILED(manager->GetDevice(0, device.Out())) ||
        FAILED(device->GetFeature(__uuidof(IApplicationManager), apps.OutVoid())) ||
        FAILED(apps->CreateApplication(app.Out())) || FAILED(app->SetName(kProbeExe.c_str())) ||
        FAILED(app->GetId(&appId)) || FAILED(device->GetFeature(__uuidof(IProfileManager), profiles.OutVoid())) ||
        FAILED(profiles->GetActiveProfile(active.Out())) ||
        FAILED(active->GetFeature(__uuidof(IKeyAssignments), keys.OutVoid())))
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

  platform::ComApartment com;
  platform::ComRef<IDeviceServiceControl> control;
  std::wstring dataFolder;
  platform::ProcessHandles tray;
  platform::ProcessHandles probe;
};

TEST_F(TrayEndToEnd, OneTrayWithItsConnectionsLaunchesRemovesReturnsAndCloses) {
  const DWORD keyCode = AssignProbeToAKey();
  ASSERT_NE(keyCode, 0u);
  control->ClearCallLog();

  tray = Start(kTrayExe);
  ASSERT_NE(tray.process.Get(), nullptr);
  HWND dialog = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (dialog = WindowOf(tray.id, L"#32770")) != nullptr; }));
  ASSERT_TRUE(WaitForCalls(L"IConnectionPoint::Advise", 3));

  // A second start ends at once; the first runs on.
  platform::ProcessHandles second = Start(kTrayExe);
  ASSERT_NE(second.process.Get(), nullptr);
  EXPECT_EQ(WaitForSingleObject(second.process.Get(), 15000), WAIT_OBJECT_0);
  DWORD secondCode = 99;
  GetExitCodeProcess(second.process.Get(), &secondCode);
  EXPECT_EQ(secondCode, 0u);
  second = {};
  EXPECT_EQ(WaitForSingleObject(tray.process.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(IsWindow(dialog));
  EXPECT_EQ(Calls(L"IConnectionPoint::Advise"), 3u);

  // The key's program launch reaches the tray, which starts the probe.
  platform::KernelHandle probeStarted(CreateEventW(nullptr, TRUE, FALSE, L"KestraneOvrixTrayProbeStarted"));
  ASSERT_NE(probeStarted.Get(), nullptr);
  EXPECT_EQ(control->PressKey(keyCode), S_OK);
  EXPECT_EQ(WaitForSingleObject(probeStarted.Get(), 15000), WAIT_OBJECT_0) << "the probe did not start";
  probeStarted.Close();
  if (HWND probe = WindowOf(0, L"KestraneOvrixTrayProbe")) PostMessageW(probe, WM_CLOSE, 0, 0);
  // The probe signals once its window shows; the tray's launch may still be
  // waiting for it to take input. The ticks below are the tray's next messages.
  DWORD_PTR idle = 0;
  EXPECT_NE(SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &idle), 0)
      << "the tray did not come back from the launch";

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
  ASSERT_EQ(WaitForSingleObject(tray.process.Get(), 15000), WAIT_OBJECT_0);
  DWORD code = 99;
  GetExitCodeProcess(tray.process.Get(), &code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(Calls(L"IConnectionPoint::Unadvise"), 3u);
  EXPECT_EQ(Calls(L"IConnectionPoint::Advise"), 0u);
  EXPECT_FALSE(TrayRunning());
}


// A visible window of the test's own, to take the foreground from the probe.
class TestWindow {
 public:
  TestWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TrayEndToEndFront";
    RegisterClassW(&wc);
    hwnd = CreateWindowExW(0, wc.lpszClassName, L"front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 200, 200, 150,
                           nullptr, nullptr, wc.hInstance, nullptr);
  }
  ~TestWindow() {
    if (hwnd) DestroyWindow(hwnd);
  }
  bool ToFront() {
    SetForegroundWindow(hwnd);
    return WaitFor([&] { return GetForegroundWindow() == hwnd; }, 5000);
  }
  HWND hwnd = nullptr;
};

std::wstring ActiveProfileName() {
  platform::ComRef<IDeviceManager> manager;
  platform::ComRef<IDevice> device;
  platform::ComRef<IProfileManager> profiles;
  platform::ComRef<IDeviceProfile> active;
  LPWSTR name = nullptr;
  if (FAILED(CoCreateInstance(CLSID_DeviceServiceClass, nullptr, kDeviceServiceContext, __uuidof(IDeviceManager),
                              manager.OutVoid())) ||
      FAILED(manager->GetDevice(0, device.Out())) ||
      FAILED(device->GetFeature(__uuidof(IProfileManager), profiles.OutVoid())) ||
      FAILED(profiles->GetActiveProfile(active.Out())) || FAILED(active->GetName(&name)) || !name)
    return L"";
  std::wstring text(name);
  CoTaskMemFree(name);
  return text;
}

// Text-coloured pixels of the screen inside the window's rectangle.
int TextPixelsOnScreen(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  const int w = rect.right - rect.left, h = rect.bottom - rect.top;
  if (w <= 0 || h <= 0) return 0;
  CClientDC screen(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, rect.left, rect.top, SRCCOPY);
  int n = 0;
  for (int y = 0; y < h; ++y)
    for (int x = w / 2; x < w; ++x) {
      const COLORREF c = GetPixel(memory, x, y);
      n += GetRValue(c) < 0x20 && GetBValue(c) < 0x20 && GetGValue(c) >= 0xC8 && GetGValue(c) <= 0xFE;
    }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  return n;
}

std::wstring WindowText(HWND window) {
  wchar_t text[300] = {};
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, 300, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &copied);
  return text;
}

TEST_F(TrayEndToEnd, TheLinkedProgramInFrontSwitchesAndShowsTheProfileAndItsEndReturns) {
  {
    platform::ComRef<IDeviceManager> manager;
    platform::ComRef<IDevice> device;
    platform::ComRef<IProfileManager> profiles;
    platform::ComRef<IDeviceProfile> created;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_DeviceServiceClass, nullptr, kDeviceServiceContext,
                                           __uuidof(IDeviceManager), manager.OutVoid())));
    ASSERT_TRUE(SUCCEEDED(manager->GetDevice(0, device.Out())));
    ASSERT_TRUE(SUCCEEDED(device->GetFeature(__uuidof(IProfileManager), profiles.OutVoid())));
    ASSERT_TRUE(SUCCEEDED(profiles->CreateProfile(created.Out())));
    ASSERT_TRUE(SUCCEEDED(created->SetName(L"Profile 2")));
  }
  {
    CDeviceManager manager;
    ASSERT_TRUE(manager.SetProfileProgramPath(L"Profile 2", L"TrayProbe.exe"));
    ASSERT_TRUE(manager.ChangeProfileFlag(L"Profile 2", 1, 0, 1));
  }
  ASSERT_EQ(ActiveProfileName(), L"Profile 1");
  TestWindow front;
  ASSERT_TRUE(front.ToFront());

  tray = Start(kTrayExe);
  ASSERT_NE(tray.process.Get(), nullptr);
  HWND dialog = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (dialog = WindowOf(tray.id, L"#32770")) != nullptr; }));
  ASSERT_TRUE(WaitForCalls(L"IConnectionPoint::Advise", 3));
  HWND osd = WindowOf(tray.id, L"csl_osd");
  ASSERT_NE(osd, nullptr);

  // The probe takes the foreground; within one real tick its profile is active and named on screen.
  probe = Start(kProbeExe);
  ASSERT_NE(probe.process.Get(), nullptr);
  ASSERT_TRUE(WaitFor([&] {
    HWND p = WindowOf(probe.id, L"KestraneOvrixTrayProbe");
    return p && GetForegroundWindow() == p;
  }, 5000));
  EXPECT_TRUE(WaitFor([] { return ActiveProfileName() == L"Profile 2"; }, 7000));
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(osd) && WindowText(osd) == L"Profile 2"; }, 3000));
  EXPECT_TRUE(WaitFor([&] { return TextPixelsOnScreen(osd) > 10; }, 2000)) << "the name drawn on the screen";

  // The test's window in front again: the tray goes back to the profile it took over from.
  ASSERT_TRUE(front.ToFront());
  PostMessageW(dialog, WM_TIMER, 700, 0);
  EXPECT_TRUE(WaitFor([] { return ActiveProfileName() == L"Profile 1"; }, 5000));
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(osd); }, 4000)) << "the display hides by itself";
}

std::wstring DumpText(IDeviceServiceControl* control) {
  BSTR text = nullptr;
  if (FAILED(control->DumpState(&text)) || !text) return L"";
  std::wstring dump(text, SysStringLen(text));
  SysFreeString(text);
  return dump;
}

void SendKey(WORD vk, WORD scan, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.wScan = scan;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof(input));
}

void Tap(WORD vk) {
  const WORD scan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  SendKey(vk, scan, false);
  Sleep(40);
  SendKey(vk, scan, true);
  Sleep(40);
}

// The keyboard starts a recording; true once the tray has put it in recording
// mode with the light on.
bool StartRecording(IDeviceServiceControl* control) {
  if (control->Recording(1, 0) != S_OK) return false;
  const bool started = WaitFor([&] {
    const std::wstring dump = DumpText(control);
    return dump.find(L"mode=2") != std::wstring::npos &&
           dump.find(L"led id=7 on=1 color=255 effect=0") != std::wstring::npos;
  });
  // The tray registers its raw input right after the light: give its handler time to end.
  WaitFor([] { return false; }, 500);
  return started;
}

// A and B typed into the test's window during a recording, then stop and finish
// on key 0x3B: the service's state once the tray has stored "New Macro1", which
// holds A down, delay, A up, delay, B down, delay, B up and nothing else.
::testing::AssertionResult RecordAAndB(IDeviceServiceControl* control, TestWindow& front, std::wstring& dump) {
  if (!StartRecording(control)) return ::testing::AssertionFailure() << "no recording mode:\n" << platform::WideToUtf8(DumpText(control));
  if (!front.ToFront()) return ::testing::AssertionFailure() << "the test's window is not in front";
  if (MapVirtualKeyW('A', MAPVK_VK_TO_VSC) != 0x1E || MapVirtualKeyW('B', MAPVK_VK_TO_VSC) != 0x30)
    return ::testing::AssertionFailure() << "another keyboard layout";
  Tap('A');
  Tap('B');
  // The tray's raw input comes through its queue after COM's calls: let it arrive before the stop.
  // A loaded machine has been seen to take more than a second before the tray read it.
  WaitFor([] { return false; }, 2500);
  if (control->Recording(2, 0) != S_OK || control->Recording(3, 0x3B) != S_OK)
    return ::testing::AssertionFailure() << "the service refused the stop or the finish";
  if (!WaitFor([&] {
        dump = DumpText(control);
        return dump.find(L"name=\"New Macro1\"") != std::wstring::npos && dump.find(L"mode=1") != std::wstring::npos;
      }))
    return ::testing::AssertionFailure() << "no macro stored:\n" << platform::WideToUtf8(dump);
  const size_t macro = dump.find(L"name=\"New Macro1\" events=7");
  if (macro == std::wstring::npos) return ::testing::AssertionFailure() << "not 7 events:\n" << platform::WideToUtf8(dump);
  const wchar_t* expected[] = {L"type=2 data=0x0000001E", L"type=3", L"type=2 data=0x0001001E", L"type=3",
                               L"type=2 data=0x00000030", L"type=3", L"type=2 data=0x00010030"};
  size_t at = macro;
  for (const wchar_t* event : expected) {
    at = dump.find(L"  event ", at);
    if (at == std::wstring::npos) return ::testing::AssertionFailure() << "events missing:\n" << platform::WideToUtf8(dump);
    const size_t end = dump.find(L'\n', at);
    if (dump.substr(at, end - at).find(event) == std::wstring::npos)
      return ::testing::AssertionFailure() << "expected " << platform::WideToUtf8(event) << ", got "
                                           << platform::WideToUtf8(dump.substr(at, end - at));
    at = end;
  }
  return ::testing::AssertionSuccess();
}

TEST_F(TrayEndToEnd, AKeyboardRecordingEndsAsANewMacroOnTheNamedKey) {
  TestWindow front;
  ASSERT_TRUE(front.ToFront());
  tray = Start(kTrayExe);
  ASSERT_NE(tray.process.Get(), nullptr);
  ASSERT_TRUE(WaitFor([&] { return WindowOf(tray.id, L"#32770") != nullptr; }));
  ASSERT_TRUE(WaitForCalls(L"IConnectionPoint::Advise", 3));

  std::wstring dump;
  ASSERT_TRUE(RecordAAndB(control.Get(), front, dump));
  // The active profile's key 0x3B plays it once; the light is off.
  EXPECT_NE(dump.find(L"led id=7 on=0"), std::wstring::npos) << dump;
  platform::ComRef<IDeviceManager> manager;
  platform::ComRef<IDevice> device;
  platform::ComRef<IMacroManager> macros;
  platform::ComRef<IDeviceMacro> made;
  platform::ComRef<IProfileManager> profiles;
  platform::ComRef<IDeviceProfile> active;
  platform::ComRef<IKeyAssignments> keys;
  GUID macroId{};
  ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_DeviceServiceClass, nullptr, kDeviceServiceContext,
                                         __uuidof(IDeviceManager), manager.OutVoid())));
  ASSERT_TRUE(SUCCEEDED(manager->GetDevice(0, device.Out())));
  ASSERT_TRUE(SUCCEEDED(device->GetFeature(__uuidof(IMacroManager), macros.OutVoid())));
  ASSERT_TRUE(SUCCEEDED(macros->GetMacro(0, made.Out())));
  ASSERT_TRUE(SUCCEEDED(made->GetId(&macroId)));
  ASSERT_TRUE(SUCCEEDED(device->GetFeature(__uuidof(IProfileManager), profiles.OutVoid())));
  ASSERT_TRUE(SUCCEEDED(profiles->GetActiveProfile(active.Out())));
  ASSERT_TRUE(SUCCEEDED(active->GetFeature(__uuidof(IKeyAssignments), keys.OutVoid())));
  std::vector<DeviceKeyAssignment> records(1024);
  DWORD count = static_cast<DWORD>(records.size());
  DeviceKeyAssignment* buffer = records.data();
  ASSERT_TRUE(SUCCEEDED(keys->GetAssignments(&count, &buffer)));
  const DeviceKeyAssignment* key = nullptr;
  for (DWORD i = 0; i < count; ++i)
    if (records[i].keyCode == 0x3B) key = &records[i];
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->type, DEVICE_ASSIGN_MACRO);
  EXPECT_TRUE(IsEqualGUID(DeviceRecordGuid(*key, 12), macroId));
  EXPECT_EQ(DeviceRecordByte(*key, 28), 1);
}

// While it lives, COM starts the service on the test's data folder, whoever asks
// first (the test, or a tick of the tray that finds the service gone); the plain
// registration comes back at its end.
class ServiceCommandWithDataFolder {
 public:
  explicit ServiceCommandWithDataFolder(std::wstring folder) {
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    const std::wstring command = L"\"" + kServiceExe + L"\" /datadir \"" + folder + L"\"";
    for (const GUID* clsid : {&CLSID_DeviceServiceClass, &CLSID_DeviceServiceControl}) {
      wchar_t text[40] = {};
      StringFromGUID2(*clsid, text, 40);
      const std::wstring path = std::wstring(L"Software\\Classes\\CLSID\\") + text + L"\\LocalServer32";
      platform::RegistryKey key;
      ok = ok && key.Create(HKEY_LOCAL_MACHINE, path, KEY_SET_VALUE) == ERROR_SUCCESS;
      if (!key) continue;
      ok = ok && key.WriteString(nullptr, command) == ERROR_SUCCESS;
    }
  }
  ~ServiceCommandWithDataFolder() {
    DWORD code = 1;
    RunProgram(L"\"" + kServiceExe + L"\" /RegServer", &code);
  }
  ServiceCommandWithDataFolder(const ServiceCommandWithDataFolder&) = delete;
  ServiceCommandWithDataFolder& operator=(const ServiceCommandWithDataFolder&) = delete;
  bool ok = true;
};

// The service stops and starts again while the tray runs (an update; a crash and
// COM's restart): the connections the tray holds lead nowhere. Its next tick
// connects to the new service, and the recording the old one was running is
// over: the light it left on goes off, and its keys are not part of the next one.
TEST_F(TrayEndToEnd, AfterTheServiceRestartsTheNextTickConnectsAgainAndARecordingThenWorks) {
  ServiceCommandWithDataFolder command(dataFolder);
  ASSERT_TRUE(command.ok);
  TestWindow front;
  ASSERT_TRUE(front.ToFront());
  tray = Start(kTrayExe);
  ASSERT_NE(tray.process.Get(), nullptr);
  HWND dialog = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (dialog = WindowOf(tray.id, L"#32770")) != nullptr; }));
  ASSERT_TRUE(WaitForCalls(L"IConnectionPoint::Advise", 3));

  ASSERT_TRUE(StartRecording(control.Get()));
  ASSERT_TRUE(front.ToFront());
  Tap('C');
  WaitFor([] { return false; }, 500);

  control.Reset();
  ASSERT_TRUE(StopService());
  // Started again by COM for the first client that asks.
  ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_DeviceServiceControl, nullptr, CLSCTX_LOCAL_SERVER,
                                         __uuidof(IDeviceServiceControl), control.OutVoid())));
  PostMessageW(dialog, WM_TIMER, 700, 0);
  EXPECT_TRUE(WaitForCalls(L"IConnectionPoint::Advise", 3));
  EXPECT_TRUE(WaitFor([&] { return DumpText(control.Get()).find(L"led id=7 on=0") != std::wstring::npos; }))
      << platform::WideToUtf8(DumpText(control.Get()));

  std::wstring dump;
  EXPECT_TRUE(RecordAAndB(control.Get(), front, dump));
}

}  // namespace
