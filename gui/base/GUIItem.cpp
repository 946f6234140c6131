#include "gui/base/GUIItem.h"

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
