#include "gui/panels/DropdownListItem.h"

#include "gui/Messages.h"
#include "gui/controls/BitmapItem.h"
#include "gui/controls/ControlHelpers.h"
#include "gui/controls/ListDrawing.h"
#include "platform/Gdi.h"

int CDropdownListItem::AddString(const std::wstring& text) {
  m_entries.push_back(ListPanelEntry{text, nullptr, 0});
  return static_cast<int>(m_entries.size()) - 1;
}

bool CDropdownListItem::InsertString(int index, const std::wstring& text) {
  if (index < 0 || index > static_cast<int>(m_entries.size())) return false;
  m_entries.insert(m_entries.begin() + index, ListPanelEntry{text, nullptr, 0});
  return true;
}

std::wstring CDropdownListItem::GetLBText(int index) const {
  if (index < 0 || index >= static_cast<int>(m_entries.size())) return {};
  return m_entries[static_cast<size_t>(index)].text;
}

int CDropdownListItem::FindString(const LVFINDINFOW* info) const {
  if (!info || !(info->flags & LVFI_STRING) || !info->psz) return -1;
  for (size_t i = 0; i < m_entries.size(); ++i)
    if (m_entries[i].text == info->psz) return static_cast<int>(i);
  return -1;
}

int CDropdownListItem::GetCurSel() const { return gui::FindEntryText(m_entries, m_shownText); }

bool CDropdownListItem::SetCurSel(int index, const wchar_t* subText) {
  if (index < 0 || index >= static_cast<int>(m_entries.size())) return false;
  m_subText = subText ? subText : L"";
  m_shownText = m_entries[static_cast<size_t>(index)].text;
  if (m_hWnd) Invalidate(FALSE);
  return true;
}

void CDropdownListItem::Paint(HDC hdc) {
  RECT client{};
  GetClientRect(&client);
  const bool off = m_disabled != 0;
  const COLORREF back = off ? m_disabledBackColour : m_backColour;
  const COLORREF border = off ? m_disabledBorderColour : m_borderColour;
  const COLORREF text = off ? m_disabledTextColour : m_textColour;
  CDC dc;
  dc.Attach(hdc);
  dc.FillSolidRect(client, back);
  const int w = m_borderWidth;
  if (w > 0) {
    CPen pen;
    pen.CreatePen(PS_SOLID, w, border);
    platform::SelectGuard select(dc, pen.GetSafeHandle());
    const POINT points[] = {{client.left, client.bottom - w},
                            {client.left, client.top},
                            {client.right - w, client.top},
                            {client.right - w, client.bottom - w}};
    ::Polyline(dc, points, 4);
  }
  const int height = client.bottom - client.top;
  RECT textRect{client.left + w, client.top + w, client.right - height - w, client.bottom - w};
  if (textRect.right > textRect.left && textRect.bottom > textRect.top) {
    CMemDC mem(&dc, &textRect);
    mem.FillSolidRect(textRect, back);
    platform::SelectGuard font(mem, gui::FontOrDefault(m_font));
    mem.SetBkMode(TRANSPARENT);
    mem.SetTextColor(text);
    std::wstring shown = m_leftGap + gui::TranslateText(m_shownText);
    if (!m_subText.empty()) shown += L": " + m_subText;
    RECT r = textRect;
    mem.DrawText(shown, &r, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
  }
  const int squareLeft = client.right - height;
  gui::DrawDownArrow(dc, squareLeft + (height - 9) / 2, (height - 5) / 2, 9, m_textColour);
  dc.Detach();
}

void CDropdownListItem::OnClick() {
  if (m_disabled) return;
  const HWND self = m_hWnd;
  ::SendMessageW(GetParentHwnd(), DropdownClickedMessage, 0, reinterpret_cast<LPARAM>(self));
  // The parent may have destroyed the box while handling the message.
  if (!::IsWindow(self) || m_hWnd != self) return;

  RECT box{};
  GetClientRect(&box);
  ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&box), 2);
  m_popupRect = RECT{box.left, box.bottom, box.right, box.bottom + m_listHeight};

  CListPanel panel(this, CListPanel::kTemplateId, m_sorted != 0, m_entries, m_popupRect);
  ListPanelLook& look = panel.m_look;
  look.font = m_font;
  look.text = m_textColour;
  look.hotText = m_hotTextColour;
  look.background = m_backColour;
  look.hotBackground = m_hotBackColour;
  look.border = m_borderColour;
  look.borderWidth = m_borderWidth;
  look.scrollBarWidth = m_scrollBarWidth;
  look.scrollBitmaps = m_scrollBitmaps;
  look.titlePrefix = m_leftGap;
  look.sorted = m_sorted != 0;

  m_open = 1;
  Invalidate(FALSE);
  const INT_PTR chosen = panel.Run();
  if (!::IsWindow(self) || m_hWnd != self) return;
  m_open = 0;
  Invalidate(FALSE);
  // Checked against the entries as they are now: the owner may have changed them.
  if (chosen < 0 || chosen >= static_cast<INT_PTR>(m_entries.size())) return;
  const int index = static_cast<int>(chosen);
  if (CListPanelItem* sub = m_entries[static_cast<size_t>(index)].subList) {
    const int subChoice = sub->GetCurSel();
    if (subChoice < 0) return;
    const std::wstring subText = sub->GetLBText(subChoice);
    SetCurSel(index, subText.c_str());
  } else {
    SetCurSel(index, nullptr);
  }
  ::SendMessageW(GetParentHwnd(), DropdownSelChangedMessage, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(self));
}

bool CDropdownListItem::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (gui::HandlePaintMessage(m_hWnd, msg, wParam, result, [this](HDC dc) { Paint(dc); })) return true;
  switch (msg) {
    case WM_ERASEBKGND:
      result = 1;
      return true;
    case WM_LBUTTONDOWN:
      OnClick();
      result = 0;
      return true;
    default:
      return CStatic::OnMessage(msg, wParam, lParam, result);
  }
}
