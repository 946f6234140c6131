// The language table, keyboard layout and panel bitmap classes do not exist yet:
// no language table is ever in force, no layout entry or panel bitmap is built.
#include "gui/SkinLinks.h"

#include "gui/SkinBuilders.h"
#include "gui/SkinReaders.h"

std::span<const uint8_t> FindOverride(int32_t, std::wstring_view) { return {}; }
int32_t FindFontReplacement(int32_t) { return 0; }

CGUIItem* BuildLanguage(const pugi::xml_node&, HWND) { return nullptr; }
CGUIItem* BuildKeyboardLayout(const pugi::xml_node&, HWND) { return nullptr; }
void RegisterLanguageTable(CGUIItem*) {}
void RegisterKeyboardLayout(CGUIItem*) {}
CGUIItem* BuildPanelBitmap(const pugi::xml_node&, int32_t, HWND) { return nullptr; }
