#include "gui/base/SkinNameTables.h"

#include <algorithm>
#include <vector>

#include "platform/Strings.h"

using namespace gui::tables;

namespace {

// Language element id to the language name the language list uses.
const NameEntry kLanguagesConfigurator[] = {
    {349, L"English"}, {350, L"ChineseSimplified"}, {351, L"ChineseTraditional"}, {352, L"French"},
    {353, L"FrenchCanadian"}, {354, L"German"}, {355, L"Korean"}, {356, L"Russian"},
    {357, L"Japanese"}, {358, L"Spanish"}, {359, L"PortugueseBrazil"}, {360, L"English"},
    {361, L"English"}, {362, L"English"}, {363, L"English"}, {364, L"English"},
};

// Keyboard layout number (as the language list gives it) to KBLAYOUT_... element id.
const NumberEntry kLayoutsConfigurator[] = {
    {0, 366}, {1, 366}, {2, 380}, {3, 371}, {4, 369}, {5, 373}, {6, 378}, {7, 377},
    {8, 368}, {9, 372}, {10, 379}, {11, 376}, {12, 374}, {13, 381}, {14, 375},
};

// The tray has no BUTTON_MACRO_RENAME (165), TEXT_ASSIGNSELECT_DISABLE (677) and
// BUTTON_ASSIGNSELECT_DISABLE (685); the ids after each are one lower per row left out.
constexpr int32_t kTrayMissing[] = {165, 677, 685};

int32_t TrayShift(int32_t id) {
  int32_t shift = 0;
  for (int32_t missing : kTrayMissing)
    if (id > missing) ++shift;
  return shift;
}

struct TraySet {
  std::vector<NameEntry> elements;
  std::vector<NameEntry> languages;
  std::vector<NumberEntry> layouts;
};

const TraySet& Tray() {
  static const TraySet set = [] {
    TraySet s;
    for (std::size_t i = 0; i < kSkinElementCount; ++i) {
      const NameEntry& row = kSkinElements[i];
      if (std::find(std::begin(kTrayMissing), std::end(kTrayMissing), row.key) != std::end(kTrayMissing))
        continue;
      s.elements.push_back({row.key - TrayShift(row.key), row.name});
    }
    for (const NameEntry& row : kLanguagesConfigurator) s.languages.push_back({row.key - TrayShift(row.key), row.name});
    for (const NumberEntry& row : kLayoutsConfigurator) s.layouts.push_back({row.key, row.value - TrayShift(row.value)});
    return s;
  }();
  return set;
}

SkinNameTables MakeTables(NameTableSet which) {
  SkinNameTables t;
  t.commandKeywords = NameTable({kCommandKeywords, kCommandKeywordCount});
  t.functionKeywords = NameTable({kFunctionKeywords, kFunctionKeywordCount});
  if (which == NameTableSet::Tray) {
    t.skinElements = NameTable(Tray().elements);
  } else {
    t.skinElements = NameTable({kSkinElements, kSkinElementCount});
  }
  t.keyAbbreviations = NameTable({kKeyAbbreviations, kKeyAbbreviationCount});
  t.colourNames = NameTable({kColourNames, kColourNameCount});
  t.languageNames = which == NameTableSet::Tray ? NameTable(Tray().languages) : NameTable(kLanguagesConfigurator);
  t.listColumns = NameTable({kListColumns, kListColumnCount});
  t.controlTypes = NameTable({kControlTypes, kControlTypeCount});
  t.columnTypes = NameTable({kColumnTypes, kColumnTypeCount});
  t.keyboardLayouts = which == NameTableSet::Tray ? std::span<const NumberEntry>(Tray().layouts)
                                                  : std::span<const NumberEntry>(kLayoutsConfigurator);
  return t;
}

SkinNameTables& Current() {
  static SkinNameTables tables = MakeTables(NameTableSet::Configurator);
  return tables;
}

}  // namespace

const wchar_t* NameTable::Find(int32_t key) const {
  auto it = std::lower_bound(m_rows.begin(), m_rows.end(), key,
                             [](const NameEntry& row, int32_t k) { return row.key < k; });
  return it != m_rows.end() && it->key == key ? it->name : nullptr;
}

int32_t NameTable::FindKey(std::wstring_view name) const {
  for (const NameEntry& row : m_rows)
    if (platform::EqualsNoCase(row.name, name)) return row.key;
  return -1;
}

void BuildNameTables(NameTableSet set) { Current() = MakeTables(set); }
const SkinNameTables& NameTables() { return Current(); }

int32_t FindCommandKeywordId(std::wstring_view name) { return Current().commandKeywords.FindKey(name); }
int32_t FindSkinElementId(std::wstring_view name) { return Current().skinElements.FindKey(name); }
int32_t FindColourByName(std::wstring_view name) { return Current().colourNames.FindKey(name); }
int32_t FindLanguageId(std::wstring_view name) { return Current().languageNames.FindKey(name); }
int32_t FindControlTypeId(std::wstring_view name) { return Current().controlTypes.FindKey(name); }
int32_t FindColumnTypeId(std::wstring_view name) { return Current().columnTypes.FindKey(name); }
int32_t FindListColumnId(std::wstring_view name) { return Current().listColumns.FindKey(name); }

int32_t GetLayoutSkinId(int32_t layoutNumber) {
  for (const NumberEntry& row : Current().keyboardLayouts)
    if (row.key == layoutNumber) return row.value;
  return -1;
}

const wchar_t* GetSkinElementName(int32_t id) { return Current().skinElements.Find(id); }
const wchar_t* GetKeyAbbreviation(int32_t virtualKey) { return Current().keyAbbreviations.Find(virtualKey); }
const wchar_t* GetCommandKeyword(int32_t commandId) { return Current().commandKeywords.Find(commandId); }
const wchar_t* GetFunctionKeyword(int32_t functionId) { return Current().functionKeywords.Find(functionId); }
const wchar_t* GetLanguageName(int32_t languageElementId) { return Current().languageNames.Find(languageElementId); }
