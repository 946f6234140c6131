#include "gui/skin/SkinLinks.h"

#include "gui/controls/BitmapItem.h"
#include "gui/base/LangTable.h"
#include "gui/skin/SkinLoader.h"
#include "gui/base/SkinNameTables.h"
#include "gui/skin/SkinReaders.h"
#include "gui/skin/SkinResourceCache.h"

namespace {

// The ids of a run of element names under the table set in force: the two
// programs number the same names differently (the configurator's languages are
// 349..364, the tray's 348..363).
bool InRange(int32_t id, const wchar_t* first, const wchar_t* last) {
  const int32_t low = FindSkinElementId(first), high = FindSkinElementId(last);
  return low >= 0 && high >= low && id >= low && id <= high;
}

}  // namespace

bool gui::IsLanguageId(int32_t id) { return InRange(id, L"LANGUAGE_DEFAULT", L"LANGUAGE_GREEK"); }
bool gui::IsKeyboardLayoutId(int32_t id) { return InRange(id, L"KBLAYOUT_ENGLISH", L"KBLAYOUT_PORTUGUESE_BRAZIL"); }

int32_t gui::FindFontReplacement(int32_t fontId) { return CurrentLangTable ? CurrentLangTable->FontReplacement(fontId) : 0; }

void gui::RegisterLanguageTable(CGUIItem* table) {
  if (!table || table->kind != GUIKIND_LANG) return;
  if (IsLanguageId(table->id)) LanguageTables[table->id] = static_cast<CLangTable*>(table);
}

void gui::RegisterKeyboardLayout(CGUIItem* layout) {
  if (!layout || layout->kind != GUIKIND_KBLAYOUT) return;
  if (IsKeyboardLayoutId(layout->id)) KeyboardLayoutSwitcher.m_settings[layout->id] = static_cast<CKeyboardLayoutSetting*>(layout);
}

CGUIItem* gui::BuildPanelBitmap(const pugi::xml_node& element, int32_t id, HWND parent) {
  HBITMAP image = GetSkinImageUtf8(element.child_value());
  if (!image) return nullptr;
  auto* bitmap = new CPanelBitmap(image, parent);
  if (bitmap->IsNull()) {
    // The copy could not be made: a panel bitmap without a bitmap is no image.
    delete bitmap;
    return nullptr;
  }
  bitmap->id = id;
  bitmap->kind = GUIKIND_PANELBITMAP;
  bitmap->hwnd = nullptr;
  bitmap->parent = parent;
  return bitmap;
}
