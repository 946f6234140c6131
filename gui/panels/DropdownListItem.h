// The skinned drop-down box (COMBO): shows the chosen entry and opens its
// entries in a popup list when clicked.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gui/base/GUIItem.h"
#include "gui/panels/ListPanel.h"
#include "platform/Controls.h"

class CFontItem;

class CDropdownListItem : public CStatic, public CGUIItem {
 public:
  CDropdownListItem() = default;
  ~CDropdownListItem() override = default;

  int AddString(const std::wstring& text);
  void ResetContent() { m_entries.clear(); }
  // False for a negative index or one above the entry count.
  bool InsertString(int index, const std::wstring& text);
  std::wstring GetLBText(int index) const;
  int FindString(const LVFINDINFOW* info) const;
  // The first entry equal to the shown text; -1 when none or nothing is shown.
  int GetCurSel() const;
  // Shows the entry (with ": " and the sub-text when one is given); false for
  // an index outside the entries.
  bool SetCurSel(int index, const wchar_t* subText);

  void SetLeftGap(int spaces) { m_leftGap.assign(static_cast<size_t>(spaces < 0 ? 0 : spaces), L' '); }

  uint8_t m_disabled = 0;
  uint8_t m_open = 0;
  std::wstring m_shownText;
  std::wstring m_subText;
  std::wstring m_leftGap;
  std::vector<ListPanelEntry> m_entries;
  RECT m_createRect{};
  RECT m_popupRect{};
  int m_listHeight = 0;
  CFontItem* m_font = nullptr;
  COLORREF m_textColour = 0, m_hotTextColour = 0, m_backColour = 0, m_hotBackColour = 0, m_borderColour = 0,
           m_disabledBackColour = 0, m_disabledBorderColour = 0, m_disabledTextColour = 0;
  int m_borderWidth = 1;
  ScrollBarBitmaps m_scrollBitmaps{};
  int m_scrollBarWidth = 0;
  uint8_t m_sorted = 0;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void Paint(HDC dc);
  void OnClick();
};
