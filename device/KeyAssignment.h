// The record that says what one key does in one profile. It is a plain value of
// fixed layout (the device layer converts it field by field), copied whole
// wherever it goes; it holds no pointers and owns nothing.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Assignment kinds: the ids of the skin's function keywords.
enum KeyAssignmentKind : int32_t {
  KEYKIND_DEFAULT = 0,          // "$defaultkey": the key's own function
  KEYKIND_SINGLEKEY = 5,        // "$SingleKey": sends another key
  KEYKIND_MACRO = 6,            // "$macro" by device id
  KEYKIND_MACRO_BYNAME = 7,     // "$macro" by name, not yet known to the device
  KEYKIND_DISABLED = 8,         // "$buttonoff"
  KEYKIND_PROFILE = 21,         // "$profile" by device id
  KEYKIND_PROFILE_BYNAME = 22,  // "$profile" by name
  KEYKIND_LAUNCH = 62,          // "$launchprogram" by device id
  KEYKIND_LAUNCH_BYPATH = 63,   // "$launchprogram" by program path
};

// Macro play modes of kinds 6 and 7.
enum MacroPlayMode : int32_t {
  MACROPLAY_ONCE = 1,
  MACROPLAY_MULTIPLE = 2,
  MACROPLAY_UNTILPRESSED = 3,
  MACROPLAY_WHILEPRESSED = 4,
};

// Bits of the key payload's flags byte.
enum KeyAssignmentFlags : uint8_t {
  KEYFLAG_EXTENDED = 1,  // E0-prefixed key
  KEYFLAG_ALT = 2,
  KEYFLAG_CTRL = 4,
  KEYFLAG_SHIFT = 8,
};

// Characters of the name and path fields, the terminating zero included.
inline constexpr std::size_t kAssignmentTextChars = 260;

struct KeyAssignmentKey {
  int16_t scanCode;
  int16_t virtualKey;  // 0 in layout defaults
  uint8_t flags;       // KeyAssignmentFlags
};

union KeyAssignmentPayload {
  uint8_t raw[520];  // first, so that value-initialisation zeroes every byte
  KeyAssignmentKey key;                 // kinds 0 and 5
  GUID id;                              // kinds 6, 21, 62
  wchar_t text[kAssignmentTextChars];   // kinds 7, 22, 63: zero-terminated
};

struct KeyAssignment {
  int32_t kind = KEYKIND_DEFAULT;
  KeyAssignmentPayload payload{};
  int32_t playMode = 0;
  uint8_t repeatCount = 0;  // times to play in play mode 2
  uint8_t reserved[3] = {};
};

static_assert(sizeof(wchar_t) == 2, "names are stored as UTF-16 units");
static_assert(sizeof(GUID) == 16);
static_assert(sizeof(KeyAssignment) == 532, "the record is copied and compared as 532 bytes");
static_assert(offsetof(KeyAssignment, kind) == 0);
static_assert(offsetof(KeyAssignment, payload) == 4);
static_assert(offsetof(KeyAssignment, playMode) == 524);
static_assert(offsetof(KeyAssignment, repeatCount) == 528);
static_assert(offsetof(KeyAssignmentKey, virtualKey) == 2);
static_assert(offsetof(KeyAssignmentKey, flags) == 4);

// Kind 6: the macro's device id as payload, repeat count 0.
KeyAssignment& MakeMacroAssignment(KeyAssignment& record, const GUID& macroId, int32_t playMode);
// Kind 7: the macro's name (cut to 259 characters) as payload, the rest of the
// payload zero, repeat count 0.
KeyAssignment& MakeMacroNameAssignment(KeyAssignment& record, std::wstring_view name,
                                       int32_t playMode);

// Writes a name or path into the text field: cut to 259 characters, zero-filled behind.
void SetAssignmentText(KeyAssignment& record, std::wstring_view text);
// Reads the text field back, never past its 260 characters even without a terminator.
std::wstring GetAssignmentText(const KeyAssignment& record);

// The kinds a keyboard profile stores: 0, 5, 6, 8, 21, 62 and the by-name forms
// 7, 22, 63 of the by-id kinds.
bool IsKeyboardAssignmentKind(int32_t kind);

namespace device {

// The by-name forms (macro, profile, program path): the write turns them into the
// by-id kinds once their target is known to the device.
inline bool IsNamedKind(int32_t kind) {
  return kind == KEYKIND_MACRO_BYNAME || kind == KEYKIND_PROFILE_BYNAME || kind == KEYKIND_LAUNCH_BYPATH;
}

}  // namespace device
