#include "service/SimKeyboard.h"

namespace {

struct KeyEntry {
  uint16_t scan;
  uint8_t prefix;  // 0 none, 1 E0, 2 E1
};

// The full-size layout, in the order the keyboard reports its keys.
const KeyEntry kKeys[] = {
    {0x01, 0}, {0x3B, 0}, {0x3C, 0}, {0x3D, 0}, {0x3E, 0}, {0x3F, 0}, {0x40, 0}, {0x41, 0}, {0x42, 0},
    {0x43, 0}, {0x44, 0}, {0x57, 0}, {0x58, 0}, {0x37, 1}, {0x46, 0}, {0x45, 2},  // Esc, F1-F12, PrtSc, ScrLk, Pause
    {0x29, 0}, {0x02, 0}, {0x03, 0}, {0x04, 0}, {0x05, 0}, {0x06, 0}, {0x07, 0}, {0x08, 0}, {0x09, 0},
    {0x0A, 0}, {0x0B, 0}, {0x0C, 0}, {0x0D, 0}, {0x0E, 0},  // ` 1-0 - = Backspace
    {0x0F, 0}, {0x10, 0}, {0x11, 0}, {0x12, 0}, {0x13, 0}, {0x14, 0}, {0x15, 0}, {0x16, 0}, {0x17, 0},
    {0x18, 0}, {0x19, 0}, {0x1A, 0}, {0x1B, 0}, {0x2B, 0},  // Tab Q-P [ ] backslash
    {0x3A, 0}, {0x1E, 0}, {0x1F, 0}, {0x20, 0}, {0x21, 0}, {0x22, 0}, {0x23, 0}, {0x24, 0}, {0x25, 0},
    {0x26, 0}, {0x27, 0}, {0x28, 0}, {0x1C, 0},  // Caps A-L ; ' Enter
    {0x2A, 0}, {0x2C, 0}, {0x2D, 0}, {0x2E, 0}, {0x2F, 0}, {0x30, 0}, {0x31, 0}, {0x32, 0}, {0x33, 0},
    {0x34, 0}, {0x35, 0}, {0x36, 0},  // LShift Z-M , . / RShift
    {0x1D, 0}, {0x5B, 1}, {0x38, 0}, {0x39, 0}, {0x38, 1}, {0x5C, 1}, {0x5D, 1}, {0x1D, 1},  // bottom row
    {0x52, 1}, {0x47, 1}, {0x49, 1}, {0x53, 1}, {0x4F, 1}, {0x51, 1},  // Ins Home PgUp Del End PgDn
    {0x48, 1}, {0x4B, 1}, {0x50, 1}, {0x4D, 1},  // arrows
    {0x45, 0}, {0x35, 1}, {0x37, 0}, {0x4A, 0}, {0x47, 0}, {0x48, 0}, {0x49, 0}, {0x4E, 0}, {0x4B, 0},
    {0x4C, 0}, {0x4D, 0}, {0x4F, 0}, {0x50, 0}, {0x51, 0}, {0x1C, 1}, {0x52, 0}, {0x53, 0},  // keypad
};

}  // namespace

uint32_t DeviceKeyCode(uint16_t scanCode, uint8_t prefixFlag) {
  const uint32_t group = prefixFlag == 1 ? 2 : prefixFlag == 2 ? 4 : 0;
  return scanCode | (group << 16);
}

std::vector<SimKey> SimKeyboardKeys() {
  std::vector<SimKey> keys;
  for (const auto& k : kKeys) {
    SimKey key;
    key.keyCode = DeviceKeyCode(k.scan, k.prefix);
    key.defaultScan = k.scan;
    // E0 keys are extended; Pause (the E1 key) travels with the same bit, which is
    // what tells it apart from Num Lock on scan code 0x45.
    key.defaultExtended = k.prefix != 0;
    keys.push_back(key);
  }
  return keys;
}
