#include "device/KeyAssignment.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

bool AllBytesZero(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i)
    if (bytes[i] != 0) return false;
  return true;
}

TEST(KeyAssignment, DefaultRecordIsAllZero) {
  // Not a plain `KeyAssignment r;` on garbage: construct over dirty storage.
  alignas(KeyAssignment) unsigned char storage[sizeof(KeyAssignment)];
  std::memset(storage, 0xCD, sizeof storage);
  auto* record = new (storage) KeyAssignment;
  EXPECT_TRUE(AllBytesZero(record, sizeof *record));
}

TEST(KeyAssignment, MacroAssignmentCarriesIdAndMode) {
  KeyAssignment record;
  record.repeatCount = 7;
  const GUID id = {0x11223344, 0x5566, 0x7788, {1, 2, 3, 4, 5, 6, 7, 8}};
  MakeMacroAssignment(record, id, MACROPLAY_WHILEPRESSED);
  EXPECT_EQ(record.kind, KEYKIND_MACRO);
  EXPECT_TRUE(IsEqualGUID(record.payload.id, id));
  EXPECT_EQ(record.playMode, MACROPLAY_WHILEPRESSED);
  EXPECT_EQ(record.repeatCount, 0);
}

TEST(KeyAssignment, MacroNameIsCutAndThePayloadZeroed) {
  KeyAssignment record;
  std::memset(record.payload.raw, 0xAB, sizeof record.payload.raw);
  const std::wstring longName(300, L'm');
  MakeMacroNameAssignment(record, longName, MACROPLAY_ONCE);
  EXPECT_EQ(record.kind, KEYKIND_MACRO_BYNAME);
  EXPECT_EQ(GetAssignmentText(record), std::wstring(259, L'm'));
  EXPECT_EQ(record.payload.text[259], L'\0');
  EXPECT_TRUE(AllBytesZero(record.payload.text + 259, sizeof record.payload.raw - 259 * 2));

  MakeMacroNameAssignment(record, L"Short", MACROPLAY_ONCE);
  EXPECT_EQ(GetAssignmentText(record), L"Short");
  EXPECT_TRUE(AllBytesZero(record.payload.text + 5, sizeof record.payload.raw - 5 * 2));
}

TEST(KeyAssignment, TextWithoutTerminatorIsReadWithinItsField) {
  KeyAssignment record;
  for (wchar_t& unit : record.payload.text) unit = L'x';
  record.playMode = 0x00410041;  // would read as more text past the field
  EXPECT_EQ(GetAssignmentText(record), std::wstring(260, L'x'));
}

TEST(KeyAssignment, AcceptedKindsPairByNameWithById) {
  struct Case {
    int32_t kind;
    bool accepted;
  } const cases[] = {
      {0, true},   {5, true},   {6, true},   {7, true},   {8, true},   {21, true},
      {22, true},  {62, true},  {63, true},  {1, false},  {42, false}, {16, false},
      {35, false}, {-1, false}, {9, false},  {64, false}, {20, false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsKeyboardAssignmentKind(c.kind), c.accepted) << c.kind;
}

}  // namespace
