#include "gui/Messages.h"

namespace gui {

UINT ComboListVkReturnMessage() {
  static const UINT id = ::RegisterWindowMessageW(L"WM_XCOMBOLIST_VK_RETURN");
  return id;
}
UINT ComboListVkEscapeMessage() {
  static const UINT id = ::RegisterWindowMessageW(L"WM_XCOMBOLIST_VK_ESCAPE");
  return id;
}
UINT ComboListKeyDownMessage() {
  static const UINT id = ::RegisterWindowMessageW(L"WM_XCOMBOLIST_KEYDOWN");
  return id;
}
UINT ComboListLButtonUpMessage() {
  static const UINT id = ::RegisterWindowMessageW(L"WM_XCOMBOLIST_LBUTTONUP");
  return id;
}

}  // namespace gui
