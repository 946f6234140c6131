// Reads a skin XML file and appends the items its elements build to a list.
#pragma once
#include <windows.h>

#include <string>

#include "gui/GUIItem.h"

namespace SkinLoader {
// Builds the items of the skin file at `path` (parented to `parent`) into `list`.
// False when the file cannot be read or its root is not a skin root.
bool LoadFile(HWND parent, const std::wstring& path, GUIItemList& list);
}  // namespace SkinLoader
