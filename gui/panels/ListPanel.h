// The popup choice lists: a description of a popup list kept as a skin item
// (the lists' right-click menus, with optional sub-lists), the modal popup
// window that shows one, and the list view inside it.
#pragma once
#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gui/base/GUIItem.h"
#include "gui/controls/ContextMenu.h"
#include "gui/controls/SkinnedListView.h"
#include "gui/controls/VScrollBar.h"
#include "gui/panels/GUIPanel.h"
#include "platform/Controls.h"

class CFontItem;
class CListPanelItem;
class CListPanelList;

// One entry of a choice list: a "$" language key or plain text, an optional
// sub-list (not owned) and whether it is drawn with the disabled colours.
struct ListPanelEntry {
  std::wstring text;
  CListPanelItem* subList = nullptr;
  uint8_t disabled = 0;
};

// The six images of a popup's scroll bar, in the order CVScrollBar takes them.
using ScrollBarBitmaps = std::array<HBITMAP, 6>;

// The colours and looks a popup takes from whoever opens it.
struct ListPanelLook {
  CFontItem* font = nullptr;
  COLORREF text = 0xFFFFFF;
  COLORREF hotText = 0;
  COLORREF disabledText = 0xFFFFFF;
  COLORREF background = 0;
  COLORREF hotBackground = 0xFFFFFF;
  COLORREF disabledBackground = 0;
  COLORREF border = 0xFFFFFF;
  int borderWidth = 1;
  int scrollBarWidth = 0;  // 0: no scroll bar
  ScrollBarBitmaps scrollBitmaps{};
  bool sorted = false;
  std::wstring titlePrefix;  // put before every entry's text
};

// The modal popup: ends with the chosen entry's position or -1.
class CListPanel : public CPopupBox {
 public:
  static constexpr UINT kTemplateId = 129;

  // The popup works on its own copy of the entries, so an owner that changes
  // its list while the popup runs cannot leave it reading freed entries.
  CListPanel(CWnd* parent, UINT templateId, bool sorted, const std::vector<ListPanelEntry>& entries,
             const RECT& screenRect);
  ~CListPanel() override;

  // Runs the popup; the entry's position in the entries given, or -1.
  INT_PTR Run();

  BOOL OnInitDialog() override;
  // Esc ends without a choice; Enter takes the selected row, else the hot one.
  void OnOK() override;
  void OnCancel() override { End(-1); }

  const std::vector<ListPanelEntry>& Entries() const { return m_entries; }
  CListPanelList* List() const { return m_list.get(); }
  const RECT& ScreenRect() const { return m_rect; }

  ListPanelLook m_look;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  friend class CListPanelList;
  void End(INT_PTR result);
  void Paint(HDC dc);

  std::vector<ListPanelEntry> m_entries;
  RECT m_rect;
  std::unique_ptr<CListPanelList> m_list;
  bool m_ending = false;
};

// The list view inside the popup: a row per entry, the hot row following the
// mouse, sub-list popups, and the short delay between a click and the end.
class CListPanelList : public CSkinnedListView {
 public:
  static constexpr UINT_PTR kChooseTimer = 1;
  static constexpr UINT kChooseDelayMs = 250;
  static constexpr int kMaxSubListRows = 5;

  explicit CListPanelList(CListPanel* panel) : CSkinnedListView(Scrolling::kSkinned, 15), m_panel(panel) {}
  ~CListPanelList() override;

  // Creates the list over `rect` (panel client coordinates; the scroll bar's
  // strip is taken off at the right), fills it and takes the mouse capture.
  bool CreateIn(const RECT& rect);

  int HotRow() const { return m_hotRow; }
  // The entry position a row stands for (its item data), -1 for none.
  int EntryOfRow(int row) const;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void Fill();
  bool InScrollStrip(POINT pt) const;
  void PassToScrollBar(UINT msg, WPARAM wParam, POINT pt);
  int RowAt(POINT pt) const;
  void SetHot(int row);
  void OnLButtonDown(WPARAM wParam, POINT pt);
  void StartChooseTimer();
  LRESULT OnCustomDraw(NMLVCUSTOMDRAW* draw);
  void DrawRow(HDC dc, int row);

  CListPanel* m_panel;
  int m_clickPending = 0;
  int m_hotRow = -1;
  int m_chosenSub = -1;
};

// A popup list described by the skin (LISTPANEL): no window of its own until
// TrackPopup opens one.
class CListPanelItem : public CGUIItem, public gui::IContextMenu {
 public:
  CListPanelItem(int width, int height) : m_width(width), m_height(height) {}
  ~CListPanelItem() override = default;

  // The entries become copies of these (text and sub-list; none disabled).
  void SetEntries(const std::vector<ListPanelEntry>& entries);
  const wchar_t* GetEntryText(int index) const;
  std::wstring GetLBText(int index) const override;
  // The first entry whose text equals the find info's string; -1 without
  // LVFI_STRING, for a null info or when none matches.
  int FindString(const LVFINDINFOW* info) const;
  int GetCurSel() const;
  bool SetCurSel(int index);

  // Opens the popup modally with its top-left corner at (x, y) in the window's
  // client coordinates; the height is the item's when 0. The chosen entry's
  // index (checked against the entries as they are on return) or -1.
  int TrackPopup(CWnd* window, int height, int x, int y) override;

  std::wstring m_currentText;
  int m_width;
  int m_height;
  std::vector<ListPanelEntry> m_entries;
  ListPanelLook m_look;  // its defaults are the list panel's
};

namespace gui {
// The first entry whose text equals `text` exactly, -1 for none or empty text.
int FindEntryText(const std::vector<ListPanelEntry>& entries, const std::wstring& text);
}  // namespace gui
