#include "device/KeyboardText.h"

#include "gui/base/LangTable.h"

namespace device {
namespace {

class SystemKeyboardText final : public IKeyboardText {
 public:
  std::wstring KeyNameText(LONG lParam, int bufferChars) override {
    if (bufferChars <= 1) return {};
    std::wstring buffer(static_cast<size_t>(bufferChars), L'\0');
    int n = ::GetKeyNameTextW(lParam, buffer.data(), bufferChars);
    if (n <= 0) return {};
    if (n >= bufferChars) n = bufferChars - 1;
    buffer.resize(static_cast<size_t>(n));
    return buffer;
  }

  std::wstring ToUnicode(UINT virtualKey, UINT scanCode) override {
    BYTE state[256] = {};
    wchar_t buffer[8] = {};
    HKL layout = CurrentKeyboardLayout();
    int n = ::ToUnicodeEx(virtualKey, scanCode, state, buffer, 8, 0, layout);
    if (n < 0) {
      // A dead key: the buffer holds its spacing form, and the layout now waits
      // for the next key. Typing the dead key again releases it.
      std::wstring dead(1, buffer[0]);
      wchar_t flush[8] = {};
      ::ToUnicodeEx(virtualKey, scanCode, state, flush, 8, 0, layout);
      return dead[0] ? dead : std::wstring();
    }
    if (n > 8) n = 8;
    return std::wstring(buffer, static_cast<size_t>(n));
  }

  UINT MapVirtualKey(UINT code, UINT mapType) override {
    return ::MapVirtualKeyExW(code, mapType, CurrentKeyboardLayout());
  }

  SHORT VkKeyScan(wchar_t ch) override { return ::VkKeyScanExW(ch, CurrentKeyboardLayout()); }
};

SystemKeyboardText g_system;
IKeyboardText* g_inForce = &g_system;

}  // namespace

IKeyboardText& KeyboardText() { return *g_inForce; }
void SetKeyboardText(IKeyboardText* text) { g_inForce = text ? text : &g_system; }

HKL CurrentKeyboardLayout() {
  if (KeyboardLayoutSwitcher.m_layoutInUse) return KeyboardLayoutSwitcher.m_layoutInUse;
  return ::GetKeyboardLayout(0);
}

}  // namespace device
