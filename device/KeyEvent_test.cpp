#include "device/KeyEvent.h"

#include <gtest/gtest.h>

#include "device/InputFakes.h"
#include "device/PredefinedMacros.h"
#include "gui/base/SkinNameTables.h"

namespace {

using device::testing::FakeKeyboardText;

// ---- Predefined macros -----------------------------------------------------

struct KeyStep {
  uint16_t scan, vk;
  uint8_t flags;
};

MacroEvent Step(KeyStep key, uint8_t state) {
  return MacroEvent{MACROEVENT_KEY, static_cast<int32_t>(key.scan | (uint32_t{key.vk} << 16)),
                    static_cast<int32_t>(state | (key.flags << 8))};
}

TEST(PredefinedMacros, EveryMacroIsModifierDownKeyDownKeyUpModifierUp) {
  const KeyStep ctrl{0x1D, 0xA2, 0}, alt{0x38, 0xA4, 0}, win{0x5B, 0x5B, 1};
  struct Row {
    const wchar_t* keyword;
    KeyStep modifier, key;
  } rows[] = {
      {L"$cut", ctrl, {0x2D, 0x58, 0}},         {L"$copy", ctrl, {0x2E, 0x43, 0}},
      {L"$paste", ctrl, {0x2F, 0x56, 0}},       {L"$undo", ctrl, {0x2C, 0x5A, 0}},
      {L"$all", ctrl, {0x1E, 0x41, 0}},         {L"$find", ctrl, {0x21, 0x46, 0}},
      {L"$new", ctrl, {0x31, 0x4E, 0}},         {L"$print", ctrl, {0x19, 0x50, 0}},
      {L"$save", ctrl, {0x1F, 0x53, 0}},        {L"$swapwindows", alt, {0x0F, 0x09, 0}},
      {L"$closewindow", alt, {0x3E, 0x73, 0}},  {L"$lockpc", win, {0x26, 0x4C, 0}},
      {L"$openexplorer", win, {0x12, 0x45, 0}}, {L"$run", win, {0x13, 0x52, 0}},
      {L"$showdesktop", win, {0x20, 0x44, 0}},  {L"$zoomin", ctrl, {0x0D, 0xBB, 0}},
      {L"$zoomout", ctrl, {0x0C, 0xBD, 0}},
  };
  for (const Row& row : rows) {
    MacroEventList events;
    ASSERT_TRUE(FindPredefinedMacro(row.keyword, PredefinedMacroList(), events)) << row.keyword;
    const MacroEventList expected{Step(row.modifier, 255), Step(row.key, 255), Step(row.key, 1), Step(row.modifier, 1)};
    EXPECT_EQ(events, expected) << row.keyword;
  }
}

TEST(PredefinedMacros, NamesAreFoundWithoutRegardToCaseAndUnknownNamesChangeNothing) {
  MacroEventList events{MacroEvent{MACROEVENT_DELAY, 7, 7}};
  ASSERT_TRUE(FindPredefinedMacro(L"$COPY", PredefinedMacroList(), events));
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[1], Step({0x2E, 0x43, 0}, 255));

  const MacroEventList before{MacroEvent{MACROEVENT_DELAY, 7, 7}};
  for (const wchar_t* name : {L"$copyx", L"copy", L"", L"$defaultkey"}) {
    events = before;
    EXPECT_FALSE(FindPredefinedMacro(name, PredefinedMacroList(), events)) << name;
    EXPECT_EQ(events, before) << name;
  }
}

TEST(PredefinedMacros, FamiliesListTheirKeywordsInIdOrder) {
  std::vector<std::wstring> out{L"left over"};
  ListPredefinedMacrosA(PredefinedMacroList(), out);
  EXPECT_EQ(out, (std::vector<std::wstring>{L"$cut", L"$copy", L"$paste", L"$undo", L"$all", L"$find", L"$new",
                                            L"$print", L"$save"}));
  ListPredefinedMacrosB(PredefinedMacroList(), out);
  EXPECT_EQ(out, (std::vector<std::wstring>{L"$swapwindows", L"$closewindow", L"$lockpc", L"$openexplorer", L"$run",
                                            L"$showdesktop", L"$zoomin", L"$zoomout"}));
  EXPECT_EQ(PredefinedMacroList().steps.size(), 40u);
}

// ---- Conversions -------------------------------------------------------------

TEST(KeyEvent, FirstFourFieldsPackIntoAKeyMacroEvent) {
  KeyEvent event;
  event.scanCode = 0x1D;
  event.virtualKey = static_cast<int16_t>(0xA3);
  event.state = 255;
  event.flags = kKeyFlagExtended | kKeyFlagShift;
  const MacroEvent m = MacroEventFromKeyEvent(event);
  EXPECT_EQ(m.type, MACROEVENT_KEY);
  EXPECT_EQ(static_cast<uint32_t>(m.a), 0x00A3001Du);
  EXPECT_EQ(static_cast<uint32_t>(m.b), 0x09FFu);
}

TEST(KeyEvent, RawRecordsGiveUsableKeysOnly) {
  FakeKeyboardText text;
  struct Row {
    USHORT make, flags, vk;
    bool usable;
    int16_t scan, virtualKey;
    uint8_t state, eventFlags;
  } rows[] = {
      {0x1E, 0, 0x41, true, 0x1E, 0x41, 255, 0},                           // A down
      {0x1E, RI_KEY_BREAK, 0x41, true, 0x1E, 0x41, 1, 0},                  // A up
      {0x4D, RI_KEY_E0, VK_RIGHT, true, 0x4D, VK_RIGHT, 255, 1},           // Right Arrow, extended
      {0, 0, 0x41, false, 0, 0x41, 255, 0},                                // make code 0
      {0x1D, RI_KEY_E1, VK_PAUSE, false, 0x1D, VK_PAUSE, 255, 0},          // E1 prefix of Pause
      {0x2A, RI_KEY_E0, 255, false, 0x2A, VK_PAUSE, 255, 1},               // fake Shift: keeps the last key
      {0x2A, RI_KEY_E0 | RI_KEY_BREAK, 255, false, 0x2A, VK_PAUSE, 1, 1},
  };
  KeyEvent event;
  for (const Row& row : rows) {
    RAWKEYBOARD record{};
    record.MakeCode = row.make;
    record.Flags = row.flags;
    record.VKey = row.vk;
    EXPECT_EQ(KeyEventFromRawInput(event, &record), row.usable) << row.make << "/" << row.flags;
    EXPECT_EQ(event.scanCode, row.scan);
    EXPECT_EQ(event.virtualKey, row.virtualKey);
    EXPECT_EQ(event.state, row.state);
    EXPECT_EQ(event.flags, row.eventFlags);
    EXPECT_FALSE(event.name.empty());
  }
  // A non-extended 255 (no key of its own) also takes the last key.
  RAWKEYBOARD record{};
  record.MakeCode = 0x54;
  record.VKey = 255;
  EXPECT_TRUE(KeyEventFromRawInput(event, &record));
  EXPECT_EQ(event.virtualKey, VK_PAUSE);
  EXPECT_FALSE(KeyEventFromRawInput(event, nullptr));
}

LPARAM KeyLParam(int scan, bool extended = false, bool context = false, bool repeat = false) {
  return static_cast<LPARAM>(1 | (scan << 16) | (extended ? 1 << 24 : 0) | (context ? 1 << 29 : 0) |
                             (repeat ? 1 << 30 : 0));
}

TEST(KeyEvent, MessagesCorrectModifiersAndReportConsumedKeys) {
  FakeKeyboardText text;
  struct Row {
    UINT message;
    WPARAM key;
    LPARAM lParam;
    bool consumed;
    int16_t virtualKey;
    uint8_t flags, state;
  } rows[] = {
      {WM_KEYDOWN, VK_CONTROL, KeyLParam(0x1D), false, VK_LCONTROL, 0, 255},
      {WM_KEYUP, VK_CONTROL, KeyLParam(0x1D, true), false, VK_RCONTROL, 1, 1},
      {WM_KEYDOWN, VK_SHIFT, KeyLParam(0x2A), false, VK_LSHIFT, 0, 255},
      {WM_KEYDOWN, VK_SHIFT, KeyLParam(0x36), false, VK_RSHIFT, 0, 255},
      {WM_KEYDOWN, VK_SHIFT, KeyLParam(0x2B), false, VK_SHIFT, 0, 255},
      {WM_SYSKEYDOWN, VK_MENU, KeyLParam(0x38, false, true), false, VK_LMENU, 2, 255},
      {WM_SYSKEYUP, VK_MENU, KeyLParam(0x38, true, true), false, VK_RMENU, 3, 1},
      {WM_KEYDOWN, VK_RETURN, KeyLParam(0x1C, true), false, 108, 1, 255},
      {WM_KEYDOWN, VK_RETURN, KeyLParam(0x1C), false, VK_RETURN, 0, 255},
      {WM_KEYDOWN, VK_TAB, KeyLParam(0x0F), true, VK_TAB, 0, 255},
      {WM_KEYDOWN, VK_SPACE, KeyLParam(0x39), true, VK_SPACE, 0, 255},
      {WM_KEYDOWN, VK_LEFT, KeyLParam(0x4B, true), true, VK_LEFT, 1, 255},
      {WM_KEYDOWN, VK_APPS, KeyLParam(0x5D, true), true, VK_APPS, 1, 255},
      {WM_KEYDOWN, VK_SCROLL, KeyLParam(0x46), true, VK_SCROLL, 0, 255},
      {WM_KEYUP, VK_TAB, KeyLParam(0x0F), false, VK_TAB, 0, 1},               // only key-downs are consumed
      {WM_SYSKEYDOWN, VK_SPACE, KeyLParam(0x39, false, true), false, VK_SPACE, 2, 255},
      {WM_KEYDOWN, VK_ESCAPE, KeyLParam(0x01), false, VK_ESCAPE, 0, 255},
  };
  for (const Row& row : rows) {
    KeyEvent event;
    MSG msg{nullptr, row.message, row.key, row.lParam, 0, {}};
    EXPECT_EQ(KeyEventFromMessage(&msg, event), row.consumed) << row.key;
    EXPECT_EQ(event.virtualKey, row.virtualKey) << row.key;
    EXPECT_EQ(event.workVirtualKey, row.virtualKey) << row.key;
    EXPECT_EQ(event.scanCode, static_cast<int16_t>((row.lParam >> 16) & 0xFF)) << row.key;
    EXPECT_EQ(event.flags, row.flags) << row.key;
    EXPECT_EQ(event.state, row.state) << row.key;
  }
}

TEST(KeyEvent, RepeatsAndOtherMessagesLeaveTheEventAlone) {
  FakeKeyboardText text;
  KeyEvent event;
  event.scanCode = 0x11;
  event.virtualKey = 0x57;
  event.name = L"W";
  const MSG messages[] = {
      {nullptr, WM_KEYDOWN, 0x41, KeyLParam(0x1E, false, false, true), 0, {}},
      {nullptr, WM_SYSKEYDOWN, 0x41, KeyLParam(0x1E, false, true, true), 0, {}},
      {nullptr, WM_CHAR, L'a', KeyLParam(0x1E), 0, {}},
  };
  for (const MSG& msg : messages) {
    EXPECT_TRUE(KeyEventFromMessage(&msg, event));
    EXPECT_EQ(event.scanCode, 0x11);
    EXPECT_EQ(event.virtualKey, 0x57);
    EXPECT_EQ(event.name, L"W");
  }
}

TEST(KeyEvent, ShiftStateOfTheCharacterSetsFlagsOnlyForARealCharacter) {
  FakeKeyboardText text;
  text.characters = {{'A', 'A'}, {'7', '7'}, {VK_OEM_6, 0x80000000u | L'^'}, {VK_OEM_1, L'\x00B5'}, {'Q', 'Q'}};
  text.keysOf = {{L'A', 0x0141}, {L'7', 0x0037}, {L'^', 0x00DC}, {L'Q', 0x0751}};
  struct Row {
    WPARAM key;
    uint8_t flags;
  } rows[] = {
      {'A', kKeyFlagShift},                         // upper-case A needs Shift
      {'7', 0},
      {VK_OEM_6, 0},                                // dead key: bit masked, '^' needs no shift
      {VK_OEM_1, 0},                                // a character no key types (-1)
      {VK_F1, 0},                                   // no character at all
      {'Q', kKeyFlagShift | kKeyFlagCtrl | kKeyFlagAlt},
  };
  for (const Row& row : rows) {
    KeyEvent event;
    MSG msg{nullptr, WM_KEYDOWN, row.key, KeyLParam(0x10), 0, {}};
    KeyEventFromMessage(&msg, event);
    EXPECT_EQ(event.flags, row.flags) << row.key;
  }
}

// ---- Names ---------------------------------------------------------------------

TEST(KeyDisplayName, UsLayoutNamesAreTheSystemsKeyNames) {
  struct Row {
    int vk, scan;
    bool extended;
  } rows[] = {{'A', 0x1E, false}, {VK_RETURN, 0x1C, false}, {VK_RETURN, 0x1C, true}, {VK_LSHIFT, 0x2A, false},
              {VK_F5, 0x3F, false}, {VK_NUMLOCK, 0x45, false}, {VK_RIGHT, 0x4D, true}, {VK_OEM_2, 0x35, false}};
  for (const Row& row : rows) {
    wchar_t expected[40] = {};
    LONG lParam = (row.scan << 16) | ((row.extended || row.vk == VK_NUMLOCK) ? 1 << 24 : 0);
    ASSERT_GT(::GetKeyNameTextW(lParam, expected, 40), 0) << row.scan;
    std::wstring name;
    EXPECT_TRUE(GetKeyDisplayName(row.vk, name, row.scan, row.extended));
    EXPECT_EQ(name, expected) << row.scan;
  }
}

TEST(KeyDisplayName, FallsBackToAbbreviationThenCharacterThenScanCode) {
  FakeKeyboardText text;
  text.names[0x1E << 16] = L"A-key";
  text.names[(0x45 << 16) | (1 << 24)] = L"Num Lock";
  text.typed = {{0x51, L"q"}, {0xDE, L"\x0444"}, {VK_OEM_6, L"^"}, {VK_OEM_102, L"\r"}, {0xDF, L"\xD83D\xDE00"}};
  struct Row {
    int vk, scan;
    bool extended;
    const wchar_t* name;
  } rows[] = {
      {'A', 0x1E, false, L"A-key"},          // the system's name first
      {VK_NUMLOCK, 0x45, false, L"Num Lock"},  // Num Lock is asked for as an extended key
      {VK_F1, 0x3B, false, L"F1"},          // abbreviation
      {0x51, 0x10, false, L"Q"},            // the character, upper case
      {0xDE, 0x28, false, L"\x0424"},       // a non-Latin letter keeps its whole character
      {VK_OEM_6, 0x1B, false, L"^"},        // a dead key's spacing form
      {0xDF, 0x56, false, L"\xD83D\xDE00"}, // a character beyond 16 bits stays whole
      {VK_OEM_102, 0x56, false, L"0x56"},   // a control character is no name
      {0x87, 0x69, false, L"0x69"},         // nothing at all: the scan code
  };
  for (const Row& row : rows) {
    std::wstring name = L"old";
    EXPECT_TRUE(GetKeyDisplayName(row.vk, name, row.scan, row.extended));
    EXPECT_EQ(name, row.name) << row.vk;
    EXPECT_EQ(name.find(L'\0'), std::wstring::npos);
  }
}

}  // namespace
