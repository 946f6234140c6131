#include "device/Profile.h"

#include "device/KeyboardConfig.h"
#include "device/KeyboardDef.h"

CBaseProfile::CBaseProfile(const CBaseProfile& other)
    : m_keyMap(other.m_keyMap),
      m_name(other.m_name),
      m_path(other.m_path),
      m_fileName(other.m_fileName),
      m_storageFile(other.m_storageFile),
      m_id(other.m_id),
      m_autoSwitch(other.m_autoSwitch),
      m_showOsd(other.m_showOsd),
      m_ledState(1) {}

void CBaseProfile::SetPath(const std::wstring& path) {
  m_path = path;
  // The last component, whatever its length: the device stores name and extension.
  const std::size_t separator = path.find_last_of(L"\\/:");
  m_fileName = separator == std::wstring::npos ? path : path.substr(separator + 1);
}

bool CBaseProfile::SetKeyAssignment(int32_t keyId, KeyAssignment record) {
  if (!IsAssignmentKindSupported(record.kind)) return false;
  m_keyMap[keyId] = record;
  return true;
}

void CBaseProfile::GetKeyAssignment(KeyAssignment& out, int32_t keyId) {
  out = m_keyMap[keyId];
}

bool CBaseProfile::SaveToFile(std::wstring&, const std::wstring&, const std::wstring&) {
  return false;
}

bool CBaseProfile::LoadFromFile(const std::wstring&, const std::wstring&, const std::wstring&) {
  return false;
}

void CBaseProfile::ResetKeysToDefaults() {
  const CKeyboardDef& keyboard = GlobalKeyboardDef();
  for (auto& [keyId, record] : m_keyMap) {
    const KeyCode code = keyboard.GetKeyDefault(keyId);
    KeyAssignment reset;
    reset.kind = KEYKIND_DEFAULT;
    reset.payload.key.scanCode = code.code;
    reset.payload.key.virtualKey = 0;
    reset.payload.key.flags = code.flag != 0 ? KEYFLAG_EXTENDED : 0;
    SetKeyAssignment(keyId, reset);
  }
}

bool ResetNewProfile(IKeyboardProfile* profile, IKeyboardConfig* config) {
  if (profile == nullptr || config == nullptr) return false;
  profile->ResetToDefaults();
  profile->SetPath(std::wstring());
  profile->SetAutoSwitch(0);
  IKeyboardProfile* active = config->GetActiveProfile();
  config->SetProfileOsdForAll(active != nullptr ? active->GetShowOsd() : 0);
  return true;
}
