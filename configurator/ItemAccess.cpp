#include "configurator/ItemAccess.h"

#include <windows.h>

#include "gui/controls/BitmapBtn.h"
#include "gui/controls/BitmapWindow.h"
#include "gui/controls/TextItem.h"
#include "gui/panels/DropdownListItem.h"

namespace configurator {
namespace {

bool HasWindow(const CGUIItem* item) {
  return item != nullptr && item->hwnd != nullptr && item->hwnd != gui::kNoItemWindowYet && ::IsWindow(item->hwnd);
}

bool IsButton(const CGUIItem* item) {
  return item != nullptr && (item->kind == GUIKIND_BUTTON || item->kind == GUIKIND_KBDKEY);
}

}  // namespace

void EnableItem(CGUIItem* item, bool enable) {
  if (!HasWindow(item)) return;
  ::EnableWindow(item->hwnd, enable ? TRUE : FALSE);
  // A text item draws its disabled colour by its own flag.
  if (item->kind == GUIKIND_TEXTITEM) {
    auto* text = static_cast<CTextItem*>(item);
    text->m_disabled = enable ? 0 : 1;
    text->RedrawInParent();
  }
  // A drop-down opens on a click unless its own flag says it is locked.
  if (item->kind == GUIKIND_COMBO) {
    auto* dropdown = static_cast<CDropdownListItem*>(item);
    dropdown->m_disabled = enable ? 0 : 1;
    dropdown->Invalidate(FALSE);
  }
}

bool IsItemEnabled(const CGUIItem* item) { return HasWindow(item) && ::IsWindowEnabled(item->hwnd); }

void SetItemCheck(CGUIItem* item, bool checked) {
  if (IsButton(item) && HasWindow(item)) static_cast<CBitmapBtn*>(item)->SetCheck(checked ? 1 : 0);
}

bool IsItemChecked(const CGUIItem* item) {
  return IsButton(item) && static_cast<const CBitmapBtn*>(item)->GetCheck() != 0;
}

void SetItemText(CGUIItem* item, const std::wstring& text) {
  if (!HasWindow(item)) return;
  switch (item->kind) {
    case GUIKIND_TEXTITEM:
      static_cast<CTextItem*>(item)->SetText(text);
      return;
    case GUIKIND_BITMAPWINDOW:
      static_cast<CBitmapWindow*>(item)->SetText(text);
      return;
    case GUIKIND_BUTTON:
      static_cast<CBitmapBtn*>(item)->SetCaption(text, 0);
      return;
    default:
      ::SetWindowTextW(item->hwnd, text.c_str());
  }
}

std::wstring ItemText(const CGUIItem* item) {
  if (!HasWindow(item)) return {};
  switch (item->kind) {
    case GUIKIND_TEXTITEM:
      return static_cast<const CTextItem*>(item)->m_text;
    case GUIKIND_BITMAPWINDOW:
      return static_cast<const CBitmapWindow*>(item)->m_text;
    case GUIKIND_BUTTON:
      return static_cast<const CBitmapBtn*>(item)->m_caption;
    default:
      break;
  }
  const int length = ::GetWindowTextLengthW(item->hwnd);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(item->hwnd, text.data(), length + 1)));
  return text;
}

}  // namespace configurator
