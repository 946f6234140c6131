// The right-click menu a skinned list opens over its rows. The popup list panel
// provides it; the lists need no more of the panel than this, so the controls
// do not reach up into the panels they are placed on.
#pragma once
#include <string>

#include "platform/Window.h"

namespace gui {
class IContextMenu {
 public:
  virtual ~IContextMenu() = default;
  // Opens the menu modally with its top-left corner at (x, y) in the window's
  // client coordinates; the height is the menu's own when 0. The chosen entry's
  // index or -1.
  virtual int TrackPopup(CWnd* window, int height, int x, int y) = 0;
  // The entry's text as the menu holds it (a "$" command key for a list's menu).
  virtual std::wstring GetLBText(int index) const = 0;
};
}  // namespace gui
