// The few things the configurator's windows do to a bound skin item whatever its
// class: enable it, check it, give it a text. Kept in one place so the windows'
// code reads the same for buttons, texts and the info panel.
#pragma once
#include <string>

#include "gui/base/GUIItem.h"

namespace configurator {

// Enables or disables the item's window; nothing for a null item or one without a window.
void EnableItem(CGUIItem* item, bool enable);
bool IsItemEnabled(const CGUIItem* item);
// The checked state of a button item.
void SetItemCheck(CGUIItem* item, bool checked);
bool IsItemChecked(const CGUIItem* item);
// The text an item shows (a text item's text, a button's caption).
void SetItemText(CGUIItem* item, const std::wstring& text);
std::wstring ItemText(const CGUIItem* item);

}  // namespace configurator
