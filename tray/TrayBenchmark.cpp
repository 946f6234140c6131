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

#include "platform/testing/Clock.h"
#include "platform/testing/MessagePump.h"
#include "service/ServiceCalls.h"
#include "service/ServiceLauncher.h"
#include "tray/DeviceManager.h"
#include "tray/PcManager.h"
#include "tray/TrayDialog.h"
#include "tray/TrayResources.h"

namespace {

using platform::testing::Now;

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  return 1000.0 * platform::testing::SecondsBetween(from, to);
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
  bool Open() { return m_target.Open(); }
  bool Measure(CallCosts& costs) {
    bool ok = true;
    DWORD vendor = 0, product = 0;
    costs.trivial = Each(20, [&] { ok = ok && SUCCEEDED(m_target.identity->GetIds(&vendor, &product)); });
    costs.withObject = Each(5, [&] {
      ComRef<IProfileManager> object;
      ok = ok && SUCCEEDED(GetFeatureOf(m_target.device.Get(), object));
    });
    costs.activation = Each(2, [&] {
      ComRef<IDeviceManager> another;
      ok = ok && SUCCEEDED(CoCreateInstance(CLSID_DeviceServiceClass, nullptr, kDeviceServiceContext,
                                            __uuidof(IDeviceManager), another.OutVoid()));
    });
    // Each query on a device object of its own, handed out before the timing.
    ComRef<IDevice> devices[2];
    for (auto& device : devices) ok = ok && SUCCEEDED(m_target.manager->GetDevice(0, device.Out()));
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
  TrivialCallTarget m_target;
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
      platform::testing::PumpPending();
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
        calls = CallLogLines(ReadCallLog(control.Get()));
        platform::testing::PumpPending();
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
