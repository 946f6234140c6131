#include "device/Macro.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "platform/Strings.h"

namespace {

std::wstring_view CutName(std::wstring_view name) {
  return name.substr(0, std::min(name.size(), kMacroNameChars - 1));
}

// FNV-1a over the bytes.
uint64_t HashBytes(uint64_t hash, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 0x100000001B3ull;
  return hash;
}

constexpr uint64_t kHashStart = 0xCBF29CE484222325ull;

uint64_t NeverZero(uint64_t hash) { return hash == 0 ? 1 : hash; }

}  // namespace

uint64_t Fingerprint(std::wstring_view text) {
  return NeverZero(HashBytes(kHashStart, text.data(), text.size() * sizeof(wchar_t)));
}

uint64_t Fingerprint(const MacroEventList& events) {
  uint64_t hash = kHashStart;
  for (const MacroEvent& event : events) {
    const int32_t fields[3] = {event.type, event.a, event.b};
    hash = HashBytes(hash, fields, sizeof fields);
  }
  const uint64_t count = events.size();
  return NeverZero(HashBytes(hash, &count, sizeof count));
}

namespace MacroEventVector {

bool EraseAt(MacroEventList& events, std::size_t index) {
  if (index >= events.size()) return false;
  events.erase(events.begin() + static_cast<std::ptrdiff_t>(index));
  return true;
}

bool ReplaceAt(MacroEventList& events, std::size_t index, const MacroEvent& event) {
  if (index >= events.size()) return false;
  events[index] = event;
  return true;
}

MacroEvent& At(MacroEventList& events, std::size_t index) { return events.at(index); }

}  // namespace MacroEventVector

CMacro::CMacro(std::wstring_view macroName, const MacroEventList& macroEvents)
    : events(macroEvents) {
  SetName(macroName);
}

std::wstring CMacro::GetName() const {
  std::size_t length = 0;
  while (length < kMacroNameChars && name[length] != 0) ++length;
  return std::wstring(name, length);
}

void CMacro::SetName(std::wstring_view newName) {
  const std::wstring_view cut = CutName(newName);
  std::memset(name, 0, sizeof name);
  std::memcpy(name, cut.data(), cut.size() * sizeof(wchar_t));
}

bool CMacro::operator==(const CMacro& other) const {
  return IsEqualGUID(id, other.id) && platform::EqualsNoCase(GetName(), other.GetName()) &&
         events == other.events;
}

CMacro* CMacroList::FindByName(std::wstring_view macroName) const {
  for (const auto& macro : m_macros)
    if (platform::EqualsNoCase(macro->GetName(), macroName)) return macro.get();
  return nullptr;
}

CMacro* CMacroList::FindById(const GUID& id) const {
  if (IsZeroGuid(id)) return nullptr;
  for (const auto& macro : m_macros)
    if (IsEqualGUID(macro->id, id)) return macro.get();
  return nullptr;
}

CMacro* CMacroList::Create(std::wstring_view macroName, const MacroEventList& events) {
  // The test uses the name as it will be stored, so a long name cannot slip past
  // an existing macro whose name is its cut form.
  const std::wstring_view cut = CutName(macroName);
  if (FindByName(cut) != nullptr) return nullptr;
  m_macros.push_back(std::make_unique<CMacro>(cut, events));
  return m_macros.back().get();
}

void CMacroList::Delete(CMacro* macro) {
  const auto found = std::find_if(m_macros.begin(), m_macros.end(),
                                  [macro](const auto& entry) { return entry.get() == macro; });
  if (found != m_macros.end()) m_macros.erase(found);
}

bool CMacroList::Rename(CMacro* macro, std::wstring_view newName) {
  const auto found = std::find_if(m_macros.begin(), m_macros.end(),
                                  [macro](const auto& entry) { return entry.get() == macro; });
  if (macro == nullptr || found == m_macros.end()) return false;
  const std::wstring_view cut = CutName(newName);
  for (const auto& other : m_macros)
    if (other.get() != macro && platform::EqualsNoCase(other->GetName(), cut)) return false;
  macro->SetName(cut);
  return true;
}

CMacro* CMacroList::At(std::ptrdiff_t index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= m_macros.size()) return nullptr;
  return m_macros[static_cast<std::size_t>(index)].get();
}

bool CQxApp::operator==(const CQxApp& other) const {
  return IsEqualGUID(id, other.id) && path == other.path;
}

CQxApp* CQxAppList::FindByName(std::wstring_view programPath) const {
  for (const auto& app : m_apps)
    if (platform::EqualsNoCase(app->path, programPath)) return app.get();
  return nullptr;
}

CQxApp* CQxAppList::FindById(const GUID& id) const {
  if (IsZeroGuid(id)) return nullptr;
  for (const auto& app : m_apps)
    if (IsEqualGUID(app->id, id)) return app.get();
  return nullptr;
}

CQxApp* CQxAppList::Create(std::wstring_view programPath) {
  if (FindByName(programPath) != nullptr) return nullptr;
  m_apps.push_back(std::make_unique<CQxApp>(programPath));
  return m_apps.back().get();
}

void CQxAppList::Delete(CQxApp* app) {
  const auto found = std::find_if(m_apps.begin(), m_apps.end(),
                                  [app](const auto& entry) { return entry.get() == app; });
  if (found != m_apps.end()) m_apps.erase(found);
}

CQxApp* CQxAppList::At(std::ptrdiff_t index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= m_apps.size()) return nullptr;
  return m_apps[static_cast<std::size_t>(index)].get();
}
