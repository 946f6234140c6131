#include "configurator/popups/WarningDlg.h"

#include "configurator/ElementIds.h"
#include "configurator/ItemAccess.h"
#include "configurator/popups/Placement.h"
#include "gui/base/LangTable.h"

namespace ids = configurator::ids;

namespace {
constexpr UINT kPopupTemplate = 129;

std::wstring Translated(const std::wstring& text) {
  std::wstring out;
  CLangTable::Translate(CurrentLangTable, text, out);
  return out;
}
}  // namespace

CMorvelPopup::CMorvelPopup(CWnd* parent, const std::wstring& skinFile)
    : CPopupBox(skinFile, kPopupTemplate, parent) {}

BOOL CMorvelPopup::OnInitDialog() {
  const BOOL result = CPopupBox::OnInitDialog();
  // Never seen (popups have no caption); it names the popup for tests and tools.
  SetWindowText(m_skinFile);
  configurator::CentreOverOwner(m_hWnd);
  return result;
}

BOOL CMorvelPopup::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (const CGUIItem* item = ItemOfWindow(reinterpret_cast<HWND>(lParam))) {
    if (item->id == ids::BUTTON_POPUP_OK) {
      OnOK();
      return TRUE;
    }
    if (item->id == ids::BUTTON_POPUP_CANCEL) {
      OnCancel();
      return TRUE;
    }
  }
  return CPopupBox::OnCommand(wParam, lParam);
}

CMorvelWarningDlg::CMorvelWarningDlg(CWnd* parent, const std::wstring& skinFile, const std::wstring* extraText)
    : CMorvelPopup(parent, skinFile), m_extraText(extraText) {}

void CMorvelWarningDlg::BindItems() { m_heading = Item(ids::TEXT_WARNDLG_HEADING); }

BOOL CMorvelWarningDlg::OnInitDialog() {
  const BOOL result = CMorvelPopup::OnInitDialog();
  if (m_heading != nullptr) {
    if (m_extraText != nullptr) configurator::SetItemText(m_heading, configurator::ItemText(m_heading) + *m_extraText);
    if (!m_headingText.empty()) configurator::SetItemText(m_heading, Translated(m_headingText));
  }
  return result;
}
