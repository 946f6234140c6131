// For tests of popups that run their own modal loop inside a click: finding
// the popup window on top and talking to its list.
#pragma once
#include <windows.h>

#include <vector>

namespace gui::testing {

// The visible dialog windows of this thread, oldest owner first (a sub-list's
// popup comes after the popup that opened it).
std::vector<HWND> OpenPopups();
// The innermost open popup, or null.
HWND TopPopup();
// The first child of the popup that is a list view, or null.
HWND PopupList(HWND popup);
// The rectangle of a list view's row (LVM_GETITEMRECT, LVIR_BOUNDS).
RECT RowRect(HWND list, int row);
POINT Centre(const RECT& rect);
// Posts a key press to the window, so it passes through PreTranslateMessage.
void PostKey(HWND window, WPARAM key);
// Sends a left (or right) button-down at a client point.
void SendClick(HWND window, POINT pt, UINT message = WM_LBUTTONDOWN);

}  // namespace gui::testing
