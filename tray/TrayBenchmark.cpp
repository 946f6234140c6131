// Prints how long one tick of the tray's profile switching takes through the
// real DeviceService.exe with 10 profiles linked to programs (none of them in
// the foreground, so the tick reads every profile and compares every program),
// and the service calls one tick makes. The service runs on a data folder of
// its own in place of the session's resident one. Figures only: no limits.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "service/ServiceLauncher.h"
#include "tray/DeviceManager.h"
#include "tray/TrayDialog.h"
#include "tray/TrayResources.h"

namespace {

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

size_t CallCount(IDeviceServiceControl* control) {
  BSTR text = nullptr;
  if (FAILED(control->GetCallLog(&text)) || !text) return 0;
  const std::wstring log(text, SysStringLen(text));
  SysFreeString(text);
  return static_cast<size_t>(std::count(log.begin(), log.end(), L'\n'));
}

bool AddLinkedProfiles(int count) {
  IDeviceManager* manager = nullptr;
  IDevice* device = nullptr;
  IProfileManager* profiles = nullptr;
  bool ok = SUCCEEDED(CoCreateInstance(CLSID_DeviceServiceClass, nullptr, kDeviceServiceContext,
                                       __uuidof(IDeviceManager), reinterpret_cast<void**>(&manager))) &&
            SUCCEEDED(manager->GetDevice(0, &device)) &&
            SUCCEEDED(device->GetFeature(__uuidof(IProfileManager), reinterpret_cast<void**>(&profiles)));
  for (int i = 2; ok && i <= count; ++i) {
    IDeviceProfile* profile = nullptr;
    ok = SUCCEEDED(profiles->CreateProfile(&profile)) &&
         SUCCEEDED(profile->SetName((L"Profile " + std::to_wstring(i)).c_str()));
    if (profile) profile->Release();
  }
  if (profiles) profiles->Release();
  if (device) device->Release();
  if (manager) manager->Release();
  CDeviceManager tray;
  for (int i = 1; ok && i <= count; ++i) {
    const std::wstring name = L"Profile " + std::to_wstring(i);
    ok = tray.SetProfileProgramPath(name, L"linked" + std::to_wstring(i) + L".exe") &&
         tray.ChangeProfileFlag(name, 1, 0, 1);
  }
  return ok;
}

}  // namespace

int wmain() {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const std::wstring serviceExe = DosPath(OVRIX_SERVICE_EXE);
  if (!StopService() || !StartService(serviceExe, NewDataFolder(L"tray-bench-"))) {
    std::printf("the service did not start\n");
    return 1;
  }
  int result = 0;
  {
    IDeviceServiceControl* control = nullptr;
    if (FAILED(CoCreateInstance(CLSID_DeviceServiceControl, nullptr, CLSCTX_LOCAL_SERVER,
                                __uuidof(IDeviceServiceControl), reinterpret_cast<void**>(&control))) ||
        FAILED(control->ResetToFactory()) || !AddLinkedProfiles(10)) {
      std::printf("the profiles could not be made\n");
      result = 1;
    } else {
      auto* dialog = new CPellinSysTrayDlg();
      dialog->m_bAutoDelete = false;
      dialog->Create(IDD_TRAY_DIALOG);
      Pump();
      constexpr int kTicks = 50;
      std::vector<double> times;
      size_t calls = 0;
      for (int i = 0; i < kTicks; ++i) {
        control->ClearCallLog();
        LARGE_INTEGER from, to;
        QueryPerformanceCounter(&from);
        SendMessageW(dialog->m_hWnd, WM_TIMER, DevicePollTimer, 0);
        QueryPerformanceCounter(&to);
        times.push_back(Milliseconds(from, to));
        calls = CallCount(control);
        Pump();
      }
      std::sort(times.begin(), times.end());
      std::printf("one tick, 10 linked profiles, none in front (%d ticks): min %.2f ms, median %.2f ms, max %.2f ms; "
                  "%u service calls per tick\n",
                  kTicks, times.front(), times[times.size() / 2], times.back(), static_cast<unsigned>(calls));
      delete dialog;
    }
    if (control) control->Release();
  }
  StopService();
  CoUninitialize();
  return result;
}
