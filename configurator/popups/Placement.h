// Where a popup opens: centred over the window that owns it and kept on that
// window's monitor, so it appears beside the main window wherever that was moved.
#pragma once
#include <windows.h>

namespace configurator {

// The popup's rectangle moved so that its centre is the owner's centre, then
// moved back inside the work area where it sticks out (its top-left corner
// stays inside when it is larger than the work area). Its size is kept.
RECT CentredOver(const RECT& popup, const RECT& owner, const RECT& workArea);

// Moves the popup window over its owner window (its owner, else its parent);
// a popup without an owner stays where it is.
void CentreOverOwner(HWND popup);

}  // namespace configurator
