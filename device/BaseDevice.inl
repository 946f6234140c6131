// The generic bodies of CBaseDevice (included by BaseDevice.h).
#pragma once

// Converts a blob from the service into `events` (left empty when it holds none);
// false when the blob cannot be read at all (its count does not fit the block the
// service allocated, or a record of no known type).
inline bool ReadMacroBlob(const DeviceMacroBlob* blob, MacroEventList& events) {
  events.clear();
  if (blob == nullptr || blob->count < 0) return false;
  if (blob->count == 0) return true;
  return DeviceBlobToMacroEvents(events, blob);
}

inline std::wstring CutToField(std::wstring text, std::size_t maxChars) {
  if (text.size() > maxChars) text.resize(maxChars);
  return text;
}

namespace device {

// A name or path the service handed out (and that is freed here), cut to the
// model's field.
inline std::wstring TakeName(LPWSTR raw, std::size_t maxChars) {
  return CutToField(TakeServiceString(raw, kMaxServiceStringChars), maxChars);
}

}  // namespace device

template <class TConfig, class TProfile, class TDevice>
void CBaseDevice<TConfig, TProfile, TDevice>::ReleaseAll() {
  CollectFinishedWrite();
  // A running write keeps its own connection until it has ended.
  if (!m_writeThread) Disconnect();
  m_present = false;
  ClearKeyCodes();
}

template <class TConfig, class TProfile, class TDevice>
bool CBaseDevice<TConfig, TProfile, TDevice>::ImportMacroFile(const std::wstring& path, TConfig config) {
  if (config == nullptr) return false;
  ScopedConnection connection(*this);
  if (!connection) return false;
  ComRef<IMacroManager> macros;
  if (FAILED(GetFeatureOf(m_device, macros))) return false;
  ComRef<IDeviceMacro> imported;
  if (FAILED(macros->ImportMacro(path.c_str(), imported.Out())) || !imported) return false;
  // From here on the service holds the imported macro. When the configuration does
  // not take it in (its name is taken, or it cannot be read), it is deleted again
  // at once: left there, it would be a macro the window never shows, counted
  // against the import's count check until some later write deleted it. Only when
  // the service refuses the delete is it left to the next write.
  GUID id{};
  auto giveUp = [&] {
    if (SUCCEEDED(macros->DeleteMacro(imported.Get())))
      m_known.macros.erase(id);
    else if (!IsZeroGuid(id))
      m_known.macros.insert(id);
    return false;
  };
  // Without its id the configuration could not match the macro to the device's.
  if (FAILED(imported->GetId(&id)) || IsZeroGuid(id)) {
    id = GUID{};
    return giveUp();
  }
  LPWSTR rawName = nullptr;
  const HRESULT named = imported->GetName(&rawName);
  const std::wstring name = device::TakeName(rawName, kMaxNameChars);
  if (FAILED(named)) return giveUp();
  CMacro* macro = config->CreateMacro(name);
  if (macro == nullptr) return giveUp();  // the name is taken
  macro->SetFilePath(path);
  macro->id = id;
  DeviceMacroBlob* blob = nullptr;
  const HRESULT got = imported->GetEvents(&blob);
  MacroEventList events;
  const bool readable = SUCCEEDED(got) && ReadMacroBlob(blob, events);
  CoTaskMemFree(blob);
  if (!readable) {
    config->DeleteMacro(macro);
    return giveUp();
  }
  if (!events.empty()) macro->events = std::move(events);
  m_known.macros.insert(id);
  return true;
}

template <class TConfig, class TProfile, class TDevice>
bool CBaseDevice<TConfig, TProfile, TDevice>::ExportMacroFile(const std::wstring& path, CMacro* macro) {
  if (macro == nullptr) return false;
  ScopedConnection connection(*this);
  if (!connection) return false;
  ComRef<IMacroManager> macros;
  if (FAILED(GetFeatureOf(m_device, macros))) return false;
  ComRef<IDeviceMacro> found;
  if (FAILED(macros->GetMacroById(macro->id, found.Out())) || !found || IsZeroGuid(macro->id)) return false;
  return SUCCEEDED(found->ExportToFile(path.c_str()));
}

template <class TConfig, class TProfile, class TDevice>
bool CBaseDevice<TConfig, TProfile, TDevice>::MacroExists(CMacro* macro) {
  if (macro == nullptr) return false;
  ScopedConnection connection(*this);
  if (!connection) return false;
  ComRef<IMacroManager> macros;
  if (FAILED(GetFeatureOf(m_device, macros))) return false;
  ComRef<IDeviceMacro> found;
  return SUCCEEDED(macros->GetMacroById(macro->id, found.Out()));
}

template <class TConfig, class TProfile, class TDevice>
bool CBaseDevice<TConfig, TProfile, TDevice>::ExportProfileFile(const std::wstring& path, TProfile profile) {
  if (profile == nullptr) return false;
  ScopedConnection connection(*this);
  if (!connection) return false;
  ComRef<IProfileManager> profiles;
  if (FAILED(GetFeatureOf(m_device, profiles))) return false;
  ComRef<IDeviceProfile> found;
  if (FAILED(profiles->GetProfileById(profile->GetId(), found.Out())) || !found) return false;
  return SUCCEEDED(found->ExportToFile(path.c_str()));
}

template <class TConfig, class TProfile, class TDevice>
bool CBaseDevice<TConfig, TProfile, TDevice>::ProfileExists(TProfile profile) {
  if (profile == nullptr) return false;
  ScopedConnection connection(*this);
  if (!connection) return false;
  ComRef<IProfileManager> profiles;
  if (FAILED(GetFeatureOf(m_device, profiles))) return false;
  ComRef<IDeviceProfile> found;
  return SUCCEEDED(profiles->GetProfileById(profile->GetId(), found.Out()));
}

template <class TConfig, class TProfile, class TDevice>
template <typename TManager, typename TObject>
int CBaseDevice<TConfig, TProfile, TDevice>::CountObjects(HRESULT (STDMETHODCALLTYPE TManager::*get)(int, TObject**)) {
  ScopedConnection connection(*this);
  if (!connection) return 0;
  ComRef<TManager> manager;
  if (FAILED(GetFeatureOf(m_device, manager))) return 0;
  int count = 0;
  while (count < kMaxDeviceObjects) {
    ComRef<TObject> object;
    if (FAILED((manager.Get()->*get)(count, object.Out()))) break;
    ++count;
  }
  return count;
}

template <class TConfig, class TProfile, class TDevice>
int CBaseDevice<TConfig, TProfile, TDevice>::GetProfileCount() {
  return CountObjects(&IProfileManager::GetProfile);
}

template <class TConfig, class TProfile, class TDevice>
int CBaseDevice<TConfig, TProfile, TDevice>::GetMacroCount() {
  return CountObjects(&IMacroManager::GetMacro);
}

template <class TConfig, class TProfile, class TDevice>
bool CBaseDevice<TConfig, TProfile, TDevice>::IsWriting() {
  CollectFinishedWrite();
  return static_cast<bool>(m_writeThread);
}

template <class TConfig, class TProfile, class TDevice>
bool CBaseDevice<TConfig, TProfile, TDevice>::IsPresent() {
  return m_present.load();
}
