#include "gui/controls/XHeaderCtrl.h"

#include <algorithm>

#include "gui/controls/BitmapItem.h"
#include "gui/controls/ControlHelpers.h"
#include "gui/controls/ListDrawing.h"
#include "platform/Gdi.h"

bool CXHeaderCtrl::TakeOver(HWND header) {
  if (m_hWnd || !SubclassWindow(header)) return false;
  ModifyStyle(0, HDS_NOSIZING);
  return true;
}

void CXHeaderCtrl::DrawItem(HDC dc, const RECT& rect, const HDITEMW& item) {
  RECT area = rect;
  HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessage(HDM_GETIMAGELIST));
  // An item shows an image only with HDF_IMAGE: items never given one read back image 0.
  if ((item.mask & HDI_IMAGE) && (item.fmt & HDF_IMAGE) && item.iImage != -1 && images) {
    const int width = std::min(static_cast<int>(area.right - area.left), m_imageWidth);
    const int y = (area.top + area.bottom) / 2 - m_imageHeight / 2;
    if (width > 0) ::ImageList_DrawEx(images, item.iImage, dc, area.left, y, width, m_imageHeight, CLR_NONE, CLR_NONE, ILD_NORMAL);
    area.left += m_imageWidth + m_textMargin;
  }
  if ((item.fmt & HDF_BITMAP) && item.hbm) {
    BITMAP bm{};
    if (::GetObjectW(item.hbm, sizeof(bm), &bm) && bm.bmWidth <= area.right - area.left) {
      CDC source;
      if (source.CreateCompatibleDC(dc)) {
        platform::SelectGuard select(source, item.hbm);
        const int y = (area.top + area.bottom) / 2 - bm.bmHeight / 2;
        ::BitBlt(dc, area.right - bm.bmWidth, y, bm.bmWidth, bm.bmHeight, source, 0, 0, SRCCOPY);
      }
      area.right -= bm.bmWidth + m_textMargin;
    }
  }
  if (area.right - area.left >= 1 && item.pszText && item.pszText[0] && (item.fmt & HDF_STRING)) {
    const std::wstring text = gui::TranslateText(item.pszText);
    ::SetTextColor(dc, m_textColour);
    ::SetBkMode(dc, TRANSPARENT);
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
                DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_WORDBREAK | DT_END_ELLIPSIS | DT_NOPREFIX);
  }
}

void CXHeaderCtrl::PaintItems(HDC dc, const RECT& client) {
  CDC target;
  target.Attach(dc);
  RECT clip{};
  if (::GetClipBox(dc, &clip) == NULLREGION || ::IsRectEmpty(&clip)) {
    target.Detach();
    return;
  }
  target.FillSolidRect(clip, m_background);
  platform::SelectGuard font(dc, GetFont());
  ::SetBkColor(dc, m_background);
  ::SetTextColor(dc, m_textColour);
  const int count = GetItemCount();
  int totalWidth = 0;
  for (int position = 0; position < count; ++position) {
    const int index = static_cast<int>(SendMessage(HDM_ORDERTOINDEX, static_cast<WPARAM>(position)));
    wchar_t text[kTextLength] = {};
    HDITEMW item{};
    item.mask = HDI_WIDTH | HDI_TEXT | HDI_FORMAT | HDI_BITMAP | HDI_IMAGE;
    item.pszText = text;
    item.cchTextMax = kTextLength;
    if (!GetItem(index, &item)) continue;
    RECT rect{};
    GetItemRect(index, &rect);
    totalWidth += rect.right - rect.left;
    RECT content{rect.left + m_textMargin, rect.top, rect.right - m_textMargin, rect.bottom};
    DrawItem(dc, content, item);
    if (position < count - 1) {
      target.FillSolidRect(RECT{rect.right - 1, rect.top + 2, rect.right, rect.bottom - 2}, m_lightLine);
      target.FillSolidRect(RECT{rect.right, rect.top + 2, rect.right + 1, rect.bottom - 2}, m_darkLine);
    }
  }
  if (totalWidth > 0) {
    const int l = client.left, t = client.top, r = client.left + totalWidth, b = client.bottom;
    target.FillSolidRect(RECT{l, t, r - 1, t + 1}, m_darkLine);
    target.FillSolidRect(RECT{l, t, l + 1, b - 1}, m_darkLine);
    target.FillSolidRect(RECT{r - 1, t, r, b}, m_lightLine);
    target.FillSolidRect(RECT{l, b - 1, r, b}, m_lightLine);
  }
  target.Detach();
}

void CXHeaderCtrl::Paint(HDC dc) {
  RECT client{};
  GetClientRect(&client);
  if (!m_doubleBuffer) {
    PaintItems(dc, client);
    return;
  }
  CDC target;
  target.Attach(dc);
  {
    CMemDC mem(&target, &client);
    PaintItems(mem, client);
  }
  target.Detach();
}

bool CXHeaderCtrl::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (gui::HandlePaintMessage(m_hWnd, msg, wParam, result, [this](HDC dc) { Paint(dc); })) return true;
  switch (msg) {
    case HDM_INSERTITEMA:
    case HDM_INSERTITEMW: {
      const size_t at = std::min(static_cast<size_t>(wParam), m_itemRecords.size());
      m_itemRecords.insert(m_itemRecords.begin() + static_cast<ptrdiff_t>(at), _HDITEMEX{});
      result = Default();
      if (result == -1) m_itemRecords.erase(m_itemRecords.begin() + static_cast<ptrdiff_t>(at));
      return true;
    }
    case HDM_DELETEITEM:
      // A position without record removes none.
      if (wParam < m_itemRecords.size()) m_itemRecords.erase(m_itemRecords.begin() + static_cast<ptrdiff_t>(wParam));
      result = Default();
      return true;
    case HDM_SETIMAGELIST: {
      HIMAGELIST images = reinterpret_cast<HIMAGELIST>(lParam);
      int w = 0, h = 0;
      if (!images || !::ImageList_GetIconSize(images, &w, &h)) w = h = 0;
      m_imageWidth = w;
      m_imageHeight = h;
      result = Default();
      return true;
    }
    case WM_ERASEBKGND:
      result = 1;
      return true;
    case WM_SETCURSOR:
      result = TRUE;
      return true;
    case platform::Reflected(WM_NOTIFY): {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->code == HDN_BEGINTRACKA || header->code == HDN_BEGINTRACKW) {
        result = TRUE;
        return true;
      }
      return false;
    }
    default:
      return CHeaderCtrl::OnMessage(msg, wParam, lParam, result);
  }
}
