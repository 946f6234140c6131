// The single device operations of the window code, each inside its own connection.
#include "device/Keyboard.h"


bool CKeyboard::ImportProfileFile(const std::wstring& path, IKeyboardConfig* config) {
  if (config == nullptr || !HasCapability(CAPABILITY_PROFILES)) return false;
  ScopedConnection connection(*this);
  if (!connection) return false;
  ComRef<IProfileManager> profiles;
  if (FAILED(GetFeatureOf(m_device, profiles))) return false;
  ComRef<IDeviceProfile> imported;
  if (FAILED(profiles->ImportProfile(path.c_str(), imported.Out())) || !imported) return false;
  // From here on the service holds the imported profile: if the configuration does
  // not take it in, the next write deletes it (its id is recorded as known), and one
  // whose id cannot be read is deleted at once.
  auto giveUp = [&] {
    GUID id{};
    if (SUCCEEDED(imported->GetId(&id)) && !IsZeroGuid(id))
      m_known.profiles.insert(id);
    else
      profiles->DeleteProfile(imported.Get());
  };
  LPWSTR raw = nullptr;
  const HRESULT named = imported->GetName(&raw);
  const std::wstring name = device::TakeName(raw, kMaxNameChars);
  if (FAILED(named)) {
    giveUp();
    return false;
  }
  IKeyboardProfile* added = config->AddNewProfile(name);
  GUID id{};
  bool result = false;
  if (added == nullptr) {
    giveUp();
  } else if (SUCCEEDED(imported->GetId(&id)) && !IsZeroGuid(id)) {
    added->SetId(id);
    m_known.profiles.insert(id);
    result = true;
  } else {
    config->DeleteProfile(added);  // without its id the next write would make a second one
    profiles->DeleteProfile(imported.Get());
  }
  DeviceSession session = WindowSession();
  if (result) {
    if (IKeyboardProfile* profile = config->FindProfileByGuid(id)) {
      if (HasCapability(CAPABILITY_PROFILE_PROPERTIES)) result = ReadProfileProperties(imported.Get(), profile);
      if (HasCapability(CAPABILITY_KEY_ASSIGNMENTS)) {
        ComRef<IKeyAssignments> keys;
        result = result && SUCCEEDED(GetFeatureOf(imported.Get(), keys)) &&
                 ReadKeyAssignments(session, profile, keys.Get(), config);
      }
    }
  }
  if (HasCapability(CAPABILITY_MACROS)) {
    ComRef<IMacroManager> macros;
    result = result && SUCCEEDED(GetFeatureOf(m_device, macros)) && ReadMacros(session, config, macros.Get());
  }
  if (HasCapability(CAPABILITY_APPLICATIONS)) {
    // The imported profile may have brought applications with it: they are taken in
    // first, so that writing the list back keeps them.
    ComRef<IApplicationManager> apps;
    GuidMap recreated;
    result = result && SUCCEEDED(GetFeatureOf(m_device, apps)) && ReadApplications(session, config, apps.Get()) &&
             DeleteStaleApplications(session, apps.Get(), config) &&
             WriteApplications(session, apps.Get(), config, recreated);
    // Keys that launch an application made anew follow it; the next write sends them.
    for (int i = 0; !recreated.empty() && i < config->GetProfileCount(); ++i)
      device::RepointKeys(config, config->GetProfile(i), KEYKIND_LAUNCH, recreated);
  }
  return result;
}

bool CKeyboard::SetRemappingMode(int mode) {
  ScopedConnection connection(*this);
  if (!connection || m_device == nullptr) return false;
  ComRef<IDeviceMode> deviceMode;
  if (FAILED(GetFeatureOf(m_device, deviceMode))) return false;
  return SUCCEEDED(deviceMode->SetMode(mode));
}

bool CKeyboard::SuspendRemapping() { return SetRemappingMode(2); }

bool CKeyboard::ResumeRemapping() { return SetRemappingMode(1); }

bool CKeyboard::ReadValue(DWORD* out) {
  if (out == nullptr) return false;
  ScopedConnection connection(*this);
  if (!connection) return false;
  ComRef<IDeviceStatus> status;
  if (FAILED(m_device->QueryInterface(__uuidof(IDeviceStatus), status.OutVoid())) || !status) return false;
  DWORD value = 0;
  if (FAILED(status->GetValue(&value))) return false;
  *out = value;
  return true;
}
