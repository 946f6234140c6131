#include "gui/controls/MacroDisplayItem.h"

#include <windowsx.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <iterator>

#include "gui/Messages.h"
#include "gui/controls/BitmapItem.h"
#include "gui/controls/ListDrawing.h"
#include "gui/skin/FontItem.h"
#include "gui/skin/SkinResourceCache.h"

const std::array<const wchar_t*, 27> MouseButtonNameTable = {
    L"<null>",          L"$LeftButton",      L"$RightButton",     L"$Wheel",           L"$RightSideButton1",
    L"$RightSideButton2", L"$LeftSideButton1", L"$LeftSideButton2", L"$CenterButton1",   L"$CenterButton2",
    L"$ScrollUp",       L"$ScrollDown",      L"$ThumbGrid1",      L"$ThumbGrid2",      L"$ThumbGrid3",
    L"$ThumbGrid4",     L"$ThumbGrid5",      L"$ThumbGrid6",      L"$ThumbGrid7",      L"$ThumbGrid8",
    L"$ThumbGrid9",     L"$ThumbGrid10",     L"$ThumbGrid11",     L"$ThumbGrid12",     L"$ThumbGrid12",
    L"$Button4",        L"$Button5"};

namespace {

bool SameText(const std::wstring& a, const wchar_t* b) { return ::_wcsicmp(a.c_str(), b) == 0; }

}  // namespace

CMacroDisplayItem::CMacroDisplayItem(int maximum, bool readOnly)
    : CSkinnedListView(Scrolling::kSkinned, 16),
      m_maximum(maximum),
      m_readOnly(readOnly ? 1 : 0),
      m_recorder(*this),
      m_player(*this, [this] { Notify(MacroPlaybackDoneMessage); }) {}

// The recorder, a member, stops a recording still running.
CMacroDisplayItem::~CMacroDisplayItem() = default;

std::wstring CMacroDisplayItem::DelayText(int milliseconds) {
  // From whole milliseconds: no float rounding in what the user reads back.
  wchar_t text[64];
  std::swprintf(text, 64, L"%d.%03d", milliseconds / 1000, milliseconds % 1000);
  return std::wstring(text) + L" " + gui::TranslateText(L"$secondsdelay");
}

std::wstring CMacroDisplayItem::MouseText(int button, int state) {
  const wchar_t* suffix = state == kMacroStateReleased ? L"Up" : L"Down";
  std::wstring key;
  if (button >= 0 && button < static_cast<int>(MouseButtonNameTable.size())) {
    key = std::wstring(MouseButtonNameTable[static_cast<size_t>(button)]) + suffix;
  } else {
    key = L"Button" + std::to_wstring(button) + suffix;
  }
  return gui::TranslateText(key);
}

bool CMacroDisplayItem::CreateList(CVScrollBar* scrollBar, int scrollBarWidth, const RECT& rect, HWND parent,
                                   UINT id) {
  m_scrollBar.reset(scrollBar);
  m_scrollBarWidth = scrollBar ? std::max(0, scrollBarWidth) : 0;
  RECT listRect = rect;
  listRect.right -= m_scrollBarWidth;
  // The rows are virtual (LVS_OWNERDATA): the list view keeps only their count and states and
  // asks for what it shows, so a macro of any length is shown at once.
  platform::EnsureCommonControls();
  const DWORD style =
      WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | LVS_EDITLABELS | LVS_NOCOLUMNHEADER | LVS_OWNERDATA;
  if (!CreateEx(0, WC_LISTVIEWW, L"", style, listRect, parent, id)) return false;
  // Only the row height comes from it; the list view destroys it with its
  // window (no LVS_SHAREIMAGELISTS), so it has that one owner.
  SetImageList(::ImageList_Create(28, 18, ILC_COLOR4, 10, 10), LVSIL_SMALL);
  SetTextColor(m_textColour);
  SetBkColor(m_backColour);
  if (m_font && !m_font->IsNull()) SetFont(static_cast<HFONT>(m_font->GetSafeHandle()), FALSE);
  const int height = gui::FontHeight(gui::FontOrDefault(m_font));
  m_rowHeight = height > 0 ? height + 1 : 16;
  // The bar is a sibling of the list; it needs a parent window of ours.
  CWnd* parentWnd = CWnd::FromHandlePermanent(parent);
  if (!parentWnd) m_scrollBar.reset();
  if (m_scrollBar)
    CreateScrollBar(RECT{listRect.right, rect.top, listRect.right + m_scrollBarWidth, rect.bottom}, parentWnd,
                    m_backColour);
  return true;
}

void CMacroDisplayItem::SetIcons(HBITMAP keyDown, HBITMAP keyUp, HBITMAP mouse, HBITMAP mouseSelected, HBITMAP delay,
                                 HBITMAP delaySelected) {
  const HBITMAP sources[kIconCount] = {keyDown, keyUp, delay, delaySelected, mouse, mouseSelected};
  CClientDC screen(nullptr);
  for (int i = 0; i < kIconCount; ++i) {
    if (!sources[i]) continue;
    BITMAP bm{};
    if (!::GetObjectW(sources[i], sizeof(bm), &bm)) continue;
    CropBitmap(m_icons[static_cast<size_t>(i)], screen, sources[i], 0, 0, bm.bmWidth, bm.bmHeight);
  }
}

bool CMacroDisplayItem::InsertColumn(int columnId, int alignment, int width) {
  if (columnId == -1 || m_columns.size() >= 2 || m_columns.count(columnId) || !m_hWnd) return false;
  const int index = static_cast<int>(m_columns.size());
  const int format = alignment == 2 ? LVCFMT_CENTER : alignment == 1 ? LVCFMT_RIGHT : LVCFMT_LEFT;
  if (CListCtrl::InsertColumn(index, L"", format, width) != index) return false;
  m_columns[columnId] = ColumnInfo{index, alignment};
  return true;
}

int CMacroDisplayItem::DescriptionColumn() const {
  auto it = m_columns.find(kColumnDescription);
  return it == m_columns.end() ? -1 : it->second.index;
}

int CMacroDisplayItem::IconOfRow(int row) const {
  if (row < 0 || row >= static_cast<int>(m_events.size())) return -1;
  const MacroEvent& event = m_events[static_cast<size_t>(row)];
  switch (event.type) {
    case MACROEVENT_KEY:
      return (event.b & 0xFF) == kMacroStateReleased ? kIconKeyUp : kIconKeyDown;
    case MACROEVENT_MOUSE:
      return kIconMouse;
    case MACROEVENT_DELAY:
      return kIconDelay;
    default:
      return -1;
  }
}

std::wstring CMacroDisplayItem::RowText(int row) const {
  if (row < 0 || row >= static_cast<int>(m_events.size())) return {};
  // The delay being edited shows only its editor.
  if (m_labelEdit && row == m_editRow) return {};
  const MacroEvent& event = m_events[static_cast<size_t>(row)];
  std::wstring text;
  switch (event.type) {
    case MACROEVENT_KEY: {
      const int scan = event.a & 0xFFFF, virtualKey = (event.a >> 16) & 0xFFFF;
      const int flags = (event.b >> 8) & 0xFF;
      GetKeyDisplayName(virtualKey, text, scan, (flags & kKeyFlagExtended) != 0);
      break;
    }
    case MACROEVENT_MOUSE:
      text = MouseText(event.a, event.b & 0xFF);
      break;
    case MACROEVENT_DELAY:
      text = DelayText(event.a);
      break;
    default:
      break;
  }
  return text;
}

void CMacroDisplayItem::OnGetDispInfo(NMLVDISPINFOW* info) {
  LVITEMW& item = info->item;
  if (item.mask & LVIF_PARAM) item.lParam = IconOfRow(item.iItem);
  if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
    const std::wstring text = item.iSubItem == DescriptionColumn() ? RowText(item.iItem) : std::wstring();
    const size_t n = std::min(text.size(), static_cast<size_t>(item.cchTextMax - 1));
    text.copy(item.pszText, n);
    item.pszText[n] = L'\0';
  }
}

void CMacroDisplayItem::SetRowCount(bool rowsMoved) {
  // Rows that moved need drawing again; rows only added at the end do not.
  ::SendMessageW(m_hWnd, LVM_SETITEMCOUNT, m_events.size(),
                 LVSICF_NOSCROLL | (rowsMoved ? 0 : LVSICF_NOINVALIDATEALL));
}

void CMacroDisplayItem::SelectRow(int row) {
  SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void CMacroDisplayItem::SyncScrollBar() {
  if (m_loading) return;  // the load brings the bar in step once, at its end
  CSkinnedListView::SyncScrollBar();
}

void CMacroDisplayItem::Notify(UINT msg) {
  ::SendMessageW(GetParentHwnd(), msg, 0, static_cast<LPARAM>(id));
}

void CMacroDisplayItem::ShowWithScrollBar(int show) {
  if (m_scrollBar && m_scrollBar->m_hWnd) m_scrollBar->ShowWindow(show);
  if (m_hWnd) ShowWindow(show);
}

void CMacroDisplayItem::ShowItemParts(int showCommand) {
  if (m_scrollBar && m_scrollBar->m_hWnd) m_scrollBar->ShowWindow(showCommand);
}

// ---- events and rows ----

namespace {
bool IsRowEvent(const MacroEvent& event) {
  return event.type == MACROEVENT_KEY || event.type == MACROEVENT_MOUSE || event.type == MACROEVENT_DELAY;
}
}  // namespace

bool CMacroDisplayItem::AddRow(const MacroEvent& event, bool repaint, int index) {
  if (!m_hWnd || !IsRowEvent(event)) return false;
  const int count = static_cast<int>(m_events.size());
  if (index == -1 || index > count || index < 0) index = count;
  m_events.insert(m_events.begin() + index, event);
  SetRowCount(index < count);
  EnsureVisible(index, FALSE);
  SyncScrollBar();
  SelectRow(index);
  if (repaint) Invalidate();
  return true;
}

void CMacroDisplayItem::ClearEvents() {
  m_events.clear();
  if (m_hWnd) DeleteAllItems();
  SyncScrollBar();
}

bool CMacroDisplayItem::LoadEvents(const MacroEventList* events) {
  if (m_recorder.IsRecording() || !events || !m_hWnd) return false;
  // One pass whatever the length: the rows are the events, shown as the list
  // view asks for them; the last row is selected and in view, and the bar is
  // brought in step once.
  m_loading = true;
  m_events.clear();
  DeleteAllItems();
  m_events.reserve(events->size());
  std::copy_if(events->begin(), events->end(), std::back_inserter(m_events), IsRowEvent);
  SetRowCount(true);
  if (!m_events.empty()) {
    const int last = static_cast<int>(m_events.size()) - 1;
    EnsureVisible(last, FALSE);
    SelectRow(last);
  }
  m_loading = false;
  SyncScrollBar();
  Invalidate();
  return !m_events.empty();
}

bool CMacroDisplayItem::ReplaceEvent(int index, const MacroEvent& event) {
  if (m_readOnly || !m_hWnd || index < 0 || index >= static_cast<int>(m_events.size())) return false;
  bool replaced = false;
  if (IsRowEvent(event)) {
    m_events[static_cast<size_t>(index)] = event;
    EnsureVisible(index, FALSE);
    SyncScrollBar();
    SelectRow(index);
    replaced = true;
  } else {
    // Nothing shows an event of no known type: its row goes.
    ClearSelection();
    m_events.erase(m_events.begin() + index);
    SetRowCount(true);
  }
  Notify(MacroEventsChangedMessage);
  if (m_hWnd) Invalidate();
  return replaced;
}

void CMacroDisplayItem::ClearSelection() {
  const int selected = GetNextItem(-1, LVNI_SELECTED);
  if (selected >= 0) SetItemState(selected, 0, LVIS_SELECTED | LVIS_FOCUSED);
}

bool CMacroDisplayItem::AddKeyEvent() {
  if (m_readOnly) return false;
  return m_recorder.AddKeyEvent();
}

bool CMacroDisplayItem::AddMouseEvent() {
  if (m_readOnly) return false;
  return m_recorder.AddMouseEvent();
}

bool CMacroDisplayItem::ToggleRecording() {
  if (m_readOnly || !m_hWnd) return false;
  if (m_recorder.IsRecording()) {
    m_recorder.Stop();
    return false;
  }
  return m_recorder.Start(m_hWnd);
}

// ---- playback ----

void CMacroDisplayItem::PlayEvents(const MacroEventList& events) {
  if (!m_readOnly || !m_hWnd) return;
  m_player.Play(events);
}

void CMacroDisplayItem::StopPlayback() { m_player.Stop(); }

// ---- menu and label edit ----

void CMacroDisplayItem::OnRButtonDown(POINT pt) {
  if (m_readOnly || !m_keyMenu || m_recorder.IsRecording() || m_labelEdit) return;
  LVHITTESTINFO hit{};
  hit.pt = pt;
  SubItemHitTest(&hit);
  if (hit.iItem < 0 || hit.iItem >= GetItemCount()) return;
  RECT cell{};
  if (!GetSubItemRect(hit.iItem, std::max(hit.iSubItem, 0), LVIR_BOUNDS, &cell)) return;
  SetItemState(hit.iItem, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  SetFocus();
  const bool mouseRow = IconOfRow(hit.iItem) == kIconMouse;
  gui::IContextMenu* menu = mouseRow ? m_mouseMenu : m_keyMenu;
  if (!menu) return;
  const HWND self = m_hWnd;
  const int chosen = menu->TrackPopup(this, 0, pt.x, cell.top);
  // Only a window that survived the menu acts, on its selection as it is now.
  if (!::IsWindow(self) || m_hWnd != self) return;
  OnCommand(chosen >= 0 ? menu->GetLBText(chosen) : std::wstring());
}

void CMacroDisplayItem::OnCommand(const std::wstring& command) {
  const int selected = GetNextItem(-1, LVNI_SELECTED);
  const bool known = selected >= 0 && selected < static_cast<int>(m_events.size());
  if (SameText(command, L"$InsertDelay")) {
    if (m_readOnly) return;
    const int at = selected >= 0 ? selected + 1 : 0;
    if (selected >= 0) SetItemState(selected, 0, LVIS_SELECTED | LVIS_FOCUSED);
    AddRow(MacroEvent{MACROEVENT_DELAY, m_defaultDelay, m_defaultDelay}, true, at);
    Notify(MacroEventsChangedMessage);
  } else if (SameText(command, L"$Delete")) {
    if (m_readOnly || !known) return;
    // The row after takes the selection (now at the deleted row's place); none
    // after the last.
    ClearSelection();
    m_events.erase(m_events.begin() + selected);
    SetRowCount(true);
    if (selected < static_cast<int>(m_events.size())) SelectRow(selected);
    Invalidate();
    SyncScrollBar();
    Notify(MacroEventsChangedMessage);
  } else if (SameText(command, L"$Edit")) {
    if (!known) return;
    switch (m_events[static_cast<size_t>(selected)].type) {
      case MACROEVENT_KEY:
        Notify(MacroEditKeyMessage);
        break;
      case MACROEVENT_DELAY:
        SetFocus();
        SendMessage(LVM_EDITLABELW, static_cast<WPARAM>(selected));
        break;
      default:
        break;
    }
  }
}

bool CMacroDisplayItem::OnBeginLabelEdit(NMLVDISPINFOW* info) {
  const int row = info->item.iItem;
  // Only a delay row of an editable list: the end writes a delay into the event.
  if (m_readOnly || row < 0 || row >= static_cast<int>(m_events.size()) ||
      m_events[static_cast<size_t>(row)].type != MACROEVENT_DELAY)
    return true;
  HWND editor = reinterpret_cast<HWND>(SendMessage(LVM_GETEDITCONTROL));
  m_labelEdit = 1;
  m_editRow = row;
  RedrawItems(row, row);  // the cell shows no text while the editor is open
  if (editor) {
    ::SetFocus(editor);
    ::SetWindowLongPtrW(editor, GWL_STYLE, ::GetWindowLongPtrW(editor, GWL_STYLE) | ES_NUMBER);
    ::SetWindowTextW(editor, std::to_wstring(m_events[static_cast<size_t>(row)].a).c_str());
    ::SendMessageW(editor, EM_SETLIMITTEXT, 7, 0);
  }
  return false;
}

void CMacroDisplayItem::OnEndLabelEdit(NMLVDISPINFOW* info) {
  m_labelEdit = 0;
  const int row = m_editRow;
  m_editRow = -1;
  if (row < 0 || row >= static_cast<int>(m_events.size())) return;
  MacroEvent& event = m_events[static_cast<size_t>(row)];
  if (!info->item.pszText) {
    // Esc: the old value's text back, nothing reported.
    RedrawItems(row, row);
    return;
  }
  // Digits only, 1 to the recording cap; anything else keeps the old delay.
  const std::wstring text = info->item.pszText;
  int value = event.a;
  if (!text.empty() && text.size() <= 8 &&
      std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; })) {
    const long parsed = std::wcstol(text.c_str(), nullptr, 10);
    if (parsed >= 1 && parsed <= kMaxDelayMs) value = static_cast<int>(parsed);
  }
  event.a = event.b = value;
  Invalidate();
  Notify(MacroEventsChangedMessage);
}

BOOL CMacroDisplayItem::PreTranslateMessage(MSG* msg) {
  if (m_labelEdit || m_readOnly || msg->hwnd != m_hWnd) return FALSE;
  if (msg->message != WM_KEYDOWN && msg->message != WM_KEYUP) return FALSE;
  // The keys the key event takes for itself (repeats, arrows, Home, Space, Tab
  // ...) never move the list; every other key reaches it and the window.
  return m_recorder.TakeKeyMessage(msg) ? TRUE : FALSE;
}

// ---- drawing ----

LRESULT CMacroDisplayItem::OnCustomDraw(NMLVCUSTOMDRAW* draw) {
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      PaintBackgroundBesideBar(draw->nmcd.hdc, m_backColour, m_borderColour, m_borderWidth);
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
      return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
      DrawCell(draw->nmcd.hdc, static_cast<int>(draw->nmcd.dwItemSpec), draw->iSubItem);
      return CDRF_SKIPDEFAULT;
    default:
      return CDRF_DODEFAULT;
  }
}

void CMacroDisplayItem::DrawCell(HDC hdc, int row, int column) {
  const int icon = IconOfRow(row);
  if (icon < 0) return;
  RECT cell{};
  if (!GetSubItemRect(row, column, LVIR_BOUNDS, &cell)) return;
  if (column == 0 && m_columns.size() >= 2) {
    RECT next{};
    if (GetSubItemRect(row, 1, LVIR_BOUNDS, &next)) cell.right = next.left;
  }
  const bool selected = (GetItemState(row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
  CDC dc;
  dc.Attach(hdc);
  dc.FillSolidRect(cell, m_backColour);
  int columnId = -1, alignment = 0;
  for (const auto& [cid, info] : m_columns)
    if (info.index == column) {
      columnId = cid;
      alignment = info.alignment;
    }
  if (columnId == kColumnIcon) {
    int shown = icon;
    if (selected && shown == kIconDelay) shown = kIconDelaySelected;
    if (selected && shown == kIconMouse) shown = kIconMouseSelected;
    const CBitmap& bitmap = m_icons[static_cast<size_t>(shown)];
    if (!bitmap.IsNull()) {
      const SIZE size = bitmap.GetSize();
      CDC source;
      source.CreateCompatibleDC(hdc);
      platform::SelectGuard select(source, bitmap.GetSafeHandle());
      dc.BitBlt(cell.left, cell.top, std::min<int>(size.cx, cell.right - cell.left),
                std::min<int>(size.cy, cell.bottom - cell.top), source, 0, 0, SRCCOPY);
    }
  } else if (columnId == kColumnDescription) {
    if (selected) dc.FillSolidRect(cell, m_selectedBackColour);
    const std::wstring text = RowText(row);
    if (!text.empty()) {
      CFont bold;
      if (m_font && !m_font->IsNull()) bold.Attach(gui::MakeBoldCopy(static_cast<HFONT>(m_font->GetSafeHandle())));
      platform::SelectGuard font(hdc, bold.IsNull() ? static_cast<HGDIOBJ>(GetFont()) : bold.GetSafeHandle());
      dc.SetTextColor(selected ? m_selectedTextColour : m_textColour);
      dc.SetBkMode(TRANSPARENT);
      const UINT align = alignment == 2 ? DT_CENTER : alignment == 1 ? DT_RIGHT : DT_LEFT;
      RECT r = cell;
      dc.DrawText(text, &r, align | DT_SINGLELINE | DT_VCENTER | DT_NOCLIP | DT_END_ELLIPSIS | DT_NOPREFIX);
    }
  }
  dc.Detach();
}

// ---- messages ----

void CMacroDisplayItem::OnMouseMove() {
  if (m_readOnly) return;
  const bool leftDown = (::GetKeyState(VK_LBUTTON) & 0x8000) != 0;
  if (leftDown && !m_captured) return;
  if (::GetCapture() != m_hWnd && ::GetActiveWindow() && GetOwnerHwnd()) {
    SetCapture();
    m_captured = 1;
    return;
  }
  POINT cursor{};
  ::GetCursorPos(&cursor);
  if (::WindowFromPoint(cursor) != m_hWnd) {
    m_captured = 0;
    if (!leftDown && ::GetCapture() == m_hWnd) ::ReleaseCapture();
  }
}

bool CMacroDisplayItem::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  switch (msg) {
    case platform::Reflected(WM_NOTIFY): {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      switch (header->code) {
        case NM_CUSTOMDRAW:
          result = OnCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
          return true;
        case LVN_GETDISPINFOW:
          OnGetDispInfo(reinterpret_cast<NMLVDISPINFOW*>(lParam));
          result = 0;
          return true;
        case LVN_ODFINDITEMW:
          // No search by typed letters: a key's name is on many rows.
          result = -1;
          return true;
        case LVN_BEGINLABELEDITW:
          result = OnBeginLabelEdit(reinterpret_cast<NMLVDISPINFOW*>(lParam)) ? TRUE : FALSE;
          return true;
        case LVN_ENDLABELEDITW:
          OnEndLabelEdit(reinterpret_cast<NMLVDISPINFOW*>(lParam));
          result = FALSE;  // the text was set above
          return true;
        default:
          return false;
      }
    }
    case WM_INPUT:
      if (!m_readOnly && m_recorder.OnInput(lParam)) SyncScrollBar();
      result = Default();
      return true;
    case WM_LBUTTONDOWN: {
      if (m_readOnly || m_recorder.IsRecording()) {
        result = 0;
        return true;
      }
      LVHITTESTINFO hit{};
      hit.pt = pt;
      HitTest(&hit);
      // A second click on a focused row edits only a delay.
      if (hit.iItem >= 0 && IconOfRow(hit.iItem) != kIconDelay &&
          (GetItemState(hit.iItem, LVIS_FOCUSED) & LVIS_FOCUSED)) {
        result = 0;
        return true;
      }
      result = Default();
      return true;
    }
    case WM_RBUTTONDOWN:
      OnRButtonDown(pt);
      result = 0;
      return true;
    case WM_MOUSEMOVE:
      result = Default();
      OnMouseMove();
      return true;
    case WM_TIMER:
      if (wParam != kPlaybackTimer) return false;
      m_player.OnTimer();
      result = 0;
      return true;
    case WM_DESTROY:
      // Nothing of a recording or a preview outlives the window.
      m_recorder.Stop();
      if (::GetCapture() == m_hWnd) ::ReleaseCapture();
      m_player.Stop();
      if (m_scrollBar && m_scrollBar->m_hWnd) m_scrollBar->DestroyWindow();
      result = Default();
      return true;
    default:
      return CSkinnedListView::OnMessage(msg, wParam, lParam, result);
  }
}
