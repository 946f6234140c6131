#include "gui/controls/SkinnedListView.h"

#include <windowsx.h>

#include <cstdlib>

#include "gui/Messages.h"
#include "platform/Gdi.h"

void CSkinnedListView::SyncScrollBar() {
  if (m_scrollBar && m_scrollBar->m_hWnd) m_scrollBar->UpdateThumb();
}

void CSkinnedListView::CreateScrollBar(const RECT& rect, CWnd* parent, COLORREF background) {
  m_scrollBar->SetScrollOwner(this);
  m_scrollBar->m_backgroundColor = background;
  m_scrollBar->Create(L"", WS_CHILD | WS_VISIBLE, rect, parent, kScrollBarId);
}

void CSkinnedListView::PaintBackgroundBesideBar(HDC hdc, COLORREF background, COLORREF border,
                                                int borderWidth) const {
  if (!m_scrollBar) return;
  RECT client{};
  GetClientRect(&client);
  CDC dc;
  dc.Attach(hdc);
  dc.FillSolidRect(client, background);
  dc.FillSolidRect(RECT{client.right - borderWidth, client.top, client.right, client.bottom}, border);
  dc.Detach();
}

bool CSkinnedListView::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg == WM_ERASEBKGND) {
    if (const std::optional<COLORREF> colour = EraseColour()) {
      RECT client{};
      GetClientRect(&client);
      CDC dc;
      dc.Attach(reinterpret_cast<HDC>(wParam));
      dc.FillSolidRect(client, *colour);
      dc.Detach();
    }
    SyncScrollBar();
    result = 1;
    return true;
  }
  if (m_scrolling == Scrolling::kSkinned) {
    switch (msg) {
      case WM_NCCALCSIZE:
        // Without LVS_NOSCROLL the list view keeps the scroll information the
        // skinned bar reads; taking the styles off here keeps its bars hidden.
        ModifyStyle(WS_HSCROLL | WS_VSCROLL, 0);
        result = Default();
        return true;
      case WM_MOUSEWHEEL: {
        SyncScrollBar();
        const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
        for (int i = 0; i < std::abs(notches); ++i) PostMessage(WM_VSCROLL, notches > 0 ? SB_LINEUP : SB_LINEDOWN, 0);
        result = 0;
        return true;
      }
      case WM_VSCROLL:
        result = Default();
        SyncScrollBar();
        return true;
      case ScrollRowsMessage:
        Scroll(0, static_cast<int>(wParam) * m_rowHeight);
        Invalidate();
        SyncScrollBar();
        result = 0;
        return true;
      default:
        break;
    }
  }
  return CListCtrl::OnMessage(msg, wParam, lParam, result);
}
