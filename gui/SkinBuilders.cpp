#include "gui/SkinBuilders.h"

#include <algorithm>
#include <iterator>

#include "gui/FontItem.h"
#include "gui/SkinResourceCache.h"
#include "platform/Strings.h"

namespace {

GUIItemList& ListOf(const BuildContext& c) {
  // Sections always pass their list; an empty one stands in for a caller that has none.
  static GUIItemList empty;
  return c.list ? *c.list : empty;
}

const SharedKeyBitmaps& SharedOf(const BuildContext& c) {
  static const SharedKeyBitmaps none;
  return c.sharedBitmaps ? *c.sharedBitmaps : none;
}

const SkinElementBuilder kBuilders[] = {
    {"LANG", GUIKIND_LANG, [](const pugi::xml_node& e, const BuildContext& c) { return BuildLanguage(e, c.parent); }},
    {"KBLAYOUT", GUIKIND_KBLAYOUT,
     [](const pugi::xml_node& e, const BuildContext& c) { return BuildKeyboardLayout(e, c.parent); }},
    {"FONT", GUIKIND_FONT, [](const pugi::xml_node& e, const BuildContext& c) { return BuildFont(e, c.parent); }},
    {"BITMAPITEM", GUIKIND_BITMAPITEM,
     [](const pugi::xml_node& e, const BuildContext& c) { return BuildBitmapItem(e, c.parent); }},
    {"BITMAPWINDOW", GUIKIND_BITMAPWINDOW,
     [](const pugi::xml_node& e, const BuildContext& c) { return BuildBitmapWindow(e, c.parent, ListOf(c)); }},
    {"BUTTON", GUIKIND_BUTTON,
     [](const pugi::xml_node& e, const BuildContext& c) { return BuildButton(e, c.parent, ListOf(c)); }},
    {"PROFBUTTON", GUIKIND_PROFBUTTON,
     [](const pugi::xml_node& e, const BuildContext& c) { return BuildProfileButton(e, c.parent); }},
    {"AVIBUTTON", GUIKIND_AVIBUTTON,
     [](const pugi::xml_node& e, const BuildContext& c) { return BuildAviButton(e, c.parent); }},
    {"VSLIDER", GUIKIND_VSLIDER,
     [](const pugi::xml_node& e, const BuildContext& c) { return BuildVertSlider(e, c.parent); }},
    {"HSLIDERM", GUIKIND_HSLIDERM,
     [](const pugi::xml_node& e, const BuildContext& c) { return BuildMultiSlider(e, c.parent, ListOf(c)); }},
    {"HSLIDERMAPM", GUIKIND_HSLIDERMAPM,
     [](const pugi::xml_node& e, const BuildContext& c) { return BuildApmSlider(e, ListOf(c)); }},
    {"DMARKER", GUIKIND_DMARKER, [](const pugi::xml_node& e, const BuildContext& c) { return BuildMarker(e, c.parent); }},
    {"DPISTAGEWINDOW", GUIKIND_DPISTAGEWINDOW,
     [](const pugi::xml_node& e, const BuildContext& c) {
       return BuildDpiStageWindow(e, c.parent, ListOf(c), c.stageIndex);
     }},
    {"TEXTITEM", GUIKIND_TEXTITEM,
     [](const pugi::xml_node& e, const BuildContext& c) { return BuildTextItem(e, c.parent, ListOf(c)); }},
    {"EDITCTRL", GUIKIND_EDITCTRL,
     [](const pugi::xml_node& e, const BuildContext& c) { return BuildEditCtrl(e, c.parent, ListOf(c)); }},
    {"EDITCTRLSK", GUIKIND_EDITCTRLSK,
     [](const pugi::xml_node& e, const BuildContext& c) { return BuildSingleKeyEdit(e, c.parent, ListOf(c)); }},
    {"EDITCTRLSKMMO", GUIKIND_EDITCTRLSK,
     [](const pugi::xml_node& e, const BuildContext& c) { return BuildSingleKeyEditMmo(e, c.parent, ListOf(c)); }},
    {"KBDKEY", GUIKIND_KBDKEY,
     [](const pugi::xml_node& e, const BuildContext& c) {
       return BuildKeyboardKey(e, c.parent, ListOf(c), SharedOf(c), c.panelWindow);
     }},
    {"MACRODISPLAY", GUIKIND_MACRODISPLAY,
     [](const pugi::xml_node& e, const BuildContext& c) { return BuildMacroDisplay(e, c.parent, ListOf(c)); }},
    {"LISTCTRL", GUIKIND_LISTCTRL,
     [](const pugi::xml_node& e, const BuildContext& c) { return BuildListCtrl(e, c.parent, ListOf(c)); }},
    {"COMBO", GUIKIND_COMBO,
     [](const pugi::xml_node& e, const BuildContext& c) { return BuildCombo(e, c.parent, ListOf(c)); }},
    {"LISTPANEL", GUIKIND_LISTPANEL,
     [](const pugi::xml_node& e, const BuildContext& c) { return BuildListPanel(e, c.parent, ListOf(c)); }},
};

}  // namespace

std::span<const SkinElementBuilder> SkinElementBuilders() { return kBuilders; }

const SkinElementBuilder* FindElementBuilder(std::string_view element) {
  const auto found = std::find_if(std::begin(kBuilders), std::end(kBuilders),
                                  [&](const SkinElementBuilder& row) { return element == row.element; });
  return found == std::end(kBuilders) ? nullptr : &*found;
}

CGUIItem* BuildElement(const pugi::xml_node& element, const BuildContext& context) {
  const SkinElementBuilder* row = FindElementBuilder(element.name());
  return row ? row->build(element, context) : nullptr;
}

LOGFONTW ReadFontDescription(const pugi::xml_node& element) {
  LOGFONTW font{};
  font.lfPitchAndFamily = FF_SWISS | DEFAULT_PITCH;
  const std::wstring face = AttrText(element, "typeface");
  // A face name longer than the LOGFONT field is cut to fit (the field keeps its terminator).
  if (!face.empty()) face.copy(font.lfFaceName, LF_FACESIZE - 1);
  const int32_t pitch = ParseSkinInt(element.attribute("pitch").as_string());
  if (pitch > 0) font.lfHeight = pitch;
  const int32_t weight = ParseSkinInt(element.attribute("boldlevel").as_string());
  if (weight > 0) font.lfWeight = weight;
  return font;
}

CGUIItem* BuildFont(const pugi::xml_node& element, HWND parent) {
  const int32_t id = ReadSkinId(element);
  if (id == -1) return nullptr;
  const LOGFONTW description = ReadFontDescription(element);
  auto* item = new CFontItem();
  // The font file is registered with the system before the font is made from it.
  const std::wstring file = platform::Trim(ElementText(element));
  if (!file.empty()) SkinResourceCache::Get(file, kSkinFont);
  item->CreateFontIndirect(description);
  item->id = id;
  item->kind = GUIKIND_FONT;
  item->hwnd = nullptr;
  item->parent = parent;
  return item;
}
