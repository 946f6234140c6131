// The single device operations of the window code, each inside its own connection.
#include "device/Keyboard.h"


bool CKeyboard::ImportProfileFile(const std::wstring& path, IKeyboardConfig* config) {
  if (config == nullptr || !HasCapability(CAPABILITY_PROFILES)) return false;
  ScopedConnection connection(*this);
  if (!connection) return false;
  ComRef<IProfileManager> profiles;
  if (FAILED(GetFeatureOf(device_, profiles))) return false;
  ComRef<IDeviceProfile> imported;
  if (FAILED(profiles->ImportProfile(path.c_str(), imported.Out())) || !imported) return false;
  LPWSTR raw = nullptr;
  const HRESULT named = imported->GetName(&raw);
  const std::wstring name = CutToField(TakeServiceString(raw, kMaxServiceStringChars), kMaxNameChars);
  if (FAILED(named)) return false;
  IKeyboardProfile* added = config->AddNewProfile(name);
  GUID id{};
  bool result = false;
  if (added != nullptr) {
    result = SUCCEEDED(imported->GetId(&id)) && !IsZeroGuid(id);
    if (result) {
      added->SetId(id);
      known_.profiles.insert(id);
    } else {
      config->DeleteProfile(added);  // without its id the next write would make a second one
    }
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
    result = result && SUCCEEDED(GetFeatureOf(device_, macros)) && ReadMacros(session, config, macros.Get());
  }
  if (HasCapability(CAPABILITY_APPLICATIONS)) {
    // The imported profile may have brought applications with it: they are taken in
    // first, so that writing the list back keeps them.
    ComRef<IApplicationManager> apps;
    result = result && SUCCEEDED(GetFeatureOf(device_, apps)) && ReadApplications(session, config, apps.Get()) &&
             DeleteStaleApplications(session, apps.Get(), config) && WriteApplications(session, apps.Get(), config);
  }
  return result;
}

bool CKeyboard::SetRemappingMode(int mode) {
  ScopedConnection connection(*this);
  if (!connection || device_ == nullptr) return false;
  ComRef<IDeviceMode> deviceMode;
  if (FAILED(GetFeatureOf(device_, deviceMode))) return false;
  return SUCCEEDED(deviceMode->SetMode(mode));
}

bool CKeyboard::SuspendRemapping() { return SetRemappingMode(2); }

bool CKeyboard::ResumeRemapping() { return SetRemappingMode(1); }

bool CKeyboard::ReadValue(DWORD* out) {
  if (out == nullptr) return false;
  ScopedConnection connection(*this);
  if (!connection) return false;
  ComRef<IDeviceStatus> status;
  if (FAILED(device_->QueryInterface(__uuidof(IDeviceStatus), status.OutVoid())) || !status) return false;
  DWORD value = 0;
  if (FAILED(status->GetValue(&value))) return false;
  *out = value;
  return true;
}
