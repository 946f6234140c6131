// The readers every element builder shares: skin ids, numbers, flags, rectangles,
// images, colours, fonts and window links, each consulting the language table in
// force for a per-language override before the skin file's own value.
#pragma once
#include <windows.h>

#include <pugixml.hpp>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "gui/base/GUIItem.h"

class CFontItem;
struct KeyDefinition;

namespace gui {

// Coordinates in skin files are clamped to this range, so that left + width and
// every later sum of coordinates stays far from 32-bit overflow.
inline constexpr int32_t kSkinCoordMin = -32768;
inline constexpr int32_t kSkinCoordMax = 32767;

// A decimal number as atoi reads one (leading blanks, optional sign, digits up to
// the first other character, no digits give 0), saturated to the 32-bit range.
int32_t ParseSkinInt(std::string_view text);
int32_t ParseSkinInt(std::wstring_view text);
// True when the text begins with "1", "T", "Y", "t" or "y".
bool ParseSkinFlag(std::string_view text);

// Attribute and element texts converted to UTF-16; missing reads as empty.
std::wstring AttrText(const pugi::xml_node& node, const char* name);
// The element's first text or CDATA child, empty when it has none.
std::wstring ElementText(const pugi::xml_node& node);

// The font id that the language table in force puts in place of `fontId`, 0 for none.
int32_t FindFontReplacement(int32_t fontId);

// Rectangle forms of ReadItemRect: in width/height form right and bottom are
// widths added to left and top; the list panel's rectangle holds absolute right
// and bottom.
enum class RectForm { WidthHeight, Absolute };

}  // namespace gui

// The skin element id of the `name` attribute; -1 when missing or unknown.
int32_t ReadSkinId(const pugi::xml_node& node);

// The item rectangle from the `RECT` child (or the "RECT" override of the item).
RECT ReadItemRect(const pugi::xml_node& node, int32_t itemId, gui::RectForm form = gui::RectForm::WidthHeight);
// The four values of a `RECT` element as written, each clamped to the coordinate
// range; all 0 when the element is missing.
RECT ReadRectElement(const pugi::xml_node& rect);

// The cached "skins\" image named by the text of the child element, or null.
HBITMAP ReadBitmap(const pugi::xml_node& node, const char* child);
// As ReadBitmap, but the item's override of the child's name wins.
HBITMAP ReadBitmapOverride(const pugi::xml_node& node, const char* child, int32_t itemId);

struct StateBitmaps {
  HBITMAP normal = nullptr;
  HBITMAP over = nullptr;
  HBITMAP down = nullptr;
  HBITMAP downSelected = nullptr;
  HBITMAP mask = nullptr;
  RECT rect{};
};
// The five state images (only when an `SBMN` child exists; otherwise they are
// left as they were) and the width/height rectangle; true when the normal image
// was found.
bool ReadStateBitmaps(const pugi::xml_node& node, int32_t itemId, StateBitmaps& out);

// True when the attribute exists; the colour is the colour table's value for its
// name, 0xFFFFFFFF for an unknown name.
bool ReadColourAttr(const pugi::xml_node& node, const char* name, COLORREF& colour);
bool ReadTooltip(const pugi::xml_node& node, std::wstring& text);
// 2 for lower case ("L..."), 1 for upper case ("U..."), 0 otherwise.
int ReadCaps(const pugi::xml_node& node, int32_t itemId);
// 'C', 'R' or 'L'.
wchar_t ReadJustify(const pugi::xml_node& node);
bool ReadMultiline(const pugi::xml_node& node, int32_t itemId);
bool ReadIsCheckbox(const pugi::xml_node& node);
bool ReadInteractive(const pugi::xml_node& node);

// The bitmap item (kind 1) of the list whose skin id is the attribute's text, or null.
CGUIItem* ReadWindowRef(const pugi::xml_node& node, const char* name, const GUIItemList& list);
// The font item the element's `fontid` names (after the language's override and
// font replacement), or null when it names none or a non-font item.
CFontItem* ReadFontRef(const pugi::xml_node& node, int32_t itemId, const GUIItemList& list);

struct ScrollBitmaps {
  HBITMAP top = nullptr;
  HBITMAP bottom = nullptr;
  HBITMAP arrowUp = nullptr;
  HBITMAP arrowDown = nullptr;
  HBITMAP span = nullptr;
  HBITMAP thumb = nullptr;
  int thumbWidth = 0;
};
// The `VSCROLL` child's six images; nothing is filled (and the width stays 0)
// when the child is missing or its thumb image cannot be loaded.
void ReadScrollBitmaps(const pugi::xml_node& node, ScrollBitmaps& out);

// A scroll bar for the owner window with the element's six scroll images (null
// where missing), not yet created as a window. The caller owns it.
class CVScrollBar;
class CWnd;
CVScrollBar* CreateScrollBar(const pugi::xml_node& node, CWnd* owner);

// The images under a key list's `BUTTONBITMAPS` that every key of the list shares.
struct SharedBitmap {
  std::wstring name;  // SBMN, SBMO, SBMD, SBMDS, SBMM
  HBITMAP image = nullptr;
};
using SharedKeyBitmaps = std::vector<SharedBitmap>;
SharedKeyBitmaps ReadSharedKeyBitmaps(const pugi::xml_node& buttonBitmaps);
// The image of that name (without regard to case), or null when it is absent.
HBITMAP FindSharedBitmap(const SharedKeyBitmaps& bitmaps, std::wstring_view name);

// The definition of the key named by the element's `kbddefid` in the program's
// keyboard definition, or null. The look-up never adds an entry to the key map.
const KeyDefinition* ReadKeyDefinitionRef(const pugi::xml_node& node);
