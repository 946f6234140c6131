#include "gui/skin/SkinGlobals.h"

namespace gui {
namespace {
SkinGlobals g_skin;
}  // namespace

void SkinGlobals::Reset() {
  languageTables.clear();
  requestedLanguageId = -1;
  currentLangTable = nullptr;
  keyboardLayoutSwitcher.m_settings.clear();
  keyboardLayoutSwitcher.m_selected = nullptr;
}

SkinGlobals& Skin() { return g_skin; }

}  // namespace gui

// Bound to the members of one object with static storage: constant
// initialisation, so they are valid before any dynamic initialiser runs.
std::map<int32_t, CLangTable*>& LanguageTables = gui::g_skin.languageTables;
int32_t& RequestedLanguageId = gui::g_skin.requestedLanguageId;
CLangTable*& CurrentLangTable = gui::g_skin.currentLangTable;
CKeyboardLayoutSwitcher& KeyboardLayoutSwitcher = gui::g_skin.keyboardLayoutSwitcher;
