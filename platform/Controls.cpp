#include "platform/Controls.h"

#include <vector>

namespace platform {

void EnsureCommonControls() {
  static const bool done = [] {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_ANIMATE_CLASS};
    return ::InitCommonControlsEx(&icc) != FALSE;
  }();
  (void)done;
}

}  // namespace platform

namespace {

TTTOOLINFOW ToolInfo(CWnd* wnd, UINT_PTR toolId) {
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof(ti);
  ti.hwnd = wnd ? wnd->m_hWnd : nullptr;
  ti.uId = toolId;
  return ti;
}

}  // namespace

BOOL CButton::Create(const wchar_t* caption, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CreateEx(0, L"BUTTON", caption, style, rect, parent, id);
}

bool CButton::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg == platform::Reflected(WM_DRAWITEM)) {
    DrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
    result = TRUE;
    return true;
  }
  return CWnd::OnMessage(msg, wParam, lParam, result);
}

BOOL CStatic::Create(const wchar_t* text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CreateEx(0, L"STATIC", text, style, rect, parent, id);
}

BOOL CEdit::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CreateEx(0, L"EDIT", L"", style, rect, parent, id);
}

void CEdit::SetSel(int start, int end, BOOL noScroll) const {
  SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end);
  if (!noScroll) SendMessage(EM_SCROLLCARET);
}

BOOL CListBox::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CreateEx(0, L"LISTBOX", L"", style, rect, parent, id);
}

std::wstring CListBox::GetText(int index) const {
  const LRESULT n = SendMessage(LB_GETTEXTLEN, static_cast<WPARAM>(index));
  if (n == LB_ERR || n <= 0) return {};
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  const LRESULT got = SendMessage(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

int CListBox::ItemFromPoint(POINT pt, bool* outside) const {
  const LRESULT r = SendMessage(LB_ITEMFROMPOINT, 0, MAKELPARAM(pt.x, pt.y));
  if (outside) *outside = HIWORD(r) != 0;
  return LOWORD(r);
}

BOOL CScrollBar::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CreateEx(0, L"SCROLLBAR", L"", style, rect, parent, id);
}

BOOL CListCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  platform::EnsureCommonControls();
  return CreateEx(0, WC_LISTVIEWW, L"", style, rect, parent, id);
}

int CListCtrl::InsertColumn(int index, const std::wstring& heading, int format, int width) const {
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT | LVCF_FMT | (width >= 0 ? LVCF_WIDTH : 0u);
  col.fmt = format;
  col.cx = width;
  col.pszText = const_cast<wchar_t*>(heading.c_str());
  return static_cast<int>(SendMessage(LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&col)));
}

int CListCtrl::InsertItem(int index, const std::wstring& text) const {
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = index;
  item.pszText = const_cast<wchar_t*>(text.c_str());
  return static_cast<int>(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

BOOL CListCtrl::SetItemText(int index, int subItem, const std::wstring& text) const {
  LVITEMW item{};
  item.iSubItem = subItem;
  item.pszText = const_cast<wchar_t*>(text.c_str());
  return static_cast<BOOL>(SendMessage(LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
}

std::wstring CListCtrl::GetItemText(int index, int subItem) const {
  // The list view copies at most the buffer's size; grow until the text fits.
  for (size_t size = 256; size <= 65536; size *= 4) {
    std::vector<wchar_t> buffer(size, L'\0');
    LVITEMW item{};
    item.iSubItem = subItem;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(size);
    const LRESULT n = SendMessage(LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    if (n < 0) return {};
    if (static_cast<size_t>(n) < size - 1) return std::wstring(buffer.data(), static_cast<size_t>(n));
  }
  return {};
}

BOOL CListCtrl::SetItemData(int index, DWORD_PTR data) const {
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = index;
  item.lParam = static_cast<LPARAM>(data);
  return static_cast<BOOL>(SendMessage(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

DWORD_PTR CListCtrl::GetItemData(int index) const {
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = index;
  if (!SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return 0;
  return static_cast<DWORD_PTR>(item.lParam);
}

BOOL CListCtrl::SetItemState(int index, UINT state, UINT mask) const {
  LVITEMW item{};
  item.state = state;
  item.stateMask = mask;
  return static_cast<BOOL>(SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
}

BOOL CListCtrl::GetItemRect(int index, RECT* rect, int code) const {
  rect->left = code;
  return static_cast<BOOL>(SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(rect)));
}

BOOL CListCtrl::GetSubItemRect(int index, int subItem, int code, RECT* rect) const {
  rect->top = subItem;
  rect->left = code;
  return static_cast<BOOL>(SendMessage(LVM_GETSUBITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(rect)));
}

BOOL CAnimateCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  platform::EnsureCommonControls();
  return CreateEx(0, ANIMATE_CLASSW, L"", style, rect, parent, id);
}

BOOL CToolTipCtrl::Create(CWnd* parent, DWORD style) {
  platform::EnsureCommonControls();
  return CreateEx(WS_EX_TOPMOST, TOOLTIPS_CLASSW, L"", WS_POPUP | TTS_ALWAYSTIP | style, RECT{0, 0, 0, 0},
                  parent, 0);
}

BOOL CToolTipCtrl::AddTool(CWnd* wnd, const std::wstring& text, const RECT* rect, UINT_PTR toolId) const {
  TTTOOLINFOW ti = ToolInfo(wnd, toolId);
  ti.uFlags = TTF_SUBCLASS;
  if (rect) ti.rect = *rect;
  else if (wnd) wnd->GetClientRect(&ti.rect);
  ti.lpszText = const_cast<wchar_t*>(text.c_str());
  return static_cast<BOOL>(SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)));
}

void CToolTipCtrl::UpdateTipText(const std::wstring& text, CWnd* wnd, UINT_PTR toolId) const {
  TTTOOLINFOW ti = ToolInfo(wnd, toolId);
  ti.lpszText = const_cast<wchar_t*>(text.c_str());
  SendMessage(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}

void CToolTipCtrl::SetToolRect(CWnd* wnd, UINT_PTR toolId, const RECT& rect) const {
  TTTOOLINFOW ti = ToolInfo(wnd, toolId);
  ti.rect = rect;
  SendMessage(TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
}

void CToolTipCtrl::DelTool(CWnd* wnd, UINT_PTR toolId) const {
  TTTOOLINFOW ti = ToolInfo(wnd, toolId);
  SendMessage(TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

std::wstring CToolTipCtrl::GetText(CWnd* wnd, UINT_PTR toolId) const {
  // wParam gives the buffer's size in characters, so a long tip is cut, never overflows.
  std::vector<wchar_t> buffer(1024, L'\0');
  TTTOOLINFOW ti = ToolInfo(wnd, toolId);
  ti.lpszText = buffer.data();
  SendMessage(TTM_GETTEXTW, buffer.size(), reinterpret_cast<LPARAM>(&ti));
  buffer.back() = L'\0';
  return buffer.data();
}
