// Prints how long one tick of the tray's profile switching takes through the
// real DeviceService.exe with 10 profiles linked to programs (none of them in
// the foreground, so the tick reads every profile and compares every program),
// and the service calls one tick makes. The service runs on a data folder of
// its own in place of the session's resident one. Figures only: no limits.
//
// Beside the time: the tick's floor, what its service calls cost at the least,
// and time / floor. Each call the service logs counts as one trivial call
// (IDeviceIdentity::GetIds), except a call that hands out a new object, which
// counts as such a call together with the release of the object's last
// reference. Two kinds of calls the service's log does not see are counted from
// the ones that follow them: each IDeviceManager::GetDevice comes after the
// activation of the service's class (CoCreateInstance, and the release of that
// manager), each IDeviceIdentity::GetIds after a QueryInterface for it (and the
// release of that interface). The walk over the profiles ends with a
// GetProfile past the last one, which hands out nothing: a trivial call. Each
// tick is set against the call costs measured right after it (the machine is
// shared and its load changes by the second); the ratio is the median of the
// ticks' own ratios.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "service/ServiceLauncher.h"
#include "tray/DeviceManager.h"
#include "tray/PcManager.h"
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

LARGE_INTEGER Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now;
}

// The methods the service logged since the last clear.
std::vector<std::wstring> CallLog(IDeviceServiceControl* control) {
  std::vector<std::wstring> lines;
  BSTR text = nullptr;
  if (SUCCEEDED(control->GetCallLog(&text)) && text) {
    const std::wstring all(text, SysStringLen(text));
    size_t start = 0;
    for (size_t nl; (nl = all.find(L'\n', start)) != std::wstring::npos; start = nl + 1)
      lines.push_back(all.substr(start, nl - start));
  }
  SysFreeString(text);
  return lines;
}

// Methods of the contract that hand out a new interface pointer.
bool HandsOutObject(const std::wstring& method) {
  static const wchar_t* const kMethods[] = {
      L"::GetDevice", L"::GetFeature", L"::GetProfile", L"::GetProfileById", L"::GetActiveProfile",
      L"::CreateProfile", L"::ImportProfile", L"::GetMacro", L"::GetMacroById", L"::CreateMacro",
      L"::ImportMacro", L"::GetApplication", L"::GetApplicationById", L"::CreateApplication"};
  for (const wchar_t* suffix : kMethods)
    if (method.ends_with(suffix)) return true;
  return false;
}

// What one call of each kind costs, in milliseconds.
struct CallCosts {
  double trivial = 0;     // IDeviceIdentity::GetIds
  double withObject = 0;  // IDevice::GetFeature of a new object, and its release
  double activation = 0;  // CoCreateInstance of the service's class, and its release
  double query = 0;       // QueryInterface for IDeviceIdentity on a new device, and its release
};

// Times calls of each kind, a few at a time, so that each tick can be set
// against costs measured right beside it: the machine is shared, and its load
// changes from one second to the next.
class CallCostProbe {
 public:
  bool Open() {
    return SUCCEEDED(CoCreateInstance(CLSID_DeviceServiceClass, nullptr, kDeviceServiceContext,
                                      __uuidof(IDeviceManager), m_manager.OutVoid())) &&
           SUCCEEDED(m_manager->GetDevice(0, m_device.Out())) &&
           SUCCEEDED(m_device->QueryInterface(__uuidof(IDeviceIdentity), m_identity.OutVoid()));
  }
  bool Measure(CallCosts& costs) {
    bool ok = true;
    DWORD vendor = 0, product = 0;
    costs.trivial = Each(20, [&] { ok = ok && SUCCEEDED(m_identity->GetIds(&vendor, &product)); });
    costs.withObject = Each(5, [&] {
      ComRef<IProfileManager> object;
      ok = ok && SUCCEEDED(GetFeatureOf(m_device.Get(), object));
    });
    costs.activation = Each(2, [&] {
      ComRef<IDeviceManager> another;
      ok = ok && SUCCEEDED(CoCreateInstance(CLSID_DeviceServiceClass, nullptr, kDeviceServiceContext,
                                            __uuidof(IDeviceManager), another.OutVoid()));
    });
    // Each query on a device object of its own, handed out before the timing.
    ComRef<IDevice> devices[2];
    for (auto& device : devices) ok = ok && SUCCEEDED(m_manager->GetDevice(0, device.Out()));
    size_t next = 0;
    costs.query = Each(2, [&] {
      ComRef<IDeviceIdentity> asked;
      ok = ok && SUCCEEDED(devices[next++]->QueryInterface(__uuidof(IDeviceIdentity), asked.OutVoid()));
    });
    return ok;
  }

 private:
  template <typename F>
  static double Each(int count, F call) {
    const LARGE_INTEGER from = Now();
    for (int i = 0; i < count; ++i) call();
    return Milliseconds(from, Now()) / count;
  }
  ComRef<IDeviceManager> m_manager;
  ComRef<IDevice> m_device;
  ComRef<IDeviceIdentity> m_identity;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct TickCalls {
  size_t logged = 0;
  size_t objects = 0;
  size_t activations = 0;
  size_t queries = 0;
  double FloorMs(const CallCosts& c) const {
    return static_cast<double>(logged - objects) * c.trivial + static_cast<double>(objects) * c.withObject +
           static_cast<double>(activations) * c.activation + static_cast<double>(queries) * c.query;
  }
};

constexpr int kProfiles = 10;

TickCalls Count(const std::vector<std::wstring>& calls) {
  TickCalls n;
  n.logged = calls.size();
  size_t lookups = 0;
  for (const std::wstring& call : calls) {
    n.objects += HandsOutObject(call);
    n.activations += call == L"IDeviceManager::GetDevice";
    n.queries += call == L"IDeviceIdentity::GetIds";
    lookups += call == L"IProfileManager::GetProfile";
  }
  // The lookups past the last profile, which end the walks, hand out nothing.
  if (lookups > kProfiles) n.objects -= lookups - kProfiles;
  return n;
}

bool AddLinkedProfiles(int count) {
  bool ok = false;
  {
    ComRef<IDeviceManager> manager;
    ComRef<IDevice> device;
    ComRef<IProfileManager> profiles;
    ok = SUCCEEDED(CoCreateInstance(CLSID_DeviceServiceClass, nullptr, kDeviceServiceContext, __uuidof(IDeviceManager),
                                    manager.OutVoid())) &&
         SUCCEEDED(manager->GetDevice(0, device.Out())) &&
         SUCCEEDED(device->GetFeature(__uuidof(IProfileManager), profiles.OutVoid()));
    for (int i = 2; ok && i <= count; ++i) {
      ComRef<IDeviceProfile> profile;
      ok = SUCCEEDED(profiles->CreateProfile(profile.Out())) &&
           SUCCEEDED(profile->SetName((L"Profile " + std::to_wstring(i)).c_str()));
    }
  }
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
  const platform::ComApartment com(COINIT_APARTMENTTHREADED);
  const std::wstring serviceExe = DosPath(OVRIX_SERVICE_EXE);
  if (!StopService() || !StartService(serviceExe, NewDataFolder(L"tray-bench-"))) {
    std::printf("the service did not start\n");
    return 1;
  }
  int result = 0;
  {
    ComRef<IDeviceServiceControl> control;
    if (FAILED(CoCreateInstance(CLSID_DeviceServiceControl, nullptr, CLSCTX_LOCAL_SERVER,
                                __uuidof(IDeviceServiceControl), control.OutVoid())) ||
        FAILED(control->ResetToFactory()) || !AddLinkedProfiles(kProfiles)) {
      std::printf("the profiles could not be made\n");
      result = 1;
    } else {
      auto* dialog = new CPellinSysTrayDlg();
      dialog->m_bAutoDelete = false;
      dialog->Create(IDD_TRAY_DIALOG);
      Pump();
      constexpr int kTicks = 50;
      std::vector<double> times, floors, ratios, trivial, withObject, activation, query, snapshots;
      std::vector<std::wstring> calls;
      CallCostProbe probe;
      bool measured = probe.Open();
      for (int i = 0; i < kTicks && measured; ++i) {
        control->ClearCallLog();
        const LARGE_INTEGER from = Now();
        SendMessageW(dialog->m_hWnd, WM_TIMER, DevicePollTimer, 0);
        times.push_back(Milliseconds(from, Now()));
        calls = CallLog(control.Get());
        Pump();
        CallCosts costs;
        measured = probe.Measure(costs);
        floors.push_back(Count(calls).FloorMs(costs));
        ratios.push_back(times.back() / floors.back());
        trivial.push_back(costs.trivial);
        withObject.push_back(costs.withObject);
        activation.push_back(costs.activation);
        query.push_back(costs.query);
        // The tick's one piece of local work that costs more than a trifle: the
        // process list it takes to name the foreground program.
        const LARGE_INTEGER snapshotFrom = Now();
        tray::CurrentSeams().processes->Snapshot();
        snapshots.push_back(Milliseconds(snapshotFrom, Now()));
      }
      if (!measured) {
        std::printf("the tick or the call costs could not be measured\n");
        result = 1;
      } else {
        const TickCalls n = Count(calls);
        std::printf("one tick, %d linked profiles, none in front (%d ticks): min %.2f ms, median %.2f ms, max %.2f ms; "
                    "%u service calls per tick\n",
                    kProfiles, kTicks, *std::min_element(times.begin(), times.end()), Median(times),
                    *std::max_element(times.begin(), times.end()), static_cast<unsigned>(calls.size()));
        std::printf("call costs beside each tick (medians): trivial %.3f ms, handing out an object %.3f ms, "
                    "activation %.3f ms, QueryInterface %.3f ms\n",
                    Median(trivial), Median(withObject), Median(activation), Median(query));
        std::printf("the tick's floor: %u logged calls (%u hand out objects), %u activations, %u QueryInterface: "
                    "median %.2f ms\n",
                    static_cast<unsigned>(n.logged), static_cast<unsigned>(n.objects),
                    static_cast<unsigned>(n.activations), static_cast<unsigned>(n.queries), Median(floors));
        std::printf("ratio = tick / its floor (median of %d): %.2f (goal: at most 1.15)\n", kTicks, Median(ratios));
        std::printf("beside the calls the tick takes one process list when a window is in front (%s now): "
                    "median %.2f ms\n",
                    tray::CurrentSeams().processes->ForegroundProcessId() ? "one is" : "none is", Median(snapshots));
        std::map<std::wstring, unsigned> perMethod;
        for (const std::wstring& call : calls) ++perMethod[call];
        std::printf("calls of one tick:");
        for (const auto& [method, count] : perMethod) std::printf(" %ls x%u;", method.c_str(), count);
        std::printf("\n");
      }
      delete dialog;
    }
  }
  StopService();
  return result;
}
