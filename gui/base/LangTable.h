// Language tables: the texts of one language, read from a UTF-16 text file in
// "lang\", with per-language overrides of skin attributes and font replacements;
// and the keyboard layout entries with the switcher that puts the process on
// the keyboard's layout.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "gui/base/GUIItem.h"

// One per-language override of an item's attribute or child element.
struct LanguageOverride {
  int32_t itemId = -1;
  std::wstring name;           // attribute or child-element name, compared without regard to case
  std::vector<uint8_t> value;  // text: UTF-16 with its terminating zero; RECT: 16 bytes
};

class CLangTable : public CGUIItem {
 public:
  CLangTable() = default;
  // Also leaves LanguageTables and CurrentLangTable.
  ~CLangTable() override;

  // Fills the pairs and the title from a language text file of exactly
  // `byteSize` bytes (UTF-16 little-endian; an odd last byte is ignored).
  // True when at least one pair was added.
  static bool ParseTextFile(size_t byteSize, const void* text, CLangTable* table);
  // Resolves "$key" (whole key) and "#prefix" (first key that begins with it).
  // `out` is the language's text on a match, the input unchanged otherwise.
  static bool Translate(const CLangTable* table, const std::wstring& text, std::wstring& out);

  uint32_t PairCount() const { return static_cast<uint32_t>(m_pairs.size()); }
  // The replacement of a font skin id, 0 when the language replaces none.
  int32_t FontReplacement(int32_t fontId) const;

  std::vector<std::pair<std::wstring, std::wstring>> m_pairs;  // (key, text) in file order, repeats kept
  std::wstring m_title;  // the file's first line, byte-order mark included
  std::map<int32_t, int32_t> m_fontReplacements;
  std::vector<LanguageOverride> m_overrides;
};

void AddLanguageOverride(CLangTable* table, int32_t itemId, const void* value, size_t size, const std::wstring& name);
// The first override of (item id, name), or null.
const LanguageOverride* FindLanguageOverride(const CLangTable* table, int32_t itemId, const std::wstring& name);
// The override's text, read within its size (up to its terminating zero);
// false when there is none or its size cannot hold UTF-16 text.
bool FindLanguageOverrideText(const CLangTable* table, int32_t itemId, const std::wstring& name, std::wstring& out);
// The "RECT" override; false when there is none or it is not exactly 16 bytes.
bool FindLanguageOverrideRect(const CLangTable* table, int32_t itemId, RECT& out);

class CKeyboardLayoutSetting : public CGUIItem {
 public:
  CKeyboardLayoutSetting() = default;
  // Also leaves the layout switcher's entries and selection.
  ~CKeyboardLayoutSetting() override;

  std::wstring m_layoutName;  // `kbdlayout`: a layout name as LoadKeyboardLayoutW takes it ("00000407")
  std::wstring m_itemSet;     // `kbditems`: the skin file of this layout's key page
};

// The system's keyboard-layout calls, behind a seam: Wine implements them
// mostly as stubs, and tests need to know what was loaded and unloaded.
namespace gui {
class IKeyboardLayouts {
 public:
  virtual ~IKeyboardLayouts() = default;
  virtual HKL Current() = 0;                           // GetKeyboardLayout(0)
  virtual std::vector<HKL> Installed() = 0;            // GetKeyboardLayoutList, at most 50
  virtual bool ActivateForProcess(HKL layout) = 0;     // ActivateKeyboardLayout(KLF_SETFORPROCESS)
  virtual std::wstring ActiveName() = 0;               // GetKeyboardLayoutNameW
  virtual HKL Load(const std::wstring& name) = 0;      // LoadKeyboardLayoutW(KLF_ACTIVATE)
  virtual bool Unload(HKL layout) = 0;                 // UnloadKeyboardLayout
};
}  // namespace gui

class CKeyboardLayoutSwitcher {
 public:
  CKeyboardLayoutSwitcher();
  // Null puts the system's calls back.
  void SetLayouts(gui::IKeyboardLayouts* layouts);

  // Switches the process to the layout of the entry: an installed layout of that
  // name (letter case ignored) is used as it is; otherwise the layout is loaded,
  // and unloaded again by the next switch. False when there is no entry, or the
  // layout can neither be found nor loaded (the previous layout then stays).
  bool Select(int32_t layoutId);
  // Back to the layout in force before the last switch; false when there is nothing to restore.
  bool Restore();

  std::map<int32_t, CKeyboardLayoutSetting*> m_settings;  // the entries (owned by their item list)
  CKeyboardLayoutSetting* m_selected = nullptr;
  HKL m_previousLayout = nullptr;
  HKL m_layoutInUse = nullptr;
  bool m_loadedInUse = false;  // the switcher loaded m_layoutInUse itself

 private:
  gui::IKeyboardLayouts* m_layouts;
};

// The skin's globals, each a member of gui::Skin() (gui/base/SkinGlobals.h):
// every built language table whose id is a language id of the table set in force, by id;
extern std::map<int32_t, CLangTable*>& LanguageTables;
// the language whose LANG elements are built, or -1 for every one;
extern int32_t& RequestedLanguageId;
// the language table in force, or null (texts are then shown as written);
extern CLangTable*& CurrentLangTable;
// the program's one layout switcher.
extern CKeyboardLayoutSwitcher& KeyboardLayoutSwitcher;

bool SelectKeyboardLayout(int32_t layoutId);
bool RestoreKeyboardLayout();
