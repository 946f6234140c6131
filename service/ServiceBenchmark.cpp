// Writes 10 profiles of every key through the real DeviceService.exe, one
// SetAssignments call per key as the configurator's write does, and prints the
// figures. A measurement, not a test: it asserts nothing about time.
//   service_benchmark [SERVICE_EXE]
#include <windows.h>

#include <cstdio>
#include <vector>

#include "platform/Com.h"
#include "service/ServiceLauncher.h"
#include "service/ServiceTestSupport.h"

namespace {

int Run(const std::wstring& exe) {
  const bool residentWasRunning = IsServiceRunning();
  if (!StopService()) return 10;
  const std::wstring folder = NewDataFolder(L"ovrix-bench-");
  if (!StartService(exe, folder)) return 11;

  int code = 0;
  {
    ServiceSession session;
    ComRef<IProfileManager> pm;
    if (FAILED(session.Open()) || FAILED(session.Feature(pm))) code = 12;
    std::vector<DeviceKeyAssignment> records;
    for (int i = 0; code == 0 && i < 10; ++i) {
      ComRef<IDeviceProfile> p;
      if (FAILED(i == 0 ? pm->GetProfile(0, p.Out()) : pm->CreateProfile(p.Out()))) code = 13;
      ComRef<IKeyAssignments> keys;
      if (code == 0 && FAILED(p->GetFeature(__uuidof(IKeyAssignments), keys.OutVoid()))) code = 14;
      if (code == 0 && records.empty()) {
        DeviceAssignmentCount count{};
        keys->GetCount(&count);
        records.resize(count.count);
        DWORD n = count.count;
        DeviceKeyAssignment* buffer = records.data();
        keys->GetAssignments(&n, &buffer);
        records.resize(n);
      }
      static ULONGLONG total = 0;
      static size_t calls = 0;
      LARGE_INTEGER f, t0, t1;
      QueryPerformanceFrequency(&f);
      QueryPerformanceCounter(&t0);
      for (auto r : records) {
        r.type = 8;  // a macro key, as a written profile would hold
        if (code == 0 && FAILED(keys->SetAssignments(1, &r))) code = 15;
        ++calls;
      }
      QueryPerformanceCounter(&t1);
      total += static_cast<ULONGLONG>((t1.QuadPart - t0.QuadPart) * 1000000 / f.QuadPart);
      if (i == 9) {
        std::printf("profiles: 10, keys per profile: %zu\n", records.size());
        std::printf("SetAssignments calls: %zu\n", calls);
        std::printf("total: %.1f ms\n", total / 1000.0);
        std::printf("per call: %.3f ms\n", calls ? total / 1000.0 / calls : 0.0);
      }
    }
  }
  StopService();
  if (residentWasRunning) StartService(exe, L"");
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  const platform::ComApartment com(COINIT_APARTMENTTHREADED);
  if (!com.IsInitialised()) return 1;
  const int code = Run(DosPath(argc > 1 ? argv[1] : SERVICE_EXE));
  if (code) std::printf("failed: %d\n", code);
  std::fflush(stdout);
  return code;
}
