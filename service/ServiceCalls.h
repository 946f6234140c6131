// The service's calls seen from outside, for the tests and benchmarks that run
// against the real service: the stand-in's call log (its text, its lines, how
// often a method stands in it, which methods hand out a new object) and the
// trivial call that benchmarks set other calls against.
#pragma once
#include <windows.h>

#include <oleauto.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "platform/Com.h"
#include "platform/testing/Clock.h"
#include "service/DeviceServiceIds.h"

// The methods the service logged since the log was last cleared, one a line;
// empty when it cannot be read.
inline std::wstring ReadCallLog(IDeviceServiceControl* control) {
  BSTR text = nullptr;
  if (control == nullptr || FAILED(control->GetCallLog(&text)) || !text) return L"";
  std::wstring log(text, SysStringLen(text));
  SysFreeString(text);
  return log;
}

inline std::vector<std::wstring> CallLogLines(const std::wstring& log) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  for (size_t nl; (nl = log.find(L'\n', start)) != std::wstring::npos; start = nl + 1)
    lines.push_back(log.substr(start, nl - start));
  return lines;
}

// How often `method` stands in the log (as part of a line, too).
inline size_t CallsIn(const std::wstring& log, const wchar_t* method) {
  size_t n = 0;
  for (size_t at = log.find(method); at != std::wstring::npos; at = log.find(method, at + 1)) ++n;
  return n;
}

// Methods of the contract that hand out a new interface pointer.
inline bool HandsOutObject(const std::wstring& method) {
  static const wchar_t* const kMethods[] = {
      L"::GetDevice", L"::GetFeature", L"::GetProfile", L"::GetProfileById", L"::GetActiveProfile",
      L"::CreateProfile", L"::ImportProfile", L"::GetMacro", L"::GetMacroById", L"::CreateMacro",
      L"::ImportMacro", L"::GetApplication", L"::GetApplicationById", L"::CreateApplication"};
  for (const wchar_t* suffix : kMethods)
    if (method.ends_with(suffix)) return true;
  return false;
}

// The service's device reached down to IDeviceIdentity, whose GetIds is the
// trivial call: it does no work in the service.
struct TrivialCallTarget {
  platform::ComRef<IDeviceManager> manager;
  platform::ComRef<IDevice> device;
  platform::ComRef<IDeviceIdentity> identity;

  bool Open() {
    return SUCCEEDED(CoCreateInstance(CLSID_DeviceServiceClass, nullptr, kDeviceServiceContext,
                                      __uuidof(IDeviceManager), manager.OutVoid())) &&
           SUCCEEDED(manager->GetDevice(0, device.Out())) &&
           SUCCEEDED(device->QueryInterface(__uuidof(IDeviceIdentity), identity.OutVoid()));
  }
  // Seconds one trivial call takes: after a few to warm up, the least disturbed
  // of `runs` runs of `calls` (the machine is shared); -1 when a call fails.
  double CallSeconds(int calls, int runs) {
    DWORD vendor = 0, product = 0;
    for (int i = 0; i < 20; ++i) identity->GetIds(&vendor, &product);
    double best = 1e9;
    for (int run = 0; run < runs; ++run) {
      const LARGE_INTEGER start = platform::testing::Now();
      for (int i = 0; i < calls; ++i)
        if (FAILED(identity->GetIds(&vendor, &product))) return -1;
      best = std::min(best, platform::testing::SecondsBetween(start, platform::testing::Now()) / calls);
    }
    return best;
  }
};
