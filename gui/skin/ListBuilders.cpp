// Builders of the list elements: MACRODISPLAY, LISTCTRL, COMBO and LISTPANEL.
// A list whose columns cannot all be made is refused as a whole.
#include <algorithm>
#include <memory>
#include <vector>

#include "gui/controls/MacroDisplayItem.h"
#include "gui/controls/XListCtrl.h"
#include "gui/panels/DropdownListItem.h"
#include "gui/panels/ListPanel.h"
#include "gui/skin/FontItem.h"
#include "gui/skin/SkinBuilders.h"
#include "gui/base/SkinNameTables.h"
#include "platform/Strings.h"

namespace {

constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL;  // 0x50000005
constexpr DWORD kListExtraStyles = LVS_EX_FULLROWSELECT | LVS_EX_FLATSB | LVS_EX_DOUBLEBUFFER;  // 0x10120
constexpr DWORD kComboStyle = WS_CHILD | WS_VISIBLE | SS_NOTIFY;  // 0x50000100

template <typename Item>
Item* WithHeader(Item* item, int32_t id, GUIItemKind kind, HWND window, HWND parent) {
  item->id = id;
  item->kind = kind;
  item->hwnd = window;
  item->parent = parent;
  return item;
}

// Numbers of sizes: below 0 counts as 0; above the coordinate range they are
// cut to it (a gap of two billion spaces, or twice a border width, must not
// overflow what is made of them).
int ReadSize(const pugi::xml_node& node, const char* name) {
  return std::clamp<int32_t>(gui::ParseSkinInt(node.attribute(name).as_string()), 0, gui::kSkinCoordMax);
}

CFontItem* FontOf(const pugi::xml_node& element, int32_t id, const BuildContext& context) {
  return context.list ? ReadFontRef(element, id, *context.list) : nullptr;
}

// Each colour attribute present goes to its slot, in the order given.
void ReadColours(const pugi::xml_node& element, std::initializer_list<std::pair<const char*, COLORREF*>> slots) {
  for (const auto& [name, slot] : slots) {
    COLORREF colour = 0;
    if (ReadColourAttr(element, name, colour)) *slot = colour;
  }
}

std::wstring TrimmedText(const pugi::xml_node& node) { return platform::Trim(gui::ElementText(node)); }

ScrollBarBitmaps ToArray(const ScrollBitmaps& s) {
  return ScrollBarBitmaps{s.top, s.bottom, s.arrowUp, s.arrowDown, s.span, s.thumb};
}

}  // namespace

CGUIItem* BuildMacroDisplay(const pugi::xml_node& element, const BuildContext& context) {
  const int32_t id = ReadSkinId(element);
  if (id == -1) return nullptr;
  const int maximum = ReadSize(element, "max");
  const bool readOnly = gui::ParseSkinFlag(element.attribute("readonly").as_string());
  auto item = std::make_unique<CMacroDisplayItem>(maximum, readOnly);
  ReadColours(element, {{"fontclr", &item->m_textColour},
                        {"fontclrhi", &item->m_selectedTextColour},
                        {"backclr", &item->m_backColour},
                        {"backclrhi", &item->m_selectedBackColour},
                        {"bdrclr", &item->m_borderColour}});
  if (element.attribute("bdrwidth")) item->m_borderWidth = ReadSize(element, "bdrwidth");
  item->m_font = FontOf(element, id, context);

  CVScrollBar* bar = nullptr;
  int barWidth = 0;
  if (element.child("VSCROLL")) {
    ScrollBitmaps images;
    ReadScrollBitmaps(element, images);
    barWidth = images.thumbWidth;
    bar = CreateScrollBar(element, item.get());
  }
  const RECT rect = ReadItemRect(element, id);
  if (!item->CreateList(bar, barWidth, rect, context.parent, static_cast<UINT>(id))) return nullptr;
  item->SetExtendedStyle(item->GetExtendedStyle() | LVS_EX_FULLROWSELECT);
  item->SetIcons(ReadBitmap(element, "MDBMP_KEYDN"), ReadBitmap(element, "MDBMP_KEYUP"), ReadBitmap(element, "MDBMP_MSE"),
                 ReadBitmap(element, "MDBMP_MSEH"), ReadBitmap(element, "MDBMP_CLK"), ReadBitmap(element, "MDBMP_CLKH"));

  int listed = 0, added = 0;
  for (pugi::xml_node column = element.child("LISTCOLUMN"); column; column = column.next_sibling("LISTCOLUMN")) {
    ++listed;
    const int32_t columnId = FindListColumnId(gui::AttrText(column, "name"));
    if (columnId == -1 || FindColumnTypeId(gui::AttrText(column, "type")) == -1) continue;
    int width = ReadSize(column, "width");
    if (columnId == CMacroDisplayItem::kColumnDescription) width -= 2 * item->m_borderWidth;
    // Nothing left of the width (or less than nothing): no such column.
    if (width <= 0) continue;
    const wchar_t justify = ReadJustify(column);
    const int alignment = justify == L'C' ? 2 : justify == L'R' ? 1 : 0;
    if (item->InsertColumn(columnId, alignment, width)) ++added;
  }
  if (listed == 0 || added < listed) return nullptr;  // the item and its windows go
  const HWND window = item->m_hWnd;
  return WithHeader(item.release(), id, GUIKIND_MACRODISPLAY, window, context.parent);
}

CGUIItem* BuildListCtrl(const pugi::xml_node& element, const BuildContext& context) {
  const int32_t id = ReadSkinId(element);
  if (id == -1) return nullptr;
  auto item = std::make_unique<CXListCtrl>();
  DWORD style = kListStyle;
  if (const pugi::xml_node header = element.child("LISTHDR")) {
    COLORREF back = 0, text = 0;
    if (ReadColourAttr(header, "backclr", back)) {
      item->m_header.m_darkLine = back;
      item->m_header.m_lightLine = back;
      item->m_header.m_background = back;
    }
    if (ReadColourAttr(header, "fontclr", text)) item->m_header.m_textColour = text;
  } else {
    style |= LVS_NOCOLUMNHEADER;
  }
  const RECT rect = ReadItemRect(element, id);
  platform::EnsureCommonControls();
  if (!item->CreateEx(0, WC_LISTVIEWW, L"", style, rect, context.parent, static_cast<UINT>(id))) return nullptr;
  item->SetExtendedStyle(item->GetExtendedStyle() | kListExtraStyles);
  if (CFontItem* font = FontOf(element, id, context)) {
    item->m_controlFont = font;
    item->SetFont(static_cast<HFONT>(font->GetSafeHandle()), TRUE);
  }
  COLORREF colour = 0;
  if (ReadColourAttr(element, "fontclr", colour)) item->SetTextColour(colour);
  if (ReadColourAttr(element, "fontclrhi", colour)) item->SetSelectedTextColour(colour);
  if (ReadColourAttr(element, "backclr", colour)) item->SetBackgroundColour(colour);
  if (ReadColourAttr(element, "backclrhi", colour)) item->SetSelectedBackgroundColour(colour);
  if (ReadColourAttr(element, "bdrclr", colour)) item->SetOutlineColour(colour);

  int listed = 0, added = 0;
  for (pugi::xml_node column = element.child("LISTCOLUMN"); column; column = column.next_sibling("LISTCOLUMN")) {
    ++listed;
    const int32_t columnId = FindListColumnId(gui::AttrText(column, "name"));
    const int32_t type = columnId == -1 ? -1 : FindControlTypeId(gui::AttrText(column, "type"));
    if (type == -1) continue;
    const int width = ReadSize(column, "width");
    int exclusive = 0;
    HBITMAP unchecked = nullptr, checked = nullptr, mask = nullptr;
    if (type == LISTCOL_CHECKBOX) {
      exclusive = gui::ParseSkinFlag(column.attribute("exclusive").as_string()) ? 1 : 0;
      unchecked = ReadBitmap(column, "SBMN");
      checked = ReadBitmap(column, "SBMD");
      mask = ReadBitmap(column, "SBMM");
    }
    if (width == 0) continue;
    if (item->InsertColumn(TrimmedText(column), columnId, type, width, exclusive, unchecked, checked, mask) >= 0) ++added;
  }
  if (listed == 0 || added < listed) return nullptr;
  const HWND window = item->m_hWnd;
  return WithHeader(item.release(), id, GUIKIND_LISTCTRL, window, context.parent);
}

CGUIItem* BuildCombo(const pugi::xml_node& element, const BuildContext& context) {
  const int32_t id = ReadSkinId(element);
  if (id == -1) return nullptr;
  auto item = std::make_unique<CDropdownListItem>();
  ReadColours(element, {{"fontclr", &item->m_textColour},
                        {"fontclrhi", &item->m_hotTextColour},
                        {"backclr", &item->m_backColour},
                        {"backclrhi", &item->m_hotBackColour},
                        {"bdrclr", &item->m_borderColour},
                        {"disbbackclr", &item->m_disabledBackColour},
                        {"disbbdrclr", &item->m_disabledBorderColour},
                        {"disbfontclr", &item->m_disabledTextColour}});
  if (element.attribute("bdrwidth")) item->m_borderWidth = ReadSize(element, "bdrwidth");
  if (element.attribute("lgap")) item->SetLeftGap(ReadSize(element, "lgap"));
  item->m_font = FontOf(element, id, context);
  item->m_sorted = gui::ParseSkinFlag(element.attribute("sorted").as_string()) ? 1 : 0;

  const pugi::xml_node list = element.child("CLIST");
  if (!list) return nullptr;
  item->m_listHeight = ReadSize(list, "height");
  ScrollBitmaps images;
  ReadScrollBitmaps(list, images);
  item->m_scrollBitmaps = ToArray(images);
  item->m_scrollBarWidth = images.thumbWidth;

  const pugi::xml_node box = element.child("CBOX");
  item->m_createRect = box ? ReadItemRect(box, id) : RECT{};
  if (!item->CreateEx(0, L"STATIC", L"", kComboStyle, item->m_createRect, context.parent, static_cast<UINT>(id)))
    return nullptr;
  for (pugi::xml_node entry = element.child("COMBOITEMS").child("COMBOITEM"); entry;
       entry = entry.next_sibling("COMBOITEM"))
    item->AddString(TrimmedText(entry));
  const HWND window = item->m_hWnd;
  return WithHeader(item.release(), id, GUIKIND_COMBO, window, context.parent);
}

CGUIItem* BuildListPanel(const pugi::xml_node& element, const BuildContext& context) {
  const int32_t id = ReadSkinId(element);
  if (id == -1) return nullptr;
  const RECT rect = ReadItemRect(element, id, gui::RectForm::Absolute);
  auto item = std::make_unique<CListPanelItem>(std::max<int>(0, rect.right), std::max<int>(0, rect.bottom));
  ListPanelLook& look = item->m_look;
  ReadColours(element, {{"fontclr", &look.text},
                        {"fontclrhi", &look.hotText},
                        {"disbfontclr", &look.disabledText},
                        {"backclr", &look.background},
                        {"backclrhi", &look.hotBackground},
                        {"bdrclr", &look.border},
                        {"disbbackclr", &look.disabledBackground}});
  if (element.attribute("bdrwidth")) look.borderWidth = ReadSize(element, "bdrwidth");
  look.font = FontOf(element, id, context);
  look.sorted = gui::ParseSkinFlag(element.attribute("sorted").as_string());
  std::vector<ListPanelEntry> entries;
  for (pugi::xml_node entry = element.child("LISTPANELITEMS").child("LISTPANELITEM"); entry;
       entry = entry.next_sibling("LISTPANELITEM"))
    entries.push_back(ListPanelEntry{TrimmedText(entry), nullptr, 0});
  if (!entries.empty()) item->SetEntries(entries);
  ScrollBitmaps images;
  ReadScrollBitmaps(element, images);
  look.scrollBitmaps = ToArray(images);
  look.scrollBarWidth = images.thumbWidth;
  return WithHeader(item.release(), id, GUIKIND_LISTPANEL, nullptr, context.parent);
}
