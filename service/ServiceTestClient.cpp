// A second client process for the end-to-end tests.
//   create-profile NAME OUTFILE   creates a profile named NAME, writes its id to OUTFILE
//   activate NAME                 makes the profile named NAME active
//   name-of INDEX OUTFILE         writes the name of the profile at INDEX to OUTFILE
//   advise-and-exit X             connects a profile sink and ends without disconnecting it
//   advise-and-hang MS            connects a profile sink, then answers nothing for MS ms
#include <windows.h>

#include <string>

#include "platform/Com.h"
#include "platform/Handles.h"
#include "platform/Strings.h"
#include "service/ServiceState.h"
#include "service/ServiceTestSupport.h"

namespace {

bool WriteText(const wchar_t* path, const std::wstring& text) {
  const platform::KernelHandle h(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!h) return false;
  const std::string utf8 = platform::WideToUtf8(text);
  DWORD n = 0;
  return WriteFile(h.Get(), utf8.data(), static_cast<DWORD>(utf8.size()), &n, nullptr) && n == utf8.size();
}

int Run(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  const std::wstring cmd = argv[1];
  ServiceSession session;
  if (FAILED(session.Open())) return 3;
  ComRef<IProfileManager> pm;
  if (FAILED(session.Feature(pm))) return 4;
  if (cmd == L"create-profile" && argc == 4) {
    ComRef<IDeviceProfile> p;
    GUID id{};
    if (FAILED(pm->CreateProfile(p.Out())) || FAILED(p->SetName(argv[2])) || FAILED(p->GetId(&id))) return 5;
    return WriteText(argv[3], GuidText(id)) ? 0 : 6;
  }
  if (cmd == L"activate" && argc == 3) {
    for (int i = 0;; ++i) {
      ComRef<IDeviceProfile> p;
      if (FAILED(pm->GetProfile(i, p.Out()))) return 5;
      if (NameOf(p.Get()) == argv[2]) return SUCCEEDED(pm->SetActiveProfile(p.Get())) ? 0 : 6;
    }
  }
  if (cmd == L"name-of" && argc == 4) {
    ComRef<IDeviceProfile> p;
    if (FAILED(pm->GetProfile(_wtoi(argv[2]), p.Out()))) return 5;
    return WriteText(argv[3], NameOf(p.Get())) ? 0 : 6;
  }
  if ((cmd == L"advise-and-exit" || cmd == L"advise-and-hang") && argc == 3) {
    static CTestSink sink;  // never destroyed: the service may still hold it
    if (AdviseOn(pm.Get(), __uuidof(_IProfileManagerEvents), static_cast<_IProfileManagerEvents*>(&sink)) == 0)
      return 5;
    if (cmd == L"advise-and-hang") Sleep(static_cast<DWORD>(_wtoi(argv[2])));
    ExitProcess(0);  // as a killed program: no Unadvise, no clean-up
  }
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const platform::ComApartment com(COINIT_APARTMENTTHREADED);
  if (!com.IsInitialised()) return 1;
  return Run(argc, argv);
}
