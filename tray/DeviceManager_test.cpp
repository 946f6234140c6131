#include "tray/DeviceManager.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "device/DeviceRecords.h"
#include "tray/DelayTimer.h"
#include "tray/testing/TrayTestSupport.h"

namespace {

using namespace tray::testing;

class DeviceManagerTest : public InProcessServiceTest {
 protected:
  void SetUp() override {
    InProcessServiceTest::SetUp();
    SetProfiles(Core(), {{L"Desktop", L"", 0}, {L"Game", L"game.exe", 1 | 4}, {L"Work", L"", 2}}, 1);
  }
};

TEST_F(DeviceManagerTest, ReadsEveryProfileWithProgramAndFlagsInDeviceOrder) {
  CDeviceManager manager;
  ASSERT_TRUE(manager.IsDevicePresent());
  std::vector<_Profile_Setting_> settings;
  ASSERT_TRUE(manager.GetAllProfiles(settings));
  ASSERT_EQ(settings.size(), 3u);
  EXPECT_EQ(settings[0].name, L"Desktop");
  EXPECT_EQ(settings[1].name, L"Game");
  EXPECT_EQ(settings[1].program, L"game.exe");
  EXPECT_EQ(settings[1].autoSwitch, 1);
  EXPECT_EQ(settings[1].flag1, 0);
  EXPECT_EQ(settings[1].showOsd, 1);
  EXPECT_EQ(settings[2].flag1, 1);
  EXPECT_EQ(settings[2].autoSwitch, 0);
  EXPECT_TRUE(IsEqualGUID(settings[2].id, TestId(3)));

  std::vector<std::wstring> names;
  ASSERT_TRUE(manager.GetProfileNames(names));
  EXPECT_EQ(names, (std::vector<std::wstring>{L"Desktop", L"Game", L"Work"}));

  GUID active{};
  ASSERT_TRUE(manager.GetActiveProfileId(active));
  EXPECT_TRUE(IsEqualGUID(active, TestId(2)));
  std::wstring activeName;
  ASSERT_TRUE(manager.GetActiveProfileName(activeName));
  EXPECT_EQ(activeName, L"Game");
}

TEST_F(DeviceManagerTest, WithoutTheKeyboardEveryOperationFails) {
  Core().SetPlugged(false);
  CDeviceManager manager;
  EXPECT_FALSE(manager.IsDevicePresent());
  std::vector<_Profile_Setting_> settings{_Profile_Setting_{}};
  EXPECT_FALSE(manager.GetAllProfiles(settings));
  EXPECT_TRUE(settings.empty());
  std::vector<std::wstring> names{L"old"};
  EXPECT_FALSE(manager.GetProfileNames(names));
  EXPECT_TRUE(names.empty());
  GUID id{};
  EXPECT_FALSE(manager.GetActiveProfileId(id));
  EXPECT_FALSE(manager.ActivateProfileByName(L"Game"));
  std::wstring macroName;
  manager.GetNextMacroName(macroName);
  EXPECT_TRUE(macroName.empty());
  EXPECT_FALSE(manager.CreateMacro(L"New Macro1", {}, id));
  EXPECT_FALSE(manager.AssignMacroToKey(TestId(100), 0, 0x1E));
  EXPECT_EQ(manager.ConnectProfileEvents(nullptr), nullptr);
  EXPECT_EQ(manager.ConnectMacroEvents(nullptr), nullptr);
  EXPECT_EQ(manager.ConnectLaunchAppEvents(nullptr), nullptr);
  EXPECT_FALSE(manager.BeginRecordingMode());
}

// Lookups by name and activation by name are exact; the per-profile assignment
// compares without regard to case and takes the first in device order.
TEST_F(DeviceManagerTest, NamesDifferingOnlyInCase) {
  SetProfiles(Core(), {{L"game", L"a.exe", 0}, {L"GAME", L"b.exe", 4}}, 0);
  CDeviceManager manager;
  _Profile_Setting_ found;
  ASSERT_TRUE(manager.GetProfileByName(L"GAME", found));
  EXPECT_EQ(found.program, L"b.exe");
  EXPECT_EQ(found.showOsd, 1);
  EXPECT_FALSE(manager.GetProfileByName(L"Game", found));
  EXPECT_FALSE(manager.ActivateProfileByName(L"Game"));
  ASSERT_TRUE(manager.ActivateProfileByName(L"GAME"));
  EXPECT_TRUE(IsEqualGUID(Core().State().active, TestId(2)));

  SetMacros(Core(), {L"Macro"});
  ASSERT_TRUE(manager.AssignMacroToKeyInProfile(L"Game", TestId(100), 0, 0x1E));
  bool assigned = false;
  for (const auto& record : Core().State().profiles[0].keys)
    assigned |= record.keyCode == 0x1E && record.type == DEVICE_ASSIGN_MACRO;
  EXPECT_TRUE(assigned) << "the first of the two in device order";
}

TEST_F(DeviceManagerTest, LookupAndActivationById) {
  CDeviceManager manager;
  _Profile_Setting_ setting;
  ASSERT_TRUE(manager.GetProfileById(TestId(2), setting));
  EXPECT_EQ(setting.name, L"Game");
  EXPECT_EQ(setting.program, L"game.exe");
  EXPECT_FALSE(manager.GetProfileById(TestId(9), setting));
  ASSERT_TRUE(manager.ActivateProfileById(TestId(3)));
  EXPECT_TRUE(IsEqualGUID(Core().State().active, TestId(3)));
  EXPECT_FALSE(manager.ActivateProfileById(TestId(9)));
}

// The program is read within its 127 characters: a longer stored name gives no
// program (and makes the lookup that needs both properties fail).
TEST_F(DeviceManagerTest, AProgramBeyondItsFieldIsNoProgram) {
  SetProfiles(Core(), {{L"Exact", std::wstring(127, L'p'), 1}, {L"Long", std::wstring(128, L'q'), 1}}, 0);
  CDeviceManager manager;
  std::vector<_Profile_Setting_> settings;
  ASSERT_TRUE(manager.GetAllProfiles(settings));
  ASSERT_EQ(settings.size(), 2u);
  EXPECT_EQ(settings[0].program, std::wstring(127, L'p'));
  EXPECT_EQ(settings[1].program, L"");
  _Profile_Setting_ setting;
  EXPECT_FALSE(manager.GetProfileById(TestId(2), setting));

  // Writing refuses what it would have to cut.
  EXPECT_TRUE(manager.SetProfileProgramPath(L"Exact", L"short.exe"));
  EXPECT_EQ(Core().State().profiles[0].program, L"short.exe");
  Core().ClearCallLog();
  EXPECT_FALSE(manager.SetProfileProgramPath(L"Exact", std::wstring(128, L'x')));
  EXPECT_EQ(CallsOf(Core(), L"SetProperty"), 0u);
  EXPECT_EQ(Core().State().profiles[0].program, L"short.exe");
}

TEST(MacroNames, NumberAfterTheStrippedLetters) {
  struct Case {
    const wchar_t* name;
    int32_t number;
  };
  const Case cases[] = {
      {L"New Macro3", 3},         {L"New Macro12", 12},       {L"My New Macro7", 0},
      {L"Macro5", 0},             {L"New Macro", 0},          {L"New Macro 8", 8},
      {L"New Macro-4", -4},       {L"New Macro9x", 9},        {L"New Macro2147483646", 2147483646},
      {L"New Macro2147483647", 0}, {L"New Macro99999999999999", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(tray::MacroNameNumber(c.name), c.number) << platform::WideToUtf8(c.name);
}

TEST_F(DeviceManagerTest, NextMacroNameCountsPastTheHighest) {
  struct Case {
    std::vector<std::wstring> macros;
    const wchar_t* next;
  };
  const Case cases[] = {
      {{}, L"New Macro1"},
      {{L"Copy", L"Paste"}, L"New Macro1"},
      {{L"New Macro3", L"New Macro12"}, L"New Macro13"},
      {{L"My New Macro7"}, L"New Macro1"},
      {{L"New Macro2147483647", L"New Macro5"}, L"New Macro6"},
  };
  for (const Case& c : cases) {
    SetMacros(Core(), c.macros);
    CDeviceManager manager;
    std::wstring name;
    manager.GetNextMacroName(name);
    EXPECT_EQ(name, c.next);
  }
}

TEST_F(DeviceManagerTest, CreateMacroStoresNameAndEventsOrLeavesNothing) {
  const std::vector<DeviceMacroEvent> events = {{2, 0x1E}, {3, 120}, {2, 0x1001E}};
  {
    CDeviceManager manager;
    GUID id{};
    ASSERT_TRUE(manager.CreateMacro(L"New Macro1", events, id));
    ASSERT_EQ(Core().State().macros.size(), 1u);
    const SimMacro& macro = Core().State().macros[0];
    EXPECT_TRUE(IsEqualGUID(macro.id, id));
    EXPECT_EQ(macro.name, L"New Macro1");
    ASSERT_EQ(macro.events.size(), 3u);
    EXPECT_EQ(macro.events[2].data, 0x1001Eu);
  }
  for (const wchar_t* failing : {L"IDeviceMacro::SetName", L"IDeviceMacro::SetEvents", L"IDeviceMacro::GetId"}) {
    SCOPED_TRACE(platform::WideToUtf8(failing));
    Core().State().macros.clear();
    Core().SetFault(failing, E_FAIL, 0);
    CDeviceManager manager;
    GUID id = TestId(77);
    EXPECT_FALSE(manager.CreateMacro(L"New Macro1", events, id));
    EXPECT_TRUE(IsEqualGUID(id, TestId(77)));
    EXPECT_TRUE(Core().State().macros.empty()) << "the half-made macro is deleted";
    Core().ClearFaults();
  }
}

TEST_F(DeviceManagerTest, AssignMacroToKeyStoresTheRecordAndReactivates) {
  SetMacros(Core(), {L"New Macro1"});
  {
    CDeviceManager manager;
    Core().ClearCallLog();
    ASSERT_TRUE(manager.AssignMacroToKey(TestId(100), 5, 0x1E));
    const SimProfile& active = Core().State().profiles[1];
    const DeviceKeyAssignment* stored = nullptr;
    for (const auto& record : active.keys)
      if (record.keyCode == 0x1E) stored = &record;
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->type, DEVICE_ASSIGN_MACRO);
    EXPECT_TRUE(IsEqualGUID(DeviceRecordGuid(*stored, 12), TestId(100)));
    EXPECT_EQ(DeviceRecordByte(*stored, 28), 1);  // play once
    EXPECT_EQ(DeviceRecordByte(*stored, 29), 0);
    EXPECT_EQ(CallsOf(Core(), L"IProfileManager::SetActiveProfile"), 1u);
  }
  {
    // No such macro: nothing is stored and nothing re-activated.
    CDeviceManager manager;
    Core().ClearCallLog();
    EXPECT_FALSE(manager.AssignMacroToKey(TestId(101), 0, 0x1E));
    EXPECT_EQ(CallsOf(Core(), L"SetAssignments"), 0u);
    EXPECT_EQ(CallsOf(Core(), L"SetActiveProfile"), 0u);
  }
  {
    // A refused record: no re-activation either.
    Core().SetFault(L"IKeyAssignments::SetAssignments", E_FAIL, 0);
    CDeviceManager manager;
    Core().ClearCallLog();
    EXPECT_FALSE(manager.AssignMacroToKey(TestId(100), 0, 0x1E));
    EXPECT_EQ(CallsOf(Core(), L"SetActiveProfile"), 0u);
  }
}

TEST_F(DeviceManagerTest, RecordingModesSetTheModeAndTheLight) {
  CDeviceManager manager;
  ASSERT_TRUE(manager.BeginRecordingMode());
  EXPECT_EQ(Core().Mode(), 2);
  const SimProfile& active = Core().State().profiles[1];
  ASSERT_FALSE(active.leds.empty());
  EXPECT_EQ(active.leds[0].on, 1);
  EXPECT_EQ(active.leds[0].effect, 0);
  ASSERT_TRUE(manager.ShowRecordingStopped());
  EXPECT_EQ(active.leds[0].effect, 1);
  EXPECT_EQ(active.leds[0].time1, 300);
  ASSERT_TRUE(manager.CancelRecordingMode());
  EXPECT_EQ(Core().Mode(), 1);
  EXPECT_EQ(active.leds[0].on, 0);

  CLed other = MacroLedScheme[0];
  other.ledId = 3;
  EXPECT_FALSE(manager.ApplyLedToActiveProfile(other)) << "no lighting item 3";
  EXPECT_FALSE(manager.ApplyLedToProfile(L"Nobody", MacroLedScheme[0]));
}

TEST_F(DeviceManagerTest, ProfileFlagWrites) {
  CDeviceManager manager;
  ASSERT_TRUE(manager.ChangeProfileFlag(L"Desktop", 1, 0, 1));
  EXPECT_EQ(Core().State().profiles[0].flags, 1 | 4);
  ASSERT_TRUE(manager.SetProfileFlagWord(L"Desktop", 0));
  EXPECT_EQ(Core().State().profiles[0].flags, 4);
  EXPECT_FALSE(manager.SetProfileFlagWord(L"desktop", 1)) << "exact names only";
}


// The recorder's events as the recording of A pressed and released 120 ms later left them.
void RecordAPress() {
  DWORD now = 1000;
  MacroRecorder.SetClock([&now] { return now; });
  MacroRecorder.Start();
  RAWINPUT key{};
  key.header.dwType = RIM_TYPEKEYBOARD;
  key.header.dwSize = offsetof(RAWINPUT, data) + sizeof(RAWKEYBOARD);
  key.data.keyboard.MakeCode = 0x1E;
  MacroRecorder.OnRecord(key);
  now += 120;
  key.data.keyboard.Flags = RI_KEY_BREAK;
  MacroRecorder.OnRecord(key);
  MacroRecorder.Stop();
  MacroRecorder.SetClock(nullptr);
}

const DeviceKeyAssignment* KeyOf(const SimProfile& profile, uint32_t keyCode) {
  for (const auto& record : profile.keys)
    if (record.keyCode == keyCode) return &record;
  return nullptr;
}

TEST_F(DeviceManagerTest, FinishRecordingStoresTheMacroOnTheKeyEvenWhenTheLightStaysOn) {
  struct Case {
    const char* what;
    const wchar_t* failing;  // a method made to fail, or null
    bool noLight;            // the active profile has no lighting item
  };
  const Case cases[] = {
      {"normal", nullptr, false},
      {"the light refuses to go off", L"ILed::TurnOff", false},
      {"no lighting item to switch off", nullptr, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetProfiles(Core(), {{L"Desktop"}, {L"Game"}}, 1);
    SetMacros(Core(), {L"New Macro"});  // counts as 0: the next is 1
    Core().SetMode(2);
    SimProfile& active = Core().State().profiles[1];
    active.leds[0].on = 1;
    if (c.noLight) active.leds.clear();
    if (c.failing) Core().SetFault(c.failing, E_FAIL, 0);
    RecordAPress();
    {
      CDeviceManager manager;
      EXPECT_TRUE(manager.FinishRecording(7, 0x3B));
    }
    Core().ClearFaults();
    ASSERT_EQ(Core().State().macros.size(), 2u);
    const SimMacro& macro = Core().State().macros[1];
    EXPECT_EQ(macro.name, L"New Macro1");
    ASSERT_EQ(macro.events.size(), 3u);
    EXPECT_EQ(macro.events[0].type, 2);
    EXPECT_EQ(macro.events[0].data, 0x1Eu);
    EXPECT_EQ(macro.events[1].type, 3);
    EXPECT_EQ(macro.events[1].data, 120u);
    EXPECT_EQ(macro.events[2].data, 0x1001Eu);
    const DeviceKeyAssignment* key = KeyOf(Core().State().profiles[1], 0x3B);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->type, DEVICE_ASSIGN_MACRO);
    EXPECT_TRUE(IsEqualGUID(DeviceRecordGuid(*key, 12), macro.id));
    EXPECT_EQ(DeviceRecordByte(*key, 28), 1);  // play once
    EXPECT_EQ(Core().Mode(), 1);
    if (!c.noLight && !c.failing) {
      EXPECT_EQ(Core().State().profiles[1].leds[0].on, 0);
    }
  }
  MacroRecorder.Clear();
}

TEST_F(DeviceManagerTest, FinishRecordingLeavesNothingWhenTheEventsAreRefused) {
  RecordAPress();
  Core().SetFault(L"IDeviceMacro::SetEvents", E_FAIL, 0);
  {
    CDeviceManager manager;
    EXPECT_FALSE(manager.FinishRecording(0, 0x3B));
  }
  EXPECT_TRUE(Core().State().macros.empty());
  EXPECT_NE(KeyOf(Core().State().profiles[1], 0x3B)->type, DEVICE_ASSIGN_MACRO);
  EXPECT_EQ(Core().Mode(), 1);
  MacroRecorder.Clear();
}

}  // namespace
