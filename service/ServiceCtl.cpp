// DeviceServiceCtl.exe: drives the stand-in service's simulated keyboard.
//   plug | unplug | layout CODE | versions FWMAJ FWMIN SECMAJ SECMIN
//   press KEYCODE | record start|stop|finish KEYCODE|cancel
//   fail METHOD STATUS [CALL] | delay METHOD MS | clear-faults
//   (with CALL, only that call of the method, counted from now and from 1, fails)
//   reset | dump | calls | clear-calls | wait [SECONDS] | stop
// Numbers are decimal or 0x-hexadecimal. Exit code 0 on success.
#include <windows.h>

#include <cwchar>
#include <string>

#include "platform/Com.h"
#include "platform/Strings.h"
#include "service/DeviceServiceIds.h"
#include "service/ServiceHost.h"

namespace {

void Print(const std::wstring& text) {
  const std::string utf8 = platform::WideToUtf8(text);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

bool Number(const wchar_t* text, DWORD& out) {
  if (!text || !*text) return false;
  wchar_t* end = nullptr;
  const unsigned long long v = wcstoull(text, &end, 0);
  if (*end || v > 0xFFFFFFFFull) return false;
  out = static_cast<DWORD>(v);
  return true;
}

int Usage() {
  Print(L"usage: DeviceServiceCtl plug|unplug|layout CODE|versions A B C D|press KEYCODE|\n"
        L"       record start|stop|finish KEYCODE|cancel|fail METHOD STATUS [CALL]|\n"
        L"       delay METHOD MS|clear-faults|reset|dump|calls|clear-calls|wait [SECONDS]|stop\n");
  return 2;
}

int Report(HRESULT hr) {
  if (FAILED(hr)) {
    wchar_t buf[64];
    swprintf(buf, 64, L"failed: 0x%08lX\n", static_cast<unsigned long>(hr));
    Print(buf);
    return 1;
  }
  return 0;
}

HRESULT Connect(platform::ComRef<IDeviceServiceControl>& control) {
  return CoCreateInstance(CLSID_DeviceServiceControl, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(IDeviceServiceControl),
                          control.OutVoid());
}

int Run(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  const std::wstring cmd = argv[1];
  DWORD a = 0, b = 0, c = 0, d = 0;

  if (cmd == L"stop") {
    if (!IsServiceRunning()) {
      Print(L"not running\n");
      return 0;
    }
    platform::ComRef<IDeviceServiceControl> control;
    HRESULT hr = Connect(control);
    if (SUCCEEDED(hr)) {
      hr = control->Shutdown();
      control.Reset();
    }
    if (FAILED(hr)) return Report(hr);
    return WaitForServiceExit(10000) ? 0 : Report(HRESULT_FROM_WIN32(ERROR_TIMEOUT));
  }
  if (cmd == L"wait") {
    DWORD seconds = 10;
    if (argc > 2 && !Number(argv[2], seconds)) return Usage();
    const ULONGLONG end = GetTickCount64() + seconds * 1000ull;
    for (;;) {
      platform::ComRef<IDeviceServiceControl> control;
      const HRESULT hr = Connect(control);
      if (SUCCEEDED(hr)) return 0;
      if (GetTickCount64() >= end) return Report(hr);
      Sleep(100);
    }
  }

  platform::ComRef<IDeviceServiceControl> control;
  HRESULT hr = Connect(control);
  if (FAILED(hr)) return Report(hr);
  int result = 0;
  if (cmd == L"plug" || cmd == L"unplug") {
    result = Report(control->SetPlugged(cmd == L"plug"));
  } else if (cmd == L"layout" && argc == 3 && Number(argv[2], a)) {
    result = Report(control->SetLayoutCode(a));
  } else if (cmd == L"versions" && argc == 6 && Number(argv[2], a) && Number(argv[3], b) && Number(argv[4], c) &&
             Number(argv[5], d)) {
    result = Report(control->SetVersions(a, b, c, d));
  } else if (cmd == L"press" && argc == 3 && Number(argv[2], a)) {
    hr = control->PressKey(a);
    if (hr == S_FALSE) Print(L"nothing happened\n");
    result = Report(hr);
  } else if (cmd == L"record" && argc >= 3) {
    const std::wstring step = argv[2];
    if (step == L"start") result = Report(control->Recording(1, 0));
    else if (step == L"stop") result = Report(control->Recording(2, 0));
    else if (step == L"finish" && argc == 4 && Number(argv[3], a)) result = Report(control->Recording(3, a));
    else if (step == L"cancel") result = Report(control->Recording(4, 0));
    else result = Usage();
  } else if (cmd == L"fail" && argc == 4 && Number(argv[3], a)) {
    result = Report(control->SetFault(argv[2], static_cast<HRESULT>(a), 0));
  } else if (cmd == L"fail" && argc == 5 && Number(argv[3], a) && Number(argv[4], b) && b != 0) {
    result = Report(control->SetFaultOnCall(argv[2], static_cast<HRESULT>(a), b));
  } else if (cmd == L"delay" && argc == 4 && Number(argv[3], a)) {
    result = Report(control->SetFault(argv[2], S_OK, a));
  } else if (cmd == L"clear-faults") {
    result = Report(control->ClearFaults());
  } else if (cmd == L"reset") {
    result = Report(control->ResetToFactory());
  } else if (cmd == L"dump" || cmd == L"calls") {
    BSTR text = nullptr;
    hr = cmd == L"dump" ? control->DumpState(&text) : control->GetCallLog(&text);
    if (SUCCEEDED(hr) && text) Print(std::wstring(text, SysStringLen(text)));
    SysFreeString(text);
    result = Report(hr);
  } else if (cmd == L"clear-calls") {
    result = Report(control->ClearCallLog());
  } else {
    result = Usage();
  }
  return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const platform::ComApartment com(COINIT_APARTMENTTHREADED);
  if (!com.IsInitialised()) return 3;
  return Run(argc, argv);
}
