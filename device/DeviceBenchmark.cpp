// Prints how long a full read (mask 0x31F) and a full write (mask 0x3FF) take
// through the real DeviceService.exe, for 10 profiles, 20 macros and 5
// applications. The service runs on a data folder of its own in place of the
// session's resident one. Figures only: no limits.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "device/Keyboard.h"
#include "device/KeyboardConfig.h"
#include "device/KeyboardDef.h"
#include "service/ServiceLauncher.h"

namespace {

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

bool LoadKeyFiles() {
  const std::vector<uint8_t> definitions = ReadFileBytes(OVRIX_KEY_FILES_DIR "/KeyDefinitions.bin");
  const std::vector<uint8_t> defaults = ReadFileBytes(OVRIX_KEY_FILES_DIR "/KeyDefaults_US.bin");
  return GlobalKeyboardDef().LoadKeyDefinitions(definitions.size(), definitions.data()) &&
         GlobalKeyboardDef().LoadKeyDefaults(defaults.data(), defaults.size());
}

template <typename F>
bool PumpUntil(F done, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (!done()) {
    if (GetTickCount64() >= end) return false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
  }
  return true;
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now;
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

// The time of one write's job: from Apply until the write ends, less the half
// second it counts as running after its job.
bool TimedWrite(CKeyboard& keyboard, IKeyboardConfig& config, double& seconds) {
  const LARGE_INTEGER start = Now();
  if (!keyboard.TransferConfig(&config, TRANSFER_TO_DEVICE, TRANSFER_WRITE_ALL)) return false;
  if (!PumpUntil([&] { return !keyboard.IsWriting(); }, 120000)) return false;
  seconds = Seconds(start, Now()) - CDeviceConnection::kWriteLingerMs / 1000.0;
  return keyboard.LastWriteSucceeded();
}

}  // namespace

int wmain() {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) || !LoadKeyFiles()) return 2;
  const std::wstring exe = DosPath(OVRIX_SERVICE_EXE);
  int status = 1;
  if (StopService() && StartService(exe, NewDataFolder(L"ovrix-devlayer-bench-"))) {
    CKeyboard keyboard;
    CMorvelConfig config(L".\\");
    double first = 0, again = 0;
    if (keyboard.ReadFromDevice(&config)) {
      Populate(config, keyboard.KeyCodes());
      if (TimedWrite(keyboard, config, first) && TimedWrite(keyboard, config, again)) {
        CKeyboard reader;
        CMorvelConfig readBack(L".\\");
        const LARGE_INTEGER start = Now();
        const bool started = reader.ReadFromDevice(&readBack);
        const LARGE_INTEGER middle = Now();
        const bool read = started && reader.TransferConfig(&readBack, TRANSFER_FROM_DEVICE, TRANSFER_READ_ALL);
        const LARGE_INTEGER end = Now();
        if (read) {
          std::printf("configuration: %d profiles, %d macros, %d applications, %u keys per profile\n",
                      readBack.GetProfileCount(), readBack.GetMacroCount(), readBack.GetAppCount(),
                      reader.KeyCount());
          std::printf("full write (mask 0x3FF), creating everything: %.3f s\n", first);
          std::printf("full write (mask 0x3FF), everything present:  %.3f s\n", again);
          std::printf("start-up read (ReadFromDevice):               %.3f s\n", Seconds(start, middle));
          std::printf("full read (mask 0x31F):                       %.3f s\n", Seconds(middle, end));
          status = 0;
        }
      }
    }
    if (status != 0) std::printf("benchmark failed\n");
  }
  StopService();  // the test harness starts the session's service again
  CoUninitialize();
  return status;
}
