#include "configurator/popups/ChoicePopups.h"

#include "configurator/ElementIds.h"
#include "configurator/ItemAccess.h"
#include "gui/controls/BitmapBtn.h"
#include "gui/panels/DropdownListItem.h"

namespace ids = configurator::ids;

namespace {

// The box of each play mode, by mode - 1. The skin's order of the boxes (once,
// multiple, while pressed, until pressed) is not the modes' order.
constexpr int32_t kModeBoxIds[4] = {ids::BUTTON_MACRO_PLAY_ONCE, ids::BUTTON_MACRO_PLAY_MULTIPLE,
                                    ids::BUTTON_MACRO_PLAY_UNTILPRESSED, ids::BUTTON_MACRO_PLAY_WHILEPRESSED};
constexpr int kFirstMode = 1, kLastMode = 4;

}  // namespace

CMorvelDropdownSelectPopup::CMorvelDropdownSelectPopup(CWnd* parent, const std::wstring& skinFile,
                                                       const std::vector<std::wstring>& names, std::wstring* name)
    : CMorvelPopup(parent, skinFile), m_name(name), m_names(names) {}

void CMorvelDropdownSelectPopup::BindItems() {
  CGUIItem* item = Item(ids::LIST_DROPDOWN_POPUP);
  m_dropdown = item != nullptr && item->kind == GUIKIND_COMBO ? static_cast<CDropdownListItem*>(item) : nullptr;
}

void CMorvelDropdownSelectPopup::FillChoices() {
  if (m_dropdown == nullptr) return;
  m_dropdown->ResetContent();
  int chosen = 0;
  bool found = false;
  for (const std::wstring& name : m_names) {
    const int index = m_dropdown->AddString(name);
    // Exactly this name: "Work" is not "work".
    if (!found && m_name != nullptr && name == *m_name) {
      chosen = index;
      found = true;
    }
  }
  if (!m_dropdown->SetCurSel(chosen, nullptr)) {
    m_dropdown->m_shownText.clear();
    m_dropdown->Invalidate(FALSE);
  }
}

BOOL CMorvelDropdownSelectPopup::OnInitDialog() {
  const BOOL result = CMorvelPopup::OnInitDialog();
  FillChoices();
  return result;
}

std::wstring CMorvelDropdownSelectPopup::ChosenName() const {
  if (m_dropdown == nullptr) return {};
  return m_dropdown->GetLBText(m_dropdown->GetCurSel());
}

void CMorvelDropdownSelectPopup::OnOK() {
  // Nothing chosen (no names) answers no name, never the preselection handed in.
  if (m_name != nullptr) *m_name = ChosenName();
  EndDialog(kPopupConfirmed);
}

CMorvelMacroAssignmentPopup::CMorvelMacroAssignmentPopup(CWnd* parent, const std::wstring& skinFile, int* playMode,
                                                         const std::vector<std::wstring>& names, std::wstring* name)
    : CMorvelDropdownSelectPopup(parent, skinFile, names, name), m_playMode(playMode) {
  if (m_playMode != nullptr && (*m_playMode < kFirstMode || *m_playMode > kLastMode)) *m_playMode = kFirstMode;
}

void CMorvelMacroAssignmentPopup::BindItems() {
  CMorvelDropdownSelectPopup::BindItems();
  for (int i = 0; i < 4; ++i) {
    CGUIItem* item = Item(kModeBoxIds[i]);
    m_modeBoxes[i] = item != nullptr && item->kind == GUIKIND_BUTTON ? item : nullptr;
  }
}

void CMorvelMacroAssignmentPopup::ShowMode(int mode) {
  for (int i = 0; i < 4; ++i) configurator::SetItemCheck(m_modeBoxes[i], i + kFirstMode == mode);
}

BOOL CMorvelMacroAssignmentPopup::OnInitDialog() {
  const BOOL result = CMorvelDropdownSelectPopup::OnInitDialog();
  for (CGUIItem* box : m_modeBoxes)
    if (box != nullptr) static_cast<CBitmapBtn*>(box)->m_toggleMode = 1;
  ShowMode(m_playMode != nullptr ? *m_playMode : kFirstMode);
  return result;
}

BOOL CMorvelMacroAssignmentPopup::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (const CGUIItem* item = ItemOfWindow(reinterpret_cast<HWND>(lParam))) {
    for (int i = 0; i < 4; ++i) {
      if (item != m_modeBoxes[i]) continue;
      // The box has flipped itself: ticked now, it names the mode; a click that
      // unticked the mode's own box leaves the mode, and the box ticks again.
      if (configurator::IsItemChecked(m_modeBoxes[i]) && m_playMode != nullptr) *m_playMode = i + kFirstMode;
      for (int j = 0; j < 4; ++j) configurator::SetItemCheck(m_modeBoxes[j], j == i);
      return TRUE;
    }
  }
  return CMorvelDropdownSelectPopup::OnCommand(wParam, lParam);
}

void CMorvelMacroAssignmentPopup::OnOK() {
  bool ticked = false;
  for (CGUIItem* box : m_modeBoxes) ticked = ticked || configurator::IsItemChecked(box);
  if (m_playMode != nullptr && !ticked) *m_playMode = kFirstMode;
  if (m_name != nullptr) *m_name = ChosenName();
  EndDialog(kPopupConfirmed);
}
