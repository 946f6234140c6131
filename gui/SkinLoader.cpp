#include "gui/SkinLoader.h"

namespace SkinLoader {

// No element builders exist yet: nothing is built.
bool LoadFile(HWND, const std::wstring&, GUIItemList&) { return false; }

}  // namespace SkinLoader
