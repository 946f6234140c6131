#include "device/KeyEvent.h"

#include <cwchar>

#include "device/KeyboardText.h"
#include "gui/base/SkinNameTables.h"

MacroEvent MacroEventFromKeyEvent(const KeyEvent& event) {
  MacroEvent out;
  out.type = MACROEVENT_KEY;
  uint32_t a = static_cast<uint16_t>(event.scanCode) | (static_cast<uint32_t>(static_cast<uint16_t>(event.virtualKey)) << 16);
  uint32_t b = static_cast<uint32_t>(event.state) | (static_cast<uint32_t>(event.flags) << 8);
  out.a = static_cast<int32_t>(a);
  out.b = static_cast<int32_t>(b);
  return out;
}

bool KeyEventFromRawInput(KeyEvent& event, const RAWKEYBOARD* record) {
  if (!record) return false;
  event.scanCode = 0;
  event.virtualKey = 0;
  event.state = 0;
  event.flags = 0;
  const bool e0 = (record->Flags & RI_KEY_E0) != 0;
  const bool e1 = (record->Flags & RI_KEY_E1) != 0;
  event.scanCode = static_cast<int16_t>(record->MakeCode);
  event.workScanCode = event.scanCode;
  if (record->VKey != 255) event.workVirtualKey = static_cast<int16_t>(record->VKey);
  event.virtualKey = event.workVirtualKey;
  event.flags = e0 ? kKeyFlagExtended : 0;
  event.state = (record->Flags & RI_KEY_BREAK) ? kMacroStateReleased : kMacroStatePressed;
  GetKeyDisplayName(event.virtualKey, event.name, event.scanCode, e0);
  return record->MakeCode != 0 && !e1 && !device::IsFakeExtendedShift(*record);
}

namespace {

bool IsConsumedKey(WPARAM key) {
  switch (key) {
    case VK_BACK: case VK_TAB: case VK_PAUSE: case VK_CAPITAL: case VK_SPACE: case VK_HOME:
    case VK_LEFT: case VK_UP: case VK_RIGHT: case VK_DOWN:
    case VK_LWIN: case VK_RWIN: case VK_APPS:
    case VK_NUMLOCK: case VK_SCROLL:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool KeyEventFromMessage(const MSG* message, KeyEvent& event) {
  if (!message) return true;
  bool pressed;
  switch (message->message) {
    case WM_KEYDOWN: case WM_SYSKEYDOWN: pressed = true; break;
    case WM_KEYUP: case WM_SYSKEYUP: pressed = false; break;
    default: return true;
  }
  if (pressed && (message->lParam & (1 << 30))) return true;  // auto-repeat
  event.workVirtualKey = static_cast<int16_t>(message->wParam & 0xFFFF);
  event.name.clear();
  NormalizeModifierKey(message->lParam, event, pressed);
  return message->message == WM_KEYDOWN && IsConsumedKey(message->wParam);
}

void NormalizeModifierKey(LPARAM lParam, KeyEvent& event, bool pressed) {
  const int scan = static_cast<int>((lParam >> 16) & 0xFF);
  const bool extended = (lParam & (1 << 24)) != 0;
  int vk = static_cast<uint16_t>(event.workVirtualKey);
  switch (vk) {
    case VK_CONTROL: vk = extended ? VK_RCONTROL : VK_LCONTROL; break;
    case VK_SHIFT:
      if (scan == 0x2A) vk = VK_LSHIFT;
      else if (scan == 0x36) vk = VK_RSHIFT;
      break;
    case VK_MENU: vk = extended ? VK_RMENU : VK_LMENU; break;
    case VK_RETURN:
      if (extended) vk = 108;  // the keypad Enter
      break;
    default: break;
  }
  event.workVirtualKey = static_cast<int16_t>(vk);
  event.workScanCode = static_cast<int16_t>(scan);
  event.scanCode = static_cast<int16_t>(scan);
  event.virtualKey = static_cast<int16_t>(vk);
  event.flags = static_cast<uint8_t>((extended ? kKeyFlagExtended : 0) | ((lParam & (1 << 29)) ? kKeyFlagAlt : 0));
  event.state = pressed ? kMacroStatePressed : kMacroStateReleased;

  // The shift state that types the key's character in the layout in force. A key
  // without a character (mapping 0: F1, Ctrl) and a character no key types (-1)
  // add nothing; the mapping's top bit only marks a dead key.
  device::IKeyboardText& text = device::KeyboardText();
  const UINT mapped = text.MapVirtualKey(static_cast<UINT>(vk), MAPVK_VK_TO_CHAR) & 0xFFFF;
  if (mapped != 0) {
    const SHORT scanned = text.VkKeyScan(static_cast<wchar_t>(mapped));
    if (scanned != -1) {
      const unsigned shiftState = (static_cast<unsigned>(scanned) >> 8) & 0xFF;
      if (shiftState & 1) event.flags |= kKeyFlagShift;
      if (shiftState & 2) event.flags |= kKeyFlagCtrl;
      if (shiftState & 4) event.flags |= kKeyFlagAlt;
    }
  }
  GetKeyDisplayName(vk, event.name, scan, extended);
}

bool GetKeyDisplayName(int virtualKey, std::wstring& name, int scanCode, bool extended) {
  device::IKeyboardText& text = device::KeyboardText();
  const int scan = scanCode & 0xFF;
  LONG lParam = static_cast<LONG>(scan) << 16;
  if (extended || virtualKey == VK_NUMLOCK || virtualKey == 194) lParam |= 1 << 24;
  std::wstring found = text.KeyNameText(lParam, 40);
  if (!found.empty()) {
    name = found;
    return true;
  }
  if (const wchar_t* abbreviation = GetKeyAbbreviation(virtualKey)) {
    name = abbreviation;
    return true;
  }
  std::wstring typed = text.ToUnicode(static_cast<UINT>(virtualKey & 0xFFFF), static_cast<UINT>(scan));
  bool printable = !typed.empty();
  for (wchar_t c : typed) {
    if (c < 0x20 || c == 0x7F) printable = false;  // control characters are no name
  }
  if (printable) {
    ::CharUpperBuffW(typed.data(), static_cast<DWORD>(typed.size()));
    name = typed;
    return true;
  }
  wchar_t hex[16];
  std::swprintf(hex, 16, L"0x%02X", static_cast<unsigned>(scan));
  name = hex;
  return true;
}
