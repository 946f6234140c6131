// Where the skin loader meets the language tables, the keyboard layout switcher
// and the panel bitmaps: the few operations on those classes that the loader's
// sections and readers need.
#pragma once
#include <windows.h>

#include <pugixml.hpp>

#include <cstdint>

#include "gui/base/GUIItem.h"

namespace gui {

// The language ("LANGUAGE_DEFAULT".."LANGUAGE_GREEK") and keyboard layout
// ("KBLAYOUT_ENGLISH".."KBLAYOUT_PORTUGUESE_BRAZIL") element ids of the table set in force.
bool IsLanguageId(int32_t id);
bool IsKeyboardLayoutId(int32_t id);
// Enters a built language table in LanguageTables when its id is a language id.
void RegisterLanguageTable(CGUIItem* table);
// Enters a built layout entry in the keyboard layout switcher when its id is a layout id.
void RegisterKeyboardLayout(CGUIItem* layout);
// The panel bitmap item of a BACKGROUND or MASK element (id 0 or 1), holding a
// copy of the element's image compatible with the window's display; null when the
// image cannot be loaded.
CGUIItem* BuildPanelBitmap(const pugi::xml_node& element, int32_t id, HWND parent);

}  // namespace gui
