#include "configurator/MainWindow.h"

namespace {

constexpr UINT kMainTemplate = 102;
// Magenta pixels of the skin are see-through.
constexpr COLORREF kColourKey = RGB(255, 0, 255);

}  // namespace

CMorvelAppDlg::CMorvelAppDlg() : CGUIPanel(L"MainPage.xml", kMainTemplate, nullptr) {}

BOOL CMorvelAppDlg::OnInitDialog() {
  const BOOL result = CGUIPanel::OnInitDialog();
  ModifyStyleEx(0, WS_EX_LAYERED);
  ::SetLayeredWindowAttributes(m_hWnd, kColourKey, 0, LWA_COLORKEY);
  SetWindowText(L"Tavrik Kestrane Ovrix Configurator");
  BindItems();
  return result;
}
