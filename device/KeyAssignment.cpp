#include "device/KeyAssignment.h"

#include <cstring>

KeyAssignment& MakeMacroAssignment(KeyAssignment& record, const GUID& macroId, int32_t playMode) {
  record.kind = KEYKIND_MACRO;
  record.payload.id = macroId;
  record.playMode = playMode;
  record.repeatCount = 0;
  return record;
}

KeyAssignment& MakeMacroNameAssignment(KeyAssignment& record, std::wstring_view name,
                                       int32_t playMode) {
  record.kind = KEYKIND_MACRO_BYNAME;
  SetAssignmentText(record, name);
  record.playMode = playMode;
  record.repeatCount = 0;
  return record;
}

void SetAssignmentText(KeyAssignment& record, std::wstring_view text) {
  std::memset(record.payload.raw, 0, sizeof record.payload.raw);
  const std::size_t count = text.size() < kAssignmentTextChars - 1 ? text.size() : kAssignmentTextChars - 1;
  std::memcpy(record.payload.text, text.data(), count * sizeof(wchar_t));
}

std::wstring GetAssignmentText(const KeyAssignment& record) {
  std::size_t length = 0;
  while (length < kAssignmentTextChars && record.payload.text[length] != 0) ++length;
  return std::wstring(record.payload.text, length);
}

bool IsKeyboardAssignmentKind(int32_t kind) {
  // The by-name kinds stand for targets the device does not know yet and are
  // accepted exactly where their by-id kinds are.
  static constexpr int32_t kAccepted[] = {KEYKIND_DEFAULT, KEYKIND_SINGLEKEY, KEYKIND_MACRO,
                                          KEYKIND_PROFILE, KEYKIND_LAUNCH,    KEYKIND_DISABLED};
  for (int32_t entry : kAccepted) {
    if (kind == entry) return true;
    if (entry == KEYKIND_PROFILE && kind == KEYKIND_PROFILE_BYNAME) return true;
    if (entry == KEYKIND_MACRO && kind == KEYKIND_MACRO_BYNAME) return true;
    if (entry == KEYKIND_LAUNCH && kind == KEYKIND_LAUNCH_BYPATH) return true;
  }
  return false;
}
