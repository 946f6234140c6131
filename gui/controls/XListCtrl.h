// The skinned report-view list (the profile list): one typed cell per column
// (text, check box from skin images, drop-down choice), rows with their own
// colours and an owner-chosen row id, a flat header and a right-click menu.
// Every user action is reported to the parent with the list messages.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "gui/base/GUIItem.h"
#include "gui/controls/ContextMenu.h"
#include "gui/controls/SkinnedListView.h"
#include "gui/controls/XComboList.h"
#include "gui/controls/XHeaderCtrl.h"
#include "platform/Controls.h"
#include "platform/Gdi.h"

class CFontItem;

// What lParam of the list messages points at, valid only during the call.
struct ListMessageRecord {
  int32_t rowId;
  int32_t column;
  const void* data;  // text (wchar_t*), the new check state (bool*) or null
};

// Control types of the columns (the skin's control type names).
enum ListColumnType : int32_t {
  LISTCOL_ICON = 0,
  LISTCOL_STATIC = 1,
  LISTCOL_EDIT = 2,
  LISTCOL_COMBO = 3,
  LISTCOL_CHECKBOX = 4,
  LISTCOL_FILEDIALOG = 5,
};

struct ListColumnInfo {
  int32_t type = -1;
  HBITMAP uncheckedImage = nullptr;  // skin images, not owned
  HBITMAP checkedImage = nullptr;
  HBITMAP maskImage = nullptr;
  int32_t exclusive = 0;
  int32_t columnIndex = -1;
};

struct ListCellRecord {
  int32_t enabled = 1;
  int32_t bold = 0;
  int32_t combo = 0;
  int32_t comboOpen = 0;
  std::vector<std::wstring> choices;
  int32_t dropdownRows = 10;
  int32_t defaultChoice = 0;
  COLORREF textColour = 0x00FF00;
  COLORREF background = 0;
  COLORREF selectedTextColour = 0x00FF00;
  COLORREF selectedBackground = 0;
  int32_t progress = 0;
  int32_t percent = 0;
  std::wstring progressFormat;
  int32_t showPercent = 1;
  int32_t check = -1;
  int32_t rowId = -1;
};

// The in-place editor (no operation of the system opens one).
class CXListEdit : public CEdit {
 public:
  CFontItem* m_fontItem = nullptr;
  COLORREF m_textColour = 0xFFFFFF;
  int m_reserved = 0;
  COLORREF m_backColour = 0;
  COLORREF m_otherColour = 0xFFFFFF;
  COLORREF m_penColour = 0xFFFFFF;
  int m_flag = 1;
  CBrush m_brush;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

class CXListCtrl : public CSkinnedListView, public CGUIItem {
 public:
  static constexpr int kMaxColumns = 10;
  static constexpr UINT_PTR kComboTimer = 1;
  static constexpr UINT_PTR kCloseComboTimer = 3;
  static constexpr UINT_PTR kComboTextTimer = 4;
  static constexpr UINT kComboTimerMs = 100;
  static constexpr UINT kComboTextMs = 50;
  static constexpr int kCheckHitHalfWidth = 6;

  CXListCtrl();
  ~CXListCtrl() override;

  int InsertColumn(const std::wstring& heading, int columnId, int type, int width, int exclusive, HBITMAP unchecked,
                   HBITMAP checked, HBITMAP mask);
  int InsertRow(int row, COLORREF text, COLORREF background, COLORREF selectedText, COLORREF selectedBackground);
  bool SetCellText(int columnId, const std::wstring& text, int rowId);
  bool SetCellCheck(int columnId, int state, int rowId);
  void DeleteAllRows();
  int GetSelectedRowId() const;
  int GetSelectedRow() const;
  int FindRowById(int rowId) const;
  void SetRowColours(int row, COLORREF background, COLORREF selectedBackground);
  int GetColumnId(int columnIndex) const;
  void RedrawCell(int columnId, int row);
  bool GetCellRect(int row, int columnIndex, RECT* rect) const;

  // The records of a row (one per column present when it was inserted), or
  // null for a row outside the list or one without records.
  std::vector<ListCellRecord>* RowRecords(int row) const;
  // The owner's row id write, right after InsertRow.
  bool SetRowId(int row, int rowId);
  const ListColumnInfo* ColumnInfo(int columnId) const;

  void SetTextColour(COLORREF colour) { m_textColour = colour; }
  void SetSelectedTextColour(COLORREF colour) { m_selectedTextColour = colour; }
  void SetBackgroundColour(COLORREF colour);
  void SetSelectedBackgroundColour(COLORREF colour) { m_selectedBackColour = colour; }
  void SetOutlineColour(COLORREF colour) const { SendMessage(LVM_SETOUTLINECOLOR, 0, static_cast<LPARAM>(colour)); }

  // Ends an in-place edit; true when the text changed.
  bool EndEdit(bool commit);

  BOOL PreTranslateMessage(MSG* msg) override;
  INT_PTR OnToolHitTest(POINT point, TTTOOLINFOW* info) const override;

  CXHeaderCtrl& Header() { return m_header; }
  CXComboList* DropDownList() const { return m_dropList.get(); }

  std::map<int, ListColumnInfo> m_columns;
  CXHeaderCtrl m_header;
  std::unique_ptr<CXListEdit> m_editor;
  bool m_headerTaken = false;
  int m_pressed = 0;
  int m_pressRow = -1;
  int m_pressColumn = -1;
  RECT m_openButton{};
  std::unique_ptr<CXComboList> m_dropList;
  CFont m_dropFont;
  int m_dropFontMade = 0;
  CFontItem* m_controlFont = nullptr;
  std::wstring m_openingText;
  int m_editRow = -1;
  int m_editColumn = -1;
  COLORREF m_textColour = 0xFFFFFF;
  COLORREF m_selectedTextColour = 0;
  COLORREF m_backColour = 0;
  COLORREF m_selectedBackColour = 0xFFFFFF;
  gui::IContextMenu* m_contextMenu = nullptr;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  std::optional<COLORREF> EraseColour() const override { return m_backColour; }

 private:
  using Records = std::vector<ListCellRecord>;

  void OnCreate();
  void FreeRecords(int row);
  void FreeAllRecords();
  int ColumnIndexOf(int columnId) const;
  const ListColumnInfo* ColumnAtIndex(int columnIndex) const;
  ListCellRecord* CellRecord(int row, int columnIndex) const;
  void RefreshHeaderCheck(int columnIndex);
  LRESULT SendRecord(UINT msg, int rowId, int column, const void* data);
  bool Alive(HWND self) const { return ::IsWindow(self) && m_hWnd == self; }

  LRESULT OnCustomDraw(NMLVCUSTOMDRAW* draw);
  void DrawTextCell(HDC dc, int row, int column, const RECT& rect, bool selected);
  void DrawCheckCell(HDC dc, int row, int column, const RECT& rect, bool selected);
  void DrawComboCell(HDC dc, int row, int column, const RECT& rect);
  void OpenDropList(int row, int column, const RECT& cell, HDC dc);

  void OnLButtonDown(POINT pt);
  void OnRButtonDown(POINT pt);
  void OnDoubleClick(POINT pt);
  void OnTimer(UINT_PTR id);
  void ReleasePress();
  void WriteComboChoice(bool closeList);
  void DestroyDropList();
  void OnMenuCommand(const std::wstring& command, int rowId);
  bool OnToolText(NMTTDISPINFOW* info);

  std::set<const Records*> m_live;  // the records attached to rows now
};
