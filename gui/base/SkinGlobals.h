// The skin's process-wide state in one place: the language tables the loader
// built, the language it is asked to build, the language in force, and the
// keyboard layout switcher with its entries and selection. Programs reset it
// before loading their skin and after freeing it; tests reset it between cases,
// so that no test sees another's tables. The names the rest of the program uses
// (LanguageTables, RequestedLanguageId, CurrentLangTable, KeyboardLayoutSwitcher,
// declared in gui/base/LangTable.h) are the members of gui::Skin().
#pragma once
#include <cstdint>
#include <map>

#include "gui/base/LangTable.h"

namespace gui {

struct SkinGlobals {
  // Every built language table whose id is a language id of the table set in force, by id.
  std::map<int32_t, CLangTable*> languageTables;
  // The language whose LANG elements are built, or -1 for every one.
  int32_t requestedLanguageId = -1;
  // The language table in force, or null (texts are then shown as written).
  CLangTable* currentLangTable = nullptr;
  // The layout entries the loader built, the selection and the layouts switched.
  CKeyboardLayoutSwitcher keyboardLayoutSwitcher;

  // Forgets every table and layout entry, the selection and the requested
  // language. The process's keyboard layout is left as it is, and so is what
  // the switcher needs to restore it (RestoreKeyboardLayout still works).
  void Reset();
};

SkinGlobals& Skin();

// A table or layout entry that goes takes itself out of the globals, so none of
// them points at a deleted item (their destructors call these).
void ForgetLanguageTable(const CLangTable* table);
void ForgetKeyboardLayout(const CKeyboardLayoutSetting* layout);

}  // namespace gui
