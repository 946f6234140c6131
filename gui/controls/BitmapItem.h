// Small building blocks of the skinned controls: a child window showing one
// image (optionally cut to a mask), the bitmap behind a panel's background and
// mask items, and an off-screen DC that reaches the screen in one copy.
#pragma once
#include <windows.h>

#include <cstdint>

#include "gui/base/GUIItem.h"
#include "platform/Gdi.h"
#include "platform/Window.h"

class CBitmapItem : public CWnd, public CGUIItem {
 public:
  CBitmapItem() = default;
  ~CBitmapItem() override = default;

  // The item's image becomes its own copy of the (0, 0) corner of `source`,
  // (right - left) by (bottom - top); a null source leaves the image as it is.
  void SetBitmap(HBITMAP source, int left, int top, int right, int bottom);
  // As SetBitmap; first, when the mask gives a region, the window takes that shape.
  void SetBitmapAndRegion(HBITMAP mask, HBITMAP source, int left, int top, int right, int bottom);
  // Controls placed on the item report to the item's parent as if they were its own children.
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  // Shows or hides the item's window (ShowItem reaches it here: the header has no handle).
  void ShowItemParts(int showCommand) override;

  CBitmap m_image;
  int32_t m_reserved = 0;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

class CPanelBitmap : public CBitmap, public CGUIItem {
 public:
  // A copy of the whole source made with the window's DC; empty without a source.
  CPanelBitmap(HBITMAP source, HWND window);
  ~CPanelBitmap() override = default;

  int32_t m_reserved = 0;
};

// Drawing goes to an off-screen bitmap the size of the rectangle (default: the
// target's clip box), filled with the target's background colour; the
// destructor copies it to the target once. A printing target is drawn on directly.
class CMemDC : public CDC {
 public:
  CMemDC(CDC* target, const RECT* rect = nullptr);
  ~CMemDC() override;
  CMemDC(CMemDC&&) = delete;

  const RECT& Rect() const { return m_rect; }

 private:
  CBitmap m_bitmap;
  HGDIOBJ m_oldBitmap = nullptr;
  CDC* m_target;
  RECT m_rect{};
  bool m_isMemory;
};
