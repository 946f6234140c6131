#include "configurator/popups/Placement.h"

#include <algorithm>

namespace configurator {

RECT CentredOver(const RECT& popup, const RECT& owner, const RECT& workArea) {
  const LONG width = popup.right - popup.left;
  const LONG height = popup.bottom - popup.top;
  LONG left = owner.left + ((owner.right - owner.left) - width) / 2;
  LONG top = owner.top + ((owner.bottom - owner.top) - height) / 2;
  // The right and bottom edges first, so a popup larger than the work area
  // keeps its top-left corner (and its heading) on the screen.
  left = std::max(std::min(left, workArea.right - width), workArea.left);
  top = std::max(std::min(top, workArea.bottom - height), workArea.top);
  return RECT{left, top, left + width, top + height};
}

void CentreOverOwner(HWND popup) {
  if (popup == nullptr) return;
  HWND owner = ::GetWindow(popup, GW_OWNER);
  if (owner == nullptr) owner = ::GetParent(popup);
  if (owner == nullptr) return;
  RECT ownerRect{}, popupRect{};
  if (!::GetWindowRect(owner, &ownerRect) || !::GetWindowRect(popup, &popupRect)) return;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  if (!::GetMonitorInfoW(::MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor)) return;
  const RECT placed = CentredOver(popupRect, ownerRect, monitor.rcWork);
  ::SetWindowPos(popup, nullptr, placed.left, placed.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace configurator
