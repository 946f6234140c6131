// The system's keyboard-text calls behind one seam: key names, the character of
// a key and the key of a character, all in the keyboard layout of the language
// in force. Wine knows only the US layout, so other layouts are tested through
// a fake.
#pragma once
#include <windows.h>

#include <string>

namespace device {

class IKeyboardText {
 public:
  virtual ~IKeyboardText() = default;
  // GetKeyNameTextW(lParam) with a buffer of `bufferChars`; empty when it gives nothing.
  virtual std::wstring KeyNameText(LONG lParam, int bufferChars) = 0;
  // ToUnicodeEx with an all-zero keyboard state: the characters the key types,
  // the spacing form for a dead key, empty when none. Leaves no dead key pending.
  virtual std::wstring ToUnicode(UINT virtualKey, UINT scanCode) = 0;
  // MapVirtualKeyExW(code, mapType, layout).
  virtual UINT MapVirtualKey(UINT code, UINT mapType) = 0;
  // VkKeyScanExW(ch, layout): virtual key in the low byte, shift state in the high
  // byte, -1 when no key types the character.
  virtual SHORT VkKeyScan(wchar_t ch) = 0;
};

// The seam in force: the system's calls unless a test set its own.
IKeyboardText& KeyboardText();
// Null puts the system's calls back.
void SetKeyboardText(IKeyboardText* text);

// The layout the calls use: the one the layout switcher put in use for the
// keyboard's language, else the thread's active layout.
HKL CurrentKeyboardLayout();

}  // namespace device
