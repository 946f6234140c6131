// Helpers shared by the service's tests: an event sink that records what it hears,
// advising it, and a session with the service's device.
#pragma once
#include <windows.h>

#include <ocidl.h>

#include <string>
#include <vector>

#include "platform/Com.h"
#include "platform/testing/MessagePump.h"
#include "platform/testing/TestFiles.h"
#include "service/DeviceServiceIds.h"

// The owner of COM pointers is platform's ComRef; Com is its older name.
using platform::ComRef;
template <typename T>
using Com = ComRef<T>;

// The tests' file helpers and message pump, by their short names.
using platform::testing::PumpFor;
using platform::testing::PumpUntil;
using platform::testing::ReadWholeFile;
using platform::testing::WriteWholeFile;

// Implements every event interface; records each call as text and the thread it came on.
class CTestSink : public _IProfileManagerEvents,
                  public _IOTFMacroRecordingEvents,
                  public _IApplicationEvent,
                  public _IDPIEvents {
 public:
  std::vector<std::wstring> calls;
  std::vector<GUID> profiles;
  std::vector<DWORD> threads;
  HRESULT answer = S_OK;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == __uuidof(_IProfileManagerEvents))
      *ppv = static_cast<_IProfileManagerEvents*>(this);
    else if (riid == __uuidof(_IOTFMacroRecordingEvents))
      *ppv = static_cast<_IOTFMacroRecordingEvents*>(this);
    else if (riid == __uuidof(_IApplicationEvent))
      *ppv = static_cast<_IApplicationEvent*>(this);
    else if (riid == __uuidof(_IDPIEvents))
      *ppv = static_cast<_IDPIEvents*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }  // owned by the test
  STDMETHODIMP OnActiveProfileChanged(const GUID* id) override {
    profiles.push_back(id ? *id : GUID{});
    return Heard(L"profile");
  }
  STDMETHODIMP OnRecordingStarted() override { return Heard(L"started"); }
  STDMETHODIMP OnRecordingStopped() override { return Heard(L"stopped"); }
  STDMETHODIMP OnRecordingFinished(int first, int keyCode) override {
    return Heard(L"finished " + std::to_wstring(first) + L" " + std::to_wstring(keyCode));
  }
  STDMETHODIMP OnRecordingCancelled() override { return Heard(L"cancelled"); }
  STDMETHODIMP OnApplicationEvent(int kind, LPCWSTR path) override {
    return Heard(L"app " + std::to_wstring(kind) + L" " + (path ? path : L"(null)"));
  }
  STDMETHODIMP OnDPIChanged(int x, int y) override {
    return Heard(L"dpi " + std::to_wstring(x) + L" " + std::to_wstring(y));
  }
  ULONG refs = 1;

 private:
  HRESULT Heard(std::wstring what) {
    calls.push_back(std::move(what));
    threads.push_back(GetCurrentThreadId());
    return answer;
  }
};

// Advises `sink` on the event source `source` for `iid`; the cookie, or 0.
inline DWORD AdviseOn(IUnknown* source, REFIID iid, IUnknown* sink) {
  ComRef<IConnectionPointContainer> container;
  ComRef<IConnectionPoint> point;
  DWORD cookie = 0;
  if (FAILED(source->QueryInterface(IID_IConnectionPointContainer, container.OutVoid()))) return 0;
  if (FAILED(container->FindConnectionPoint(iid, point.Out()))) return 0;
  if (FAILED(point->Advise(sink, &cookie))) return 0;
  return cookie;
}

inline bool UnadviseOn(IUnknown* source, REFIID iid, DWORD cookie) {
  ComRef<IConnectionPointContainer> container;
  ComRef<IConnectionPoint> point;
  if (FAILED(source->QueryInterface(IID_IConnectionPointContainer, container.OutVoid()))) return false;
  if (FAILED(container->FindConnectionPoint(iid, point.Out()))) return false;
  return SUCCEEDED(point->Unadvise(cookie));
}

// The service's device (index 0) and one of its features.
struct ServiceSession {
  ComRef<IDeviceManager> manager;
  ComRef<IDevice> device;
  HRESULT Open() {
    HRESULT hr = CoCreateInstance(CLSID_DeviceServiceClass, nullptr, kDeviceServiceContext,
                                  __uuidof(IDeviceManager), manager.OutVoid());
    if (SUCCEEDED(hr)) hr = manager->GetDevice(0, device.Out());
    return hr;
  }
  template <typename T>
  HRESULT Feature(ComRef<T>& out) {
    return device->GetFeature(__uuidof(T), out.OutVoid());
  }
  void Close() {
    device.Reset();
    manager.Reset();
  }
};

// The name of a profile, macro or application object, or "<failed>".
template <typename T>
std::wstring NameOf(T* object) {
  LPWSTR name = nullptr;
  const HRESULT hr = object->GetName(&name);
  std::wstring s = SUCCEEDED(hr) && name ? name : L"<failed>";
  CoTaskMemFree(name);
  return s;
}
