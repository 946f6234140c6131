#include "gui/controls/BitmapItem.h"

#include "gui/skin/SkinResourceCache.h"

void CBitmapItem::SetBitmap(HBITMAP source, int left, int top, int right, int bottom) {
  if (!source) return;
  CClientDC dc(m_hWnd);
  CropBitmap(m_image, dc, source, 0, 0, right - left, bottom - top);
}

void CBitmapItem::SetBitmapAndRegion(HBITMAP mask, HBITMAP source, int left, int top, int right, int bottom) {
  if (mask && m_hWnd) {
    CRgn region(BitmapToRegion(mask));
    if (!region.IsNull()) SetWindowRgn(region, TRUE);
  }
  SetBitmap(source, left, top, right, bottom);
}

void CBitmapItem::ShowItemParts(int showCommand) {
  if (m_hWnd) ::ShowWindow(m_hWnd, showCommand);
}

BOOL CBitmapItem::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (HWND parent = GetParentHwnd()) ::PostMessageW(parent, WM_COMMAND, wParam, lParam);
  return FALSE;
}

bool CBitmapItem::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg == WM_PAINT) {
    // Painting always begins and ends, so the window is validated even with no image.
    CPaintDC dc(m_hWnd);
    if (!m_image.IsNull()) {
      CDC memory;
      memory.CreateCompatibleDC(dc);
      platform::SelectGuard select(memory, m_image.GetSafeHandle());
      RECT client;
      GetClientRect(&client);
      dc.BitBlt(0, 0, client.right - client.left, client.bottom - client.top, memory, 0, 0, SRCCOPY);
    }
    result = 0;
    return true;
  }
  return CWnd::OnMessage(msg, wParam, lParam, result);
}

CPanelBitmap::CPanelBitmap(HBITMAP source, HWND window) {
  if (!source) return;
  const SIZE size = [&] {
    BITMAP bm{};
    if (!::GetObjectW(source, sizeof(bm), &bm)) return SIZE{0, 0};
    return SIZE{bm.bmWidth, bm.bmHeight};
  }();
  CClientDC dc(window);
  CropBitmap(*this, dc, source, 0, 0, size.cx, size.cy);
}

CMemDC::CMemDC(CDC* target, const RECT* rect) : m_target(target), m_isMemory(!target->IsPrinting()) {
  if (rect) m_rect = *rect;
  else target->GetClipBox(&m_rect);

  if (m_isMemory) {
    CreateCompatibleDC(*target);
    RECT device = m_rect;
    ::LPtoDP(*target, reinterpret_cast<POINT*>(&device), 2);
    m_bitmap.CreateCompatibleBitmap(*target, device.right - device.left, device.bottom - device.top);
    m_oldBitmap = SelectObject(m_bitmap.GetSafeHandle());
    ::SetMapMode(m_hDC, ::GetMapMode(*target));
    SIZE extent;
    ::GetWindowExtEx(*target, &extent);
    ::SetWindowExtEx(m_hDC, extent.cx, extent.cy, nullptr);
    ::GetViewportExtEx(*target, &extent);
    ::SetViewportExtEx(m_hDC, extent.cx, extent.cy, nullptr);
    ::DPtoLP(*target, reinterpret_cast<POINT*>(&device), 2);
    m_rect = device;
    ::SetWindowOrgEx(m_hDC, m_rect.left, m_rect.top, nullptr);
  } else {
    Attach(*target);  // borrowed: never deleted here
  }
  FillSolidRect(m_rect, target->GetBkColor());
}

CMemDC::~CMemDC() {
  if (m_isMemory) {
    m_target->BitBlt(m_rect.left, m_rect.top, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top, m_hDC,
                     m_rect.left, m_rect.top, SRCCOPY);
    SelectObject(m_oldBitmap);
    DeleteDC();
  } else {
    Detach();
  }
  // m_bitmap, no longer selected anywhere, is deleted by its own destructor.
}
