// Builders of the bitmap and button elements: BITMAPITEM, BITMAPWINDOW, BUTTON,
// PROFBUTTON and AVIBUTTON. Each window's control id is its skin element id, so
// the screens find the window of an element by that id. A window that cannot
// be created gives no item.
#include "gui/skin/SkinBuilders.h"

#include <memory>

#include "gui/controls/BitmapBtn.h"
#include "gui/controls/BitmapItem.h"
#include "gui/controls/BitmapWindow.h"
#include "gui/controls/ProfileBtn.h"
#include "gui/skin/FontItem.h"
#include "platform/Strings.h"

namespace {

constexpr DWORD kChildVisible = WS_CHILD | WS_VISIBLE;
// Visible, multi-line, vertically centred, owner-drawn; WS_CHILD comes at creation.
constexpr DWORD kButtonStyle = 0x10002C0B;
constexpr DWORD kOwnerDrawChild = WS_CHILD | WS_VISIBLE | BS_OWNERDRAW;
// DT_EDITCONTROL | DT_MODIFYSTRING
constexpr UINT kCaptionFormatBase = 0x12000;

void FillHeader(CGUIItem& item, int32_t id, GUIItemKind kind, HWND window, HWND parent) {
  item.id = id;
  item.kind = kind;
  item.hwnd = window;
  item.parent = parent;
}

// The font item the element names, when an item list was given.
const CFontItem* FontOf(const pugi::xml_node& element, int32_t id, const BuildContext& context) {
  return context.list ? ReadFontRef(element, id, *context.list) : nullptr;
}

}  // namespace

CGUIItem* BuildBitmapItem(const pugi::xml_node& element, const BuildContext& context) {
  const int32_t id = ReadSkinId(element);
  if (id == -1) return nullptr;
  HBITMAP picture = ReadBitmap(element, "SBMN");
  HBITMAP mask = ReadBitmap(element, "SBMM");
  auto item = std::make_unique<CBitmapItem>();
  const RECT rect = ReadItemRect(element, id);
  if (!item->CreateEx(0, CWnd::DefaultClassName(), L"", kChildVisible, rect, context.parent, static_cast<UINT>(id)))
    return nullptr;
  if (mask) item->SetBitmapAndRegion(mask, picture, rect.left, rect.top, rect.right, rect.bottom);
  else item->SetBitmap(picture, rect.left, rect.top, rect.right, rect.bottom);
  // Listed without its window: bitmap items are never found by window handle.
  FillHeader(*item, id, GUIKIND_BITMAPITEM, nullptr, context.parent);
  return item.release();
}

CGUIItem* BuildBitmapWindow(const pugi::xml_node& element, const BuildContext& context) {
  const int32_t id = ReadSkinId(element);
  if (id == -1) return nullptr;
  HBITMAP size = ReadBitmap(element, "SBMDS");
  if (!size) return nullptr;
  HBITMAP normal = ReadBitmap(element, "SBMN");
  HBITMAP over = ReadBitmap(element, "SBMO");
  HBITMAP down = ReadBitmap(element, "SBMD");
  HBITMAP mask = ReadBitmap(element, "SBMM");
  const int caps = ReadCaps(element, id);
  const bool multiline = ReadMultiline(element, id);

  auto pane = std::make_unique<CBitmapWindow>();
  const RECT rect = ReadItemRect(element, id);
  if (!pane->CreateEx(0, CWnd::DefaultClassName(), L"", kChildVisible, rect, context.parent, static_cast<UINT>(id)))
    return nullptr;
  pane->SetBitmaps(size, normal, over, down, mask);
  std::wstring tooltip;
  if (ReadTooltip(element, tooltip)) pane->SetTooltipText(tooltip);
  pane->m_caseMode = static_cast<uint8_t>(caps);
  const wchar_t justify = ReadJustify(element);
  UINT format = justify == L'R' ? DT_RIGHT : justify == L'C' ? DT_CENTER : DT_LEFT;
  format |= multiline ? DT_WORDBREAK : (DT_SINGLELINE | DT_VCENTER);
  pane->m_drawTextFormat = format;
  if (const CFontItem* font = FontOf(element, id, context)) {
    pane->SetFont(static_cast<HFONT>(font->GetSafeHandle()), TRUE);
    pane->m_font = font;
  }
  COLORREF colour = 0;
  if (ReadColourAttr(element, "fontclr", colour)) pane->m_textColour = colour;
  FillHeader(*pane, id, GUIKIND_BITMAPWINDOW, pane->m_hWnd, context.parent);
  return pane.release();
}

CGUIItem* BuildButton(const pugi::xml_node& element, const BuildContext& context) {
  const int32_t id = ReadSkinId(element);
  if (id == -1) return nullptr;
  HBITMAP normal = ReadBitmapOverride(element, "SBMN", id);
  HBITMAP over = ReadBitmapOverride(element, "SBMO", id);
  HBITMAP down = ReadBitmapOverride(element, "SBMD", id);
  HBITMAP disabled = ReadBitmapOverride(element, "SBMDS", id);
  HBITMAP mask = ReadBitmapOverride(element, "SBMM", id);
  const wchar_t justify = ReadJustify(element);
  const bool multiline = ReadMultiline(element, id);

  const DWORD style = kButtonStyle | (justify == L'R' ? BS_RIGHT : justify == L'C' ? BS_CENTER : BS_LEFT);
  UINT format = kCaptionFormatBase | (justify == L'R' ? DT_RIGHT : justify == L'C' ? DT_CENTER : 0);
  format |= multiline ? (DT_WORDBREAK | DT_VCENTER) : (DT_SINGLELINE | DT_WORDBREAK | DT_VCENTER);

  // A button may lie on a bitmap item listed before it.
  HWND parent = context.parent;
  if (CGUIItem* host = ReadWindowRef(element, "windowid", context.List())) {
    if (auto* bitmap = dynamic_cast<CBitmapItem*>(host); bitmap && bitmap->m_hWnd) parent = bitmap->m_hWnd;
  }

  auto button = std::make_unique<CBitmapBtn>();
  const RECT rect = ReadItemRect(element, id);
  if (!button->CreateEx(0, L"BUTTON", L"", style | WS_CHILD, rect, parent, static_cast<UINT>(id))) return nullptr;
  button->m_drawTextFormat = format;
  if (const CFontItem* font = FontOf(element, id, context)) {
    button->SetFont(static_cast<HFONT>(font->GetSafeHandle()), TRUE);
    button->m_font = font;
  }
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (mask) button->SetBitmapsWithMask(normal, over, down, disabled, mask, 0, 0, width, height);
  else button->SetBitmaps(normal, over, down, disabled, 0, 0, width, height);
  std::wstring tooltip;
  if (ReadTooltip(element, tooltip)) button->SetTooltipText(tooltip);
  button->m_isCheckBox = ReadIsCheckbox(element) ? 1 : 0;
  if (const pugi::xml_attribute caption = element.attribute("caption")) {
    const int caps = ReadCaps(element, id);
    const struct {
      const char* child;
      COLORREF* colour;
    } colours[] = {{"SBMN", &button->m_clrNormal},
                   {"SBMO", &button->m_clrOver},
                   {"SBMD", &button->m_clrDown},
                   {"SBMDS", &button->m_clrDisabled}};
    for (const auto& c : colours) {
      COLORREF value = 0;
      if (const pugi::xml_node child = element.child(c.child); child && ReadColourAttr(child, "fontclr", value))
        *c.colour = value;
    }
    button->SetCaption(platform::Utf8ToWide(caption.as_string()), caps);
  }
  FillHeader(*button, id, GUIKIND_BUTTON, button->m_hWnd, parent);
  return button.release();
}

CGUIItem* BuildProfileButton(const pugi::xml_node& element, const BuildContext& context) {
  const int32_t id = ReadSkinId(element);
  if (id == -1) return nullptr;
  HBITMAP normal = ReadBitmap(element, "SBMN");
  HBITMAP over = ReadBitmap(element, "SBMO");
  HBITMAP down = ReadBitmap(element, "SBMD");
  HBITMAP disabled = ReadBitmap(element, "SBMDS");
  auto button = std::make_unique<CProfileBtn>();
  const RECT rect = ReadItemRect(element, id);
  if (!button->CreateEx(0, L"BUTTON", L"", kOwnerDrawChild, rect, context.parent, static_cast<UINT>(id)))
    return nullptr;
  // The state images are pictures of the whole panel, cut at the button's place.
  button->SetBitmaps(normal, over, down, disabled, rect.left, rect.top, rect.right, rect.bottom);
  std::wstring tooltip;
  if (ReadTooltip(element, tooltip)) button->SetTooltipText(tooltip);
  FillHeader(*button, id, GUIKIND_PROFBUTTON, button->m_hWnd, context.parent);
  return button.release();
}

CGUIItem* BuildAviButton(const pugi::xml_node& element, const BuildContext& context) {
  const int32_t id = ReadSkinId(element);
  if (id == -1) return nullptr;
  auto button = std::make_unique<CAVIButton>();
  const std::wstring video = platform::Trim(gui::ElementText(element.child("VIDEO")));
  if (!video.empty()) button->SetVideoFile(video);
  const std::wstring sound = platform::Trim(gui::ElementText(element.child("SOUND")));
  if (!sound.empty()) button->SetSoundFile(sound);
  const RECT rect = ReadItemRect(element, id);
  if (!button->CreateEx(0, L"BUTTON", L"", kOwnerDrawChild, rect, context.parent, static_cast<UINT>(id)))
    return nullptr;
  FillHeader(*button, id, GUIKIND_AVIBUTTON, button->m_hWnd, context.parent);
  return button.release();
}
