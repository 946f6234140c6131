// The ten constant tables that map the skin vocabulary (element names, command
// and function keywords, colours, languages, list columns, control and column
// types, key abbreviations, keyboard layouts) to numbers and back.
//
// Every table is an ordered map from an int32 key to a constant value, kept as a
// sorted array. The configurator and the tray carry the same rows except for the
// skin element table: the tray's has three rows fewer and numbers the rest
// consecutively, so element ids differ between the programs (names never do).
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

struct NameEntry {
  int32_t key;
  const wchar_t* name;
};

// One ordered table of (key, name) rows, keys ascending.
class NameTable {
 public:
  constexpr NameTable() = default;
  constexpr explicit NameTable(std::span<const NameEntry> rows) : m_rows(rows) {}

  // The value of `key`, or null when the table has no such row.
  const wchar_t* Find(int32_t key) const;
  // The smallest key whose value equals `name` without regard to case, or -1.
  int32_t FindKey(std::wstring_view name) const;
  std::span<const NameEntry> Rows() const { return m_rows; }
  std::size_t Size() const { return m_rows.size(); }

 private:
  std::span<const NameEntry> m_rows;
};

// A table of number values (the keyboard layout table).
struct NumberEntry {
  int32_t key;
  int32_t value;
};

// Which program's skin element numbering is in force.
enum class NameTableSet { Configurator, Tray };

struct SkinNameTables {
  NameTable commandKeywords;
  NameTable functionKeywords;
  NameTable skinElements;
  NameTable keyAbbreviations;
  NameTable colourNames;
  NameTable languageNames;
  NameTable listColumns;
  NameTable controlTypes;
  NameTable columnTypes;
  std::span<const NumberEntry> keyboardLayouts;
};

// Fills all ten tables for the given program, in the order listed above. Until it
// is called the configurator's tables are in force.
void BuildNameTables(NameTableSet set = NameTableSet::Configurator);
const SkinNameTables& NameTables();

// Reverse look-ups: the key of the first row (ascending keys) whose value equals
// the name without regard to case, or -1.
int32_t FindCommandKeywordId(std::wstring_view name);
int32_t FindSkinElementId(std::wstring_view name);
int32_t FindColourByName(std::wstring_view name);
int32_t FindLanguageId(std::wstring_view name);
int32_t FindControlTypeId(std::wstring_view name);
int32_t FindColumnTypeId(std::wstring_view name);
int32_t FindListColumnId(std::wstring_view name);

// The KBLAYOUT_... element id for a keyboard layout number, -1 without a row.
int32_t GetLayoutSkinId(int32_t layoutNumber);

// Forward look-ups; null when the key has no row.
const wchar_t* GetSkinElementName(int32_t id);
const wchar_t* GetKeyAbbreviation(int32_t virtualKey);
const wchar_t* GetCommandKeyword(int32_t commandId);
const wchar_t* GetFunctionKeyword(int32_t functionId);
const wchar_t* GetLanguageName(int32_t languageElementId);

// The raw rows, for tests and tools.
namespace gui::tables {
extern const NameEntry kCommandKeywords[];
extern const NameEntry kFunctionKeywords[];
extern const NameEntry kSkinElements[];
extern const NameEntry kKeyAbbreviations[];
extern const NameEntry kColourNames[];
extern const NameEntry kListColumns[];
extern const NameEntry kControlTypes[];
extern const NameEntry kColumnTypes[];
extern const std::size_t kCommandKeywordCount, kFunctionKeywordCount, kSkinElementCount,
    kKeyAbbreviationCount, kColourNameCount, kListColumnCount, kControlTypeCount, kColumnTypeCount;
}  // namespace gui::tables
