// Prints how long a full read (mask 0x31F), a full write (mask 0x3FF) and an
// Apply of one changed key take through the real DeviceService.exe, for 10
// profiles, 20 macros and 5 applications. The service runs on a data folder of its own in place of the
// session's resident one. Figures only: no limits.
//
// Beside each time: the service calls the operation made (the service's call
// log), the time of a trivial cross-process call (IDeviceIdentity::GetIds)
// measured in the same run, and time / (calls x trivial call): near 1 when the
// operation is bound by its number of calls. The calls that hand out a new
// object cost more than a trivial one (the new proxy, and the release of its
// last reference, which the call log does not see), and so do two things the
// log does not see at all: each connection's activation of the service's class,
// and a write's hand-off of the device to its own thread. Those costs are
// measured too, and the time the calls explain with them is the second ratio.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "device/DeviceCom.h"
#include "device/Keyboard.h"
#include "device/KeyboardConfig.h"
#include "device/KeyboardDef.h"
#include "platform/Com.h"
#include "platform/Handles.h"
#include "platform/Strings.h"
#include "platform/testing/Clock.h"
#include "platform/testing/MessagePump.h"
#include "platform/testing/TestFiles.h"
#include "service/ServiceCalls.h"
#include "service/ServiceLauncher.h"

namespace {

using platform::testing::Now;
using platform::testing::PumpUntil;
using platform::testing::ReadFileBytes;
using platform::testing::SecondsBetween;

bool LoadKeyFiles() {
  const std::vector<uint8_t> definitions = ReadFileBytes(OVRIX_KEY_FILES_DIR "/KeyDefinitions.bin");
  const std::vector<uint8_t> defaults = ReadFileBytes(OVRIX_KEY_FILES_DIR "/KeyDefaults_US.bin");
  return GlobalKeyboardDef().LoadKeyDefinitions(definitions.size(), definitions.data()) &&
         GlobalKeyboardDef().LoadKeyDefaults(defaults.data(), defaults.size());
}

KeyAssignment Named(int32_t kind, const std::wstring& name) {
  KeyAssignment record;
  record.kind = kind;
  SetAssignmentText(record, name);
  record.playMode = kind == KEYKIND_MACRO_BYNAME ? MACROPLAY_ONCE : 0;
  return record;
}

// Fills the configuration to 10 profiles, 20 macros and 5 applications, with keys
// that refer to them by name.
void Populate(IKeyboardConfig& config, const std::vector<uint32_t>& keyCodes) {
  for (int i = 0; i < 20; ++i) {
    CMacro* macro = config.CreateMacro(L"Bench macro " + std::to_wstring(i));
    for (int e = 0; e < 16; ++e) {
      macro->events.push_back({MACROEVENT_KEY, 0x1E + e % 10, kMacroStatePressed});
      macro->events.push_back({MACROEVENT_DELAY, 20, 20});
    }
  }
  for (int i = 0; i < 5; ++i) config.CreateApp(L"C:\\Bench\\program" + std::to_wstring(i) + L".exe");
  for (int i = config.GetProfileCount(); i < 10; ++i) config.AddNewProfile(L"Bench profile " + std::to_wstring(i));
  for (int i = 0; i < config.GetProfileCount(); ++i) {
    IKeyboardProfile* profile = config.GetProfile(i);
    for (std::size_t k = 0; k < keyCodes.size() && k < 12; ++k) {
      const int32_t keyId = CKeyboard::KeyIdFromDeviceCode(keyCodes[k]);
      if (k < 8)
        config.SetKeyAssignment(keyId, Named(KEYKIND_MACRO_BYNAME, L"Bench macro " + std::to_wstring((i + k) % 20)),
                                profile);
      else
        config.SetKeyAssignment(keyId, Named(KEYKIND_LAUNCH_BYPATH,
                                             L"C:\\Bench\\program" + std::to_wstring((i + k) % 5) + L".exe"),
                                profile);
    }
  }
}

// The service's call log, through its control interface (whose own calls it does not log).
class CallLog {
 public:
  bool Open() {
    return SUCCEEDED(CoCreateInstance(CLSID_DeviceServiceControl, nullptr, CLSCTX_LOCAL_SERVER,
                                      __uuidof(IDeviceServiceControl), control_.OutVoid()));
  }
  void Close() { control_.Reset(); }
  void Clear() { control_->ClearCallLog(); }
  // The methods called since the last Clear, and clears.
  std::vector<std::wstring> Take() {
    std::vector<std::wstring> lines = CallLogLines(ReadCallLog(control_.Get()));
    Clear();
    return lines;
  }

 private:
  ComRef<IDeviceServiceControl> control_;
};

struct Measured {
  double seconds = 0;
  std::vector<std::wstring> calls;
  // The call costs measured right before and after this run (their mean): the
  // machine is shared, and its load changes from one second to the next.
  double trivial = 0;
  double withObject = 0;

  // Each connection begins by activating the service's class (CoCreateInstance,
  // and later the release of that manager), which the call log does not see; its
  // first logged call is IDeviceManager::GetDevice, so those are counted.
  double activation = 0;
  // A write hands the device to its own thread (see CallCosts::handOff); 0 for a read.
  int handOffs = 0;
  double handOff = 0;

  size_t ObjectCalls() const { return std::count_if(calls.begin(), calls.end(), HandsOutObject); }
  size_t Activations() const {
    return std::count(calls.begin(), calls.end(), std::wstring(L"IDeviceManager::GetDevice"));
  }
  double Ratio() const {
    const double byCalls = static_cast<double>(calls.size()) * trivial;
    return byCalls > 0 ? seconds / byCalls : 0.0;
  }
  double RatioWithObjectCost() const {
    const size_t objects = ObjectCalls();
    const double byKinds = static_cast<double>(calls.size() - objects) * trivial +
                           static_cast<double>(objects) * withObject +
                           static_cast<double>(Activations()) * activation + handOffs * handOff;
    return byKinds > 0 ? seconds / byKinds : 0.0;
  }
};

// What a write thread does before and after its job: enter an apartment, take
// the device from the stream, linger as a write does after its job, let the
// device go, leave the apartment.
struct HandOff {
  IStream* stream = nullptr;
  DWORD lingerMs = 0;
};

DWORD WINAPI HandOffRoutine(void* parameter) {
  const HandOff& handOff = *static_cast<const HandOff*>(parameter);
  DWORD result = 1;
  platform::ComApartment apartment(COINIT_MULTITHREADED);
  if (apartment.IsInitialised()) {
    ComRef<IDevice> device;
    if (SUCCEEDED(CoGetInterfaceAndReleaseStream(handOff.stream, __uuidof(IDevice), device.OutVoid())) && device)
      result = 0;
    if (handOff.lingerMs > 0) {
      const platform::KernelHandle never(CreateEventW(nullptr, TRUE, FALSE, nullptr));
      WaitForSingleObject(never.Get(), handOff.lingerMs);
    }
    device.Reset();
    apartment.Uninitialize();
  }
  return result;
}

// Per-call times of the same run, in seconds.
struct CallCosts {
  double trivial = 0;     // IDeviceIdentity::GetIds
  double objectCall = 0;  // IDevice::GetFeature of a new object
  double release = 0;     // the release of that object's last reference
  double withObject = 0;  // both
  double activation = 0;  // CoCreateInstance of the service's class, and the release of that manager
  double handOff = 0;     // a write thread's start, apartment, marshalled device, linger overshoot and end
};

bool MeasureCallCosts(CallCosts& costs, int trivialCalls = 1000, int objectCalls = 200, int runs = 3) {
  TrivialCallTarget target;
  if (!target.Open()) return false;
  ComRef<IDevice>& device = target.device;
  costs.trivial = target.CallSeconds(trivialCalls, runs);
  if (costs.trivial < 0) return false;
  LARGE_INTEGER start;
  // The call and the release timed apart: the release of a proxy's last
  // reference is a call to the service of its own.
  std::vector<ComRef<IProfileManager>> objects(objectCalls);
  start = Now();
  for (auto& object : objects)
    if (FAILED(GetFeatureOf(device.Get(), object))) return false;
  const LARGE_INTEGER called = Now();
  for (auto& object : objects) object.Reset();
  const LARGE_INTEGER released = Now();
  costs.objectCall = SecondsBetween(start, called) / objectCalls;
  costs.release = SecondsBetween(called, released) / objectCalls;
  costs.withObject = costs.objectCall + costs.release;
  const int activations = std::max(objectCalls / 10, 5);
  start = Now();
  for (int i = 0; i < activations; ++i) {
    ComRef<IDeviceManager> another;
    if (FAILED(CoCreateInstance(CLSID_DeviceServiceClass, nullptr, kDeviceServiceContext, __uuidof(IDeviceManager),
                                another.OutVoid())))
      return false;
  }
  costs.activation = SecondsBetween(start, Now()) / activations;
  // A write runs on a thread of its own, in its own apartment, that reaches the
  // device through a marshalled reference, and lingers after its job; the window
  // sees its end from its message loop. All of that is part of every write: the
  // time beyond the linger's nominal length is the hand-off's cost (a wait's
  // real length overshoots on a busy machine).
  const int handOffs = 2;
  start = Now();
  for (int i = 0; i < handOffs; ++i) {
    HandOff handOff{nullptr, CDeviceConnection::kWriteLingerMs};
    if (FAILED(CoMarshalInterThreadInterfaceInStream(__uuidof(IDevice), device.Get(), &handOff.stream))) return false;
    const platform::KernelHandle thread(CreateThread(nullptr, 0, HandOffRoutine, &handOff, 0, nullptr));
    if (!thread) return false;
    if (!PumpUntil([&] { return WaitForSingleObject(thread.Get(), 0) == WAIT_OBJECT_0; }, 60000)) return false;
    DWORD code = 1;
    GetExitCodeThread(thread.Get(), &code);
    if (code != 0) return false;
  }
  costs.handOff = SecondsBetween(start, Now()) / handOffs - CDeviceConnection::kWriteLingerMs / 1000.0;
  return true;
}

// Runs `operation` between two short measurements of the call costs, which the
// run's ratios then use.
template <typename F>
bool Bracketed(Measured& m, F operation) {
  CallCosts before, after;
  if (!MeasureCallCosts(before, 200, 50, 1) || !operation() || !MeasureCallCosts(after, 200, 50, 1)) return false;
  m.trivial = (before.trivial + after.trivial) / 2;
  m.withObject = (before.withObject + after.withObject) / 2;
  m.activation = (before.activation + after.activation) / 2;
  m.handOff = (before.handOff + after.handOff) / 2;
  return true;
}

// The time of one write's job: from Apply until the write ends, less the half
// second it counts as running after its job.
bool TimedWrite(CKeyboard& keyboard, IKeyboardConfig& config, CallLog& log, Measured& out) {
  log.Clear();
  const LARGE_INTEGER start = Now();
  if (!keyboard.TransferConfig(&config, TRANSFER_TO_DEVICE, TRANSFER_WRITE_ALL)) return false;
  if (!PumpUntil([&] { return !keyboard.IsWriting(); }, 120000)) return false;
  out.seconds = SecondsBetween(start, Now()) - CDeviceConnection::kWriteLingerMs / 1000.0;
  out.calls = log.Take();
  out.handOffs = 1;
  return keyboard.LastWriteSucceeded();
}

void PrintLine(const char* what, const Measured& m) {
  std::printf("%-50s %7.3f s %5zu calls (%3zu hand out objects, %zu connections), trivial call %.3f ms: ratio %.2f "
              "(with their kinds' costs %.2f)\n",
              what, m.seconds, m.calls.size(), m.ObjectCalls(), m.Activations(), m.trivial * 1000, m.Ratio(),
              m.RatioWithObjectCost());
}

// The methods an operation called most, with their counts.
void PrintTopMethods(const Measured& m) {
  std::map<std::wstring, size_t> counts;
  for (const std::wstring& call : m.calls) ++counts[call];
  std::vector<std::pair<size_t, std::wstring>> sorted;
  for (const auto& [method, n] : counts) sorted.push_back({n, method});
  std::sort(sorted.rbegin(), sorted.rend());
  for (size_t i = 0; i < sorted.size() && i < 6; ++i)
    std::printf("    %6zu  %s\n", sorted[i].first, platform::WideToUtf8(sorted[i].second).c_str());
}

}  // namespace

int wmain() {
  const platform::ComApartment com(COINIT_APARTMENTTHREADED);
  if (!com.IsInitialised() || !LoadKeyFiles()) return 2;
  const std::wstring exe = DosPath(OVRIX_SERVICE_EXE);
  int status = 1;
  CallLog log;
  CallCosts before, after;
  if (StopService() && StartService(exe, NewDataFolder(L"ovrix-devlayer-bench-")) && log.Open() &&
      MeasureCallCosts(before)) {
    CKeyboard keyboard;
    CMorvelConfig config(L".\\");
    Measured first, again, startup, read;
    if (keyboard.ReadFromDevice(&config)) {
      Populate(config, keyboard.KeyCodes());
      // Repeated operations: the run with the lowest ratio of three, the one least
      // disturbed by the machine's other work (the first write, which creates
      // everything, runs once).
      bool ok = Bracketed(first, [&] { return TimedWrite(keyboard, config, log, first); });
      for (int run = 0; ok && run < 3; ++run) {
        // A write sends what changed: every key and property of every profile is
        // marked, as a restore of defaults of each would, so that each run writes
        // them all again (every key in the map first, as after the main window's read).
        for (int i = 0; i < config.GetProfileCount(); ++i) {
          KeyAssignment unused;
          for (const uint32_t code : keyboard.KeyCodes())
            config.GetKeyAssignment(unused, CKeyboard::KeyIdFromDeviceCode(code), config.GetProfile(i));
          dynamic_cast<CBaseProfile*>(config.GetProfile(i))->MarkEverything();
        }
        config.SetActiveProfile(config.GetActiveProfile());
        Measured write;
        ok = Bracketed(write, [&] { return TimedWrite(keyboard, config, log, write); });
        if (run == 0 || write.Ratio() < again.Ratio()) again = std::move(write);
      }
      bool complete = ok;
      int profiles = 0, macros = 0, apps = 0;
      uint32_t keys = 0;
      for (int run = 0; complete && run < 3; ++run) {
        CKeyboard reader;
        CMorvelConfig readBack(L".\\");
        Measured thisStartup, thisRead;
        complete = Bracketed(thisStartup, [&] {
          log.Clear();
          const LARGE_INTEGER start = Now();
          const bool started = reader.ReadFromDevice(&readBack);
          const LARGE_INTEGER middle = Now();
          thisStartup.seconds = SecondsBetween(start, middle);
          thisStartup.calls = log.Take();
          const bool done = started && reader.TransferConfig(&readBack, TRANSFER_FROM_DEVICE, TRANSFER_READ_ALL);
          thisRead.seconds = SecondsBetween(middle, Now());
          thisRead.calls = log.Take();
          return done;
        });
        thisRead.trivial = thisStartup.trivial;
        thisRead.withObject = thisStartup.withObject;
        thisRead.activation = thisStartup.activation;
        if (run == 0 || thisStartup.Ratio() < startup.Ratio()) startup = std::move(thisStartup);
        if (run == 0 || thisRead.Ratio() < read.Ratio()) read = std::move(thisRead);
        profiles = readBack.GetProfileCount();
        macros = readBack.GetMacroCount();
        apps = readBack.GetAppCount();
        keys = reader.KeyCount();
      }
      // Apply after the user changed one key of one profile: a write sends only
      // what changed. Each run changes the key again (another target key), so each
      // has one key to send.
      Measured oneKey;
      for (int run = 0; complete && run < 3; ++run) {
        const std::vector<uint32_t>& codes = keyboard.KeyCodes();
        KeyAssignment record;
        record.kind = KEYKIND_DISABLED;
        if (run % 2 == 1) {
          record.kind = KEYKIND_SINGLEKEY;
          record.payload.key.scanCode = static_cast<int16_t>(0x1E + run);
        }
        complete = !codes.empty() &&
                   config.SetKeyAssignment(CKeyboard::KeyIdFromDeviceCode(codes[codes.size() / 2]), record,
                                           config.GetProfile(config.GetProfileCount() / 2));
        Measured write;
        complete = complete && Bracketed(write, [&] { return TimedWrite(keyboard, config, log, write); });
        if (run == 0 || write.RatioWithObjectCost() < oneKey.RatioWithObjectCost()) oneKey = std::move(write);
      }
      if (complete && MeasureCallCosts(after)) {
        std::printf("configuration: %d profiles, %d macros, %d applications, %u keys per profile\n", profiles,
                    macros, apps, keys);
        std::printf("repeated operations: the run of the lowest ratio of 3; each ratio from the call costs measured\n"
                    "  right before and after its run (200 trivial calls, 50 object calls each)\n");
        std::printf("trivial call (IDeviceIdentity::GetIds, best of 3 x 1000): %.3f ms before, %.3f ms after\n",
                    before.trivial * 1000, after.trivial * 1000);
        std::printf("call handing out an object (IDevice::GetFeature, 200 times): %.3f ms before, %.3f ms after;\n"
                    "  the release of its last reference (not in the call log): %.3f ms before, %.3f ms after\n",
                    before.objectCall * 1000, after.objectCall * 1000, before.release * 1000,
                    after.release * 1000);
        std::printf("a connection (CoCreateInstance of the service's class, and its release): %.3f ms before, %.3f ms "
                    "after;\n  a write thread's hand-off (its start, apartment, the device marshalled to it, the linger's\n"
                    "  overshoot and its end seen from the loop): "
                    "%.3f ms before, %.3f ms after\n",
                    before.activation * 1000, after.activation * 1000, before.handOff * 1000, after.handOff * 1000);
        std::printf("a second ratio sets the time against the calls with their kinds' costs: the calls handing out\n"
                    "  objects, the connections and, for a write, the thread's hand-off\n");
        std::printf("ratio = time / (calls x trivial call); target for the full write and read: at most 1.15\n");
        PrintLine("full write (mask 0x3FF), creating everything:", first);
        PrintTopMethods(first);
        PrintLine("full write (mask 0x3FF), every profile restored:", again);
        PrintTopMethods(again);
        PrintLine("start-up read (ReadFromDevice):", startup);
        PrintLine("full read (mask 0x31F):", read);
        PrintTopMethods(read);
        std::printf("goal for Apply of one key: at most 20 calls, ratio with the kinds' costs at most 1.15\n");
        PrintLine("Apply, one key changed:", oneKey);
        PrintTopMethods(oneKey);
        status = 0;
      }
    }
  }
  if (status != 0) std::printf("benchmark failed\n");
  log.Close();
  StopService();  // the test harness starts the session's service again
  return status;
}
