// Key events: one key press or release with its display name, made from a
// raw-input keyboard record or from a keyboard window message. Macro recording
// and the single-key capture fields use them.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "device/Macro.h"

inline constexpr uint8_t kKeyFlagExtended = 0x01;
inline constexpr uint8_t kKeyFlagAlt = 0x02;    // context (Alt) bit, or Alt in the character's shift state
inline constexpr uint8_t kKeyFlagCtrl = 0x04;   // Ctrl in the character's shift state
inline constexpr uint8_t kKeyFlagShift = 0x08;  // Shift in the character's shift state

struct KeyEvent {
  int16_t scanCode = 0;    // make code
  int16_t virtualKey = 0;  // after the modifier corrections
  uint8_t state = 0;       // kMacroStatePressed (255) or kMacroStateReleased (1)
  uint8_t flags = 0;       // kKeyFlag* bits
  std::wstring name;       // from GetKeyDisplayName
  int16_t workVirtualKey = 0;  // the virtual key the conversion started from and ended with
  int16_t workScanCode = 0;
};

// The key MacroEvent of the first four fields: a = scan code | virtual key << 16,
// b = state | flags << 8.
MacroEvent MacroEventFromKeyEvent(const KeyEvent& event);

// Fills the event from a raw-input keyboard record. True only for a usable key:
// make code not 0, no E1 prefix, and not the fake key (E0 with virtual key 255)
// that the system sends around extended keys. A null record gives false.
bool KeyEventFromRawInput(KeyEvent& event, const RAWKEYBOARD* record);

namespace device {
// The Shift the system sends around an extended key (E0 prefix, virtual key
// 255): no key of its own, and played back it would press Shift.
inline bool IsFakeExtendedShift(const RAWKEYBOARD& record) {
  return (record.Flags & RI_KEY_E0) != 0 && record.VKey == 255;
}
}  // namespace device

// Fills the event from WM_KEYDOWN, WM_SYSKEYDOWN, WM_KEYUP or WM_SYSKEYUP. Any
// other message, and an auto-repeated key-down, returns true and leaves the
// event unchanged. True also for WM_KEYDOWN of the keys a capture field leaves
// to the system (Backspace, Tab, Pause, Caps Lock, Space, Home, the arrows, the
// Windows and Applications keys, Num Lock, Scroll Lock); false otherwise.
bool KeyEventFromMessage(const MSG* message, KeyEvent& event);

// Sets scan code, virtual key (left/right modifiers, keypad Enter), flags, state
// and name from a key message's lParam and the event's working virtual key.
void NormalizeModifierKey(LPARAM lParam, KeyEvent& event, bool pressed);

// The name GetKeyNameText gives; else the key abbreviation; else the character
// the key types (upper case); else the scan code in hexadecimal ("0x69").
// Always true.
bool GetKeyDisplayName(int virtualKey, std::wstring& name, int scanCode, bool extended);
