// Filling the configuration from the device service.
#include <algorithm>
#include <cstdio>

#include "device/Keyboard.h"
#include "device/KeyboardDef.h"


namespace {

// More keys than any keyboard has: a larger count from the service is cut to it.
constexpr DWORD kMaxDeviceKeys = 1024;

std::wstring FormatVersion(DWORD major, DWORD minor) {
  wchar_t text[32];
  swprintf(text, 32, L"%d.%02d", static_cast<int>(major), static_cast<int>(minor));
  return text;
}

using device::TakeName;

void ClearChangeMarks(IKeyboardConfig* config) {
  if (auto* marks = dynamic_cast<CMorvelConfig*>(config)) marks->ClearMarks(UINT64_MAX);
}

// A CoTaskMem block of `count` key records; null when it cannot be had.
DeviceKeyAssignment* AllocateKeyRecords(std::size_t count) {
  if (count == 0 || count > kMaxDeviceKeys) return nullptr;
  return static_cast<DeviceKeyAssignment*>(CoTaskMemAlloc(count * sizeof(DeviceKeyAssignment)));
}

// Reads the key records of a device profile into `records`; false on failure.
bool GetKeyRecords(IKeyAssignments* keys, std::size_t capacity, std::vector<DeviceKeyAssignment>& records) {
  records.clear();
  DeviceKeyAssignment* buffer = AllocateKeyRecords(capacity);
  if (buffer == nullptr) return false;
  DWORD returned = static_cast<DWORD>(capacity);
  DeviceKeyAssignment* target = buffer;
  const HRESULT hr = keys->GetAssignments(&returned, &target);
  const bool ok = SUCCEEDED(hr) && target == buffer && returned <= capacity;
  if (ok) records.assign(buffer, buffer + returned);
  CoTaskMemFree(buffer);
  return ok;
}

}  // namespace

bool CKeyboard::ReadFromDevice(IKeyboardConfig* config) {
  if (config == nullptr) return false;
  ScopedConnection connection(*this);
  if (!connection) return false;  // no keyboard: the configuration is left as it is
  // Filled only while this connection is held, so never while a write reads them.
  BuildAssignmentTemplates();
  bool ok = true;
  if (HasCapability(CAPABILITY_VERSIONS)) ok = ReadVersionStrings();
  if (HasCapability(CAPABILITY_PROFILES)) {
    config->ClearProfiles();
    m_known.profiles.clear();
    ComRef<IProfileManager> profiles;
    if (FAILED(GetFeatureOf(m_device, profiles))) ok = false;
    for (int index = 0; profiles && index < kMaxDeviceObjects; ++index) {
      ComRef<IDeviceProfile> deviceProfile;
      if (FAILED(profiles->GetProfile(index, deviceProfile.Out())) || !deviceProfile) break;
      if (!ok) continue;
      LPWSTR raw = nullptr;
      const HRESULT named = deviceProfile->GetName(&raw);
      const std::wstring name = TakeName(raw, kMaxNameChars);
      if (FAILED(named)) {
        ok = false;
        continue;
      }
      IKeyboardProfile* added = config->AddNewProfile(name);
      GUID id{};
      if (added == nullptr || FAILED(deviceProfile->GetId(&id)) || IsZeroGuid(id)) {
        // A profile without its device id would be created a second time by the next write.
        if (added != nullptr) config->DeleteProfile(added);
        ok = false;
        continue;
      }
      added->SetId(id);
      m_known.profiles.insert(id);
    }
    GUID activeId{};
    if (ok && profiles) ok = ReadActiveProfileId(profiles.Get(), activeId);
    if (ok) config->SetActiveProfile(config->FindProfileByGuid(activeId));
    if (ok && HasCapability(CAPABILITY_KEY_ASSIGNMENTS)) {
      ComRef<IDeviceProfile> active;
      ok = SUCCEEDED(profiles->GetProfileById(activeId, active.Out())) && active && ReadKeyCodeList(active.Get());
    }
  }
  ClearChangeMarks(config);
  return m_device && ok;
}

bool CKeyboard::ReadVersionStrings() {
  bool ok = true;
  for (int which = 0; which < 2; ++which) {
    DeviceInfo info{};
    const HRESULT hr = m_device->GetInfo(&info);
    CoTaskMemFree(info.text);
    std::wstring& target = which == 0 ? m_firmwareVersion : m_secondVersion;
    if (FAILED(hr)) {
      wchar_t text[32];
      swprintf(text, 32, L"%.2f", 0.0);
      target = text;
      ok = false;
      continue;
    }
    target = which == 0 ? FormatVersion(info.firmwareMajor, info.firmwareMinor)
                        : FormatVersion(info.secondMajor, info.secondMinor);
  }
  return ok;
}

bool CKeyboard::ReadActiveProfileId(IProfileManager* profiles, GUID& id) {
  id = GUID{};
  ComRef<IDeviceProfile> active;
  if (FAILED(profiles->GetActiveProfile(active.Out())) || !active) return false;
  return SUCCEEDED(active->GetId(&id));
}

bool CKeyboard::ReadKeyCodeList(IDeviceProfile* profile) {
  ClearKeyCodes();
  ComRef<IKeyAssignments> keys;
  if (FAILED(GetFeatureOf(profile, keys))) return false;
  DeviceAssignmentCount count{};
  if (FAILED(keys->GetCount(&count))) return false;
  std::vector<DeviceKeyAssignment> records;
  if (!GetKeyRecords(keys.Get(), std::min<DWORD>(count.count, kMaxDeviceKeys), records)) return false;
  std::vector<uint32_t> codes;
  codes.reserve(records.size());
  for (const DeviceKeyAssignment& record : records) codes.push_back(record.keyCode);
  SetKeyCodes(std::move(codes));
  return KeyCount() != 0;
}

bool CKeyboard::ReadConfigJob(DeviceSession& session, IKeyboardConfig* config, TransferMask mask) {
  if (session.device == nullptr || config == nullptr) return false;
  // The read succeeds only when at least one profile was identified and no step of
  // any profile failed: a profile whose keys were not read must not count as read,
  // or the next write would put its unread keys' defaults over the keyboard's.
  bool identifiedOne = false;
  bool failed = false;
  if (HasCapability(CAPABILITY_PROFILES) && (mask & 0x30F)) {
    ComRef<IProfileManager> profiles;
    if (SUCCEEDED(GetFeatureOf(session.device, profiles))) {
      GUID activeId{};
      ReadActiveProfileId(profiles.Get(), activeId);
      for (int index = 0; index < kMaxDeviceObjects; ++index) {
        ComRef<IDeviceProfile> deviceProfile;
        if (FAILED(profiles->GetProfile(index, deviceProfile.Out())) || !deviceProfile) break;
        GUID id{};
        if (FAILED(deviceProfile->GetId(&id))) {
          failed = true;
          continue;
        }
        identifiedOne = true;
        IKeyboardProfile* profile = config->FindProfileByGuid(id);
        if (profile == nullptr) continue;
        if (!IsZeroGuid(activeId) && IsEqualGUID(activeId, id)) config->SetActiveProfile(profile);
        bool profileOk = true;
        if (HasCapability(CAPABILITY_PROFILE_PROPERTIES) && (mask & 0x100))
          profileOk = ReadProfileProperties(deviceProfile.Get(), profile);
        if (HasCapability(CAPABILITY_KEY_ASSIGNMENTS) && (mask & 0x002)) {
          ComRef<IKeyAssignments> keys;
          profileOk = profileOk && SUCCEEDED(GetFeatureOf(deviceProfile.Get(), keys)) &&
                      ReadKeyAssignments(session, profile, keys.Get(), config);
        }
        if (!profileOk) failed = true;
      }
    }
  }
  bool ok = identifiedOne && !failed;
  if (HasCapability(CAPABILITY_MACROS) && (mask & 0x010)) {
    ComRef<IMacroManager> macros;
    ok = ok && SUCCEEDED(GetFeatureOf(session.device, macros)) && ReadMacros(session, config, macros.Get());
  }
  if (HasCapability(CAPABILITY_APPLICATIONS) && (mask & 0x200)) {
    ComRef<IApplicationManager> apps;
    ok = ok && SUCCEEDED(GetFeatureOf(session.device, apps)) && ReadApplications(session, config, apps.Get());
  }
  // What was just read is what the device holds: nothing of it is the user's change.
  ClearChangeMarks(config);
  return ok;
}

bool CKeyboard::ReadProfileProperties(IDeviceProfile* deviceProfile, IKeyboardProfile* profile) {
  if (profile == nullptr || deviceProfile == nullptr) return false;
  LPWSTR raw = nullptr;
  const HRESULT named = deviceProfile->GetName(&raw);
  const std::wstring name = TakeName(raw, kMaxNameChars);
  GUID id{};
  const HRESULT identified = deviceProfile->GetId(&id);
  if (SUCCEEDED(named)) profile->SetName(name);
  if (SUCCEEDED(identified)) profile->SetId(id);

  ComRef<IProfileProperties> properties;
  if (FAILED(GetFeatureOf(deviceProfile, properties))) return false;
  BYTE program[kProgramFilePropertyBytes] = {};
  DWORD size = kProgramFilePropertyBytes;
  if (SUCCEEDED(properties->GetProperty(kProfilePropertyProgramFile, 0, program, 0, &size)) && size != 0) {
    // At most 127 characters fit the field beside its terminator.
    profile->SetFileName(CutToField(ProgramFileFromProperty(program, sizeof program, size), kMaxProgramFileChars));
    WORD flags = 0;
    size = sizeof flags;
    if (SUCCEEDED(properties->GetProperty(kProfilePropertyFlags, 0, &flags, 0, &size)) && size != 0)
      profile->SetAutoSwitch((flags & PROFILEFLAG_AUTOSWITCH) ? 1 : 0);
  }
  WORD flags = 0;
  size = sizeof flags;
  if (SUCCEEDED(properties->GetProperty(kProfilePropertyFlags, 0, &flags, 0, &size)) && size != 0)
    profile->SetShowOsd((flags & PROFILEFLAG_SHOWOSD) ? 1 : 0);
  return true;
}

bool CKeyboard::ReadKeyAssignments(DeviceSession& session, IKeyboardProfile* profile, IKeyAssignments* keys,
                                   IKeyboardConfig* config) {
  if (profile == nullptr || keys == nullptr || config == nullptr) return false;
  std::vector<DeviceKeyAssignment> records;
  if (!GetKeyRecords(keys, session.KeyCount(), records)) return false;
  for (const DeviceKeyAssignment& record : records) {
    const int32_t keyId = KeyIdFromDeviceCode(record.keyCode);
    if (keyId == 0) continue;  // a code no key of the definitions sends
    KeyAssignment assignment;
    assignment.kind = KindFromDeviceAssignment(record);
    FromDeviceAssignment(record, assignment);
    if (record.type == 5)
      assignment.kind = IsKeyDefault(keyId, record.keyCode, assignment) ? KEYKIND_DEFAULT : KEYKIND_SINGLEKEY;
    config->SetKeyAssignment(keyId, assignment, profile);  // kinds the profile does not take are refused
  }
  return true;
}

bool CKeyboard::ReadMacros(DeviceSession& session, IKeyboardConfig* config, IMacroManager* macros) {
  bool ok = true;
  for (int index = 0; index < kMaxDeviceObjects; ++index) {
    ComRef<IDeviceMacro> deviceMacro;
    if (FAILED(macros->GetMacro(index, deviceMacro.Out())) || !deviceMacro) break;
    LPWSTR raw = nullptr;
    const HRESULT named = deviceMacro->GetName(&raw);
    const std::wstring name = TakeName(raw, kMaxNameChars);
    if (FAILED(named)) continue;
    CMacro* macro = config->CreateMacro(name);
    if (macro == nullptr) continue;  // the name is taken
    GUID id{};
    // Not taken in: a macro without an id, one the configuration already has (under
    // another name), and one this configuration deleted and has yet to write away.
    if (FAILED(deviceMacro->GetId(&id)) || IsZeroGuid(id) || config->FindMacroByGuid(id) != nullptr ||
        session.known->macros.count(id) != 0) {
      config->DeleteMacro(macro);
      continue;
    }
    macro->id = id;
    DeviceMacroBlob* blob = nullptr;
    const HRESULT got = deviceMacro->GetEvents(&blob);
    MacroEventList events;
    const bool readable = SUCCEEDED(got) && ReadMacroBlob(blob, events);
    CoTaskMemFree(blob);
    if (!readable) {
      config->DeleteMacro(macro);
      ok = false;
      continue;
    }
    if (!events.empty()) macro->events = std::move(events);
    macro->HeldByDevice(*macro);
    session.known->macros.insert(id);
  }
  return ok;
}

bool CKeyboard::ReadApplications(DeviceSession& session, IKeyboardConfig* config, IApplicationManager* apps) {
  for (int index = 0; index < kMaxDeviceObjects; ++index) {
    ComRef<IDeviceApplication> deviceApp;
    if (FAILED(apps->GetApplication(index, deviceApp.Out())) || !deviceApp) break;
    LPWSTR raw = nullptr;
    const HRESULT named = deviceApp->GetName(&raw);
    const std::wstring path = TakeName(raw, kMaxPathChars);
    if (FAILED(named)) continue;
    CQxApp* app = config->CreateApp(path);
    if (app == nullptr) continue;
    GUID id{};
    if (FAILED(deviceApp->GetId(&id)) || IsZeroGuid(id) || config->FindAppByGuid(id) != nullptr ||
        session.known->apps.count(id) != 0) {
      config->DeleteApp(app);
      continue;
    }
    app->id = id;
    app->HeldByDevice(*app);
    session.known->apps.insert(id);
  }
  return true;
}
