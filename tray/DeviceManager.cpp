#include "tray/DeviceManager.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "device/DeviceRecords.h"
#include "platform/Strings.h"
#include "tray/DelayTimer.h"
#include "tray/EventConnections.h"

const CMacroLedScheme MacroLedScheme = {
    {7, 1, 255, 100, 0, 0, 0},
    {7, 1, 255, 100, 1, 300, 300},
    {7, 0, 255, 100, 0, 0, 0},
};

namespace {

constexpr wchar_t kNewMacro[] = L"New Macro";
// Property 0x80000002: 256 bytes, a file name of at most 127 characters and its NUL.
constexpr DWORD kProgramBytes = 256;
constexpr size_t kProgramChars = kProgramBytes / sizeof(wchar_t);

template <typename T>
std::wstring NameOf(T* object) {
  LPWSTR text = nullptr;
  if (!object || FAILED(object->GetName(&text))) {
    CoTaskMemFree(text);
    return {};
  }
  return TakeServiceString(text, tray::kMaxNameChars);
}

template <typename T>
bool ReadName(T* object, std::wstring& name) {
  LPWSTR text = nullptr;
  if (!object || FAILED(object->GetName(&text)) || !text) {
    CoTaskMemFree(text);
    return false;
  }
  name = TakeServiceString(text, tray::kMaxNameChars);
  return true;
}

// The program property read within its 127 characters; no terminator there gives no program.
HRESULT ReadProgram(IProfileProperties* properties, std::wstring& program) {
  wchar_t buffer[kProgramChars] = {};
  DWORD size = kProgramBytes;
  const HRESULT hr = properties->GetProperty(kProfilePropertyProgramFile, 0, buffer, 0, &size);
  if (FAILED(hr)) return hr;
  program.clear();
  if (size == 0) return hr;
  const size_t units = std::min<size_t>(size / sizeof(wchar_t), kProgramChars);
  const size_t length = wcsnlen(buffer, units);
  if (length < units) program.assign(buffer, length);
  return hr;
}

HRESULT ReadFlags(IProfileProperties* properties, _Profile_Setting_& setting) {
  WORD flags = 0;
  DWORD size = sizeof(flags);
  const HRESULT hr = properties->GetProperty(kProfilePropertyFlags, 0, &flags, 0, &size);
  if (SUCCEEDED(hr) && size != 0) {
    setting.autoSwitch = (flags & 1) ? 1 : 0;
    setting.flag1 = (flags & 2) ? 1 : 0;
    setting.showOsd = (flags & 4) ? 1 : 0;
  }
  return hr;
}

HRESULT WriteFlagWord(IDeviceProfile* profile, WORD mask, WORD value) {
  ComRef<IProfileProperties> properties;
  HRESULT hr = GetFeatureOf(profile, properties);
  if (FAILED(hr)) return hr;
  const ProfileFlagWrite write{mask, value};
  return properties->SetProperty(kProfilePropertyFlags, &write, 0, sizeof(write), 0);
}

}  // namespace

namespace tray {

int32_t MacroNameNumber(const std::wstring& name) {
  if (name.find(kNewMacro) == std::wstring::npos) return 0;
  size_t at = name.find_first_not_of(kNewMacro);
  if (at == std::wstring::npos) return 0;
  while (at < name.size() && iswspace(name[at])) ++at;
  bool negative = false;
  if (at < name.size() && (name[at] == L'+' || name[at] == L'-')) negative = name[at++] == L'-';
  int64_t value = 0;
  bool tooLarge = false;
  for (; at < name.size() && name[at] >= L'0' && name[at] <= L'9'; ++at) {
    value = value * 10 + (name[at] - L'0');
    if (value > INT_MAX) tooLarge = true, value = INT_MAX;
  }
  // A number that cannot be counted one higher in 32 bits counts as none.
  if (negative) return tooLarge ? 0 : static_cast<int32_t>(-value);
  if (tooLarge || value >= INT_MAX) return 0;
  return static_cast<int32_t>(value);
}

bool ReadProfileProperties(IDeviceProfile* profile, _Profile_Setting_& setting) {
  ComRef<IProfileProperties> properties;
  if (FAILED(GetFeatureOf(profile, properties)) || !properties) return false;
  if (FAILED(ReadProgram(properties.Get(), setting.program))) return false;
  return SUCCEEDED(ReadFlags(properties.Get(), setting));
}

}  // namespace tray

CDeviceManager::CDeviceManager() {
  if (FAILED(CoCreateInstance(CLSID_DeviceServiceClass, nullptr, kDeviceServiceContext, __uuidof(IDeviceManager),
                              m_deviceManager.OutVoid())) ||
      !m_deviceManager)
    return;
  m_productId = tray::kOvrixProductId;
  for (int index = 0;; ++index) {
    ComRef<IDevice> device;
    if (FAILED(m_deviceManager->GetDevice(index, device.Out())) || !device) break;
    ComRef<IDeviceIdentity> identity;
    if (FAILED(device->QueryInterface(__uuidof(IDeviceIdentity), identity.OutVoid())) || !identity) continue;
    DWORD vendorId = 0, productId = 0;
    if (FAILED(identity->GetIds(&vendorId, &productId)) || productId != static_cast<DWORD>(m_productId)) continue;
    m_device = std::move(device);
    if (FAILED(GetFeatureOf(m_device.Get(), m_profileManager))) m_profileManager.Reset();
    break;
  }
}

CDeviceManager::~CDeviceManager() {
  m_profileManager.Reset();
  m_device.Reset();
  m_deviceManager.Reset();
}

bool CDeviceManager::IsDevicePresent() const { return static_cast<bool>(m_device); }

template <typename Match>
ComRef<IDeviceProfile> CDeviceManager::FindProfile(Match match) {
  if (!m_profileManager) return {};
  for (int index = 0;; ++index) {
    ComRef<IDeviceProfile> profile;
    if (FAILED(m_profileManager->GetProfile(index, profile.Out())) || !profile) return {};
    if (match(profile.Get())) return profile;
  }
}

ComRef<IDeviceProfile> CDeviceManager::FindProfileByExactName(const std::wstring& name) {
  return FindProfile([&](IDeviceProfile* p) {
    std::wstring n;
    return ReadName(p, n) && n == name;
  });
}

ComRef<IDeviceMacro> CDeviceManager::FindMacroById(const GUID& id) {
  ComRef<IMacroManager> macros;
  if (!m_device || FAILED(GetFeatureOf(m_device.Get(), macros)) || !macros) return {};
  for (int index = 0;; ++index) {
    ComRef<IDeviceMacro> macro;
    if (FAILED(macros->GetMacro(index, macro.Out())) || !macro) return {};
    GUID macroId{};
    if (SUCCEEDED(macro->GetId(&macroId)) && IsEqualGUID(macroId, id)) return macro;
  }
}

bool CDeviceManager::GetAllProfiles(std::vector<_Profile_Setting_>& settings) {
  settings.clear();
  if (!m_profileManager) return false;
  for (int index = 0;; ++index) {
    ComRef<IDeviceProfile> profile;
    if (FAILED(m_profileManager->GetProfile(index, profile.Out())) || !profile) break;
    _Profile_Setting_ setting;
    if (!ReadName(profile.Get(), setting.name)) continue;
    profile->GetId(&setting.id);
    ComRef<IProfileProperties> properties;
    if (FAILED(GetFeatureOf(profile.Get(), properties)) || !properties) continue;
    ReadProgram(properties.Get(), setting.program);
    ReadFlags(properties.Get(), setting);
    settings.push_back(std::move(setting));
  }
  return !settings.empty();
}

bool CDeviceManager::GetProfileNames(std::vector<std::wstring>& names) {
  names.clear();
  if (!m_profileManager) return false;
  for (int index = 0;; ++index) {
    ComRef<IDeviceProfile> profile;
    if (FAILED(m_profileManager->GetProfile(index, profile.Out())) || !profile) break;
    std::wstring name;
    if (ReadName(profile.Get(), name)) names.push_back(std::move(name));
  }
  return !names.empty();
}

bool CDeviceManager::GetProfileById(const GUID& id, _Profile_Setting_& setting) {
  ComRef<IDeviceProfile> profile = FindProfile([&](IDeviceProfile* p) {
    GUID candidate{};
    return SUCCEEDED(p->GetId(&candidate)) && IsEqualGUID(candidate, id);
  });
  if (!profile) return false;
  setting.id = id;
  setting.name = NameOf(profile.Get());
  return tray::ReadProfileProperties(profile.Get(), setting);
}

bool CDeviceManager::GetProfileByName(const std::wstring& name, _Profile_Setting_& setting) {
  ComRef<IDeviceProfile> profile = FindProfileByExactName(name);
  if (!profile) return false;
  setting.name = name;
  return tray::ReadProfileProperties(profile.Get(), setting);
}

bool CDeviceManager::GetActiveProfileId(GUID& id) {
  if (!m_profileManager) return false;
  ComRef<IDeviceProfile> active;
  if (FAILED(m_profileManager->GetActiveProfile(active.Out())) || !active) return false;
  GUID read{};
  if (FAILED(active->GetId(&read))) return false;
  id = read;
  return true;
}

bool CDeviceManager::GetActiveProfileName(std::wstring& name) {
  if (!m_profileManager) return false;
  ComRef<IDeviceProfile> active;
  if (FAILED(m_profileManager->GetActiveProfile(active.Out())) || !active) return false;
  return ReadName(active.Get(), name);
}

bool CDeviceManager::ActivateProfileById(GUID id) {
  ComRef<IDeviceProfile> profile = FindProfile([&](IDeviceProfile* p) {
    GUID candidate{};
    return SUCCEEDED(p->GetId(&candidate)) && IsEqualGUID(candidate, id);
  });
  return profile && SUCCEEDED(m_profileManager->SetActiveProfile(profile.Get()));
}

bool CDeviceManager::ActivateProfileByName(const std::wstring& name) {
  ComRef<IDeviceProfile> profile = FindProfileByExactName(name);
  return profile && SUCCEEDED(m_profileManager->SetActiveProfile(profile.Get()));
}

void CDeviceManager::GetNextMacroName(std::wstring& name) {
  ComRef<IMacroManager> macros;
  if (!m_device || FAILED(GetFeatureOf(m_device.Get(), macros)) || !macros) return;
  int32_t highest = 0;
  for (int index = 0;; ++index) {
    ComRef<IDeviceMacro> macro;
    if (FAILED(macros->GetMacro(index, macro.Out())) || !macro) break;
    std::wstring macroName;
    if (!ReadName(macro.Get(), macroName)) continue;
    const int32_t number = tray::MacroNameNumber(macroName);
    if (number > highest) highest = number;
  }
  name = std::wstring(kNewMacro) + std::to_wstring(highest + 1);
}

bool CDeviceManager::CreateMacro(const std::wstring& name, const std::vector<DeviceMacroEvent>& events, GUID& id) {
  if (!m_device) return false;
  DeviceMacroBlobPtr blob = AllocateDeviceMacroBlob(events.size());
  if (!blob) return false;
  if (!events.empty()) std::memcpy(blob->events, events.data(), events.size() * sizeof(DeviceMacroEvent));

  ComRef<IMacroManager> macros;
  if (FAILED(GetFeatureOf(m_device.Get(), macros)) || !macros) return false;
  ComRef<IDeviceMacro> macro;
  if (FAILED(macros->CreateMacro(macro.Out())) || !macro) return false;
  GUID created{};
  const bool made = SUCCEEDED(macro->SetName(name.c_str())) && SUCCEEDED(macro->SetEvents(blob.get())) &&
                    SUCCEEDED(macro->GetId(&created));
  if (!made) {
    // A macro without its name or events would stay on the device as junk.
    macros->DeleteMacro(macro.Get());
    return false;
  }
  id = created;
  return true;
}

bool CDeviceManager::AssignMacroInProfile(IDeviceProfile* profile, const GUID& macroId, int deviceKeyCode) {
  if (!FindMacroById(macroId)) return false;
  DeviceKeyAssignment record{};
  SetDeviceRecordInt(record, 0, 0);
  SetDeviceRecordWord(record, 4, static_cast<uint32_t>(deviceKeyCode));
  SetDeviceRecordInt(record, 8, DEVICE_ASSIGN_MACRO);
  SetDeviceRecordGuid(record, 12, macroId);
  SetDeviceRecordByte(record, 28, 1);  // play once
  SetDeviceRecordByte(record, 29, 0);  // repeat count
  ComRef<IKeyAssignments> keys;
  if (FAILED(GetFeatureOf(profile, keys)) || !keys) return false;
  return SUCCEEDED(keys->SetAssignments(1, &record));
}

bool CDeviceManager::AssignMacroToKey(const GUID& macroId, int /*first*/, int deviceKeyCode) {
  if (!m_device || !m_profileManager) return false;
  ComRef<IDeviceProfile> active;
  if (FAILED(m_profileManager->GetActiveProfile(active.Out())) || !active) return false;
  if (!AssignMacroInProfile(active.Get(), macroId, deviceKeyCode)) return false;
  // The device takes the changed assignments when the profile is made active again.
  return SUCCEEDED(m_profileManager->SetActiveProfile(active.Get()));
}

bool CDeviceManager::AssignMacroToKeyInProfile(const std::wstring& profileName, const GUID& macroId, int /*first*/,
                                               int deviceKeyCode) {
  if (!m_device) return false;
  ComRef<IDeviceProfile> profile = FindProfile([&](IDeviceProfile* p) {
    std::wstring n;
    return ReadName(p, n) && platform::EqualsNoCase(n, profileName);
  });
  return profile && AssignMacroInProfile(profile.Get(), macroId, deviceKeyCode);
}

bool CDeviceManager::BeginRecordingMode() { return SetRecordingMode() && ApplyLedToActiveProfile(MacroLedScheme[0]); }
// The active profile's recording: the same steps as for a recording's own profile.
bool CDeviceManager::ShowRecordingStopped() { return ShowRecordingStopped(GUID{}); }
bool CDeviceManager::CancelRecordingMode() { return CancelRecordingMode(GUID{}); }
bool CDeviceManager::FinishRecording(int first, int deviceKeyCode) {
  return FinishRecording(GUID{}, first, deviceKeyCode);
}
bool CDeviceManager::RecordingLedOff() { return RecordingLedOff(GUID{}); }

ComRef<IDeviceProfile> CDeviceManager::RecordingProfile(const GUID& id) {
  if (!m_profileManager) return {};
  if (!IsZeroGuid(id)) {
    ComRef<IDeviceProfile> profile = FindProfile([&](IDeviceProfile* p) {
      GUID candidate{};
      return SUCCEEDED(p->GetId(&candidate)) && IsEqualGUID(candidate, id);
    });
    if (profile) return profile;
  }
  ComRef<IDeviceProfile> active;
  if (FAILED(m_profileManager->GetActiveProfile(active.Out()))) active.Reset();
  return active;
}

bool CDeviceManager::ShowRecordingStopped(const GUID& profile) {
  ComRef<IDeviceProfile> recording = RecordingProfile(profile);
  return recording && ApplyLed(recording.Get(), MacroLedScheme[1]);
}

bool CDeviceManager::CancelRecordingMode(const GUID& profile) {
  if (!SetNormalMode()) return false;
  ComRef<IDeviceProfile> recording = RecordingProfile(profile);
  return recording && ApplyLed(recording.Get(), MacroLedScheme[2]);
}

bool CDeviceManager::RecordingLedOff(const GUID& profile) {
  ComRef<IDeviceProfile> recording = RecordingProfile(profile);
  return recording && ApplyLed(recording.Get(), MacroLedScheme[2]);
}

bool CDeviceManager::FinishRecording(const GUID& profile, int /*first*/, int deviceKeyCode) {
  SetNormalMode();
  ComRef<IDeviceProfile> recording = RecordingProfile(profile);
  if (!recording) return false;
  // A light that stays on must not lose the recording: the macro is made whatever it answered.
  ApplyLed(recording.Get(), MacroLedScheme[2]);
  std::wstring name;
  GetNextMacroName(name);
  const std::vector<DeviceMacroEvent> events = MacroRecorder.Events();
  GUID id{};
  if (!CreateMacro(name, events, id) || !AssignMacroInProfile(recording.Get(), id, deviceKeyCode)) return false;
  GUID recordingId{}, active{};
  if (FAILED(recording->GetId(&recordingId)) || !GetActiveProfileId(active) || !IsEqualGUID(active, recordingId))
    return true;
  return SUCCEEDED(m_profileManager->SetActiveProfile(recording.Get()));
}

std::unique_ptr<CDpiEventConnection> CDeviceManager::ConnectDpiEvents(IDpiEventHandler* handler) {
  if (!m_profileManager) return nullptr;
  ComRef<IDeviceProfile> active;
  if (FAILED(m_profileManager->GetActiveProfile(active.Out())) || !active) return nullptr;
  ComRef<IDPI> dpi;
  if (FAILED(GetFeatureOf(active.Get(), dpi)) || !dpi) return nullptr;
  return CDpiEventConnection::Create(dpi.Get(), handler);
}

std::unique_ptr<CProfileEventConnection> CDeviceManager::ConnectProfileEvents(IProfileEventHandler* handler) {
  if (!m_profileManager) return nullptr;
  return CProfileEventConnection::Create(m_profileManager.Get(), handler);
}

std::unique_ptr<CMacroEventConnection> CDeviceManager::ConnectMacroEvents(IMacroEventHandler* handler) {
  ComRef<IOTFMacroRecording> recording;
  if (!m_device || FAILED(GetFeatureOf(m_device.Get(), recording)) || !recording) return nullptr;
  return CMacroEventConnection::Create(recording.Get(), handler);
}

std::unique_ptr<CLaunchAppEventConnection> CDeviceManager::ConnectLaunchAppEvents(ILaunchAppEventHandler* handler) {
  ComRef<IApplicationManager> apps;
  if (!m_device || FAILED(GetFeatureOf(m_device.Get(), apps)) || !apps) return nullptr;
  return CLaunchAppEventConnection::Create(apps.Get(), handler);
}

bool CDeviceManager::SetProfileProgramPath(const std::wstring& profileName, const std::wstring& program) {
  BYTE buffer[kProgramFilePropertyBytes];
  // 128 characters or more would not fit with their terminator: refused, never cut.
  if (!MakeProgramFileProperty(program, buffer)) return false;
  ComRef<IDeviceProfile> profile = FindProfileByExactName(profileName);
  ComRef<IProfileProperties> properties;
  if (!profile || FAILED(GetFeatureOf(profile.Get(), properties)) || !properties) return false;
  return SUCCEEDED(
      properties->SetProperty(kProfilePropertyProgramFile, buffer, 0, kProgramFilePropertyBytes, 0));
}

bool CDeviceManager::SetProfileFlagWord(const std::wstring& profileName, WORD value) {
  ComRef<IDeviceProfile> profile = FindProfileByExactName(profileName);
  return profile && SUCCEEDED(WriteFlagWord(profile.Get(), 1, value));
}

bool CDeviceManager::ChangeProfileFlag(const std::wstring& profileName, WORD value1, WORD value2, WORD value3) {
  ComRef<IDeviceProfile> profile = FindProfileByExactName(profileName);
  return profile && SUCCEEDED(WriteFlagWord(profile.Get(), 1, value1)) &&
         SUCCEEDED(WriteFlagWord(profile.Get(), 2, value2)) && SUCCEEDED(WriteFlagWord(profile.Get(), 4, value3));
}

bool CDeviceManager::ApplyLedToActiveProfile(const CLed& led) {
  std::wstring name;
  return GetActiveProfileName(name) && ApplyLedToProfile(name, led);
}

bool CDeviceManager::ApplyLedToProfile(const std::wstring& profileName, const CLed& led) {
  ComRef<IDeviceProfile> profile = FindProfileByExactName(profileName);
  return profile && ApplyLed(profile.Get(), led);
}

bool CDeviceManager::ApplyLed(IDeviceProfile* profile, const CLed& led) {
  ComRef<ILedManager> leds;
  if (FAILED(GetFeatureOf(profile, leds)) || !leds) return false;
  for (int index = 0;; ++index) {
    ComRef<ILed> item;
    if (FAILED(leds->GetLed(index, item.Out())) || !item) return false;
    int id = 0;
    if (FAILED(item->GetId(&id)) || id != led.ledId) continue;
    ComRef<ILedColor> colour;
    if (SUCCEEDED(item->QueryInterface(__uuidof(ILedColor), colour.OutVoid())) && colour) colour->SetColor(led.colour);
    ComRef<ILedEffect> effect;
    if (SUCCEEDED(item->QueryInterface(__uuidof(ILedEffect), effect.OutVoid())) && effect)
      effect->SetEffect(led.effect, led.time1, led.time2);
    ComRef<ILedBrightness> brightness;
    if (SUCCEEDED(item->QueryInterface(__uuidof(ILedBrightness), brightness.OutVoid())) && brightness)
      brightness->SetBrightness(led.brightness);
    if (led.on == 1) item->TurnOn();
    else item->TurnOff();
    return true;
  }
}

bool CDeviceManager::SetRecordingMode() { return SetDeviceMode(2); }
bool CDeviceManager::SetNormalMode() { return SetDeviceMode(1); }

bool CDeviceManager::SetDeviceMode(int mode) {
  ComRef<IDeviceMode> deviceMode;
  if (!m_device || FAILED(GetFeatureOf(m_device.Get(), deviceMode)) || !deviceMode) return false;
  return SUCCEEDED(deviceMode->SetMode(mode));
}
