// The warning and question popup: a heading and OK (and, where the skin has it,
// Cancel). Every warning of the configurator is one of these with its own skin file.
#pragma once
#include <string>

#include "gui/panels/GUIPanel.h"

// Answers of a popup's DoModal: only 1 counts as confirmed.
inline constexpr INT_PTR kPopupConfirmed = 1;
inline constexpr INT_PTR kPopupCancelled = 2;

// What every popup of the configurator shares: created from template 129 under
// its parent, titled with its skin file name, OK and Cancel buttons by skin id.
class CMorvelPopup : public CPopupBox {
 public:
  CMorvelPopup(CWnd* parent, const std::wstring& skinFile);
  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  void OnOK() override { EndDialog(kPopupConfirmed); }
  void OnCancel() override { EndDialog(kPopupCancelled); }

  // The item of the popup with this window, or null.
  CGUIItem* ItemOfWindow(HWND hwnd) const { return FindItemByHwnd(m_items, hwnd); }
  CGUIItem* Item(int32_t id) const { return FindItemById(m_items, id); }
};

class CMorvelWarningDlg : public CMorvelPopup {
 public:
  CMorvelWarningDlg(CWnd* parent, const std::wstring& skinFile, const std::wstring* extraText);
  void SetHeadingText(const std::wstring& text) { m_headingText = text; }

  void BindItems() override;
  BOOL OnInitDialog() override;

  CGUIItem* m_heading = nullptr;
  std::wstring m_headingText;
  const std::wstring* m_extraText;
};
