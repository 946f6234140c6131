#include "device/DeviceRecords.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const GUID kId = {0x11223344, 0x5566, 0x7788, {1, 2, 3, 4, 5, 6, 7, 8}};

DeviceKeyAssignment Typed(int32_t type, int32_t at12 = 0) {
  DeviceKeyAssignment r;
  InitDeviceAssignment(r, type, at12, 0);
  if (type != DEVICE_ASSIGN_FUNCTION && type != DEVICE_ASSIGN_PROFILE && type != DEVICE_ASSIGN_SENSITIVITY)
    SetDeviceRecordInt(r, 12, at12);
  return r;
}

KeyAssignment KeyOf(int16_t scan, int16_t virtualKey, uint8_t flags) {
  KeyAssignment a;
  a.kind = KEYKIND_SINGLEKEY;
  a.payload.key.scanCode = scan;
  a.payload.key.virtualKey = virtualKey;
  a.payload.key.flags = flags;
  return a;
}

TEST(DeviceRecords, KeyFlagsTravelInTheUnalignedWordAndPauseIsToldFromNumLock) {
  struct Case {
    int16_t scan, virtualKey;
    uint8_t flags;
    uint32_t word;
  } toDevice[] = {
      {0x1E, 0, 0, 0},
      {0x1D, 0, KEYFLAG_EXTENDED, 0x1000000},
      {0x1E, 0, KEYFLAG_ALT | KEYFLAG_CTRL | KEYFLAG_SHIFT, 0x0E000000},
      {0x45, 19, 0, 0x1000000},  // Pause whatever its flags say
      {0x45, 144, 0, 0},
  };
  for (const auto& c : toDevice) {
    DeviceKeyAssignment r = TemplateForKind(KEYKIND_SINGLEKEY);
    ToDeviceAssignment(KeyOf(c.scan, c.virtualKey, c.flags), r);
    EXPECT_EQ(DeviceRecordWord(r, 14), c.word) << std::hex << c.scan;
    int16_t scan;
    std::memcpy(&scan, reinterpret_cast<const uint8_t*>(&r) + 12, 2);
    EXPECT_EQ(scan, c.scan);
  }

  struct Back {
    int16_t scan;
    uint32_t word;
    uint8_t flags;
    int16_t virtualKey;
  } fromDevice[] = {
      {0x45, 0x1000000, 0, 19},    // Pause: extended bit cleared
      {0x45, 0, 0, 144},           // Num Lock
      {0x45, 0x9000000, 8, 19},    // only the extended bit goes
      {0x1D, 0x1000000, 1, 0},
      {0x1E, 0x0E000000, 0x0E, 0},
      {0x1E, 0x10000000, 0, 0},    // a bit beyond the four is not carried
  };
  for (const auto& c : fromDevice) {
    DeviceKeyAssignment r;
    InitDeviceAssignment(r, DEVICE_ASSIGN_KEY, static_cast<int32_t>(c.word), c.scan);
    KeyAssignment a;
    a.kind = KindFromDeviceAssignment(r);
    FromDeviceAssignment(r, a);
    EXPECT_EQ(a.payload.key.scanCode, c.scan);
    EXPECT_EQ(a.payload.key.flags, c.flags) << std::hex << c.word;
    EXPECT_EQ(a.payload.key.virtualKey, c.virtualKey) << std::hex << c.word;
  }
}

TEST(DeviceRecords, MacroAssignmentSwapsPlayModesThreeAndFour) {
  const int32_t toDevice[] = {0, 1, 2, 4, 3, 0};  // for modes 0..5
  for (int32_t mode = 0; mode <= 5; ++mode) {
    KeyAssignment a;
    MakeMacroAssignment(a, kId, mode);
    a.repeatCount = 7;
    DeviceKeyAssignment r = TemplateForKind(a.kind);
    r.keyCode = 0x1E;
    ToDeviceAssignment(a, r);
    EXPECT_EQ(r.type, DEVICE_ASSIGN_MACRO);
    EXPECT_EQ(DeviceRecordByte(r, 28), toDevice[mode]) << mode;
    EXPECT_EQ(DeviceRecordByte(r, 29), 7);
    EXPECT_TRUE(IsEqualGUID(DeviceRecordGuid(r, 12), kId));
    KeyAssignment back;
    back.kind = KindFromDeviceAssignment(r);
    FromDeviceAssignment(r, back);
    EXPECT_EQ(back.kind, KEYKIND_MACRO);
    EXPECT_EQ(back.playMode, mode >= 1 && mode <= 4 ? mode : 0) << mode;
    EXPECT_EQ(back.repeatCount, 7);
    EXPECT_TRUE(IsEqualGUID(back.payload.id, kId));
  }
}

TEST(DeviceRecords, IdsGoWhereTheirTypeKeepsThem) {
  KeyAssignment a;
  a.payload.id = kId;
  DeviceKeyAssignment profile = TemplateForKind(KEYKIND_PROFILE);
  ToDeviceAssignment(a, profile);
  EXPECT_TRUE(IsEqualGUID(DeviceRecordGuid(profile, 16), kId));
  EXPECT_EQ(DeviceRecordInt(profile, 12), 3);
  DeviceKeyAssignment launch = TemplateForKind(KEYKIND_LAUNCH);
  ToDeviceAssignment(a, launch);
  EXPECT_TRUE(IsEqualGUID(DeviceRecordGuid(launch, 12), kId));
  DeviceKeyAssignment profileUp = TemplateForKind(23);  // sub-type 2: no id written
  ToDeviceAssignment(a, profileUp);
  EXPECT_TRUE(IsEqualGUID(DeviceRecordGuid(profileUp, 16), GUID{}));

  KeyAssignment back;
  back.kind = KindFromDeviceAssignment(profile);
  FromDeviceAssignment(profile, back);
  EXPECT_EQ(back.kind, KEYKIND_PROFILE);
  EXPECT_TRUE(IsEqualGUID(back.payload.id, kId));
}

TEST(DeviceRecords, KindsOfRecordsReadBack) {
  struct Case {
    DeviceKeyAssignment record;
    int32_t kind;
  } cases[] = {
      {Typed(DEVICE_ASSIGN_KEY), 0},
      {Typed(DEVICE_ASSIGN_MACRO), 6},
      {Typed(DEVICE_ASSIGN_PROFILE, 3), 21},
      {Typed(DEVICE_ASSIGN_PROFILE, 2), 23},
      {Typed(DEVICE_ASSIGN_PROFILE, 1), 24},
      {Typed(DEVICE_ASSIGN_LAUNCH), 62},
      {Typed(DEVICE_ASSIGN_FUNCTION, 0), 8},
      {Typed(DEVICE_ASSIGN_FUNCTION, 1), 1},
      {Typed(DEVICE_ASSIGN_FUNCTION, 11), 4},
      {Typed(DEVICE_ASSIGN_FUNCTION, 7), 41},
      {Typed(DEVICE_ASSIGN_ADVANCED), 9},
      {Typed(DEVICE_ASSIGN_SENSITIVITY, 3), 16},
      {Typed(DEVICE_ASSIGN_FUNCTION, 99), -1},
      {Typed(DEVICE_ASSIGN_GUID), -1},
      {DeviceKeyAssignment{}, -1},
      {Typed(7), -1},
  };
  for (const auto& c : cases) EXPECT_EQ(KindFromDeviceAssignment(c.record), c.kind) << c.record.type;
}

TEST(DeviceRecords, TemplatesAndTheirMissingRows) {
  for (int32_t kind : {63, 11, 100, -1}) {
    const DeviceKeyAssignment t = TemplateForKind(kind);
    const DeviceKeyAssignment zero{};
    EXPECT_EQ(std::memcmp(&t, &zero, sizeof(t)), 0) << kind;
  }
  const DeviceKeyAssignment stage3 = TemplateForKind(18);
  EXPECT_EQ(stage3.header, 1);
  EXPECT_EQ(stage3.keyCode, 0u);
  EXPECT_EQ(stage3.type, DEVICE_ASSIGN_SENSITIVITY);
  EXPECT_EQ(DeviceRecordInt(stage3, 12), 3);
  EXPECT_EQ(DeviceRecordInt(stage3, 16), 2);

  AssignmentTemplateMap a, b;
  DeviceMouseFlagMap ma, mb;
  BuildAssignmentTemplates(a, ma);
  BuildAssignmentTemplates(a, ma);
  BuildAssignmentTemplates(b, mb);
  EXPECT_EQ(a.size(), b.size()) << "refilling gives the same contents";
  EXPECT_EQ(ma, mb);
  EXPECT_EQ(ma.at(0x1), std::make_pair(1, 255));
  EXPECT_EQ(ma.at(0x200), std::make_pair(26, 1));
}

TEST(DeviceRecords, MacroEventsToBlobAndBack) {
  const MacroEventList events = {
      {MACROEVENT_KEY, 0x1E, 255},                // A down
      {MACROEVENT_DELAY, 120, 120},
      {MACROEVENT_KEY, 0x1D, 1 | (1 << 8)},       // right Ctrl up (extended)
      {MACROEVENT_KEY, 0x45 | (19 << 16), 255},   // Pause down
      {MACROEVENT_MOUSE, 2, 1},                   // right button up
      {MACROEVENT_MOUSE, 7, 255},                 // no such button
  };
  const DWORD expected[][2] = {{2, 0x1E}, {3, 120}, {2, 0x3001D}, {2, 0x20045}, {1, 0x8}, {1, 0}};
  const size_t bytes = DeviceMacroBlobBytes(events.size());
  auto* blob = static_cast<DeviceMacroBlob*>(CoTaskMemAlloc(bytes));
  std::memset(blob, 0, bytes);
  blob->count = static_cast<LONG>(events.size());
  ASSERT_TRUE(MacroEventsToDeviceBlob(events, blob));
  for (size_t i = 0; i < events.size(); ++i) {
    EXPECT_EQ(static_cast<DWORD>(blob->events[i].type), expected[i][0]) << i;
    EXPECT_EQ(blob->events[i].data, expected[i][1]) << i;
  }

  MacroEventList back;
  ASSERT_TRUE(DeviceBlobToMacroEvents(back, blob));
  ASSERT_EQ(back.size(), events.size());
  EXPECT_EQ(back[0], (MacroEvent{MACROEVENT_KEY, 0x1E, 255}));
  EXPECT_EQ(back[1], (MacroEvent{MACROEVENT_DELAY, 120, 120}));
  EXPECT_EQ(back[2], (MacroEvent{MACROEVENT_KEY, 0x1D, 1 | (1 << 8)}));
  EXPECT_EQ(back[3], (MacroEvent{MACROEVENT_KEY, 0x45 | (19 << 16), 255})) << "Pause: vk 19, not extended";
  EXPECT_EQ(back[4], (MacroEvent{MACROEVENT_MOUSE, 2, 1}));
  EXPECT_EQ(back[5], (MacroEvent{MACROEVENT_MOUSE, 0, 0})) << "a flag without a row";
  blob->events[0] = {2, 0x45};
  ASSERT_TRUE(DeviceBlobToMacroEvents(back, blob));
  EXPECT_EQ(back[0], (MacroEvent{MACROEVENT_KEY, 0x45 | (144 << 16), 255})) << "Num Lock";

  // The writer never goes past the count its caller wrote.
  blob->count = 2;
  std::memset(blob->events, 0, events.size() * sizeof(DeviceMacroEvent));
  ASSERT_TRUE(MacroEventsToDeviceBlob(events, blob));
  EXPECT_EQ(blob->events[2].type, 0);
  CoTaskMemFree(blob);
}

TEST(DeviceRecords, BlobsThatDoNotFitAreRefused) {
  MacroEventList events = {{MACROEVENT_DELAY, 1, 1}};
  DeviceMacroBlob empty{};
  EXPECT_FALSE(DeviceBlobToMacroEvents(events, &empty, sizeof(empty)));
  EXPECT_TRUE(events.empty()) << "an empty blob yields no events";

  const size_t bytes = DeviceMacroBlobBytes(2);
  auto* blob = static_cast<DeviceMacroBlob*>(CoTaskMemAlloc(bytes));
  std::memset(blob, 0, bytes);
  blob->events[0] = {3, 5};
  blob->events[1] = {3, 6};
  struct Case {
    LONG count;
    bool ok;
  } cases[] = {{2, true}, {3, true} /* the spare record */, {4, false}, {1000000, false}, {-1, false}};
  for (const auto& c : cases) {
    blob->count = c.count;
    if (c.count == 3) blob->events[2] = {3, 7};
    EXPECT_EQ(DeviceBlobToMacroEvents(events, blob), c.ok) << c.count;
    if (!c.ok) {
      EXPECT_TRUE(events.empty()) << c.count;
    }
  }
  blob->count = 2;
  blob->events[1] = {9, 0};
  EXPECT_FALSE(DeviceBlobToMacroEvents(events, blob)) << "an unknown record type";
  EXPECT_FALSE(DeviceBlobToMacroEvents(events, nullptr));
  CoTaskMemFree(blob);
}

TEST(DeviceRecords, ProgramFileProperty) {
  BYTE buffer[kProgramFilePropertyBytes];
  EXPECT_TRUE(MakeProgramFileProperty(std::wstring(127, L'a'), buffer));
  EXPECT_EQ(ProgramFileFromProperty(buffer, sizeof(buffer), 256), std::wstring(127, L'a'));
  EXPECT_FALSE(MakeProgramFileProperty(std::wstring(128, L'a'), buffer));
  EXPECT_EQ(buffer[0], 0);

  BYTE unterminated[8];
  const wchar_t text[4] = {L'a', L'b', L'c', L'd'};
  std::memcpy(unterminated, text, sizeof(text));
  struct Case {
    DWORD sizeOut;
    const wchar_t* expected;
  } cases[] = {{0, L""}, {3, L"a"}, {4, L"ab"}, {8, L"abcd"}, {4096, L"abcd"} /* clamped to the buffer */};
  for (const auto& c : cases) EXPECT_EQ(ProgramFileFromProperty(unterminated, 8, c.sizeOut), c.expected) << c.sizeOut;
}

TEST(DeviceRecords, DeviceKeyCodesAndTheDescriptor) {
  EXPECT_EQ(MakeDeviceKeyCode(0x1D, 1), 0x2001Du);
  EXPECT_EQ(MakeDeviceKeyCode(0x45, 2), 0x40045u);
  EXPECT_EQ(DeviceKeyDefinitionFlag(0x40045), 2);
  EXPECT_EQ(DeviceKeyDefinitionFlag(0x2001D), 1);
  EXPECT_EQ(DeviceKeyDefinitionFlag(0x3001D), 0);
  EXPECT_EQ(DeviceKeyScanCode(0x2001D), 0x1D);
  EXPECT_EQ(kOvrixDeviceDescriptor.productId, 0x0C41u);
  EXPECT_TRUE(kOvrixDeviceDescriptor.Has(CAPABILITY_KEY_ASSIGNMENTS));
  EXPECT_FALSE(kOvrixDeviceDescriptor.Has(CAPABILITY_LIGHTING));
  EXPECT_FALSE(kOvrixDeviceDescriptor.Has(CAPABILITY_COLOR_RANGES));
}

}  // namespace
