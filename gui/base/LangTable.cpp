#include "gui/base/LangTable.h"

#include <cstring>

#include "gui/base/SkinGlobals.h"
#include "platform/Strings.h"

namespace {

constexpr wchar_t kCR = L'\r';
constexpr wchar_t kLF = L'\n';
// Keys are compared over at most this many characters, the last being the
// terminator: so at most 59 characters of a key take part.
constexpr size_t kKeyCompareLength = 60;
constexpr size_t kMaxKeyLength = kKeyCompareLength - 1;

// Spaces are dropped; a zero, line feed or carriage return ends the key.
std::wstring NormaliseKey(const std::wstring& key) {
  std::wstring out;
  for (wchar_t c : key) {
    if (c == L'\0' || c == kLF || c == kCR) break;
    if (c == L' ') continue;
    if (out.size() == kMaxKeyLength) break;
    out.push_back(c);
  }
  return out;
}

}  // namespace

CLangTable::~CLangTable() { gui::ForgetLanguageTable(this); }

CKeyboardLayoutSetting::~CKeyboardLayoutSetting() { gui::ForgetKeyboardLayout(this); }

bool CLangTable::ParseTextFile(size_t byteSize, const void* text, CLangTable* table) {
  if (!table || !text) return false;
  // Read as 16-bit units within the given size; memcpy because the buffer need
  // not be aligned, and an odd last byte is no character.
  const size_t count = byteSize / 2;
  std::wstring data(count, L'\0');
  if (count) std::memcpy(data.data(), text, count * 2);

  const size_t before = table->m_pairs.size();
  size_t pos = 0;
  size_t line = 0;
  std::wstring key;
  while (pos < count) {
    size_t end = data.find(kCR, pos);
    if (end == std::wstring::npos) end = count;
    std::wstring current = data.substr(pos, end - pos);
    pos = end;
    while (pos < count && (data[pos] == kCR || data[pos] == kLF)) ++pos;

    if (line == 0) {
      table->m_title = current;
    } else if (line >= 2) {
      if (platform::EqualsNoCase(current, L"END OF FILE")) break;
      if (line % 2 == 0) {
        key = std::move(current);
      } else {
        table->m_pairs.emplace_back(std::move(key), std::move(current));
        key.clear();
      }
    }
    ++line;
  }
  return table->m_pairs.size() > before;
}

bool CLangTable::Translate(const CLangTable* table, const std::wstring& text, std::wstring& out) {
  if (table && text.size() > 1 && (text[0] == L'$' || text[0] == L'#')) {
    const std::wstring wanted = text.substr(1);
    const bool whole = text[0] == L'$';
    for (const auto& [key, value] : table->m_pairs) {
      const std::wstring normal = NormaliseKey(key);
      bool match;
      if (whole) {
        match = wanted.size() < kKeyCompareLength && platform::EqualsNoCase(normal, wanted);
      } else {
        match = normal.size() >= wanted.size() &&
                platform::EqualsNoCase(std::wstring_view(normal).substr(0, wanted.size()), wanted);
      }
      if (match) {
        out = value;
        return true;
      }
    }
  }
  out = text;
  return false;
}

int32_t CLangTable::FontReplacement(int32_t fontId) const {
  auto it = m_fontReplacements.find(fontId);
  return it == m_fontReplacements.end() ? 0 : it->second;
}

void AddLanguageOverride(CLangTable* table, int32_t itemId, const void* value, size_t size, const std::wstring& name) {
  if (!table) return;
  LanguageOverride record;
  record.itemId = itemId;
  record.name = name;
  if (value && size) {
    const auto* bytes = static_cast<const uint8_t*>(value);
    record.value.assign(bytes, bytes + size);
  }
  table->m_overrides.push_back(std::move(record));
}

const LanguageOverride* FindLanguageOverride(const CLangTable* table, int32_t itemId, const std::wstring& name) {
  if (!table) return nullptr;
  for (const auto& record : table->m_overrides)
    if (record.itemId == itemId && platform::EqualsNoCase(record.name, name)) return &record;
  return nullptr;
}

bool FindLanguageOverrideText(const CLangTable* table, int32_t itemId, const std::wstring& name, std::wstring& out) {
  const LanguageOverride* record = FindLanguageOverride(table, itemId, name);
  if (!record || record->value.empty() || record->value.size() % 2 != 0) return false;
  const size_t count = record->value.size() / 2;
  std::wstring text(count, L'\0');
  std::memcpy(text.data(), record->value.data(), count * 2);
  const size_t zero = text.find(L'\0');
  if (zero != std::wstring::npos) text.resize(zero);
  out = std::move(text);
  return true;
}

bool FindLanguageOverrideRect(const CLangTable* table, int32_t itemId, RECT& out) {
  const LanguageOverride* record = FindLanguageOverride(table, itemId, L"RECT");
  if (!record || record->value.size() != 4 * sizeof(int32_t)) return false;
  int32_t v[4];
  std::memcpy(v, record->value.data(), sizeof(v));
  out = RECT{v[0], v[1], v[2], v[3]};
  return true;
}

namespace {

class SystemKeyboardLayouts : public gui::IKeyboardLayouts {
 public:
  HKL Current() override { return ::GetKeyboardLayout(0); }
  std::vector<HKL> Installed() override {
    HKL list[50] = {};
    const int n = ::GetKeyboardLayoutList(50, list);
    return std::vector<HKL>(list, list + (n > 0 ? n : 0));
  }
  bool ActivateForProcess(HKL layout) override { return ::ActivateKeyboardLayout(layout, KLF_SETFORPROCESS) != nullptr; }
  std::wstring ActiveName() override {
    wchar_t name[KL_NAMELENGTH] = {};
    if (!::GetKeyboardLayoutNameW(name)) return {};
    name[KL_NAMELENGTH - 1] = L'\0';
    return name;
  }
  HKL Load(const std::wstring& name) override { return ::LoadKeyboardLayoutW(name.c_str(), KLF_ACTIVATE); }
  bool Unload(HKL layout) override { return ::UnloadKeyboardLayout(layout) == TRUE; }
};

SystemKeyboardLayouts g_systemLayouts;

}  // namespace

CKeyboardLayoutSwitcher::CKeyboardLayoutSwitcher() : m_layouts(&g_systemLayouts) {}

void CKeyboardLayoutSwitcher::SetLayouts(gui::IKeyboardLayouts* layouts) {
  m_layouts = layouts ? layouts : &g_systemLayouts;
}

bool CKeyboardLayoutSwitcher::Select(int32_t layoutId) {
  auto it = m_settings.find(layoutId);
  if (it == m_settings.end() || !it->second) return false;
  CKeyboardLayoutSetting* entry = it->second;
  Restore();

  m_selected = entry;
  m_previousLayout = m_layouts->Current();
  const std::vector<HKL> installed = m_layouts->Installed();
  HKL found = nullptr;
  // A layout's name can only be read while it is active, so each installed one
  // is activated in turn; one that cannot be activated cannot be named.
  for (HKL layout : installed) {
    if (!m_layouts->ActivateForProcess(layout)) continue;
    if (platform::EqualsNoCase(m_layouts->ActiveName(), entry->m_layoutName)) found = layout;
  }

  if (found) {
    m_layoutInUse = found;
    m_loadedInUse = false;
  } else {
    HKL loaded = m_layouts->Load(entry->m_layoutName);
    if (!loaded) {
      // Nothing to switch to: back to where the process was, with nothing to restore.
      if (m_previousLayout) m_layouts->ActivateForProcess(m_previousLayout);
      m_selected = nullptr;
      m_previousLayout = nullptr;
      m_layoutInUse = nullptr;
      m_loadedInUse = false;
      return false;
    }
    // The system hands out an installed layout when it has that one already (or
    // substitutes one); such a layout is the user's and is never unloaded.
    bool wasInstalled = false;
    for (HKL layout : installed) wasInstalled = wasInstalled || layout == loaded;
    m_layoutInUse = loaded;
    m_loadedInUse = !wasInstalled;
  }
  return m_layouts->ActivateForProcess(m_layoutInUse);
}

bool CKeyboardLayoutSwitcher::Restore() {
  if (!m_layoutInUse || !m_previousLayout) return false;
  if (m_layouts->ActivateForProcess(m_previousLayout)) m_previousLayout = nullptr;
  if (m_loadedInUse) {
    if (m_layouts->Unload(m_layoutInUse)) m_layoutInUse = nullptr;
    m_loadedInUse = false;
  }
  return true;
}

bool SelectKeyboardLayout(int32_t layoutId) { return KeyboardLayoutSwitcher.Select(layoutId); }
bool RestoreKeyboardLayout() { return KeyboardLayoutSwitcher.Restore(); }
