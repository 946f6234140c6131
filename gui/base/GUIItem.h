// The header that every skin item carries, and the item lists that panels and
// pages keep their skin items in.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

enum GUIItemKind : int32_t {
  GUIKIND_PANELBITMAP = 0,
  GUIKIND_BITMAPITEM = 1,
  GUIKIND_BUTTON = 2,
  GUIKIND_AVIBUTTON = 3,
  GUIKIND_PROFBUTTON = 4,
  GUIKIND_VSLIDER = 5,
  GUIKIND_SLIDERSTAGE = 6,
  GUIKIND_DMARKER = 7,
  GUIKIND_HSLIDERM = 8,
  GUIKIND_HSLIDERMAPM = 9,
  GUIKIND_MACRODISPLAY = 10,
  GUIKIND_TEXTITEM = 11,
  GUIKIND_FONT = 12,
  GUIKIND_LANG = 13,
  GUIKIND_COMBO = 14,
  GUIKIND_LISTPANEL = 15,
  GUIKIND_BITMAPWINDOW = 16,
  GUIKIND_LISTCTRL = 17,
  GUIKIND_EDITCTRL = 18,
  GUIKIND_EDITCTRLSK = 19,
  GUIKIND_DPISTAGEWINDOW = 20,
  GUIKIND_KEYBOARDDEF = 21,
  GUIKIND_KBDKEY = 22,
  GUIKIND_KBLAYOUT = 23,
};

// The window handle of an item whose window has not been created yet.
namespace gui {
inline HWND const kNoItemWindowYet = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));
}  // namespace gui

class CGUIItem {
 public:
  CGUIItem() = default;
  CGUIItem(const CGUIItem&) = delete;
  CGUIItem& operator=(const CGUIItem&) = delete;
  // Deletes the whole object that carries the header (a window item's destructor
  // destroys its window).
  virtual ~CGUIItem() = default;

  // Shows or hides what belongs to the item besides its own window; only the macro
  // display has such parts (its scroll bar, shown before its list).
  virtual void ShowItemParts(int /*showCommand*/) {}

  int32_t id = -1;    // skin element id; -1 until a builder sets it
  int32_t kind = -1;  // GUIItemKind; -1 until a builder sets it
  HWND hwnd = gui::kNoItemWindowYet;  // the item's window; 0 for items without one
  HWND parent = nullptr;         // the parent window the loader passed to the builder
};

// An ordered list of the skin items of one file, in the order the file lists them.
// The list owns its items: DestroyItemList / FreeItemList delete them.
using GUIItemList = std::vector<CGUIItem*>;

CGUIItem* FindItemById(const GUIItemList& list, int32_t id);
CGUIItem* FindItemByHwnd(const GUIItemList& list, HWND hwnd);

// Shows the item's window (SW_SHOW) when `show` is 1, hides it (SW_HIDE) otherwise;
// kinds without a window are left alone.
void ShowItem(CGUIItem* item, int show);
void ShowItems(const GUIItemList& list, int show);

// Deletes the items from the back to the front. The keyboard definition is a
// program-wide object: meeting it ends the destruction and leaves it and every
// item before it in the list.
void DestroyItemList(GUIItemList& list);
// DestroyItemList, then the list's storage is released.
void FreeItemList(GUIItemList& list);
