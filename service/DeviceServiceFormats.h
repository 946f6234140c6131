// Values of the device service's contract that both sides read and write: the
// device key code and the profile properties. The client's device layer and the
// stand-in service take them from here.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

// ---- device key codes: scan code in bits 0-15, prefix group in bits 16-31 (2 for
// the key-definition flag 1, an E0 key; 4 for flag 2, an E1 key; anything else flag 0)

inline uint16_t DeviceKeyScanCode(uint32_t deviceKeyCode) { return static_cast<uint16_t>(deviceKeyCode & 0xFFFF); }

inline uint8_t DeviceKeyDefinitionFlag(uint32_t deviceKeyCode) {
  switch (deviceKeyCode >> 16) {
    case 2: return 1;
    case 4: return 2;
    default: return 0;
  }
}

inline uint32_t MakeDeviceKeyCode(uint16_t scanCode, uint8_t definitionFlag) {
  const uint32_t group = definitionFlag == 1 ? 2 : definitionFlag == 2 ? 4 : 0;
  return scanCode | (group << 16);
}

// ---- profile properties

// The linked program's file name: UTF-16, NUL-terminated, in a 256-byte buffer.
inline constexpr DWORD kProfilePropertyProgramFile = 0x80000002;
// The profile's flag bits: written one bit at a time as {WORD mask, WORD value}, read as one WORD.
inline constexpr DWORD kProfilePropertyFlags = 0x80000003;
inline constexpr DWORD kProgramFilePropertyBytes = 256;
inline constexpr std::size_t kMaxProgramFileChars = 127;

enum ProfileFlagBits : uint16_t {
  PROFILEFLAG_AUTOSWITCH = 1,  // switch to the profile while its program is in the foreground
  PROFILEFLAG_UNUSED = 2,      // always written as 0, ignored when read
  PROFILEFLAG_SHOWOSD = 4,     // show the profile's name when it becomes active
};

// One write of property 0x80000003: exactly one bit and its new value.
struct ProfileFlagWrite {
  WORD mask;
  WORD value;
};
static_assert(sizeof(ProfileFlagWrite) == 4);
