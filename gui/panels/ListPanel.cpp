#include "gui/panels/ListPanel.h"

#include <windowsx.h>

#include <algorithm>
#include <cwchar>

#include "gui/Messages.h"
#include "gui/controls/BitmapItem.h"
#include "gui/controls/ControlHelpers.h"
#include "gui/controls/ListDrawing.h"
#include "gui/controls/VScrollBar.h"
#include "platform/Gdi.h"

namespace gui {

int FindEntryText(const std::vector<ListPanelEntry>& entries, const std::wstring& text) {
  if (text.empty()) return -1;
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i].text == text) return static_cast<int>(i);
  return -1;
}

}  // namespace gui

namespace {

constexpr UINT kListId = 1;

int CALLBACK CompareEntryTexts(LPARAM a, LPARAM b, LPARAM entriesParam) {
  const auto& entries = *reinterpret_cast<const std::vector<ListPanelEntry>*>(entriesParam);
  const auto ia = static_cast<size_t>(a), ib = static_cast<size_t>(b);
  if (ia >= entries.size() || ib >= entries.size()) return 0;
  return ::_wcsicmp(entries[ia].text.c_str(), entries[ib].text.c_str());
}

bool HasSubEntries(const ListPanelEntry* entry) {
  return entry && entry->subList && !entry->subList->m_entries.empty();
}

}  // namespace

// ---- CListPanel ----

CListPanel::CListPanel(CWnd* parent, UINT templateId, bool sorted, const std::vector<ListPanelEntry>& entries,
                       const RECT& screenRect)
    : CPopupBox(parent, screenRect, templateId), m_entries(entries), m_rect(screenRect) {
  m_look.sorted = sorted;
}

CListPanel::~CListPanel() = default;

INT_PTR CListPanel::Run() {
  m_ending = false;
  const INT_PTR result = DoModal();
  m_list.reset();
  return result;
}

BOOL CListPanel::OnInitDialog() {
  CPopupBox::OnInitDialog();
  const int width = m_rect.right - m_rect.left, height = m_rect.bottom - m_rect.top;
  MoveWindow(m_rect.left, m_rect.top, width, height, TRUE);
  if (!m_entries.empty()) {
    RECT client{};
    GetClientRect(&client);
    const int w = m_look.borderWidth;
    const RECT listRect{client.left + w, client.top, client.right - w, client.bottom - w};
    m_list = std::make_unique<CListPanelList>(this);
    m_list->CreateIn(listRect);
  }
  // The list takes the focus once the popup is active (WM_ACTIVATE).
  return FALSE;
}

void CListPanel::End(INT_PTR result) {
  if (m_ending) return;
  m_ending = true;
  if (m_list && ::GetCapture() == m_list->m_hWnd) ::ReleaseCapture();
  // The list window goes with the popup's window; the list object may be the
  // one whose message handler called us, so it is freed after the loop.
  EndDialog(result);
}

void CListPanel::OnOK() {
  int entry = -1;
  if (m_list && m_list->m_hWnd) {
    entry = m_list->EntryOfRow(m_list->GetNextItem(-1, LVNI_SELECTED));
    if (entry < 0) entry = m_list->EntryOfRow(m_list->HotRow());
  }
  End(entry);
}

void CListPanel::Paint(HDC dc) {
  RECT client{};
  GetClientRect(&client);
  CDC target;
  target.Attach(dc);
  target.FillSolidRect(client, m_look.background);
  const int w = m_look.borderWidth;
  if (w > 0) {
    CPen pen;
    pen.CreatePen(PS_SOLID, w, m_look.border);
    platform::SelectGuard select(dc, pen.GetSafeHandle());
    const POINT points[] = {{client.left, client.top},
                            {client.left, client.bottom - w},
                            {client.right - w, client.bottom - w},
                            {client.right - w, client.top},
                            {client.left, client.top}};
    ::Polyline(dc, points, 5);
  }
  target.Detach();
}

bool CListPanel::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (gui::HandlePaintMessage(m_hWnd, msg, wParam, result, [this](HDC dc) { Paint(dc); })) return true;
  switch (msg) {
    case WM_ERASEBKGND:
      result = 1;
      return true;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      // A popup without scroll bar closes on a click on its own area (its border).
      if (m_look.scrollBarWidth == 0) End(-1);
      result = Default();
      return true;
    case WM_ACTIVATE:
      result = Default();
      if (LOWORD(wParam) != WA_INACTIVE && m_list && m_list->m_hWnd) m_list->SetFocus();
      return true;
    case WM_ACTIVATEAPP:
      // Another program took the activation (on Windows its focus change may
      // reach the list as a focus loss to no window, which the list leaves
      // alone): the popup ends without a choice, as on any focus loss.
      if (!wParam) End(-1);
      result = Default();
      return true;
    case ListPanelItemChosenMessage:
      End(static_cast<INT_PTR>(static_cast<int>(lParam)));
      result = 0;
      return true;
    default:
      return CPopupBox::OnMessage(msg, wParam, lParam, result);
  }
}

// ---- CListPanelList ----

CListPanelList::~CListPanelList() = default;

bool CListPanelList::CreateIn(const RECT& rect) {
  const ListPanelLook& look = m_panel->m_look;
  const int barWidth = std::max(0, look.scrollBarWidth);
  RECT listRect = rect;
  listRect.right -= barWidth;
  const DWORD style = WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | LVS_NOCOLUMNHEADER;
  platform::EnsureCommonControls();
  if (!Create(style, listRect, m_panel, kListId)) return false;
  HFONT font = gui::FontOrDefault(look.font);
  SetFont(font, FALSE);
  SetTextColor(look.text);
  SetBkColor(look.background);
  InsertColumn(0, L"", LVCFMT_LEFT, (listRect.right - listRect.left) - look.borderWidth);
  m_rowHeight = gui::FontHeight(font) + 1;
  if (barWidth > 0) {
    m_scrollBar = std::make_unique<CVScrollBar>();
    const auto& b = look.scrollBitmaps;
    m_scrollBar->SetBitmaps(b[0], b[1], b[2], b[3], b[4], b[5]);
    CreateScrollBar(RECT{listRect.right, rect.top, listRect.right + barWidth, rect.bottom}, m_panel, look.background);
  }
  Fill();
  SetCapture();
  return true;
}

void CListPanelList::Fill() {
  DeleteAllItems();
  const auto& entries = m_panel->Entries();
  for (size_t i = 0; i < entries.size(); ++i) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = static_cast<int>(i);
    item.pszText = const_cast<wchar_t*>(entries[i].text.c_str());
    item.lParam = static_cast<LPARAM>(i);
    SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  }
  if (m_panel->m_look.sorted)
    SendMessage(LVM_SORTITEMS, reinterpret_cast<WPARAM>(&entries), reinterpret_cast<LPARAM>(&CompareEntryTexts));
  SyncScrollBar();
}

int CListPanelList::EntryOfRow(int row) const {
  if (!m_hWnd || row < 0 || row >= GetItemCount()) return -1;
  const auto entry = static_cast<LPARAM>(GetItemData(row));
  if (entry < 0 || entry >= static_cast<LPARAM>(m_panel->Entries().size())) return -1;
  return static_cast<int>(entry);
}

bool CListPanelList::InScrollStrip(POINT pt) const {
  if (!m_scrollBar || !m_scrollBar->m_hWnd) return false;
  RECT client{};
  GetClientRect(&client);
  return pt.x >= client.right && pt.x < client.right + m_panel->m_look.scrollBarWidth && pt.y >= client.top &&
         pt.y < client.bottom;
}

void CListPanelList::PassToScrollBar(UINT msg, WPARAM wParam, POINT pt) {
  RECT client{};
  GetClientRect(&client);
  m_scrollBar->SendMessage(msg, wParam, MAKELPARAM(pt.x - client.right, pt.y));
}

int CListPanelList::RowAt(POINT pt) const {
  RECT client{};
  GetClientRect(&client);
  if (!::PtInRect(&client, pt)) return -1;
  const int count = GetItemCount();
  const int top = std::max(0, GetTopIndex());
  const int last = std::min(count, top + GetCountPerPage() + 2);
  for (int row = top; row < last; ++row) {
    RECT bounds{};
    if (GetItemRect(row, &bounds, LVIR_BOUNDS) && ::PtInRect(&bounds, pt)) return row;
  }
  return -1;
}

void CListPanelList::SetHot(int row) {
  if (row == m_hotRow) return;
  m_hotRow = row;
  Invalidate(FALSE);
}

void CListPanelList::StartChooseTimer() {
  m_clickPending = 1;
  SetTimer(kChooseTimer, kChooseDelayMs);
}

void CListPanelList::OnLButtonDown(WPARAM wParam, POINT pt) {
  if (InScrollStrip(pt)) {
    PassToScrollBar(WM_LBUTTONDOWN, wParam, pt);
    return;
  }
  // The list holds the capture, so every click of the screen comes here.
  POINT screen = pt;
  ClientToScreen(&screen);
  RECT panel{}, client{};
  m_panel->GetWindowRect(&panel);
  GetClientRect(&client);
  if (!::PtInRect(&panel, screen)) {
    m_hotRow = -1;
    m_chosenSub = -1;
    StartChooseTimer();
    return;
  }
  if (!::PtInRect(&client, pt)) {
    // The popup's own area around the list: the panel's rule.
    if (m_panel->m_look.scrollBarWidth == 0) m_panel->End(-1);
    return;
  }
  SetHot(RowAt(pt));
  const int entryIndex = EntryOfRow(m_hotRow);
  const ListPanelEntry* entry = entryIndex >= 0 ? &m_panel->Entries()[static_cast<size_t>(entryIndex)] : nullptr;
  if (HasSubEntries(entry)) {
    CListPanelItem* sub = entry->subList;
    RECT row{};
    GetItemRect(m_hotRow, &row, LVIR_BOUNDS);
    const int rows = std::min(static_cast<int>(sub->m_entries.size()), kMaxSubListRows);
    const HWND self = m_hWnd;
    const int chosen = sub->TrackPopup(this, m_rowHeight * rows, row.right, row.top);
    // The popup (and with it this list) may have gone while the sub-list ran.
    if (!::IsWindow(self) || m_hWnd != self) return;
    m_chosenSub = chosen;
    sub->SetCurSel(chosen);
    SetCapture();
  }
  StartChooseTimer();
}

LRESULT CListPanelList::OnCustomDraw(NMLVCUSTOMDRAW* draw) {
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT: {
      const ListPanelLook& look = m_panel->m_look;
      PaintBackgroundBesideBar(draw->nmcd.hdc, look.background, look.border, look.borderWidth);
      return CDRF_NOTIFYITEMDRAW;
    }
    case CDDS_ITEMPREPAINT:
      DrawRow(draw->nmcd.hdc, static_cast<int>(draw->nmcd.dwItemSpec));
      return CDRF_SKIPDEFAULT;
    default:
      return CDRF_DODEFAULT;
  }
}

void CListPanelList::DrawRow(HDC hdc, int row) {
  const int entryIndex = EntryOfRow(row);
  if (entryIndex < 0) return;
  const ListPanelEntry& entry = m_panel->Entries()[static_cast<size_t>(entryIndex)];
  const ListPanelLook& look = m_panel->m_look;
  COLORREF text = look.text, back = look.background;
  if (entry.disabled == 1) {
    text = look.disabledText;
    back = look.disabledBackground;
  } else if (row == m_hotRow || (GetItemState(row, LVIS_SELECTED) & LVIS_SELECTED)) {
    text = look.hotText;
    back = look.hotBackground;
  }
  RECT rect{};
  if (!GetItemRect(row, &rect, LVIR_BOUNDS)) return;
  rect.left += 2 * look.borderWidth;
  if (rect.right <= rect.left || rect.bottom <= rect.top) return;
  CDC target;
  target.Attach(hdc);
  {
    CMemDC dc(&target, &rect);
    dc.FillSolidRect(rect, back);
    platform::SelectGuard font(dc, gui::FontOrDefault(look.font));
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(text);
    RECT textRect = rect;
    dc.DrawText(look.titlePrefix + gui::TranslateText(entry.text), &textRect,
                DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
  }
  target.Detach();
}

bool CListPanelList::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  switch (msg) {
    case platform::Reflected(WM_NOTIFY): {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (header->code != NM_CUSTOMDRAW) return false;
      result = OnCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
      return true;
    }
    case WM_KEYDOWN:
    case WM_KEYUP:
      SyncScrollBar();
      if (wParam == VK_RIGHT) {
        result = 0;
        return true;
      }
      result = Default();
      SyncScrollBar();
      return true;
    case WM_MOUSEMOVE:
      if (m_clickPending) {
        result = 0;
        return true;
      }
      if (InScrollStrip(pt)) {
        PassToScrollBar(WM_MOUSEMOVE, wParam, pt);
      } else {
        SetHot(RowAt(pt));
      }
      result = 0;
      return true;
    case WM_LBUTTONDOWN:
      OnLButtonDown(wParam, pt);
      result = 0;
      return true;
    case WM_LBUTTONUP:
      if (InScrollStrip(pt)) {
        PassToScrollBar(WM_LBUTTONUP, wParam, pt);
        result = 0;
        return true;
      }
      result = Default();
      return true;
    case WM_RBUTTONDOWN:
      // Closes the popup without a choice (no list-view tracking loop).
      m_hotRow = -1;
      m_chosenSub = -1;
      StartChooseTimer();
      result = 0;
      return true;
    case WM_TIMER:
      if (wParam != kChooseTimer) return false;
      m_clickPending = 0;
      KillTimer(kChooseTimer);
      m_panel->PostMessage(ListPanelItemChosenMessage, static_cast<WPARAM>(m_chosenSub),
                           static_cast<LPARAM>(EntryOfRow(m_hotRow)));
      result = 0;
      return true;
    case WM_KILLFOCUS: {
      const int entryIndex = EntryOfRow(m_hotRow);
      const ListPanelEntry* entry = entryIndex >= 0 ? &m_panel->Entries()[static_cast<size_t>(entryIndex)] : nullptr;
      // With a sub-list open the focus went to it. Focus handed to no window or
      // to a disabled one (the popup's modal owner) is the window system's
      // doing, not the user's (Wine does it while the X server's focus settles
      // after a popup shows); the popup stays and the list gets the focus back
      // when the popup is active again. The focus going to another program
      // ends the popup through WM_ACTIVATEAPP instead.
      const HWND to = reinterpret_cast<HWND>(wParam);
      const bool userMove = to && ::IsWindowEnabled(::GetAncestor(to, GA_ROOT));
      if (!m_panel->m_ending && userMove && !(entry && entry->subList)) {
        m_hotRow = -1;
        m_chosenSub = -1;
        m_panel->PostMessage(ListPanelItemChosenMessage, 0, static_cast<LPARAM>(-1));
      }
      result = Default();
      return true;
    }
    default:
      return CSkinnedListView::OnMessage(msg, wParam, lParam, result);
  }
}

// ---- CListPanelItem ----

void CListPanelItem::SetEntries(const std::vector<ListPanelEntry>& entries) {
  m_entries.clear();
  for (const auto& e : entries) m_entries.push_back(ListPanelEntry{e.text, e.subList, 0});
}

const wchar_t* CListPanelItem::GetEntryText(int index) const {
  if (index < 0 || index >= static_cast<int>(m_entries.size())) return nullptr;
  return m_entries[static_cast<size_t>(index)].text.c_str();
}

std::wstring CListPanelItem::GetLBText(int index) const {
  const wchar_t* text = GetEntryText(index);
  return text ? std::wstring(text) : std::wstring();
}

int CListPanelItem::FindString(const LVFINDINFOW* info) const {
  if (!info || !(info->flags & LVFI_STRING) || !info->psz) return -1;
  for (size_t i = 0; i < m_entries.size(); ++i)
    if (m_entries[i].text == info->psz) return static_cast<int>(i);
  return -1;
}

int CListPanelItem::GetCurSel() const { return gui::FindEntryText(m_entries, m_currentText); }

bool CListPanelItem::SetCurSel(int index) {
  if (index < 0 || index >= static_cast<int>(m_entries.size())) return false;
  m_currentText = m_entries[static_cast<size_t>(index)].text;
  return true;
}

int CListPanelItem::TrackPopup(CWnd* window, int height, int x, int y) {
  if (!window || !window->m_hWnd) return -1;
  POINT corner{x, y};
  window->ClientToScreen(&corner);
  const int h = height != 0 ? height : m_height;
  const RECT rect{corner.x, corner.y, corner.x + m_width, corner.y + h};
  CListPanel panel(window, CListPanel::kTemplateId, m_look.sorted, m_entries, rect);
  panel.m_look = m_look;
  const INT_PTR chosen = panel.Run();
  // The owner may have changed the entries while the popup ran.
  if (chosen < 0 || chosen >= static_cast<INT_PTR>(m_entries.size())) return -1;
  return static_cast<int>(chosen);
}
