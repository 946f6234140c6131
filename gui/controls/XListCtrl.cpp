#include "gui/controls/XListCtrl.h"

#include <windowsx.h>

#include <algorithm>
#include <cwchar>

#include "gui/Messages.h"
#include "gui/controls/BitmapItem.h"
#include "gui/controls/ListDrawing.h"
#include "gui/skin/FontItem.h"
#include "platform/FileDialog.h"

namespace {

// Keeps releasing a pressed choice button from running inside itself; shared
// by every list of the process.
bool g_releasingPress = false;

constexpr int kToolColumnBits = 10;

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP bm{};
  if (!bitmap || !::GetObjectW(bitmap, sizeof(bm), &bm)) return SIZE{0, 0};
  return SIZE{bm.bmWidth, bm.bmHeight};
}

bool SameText(const std::wstring& a, const wchar_t* b) { return ::_wcsicmp(a.c_str(), b) == 0; }

}  // namespace

// ---- CXListEdit ----

bool CXListEdit::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_CREATE:
      result = Default();
      m_brush.CreateSolidBrush(m_backColour);
      if (m_fontItem && !m_fontItem->IsNull()) SetFont(static_cast<HFONT>(m_fontItem->GetSafeHandle()), FALSE);
      return true;
    case platform::Reflected(WM_CTLCOLOREDIT):
    case platform::Reflected(WM_CTLCOLORSTATIC): {
      HDC dc = reinterpret_cast<HDC>(wParam);
      ::SetTextColor(dc, m_textColour);
      ::SetBkColor(dc, m_backColour);
      ::SetDCPenColor(dc, m_penColour);
      ::SetDCBrushColor(dc, m_penColour);
      result = reinterpret_cast<LRESULT>(m_brush.GetSafeHandle());
      return true;
    }
    default:
      return CEdit::OnMessage(msg, wParam, lParam, result);
  }
}

// ---- CXListCtrl: operations ----

// The list view's own scroll bars and wheel scroll it; only the background is the skin's.
CXListCtrl::CXListCtrl() : CSkinnedListView(Scrolling::kSystem, 0), m_editor(std::make_unique<CXListEdit>()) {}

CXListCtrl::~CXListCtrl() {
  // The window goes with CWnd's destructor; the records go first.
  if (m_hWnd) FreeAllRecords();
  DestroyDropList();
}

int CXListCtrl::InsertColumn(const std::wstring& heading, int columnId, int type, int width, int exclusive,
                             HBITMAP unchecked, HBITMAP checked, HBITMAP mask) {
  if (columnId == -1 || type == -1 || m_columns.count(columnId) || m_columns.size() >= kMaxColumns) return -1;
  // Rows hold one record per column present when they were inserted: a column
  // added later would have no record in them.
  if (m_hWnd && GetItemCount() > 0) return -1;
  const int index = static_cast<int>(m_columns.size());
  if (m_hWnd && CListCtrl::InsertColumn(index, heading, LVCFMT_LEFT, width) != index) return -1;
  ListColumnInfo info;
  info.type = type;
  if (type == LISTCOL_CHECKBOX) {
    info.uncheckedImage = unchecked;
    info.checkedImage = checked;
    info.maskImage = mask;
  }
  info.exclusive = exclusive != 0;
  info.columnIndex = index;
  m_columns[columnId] = info;
  return index;
}

int CXListCtrl::InsertRow(int row, COLORREF text, COLORREF background, COLORREF selectedText,
                          COLORREF selectedBackground) {
  if (row < 0 || !m_hWnd || m_columns.empty()) return -1;
  const int index = InsertItem(row, L"");
  if (index < 0) return -1;
  auto* records = new Records(m_columns.size());
  ListCellRecord& first = records->front();
  first.textColour = text;
  first.background = background;
  first.selectedTextColour = selectedText;
  first.selectedBackground = selectedBackground;
  m_live.insert(records);
  SetItemData(index, reinterpret_cast<DWORD_PTR>(records));
  return index;
}

std::vector<ListCellRecord>* CXListCtrl::RowRecords(int row) const {
  if (!m_hWnd || row < 0 || row >= GetItemCount()) return nullptr;
  auto* records = reinterpret_cast<Records*>(GetItemData(row));
  // Item data that is not one of our live records is never read.
  if (!records || !m_live.count(records) || records->empty()) return nullptr;
  return records;
}

bool CXListCtrl::SetRowId(int row, int rowId) {
  Records* records = RowRecords(row);
  if (!records) return false;
  records->front().rowId = rowId;
  return true;
}

ListCellRecord* CXListCtrl::CellRecord(int row, int columnIndex) const {
  Records* records = RowRecords(row);
  if (!records || columnIndex < 0 || columnIndex >= static_cast<int>(records->size())) return nullptr;
  return &(*records)[static_cast<size_t>(columnIndex)];
}

const ListColumnInfo* CXListCtrl::ColumnInfo(int columnId) const {
  auto it = m_columns.find(columnId);
  return it == m_columns.end() ? nullptr : &it->second;
}

int CXListCtrl::ColumnIndexOf(int columnId) const {
  const ListColumnInfo* info = ColumnInfo(columnId);
  return info && info->type != -1 ? info->columnIndex : -1;
}

const ListColumnInfo* CXListCtrl::ColumnAtIndex(int columnIndex) const {
  for (const auto& [id, info] : m_columns)
    if (info.columnIndex == columnIndex) return &info;
  return nullptr;
}

int CXListCtrl::GetColumnId(int columnIndex) const {
  for (const auto& [id, info] : m_columns)
    if (info.columnIndex == columnIndex) return id;
  return -1;
}

bool CXListCtrl::SetCellText(int columnId, const std::wstring& text, int rowId) {
  const int row = FindRowById(rowId);
  const int column = ColumnIndexOf(columnId);
  if (row < 0 || column < 0) return false;
  SetItemText(row, column, text);
  RedrawCell(columnId, row);
  return true;
}

bool CXListCtrl::SetCellCheck(int columnId, int state, int rowId) {
  const int row = FindRowById(rowId);
  const int column = ColumnIndexOf(columnId);
  if (row < 0 || column < 0) return false;
  ListCellRecord* cell = CellRecord(row, column);
  if (!cell) return false;
  cell->check = state;
  RedrawCell(columnId, row);
  RefreshHeaderCheck(column);
  return true;
}

void CXListCtrl::FreeRecords(int row) {
  auto* records = reinterpret_cast<Records*>(GetItemData(row));
  if (records && m_live.erase(records)) delete records;
  SetItemData(row, 0);
}

void CXListCtrl::FreeAllRecords() {
  const int count = GetItemCount();
  for (int row = 0; row < count; ++row) FreeRecords(row);
}

void CXListCtrl::DeleteAllRows() {
  if (!m_hWnd) return;
  FreeAllRecords();
  DeleteAllItems();
}

int CXListCtrl::GetSelectedRow() const { return m_hWnd ? GetNextItem(-1, LVNI_SELECTED) : -1; }

int CXListCtrl::GetSelectedRowId() const {
  const Records* records = RowRecords(GetSelectedRow());
  return records ? records->front().rowId : -1;
}

int CXListCtrl::FindRowById(int rowId) const {
  if (rowId == -1 || !m_hWnd) return -1;
  const int count = GetItemCount();
  for (int row = 0; row < count; ++row) {
    const Records* records = RowRecords(row);
    if (records && records->front().rowId == rowId) return row;
  }
  return -1;
}

void CXListCtrl::SetRowColours(int row, COLORREF background, COLORREF selectedBackground) {
  Records* records = RowRecords(row);
  if (!records) return;
  ListCellRecord& first = records->front();
  first.textColour = 0x00FF00;
  first.selectedTextColour = 0x00FF00;
  first.background = background;
  first.selectedBackground = selectedBackground;
  RedrawItems(row, row);
  UpdateWindow();
}

void CXListCtrl::RedrawCell(int columnId, int row) {
  const int column = ColumnIndexOf(columnId);
  RECT rect{};
  if (column < 0 || !GetCellRect(row, column, &rect)) return;
  InvalidateRect(&rect, FALSE);
  UpdateWindow();
}

bool CXListCtrl::GetCellRect(int row, int columnIndex, RECT* rect) const {
  if (!m_hWnd || !rect || row < 0 || row >= GetItemCount() || GetColumnId(columnIndex) == -1) return false;
  if (!GetSubItemRect(row, columnIndex, LVIR_BOUNDS, rect)) return false;
  if (columnIndex == 0 && m_columns.size() >= 2) {
    RECT next{};
    if (GetSubItemRect(row, 1, LVIR_BOUNDS, &next)) rect->right = next.left;
  }
  return true;
}

void CXListCtrl::SetBackgroundColour(COLORREF colour) {
  m_backColour = colour;
  if (m_hWnd) SetBkColor(colour);
}

void CXListCtrl::RefreshHeaderCheck(int columnIndex) {
  if (!m_header.m_hWnd || columnIndex < 0) return;
  HDITEMW item{};
  item.mask = HDI_IMAGE | HDI_FORMAT;
  if (!m_header.GetItem(columnIndex, &item) || !(item.fmt & HDF_IMAGE)) return;
  const int count = GetItemCount();
  int checked = 0;
  for (int row = 0; row < count; ++row)
    if (const ListCellRecord* cell = CellRecord(row, columnIndex); cell && cell->check == 1) ++checked;
  item.mask = HDI_IMAGE;
  item.iImage = checked == count ? 1 : 0;
  m_header.SetItem(columnIndex, &item);
}

LRESULT CXListCtrl::SendRecord(UINT msg, int rowId, int column, const void* data) {
  ListMessageRecord record{rowId, column, data};
  return ::SendMessageW(GetParentHwnd(), msg, reinterpret_cast<WPARAM>(m_hWnd), reinterpret_cast<LPARAM>(&record));
}

// ---- drawing ----

LRESULT CXListCtrl::OnCustomDraw(NMLVCUSTOMDRAW* draw) {
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
      return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
      const int row = static_cast<int>(draw->nmcd.dwItemSpec);
      const int column = draw->iSubItem;
      // Rows and columns named by the notification are checked before use.
      if (row < 0 || row >= GetItemCount() || GetColumnId(column) == -1) return CDRF_SKIPDEFAULT;
      const Records* records = RowRecords(row);
      draw->clrText = records ? records->front().textColour : m_textColour;
      draw->clrTextBk = records ? records->front().background : m_backColour;
      RECT cell{};
      if (!GetCellRect(row, column, &cell)) return CDRF_SKIPDEFAULT;
      HDC dc = draw->nmcd.hdc;
      CDC target;
      target.Attach(dc);
      target.FillSolidRect(cell, m_backColour);
      target.Detach();
      const bool selected = row == GetSelectedRow();
      const ListCellRecord* record = CellRecord(row, column);
      if (record && record->combo) {
        if (selected) DrawComboCell(dc, row, column, cell);
        else DrawTextCell(dc, row, column, cell, false);
      } else if (record && record->check != -1) {
        DrawCheckCell(dc, row, column, cell, selected);
      } else {
        DrawTextCell(dc, row, column, cell, selected);
      }
      return CDRF_SKIPDEFAULT;
    }
    default:
      return CDRF_DODEFAULT;
  }
}

void CXListCtrl::DrawTextCell(HDC dc, int row, int column, const RECT& rect, bool selected) {
  const Records* records = RowRecords(row);
  COLORREF text = m_textColour, back = m_backColour;
  if (records) {
    const ListCellRecord& first = records->front();
    text = selected ? first.selectedTextColour : first.textColour;
    back = selected ? first.selectedBackground : first.background;
  }
  CDC target;
  target.Attach(dc);
  target.FillSolidRect(rect, back);
  const std::wstring value = GetItemText(row, column);
  if (!value.empty()) {
    UINT align = DT_LEFT;
    if (m_header.m_hWnd) {
      HDITEMW item{};
      item.mask = HDI_FORMAT;
      if (m_header.GetItem(column, &item)) {
        if (item.fmt & HDF_CENTER) align = DT_CENTER;
        else if (item.fmt & HDF_RIGHT) align = DT_RIGHT;
      }
    }
    const ListCellRecord* cell = CellRecord(row, column);
    CFont bold;
    if (cell && cell->bold) bold.Attach(gui::MakeBoldCopy(GetFont()));
    platform::SelectGuard font(dc, bold.IsNull() ? static_cast<HGDIOBJ>(GetFont()) : bold.GetSafeHandle());
    ::SetTextColor(dc, text);
    ::SetBkMode(dc, TRANSPARENT);
    RECT r = rect;
    r.left += 8;
    target.DrawText(value, &r, align | DT_SINGLELINE | DT_VCENTER | DT_NOCLIP | DT_END_ELLIPSIS | DT_NOPREFIX);
  }
  target.Detach();
}

void CXListCtrl::DrawCheckCell(HDC dc, int row, int column, const RECT& rect, bool selected) {
  const ListColumnInfo* info = ColumnAtIndex(column);
  const ListCellRecord* cell = CellRecord(row, column);
  const COLORREF back = selected ? m_selectedBackColour : m_backColour;
  CDC target;
  target.Attach(dc);
  target.FillSolidRect(rect, back);
  HBITMAP image = info && cell ? (cell->check == 1 ? info->checkedImage : info->uncheckedImage) : nullptr;
  const SIZE size = BitmapSize(image);
  if (image && size.cx > 0 && size.cy > 0) {
    const int x = rect.left + (rect.right - rect.left - size.cx) / 2;
    const int y = rect.top + (rect.bottom - rect.top - size.cy) / 2;
    CDC source;
    source.CreateCompatibleDC(dc);
    platform::SelectGuard selectImage(source, image);
    if (info->maskImage) {
      // Off-screen: background, image XOR, mask AND, image XOR: white mask
      // pixels show the background, black ones the image.
      CDC work;
      work.CreateCompatibleDC(dc);
      CBitmap surface;
      surface.CreateCompatibleBitmap(dc, size.cx, size.cy);
      platform::SelectGuard selectSurface(work, surface.GetSafeHandle());
      work.FillSolidRect(RECT{0, 0, size.cx, size.cy}, back);
      work.BitBlt(0, 0, size.cx, size.cy, source, 0, 0, SRCINVERT);
      {
        CDC maskDc;
        maskDc.CreateCompatibleDC(dc);
        platform::SelectGuard selectMask(maskDc, info->maskImage);
        work.BitBlt(0, 0, size.cx, size.cy, maskDc, 0, 0, SRCAND);
      }
      work.BitBlt(0, 0, size.cx, size.cy, source, 0, 0, SRCINVERT);
      target.BitBlt(x, y, size.cx, size.cy, work, 0, 0, SRCCOPY);
    } else {
      target.BitBlt(x, y, size.cx, size.cy, source, 0, 0, SRCCOPY);
    }
  }
  target.Detach();
}

void CXListCtrl::DrawComboCell(HDC dc, int row, int column, const RECT& cellRect) {
  ListCellRecord* cell = CellRecord(row, column);
  if (!cell) return;
  RECT r{cellRect.left + 1, cellRect.top, cellRect.right - 2, cellRect.bottom + 1};
  CDC target;
  target.Attach(dc);
  target.FillSolidRect(RECT{r.left, r.bottom - 2, r.right, r.bottom - 1}, m_textColour);
  target.FillSolidRect(RECT{r.left, r.top, r.right, r.top + 1}, m_textColour);
  target.FillSolidRect(RECT{r.left, r.top, r.left + 1, r.bottom - 2}, m_textColour);
  target.FillSolidRect(RECT{r.right - 1, r.top, r.right, r.bottom - 1}, m_textColour);
  target.FillSolidRect(RECT{r.left + 2, r.top + 2, r.right - 2, r.bottom - 2}, m_backColour);
  const int height = r.bottom - r.top;
  RECT button{r.right - height + 1 + 2, r.top + 2, r.right - 2, r.bottom - 2};

  std::wstring text = GetItemText(row, column);
  if (text.empty() && cell->defaultChoice >= 0 && cell->defaultChoice < static_cast<int>(cell->choices.size())) {
    text = cell->choices[static_cast<size_t>(cell->defaultChoice)];
    const int rowId = RowRecords(row)->front().rowId;
    SetCellText(GetColumnId(column), text, rowId);
  }
  if (!text.empty()) {
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, m_textColour);
    RECT textRect{r.left + 2, r.top, button.left - 1, r.bottom};
    target.DrawText(text, &textRect, DT_SINGLELINE | DT_VCENTER | DT_WORDBREAK | DT_NOPREFIX);
  }
  if (!cell->comboOpen) {
    RECT edge = button;
    ::DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT);
    RECT inner{button.left + 2, button.top + 2, button.right - 2, button.bottom - 2};
    target.FillSolidRect(inner, m_backColour);
    gui::DrawDownArrow(dc, inner.left + 1, inner.top + 2, 5, m_textColour);
  } else {
    m_openButton = button;
    CBrush frame;
    frame.CreateSolidBrush(m_backColour);
    ::FrameRect(dc, &button, frame);
    RECT inner{button.left + 1, button.top + 1, button.right - 1, button.bottom - 1};
    target.FillSolidRect(inner, m_backColour);
    gui::DrawDownArrow(dc, inner.left + 3, inner.top + 4, 5, m_textColour);
    if (!m_dropList) OpenDropList(row, column, cellRect, dc);
  }
  target.Detach();
}

void CXListCtrl::OpenDropList(int row, int column, const RECT& cell, HDC dc) {
  ListCellRecord* record = CellRecord(row, column);
  if (!record) return;
  const int cellHeight = cell.bottom - cell.top;
  RECT screen{cell.left, cell.top + cellHeight - 1, cell.right - 1,
              cell.top + cellHeight - 1 + (cellHeight - 2) * std::max(record->dropdownRows, 1)};
  ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&screen), 2);
  m_dropList = std::make_unique<CXComboList>(this);
  if (!m_dropList->CreateEx(0, CWnd::DefaultClassName(), L"", WS_POPUP | WS_VISIBLE | WS_BORDER | WS_VSCROLL, screen,
                            m_hWnd, 0)) {
    m_dropList.reset();
    return;
  }
  m_openingText.clear();
  if (!m_dropFontMade) {
    LOGFONTW lf{};
    if (HGDIOBJ current = ::GetCurrentObject(dc, OBJ_FONT); current && ::GetObjectW(current, sizeof(lf), &lf))
      m_dropFont.CreateFontIndirect(lf);
    m_dropFontMade = 1;
  }
  CListBox& list = m_dropList->ListBox();
  if (!m_dropFont.IsNull()) list.SetFont(m_dropFont, FALSE);
  for (const auto& choice : record->choices)
    if (!choice.empty()) list.AddString(choice);
  const std::wstring text = GetItemText(row, column);
  int select = 0;
  if (!text.empty()) {
    const int exact = static_cast<int>(list.SendMessage(LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                        reinterpret_cast<LPARAM>(text.c_str())));
    select = exact == LB_ERR ? 0 : exact;
  } else if (list.GetCount() > 0) {
    SetCellText(GetColumnId(column), list.GetText(0), RowRecords(row)->front().rowId);
  }
  list.SetCurSel(select);
  m_openingText = list.GetText(select);
  m_dropList->PlaceAndShow();
}

// ---- mouse ----

void CXListCtrl::OnLButtonDown(POINT pt) {
  const HWND self = m_hWnd;
  EndEdit(true);
  LVHITTESTINFO hit{};
  hit.pt = pt;
  SubItemHitTest(&hit);
  const int row = hit.iItem;
  int rowId = -1;
  if (row < 0 || row >= GetItemCount()) {
    KillTimer(kComboTimer);
  } else {
    const Records* records = RowRecords(row);
    if (!records || records->front().enabled == 0) return;
    rowId = records->front().rowId;
    const int columns = static_cast<int>(m_columns.size());
    for (int column = 0; column < columns; ++column) {
      RECT zone{};
      if (!GetCellRect(row, column, &zone)) continue;
      ListCellRecord* cell = CellRecord(row, column);
      if (cell && cell->check >= 0) {
        const int centre = static_cast<int>((zone.left + zone.right) * 0.5);
        zone.left = centre - kCheckHitHalfWidth;
        zone.right = centre + kCheckHitHalfWidth + 1;
      }
      if (!::PtInRect(&zone, pt)) continue;
      const ListColumnInfo* info = ColumnAtIndex(column);
      const int columnId = GetColumnId(column);
      if (cell && cell->check >= 0 && info) {
        bool state = true;
        if (info->exclusive) {
          if (cell->check == 1) break;
          const int count = GetItemCount();
          for (int other = 0; other < count; ++other)
            if (ListCellRecord* c = CellRecord(other, column); c && c->check != -1 && other != row) {
              c->check = 0;
              RedrawCell(columnId, other);
            }
          cell->check = 1;
        } else {
          cell->check = cell->check == 1 ? 0 : 1;
          state = cell->check == 1;
        }
        RedrawCell(columnId, row);
        SendRecord(ListCheckToggledMessage, rowId, column, &state);
        // The owner may have refilled or deleted the rows, or the window.
        if (!Alive(self)) return;
        RefreshHeaderCheck(column);
      } else if (cell && cell->combo) {
        DestroyDropList();
        if (pt.x >= zone.right - (zone.bottom - zone.top) && pt.x <= zone.right) {
          cell->comboOpen = 1;
          m_pressed = 1;
          m_pressRow = row;
          m_pressColumn = column;
          RedrawCell(columnId, row);
          SetTimer(kComboTimer, kComboTimerMs);
        }
      } else if (m_dropList) {
        KillTimer(kComboTimer);
      }
      break;
    }
    if (FindRowById(rowId) < 0 && rowId != -1) return;  // the row went: nothing more for it
  }
  ::SendMessageW(GetParentHwnd(), ListClickDoneMessage, static_cast<WPARAM>(rowId), reinterpret_cast<LPARAM>(self));
  if (!Alive(self)) return;
  Default();
}

void CXListCtrl::OnRButtonDown(POINT pt) {
  const HWND self = m_hWnd;
  EndEdit(true);
  Default();
  if (!Alive(self) || !m_contextMenu) return;
  LVHITTESTINFO hit{};
  hit.pt = pt;
  SubItemHitTest(&hit);
  RECT cell{};
  if (hit.iItem < 0 || !GetCellRect(hit.iItem, hit.iSubItem, &cell)) return;
  const Records* records = RowRecords(hit.iItem);
  const int rowId = records ? records->front().rowId : -1;
  ListMessageRecord opening{rowId, 0, nullptr};
  ::SendMessageW(GetOwnerHwnd(), ListMenuOpeningMessage, reinterpret_cast<WPARAM>(m_hWnd),
                 reinterpret_cast<LPARAM>(&opening));
  // The owner may have refilled or emptied the list: no menu for a row that went.
  if (!Alive(self) || !m_contextMenu || (rowId != -1 && FindRowById(rowId) < 0)) return;
  gui::IContextMenu* menu = m_contextMenu;
  const int chosen = menu->TrackPopup(this, 0, pt.x, cell.top);
  // The menu ran a loop of its own: act only on a window and row still there.
  if (!Alive(self)) return;
  OnMenuCommand(chosen >= 0 ? menu->GetLBText(chosen) : std::wstring(), rowId);
}

void CXListCtrl::OnMenuCommand(const std::wstring& command, int rowId) {
  const HWND self = m_hWnd;
  if (SameText(command, L"$AssignApplication")) {
    if (FindRowById(rowId) < 0) return;
    CFileDialog dialog(true, nullptr, nullptr, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST, L"*.exe|*.exe||", this);
    if (dialog.DoModal() != IDOK || !Alive(self) || FindRowById(rowId) < 0) return;
    const std::wstring path = dialog.GetPathName();
    wchar_t name[256] = {}, ext[256] = {};
    ::_wsplitpath_s(path.c_str(), nullptr, 0, nullptr, 0, name, 256, ext, 256);
    SetCellText(3, std::wstring(name) + ext, rowId);
    SendRecord(ListAssignApplicationMessage, rowId, 3, path.c_str());
  } else if (SameText(command, L"$UnassignApplication")) {
    if (FindRowById(rowId) < 0) return;
    SetCellText(3, L"", rowId);
    SendRecord(ListAssignApplicationMessage, rowId, 3, L"");
    if (!Alive(self)) return;
    // The automatic-switch column by its id, wherever it stands.
    const int row = FindRowById(rowId);
    const int column = ColumnIndexOf(4);
    ListCellRecord* cell = row >= 0 ? CellRecord(row, column) : nullptr;
    if (!cell) return;
    cell->check = 0;
    RedrawCell(4, row);
    bool state = false;
    SendRecord(ListCheckToggledMessage, rowId, column, &state);
  } else {
    SendRecord(ListActionMessage, rowId, 0, command.c_str());
  }
}

void CXListCtrl::OnDoubleClick(POINT pt) {
  LVHITTESTINFO hit{};
  hit.pt = pt;
  SubItemHitTest(&hit);
  const Records* records = RowRecords(hit.iItem);
  SendRecord(ListDoubleClickMessage, records ? records->front().rowId : -1, hit.iSubItem, nullptr);
}

// ---- the choice cell's drop-down ----

void CXListCtrl::DestroyDropList() {
  if (!m_dropList) return;
  std::unique_ptr<CXComboList> list = std::move(m_dropList);
  list->DestroyWindow();
}

void CXListCtrl::ReleasePress() {
  if (g_releasingPress) return;
  g_releasingPress = true;
  if (ListCellRecord* cell = CellRecord(m_pressRow, m_pressColumn)) {
    cell->comboOpen = 0;
    RedrawCell(GetColumnId(m_pressColumn), m_pressRow);
  }
  m_pressed = 0;
  g_releasingPress = false;
}

void CXListCtrl::WriteComboChoice(bool closeList) {
  if (m_dropList && m_dropList->ListBox().m_hWnd) {
    CListBox& list = m_dropList->ListBox();
    const int selected = list.GetCurSel();
    const Records* records = RowRecords(m_pressRow);
    if (selected >= 0 && records && m_pressColumn >= 0 && m_pressColumn < static_cast<int>(records->size()))
      SetCellText(GetColumnId(m_pressColumn), list.GetText(selected), records->front().rowId);
  }
  if (closeList) DestroyDropList();
}

void CXListCtrl::OnTimer(UINT_PTR id) {
  switch (id) {
    case kComboTimer:
      if (m_pressed) {
        POINT cursor{};
        ::GetCursorPos(&cursor);
        ScreenToClient(&cursor);
        if (!::PtInRect(&m_openButton, cursor)) ReleasePress();
      } else if (m_dropList) {
        m_dropList->PlaceAndShow();
      } else {
        KillTimer(kComboTimer);
      }
      break;
    case kCloseComboTimer:
      KillTimer(kCloseComboTimer);
      WriteComboChoice(true);
      break;
    case kComboTextTimer:
      KillTimer(kComboTextTimer);
      WriteComboChoice(false);
      break;
    default:
      break;
  }
}

// ---- editing, keys and tooltips ----

bool CXListCtrl::EndEdit(bool commit) {
  ::ReleaseCapture();
  if (m_editRow == -1 || !m_editor || !m_editor->m_hWnd) return false;
  const std::wstring text = m_editor->GetWindowText();
  bool changed = false;
  const Records* records = RowRecords(m_editRow);
  if (commit && records && text != GetItemText(m_editRow, m_editColumn)) {
    SetItemText(m_editRow, m_editColumn, text);
    SendRecord(ListRenameDoneMessage, records->front().rowId, m_editColumn, text.c_str());
    changed = true;
  }
  if (m_editor->m_hWnd) m_editor->ShowWindow(SW_HIDE);
  m_editRow = m_editColumn = -1;
  if (m_hWnd) Invalidate();
  return changed;
}

BOOL CXListCtrl::PreTranslateMessage(MSG* msg) {
  if (msg->message != WM_KEYDOWN) return FALSE;
  if (m_editRow != -1 && m_editRow < GetItemCount()) {
    if (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE) {
      EndEdit(msg->wParam == VK_RETURN);
      return TRUE;
    }
    return FALSE;
  }
  return msg->hwnd == m_hWnd && msg->wParam == VK_SPACE;
}

INT_PTR CXListCtrl::OnToolHitTest(POINT point, TTTOOLINFOW* info) const {
  if (!m_hWnd || (GetStyle() & LVS_TYPEMASK) != LVS_REPORT) return -1;
  const int top = std::max(0, GetTopIndex());
  const int last = std::min(GetItemCount(), top + GetCountPerPage() + 1);
  RECT client{};
  GetClientRect(&client);
  for (int row = top; row < last; ++row) {
    for (const auto& [id, column] : m_columns) {
      RECT cell{};
      if (!GetCellRect(row, column.columnIndex, &cell)) continue;
      cell.right = std::min(cell.right, client.right);
      if (!::PtInRect(&cell, point)) continue;
      if (info) {
        info->hwnd = m_hWnd;
        info->rect = cell;
        info->lpszText = LPSTR_TEXTCALLBACKW;
      }
      return ((static_cast<INT_PTR>(row) << kToolColumnBits) | (column.columnIndex & 0x3FF)) + 1;
    }
  }
  return -1;
}

bool CXListCtrl::OnToolText(NMTTDISPINFOW* info) {
  const INT_PTR id = static_cast<INT_PTR>(info->hdr.idFrom) - 1;
  if (id < 0) return false;
  const int row = static_cast<int>(id >> kToolColumnBits);
  const int column = static_cast<int>(id & 0x3FF);
  const ListColumnInfo* columnInfo = ColumnAtIndex(column);
  // Ids name cells that may have gone since the tool was made.
  if (!columnInfo || row >= GetItemCount()) return false;
  if (columnInfo->type != LISTCOL_EDIT && columnInfo->type != LISTCOL_FILEDIALOG) return false;
  const std::wstring text = GetItemText(row, column);
  CClientDC dc(m_hWnd);
  platform::SelectGuard font(dc, gui::FontOrDefault(m_controlFont));
  SIZE extent{};
  ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  if (GetColumnWidth(column) - 8 < extent.cx) {
    const size_t n = std::min<size_t>(text.size(), 79);
    text.copy(info->szText, n);
    info->szText[n] = 0;
    info->lpszText = info->szText;
  }
  return true;
}

// ---- messages ----

void CXListCtrl::OnCreate() {
  // Only the row height comes from it. The list view (without
  // LVS_SHAREIMAGELISTS) destroys it with its window: it is the one owner.
  if (!SendMessage(LVM_GETIMAGELIST, LVSIL_SMALL)) SetImageList(::ImageList_Create(18, 18, ILC_COLOR4, 10, 10), LVSIL_SMALL);
  if (!m_headerTaken) {
    if (HWND header = GetHeaderCtrl()) m_headerTaken = m_header.TakeOver(header);
    EnableToolTips(TRUE);
  }
}

bool CXListCtrl::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  if (msg == gui::ComboListVkReturnMessage() || msg == gui::ComboListLButtonUpMessage()) {
    KillTimer(kComboTimer);
    SetTimer(kCloseComboTimer, kComboTextMs);
    result = 0;
    return true;
  }
  if (msg == gui::ComboListKeyDownMessage()) {
    SetTimer(kComboTextTimer, kComboTextMs);
    result = 0;
    return true;
  }
  if (msg == gui::ComboListVkEscapeMessage()) {
    KillTimer(kComboTimer);
    result = 0;
    return true;
  }
  switch (msg) {
    case WM_CREATE:
      result = Default();
      if (result != -1) OnCreate();
      return true;
    case WM_DESTROY:
      FreeAllRecords();
      if (m_editor && m_editor->m_hWnd) m_editor->DestroyWindow();
      DestroyDropList();
      result = Default();
      return true;
    case platform::Reflected(WM_NOTIFY): {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      switch (header->code) {
        case NM_CUSTOMDRAW:
          result = OnCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
          return true;
        case NM_CLICK:
          EndEdit(true);
          ReleasePress();
          result = 0;
          return true;
        case LVN_COLUMNCLICK:
          result = 0;
          return true;
        case LVN_DELETEITEM: {
          // Records go with their row, however the row is deleted.
          const auto* item = reinterpret_cast<NMLISTVIEW*>(lParam);
          auto* records = reinterpret_cast<Records*>(item->lParam);
          if (records && m_live.erase(records)) delete records;
          result = 0;
          return true;
        }
        default:
          return false;
      }
    }
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (header->code == TTN_NEEDTEXTW) {
        OnToolText(reinterpret_cast<NMTTDISPINFOW*>(lParam));
        result = 0;
        return true;
      }
      return CSkinnedListView::OnMessage(msg, wParam, lParam, result);
    }
    case WM_LBUTTONDOWN:
      OnLButtonDown(pt);
      result = 0;
      return true;
    case WM_RBUTTONDOWN:
      OnRButtonDown(pt);
      result = 0;
      return true;
    case WM_LBUTTONDBLCLK:
      OnDoubleClick(pt);
      result = 0;
      return true;
    case WM_TIMER:
      OnTimer(wParam);
      result = 0;
      return true;
    case WM_PAINT: {
      result = Default();
      if (GetItemCount() == 0) {
        RECT client{}, header{};
        GetClientRect(&client);
        if (m_header.m_hWnd && m_header.IsWindowVisible()) {
          m_header.GetWindowRect(&header);
          ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&header), 2);
          client.top = header.bottom + 2;
        }
        CClientDC dc(m_hWnd);
        if (client.bottom > client.top) dc.FillSolidRect(client, m_backColour);
      }
      return true;
    }
    default:
      return CSkinnedListView::OnMessage(msg, wParam, lParam, result);
  }
}
