#include "device/Profile.h"

#include <atomic>
#include <iterator>
#include <utility>

#include "device/KeyboardDef.h"

namespace {
std::atomic<uint64_t> g_changeStamp{0};
}  // namespace

namespace device {
uint64_t NewChangeStamp() { return ++g_changeStamp; }
uint64_t LatestChangeStamp() { return g_changeStamp.load(); }
}  // namespace device

CBaseProfile::CBaseProfile(const CBaseProfile& other)
    : m_keyMap(other.m_keyMap),
      m_keyMarks(other.m_keyMarks),
      m_propertiesMark(other.m_propertiesMark),
      m_name(other.m_name),
      m_path(other.m_path),
      m_fileName(other.m_fileName),
      m_storageFile(other.m_storageFile),
      m_id(other.m_id),
      m_autoSwitch(other.m_autoSwitch),
      m_showOsd(other.m_showOsd),
      m_ledState(1) {}

void CBaseProfile::SetName(const std::wstring& name) {
  MarkProperties();
  m_name = name;
}

void CBaseProfile::SetFileName(const std::wstring& fileName) {
  MarkProperties();
  m_fileName = fileName;
}

void CBaseProfile::SetAutoSwitch(uint8_t value) {
  MarkProperties();
  m_autoSwitch = value;
}

void CBaseProfile::SetShowOsd(uint8_t value) {
  MarkProperties();
  m_showOsd = value;
}

void CBaseProfile::SetPath(const std::wstring& path) {
  m_path = path;
  // The last component, whatever its length: the device stores name and extension.
  const std::size_t separator = path.find_last_of(L"\\/:");
  m_fileName = separator == std::wstring::npos ? path : path.substr(separator + 1);
  MarkProperties();
}

bool CBaseProfile::SetKeyAssignment(int32_t keyId, KeyAssignment record) {
  if (!IsAssignmentKindSupported(record.kind)) return false;
  m_keyMap[keyId] = record;
  m_keyMarks[keyId] = device::NewChangeStamp();
  return true;
}

void CBaseProfile::ClearMarks(uint64_t upTo, bool keys, bool properties) {
  if (properties && m_propertiesMark <= upTo) m_propertiesMark = 0;
  if (!keys) return;
  for (auto it = m_keyMarks.begin(); it != m_keyMarks.end();)
    it = it->second <= upTo ? m_keyMarks.erase(it) : std::next(it);
}

void CBaseProfile::MarkEverything() {
  MarkProperties();
  for (const auto& [keyId, record] : m_keyMap) m_keyMarks[keyId] = device::NewChangeStamp();
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
