// For tests of owner-drawn and self-painting controls: an off-screen surface a
// control draws into, and the questions tests ask of its pixels.
#pragma once
#include <windows.h>

#include "platform/Gdi.h"

namespace gui::testing {

// A memory DC holding a bitmap of the given size, filled with one colour
// beforehand, so that what a control leaves untouched (a mask's see-through)
// shows that colour.
class DrawSurface {
 public:
  DrawSurface(int width, int height, COLORREF fill);
  ~DrawSurface();
  DrawSurface(const DrawSurface&) = delete;
  DrawSurface& operator=(const DrawSurface&) = delete;

  HDC dc() const { return m_dc; }
  COLORREF Pixel(int x, int y) const { return ::GetPixel(m_dc, x, y); }
  // True when some pixel of the rectangle has exactly this colour.
  bool HasColourIn(const RECT& rect, COLORREF colour) const;
  // The rectangle of every pixel that differs from `background`; empty when none.
  RECT BoundsOfNot(COLORREF background) const;

 private:
  int m_width, m_height;
  CDC m_dc;
  CBitmap m_bitmap;
  HGDIOBJ m_old = nullptr;
};

// Sends WM_DRAWITEM for `control` (a child of `parent`) with the item state
// (ODS_SELECTED, ODS_DISABLED, ...) and the surface's DC, as a parent receives it.
void SendDrawItem(HWND parent, HWND control, UINT itemState, const DrawSurface& surface, UINT controlType = ODT_BUTTON);
// WM_PRINTCLIENT of the window into the surface.
void PrintClient(HWND window, const DrawSurface& surface);

}  // namespace gui::testing
