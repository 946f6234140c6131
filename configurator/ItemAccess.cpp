#include "configurator/ItemAccess.h"

#include <windows.h>

namespace configurator {
namespace {

bool HasWindow(const CGUIItem* item) {
  return item != nullptr && item->hwnd != nullptr && item->hwnd != kNoItemWindowYet && ::IsWindow(item->hwnd);
}

}  // namespace

void EnableItem(CGUIItem* item, bool enable) {
  if (HasWindow(item)) ::EnableWindow(item->hwnd, enable ? TRUE : FALSE);
}

bool IsItemEnabled(const CGUIItem* item) { return HasWindow(item) && ::IsWindowEnabled(item->hwnd); }

void SetItemCheck(CGUIItem* item, bool checked) {
  if (HasWindow(item)) ::SendMessageW(item->hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool IsItemChecked(const CGUIItem* item) {
  return HasWindow(item) && ::SendMessageW(item->hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetItemText(CGUIItem* item, const std::wstring& text) {
  if (HasWindow(item)) ::SetWindowTextW(item->hwnd, text.c_str());
}

std::wstring ItemText(const CGUIItem* item) {
  if (!HasWindow(item)) return {};
  const int length = ::GetWindowTextLengthW(item->hwnd);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(item->hwnd, text.data(), length + 1)));
  return text;
}

}  // namespace configurator
