// Reads a skin XML file and appends the items its elements build to a list.
//
// A file is one of three kinds, told by its root: KEYBOARD (the keyboard
// definition, then sections), GUIPANEL (a panel's background and mask images,
// then sections) or ITEMLIST (sections only). The thirteen sections are walked in
// a fixed order, which fixes the order of the list: fonts come before the items
// that name them, bitmap items before the items placed on them.
#pragma once
#include <windows.h>

#include <pugixml.hpp>

#include <cstdint>
#include <map>
#include <string>

#include "gui/base/GUIItem.h"
// RequestedLanguageId, LanguageTables, KeyboardLayoutSwitcher: what the
// LANGUAGES and KEYBOARD LAYOUTS sections read and fill. The skin readers
// consult the overrides of CurrentLangTable.
#include "gui/base/SkinGlobals.h"

class SkinLoader {
 public:
  // Builds the items of the skin file at `path` (parented to `parent`) into `list`.
  // False when the file cannot be read or parsed, its root is not a skin root, or
  // a required part (keyboard definition, panel background or mask) fails; items
  // built before a failure stay in the list.
  static bool LoadFile(HWND parent, const std::wstring& path, GUIItemList& list);
  static bool LoadFile(HWND parent, const std::wstring& path, GUIItemList* list);
};

// One section: finds its list element under the container and builds its item
// elements. Returns (elements met << 16) | (items built), each at most 0xFFFF.
using SkinSectionHandler = uint32_t (*)(const pugi::xml_node& container, GUIItemList& list, HWND parent);

struct SkinSection {
  const wchar_t* title;  // a label only
  SkinSectionHandler handler;
};

inline constexpr int kSkinSectionCount = 13;
extern const SkinSection SkinSectionTable[kSkinSectionCount];

// Runs the thirteen sections on the container in table order.
namespace gui {
void RunSkinSections(const pugi::xml_node& container, GUIItemList& list, HWND parent);
}  // namespace gui

// Loads AppFolder + "xml\" + fileName into the list. Returns true whatever the
// loader reports: a failed load shows only as missing items.
bool LoadSkinFile(GUIItemList& list, const std::wstring& fileName, HWND parent);

namespace gui {
// AppFolder + "xml\" + fileName: where a skin file is read from.
std::wstring SkinFilePath(const std::wstring& fileName);
// LoadSkinFile, telling whether the file loaded (false also for a name outside
// "xml\" or beyond the path limit).
bool TryLoadSkinFile(GUIItemList& list, const std::wstring& fileName, HWND parent);
}  // namespace gui
