// The single device operations of the window code, each inside its own connection.
#include "device/Keyboard.h"
#include "device/ProfileNames.h"


namespace {

// Does any profile of the configuration bear exactly this name? Names that differ
// in case are different names for profiles.
bool ProfileNamedExactly(IKeyboardConfig* config, const std::wstring& name) {
  for (int i = 0; i < config->GetProfileCount(); ++i) {
    IKeyboardProfile* profile = config->GetProfile(i);
    if (profile != nullptr && profile->GetName() == name) return true;
  }
  return false;
}

}  // namespace

bool CKeyboard::ImportProfileFile(const std::wstring& path, IKeyboardConfig* config) {
  if (config == nullptr || !HasCapability(CAPABILITY_PROFILES)) return false;
  ScopedConnection connection(*this);
  if (!connection) return false;
  ComRef<IProfileManager> profiles;
  if (FAILED(GetFeatureOf(m_device, profiles))) return false;
  ComRef<IDeviceProfile> imported;
  if (FAILED(profiles->ImportProfile(path.c_str(), imported.Out())) || !imported) return false;
  // From here on the service holds the imported profile. An import that fails
  // takes it away again at once: left there, it would be a profile the window
  // never shows, kept until some later write happened to delete it. Only when
  // the service refuses the delete is it left to the next write.
  GUID id{};
  auto discard = [&] {
    if (SUCCEEDED(profiles->DeleteProfile(imported.Get())))
      m_known.profiles.erase(id);
    else if (!IsZeroGuid(id))
      m_known.profiles.insert(id);
    return false;
  };
  // Without its id the configuration could not match the profile to the device's,
  // and the next write would make a second one.
  if (FAILED(imported->GetId(&id)) || IsZeroGuid(id)) {
    id = GUID{};
    return discard();
  }
  LPWSTR raw = nullptr;
  const HRESULT named = imported->GetName(&raw);
  const std::wstring fileName = device::TakeName(raw, kMaxNameChars);
  if (FAILED(named)) return discard();
  // A profile needs a name of its own: a key that switches by name, and the
  // tray's menu, reach only one of two profiles of one name.
  const std::wstring name = device::ImportedProfileName(
      fileName, path, [config](const std::wstring& candidate) { return ProfileNamedExactly(config, candidate); });
  if (name.empty()) return discard();
  if (name != fileName && FAILED(imported->SetName(name.c_str()))) return discard();
  IKeyboardProfile* added = config->AddNewProfile(name);
  if (added == nullptr) return discard();
  added->SetId(id);
  m_known.profiles.insert(id);

  DeviceSession session = WindowSession();
  bool result = true;
  if (HasCapability(CAPABILITY_PROFILE_PROPERTIES)) result = ReadProfileProperties(imported.Get(), added);
  if (HasCapability(CAPABILITY_KEY_ASSIGNMENTS)) {
    ComRef<IKeyAssignments> keys;
    result = result && SUCCEEDED(GetFeatureOf(imported.Get(), keys)) &&
             ReadKeyAssignments(session, added, keys.Get(), config);
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
  if (!result) {
    // Half read, the profile would go back to the device at the next Apply as it
    // stands here (keys not read at their defaults, over the imported ones): the
    // import is undone in the configuration and on the device instead.
    if (IKeyboardProfile* profile = config->FindProfileByGuid(id)) config->DeleteProfile(profile);
    return discard();
  }
  return true;
}

bool CKeyboard::SetRemappingMode(int mode) {
  ScopedConnection connection(*this);
  if (!connection || !m_device) return false;
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
