#include "gui/GUIItem.h"

#include "gui/skin/SkinLoader.h"
#include "gui/skin/SkinResourceCache.h"

namespace {

bool HasWindow(int32_t kind) {
  switch (kind) {
    case GUIKIND_PANELBITMAP:
    case GUIKIND_HSLIDERMAPM:
    case GUIKIND_FONT:
    case GUIKIND_LANG:
    case GUIKIND_LISTPANEL:
    case GUIKIND_KEYBOARDDEF:
    case GUIKIND_KBLAYOUT:
      return false;
    default:
      return kind >= 0 && kind <= GUIKIND_KBLAYOUT;
  }
}

}  // namespace

CGUIItem* FindItemById(const GUIItemList& list, int32_t id) {
  for (CGUIItem* item : list)
    if (item && item->id == id) return item;
  return nullptr;
}

CGUIItem* FindItemByHwnd(const GUIItemList& list, HWND hwnd) {
  for (CGUIItem* item : list)
    if (item && item->hwnd == hwnd) return item;
  return nullptr;
}

void ShowItem(CGUIItem* item, int show) {
  if (!item || !HasWindow(item->kind)) return;
  const int command = show == 1 ? SW_SHOW : SW_HIDE;
  // The macro display shows its scroll bar first; a bitmap item is listed
  // without its window (it is never found by handle), so it shows its own.
  if (item->kind == GUIKIND_MACRODISPLAY || item->kind == GUIKIND_BITMAPITEM) item->ShowItemParts(command);
  if (item->hwnd && item->hwnd != gui::kNoItemWindowYet) ShowWindow(item->hwnd, command);
}

void ShowItems(const GUIItemList& list, int show) {
  for (CGUIItem* item : list) ShowItem(item, show);
}

void DestroyItemList(GUIItemList& list) {
  while (!list.empty()) {
    CGUIItem* item = list.back();
    if (item && item->kind == GUIKIND_KEYBOARDDEF) return;
    // Every kind is deleted through the virtual destructor, which reaches the
    // whole object (GDI object, window object or plain item) carrying the header.
    delete item;
    list.pop_back();
  }
}

void FreeItemList(GUIItemList& list) {
  DestroyItemList(list);
  GUIItemList().swap(list);
}

bool LoadSkinFile(GUIItemList& list, const std::wstring& fileName, HWND parent) {
  gui::TryLoadSkinFile(list, fileName, parent);
  return true;
}

namespace gui {

std::wstring SkinFilePath(const std::wstring& fileName) { return AppFolder + L"xml\\" + fileName; }

bool TryLoadSkinFile(GUIItemList& list, const std::wstring& fileName, HWND parent) {
  // The names come from skin files too (a layout entry's kbditems): only a file
  // of the "xml\" folder, named within the path limit, is loaded.
  const std::wstring path = SkinFilePath(fileName);
  if (!IsSafeSkinFileName(fileName) || path.size() >= MAX_PATH) return false;
  return SkinLoader::LoadFile(parent, path, list);
}

}  // namespace gui

HBITMAP GetCachedBitmap(const std::wstring& fileName) {
  return static_cast<HBITMAP>(SkinResourceCache::Get(fileName, kSkinImage).handle);
}

std::span<const uint8_t> GetCachedBinary(const std::wstring& fileName) {
  return SkinResourceCache::Get(fileName, kBinaryFile).Bytes();
}
