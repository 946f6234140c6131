#include "gui/skin/SkinBuilders.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "gui/skin/FontItem.h"
#include "gui/base/LangTable.h"
#include "gui/base/SkinNameTables.h"
#include "gui/skin/SkinResourceCache.h"
#include "platform/Strings.h"

namespace {

void AddTextOverride(CLangTable* table, int32_t itemId, const std::wstring& name, const std::wstring& text) {
  AddLanguageOverride(table, itemId, text.c_str(), (text.size() + 1) * sizeof(wchar_t), name);
}

// One LANGOVERRIDE: either `name` and one other attribute (that attribute's value
// for the named item), or `name` alone with a RECT child or state-image children.
void AddOverrides(CLangTable* table, const pugi::xml_node& element) {
  std::vector<pugi::xml_attribute> attributes;
  for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) attributes.push_back(a);
  auto isName = [](const pugi::xml_attribute& a) { return platform::EqualsNoCase(platform::Utf8ToWide(a.name()), L"name"); };

  if (attributes.size() == 2) {
    const bool first = isName(attributes[0]), second = isName(attributes[1]);
    // Neither or both being `name` leaves no target or no value: nothing to store.
    if (first == second) return;
    const pugi::xml_attribute& target = first ? attributes[0] : attributes[1];
    const pugi::xml_attribute& value = first ? attributes[1] : attributes[0];
    const int32_t itemId = FindSkinElementId(platform::Utf8ToWide(target.value()));
    const std::wstring name = platform::Utf8ToWide(value.name());
    // A rectangle override is 16 bytes by definition; text under that name is no rectangle.
    if (itemId == -1 || platform::EqualsNoCase(name, L"RECT")) return;
    AddTextOverride(table, itemId, name, platform::Utf8ToWide(value.value()));
    return;
  }
  if (attributes.size() != 1 || !isName(attributes[0])) return;
  const int32_t itemId = FindSkinElementId(platform::Utf8ToWide(attributes[0].value()));
  if (itemId == -1) return;
  if (const pugi::xml_node rect = element.child("RECT")) {
    const RECT r = ReadRectElement(rect);
    const int32_t values[4] = {r.left, r.top, r.right, r.bottom};
    AddLanguageOverride(table, itemId, values, sizeof(values), L"RECT");
    return;
  }
  for (const char* child : {"SBMN", "SBMO", "SBMD", "SBMDS", "SBMM"})
    if (const pugi::xml_node image = element.child(child))
      AddTextOverride(table, itemId, platform::Utf8ToWide(child), gui::ElementText(image));
}

const SkinElementBuilder kBuilders[] = {
    {"LANG", GUIKIND_LANG, BuildLanguage},
    {"KBLAYOUT", GUIKIND_KBLAYOUT, BuildKeyboardLayout},
    {"FONT", GUIKIND_FONT, BuildFont},
    {"BITMAPITEM", GUIKIND_BITMAPITEM, BuildBitmapItem},
    {"BITMAPWINDOW", GUIKIND_BITMAPWINDOW, BuildBitmapWindow},
    {"BUTTON", GUIKIND_BUTTON, BuildButton},
    {"PROFBUTTON", GUIKIND_PROFBUTTON, BuildProfileButton},
    {"AVIBUTTON", GUIKIND_AVIBUTTON, BuildAviButton},
    {"VSLIDER", GUIKIND_VSLIDER, BuildVertSlider},
    {"HSLIDERM", GUIKIND_HSLIDERM, BuildMultiSlider},
    {"HSLIDERMAPM", GUIKIND_HSLIDERMAPM, BuildApmSlider},
    {"DMARKER", GUIKIND_DMARKER, BuildMarker},
    {"DPISTAGEWINDOW", GUIKIND_DPISTAGEWINDOW, BuildDpiStageWindow},
    {"TEXTITEM", GUIKIND_TEXTITEM, BuildTextItem},
    {"EDITCTRL", GUIKIND_EDITCTRL, BuildEditCtrl},
    {"EDITCTRLSK", GUIKIND_EDITCTRLSK, BuildSingleKeyEdit},
    {"EDITCTRLSKMMO", GUIKIND_EDITCTRLSK, BuildSingleKeyEditMmo},
    {"KBDKEY", GUIKIND_KBDKEY, BuildKeyboardKey},
    {"MACRODISPLAY", GUIKIND_MACRODISPLAY, BuildMacroDisplay},
    {"LISTCTRL", GUIKIND_LISTCTRL, BuildListCtrl},
    {"COMBO", GUIKIND_COMBO, BuildCombo},
    {"LISTPANEL", GUIKIND_LISTPANEL, BuildListPanel},
};

}  // namespace

const GUIItemList& BuildContext::List() const {
  static const GUIItemList empty;
  return list ? *list : empty;
}

const SharedKeyBitmaps& BuildContext::SharedBitmaps() const {
  static const SharedKeyBitmaps none;
  return sharedBitmaps ? *sharedBitmaps : none;
}

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

LOGFONTW gui::ReadFontDescription(const pugi::xml_node& element) {
  LOGFONTW font{};
  font.lfPitchAndFamily = FF_SWISS | DEFAULT_PITCH;
  const std::wstring face = gui::AttrText(element, "typeface");
  // A face name longer than the LOGFONT field is cut to fit (the field keeps its terminator).
  if (!face.empty()) face.copy(font.lfFaceName, LF_FACESIZE - 1);
  const int32_t pitch = gui::ParseSkinInt(element.attribute("pitch").as_string());
  if (pitch > 0) font.lfHeight = pitch;
  const int32_t weight = gui::ParseSkinInt(element.attribute("boldlevel").as_string());
  if (weight > 0) font.lfWeight = weight;
  return font;
}

CGUIItem* BuildFont(const pugi::xml_node& element, const BuildContext& context) {
  const int32_t id = ReadSkinId(element);
  if (id == -1) return nullptr;
  const LOGFONTW description = gui::ReadFontDescription(element);
  auto* item = new CFontItem();
  // The font file is registered with the system before the font is made from it.
  const std::wstring file = platform::Trim(gui::ElementText(element));
  if (!file.empty()) SkinResourceCache::Get(file, kSkinFont);
  item->CreateFontIndirect(description);
  item->id = id;
  item->kind = GUIKIND_FONT;
  item->hwnd = nullptr;
  item->parent = context.parent;
  return item;
}

CGUIItem* BuildLanguage(const pugi::xml_node& element, const BuildContext& context) {
  const int32_t id = ReadSkinId(element);
  if (id == -1) return nullptr;
  const SkinResource* file = GetLangFileUtf8(element.attribute("file").as_string());
  if (!file || !file->handle) return nullptr;
  auto* table = new CLangTable();
  // A file without pairs still gives a table (its overrides may matter).
  const std::span<const uint8_t> text = file->Bytes();
  CLangTable::ParseTextFile(text.size(), text.data(), table);

  for (pugi::xml_node font = element.child("LANGFONT"); font; font = font.next_sibling("LANGFONT")) {
    const int32_t search = FindSkinElementId(gui::AttrText(font, "fontsearch"));
    if (search == -1) continue;
    const int32_t replace = FindSkinElementId(gui::AttrText(font, "fontreplace"));
    if (replace == -1) continue;
    table->m_fontReplacements[search] = replace;
  }
  for (pugi::xml_node o = element.child("LANGOVERRIDE"); o; o = o.next_sibling("LANGOVERRIDE")) AddOverrides(table, o);

  table->id = id;
  table->kind = GUIKIND_LANG;
  table->hwnd = nullptr;
  table->parent = context.parent;
  return table;
}

CGUIItem* BuildKeyboardLayout(const pugi::xml_node& element, const BuildContext& context) {
  const int32_t id = ReadSkinId(element);
  if (id == -1) return nullptr;
  auto* layout = new CKeyboardLayoutSetting();
  layout->m_layoutName = gui::AttrText(element, "kbdlayout");
  layout->m_itemSet = gui::AttrText(element, "kbditems");
  layout->id = id;
  layout->kind = GUIKIND_KBLAYOUT;
  layout->hwnd = nullptr;
  layout->parent = context.parent;
  return layout;
}
