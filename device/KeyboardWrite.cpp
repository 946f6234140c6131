// Writing the configuration to the device service. Everything here runs on the
// write thread, on the write's own copy of the configuration.
#include <algorithm>
#include <cstring>

#include "device/Keyboard.h"
#include "platform/Strings.h"


namespace {

using device::IsNamedKind;
using device::TakeName;

// The configuration's profile a by-name switch means: the one with exactly that
// name, and only when there is none, one whose name differs in letter case alone
// (profiles "Work" and "work" may both exist).
IKeyboardProfile* ProfileNamed(IKeyboardConfig* config, const std::wstring& name) {
  for (int i = 0; i < config->GetProfileCount(); ++i)
    if (IKeyboardProfile* profile = config->GetProfile(i); profile != nullptr && profile->GetName() == name)
      return profile;
  return config->FindProfileByName(name);
}

// A device object made for a record whose id could not be learnt is of no use to
// anyone, and no later write could find it to delete it: it is taken away again.
template <typename TManager, typename TObject>
void DropOrphan(TManager* manager, HRESULT (STDMETHODCALLTYPE TManager::*remove)(TObject*), TObject* object) {
  (manager->*remove)(object);
}

// A new device profile for `profile`: its id given to the profile and known
// to the write. Without an id the device profile is taken away again (no key
// could point at it) and the result is false.
bool CreateDeviceProfileFor(DeviceSession& session, IProfileManager* profiles, IKeyboardProfile* profile,
                            ComRef<IDeviceProfile>& created) {
  if (FAILED(profiles->CreateProfile(created.Out())) || !created) return false;
  GUID id{};
  if (FAILED(created->GetId(&id)) || IsZeroGuid(id)) {
    DropOrphan(profiles, &IProfileManager::DeleteProfile, created.Get());
    created.Reset();
    return false;
  }
  profile->SetId(id);
  session.known->profiles.insert(id);
  return true;
}

// The device record of one key.
DeviceKeyAssignment DeviceRecordFor(uint32_t deviceKeyCode, const KeyAssignment& assignment) {
  DeviceKeyAssignment record = TemplateForKind(assignment.kind);
  record.keyCode = deviceKeyCode;
  ToDeviceAssignment(assignment, record);
  return record;
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

// Whether the configuration has deleted something it took in from the device (or
// put there): only then do the walks over the device's objects that find it run.
template <typename InConfig>
bool HasStaleIds(const GuidSet& known, InConfig inConfig) {
  for (const GUID& id : known)
    if (!inConfig(id)) return true;
  return false;
}

// The loop that writes macros and linked applications alike. `examine` says of a
// record whether it is written at all (`write`) and what changed; a record the
// device does not have (new, or gone from it) is created, and when it comes back
// with another id the old and new ids go into `recreated`; any other is updated
// in place. Every record is written even after one failed; the result says
// whether all were.
template <typename TDevice, typename Count, typename Get, typename Examine, typename Find, typename Create,
          typename Update>
bool WriteEachRecord(DeviceSession& session, GuidMap& recreated, Count count, Get get, Examine examine, Find find,
                     Create create, Update update) {
  bool all = true;
  for (int i = 0; i < count(); ++i) {
    if (session.Stopped()) return false;
    auto* record = get(i);
    if (record == nullptr) continue;
    const auto changes = examine(*record);
    if (!changes.write) continue;
    ComRef<TDevice> device;
    // A new device object only for a record the device does not have: never a second copy.
    if (IsZeroGuid(record->id) || FAILED(find(record->id, device.Out())) || !device) {
      const GUID old = record->id;
      if (!create(record)) all = false;
      if (!IsZeroGuid(old) && !IsZeroGuid(record->id) && !IsEqualGUID(old, record->id)) recreated[old] = record->id;
      continue;
    }
    if (!update(*record, device.Get(), changes)) all = false;
  }
  return all;
}

// A by-name assignment pointed at `record` by id (of `kind`); a record the device
// does not have yet is created there first. False for no record or no id.
template <typename TRecord, typename Create>
bool PointAtRecord(TRecord* record, int32_t kind, KeyAssignment& assignment, Create create) {
  if (record == nullptr) return false;
  if (IsZeroGuid(record->id) && (!create(record) || IsZeroGuid(record->id))) return false;
  assignment.payload = KeyAssignmentPayload{};
  assignment.payload.id = record->id;
  assignment.kind = kind;
  return true;
}

// Notes what a record sent plays or launches.
void NoteReference(const KeyAssignment& assignment, device::WriteReferences& references) {
  if (assignment.kind == KEYKIND_MACRO && !IsZeroGuid(assignment.payload.id))
    references.macros.insert(assignment.payload.id);
  if (assignment.kind == KEYKIND_LAUNCH && !IsZeroGuid(assignment.payload.id))
    references.apps.insert(assignment.payload.id);
}

}  // namespace

bool CKeyboard::WriteConfigJob(DeviceSession& session, IKeyboardConfig* config, TransferMask mask) {
  auto* copy = dynamic_cast<CMorvelConfig*>(config);  // the write's own copy, marks and all
  if (session.device == nullptr || copy == nullptr) return false;
  bool ok = true;
  const bool profileStep = HasCapability(CAPABILITY_PROFILES) && (mask & 0x30F);
  const bool keyStep = HasCapability(CAPABILITY_KEY_ASSIGNMENTS) && (mask & 0x002);
  const bool propertyStep = HasCapability(CAPABILITY_PROFILE_PROPERTIES) && (mask & 0x100);
  // A device object that never read the keyboard knows none of its keys: it can
  // write none, whatever changed.
  if (profileStep && keyStep && (session.keys == nullptr || session.keys->empty())) return false;
  ComRef<IProfileManager> profiles;
  device::WriteReferences references;
  if (profileStep) {
    const bool stale = HasStaleIds(session.known->profiles,
                                   [config](const GUID& id) { return config->FindProfileByGuid(id) != nullptr; });
    // The profiles the device does not have yet, taken before any is written: a
    // switch by name creates its target on the way, and that one is written whole too.
    std::vector<bool> fresh;
    bool anyWork = stale || copy->ActiveMark() != 0;
    for (int i = 0; i < config->GetProfileCount(); ++i) {
      IKeyboardProfile* profile = config->GetProfile(i);
      const auto* marks = dynamic_cast<const CBaseProfile*>(profile);
      fresh.push_back(IsZeroGuid(profile->GetId()));
      anyWork = anyWork || fresh.back() || marks == nullptr || marks->HasMarks();
    }
    if (anyWork && FAILED(GetFeatureOf(session.device, profiles))) {
      ok = false;
    } else if (anyWork) {
      // The walk over the device's profiles runs only when there is something of
      // this configuration's to delete.
      if (stale) SyncDeviceProfiles(session, profiles.Get(), config);
      GuidMap moved;
      std::vector<bool> handled(fresh.size(), false);
      auto writeProfile = [&](int i) {
        handled[static_cast<std::size_t>(i)] = true;
        if (session.Stopped()) ok = false;
        if (!ok) return;  // a failure stops every later profile
        IKeyboardProfile* profile = config->GetProfile(i);
        auto* marks = dynamic_cast<CBaseProfile*>(profile);
        bool whole = fresh[static_cast<std::size_t>(i)];
        ComRef<IDeviceProfile> deviceProfile;
        if (marks == nullptr || !EnsureDeviceProfile(session, profiles.Get(), profile, moved, deviceProfile, whole)) {
          ok = false;
          return;
        }
        const bool propertiesChanged = whole || marks->PropertiesMark() != 0;
        if (propertyStep && propertiesChanged) {
          ComRef<IProfileProperties> properties;
          ok = SUCCEEDED(GetFeatureOf(deviceProfile.Get(), properties)) &&
               WriteProfileProperties(deviceProfile.Get(), properties.Get(), profile);
        } else if (!propertyStep && marks->PropertiesMark() != 0 && !whole) {
          ok = RenameIfDifferent(deviceProfile.Get(), profile);
        }
        if (!keyStep || !ok) return;
        std::set<int32_t> changed;
        for (const auto& [keyId, stamp] : marks->KeyMarks()) changed.insert(keyId);
        if (whole || !changed.empty())
          ok = WriteKeyAssignments(session, config, deviceProfile.Get(), profile, whole ? nullptr : &changed,
                                   references);
      };
      for (int i = 0; i < config->GetProfileCount(); ++i) {
        const auto* marks = dynamic_cast<const CBaseProfile*>(config->GetProfile(i));
        if (fresh[static_cast<std::size_t>(i)] || marks == nullptr || marks->HasMarks()) writeProfile(i);
      }
      // A profile made anew means the device lost what it held (a reset, another
      // client's delete): the profiles with nothing changed are looked up too, and
      // one it lost as well is made anew and written whole.
      for (std::size_t seen = 0; ok && moved.size() != seen;) {
        seen = moved.size();
        for (int i = 0; i < config->GetProfileCount(); ++i)
          if (!handled[static_cast<std::size_t>(i)]) writeProfile(i);
      }
      // Keys of other profiles that switch to a profile made anew follow it.
      if (ok && !moved.empty()) ok = RewriteMovedKeys(session, profiles.Get(), config, KEYKIND_PROFILE, moved);
    }
  }
  if (HasCapability(CAPABILITY_MACROS) && (mask & 0x010)) {
    const bool stale = HasStaleIds(session.known->macros,
                                   [config](const GUID& id) { return config->FindMacroByGuid(id) != nullptr; });
    bool anyWork = stale;
    for (int i = 0; i < config->GetMacroCount() && !anyWork; ++i) {
      const CMacro* macro = config->GetMacro(i);
      anyWork = macro != nullptr && (IsZeroGuid(macro->id) || macro->NameDiffersFromDevice() ||
                                     macro->EventsDifferFromDevice() || references.macros.count(macro->id) != 0);
    }
    if (anyWork) {
      ComRef<IMacroManager> macros;
      const bool got = SUCCEEDED(GetFeatureOf(session.device, macros));
      GuidMap recreated;
      if (ok && !session.Stopped()) {
        ok = got && (!stale || DeleteStaleMacros(session, macros.Get(), config)) &&
             WriteMacros(session, macros.Get(), config, recreated, references.macros);
      } else {
        ok = false;
      }
      if (ok && !recreated.empty())
        ok = RewriteMovedKeys(session, profiles.Get(), config, KEYKIND_MACRO, recreated);
    }
  }
  if (HasCapability(CAPABILITY_APPLICATIONS) && (mask & 0x200)) {
    const bool stale = HasStaleIds(session.known->apps,
                                   [config](const GUID& id) { return config->FindAppByGuid(id) != nullptr; });
    bool anyWork = stale;
    for (int i = 0; i < config->GetAppCount() && !anyWork; ++i) {
      const CQxApp* app = config->GetApp(i);
      anyWork = app != nullptr &&
                (IsZeroGuid(app->id) || app->PathDiffersFromDevice() || references.apps.count(app->id) != 0);
    }
    if (anyWork) {
      ComRef<IApplicationManager> apps;
      const bool got = SUCCEEDED(GetFeatureOf(session.device, apps));
      GuidMap recreated;
      if (ok && !session.Stopped()) {
        ok = got && (!stale || DeleteStaleApplications(session, apps.Get(), config)) &&
             WriteApplications(session, apps.Get(), config, recreated, &references.apps);
      } else {
        ok = false;
      }
      if (ok && !recreated.empty())
        ok = RewriteMovedKeys(session, profiles.Get(), config, KEYKIND_LAUNCH, recreated);
    }
  }
  // The active profile only when the user chose one: one the tray switched to
  // meanwhile stays.
  if (profileStep && ok && copy->ActiveMark() != 0) {
    if (session.Stopped()) return false;
    IKeyboardProfile* active = config->GetActiveProfile();
    ComRef<IDeviceProfile> deviceProfile;
    ok = active != nullptr && (profiles || SUCCEEDED(GetFeatureOf(session.device, profiles))) &&
         SUCCEEDED(profiles->GetProfileById(active->GetId(), deviceProfile.Out())) && deviceProfile &&
         SUCCEEDED(profiles->SetActiveProfile(deviceProfile.Get()));
  }
  return ok;
}

bool CKeyboard::RewriteMovedKeys(DeviceSession& session, IProfileManager* profiles, IKeyboardConfig* config,
                                 int32_t kind, const GuidMap& moved) {
  if (session.keys == nullptr) return false;
  ComRef<IProfileManager> own;
  if (profiles == nullptr) {
    if (FAILED(GetFeatureOf(session.device, own))) return false;
    profiles = own.Get();
  }
  bool ok = true;
  for (int i = 0; i < config->GetProfileCount(); ++i) {
    if (session.Stopped()) return false;
    // Every profile's keys follow (and go back to the live configuration); those of
    // the profiles the device has go to the device again now, written or not by this
    // write, since the device holds the old id in them.
    IKeyboardProfile* profile = config->GetProfile(i);
    const std::vector<int32_t> changed = device::RepointKeys(config, profile, kind, moved);
    if (changed.empty() || IsZeroGuid(profile->GetId())) continue;
    std::vector<DeviceKeyAssignment> records;
    for (const device::ResolvedKey& key : *session.keys) {
      if (key.keyId == 0 || std::find(changed.begin(), changed.end(), key.keyId) == changed.end()) continue;
      KeyAssignment assignment;
      config->GetKeyAssignment(assignment, key.keyId, profile);
      records.push_back(DeviceRecordFor(key.deviceKeyCode, assignment));
    }
    ComRef<IDeviceProfile> deviceProfile;
    ComRef<IKeyAssignments> keys;
    if (FAILED(profiles->GetProfileById(profile->GetId(), deviceProfile.Out())) || !deviceProfile ||
        FAILED(GetFeatureOf(deviceProfile.Get(), keys))) {
      ok = false;
      continue;
    }
    for (const DeviceKeyAssignment& record : records)
      if (FAILED(keys->SetAssignments(1, &record))) ok = false;
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

bool CKeyboard::EnsureDeviceProfile(DeviceSession& session, IProfileManager* profiles, IKeyboardProfile* profile,
                                    GuidMap& moved, ComRef<IDeviceProfile>& found, bool& whole) {
  if (profile == nullptr) return false;
  const GUID old = profile->GetId();
  if (!IsZeroGuid(old) && SUCCEEDED(profiles->GetProfileById(old, found.Out())) && found) return true;
  // New, or lost on the device: a new device profile. Trying the old id again on
  // every Apply could never succeed (after a reset the device knows none of them).
  ComRef<IDeviceProfile> created;
  if (!CreateDeviceProfileFor(session, profiles, profile, created)) return false;
  if (!IsZeroGuid(old)) {
    session.known->profiles.erase(old);
    moved[old] = profile->GetId();
  }
  whole = true;
  found = std::move(created);
  return SUCCEEDED(found->SetName(profile->GetName().c_str()));
}

bool CKeyboard::RenameIfDifferent(IDeviceProfile* deviceProfile, IKeyboardProfile* profile) {
  LPWSTR raw = nullptr;
  const HRESULT named = deviceProfile->GetName(&raw);
  const std::wstring name = TakeName(raw, kMaxNameChars);
  if (FAILED(named)) return false;
  if (!platform::EqualsNoCase(name, profile->GetName())) return SUCCEEDED(deviceProfile->SetName(profile->GetName().c_str()));
  return true;
}

bool CKeyboard::WriteProfileProperties(IDeviceProfile* deviceProfile, IProfileProperties* properties,
                                       IKeyboardProfile* profile) {
  if (deviceProfile == nullptr || properties == nullptr || profile == nullptr) return false;
  deviceProfile->SetName(profile->GetName().c_str());
  const std::wstring& fileName = profile->GetFileName();
  BYTE program[kProgramFilePropertyBytes];
  if (!MakeProgramFileProperty(fileName, program)) return false;  // 128 characters or more
  bool written = true;
  if (SUCCEEDED(properties->SetProperty(kProfilePropertyProgramFile, program, 0, kProgramFilePropertyBytes, 0))) {
    const ProfileFlagWrite autoSwitch{PROFILEFLAG_AUTOSWITCH,
                                      static_cast<WORD>(!fileName.empty() && profile->GetAutoSwitch() != 0)};
    written = SUCCEEDED(properties->SetProperty(kProfilePropertyFlags, &autoSwitch, 0, sizeof autoSwitch, 0));
  }
  if (written) {
    const ProfileFlagWrite unused{PROFILEFLAG_UNUSED, 0};
    written = SUCCEEDED(properties->SetProperty(kProfilePropertyFlags, &unused, 0, sizeof unused, 0));
  }
  if (written) {
    const ProfileFlagWrite showOsd{PROFILEFLAG_SHOWOSD, static_cast<WORD>(profile->GetShowOsd() != 0)};
    written = SUCCEEDED(properties->SetProperty(kProfilePropertyFlags, &showOsd, 0, sizeof showOsd, 0));
  }
  return written;
}

bool CKeyboard::WriteKeyAssignments(DeviceSession& session, IKeyboardConfig* config, IDeviceProfile* deviceProfile,
                                    IKeyboardProfile* profile, device::KeySelection only,
                                    device::WriteReferences& references) {
  if (config == nullptr || profile == nullptr || deviceProfile == nullptr || session.keys == nullptr) return false;
  ResolveNamedAssignments(session, profile, config, only);
  std::vector<DeviceKeyAssignment> records;
  records.reserve(only == nullptr ? session.keys->size() : only->size());
  const bool hasKeys = config->HasKeyAssignments(reinterpret_cast<intptr_t>(profile));
  for (const device::ResolvedKey& key : *session.keys) {
    // A selection holds key ids: a code no key definition sends is written only
    // with the whole profile.
    if (only != nullptr && (key.keyId == 0 || only->count(key.keyId) == 0)) continue;
    KeyAssignment assignment;
    if (key.keyId != 0 && !hasKeys)
      assignment.kind = KEYKIND_DISABLED;
    else if (key.keyId != 0)
      config->GetKeyAssignment(assignment, key.keyId, profile);
    // Never assigned (every key of a new profile), a code no key sends, or still
    // naming a target that could not be resolved: the key keeps its default rather
    // than going dead.
    const bool unassigned = assignment.kind == KEYKIND_DEFAULT && assignment.payload.key.scanCode == 0;
    if (key.keyId == 0 || unassigned || IsNamedKind(assignment.kind)) assignment = key.standard;
    NoteReference(assignment, references);
    records.push_back(DeviceRecordFor(key.deviceKeyCode, assignment));
  }
  ComRef<IKeyAssignments> keys;
  if (FAILED(GetFeatureOf(deviceProfile, keys))) return false;
  bool all = true;
  for (const DeviceKeyAssignment& record : records) {
    if (session.Stopped()) return false;
    if (FAILED(keys->SetAssignments(1, &record))) all = false;
  }
  // The whole profile needs at least one key; a selection may hold only keys this
  // keyboard does not have.
  return (only != nullptr || !records.empty()) && all;
}

bool CKeyboard::ResolveNamedAssignments(DeviceSession& session, IKeyboardProfile* profile, IKeyboardConfig* config,
                                        device::KeySelection only) {
  if (session.keys == nullptr) return false;
  bool ok = true;
  ComRef<IProfileManager> profiles;
  ComRef<IMacroManager> macros;
  ComRef<IApplicationManager> apps;
  for (const device::ResolvedKey& key : *session.keys) {
    const int32_t keyId = key.keyId;
    if (keyId == 0 || (only != nullptr && only->count(keyId) == 0)) continue;
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
        continue;  // already in the form the device takes
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
  IKeyboardProfile* target = ProfileNamed(config, GetAssignmentText(assignment));
  if (target == nullptr) return false;
  if (IsZeroGuid(target->GetId())) {
    ComRef<IDeviceProfile> created;
    if (!CreateDeviceProfileFor(session, profiles, target, created)) return false;
    created->SetName(target->GetName().c_str());
  }
  assignment.payload = KeyAssignmentPayload{};
  assignment.payload.id = target->GetId();
  assignment.kind = KEYKIND_PROFILE;
  return true;
}

bool CKeyboard::ResolveMacroByName(DeviceSession& session, IMacroManager* macros, IKeyboardConfig* config,
                                   KeyAssignment& assignment) {
  return PointAtRecord(config->FindMacroByName(GetAssignmentText(assignment)), KEYKIND_MACRO, assignment,
                       [&session, macros](CMacro* macro) { return CreateDeviceMacro(session, macros, macro); });
}

bool CKeyboard::ResolveApplicationByName(DeviceSession& session, IApplicationManager* apps, IKeyboardConfig* config,
                                         KeyAssignment& assignment) {
  return PointAtRecord(config->FindAppByName(GetAssignmentText(assignment)), KEYKIND_LAUNCH, assignment,
                       [&session, apps](CQxApp* app) { return CreateDeviceApplication(session, apps, app); });
}

bool CKeyboard::DeleteStaleMacros(DeviceSession& session, IMacroManager* macros, IKeyboardConfig* config) {
  return DeleteStaleObjects(macros, &IMacroManager::GetMacro, &IMacroManager::DeleteMacro, session.known->macros,
                            [config](const GUID& id) { return config->FindMacroByGuid(id) != nullptr; });
}

bool CKeyboard::WriteMacros(DeviceSession& session, IMacroManager* macros, IKeyboardConfig* config,
                            GuidMap& recreated, const GuidSet& referenced) {
  struct Changes {
    bool write, name, events;
  };
  return WriteEachRecord<IDeviceMacro>(
      session, recreated, [config] { return config->GetMacroCount(); }, [config](int i) { return config->GetMacro(i); },
      [&referenced](const CMacro& macro) {
        const bool name = macro.NameDiffersFromDevice(), events = macro.EventsDifferFromDevice();
        return Changes{IsZeroGuid(macro.id) || name || events || referenced.count(macro.id) != 0, name, events};
      },
      [macros](const GUID& id, IDeviceMacro** found) { return macros->GetMacroById(id, found); },
      [&session, macros](CMacro* macro) { return CreateDeviceMacro(session, macros, macro); },
      [](CMacro& macro, IDeviceMacro* deviceMacro, const Changes& changes) {
        // Compared exactly: a change of letter case is a rename too.
        bool ok = !(changes.name && FAILED(deviceMacro->SetName(macro.GetName().c_str())));
        if (!changes.events) return ok;
        DeviceMacroBlobPtr blob = AllocateDeviceMacroBlob(macro.events.size());
        if (!blob) return false;
        if (!macro.events.empty()) MacroEventsToDeviceBlob(macro.events, blob.get());
        return SUCCEEDED(deviceMacro->SetEvents(blob.get())) && ok;
      });
}

bool CKeyboard::CreateDeviceMacro(DeviceSession& session, IMacroManager* macros, CMacro* macro) {
  DeviceMacroBlobPtr blob = AllocateDeviceMacroBlob(macro->events.size());
  if (!blob) return false;
  ComRef<IDeviceMacro> created;
  if (FAILED(macros->CreateMacro(created.Out())) || !created) return false;
  GUID id{};
  if (FAILED(created->GetId(&id)) || IsZeroGuid(id)) {
    DropOrphan(macros, &IMacroManager::DeleteMacro, created.Get());
    return false;
  }
  macro->id = id;
  session.known->macros.insert(id);
  bool ok = true;
  if (!macro->events.empty()) {
    MacroEventsToDeviceBlob(macro->events, blob.get());
    ok = SUCCEEDED(created->SetEvents(blob.get()));
  }
  return SUCCEEDED(created->SetName(macro->GetName().c_str())) && ok;
}

bool CKeyboard::DeleteStaleApplications(DeviceSession& session, IApplicationManager* apps, IKeyboardConfig* config) {
  return DeleteStaleObjects(apps, &IApplicationManager::GetApplication, &IApplicationManager::DeleteApplication,
                            session.known->apps,
                            [config](const GUID& id) { return config->FindAppByGuid(id) != nullptr; });
}

bool CKeyboard::WriteApplications(DeviceSession& session, IApplicationManager* apps, IKeyboardConfig* config,
                                  GuidMap& recreated, const GuidSet* referenced) {
  struct Changes {
    bool write, path;
  };
  return WriteEachRecord<IDeviceApplication>(
      session, recreated, [config] { return config->GetAppCount(); }, [config](int i) { return config->GetApp(i); },
      [referenced](const CQxApp& app) {
        const bool path = app.PathDiffersFromDevice();
        return Changes{referenced == nullptr || IsZeroGuid(app.id) || path || referenced->count(app.id) != 0, path};
      },
      [apps](const GUID& id, IDeviceApplication** found) { return apps->GetApplicationById(id, found); },
      [&session, apps](CQxApp* app) { return CreateDeviceApplication(session, apps, app); },
      [referenced](CQxApp& app, IDeviceApplication* deviceApp, const Changes& changes) {
        if (referenced != nullptr) return !(changes.path && FAILED(deviceApp->SetName(app.path.c_str())));
        GUID id{};
        const bool identified = SUCCEEDED(deviceApp->GetId(&id));
        LPWSTR raw = nullptr;
        const HRESULT named = deviceApp->GetName(&raw);
        const std::wstring path = TakeName(raw, kMaxPathChars);
        if (identified && IsEqualGUID(id, app.id) && SUCCEEDED(named) && path == app.path) return true;
        return !((FAILED(named) || !platform::EqualsNoCase(path, app.path)) &&
                 FAILED(deviceApp->SetName(app.path.c_str())));
      });
}

bool CKeyboard::CreateDeviceApplication(DeviceSession& session, IApplicationManager* apps, CQxApp* app) {
  ComRef<IDeviceApplication> created;
  if (FAILED(apps->CreateApplication(created.Out())) || !created) return false;
  GUID id{};
  if (FAILED(created->GetId(&id)) || IsZeroGuid(id)) {
    DropOrphan(apps, &IApplicationManager::DeleteApplication, created.Get());
    return false;
  }
  app->id = id;
  session.known->apps.insert(id);
  return SUCCEEDED(created->SetName(app->path.c_str()));
}

namespace device {

std::vector<int32_t> RepointKeys(IKeyboardConfig* config, IKeyboardProfile* profile, int32_t kind,
                                 const GuidMap& moved) {
  std::vector<int32_t> changed;
  const auto* keys = dynamic_cast<const CBaseProfile*>(profile);
  if (config == nullptr || keys == nullptr || moved.empty()) return changed;
  std::vector<std::pair<int32_t, KeyAssignment>> repointed;
  for (const auto& [keyId, record] : keys->KeyMap()) {
    if (record.kind != kind) continue;
    const auto to = moved.find(record.payload.id);
    if (to == moved.end()) continue;
    KeyAssignment updated = record;
    updated.payload.id = to->second;
    repointed.emplace_back(keyId, updated);
  }
  for (const auto& [keyId, record] : repointed)
    if (config->SetKeyAssignment(keyId, record, profile)) changed.push_back(keyId);
  return changed;
}

}  // namespace device
