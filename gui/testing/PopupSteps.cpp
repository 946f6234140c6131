#include "gui/testing/PopupSteps.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

namespace gui::testing {

namespace {
BOOL CALLBACK CollectDialogs(HWND hwnd, LPARAM param) {
  wchar_t name[16] = {};
  ::GetClassNameW(hwnd, name, 16);
  if (::IsWindowVisible(hwnd) && std::wstring(name) == L"#32770")
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
  return TRUE;
}
}  // namespace

std::vector<HWND> OpenPopups() {
  std::vector<HWND> found;
  ::EnumThreadWindows(::GetCurrentThreadId(), CollectDialogs, reinterpret_cast<LPARAM>(&found));
  // Owners before the popups they own.
  auto depth = [](HWND hwnd) {
    int d = 0;
    for (HWND owner = ::GetWindow(hwnd, GW_OWNER); owner; owner = ::GetWindow(owner, GW_OWNER)) ++d;
    return d;
  };
  std::stable_sort(found.begin(), found.end(), [&](HWND a, HWND b) { return depth(a) < depth(b); });
  return found;
}

HWND TopPopup() {
  const auto popups = OpenPopups();
  return popups.empty() ? nullptr : popups.back();
}

HWND PopupList(HWND popup) {
  for (HWND child = ::GetWindow(popup, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[32] = {};
    ::GetClassNameW(child, name, 32);
    if (std::wstring(name) == WC_LISTVIEWW) return child;
  }
  return nullptr;
}

RECT RowRect(HWND list, int row) {
  RECT rect{};
  rect.left = LVIR_BOUNDS;
  ::SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
  return rect;
}

POINT Centre(const RECT& rect) { return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}; }

void PostKey(HWND window, WPARAM key) {
  ::PostMessageW(window, WM_KEYDOWN, key, 1);
  ::PostMessageW(window, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001));
}

void SendClick(HWND window, POINT pt, UINT message) {
  const WPARAM flags = message == WM_RBUTTONDOWN ? MK_RBUTTON : MK_LBUTTON;
  ::SendMessageW(window, message, flags, MAKELPARAM(pt.x, pt.y));
}

}  // namespace gui::testing
