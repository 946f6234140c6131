// The keys of the simulated keyboard: one device key code per key, with the code
// the key sends by default.
#pragma once
#include <vector>

#include "service/ServiceState.h"

// Device key code of a key: scan code in bits 0-15, the prefix group in bits
// 16-31 (2 for an E0 key, 4 for an E1 key, 0 for none).
uint32_t DeviceKeyCode(uint16_t scanCode, uint8_t prefixFlag);

std::vector<SimKey> SimKeyboardKeys();
