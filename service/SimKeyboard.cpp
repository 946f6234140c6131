#include "service/SimKeyboard.h"

namespace {

struct KeyEntry {
  uint16_t scan;
  uint8_t prefix;  // 0 none, 1 E0, 2 E1
  uint16_t defaultScan;
  uint8_t defaultPrefix;
};

// Every key of the skin's key table, in table order, so the service names the same
// keys as the key files in "bin\".
const KeyEntry kKeys[] = {
#include "SimKeyTable.inc"
};

}  // namespace

std::vector<SimKey> SimKeyboardKeys() {
  std::vector<SimKey> keys;
  for (const auto& k : kKeys) {
    SimKey key;
    key.keyCode = MakeDeviceKeyCode(k.scan, k.prefix);
    key.defaultScan = k.defaultScan;
    // E0 keys are extended; Pause (the E1 key) travels with the same bit, which is
    // what tells it apart from Num Lock on scan code 0x45.
    key.defaultExtended = k.defaultPrefix != 0;
    keys.push_back(key);
  }
  return keys;
}
