// The popups that offer a choice among names: the target profile of a
// profile-switch key, and the macro of a macro key with the way it plays.
#pragma once
#include <string>
#include <vector>

#include "configurator/popups/WarningDlg.h"

class CDropdownListItem;

class CMorvelDropdownSelectPopup : public CMorvelPopup {
 public:
  // `name`: in, the entry chosen at first (when it is among the names); out,
  // the entry chosen on OK.
  CMorvelDropdownSelectPopup(CWnd* parent, const std::wstring& skinFile, const std::vector<std::wstring>& names,
                             std::wstring* name);
  void BindItems() override;
  BOOL OnInitDialog() override;
  void OnOK() override;

  CDropdownListItem* m_dropdown = nullptr;
  std::wstring* m_name;
  std::vector<std::wstring> m_names;

 protected:
  // Fills the drop-down with the names and chooses the caller's, else the first.
  void FillChoices();
  // The chosen entry's text; empty when none is chosen.
  std::wstring ChosenName() const;
};

// The macro popup: the macro drop-down and four boxes for the play mode
// (1 once, 2 a number of times, 3 until pressed again, 4 while held).
class CMorvelMacroAssignmentPopup : public CMorvelDropdownSelectPopup {
 public:
  // `playMode`: in, the mode shown at first (outside 1..4 it becomes 1); out, the mode chosen.
  CMorvelMacroAssignmentPopup(CWnd* parent, const std::wstring& skinFile, int* playMode,
                              const std::vector<std::wstring>& names, std::wstring* name);
  void BindItems() override;
  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  void OnOK() override;

  // The boxes by play mode: [0] mode 1 ... [3] mode 4.
  CGUIItem* m_modeBoxes[4] = {};
  int* m_playMode;

 private:
  void ShowMode(int mode);
};
