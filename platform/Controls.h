// Thin wrappers of the system controls the skinned controls are built on. Each
// Create binds the object before the control's first message; each method is
// the control message it names.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "platform/Window.h"

namespace platform {
// The common-control classes (list view, header, tooltips, animation) registered once.
void EnsureCommonControls();
}  // namespace platform

class CButton : public CWnd {
 public:
  virtual BOOL Create(const wchar_t* caption, DWORD style, const RECT& rect, CWnd* parent, UINT id);
  int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
  void SetCheck(int state) const { SendMessage(BM_SETCHECK, static_cast<WPARAM>(state)); }
  UINT GetState() const { return static_cast<UINT>(SendMessage(BM_GETSTATE)); }
  UINT GetButtonStyle() const { return GetStyle() & 0xFFFF; }
  void SetButtonStyle(UINT style, BOOL redraw = TRUE) const { SendMessage(BM_SETSTYLE, style, redraw); }
  // An owner-drawn button draws itself: WM_DRAWITEM is reflected to it.
  virtual void DrawItem(DRAWITEMSTRUCT*) {}

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

class CStatic : public CWnd {
 public:
  virtual BOOL Create(const wchar_t* text, DWORD style, const RECT& rect, CWnd* parent, UINT id = 0xFFFF);
};

class CEdit : public CWnd {
 public:
  virtual BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  void SetSel(int start, int end, BOOL noScroll = FALSE) const;
  void ReplaceSel(const std::wstring& text, BOOL canUndo = FALSE) const {
    SendMessage(EM_REPLACESEL, canUndo, reinterpret_cast<LPARAM>(text.c_str()));
  }
  void SetLimitText(UINT max) const { SendMessage(EM_SETLIMITTEXT, max); }
  BOOL SetReadOnly(BOOL readOnly = TRUE) const { return static_cast<BOOL>(SendMessage(EM_SETREADONLY, readOnly)); }
};

class CListBox : public CWnd {
 public:
  virtual BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  int AddString(const std::wstring& text) const {
    return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
  }
  int GetCount() const { return static_cast<int>(SendMessage(LB_GETCOUNT)); }
  int GetCurSel() const { return static_cast<int>(SendMessage(LB_GETCURSEL)); }
  int SetCurSel(int index) const { return static_cast<int>(SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index))); }
  void ResetContent() const { SendMessage(LB_RESETCONTENT); }
  std::wstring GetText(int index) const;
  int GetTopIndex() const { return static_cast<int>(SendMessage(LB_GETTOPINDEX)); }
  int SetTopIndex(int index) const { return static_cast<int>(SendMessage(LB_SETTOPINDEX, static_cast<WPARAM>(index))); }
  int GetItemHeight(int index) const { return static_cast<int>(SendMessage(LB_GETITEMHEIGHT, static_cast<WPARAM>(index))); }
  int SetItemHeight(int index, int height) const {
    return static_cast<int>(SendMessage(LB_SETITEMHEIGHT, static_cast<WPARAM>(index), MAKELPARAM(height, 0)));
  }
  // The item under a client point; outside is true when the point lies below the last item.
  int ItemFromPoint(POINT pt, bool* outside) const;
};

class CScrollBar : public CWnd {
 public:
  virtual BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  int SetScrollInfo(SCROLLINFO* info, BOOL redraw = TRUE) const {
    info->cbSize = sizeof(SCROLLINFO);
    return ::SetScrollInfo(m_hWnd, SB_CTL, info, redraw);
  }
  BOOL GetScrollInfo(SCROLLINFO* info, UINT mask = SIF_ALL) const { return CWnd::GetScrollInfo(SB_CTL, info, mask); }
  int GetScrollPos() const { return ::GetScrollPos(m_hWnd, SB_CTL); }
  int SetScrollPos(int pos, BOOL redraw = TRUE) const { return ::SetScrollPos(m_hWnd, SB_CTL, pos, redraw); }
  void SetScrollRange(int minPos, int maxPos, BOOL redraw = TRUE) const { ::SetScrollRange(m_hWnd, SB_CTL, minPos, maxPos, redraw); }
};

class CHeaderCtrl : public CWnd {
 public:
  int GetItemCount() const { return static_cast<int>(SendMessage(HDM_GETITEMCOUNT)); }
  BOOL GetItemRect(int index, RECT* rect) const {
    return static_cast<BOOL>(SendMessage(HDM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(rect)));
  }
  BOOL GetItem(int index, HDITEMW* item) const {
    return static_cast<BOOL>(SendMessage(HDM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(item)));
  }
  BOOL SetItem(int index, HDITEMW* item) const {
    return static_cast<BOOL>(SendMessage(HDM_SETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(item)));
  }
};

class CListCtrl : public CWnd {
 public:
  virtual BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  // The list view's own header window (report view); subclass it with a CHeaderCtrl.
  HWND GetHeaderCtrl() const { return reinterpret_cast<HWND>(SendMessage(LVM_GETHEADER)); }
  DWORD SetExtendedStyle(DWORD style) const { return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style)); }
  DWORD GetExtendedStyle() const { return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
  int InsertColumn(int index, const std::wstring& heading, int format = LVCFMT_LEFT, int width = -1) const;
  BOOL DeleteColumn(int index) const { return static_cast<BOOL>(SendMessage(LVM_DELETECOLUMN, static_cast<WPARAM>(index))); }
  int GetColumnWidth(int index) const { return static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(index))); }
  BOOL SetColumnWidth(int index, int width) const {
    return static_cast<BOOL>(SendMessage(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(index), MAKELPARAM(width, 0)));
  }
  int InsertItem(int index, const std::wstring& text) const;
  BOOL SetItemText(int index, int subItem, const std::wstring& text) const;
  std::wstring GetItemText(int index, int subItem) const;
  BOOL DeleteItem(int index) const { return static_cast<BOOL>(SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(index))); }
  BOOL DeleteAllItems() const { return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS)); }
  int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
  BOOL SetItemData(int index, DWORD_PTR data) const;
  DWORD_PTR GetItemData(int index) const;
  BOOL SetItemState(int index, UINT state, UINT mask) const;
  UINT GetItemState(int index, UINT mask) const {
    return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(index), mask));
  }
  BOOL GetItemRect(int index, RECT* rect, int code) const;
  BOOL GetSubItemRect(int index, int subItem, int code, RECT* rect) const;
  int HitTest(LVHITTESTINFO* info) const { return static_cast<int>(SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(info))); }
  int SubItemHitTest(LVHITTESTINFO* info) const {
    return static_cast<int>(SendMessage(LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(info)));
  }
  int GetTopIndex() const { return static_cast<int>(SendMessage(LVM_GETTOPINDEX)); }
  int GetCountPerPage() const { return static_cast<int>(SendMessage(LVM_GETCOUNTPERPAGE)); }
  BOOL EnsureVisible(int index, BOOL partialOk) const {
    return static_cast<BOOL>(SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), partialOk));
  }
  BOOL Scroll(int dx, int dy) const { return static_cast<BOOL>(SendMessage(LVM_SCROLL, static_cast<WPARAM>(dx), dy)); }
  BOOL RedrawItems(int first, int last) const {
    return static_cast<BOOL>(SendMessage(LVM_REDRAWITEMS, static_cast<WPARAM>(first), last));
  }
  int GetSelectionMark() const { return static_cast<int>(SendMessage(LVM_GETSELECTIONMARK)); }
  int GetNextItem(int start, UINT flags) const {
    return static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(start), flags));
  }
  BOOL SetBkColor(COLORREF color) const { return static_cast<BOOL>(SendMessage(LVM_SETBKCOLOR, 0, static_cast<LPARAM>(color))); }
  BOOL SetTextColor(COLORREF color) const { return static_cast<BOOL>(SendMessage(LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(color))); }
  BOOL SetTextBkColor(COLORREF color) const {
    return static_cast<BOOL>(SendMessage(LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(color)));
  }
  HIMAGELIST SetImageList(HIMAGELIST list, int which) const {
    return reinterpret_cast<HIMAGELIST>(SendMessage(LVM_SETIMAGELIST, static_cast<WPARAM>(which), reinterpret_cast<LPARAM>(list)));
  }
};

class CAnimateCtrl : public CWnd {
 public:
  virtual BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  // A clip from the resources of `instance` (ACM_OPEN with the instance).
  BOOL Open(const wchar_t* nameOrId, HINSTANCE instance) const {
    return static_cast<BOOL>(SendMessage(ACM_OPENW, reinterpret_cast<WPARAM>(instance), reinterpret_cast<LPARAM>(nameOrId)));
  }
  BOOL Play(UINT from, UINT to, UINT repeat) const { return static_cast<BOOL>(SendMessage(ACM_PLAY, repeat, MAKELPARAM(from, to))); }
  BOOL Stop() const { return static_cast<BOOL>(SendMessage(ACM_STOP)); }
  BOOL Close() const { return static_cast<BOOL>(SendMessage(ACM_OPENW, 0, 0)); }
};

// A tooltip window for the tools of one control. Tools are identified by the
// control's window and an id (not by window handle), with a rectangle.
class CToolTipCtrl : public CWnd {
 public:
  BOOL Create(CWnd* parent, DWORD style = 0);
  void Activate(BOOL active) const { SendMessage(TTM_ACTIVATE, active); }
  BOOL AddTool(CWnd* wnd, const std::wstring& text, const RECT* rect, UINT_PTR toolId) const;
  void UpdateTipText(const std::wstring& text, CWnd* wnd, UINT_PTR toolId) const;
  void SetToolRect(CWnd* wnd, UINT_PTR toolId, const RECT& rect) const;
  void DelTool(CWnd* wnd, UINT_PTR toolId) const;
  int GetToolCount() const { return static_cast<int>(SendMessage(TTM_GETTOOLCOUNT)); }
  std::wstring GetText(CWnd* wnd, UINT_PTR toolId) const;
  void RelayEvent(MSG* msg) const { SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg)); }
  int SetMaxTipWidth(int width) const { return static_cast<int>(SendMessage(TTM_SETMAXTIPWIDTH, 0, width)); }
};
