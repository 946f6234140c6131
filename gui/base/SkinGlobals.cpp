#include "gui/base/SkinGlobals.h"

namespace gui {
namespace {

// The globals outlive every item list the programs free; a table deleted while
// the program's static objects are destroyed finds them gone and leaves them be.
bool g_skinGone = false;
struct Storage {
  SkinGlobals globals;
  ~Storage() { g_skinGone = true; }
};
Storage g_storage;
SkinGlobals& g_skin = g_storage.globals;

}  // namespace

void SkinGlobals::Reset() {
  languageTables.clear();
  requestedLanguageId = -1;
  currentLangTable = nullptr;
  keyboardLayoutSwitcher.m_settings.clear();
  keyboardLayoutSwitcher.m_selected = nullptr;
}

SkinGlobals& Skin() { return g_skin; }

void ForgetLanguageTable(const CLangTable* table) {
  if (g_skinGone) return;
  std::erase_if(g_skin.languageTables, [table](const auto& entry) { return entry.second == table; });
  if (g_skin.currentLangTable == table) g_skin.currentLangTable = nullptr;
}

void ForgetKeyboardLayout(const CKeyboardLayoutSetting* layout) {
  if (g_skinGone) return;
  CKeyboardLayoutSwitcher& switcher = g_skin.keyboardLayoutSwitcher;
  std::erase_if(switcher.m_settings, [layout](const auto& entry) { return entry.second == layout; });
  if (switcher.m_selected == layout) switcher.m_selected = nullptr;
}

}  // namespace gui

// Bound to the members of one object with static storage: constant
// initialisation, so they are valid before any dynamic initialiser runs.
std::map<int32_t, CLangTable*>& LanguageTables = gui::g_storage.globals.languageTables;
int32_t& RequestedLanguageId = gui::g_storage.globals.requestedLanguageId;
CLangTable*& CurrentLangTable = gui::g_storage.globals.currentLangTable;
CKeyboardLayoutSwitcher& KeyboardLayoutSwitcher = gui::g_storage.globals.keyboardLayoutSwitcher;
