#include "gui/controls/XComboList.h"

#include <algorithm>

#include "gui/Messages.h"

void CXComboList::Notify(UINT msg) const {
  if (m_owner && m_owner->m_hWnd) m_owner->SendMessage(msg, 0, 0);
}

int CXComboList::Maximum() const { return m_listBox.m_hWnd ? m_listBox.GetCount() : 0; }

void CXComboList::SetPosition(int position) {
  if (m_scrollBar.m_hWnd) m_scrollBar.SetScrollPos(std::clamp(position, 0, std::max(0, Maximum())), TRUE);
}

void CXComboList::PlaceAndShow() {
  if (!m_listBox.m_hWnd) return;
  m_listBox.SetFocus();
  if (m_firstPlacement) {
    m_firstPlacement = 0;
    RECT window{};
    GetWindowRect(&window);
    const int itemHeight = m_listBox.GetItemHeight(0);
    // An item height the list box cannot give leaves no whole rows.
    m_rows = itemHeight > 0 ? (window.bottom - window.top) / itemHeight : 0;
    m_listHeight = m_rows * std::max(itemHeight, 0);
  }
  RECT window{};
  GetWindowRect(&window);
  if (HWND parent = ::GetParent(m_hWnd); parent && (GetStyle() & WS_CHILD))
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&window), 2);
  MoveWindow(window.left, window.top, window.right - window.left, m_listHeight + 4, TRUE);
  RECT client{};
  GetClientRect(&client);
  const int left = client.left + 1, top = client.top + 1;
  m_listBox.MoveWindow(left, top, client.right - kScrollBarWidth - left, m_listHeight, TRUE);
  m_scrollBar.MoveWindow(client.right - kScrollBarWidth, top, kScrollBarWidth, m_listHeight, TRUE);
  ::BringWindowToTop(m_listBox.m_hWnd);

  const int selected = std::max(m_listBox.GetCurSel(), 0);
  SCROLLINFO info{};
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  info.nMin = 0;
  info.nMax = Maximum();
  info.nPage = static_cast<UINT>(m_rows);
  info.nPos = selected;
  m_scrollBar.SetScrollInfo(&info, TRUE);
  m_listBox.SetTopIndex(std::max(selected - 1, 0));
  ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void CXComboList::OnKeyDown(WPARAM key) {
  const int p = std::max(m_listBox.GetCurSel(), 0);
  int next = p;
  switch (key) {
    case VK_RETURN:
      Notify(gui::ComboListVkReturnMessage());
      return;
    case VK_ESCAPE:
      Notify(gui::ComboListVkEscapeMessage());
      return;
    case VK_UP: next = p - 1; break;
    case VK_DOWN: next = p + 1; break;
    case VK_PRIOR: next = p - m_rows + 1; break;
    case VK_NEXT: next = p + m_rows - 1; break;
    case VK_HOME: next = 0; break;
    case VK_END: next = Maximum(); break;
    default:
      if (key >= 'A' && key <= 'Z') {
        const wchar_t letter[2] = {static_cast<wchar_t>(key), 0};
        const int found = static_cast<int>(
            m_listBox.SendMessage(LB_FINDSTRING, static_cast<WPARAM>(p - 1), reinterpret_cast<LPARAM>(letter)));
        if (found == LB_ERR) return;
        next = found;
        break;
      }
      return;
  }
  Notify(gui::ComboListKeyDownMessage());
  SetPosition(next);
}

BOOL CXComboList::PreTranslateMessage(MSG* msg) {
  if (!m_hWnd || !m_listBox.m_hWnd) return FALSE;
  if (msg->message == WM_KEYDOWN && (msg->hwnd == m_hWnd || msg->hwnd == m_listBox.m_hWnd)) {
    const HWND self = m_hWnd;
    OnKeyDown(msg->wParam);
    // The owner may have destroyed the popup; the key then goes nowhere.
    if (!::IsWindow(self)) return TRUE;
  } else if (msg->message == WM_LBUTTONUP && msg->hwnd == m_listBox.m_hWnd) {
    Notify(gui::ComboListLButtonUpMessage());
  }
  // Every key and click still goes on to the list box.
  return FALSE;
}

void CXComboList::OnVScroll(WPARAM wParam, LPARAM lParam) {
  if (m_listBox.m_hWnd) m_listBox.SendMessage(WM_VSCROLL, wParam, lParam);
  if (!m_scrollBar.m_hWnd) return;
  int position = m_scrollBar.GetScrollPos();
  switch (LOWORD(wParam)) {
    case SB_LINEUP: position -= 1; break;
    case SB_LINEDOWN: position += 1; break;
    case SB_PAGEUP: position -= m_rows; break;
    case SB_PAGEDOWN: position += m_rows; break;
    case SB_TOP: position = 0; break;
    case SB_BOTTOM: position = Maximum(); break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: position = static_cast<short>(HIWORD(wParam)); break;
    default: return;
  }
  SetPosition(position);
}

bool CXComboList::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_CREATE: {
      result = Default();
      if (result == -1) return true;
      const RECT none{0, 0, 0, 0};
      m_listBox.Create(WS_CHILD | WS_VISIBLE | LBS_NOINTEGRALHEIGHT, none, this, kListBoxId);
      m_scrollBar.Create(WS_CHILD | WS_VISIBLE | SBS_VERT, none, this, kScrollBarId);
      HWND fontSource = m_owner && m_owner->m_hWnd ? m_owner->m_hWnd : ::GetParent(m_hWnd);
      if (HFONT font = fontSource ? reinterpret_cast<HFONT>(::SendMessageW(fontSource, WM_GETFONT, 0, 0)) : nullptr) {
        m_listBox.SetFont(font, FALSE);
        m_scrollBar.SetFont(font, FALSE);
      }
      return true;
    }
    case WM_DESTROY:
      m_listBox.DestroyWindow();
      result = Default();
      return true;
    case WM_LBUTTONDOWN:
      // A press on the popup's own area around the list box.
      Notify(gui::ComboListLButtonUpMessage());
      result = Default();
      return true;
    case WM_KILLFOCUS:
      if (++m_focusLosses >= 3) Notify(gui::ComboListVkEscapeMessage());
      result = Default();
      return true;
    case WM_VSCROLL:
      if (reinterpret_cast<HWND>(lParam) == m_listBox.m_hWnd) return false;
      OnVScroll(wParam, lParam == reinterpret_cast<LPARAM>(m_scrollBar.m_hWnd) ? 0 : lParam);
      result = 0;
      return true;
    default:
      return CWnd::OnMessage(msg, wParam, lParam, result);
  }
}
