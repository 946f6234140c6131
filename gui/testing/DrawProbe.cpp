#include "gui/testing/DrawProbe.h"

#include <algorithm>

namespace gui::testing {

DrawSurface::DrawSurface(int width, int height, COLORREF fill) : m_width(width), m_height(height) {
  CClientDC screen(nullptr);
  m_dc.CreateCompatibleDC(screen);
  m_bitmap.CreateCompatibleBitmap(screen, width, height);
  m_old = m_dc.SelectObject(m_bitmap.GetSafeHandle());
  m_dc.FillSolidRect(RECT{0, 0, width, height}, fill);
}

DrawSurface::~DrawSurface() {
  if (m_old) m_dc.SelectObject(m_old);
}

bool DrawSurface::HasColourIn(const RECT& rect, COLORREF colour) const {
  for (int y = std::max<LONG>(rect.top, 0); y < std::min<LONG>(rect.bottom, m_height); ++y)
    for (int x = std::max<LONG>(rect.left, 0); x < std::min<LONG>(rect.right, m_width); ++x)
      if (Pixel(x, y) == colour) return true;
  return false;
}

RECT DrawSurface::BoundsOfNot(COLORREF background) const {
  RECT bounds{m_width, m_height, 0, 0};
  for (int y = 0; y < m_height; ++y)
    for (int x = 0; x < m_width; ++x)
      if (Pixel(x, y) != background) {
        bounds.left = std::min<LONG>(bounds.left, x);
        bounds.top = std::min<LONG>(bounds.top, y);
        bounds.right = std::max<LONG>(bounds.right, x + 1);
        bounds.bottom = std::max<LONG>(bounds.bottom, y + 1);
      }
  if (bounds.right == 0) return RECT{0, 0, 0, 0};
  return bounds;
}

void SendDrawItem(HWND parent, HWND control, UINT itemState, const DrawSurface& surface, UINT controlType) {
  DRAWITEMSTRUCT dis{};
  dis.CtlType = controlType;
  dis.CtlID = static_cast<UINT>(::GetDlgCtrlID(control));
  dis.itemAction = ODA_DRAWENTIRE;
  dis.itemState = itemState;
  dis.hwndItem = control;
  dis.hDC = surface.dc();
  ::GetClientRect(control, &dis.rcItem);
  ::SendMessageW(parent, WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
}

void PrintClient(HWND window, const DrawSurface& surface) {
  ::SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(surface.dc()), PRF_CLIENT);
}

}  // namespace gui::testing
