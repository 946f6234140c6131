#include "gui/controls/TextItem.h"

#include <windowsx.h>

#include "gui/controls/BitmapBtn.h"

CTextItem::CTextItem(const std::wstring& text, int caseMode) {
  bool translated = false;
  std::wstring shown = gui::FirstLineBreak(gui::TranslateText(text, &translated));
  if (translated) shown = gui::ApplyCaseMode(std::move(shown), caseMode);
  m_text = std::move(shown);
}

CTextItem::~CTextItem() { DestroyWindow(); }

void CTextItem::SetText(const std::wstring& text) {
  m_text = gui::FirstLineBreak(gui::TranslateText(text));
  RedrawInParent();
}

void CTextItem::RedrawInParent() {
  HWND parent = GetParentHwnd();
  if (!m_hWnd || !parent) return;
  RECT rect;
  GetClientRect(&rect);
  ::MapWindowPoints(m_hWnd, parent, reinterpret_cast<POINT*>(&rect), 2);
  // The item is repainted with the parent even when the parent clips its children.
  ::RedrawWindow(parent, &rect, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void CTextItem::SetHover(uint8_t value) {
  m_hover = value;
  if (m_linkedCheckBox) {
    m_linkedCheckBox->m_highlight = value;
    m_linkedCheckBox->Invalidate();
  }
  RedrawInParent();
}

COLORREF CTextItem::TextColour() const {
  if (m_disabled == 1 && m_clrDisabled) return m_clrDisabled;
  if (m_hover == 1 && m_clrHover) return m_clrHover;
  return gui::ControlTextColour(m_clrNormal);
}

void CTextItem::DrawItem(DRAWITEMSTRUCT* dis) {
  if (!dis || !dis->hDC) return;
  CFont paintFont;
  if (!m_font) paintFont = gui::MakeDefaultControlFont();
  platform::SelectGuard font(dis->hDC, m_font ? m_font->GetSafeHandle() : paintFont.GetSafeHandle());
  const int oldMode = ::SetBkMode(dis->hDC, TRANSPARENT);
  const COLORREF oldColour = ::SetTextColor(dis->hDC, TextColour());
  if (m_drawTextFormat) {
    RECT client;
    GetClientRect(&client);
    gui::DrawControlText(dis->hDC, m_text, &client, m_drawTextFormat);
  } else {
    ::TextOutW(dis->hDC, dis->rcItem.left + 5, dis->rcItem.top + 2, m_text.c_str(), static_cast<int>(m_text.size()));
  }
  ::SetTextColor(dis->hDC, oldColour);
  ::SetBkMode(dis->hDC, oldMode);
}

void CTextItem::OnMouseMove(UINT flags, int x, int y) {
  Default();
  const bool leftDown = (flags & MK_LBUTTON) != 0;
  if (leftDown && !m_hover) return;
  if (m_disabled == 1) {
    // The owner may disable the item while the pointer rests on it: it must not
    // keep the mouse, or every later click would come to it.
    if (::GetCapture() == m_hWnd) {
      SetHover(0);
      ::ReleaseCapture();
    }
    return;
  }
  gui::TrackHoverByCapture(*this, flags, POINT{x, y}, m_hover == 1, [this](bool hover) { SetHover(hover ? 1 : 0); });
}

void CTextItem::OnLButtonUp() {
  if (!m_linkedCheckBox) return;
  if (m_linkedCheckBox->m_toggleMode == 1) {
    m_linkedCheckBox->m_checked = !m_linkedCheckBox->m_checked;
    m_linkedCheckBox->Invalidate();
  }
  ::SendMessageW(GetParentHwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), 0),
                 reinterpret_cast<LPARAM>(m_linkedCheckBox->m_hWnd));
  RedrawInParent();
}

bool CTextItem::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_MOUSEMOVE:
      OnMouseMove(static_cast<UINT>(wParam), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      result = 0;
      return true;
    case WM_LBUTTONDOWN:
      gui::ActivateOwnerOf(GetOwnerHwnd());
      result = Default();
      return true;
    case WM_LBUTTONUP:
      result = Default();
      OnLButtonUp();
      return true;
    case WM_CAPTURECHANGED:
      // Losing the capture ends the hover, of the linked box too.
      if (gui::HoverEndsWithCapture(m_hWnd, reinterpret_cast<HWND>(lParam), m_hover == 1)) SetHover(0);
      result = Default();
      return true;
    case WM_ERASEBKGND:
      result = 0;
      return true;
    default:
      break;
  }
  if (msg == platform::Reflected(WM_DRAWITEM)) {
    DrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
    result = TRUE;
    return true;
  }
  if (msg == platform::Reflected(WM_CTLCOLORSTATIC)) {
    ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
    result = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
    return true;
  }
  return CStatic::OnMessage(msg, wParam, lParam, result);
}
