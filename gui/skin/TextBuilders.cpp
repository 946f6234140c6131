// Builders of the text, edit and keyboard-key elements.
#include <memory>
#include <string>
#include <type_traits>

#include "device/KeyboardDef.h"
#include "gui/controls/BitmapItem.h"
#include "gui/controls/EditItem.h"
#include "gui/controls/KeyboardKeyItem.h"
#include "gui/controls/SingleKeyEdit.h"
#include "gui/controls/TextItem.h"
#include "gui/skin/FontItem.h"
#include "gui/skin/SkinBuilders.h"
#include "gui/base/SkinNameTables.h"
#include "platform/Strings.h"

namespace {

constexpr DWORD kKeyButtonStyle = 0x10002C0B;  // WS_VISIBLE, BS_MULTILINE, BS_VCENTER, BS_OWNERDRAW

// A decimal attribute that is present; negative values read as 0.
bool ReadCount(const pugi::xml_node& element, const char* name, int32_t& value) {
  const pugi::xml_attribute attribute = element.attribute(name);
  if (!attribute) return false;
  value = gui::ParseSkinInt(std::string_view(attribute.as_string()));
  if (value < 0) value = 0;
  return true;
}

// The window of a bitmap item (its header lists none), or null.
HWND BitmapItemWindow(CGUIItem* item) {
  auto* bitmap = dynamic_cast<CBitmapItem*>(item);
  return bitmap ? bitmap->m_hWnd : nullptr;
}

void FillHeader(CGUIItem& item, int32_t id, GUIItemKind kind, HWND hwnd, HWND parent) {
  item.id = id;
  item.kind = kind;
  item.hwnd = hwnd;
  item.parent = parent;
}

// The colours every edit reads, in the skin's order; the disabled set only for
// the plain edit.
void ReadEditColours(const pugi::xml_node& element, CEditItem& edit, bool disabledSet) {
  COLORREF colour = 0;
  if (ReadColourAttr(element, "fontclr", colour)) edit.SetTextColor(colour);
  if (ReadColourAttr(element, "fontclrhi", colour)) edit.SetTextColorHi(colour);
  if (ReadColourAttr(element, "backclr", colour)) edit.SetBackColor(colour);
  if (ReadColourAttr(element, "backclrhi", colour)) edit.SetBackColorHi(colour);
  if (ReadColourAttr(element, "bdrclr", colour)) edit.SetBorderColor(colour);
  if (!disabledSet) return;
  if (ReadColourAttr(element, "disbbackclr", colour)) edit.SetBackColorDisabled(colour);
  if (ReadColourAttr(element, "disbbdrclr", colour)) edit.SetBorderColorDisabled(colour);
  if (ReadColourAttr(element, "disbfontclr", colour)) edit.SetTextColorDisabled(colour);
}

// The steps the three edit elements share once the object exists: colours,
// border width, font, rectangle, window, text limit, header.
template <typename Edit>
CGUIItem* BuildEdit(const pugi::xml_node& element, const BuildContext& context, int32_t id, std::unique_ptr<Edit> edit,
                    bool plain, GUIItemKind kind) {
  ReadEditColours(element, *edit, plain);
  int32_t borderWidth = 0;
  if (ReadCount(element, "bdrwidth", borderWidth)) edit->m_borderWidth = borderWidth;
  if (context.list) edit->m_font = ReadFontRef(element, id, context.List());
  const RECT rect = ReadItemRect(element, id);
  DWORD style = WS_CHILD | WS_VISIBLE;
  if (!plain || ReadJustify(element) == L'C') style |= ES_CENTER;
  if (!edit->CreateEx(0, L"EDIT", L"", style, rect, context.parent, static_cast<UINT_PTR>(id))) return nullptr;
  if constexpr (!std::is_same_v<Edit, CEditItem>) edit->RegisterRawKeyboard();
  int32_t max = 0;
  if (ReadCount(element, "max", max)) edit->SendMessage(EM_LIMITTEXT, static_cast<WPARAM>(max));
  FillHeader(*edit, id, kind, edit->m_hWnd, context.parent);
  return edit.release();
}

}  // namespace

CGUIItem* BuildTextItem(const pugi::xml_node& element, const BuildContext& context) {
  const int32_t id = ReadSkinId(element);
  if (id == -1) return nullptr;
  const std::wstring text = gui::AttrText(element, "textkey");
  const int caseMode = ReadCaps(element, id);
  HWND parent = context.parent;
  if (context.list) {
    if (HWND window = BitmapItemWindow(ReadWindowRef(element, "windowid", context.List()))) parent = window;
  }
  const wchar_t justify = ReadJustify(element);
  const bool multiline = ReadMultiline(element, id);
  const bool interactive = ReadInteractive(element);

  auto item = std::make_unique<CTextItem>(text, caseMode);
  // The label of a check box: a click on the text toggles it.
  if (context.list) {
    const int32_t boxId = FindSkinElementId(platform::Trim(gui::AttrText(element, "checkboxid")));
    if (CGUIItem* box = boxId == -1 ? nullptr : FindItemById(context.List(), boxId)) {
      auto* button = box->kind == GUIKIND_BUTTON ? dynamic_cast<CBitmapBtn*>(box) : nullptr;
      if (button && button->m_isCheckBox == 1) item->m_linkedCheckBox = button;
    }
  }

  const RECT rect = ReadItemRect(element, id);
  DWORD style = WS_CHILD | WS_VISIBLE | SS_OWNERDRAW;
  if (interactive) style |= SS_NOTIFY;
  if (!item->CreateEx(0, L"STATIC", L"", style, rect, parent, static_cast<UINT_PTR>(id))) return nullptr;

  UINT format = justify == L'R' ? DT_RIGHT : justify == L'C' ? DT_CENTER : 0;
  if (multiline) {
    format |= DT_WORDBREAK;
  } else if (justify != L'L') {
    format |= DT_SINGLELINE | DT_VCENTER;
  }
  item->m_drawTextFormat = format;

  if (context.list) {
    if (CFontItem* font = ReadFontRef(element, id, context.List())) {
      item->SetFont(static_cast<HFONT>(font->GetSafeHandle()), TRUE);
      item->m_font = font;
    }
  }
  COLORREF colour = 0;
  if (ReadColourAttr(element, "fontclr", colour)) item->m_clrNormal = colour;
  if (ReadColourAttr(element, "fontclrhi", colour)) item->m_clrHover = colour;
  if (ReadColourAttr(element, "disbfontclr", colour)) item->m_clrDisabled = colour;
  FillHeader(*item, id, GUIKIND_TEXTITEM, item->m_hWnd, parent);
  return item.release();
}

CGUIItem* BuildEditCtrl(const pugi::xml_node& element, const BuildContext& context) {
  const int32_t id = ReadSkinId(element);
  if (id == -1) return nullptr;
  return BuildEdit(element, context, id, std::make_unique<CEditItem>(), true, GUIKIND_EDITCTRL);
}

CGUIItem* BuildSingleKeyEdit(const pugi::xml_node& element, const BuildContext& context) {
  const int32_t id = ReadSkinId(element);
  if (id == -1) return nullptr;
  return BuildEdit(element, context, id, std::make_unique<CEditItemSingleKeyInput>(), false, GUIKIND_EDITCTRLSK);
}

CGUIItem* BuildSingleKeyEditMmo(const pugi::xml_node& element, const BuildContext& context) {
  const int32_t id = ReadSkinId(element);
  if (id == -1) return nullptr;
  return BuildEdit(element, context, id, std::make_unique<CEditItemSingleKeyInputMMO>(), false, GUIKIND_EDITCTRLSK);
}

CGUIItem* BuildKeyboardKey(const pugi::xml_node& element, const BuildContext& context) {
  const int32_t id = ReadSkinId(element);
  if (id == -1) return nullptr;
  // Style and caption format as for buttons.
  const wchar_t justify = ReadJustify(element);
  const bool multiline = ReadMultiline(element, id);
  DWORD style = kKeyButtonStyle | (justify == L'L' ? BS_LEFT : justify == L'R' ? BS_RIGHT : BS_CENTER);
  UINT format = DT_EDITCONTROL | DT_MODIFYSTRING;
  if (justify == L'R') format |= DT_RIGHT;
  if (justify == L'C') format |= DT_CENTER;
  format |= multiline ? (DT_WORDBREAK | DT_VCENTER) : (DT_SINGLELINE | DT_WORDBREAK | DT_VCENTER);

  const RECT rect = ReadItemRect(element, id);
  auto key = std::make_unique<CKeyboardKeyItem>();
  // The element id is the key's control id: the configurator finds keys by it.
  if (!key->CreateEx(0, L"BUTTON", L"", style | WS_CHILD, rect, context.parent, static_cast<UINT_PTR>(id)))
    return nullptr;
  key->m_drawTextFormat = format;

  if (context.list) {
    if (CFontItem* font = ReadFontRef(element, id, context.List())) {
      key->SetFont(static_cast<HFONT>(font->GetSafeHandle()), TRUE);
      key->m_font = font;
    }
  }

  // The shared images picture the whole keyboard: each key shows the piece at
  // its own rectangle.
  const SharedKeyBitmaps& shared = context.SharedBitmaps();
  HBITMAP normal = FindSharedBitmap(shared, L"SBMN");
  HBITMAP over = FindSharedBitmap(shared, L"SBMO");
  HBITMAP down = FindSharedBitmap(shared, L"SBMD");
  HBITMAP disabled = FindSharedBitmap(shared, L"SBMDS");
  HBITMAP mask = FindSharedBitmap(shared, L"SBMM");
  if (mask) {
    key->SetBitmapsWithMask(normal, over, down, disabled, mask, rect.left, rect.top, rect.right, rect.bottom);
  } else {
    key->SetBitmaps(normal, over, down, disabled, rect.left, rect.top, rect.right, rect.bottom);
  }

  std::wstring tooltip;
  if (ReadTooltip(element, tooltip)) {
    key->m_keyName = tooltip;
    key->SetTooltipText(tooltip);
  }
  if (element.attribute("caption")) key->SetCaption(gui::AttrText(element, "caption"), ReadCaps(element, id));

  // Looked up without adding an entry for an unknown name to the key map.
  if (const KeyDefinition* definition = ReadKeyDefinitionRef(element)) {
    key->m_keyDef = definition;
    key->UpdateKeyLabel();
  }

  if (const pugi::xml_node info = element.child("BMPINFO")) {
    const int32_t pictureId = ReadSkinId(info);
    StateBitmaps bitmaps;
    if (ReadStateBitmaps(info, pictureId, bitmaps)) {
      KeyPictureInfo picture;
      picture.normal = bitmaps.normal;
      picture.over = bitmaps.over;
      picture.down = bitmaps.down;
      picture.disabled = bitmaps.downSelected;
      picture.mask = bitmaps.mask;
      picture.rect = bitmaps.rect;
      key->SetPictureInfo(&picture);
    }
  }

  key->SetOwner(context.panelWindow);
  FillHeader(*key, id, GUIKIND_KBDKEY, key->m_hWnd, context.parent);
  return key.release();
}
