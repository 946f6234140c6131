// Writing the configuration to the device service. Everything here runs on the
// write thread, on the write's own copy of the configuration.
#include <cstring>

#include "device/Keyboard.h"
#include "platform/Strings.h"


namespace {

std::wstring TakeName(LPWSTR raw, std::size_t maxChars) {
  return CutToField(TakeServiceString(raw, kMaxServiceStringChars), maxChars);
}

bool IsNamedKind(int32_t kind) {
  return kind == KEYKIND_MACRO_BYNAME || kind == KEYKIND_PROFILE_BYNAME || kind == KEYKIND_LAUNCH_BYPATH;
}

// A macro's events as the service takes them: header {0, n}, then the records.
struct MacroBlobOwner {
  explicit MacroBlobOwner(const MacroEventList& events) {
    if (events.size() > (1u << 20)) return;
    count = events.size();
    const std::size_t bytes = DeviceMacroBlobBytes(count);
    blob = static_cast<DeviceMacroBlob*>(CoTaskMemAlloc(bytes));
    if (blob == nullptr) return;
    std::memset(blob, 0, bytes);
    blob->reserved = 0;
    blob->count = static_cast<LONG>(count);
  }
  ~MacroBlobOwner() { CoTaskMemFree(blob); }
  MacroBlobOwner(const MacroBlobOwner&) = delete;
  MacroBlobOwner& operator=(const MacroBlobOwner&) = delete;

  DeviceMacroBlob* blob = nullptr;
  std::size_t count = 0;
};

// A device object made for a record whose id could not be learnt is of no use to
// anyone: it is taken away again.
template <typename TManager, typename TObject>
void DropOrphan(TManager* manager, HRESULT (STDMETHODCALLTYPE TManager::*remove)(TObject*), TObject* object) {
  (manager->*remove)(object);
}

// Deletes from the device, index by index, the objects whose ids this
// configuration took in and no longer holds. A successful delete moves the next
// object into the same index. False when a delete failed.
template <typename TManager, typename TObject, typename InConfig>
bool DeleteStaleObjects(TManager* manager, HRESULT (STDMETHODCALLTYPE TManager::*getAt)(int, TObject**),
                        HRESULT (STDMETHODCALLTYPE TManager::*remove)(TObject*), GuidSet& known,
                        InConfig inConfig) {
  bool ok = true;
  int index = 0;
  for (int step = 0; step < 2 * kMaxDeviceObjects; ++step) {
    ComRef<TObject> object;
    if (FAILED((manager->*getAt)(index, object.Out())) || !object) break;
    GUID id{};
    if (SUCCEEDED(object->GetId(&id)) && known.count(id) != 0 && !inConfig(id)) {
      if (SUCCEEDED((manager->*remove)(object.Get()))) {
        known.erase(id);
        continue;
      }
      ok = false;
    }
    ++index;
  }
  return ok;
}

}  // namespace

bool CKeyboard::WriteConfigJob(DeviceSession& session, IKeyboardConfig* config, TransferMask mask) {
  if (session.device == nullptr || config == nullptr) return false;
  bool ok = true;
  const bool profileStep = HasCapability(CAPABILITY_PROFILES) && (mask & 0x30F);
  ComRef<IProfileManager> profiles;
  if (profileStep) {
    if (FAILED(GetFeatureOf(session.device, profiles))) {
      ok = false;
    } else {
      SyncDeviceProfiles(session, profiles.Get(), config);
      for (int i = 0; i < config->GetProfileCount(); ++i) {
        if (session.Stopped()) ok = false;
        if (!ok) continue;  // a failure stops every later profile
        IKeyboardProfile* profile = config->GetProfile(i);
        ComRef<IDeviceProfile> deviceProfile;
        if (!EnsureDeviceProfile(session, profiles.Get(), profile) ||
            FAILED(profiles->GetProfileById(profile->GetId(), deviceProfile.Out())) || !deviceProfile) {
          ok = false;
          continue;
        }
        if (HasCapability(CAPABILITY_PROFILE_PROPERTIES) && (mask & 0x100)) {
          ComRef<IProfileProperties> properties;
          ok = SUCCEEDED(GetFeatureOf(deviceProfile.Get(), properties)) &&
               WriteProfileProperties(deviceProfile.Get(), properties.Get(), profile);
        }
        if (HasCapability(CAPABILITY_KEY_ASSIGNMENTS) && (mask & 0x002))
          ok = ok && WriteKeyAssignments(session, config, deviceProfile.Get(), profile);
      }
    }
  }
  if (HasCapability(CAPABILITY_MACROS) && (mask & 0x010)) {
    ComRef<IMacroManager> macros;
    const bool got = SUCCEEDED(GetFeatureOf(session.device, macros));
    if (ok && !session.Stopped()) {
      ok = got && DeleteStaleMacros(session, macros.Get(), config) && WriteMacros(session, macros.Get(), config);
    } else {
      ok = false;
    }
  }
  if (HasCapability(CAPABILITY_APPLICATIONS) && (mask & 0x200)) {
    ComRef<IApplicationManager> apps;
    const bool got = SUCCEEDED(GetFeatureOf(session.device, apps));
    if (ok && !session.Stopped()) {
      ok = got && DeleteStaleApplications(session, apps.Get(), config) && WriteApplications(session, apps.Get(), config);
    } else {
      ok = false;
    }
  }
  if (profileStep && ok) {
    if (session.Stopped()) return false;
    IKeyboardProfile* active = config->GetActiveProfile();
    ComRef<IDeviceProfile> deviceProfile;
    ok = active != nullptr && profiles && SUCCEEDED(profiles->GetProfileById(active->GetId(), deviceProfile.Out())) &&
         deviceProfile && SUCCEEDED(profiles->SetActiveProfile(deviceProfile.Get()));
  }
  return ok;
}

bool CKeyboard::SyncDeviceProfiles(DeviceSession& session, IProfileManager* profiles, IKeyboardConfig* config) {
  int index = 0;
  int remaining = 0;
  for (int step = 0; step < 2 * kMaxDeviceObjects && !session.Stopped(); ++step) {
    ComRef<IDeviceProfile> deviceProfile;
    if (FAILED(profiles->GetProfile(index, deviceProfile.Out())) || !deviceProfile) break;
    GUID id{};
    // Only what this configuration took in and has since deleted goes.
    if (SUCCEEDED(deviceProfile->GetId(&id)) && session.known->profiles.count(id) != 0 &&
        config->FindProfileByGuid(id) == nullptr && SUCCEEDED(profiles->DeleteProfile(deviceProfile.Get()))) {
      session.known->profiles.erase(id);
      continue;  // the next profile has moved into this index
    }
    ++index;
    ++remaining;
  }
  return config->GetProfileCount() >= remaining;
}

bool CKeyboard::EnsureDeviceProfile(DeviceSession& session, IProfileManager* profiles, IKeyboardProfile* profile) {
  if (profile == nullptr) return false;
  if (IsZeroGuid(profile->GetId())) {
    ComRef<IDeviceProfile> created;
    if (FAILED(profiles->CreateProfile(created.Out())) || !created) return false;
    GUID id{};
    if (FAILED(created->GetId(&id)) || IsZeroGuid(id)) {
      DropOrphan(profiles, &IProfileManager::DeleteProfile, created.Get());
      return false;
    }
    profile->SetId(id);
    session.known->profiles.insert(id);
    return SUCCEEDED(created->SetName(profile->GetName().c_str()));
  }
  ComRef<IDeviceProfile> found;
  if (FAILED(profiles->GetProfileById(profile->GetId(), found.Out())) || !found) return false;
  LPWSTR raw = nullptr;
  const HRESULT named = found->GetName(&raw);
  const std::wstring name = TakeName(raw, kMaxNameChars);
  if (FAILED(named)) return false;
  if (!platform::EqualsNoCase(name, profile->GetName())) return SUCCEEDED(found->SetName(profile->GetName().c_str()));
  return true;
}

bool CKeyboard::WriteProfileProperties(IDeviceProfile* deviceProfile, IProfileProperties* properties,
                                       IKeyboardProfile* profile) {
  if (deviceProfile == nullptr || properties == nullptr || profile == nullptr) return false;
  deviceProfile->SetName(profile->GetName().c_str());
  const std::wstring& fileName = profile->GetFileName();
  if (fileName.size() >= kProgramFilePropertyBytes / sizeof(wchar_t)) return false;
  bool written = true;
  wchar_t program[kProgramFilePropertyBytes / sizeof(wchar_t)] = {};
  std::memcpy(program, fileName.data(), fileName.size() * sizeof(wchar_t));
  if (SUCCEEDED(properties->SetProperty(kProfilePropertyProgramFile, program, 0, kProgramFilePropertyBytes, 0))) {
    const WORD autoSwitch[2] = {PROFILEFLAG_AUTOSWITCH,
                                static_cast<WORD>(!fileName.empty() && profile->GetAutoSwitch() != 0)};
    written = SUCCEEDED(properties->SetProperty(kProfilePropertyFlags, autoSwitch, 0, sizeof autoSwitch, 0));
  }
  if (written) {
    const WORD unused[2] = {PROFILEFLAG_UNUSED, 0};
    written = SUCCEEDED(properties->SetProperty(kProfilePropertyFlags, unused, 0, sizeof unused, 0));
  }
  if (written) {
    const WORD showOsd[2] = {PROFILEFLAG_SHOWOSD, static_cast<WORD>(profile->GetShowOsd() != 0)};
    written = SUCCEEDED(properties->SetProperty(kProfilePropertyFlags, showOsd, 0, sizeof showOsd, 0));
  }
  return written;
}

bool CKeyboard::WriteKeyAssignments(DeviceSession& session, IKeyboardConfig* config, IDeviceProfile* deviceProfile,
                                    IKeyboardProfile* profile) {
  if (config == nullptr || profile == nullptr || deviceProfile == nullptr) return false;
  ResolveNamedAssignments(session, profile, config);
  std::vector<DeviceKeyAssignment> records;
  records.reserve(session.KeyCount());
  const bool hasKeys = config->HasKeyAssignments(reinterpret_cast<intptr_t>(profile));
  for (const uint32_t keyCode : *session.keyCodes) {
    const int32_t keyId = KeyIdFromDeviceCode(keyCode);
    KeyAssignment assignment;
    if (keyId == 0) {
      assignment = DefaultKeyRecord(keyId, keyCode);
    } else if (!hasKeys) {
      assignment.kind = KEYKIND_DISABLED;
    } else {
      config->GetKeyAssignment(assignment, keyId, profile);
    }
    // Never assigned (every key of a new profile), or still naming a target that
    // could not be resolved: the key keeps its default rather than going dead.
    const bool unassigned = assignment.kind == KEYKIND_DEFAULT && assignment.payload.key.scanCode == 0;
    if (unassigned || IsNamedKind(assignment.kind)) assignment = DefaultKeyRecord(keyId, keyCode);
    DeviceKeyAssignment record = TemplateForKind(assignment.kind);
    record.keyCode = keyCode;
    ToDeviceAssignment(assignment, record);
    records.push_back(record);
  }
  ComRef<IKeyAssignments> keys;
  if (FAILED(GetFeatureOf(deviceProfile, keys))) return false;
  bool all = true;
  for (const DeviceKeyAssignment& record : records) {
    if (session.Stopped()) return false;
    if (FAILED(keys->SetAssignments(1, &record))) all = false;
  }
  return !records.empty() && all;
}

bool CKeyboard::ResolveNamedAssignments(DeviceSession& session, IKeyboardProfile* profile, IKeyboardConfig* config) {
  bool ok = true;
  ComRef<IProfileManager> profiles;
  ComRef<IMacroManager> macros;
  ComRef<IApplicationManager> apps;
  for (const uint32_t keyCode : *session.keyCodes) {
    const int32_t keyId = KeyIdFromDeviceCode(keyCode);
    if (keyId == 0) continue;
    KeyAssignment assignment;
    config->GetKeyAssignment(assignment, keyId, profile);
    bool resolved = false;
    switch (assignment.kind) {
      case KEYKIND_PROFILE_BYNAME:
        resolved = (profiles || SUCCEEDED(GetFeatureOf(session.device, profiles))) &&
                   ResolveProfileByName(session, profiles.Get(), config, assignment);
        break;
      case KEYKIND_MACRO_BYNAME:
        resolved = (macros || SUCCEEDED(GetFeatureOf(session.device, macros))) &&
                   ResolveMacroByName(session, macros.Get(), config, assignment);
        break;
      case KEYKIND_LAUNCH_BYPATH:
        resolved = (apps || SUCCEEDED(GetFeatureOf(session.device, apps))) &&
                   ResolveApplicationByName(session, apps.Get(), config, assignment);
        break;
      default:
        config->SetKeyAssignment(keyId, assignment, profile);
        continue;
    }
    if (resolved)
      config->SetKeyAssignment(keyId, assignment, profile);
    else
      ok = false;
  }
  return ok;
}

bool CKeyboard::ResolveProfileByName(DeviceSession& session, IProfileManager* profiles, IKeyboardConfig* config,
                                     KeyAssignment& assignment) {
  IKeyboardProfile* target = config->FindProfileByName(GetAssignmentText(assignment));
  if (target == nullptr) return false;
  if (IsZeroGuid(target->GetId())) {
    ComRef<IDeviceProfile> created;
    if (FAILED(profiles->CreateProfile(created.Out())) || !created) return false;
    GUID id{};
    if (FAILED(created->GetId(&id)) || IsZeroGuid(id)) {
      // Without the id the key would point nowhere.
      DropOrphan(profiles, &IProfileManager::DeleteProfile, created.Get());
      return false;
    }
    target->SetId(id);
    session.known->profiles.insert(id);
    created->SetName(target->GetName().c_str());
  }
  assignment.payload = KeyAssignmentPayload{};
  assignment.payload.id = target->GetId();
  assignment.kind = KEYKIND_PROFILE;
  return true;
}

bool CKeyboard::ResolveMacroByName(DeviceSession& session, IMacroManager* macros, IKeyboardConfig* config,
                                   KeyAssignment& assignment) {
  CMacro* macro = config->FindMacroByName(GetAssignmentText(assignment));
  if (macro == nullptr) return false;
  if (IsZeroGuid(macro->id) && (!CreateDeviceMacro(session, macros, macro) || IsZeroGuid(macro->id))) return false;
  assignment.payload = KeyAssignmentPayload{};
  assignment.payload.id = macro->id;
  assignment.kind = KEYKIND_MACRO;
  return true;
}

bool CKeyboard::ResolveApplicationByName(DeviceSession& session, IApplicationManager* apps, IKeyboardConfig* config,
                                         KeyAssignment& assignment) {
  CQxApp* app = config->FindAppByName(GetAssignmentText(assignment));
  if (app == nullptr) return false;
  if (IsZeroGuid(app->id) && (!CreateDeviceApplication(session, apps, app) || IsZeroGuid(app->id))) return false;
  assignment.payload = KeyAssignmentPayload{};
  assignment.payload.id = app->id;
  assignment.kind = KEYKIND_LAUNCH;
  return true;
}

bool CKeyboard::DeleteStaleMacros(DeviceSession& session, IMacroManager* macros, IKeyboardConfig* config) {
  return DeleteStaleObjects(macros, &IMacroManager::GetMacro, &IMacroManager::DeleteMacro, session.known->macros,
                            [config](const GUID& id) { return config->FindMacroByGuid(id) != nullptr; });
}

bool CKeyboard::WriteMacros(DeviceSession& session, IMacroManager* macros, IKeyboardConfig* config) {
  for (int i = 0; i < config->GetMacroCount(); ++i) {
    if (session.Stopped()) return false;
    CMacro* macro = config->GetMacro(i);
    if (macro == nullptr) continue;
    ComRef<IDeviceMacro> deviceMacro;
    // A new device macro only for one the device does not have: never a second copy.
    if (IsZeroGuid(macro->id) || FAILED(macros->GetMacroById(macro->id, deviceMacro.Out())) || !deviceMacro) {
      CreateDeviceMacro(session, macros, macro);
      continue;
    }
    GUID id{};
    const bool identified = SUCCEEDED(deviceMacro->GetId(&id));
    LPWSTR raw = nullptr;
    const HRESULT named = deviceMacro->GetName(&raw);
    const std::wstring name = TakeName(raw, kMaxNameChars);
    DeviceMacroBlob* blob = nullptr;
    const HRESULT got = deviceMacro->GetEvents(&blob);
    MacroEventList events;
    const bool readable = SUCCEEDED(got) && ReadMacroBlob(blob, events);
    CoTaskMemFree(blob);
    // Compared exactly: a change of letter case is a rename too.
    const bool sameName = SUCCEEDED(named) && name == macro->GetName();
    if (identified && IsEqualGUID(id, macro->id) && sameName && readable && events == macro->events) continue;
    if (!sameName) deviceMacro->SetName(macro->GetName().c_str());
    MacroBlobOwner owner(macro->events);
    if (owner.blob == nullptr) continue;
    if (owner.count > 0) MacroEventsToDeviceBlob(macro->events, owner.blob);
    deviceMacro->SetEvents(owner.blob);
  }
  return true;
}

bool CKeyboard::CreateDeviceMacro(DeviceSession& session, IMacroManager* macros, CMacro* macro) {
  MacroBlobOwner owner(macro->events);
  if (owner.blob == nullptr) return false;
  ComRef<IDeviceMacro> created;
  if (FAILED(macros->CreateMacro(created.Out())) || !created) return false;
  GUID id{};
  if (SUCCEEDED(created->GetId(&id)) && !IsZeroGuid(id)) {
    macro->id = id;
    session.known->macros.insert(id);
  }
  if (owner.count > 0) {
    MacroEventsToDeviceBlob(macro->events, owner.blob);
    created->SetEvents(owner.blob);
  }
  return SUCCEEDED(created->SetName(macro->GetName().c_str()));
}

bool CKeyboard::DeleteStaleApplications(DeviceSession& session, IApplicationManager* apps, IKeyboardConfig* config) {
  return DeleteStaleObjects(apps, &IApplicationManager::GetApplication, &IApplicationManager::DeleteApplication,
                            session.known->apps,
                            [config](const GUID& id) { return config->FindAppByGuid(id) != nullptr; });
}

bool CKeyboard::WriteApplications(DeviceSession& session, IApplicationManager* apps, IKeyboardConfig* config) {
  for (int i = 0; i < config->GetAppCount(); ++i) {
    if (session.Stopped()) return false;
    CQxApp* app = config->GetApp(i);
    if (app == nullptr) continue;
    ComRef<IDeviceApplication> deviceApp;
    if (IsZeroGuid(app->id) || FAILED(apps->GetApplicationById(app->id, deviceApp.Out())) || !deviceApp) {
      CreateDeviceApplication(session, apps, app);
      continue;
    }
    GUID id{};
    const bool identified = SUCCEEDED(deviceApp->GetId(&id));
    LPWSTR raw = nullptr;
    const HRESULT named = deviceApp->GetName(&raw);
    const std::wstring path = TakeName(raw, kMaxPathChars);
    if (identified && IsEqualGUID(id, app->id) && SUCCEEDED(named) && path == app->path) continue;
    if (FAILED(named) || !platform::EqualsNoCase(path, app->path)) deviceApp->SetName(app->path.c_str());
  }
  return true;
}

bool CKeyboard::CreateDeviceApplication(DeviceSession& session, IApplicationManager* apps, CQxApp* app) {
  ComRef<IDeviceApplication> created;
  if (FAILED(apps->CreateApplication(created.Out())) || !created) return false;
  GUID id{};
  if (SUCCEEDED(created->GetId(&id)) && !IsZeroGuid(id)) {
    app->id = id;
    session.known->apps.insert(id);
  }
  return SUCCEEDED(created->SetName(app->path.c_str()));
}
