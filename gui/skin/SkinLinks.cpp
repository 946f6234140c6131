#include "gui/skin/SkinLinks.h"

#include "gui/controls/BitmapItem.h"
#include "gui/skin/LangTable.h"
#include "gui/skin/SkinLoader.h"
#include "gui/skin/SkinReaders.h"
#include "gui/skin/SkinResourceCache.h"

namespace {

constexpr int32_t kFirstLanguageId = 349, kEndLanguageIds = 365;
constexpr int32_t kFirstLayoutId = 366, kEndLayoutIds = 382;

}  // namespace

std::span<const uint8_t> FindOverride(int32_t itemId, std::wstring_view name) {
  const LanguageOverride* record = FindLanguageOverride(CurrentLangTable, itemId, std::wstring(name));
  if (!record) return {};
  return record->value;
}

int32_t FindFontReplacement(int32_t fontId) { return CurrentLangTable ? CurrentLangTable->FontReplacement(fontId) : 0; }

void RegisterLanguageTable(CGUIItem* table) {
  if (!table || table->kind != GUIKIND_LANG) return;
  if (table->id >= kFirstLanguageId && table->id < kEndLanguageIds)
    LanguageTables[table->id] = static_cast<CLangTable*>(table);
}

void RegisterKeyboardLayout(CGUIItem* layout) {
  if (!layout || layout->kind != GUIKIND_KBLAYOUT) return;
  if (layout->id >= kFirstLayoutId && layout->id < kEndLayoutIds)
    KeyboardLayoutSwitcher.settings[layout->id] = static_cast<CKeyboardLayoutSetting*>(layout);
}

CGUIItem* BuildPanelBitmap(const pugi::xml_node& element, int32_t id, HWND parent) {
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
