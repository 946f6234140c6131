#include "gui/skin/SkinReaders.h"

#include <algorithm>
#include <cstring>

#include "device/KeyboardDef.h"
#include "gui/skin/FontItem.h"
#include "gui/base/LangTable.h"
#include "gui/skin/SkinLoader.h"
#include "gui/base/SkinNameTables.h"
#include "gui/skin/SkinResourceCache.h"
#include "gui/controls/VScrollBar.h"
#include "platform/Strings.h"

namespace {

bool IsBlank(unsigned ch) { return ch == ' ' || (ch >= '\t' && ch <= '\r'); }

template <typename Char>
int32_t ParseInt(std::basic_string_view<Char> text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(static_cast<unsigned>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{INT32_MAX} + 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit) value = kLimit;  // saturates; the digits that follow change nothing
  }
  if (negative) value = -value;
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

int32_t ClampCoord(int64_t value) { return static_cast<int32_t>(std::clamp<int64_t>(value, gui::kSkinCoordMin, gui::kSkinCoordMax)); }

int32_t SkinIdOf(std::wstring_view text) { return text.empty() ? -1 : FindSkinElementId(text); }

HBITMAP CachedImage(const std::wstring& name) {
  const std::wstring trimmed = platform::Trim(name);
  if (trimmed.empty()) return nullptr;
  return static_cast<HBITMAP>(SkinResourceCache::Get(trimmed, kSkinImage).handle);
}

}  // namespace

int32_t gui::ParseSkinInt(std::string_view text) { return ParseInt(text); }
int32_t gui::ParseSkinInt(std::wstring_view text) { return ParseInt(text); }

bool gui::ParseSkinFlag(std::string_view text) {
  if (text.empty()) return false;
  return std::strchr("1TYty", text[0]) != nullptr && text[0] != '\0';
}

std::wstring gui::AttrText(const pugi::xml_node& node, const char* name) {
  return platform::Utf8ToWide(node.attribute(name).as_string());
}

std::wstring gui::ElementText(const pugi::xml_node& node) { return platform::Utf8ToWide(node.child_value()); }

int32_t ReadSkinId(const pugi::xml_node& node) { return SkinIdOf(gui::AttrText(node, "name")); }

RECT ReadRectElement(const pugi::xml_node& rect) {
  if (!rect) return RECT{0, 0, 0, 0};
  return RECT{ClampCoord(gui::ParseSkinInt(rect.attribute("left").as_string())),
              ClampCoord(gui::ParseSkinInt(rect.attribute("top").as_string())),
              ClampCoord(gui::ParseSkinInt(rect.attribute("right").as_string())),
              ClampCoord(gui::ParseSkinInt(rect.attribute("bottom").as_string()))};
}

RECT ReadItemRect(const pugi::xml_node& node, int32_t itemId, gui::RectForm form) {
  RECT rect{};
  RECT overridden{};
  if (FindLanguageOverrideRect(CurrentLangTable, itemId, overridden)) {
    rect = RECT{ClampCoord(overridden.left), ClampCoord(overridden.top), ClampCoord(overridden.right),
                ClampCoord(overridden.bottom)};
  } else {
    rect = ReadRectElement(node.child("RECT"));
  }
  if (form == gui::RectForm::WidthHeight) {
    rect.right = ClampCoord(int64_t{rect.left} + rect.right);
    rect.bottom = ClampCoord(int64_t{rect.top} + rect.bottom);
  }
  return rect;
}

HBITMAP ReadBitmap(const pugi::xml_node& node, const char* child) {
  return CachedImage(gui::ElementText(node.child(child)));
}

HBITMAP ReadBitmapOverride(const pugi::xml_node& node, const char* child, int32_t itemId) {
  std::wstring name;
  if (FindLanguageOverrideText(CurrentLangTable, itemId, platform::Utf8ToWide(child), name)) return CachedImage(name);
  return ReadBitmap(node, child);
}

bool ReadStateBitmaps(const pugi::xml_node& node, int32_t itemId, StateBitmaps& out) {
  if (node.child("SBMN")) {
    out.normal = ReadBitmapOverride(node, "SBMN", itemId);
    out.over = ReadBitmapOverride(node, "SBMO", itemId);
    out.down = ReadBitmapOverride(node, "SBMD", itemId);
    out.downSelected = ReadBitmapOverride(node, "SBMDS", itemId);
    out.mask = ReadBitmapOverride(node, "SBMM", itemId);
  }
  out.rect = ReadItemRect(node, itemId, gui::RectForm::WidthHeight);
  return out.normal != nullptr;
}

bool ReadColourAttr(const pugi::xml_node& node, const char* name, COLORREF& colour) {
  const pugi::xml_attribute attribute = node.attribute(name);
  if (!attribute) return false;
  colour = static_cast<COLORREF>(FindColourByName(platform::Utf8ToWide(attribute.as_string())));
  return true;
}

bool ReadTooltip(const pugi::xml_node& node, std::wstring& text) {
  const pugi::xml_attribute attribute = node.attribute("tooltip");
  if (!attribute) return false;
  text = platform::Utf8ToWide(attribute.as_string());
  return true;
}

int ReadCaps(const pugi::xml_node& node, int32_t itemId) {
  std::wstring text;
  if (!FindLanguageOverrideText(CurrentLangTable, itemId, L"caps", text)) text = gui::AttrText(node, "caps");
  if (text.empty()) return 0;
  return text[0] == L'L' ? 2 : text[0] == L'U' ? 1 : 0;
}

wchar_t ReadJustify(const pugi::xml_node& node) {
  const char* text = node.attribute("justify").as_string();
  return text[0] == 'C' ? L'C' : text[0] == 'R' ? L'R' : L'L';
}

bool ReadMultiline(const pugi::xml_node& node, int32_t itemId) {
  std::wstring text;
  if (!FindLanguageOverrideText(CurrentLangTable, itemId, L"multiline", text)) text = gui::AttrText(node, "multiline");
  return gui::ParseSkinInt(text) == 1;
}

bool ReadIsCheckbox(const pugi::xml_node& node) { return gui::ParseSkinFlag(node.attribute("ischeckbox").as_string()); }
bool ReadInteractive(const pugi::xml_node& node) { return gui::ParseSkinFlag(node.attribute("interactive").as_string()); }

CGUIItem* ReadWindowRef(const pugi::xml_node& node, const char* name, const GUIItemList& list) {
  const int32_t id = SkinIdOf(gui::AttrText(node, name));
  if (id == -1) return nullptr;
  CGUIItem* item = FindItemById(list, id);
  return item && item->kind == GUIKIND_BITMAPITEM ? item : nullptr;
}

CFontItem* ReadFontRef(const pugi::xml_node& node, int32_t itemId, const GUIItemList& list) {
  const int32_t attributeId = SkinIdOf(gui::AttrText(node, "fontid"));
  int32_t fontId = -1;
  std::wstring overridden;
  if (FindLanguageOverrideText(CurrentLangTable, itemId, L"fontid", overridden)) {
    fontId = SkinIdOf(overridden);
  } else {
    if (attributeId == -1) return nullptr;
    const int32_t replacement = gui::FindFontReplacement(attributeId);
    fontId = replacement != 0 ? replacement : attributeId;
  }
  if (fontId == -1) fontId = attributeId;
  if (fontId == -1) return nullptr;
  auto fontOf = [&list](int32_t id) -> CFontItem* {
    CGUIItem* item = FindItemById(list, id);
    return item && item->kind == GUIKIND_FONT ? static_cast<CFontItem*>(item) : nullptr;
  };
  // A language's font that this file does not define leaves the file's own
  // font in use: the control would otherwise draw in the system font.
  CFontItem* font = fontOf(fontId);
  if (font == nullptr && attributeId != -1 && attributeId != fontId) font = fontOf(attributeId);
  return font;
}

void ReadScrollBitmaps(const pugi::xml_node& node, ScrollBitmaps& out) {
  const pugi::xml_node scroll = node.child("VSCROLL");
  if (!scroll) return;
  HBITMAP thumb = ReadBitmap(scroll, "VSBMP_TMB");
  if (!thumb) return;
  BITMAP info{};
  if (!GetObjectW(thumb, sizeof(info), &info)) return;
  out.top = ReadBitmap(scroll, "VSBMP_TOP");
  out.bottom = ReadBitmap(scroll, "VSBMP_BOT");
  out.arrowUp = ReadBitmap(scroll, "VSBMP_AUP");
  out.arrowDown = ReadBitmap(scroll, "VSBMP_ADN");
  out.span = ReadBitmap(scroll, "VSBMP_SPN");
  out.thumb = thumb;
  out.thumbWidth = info.bmWidth;
}

CVScrollBar* CreateScrollBar(const pugi::xml_node& node, CWnd* owner) {
  ScrollBitmaps images;
  ReadScrollBitmaps(node, images);
  auto* bar = new CVScrollBar(owner);
  bar->SetBitmaps(images.top, images.bottom, images.arrowUp, images.arrowDown, images.span, images.thumb);
  return bar;
}

SharedKeyBitmaps ReadSharedKeyBitmaps(const pugi::xml_node& buttonBitmaps) {
  SharedKeyBitmaps bitmaps;
  for (const char* name : {"SBMN", "SBMO", "SBMD", "SBMDS", "SBMM"})
    bitmaps.push_back(SharedBitmap{platform::Utf8ToWide(name), ReadBitmap(buttonBitmaps, name)});
  return bitmaps;
}

HBITMAP FindSharedBitmap(const SharedKeyBitmaps& bitmaps, std::wstring_view name) {
  for (const SharedBitmap& bitmap : bitmaps)
    if (platform::EqualsNoCase(bitmap.name, name)) return bitmap.image;
  return nullptr;
}

const KeyDefinition* ReadKeyDefinitionRef(const pugi::xml_node& node) {
  const pugi::xml_attribute attribute = node.attribute("kbddefid");
  if (!attribute) return nullptr;
  const int32_t keyId = HashKeyName(platform::Utf8ToWide(attribute.as_string()));
  const auto& definitions = GlobalKeyboardDef().DefinitionsById();
  const auto found = definitions.find(keyId);
  if (found == definitions.end() || found->second.name.empty()) return nullptr;
  return &found->second;
}
