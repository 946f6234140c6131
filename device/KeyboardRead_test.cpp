// Reading the configuration from the stand-in service hosted in this process.
#include <gtest/gtest.h>

#include <cwchar>

#include "device/DeviceTestSupport.h"

using namespace devtest;

namespace {

class KeyboardRead : public DeviceTest {};

void SetKeyFlags(DeviceKeyAssignment& record, uint32_t flags) { std::memcpy(record.payload + 2, &flags, 4); }

TEST_F(KeyboardRead, StartupReadTakesProfilesActiveProfileVersionsAndKeys) {
  const GUID first = DeviceProfile(0).id;
  SimProfile& second = AddDeviceProfile(L"Second");
  State().active = second.id;
  config_->AddNewProfile(L"stale");

  ASSERT_TRUE(keyboard_->ReadFromDevice(config_.get()));
  EXPECT_TRUE(keyboard_->IsPresent());
  ASSERT_EQ(config_->GetProfileCount(), 2);
  EXPECT_EQ(config_->GetProfile(0)->GetName(), L"Profile 1");
  EXPECT_TRUE(IsEqualGUID(config_->GetProfile(0)->GetId(), first));
  EXPECT_EQ(config_->GetActiveProfile(), config_->FindProfileByName(L"Second"));
  std::wstring firmware, second_version;
  keyboard_->GetFirmwareVersion(firmware);
  keyboard_->GetSecondVersion(second_version);
  EXPECT_EQ(firmware, L"1.05");
  EXPECT_EQ(second_version, L"1.02");
  EXPECT_EQ(keyboard_->KeyCount(), Core().Keyboard().size());
  EXPECT_EQ(keyboard_->GetProductId(), 0x0C41u);
}

TEST_F(KeyboardRead, NoKeyboardChangesNothing) {
  config_->AddNewProfile(L"kept");
  Core().SetPlugged(false);
  EXPECT_FALSE(keyboard_->ReadFromDevice(config_.get()));
  EXPECT_FALSE(keyboard_->IsPresent());
  EXPECT_EQ(config_->GetProfileCount(), 1);
  std::wstring firmware = L"x";
  keyboard_->GetFirmwareVersion(firmware);
  EXPECT_EQ(firmware, L"");
}

// The connect's own GetInfo is the first call; the version read makes the second
// (firmware) and the third (second version).
TEST_F(KeyboardRead, AFailedVersionReadGivesZeroVersionAndNoProfiles) {
  struct Case {
    DWORD failingCall;
    const wchar_t* firmware;
    const wchar_t* second;
  } cases[] = {{2, L"0.00", L"1.02"}, {3, L"1.05", L"0.00"}};
  for (const Case& c : cases) {
    config_->AddNewProfile(L"stale");
    Core().SetFaultOnCall(L"IDevice::GetInfo", E_FAIL, c.failingCall);
    EXPECT_FALSE(keyboard_->ReadFromDevice(config_.get())) << c.failingCall;
    EXPECT_TRUE(keyboard_->IsPresent()) << "the keyboard was found";
    std::wstring firmware, second;
    keyboard_->GetFirmwareVersion(firmware);
    keyboard_->GetSecondVersion(second);
    EXPECT_EQ(firmware, c.firmware) << c.failingCall;
    EXPECT_EQ(second, c.second) << c.failingCall;
    EXPECT_EQ(config_->GetProfileCount(), 0) << "emptied, and nothing added after the failure";
    EXPECT_EQ(keyboard_->KeyCount(), 0u);
    Core().ClearFaults();
  }
  EXPECT_TRUE(keyboard_->ReadFromDevice(config_.get()));
  EXPECT_EQ(config_->GetProfileCount(), 1);
}

TEST_F(KeyboardRead, EveryGetInfoFailingIsNoKeyboard) {
  config_->AddNewProfile(L"kept");
  Core().SetFault(L"IDevice::GetInfo", E_FAIL, 0);
  EXPECT_FALSE(keyboard_->ReadFromDevice(config_.get()));
  EXPECT_FALSE(keyboard_->IsPresent());
  EXPECT_EQ(config_->GetProfileCount(), 1);
  EXPECT_FALSE(keyboard_->TransferConfig(config_.get(), TRANSFER_FROM_DEVICE, TRANSFER_READ_ALL));
  // The next operation connects again once the fault is gone.
  Core().ClearFaults();
  EXPECT_TRUE(keyboard_->ReadFromDevice(config_.get()));
}

TEST_F(KeyboardRead, KeyRecordsBecomeTheRightKinds) {
  SimProfile& device = DeviceProfile(0);
  // A: its own default code (type 5) reads as the default; B: single key A with Shift.
  DeviceKeyAssignment& b = KeyRecordToEdit(device, kKeyB);
  std::memcpy(b.payload, "\x1E\x00", 2);
  SetKeyFlags(b, 0x8000000);
  // Esc: A with Shift, Ctrl or Alt is never its default even on its own scan code.
  DeviceKeyAssignment& esc = KeyRecordToEdit(device, kKeyEsc);
  SetKeyFlags(esc, 0x4000000);
  // Right Ctrl: a record that matches no template (function value 99).
  DeviceKeyAssignment& ctrl = KeyRecordToEdit(device, kKeyRightCtrl);
  std::memset(ctrl.payload, 0, sizeof ctrl.payload);
  ctrl.type = 1;
  const int32_t value = 99;
  std::memcpy(ctrl.payload, &value, 4);
  // A device key code that no key definition sends.
  DeviceKeyAssignment stray = device.keys.front();
  stray.keyCode = 0x77 | (6u << 16);
  device.keys.push_back(stray);

  ReadAll();
  IKeyboardProfile* profile = config_->GetProfile(0);
  KeyAssignment record;
  config_->GetKeyAssignment(record, KeyOf(kKeyA), profile);
  EXPECT_EQ(record.kind, KEYKIND_DEFAULT);
  EXPECT_EQ(record.payload.key.scanCode, 0x1E);
  config_->GetKeyAssignment(record, KeyOf(kKeyB), profile);
  EXPECT_EQ(record.kind, KEYKIND_SINGLEKEY);
  EXPECT_EQ(record.payload.key.scanCode, 0x1E);
  EXPECT_EQ(record.payload.key.flags, KEYFLAG_SHIFT);
  config_->GetKeyAssignment(record, KeyOf(kKeyEsc), profile);
  EXPECT_EQ(record.kind, KEYKIND_SINGLEKEY);
  EXPECT_EQ(record.payload.key.flags, KEYFLAG_CTRL);
  // Pause (0x45 behind its prefix) and Num Lock (plain 0x45) are both their defaults.
  config_->GetKeyAssignment(record, KeyOf(kKeyPause), profile);
  EXPECT_EQ(record.kind, KEYKIND_DEFAULT);
  EXPECT_EQ(record.payload.key.virtualKey, 19);
  config_->GetKeyAssignment(record, KeyOf(kKeyNumLock), profile);
  EXPECT_EQ(record.kind, KEYKIND_DEFAULT);
  EXPECT_EQ(record.payload.key.virtualKey, 144);

  const auto* keys = dynamic_cast<const CBaseProfile*>(profile);
  ASSERT_NE(keys, nullptr);
  EXPECT_EQ(keys->KeyMap().count(KeyOf(kKeyRightCtrl)), 0u) << "a record without a template is not stored";
  EXPECT_EQ(keys->KeyMap().count(0), 0u) << "a code without a key is read past";
}

TEST_F(KeyboardRead, PropertiesMacrosAndApplications) {
  SimProfile& device = DeviceProfile(0);
  device.program = L"game.exe";
  device.flags = 1 | 4;
  SimProfile& plain = AddDeviceProfile(L"Plain");
  plain.flags = 1;  // no program: the auto-switch bit is not taken
  AddDeviceMacro(L"Combo", {{2, 0x1E}, {3, 50}, {2, 0x1E | (1u << 16)}});
  AddDeviceMacro(L"COMBO", {{3, 10}});  // a name the configuration already has
  const SimApp& app = AddDeviceApp(L"C:\\Games\\game.exe");

  ReadAll();
  IKeyboardProfile* first = config_->FindProfileByName(L"Profile 1");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->GetFileName(), L"game.exe");
  EXPECT_EQ(first->GetAutoSwitch(), 1);
  EXPECT_EQ(first->GetShowOsd(), 1);
  IKeyboardProfile* second = config_->FindProfileByName(L"Plain");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->GetAutoSwitch(), 0);
  EXPECT_EQ(second->GetShowOsd(), 0);

  ASSERT_EQ(config_->GetMacroCount(), 1);
  CMacro* macro = config_->GetMacro(0);
  EXPECT_EQ(macro->GetName(), L"Combo");
  EXPECT_TRUE(IsEqualGUID(macro->id, State().macros[0].id));
  ASSERT_EQ(macro->events.size(), 3u);
  EXPECT_EQ(macro->events[1].type, MACROEVENT_DELAY);
  EXPECT_EQ(macro->events[2].b & 0xFF, kMacroStateReleased);

  ASSERT_EQ(config_->GetAppCount(), 1);
  EXPECT_EQ(config_->GetApp(0)->path, app.path);
  EXPECT_TRUE(IsEqualGUID(config_->GetApp(0)->id, app.id));
}

// A failed step of any profile fails the read, not only one of the last profile:
// otherwise the next write would put the unread keys' defaults on the keyboard.
TEST_F(KeyboardRead, AFailedStepOfTheFirstProfileFailsTheRead) {
  AddDeviceProfile(L"Second");
  AddDeviceMacro(L"Macro", {{3, 1}});
  const struct {
    const wchar_t* method;
    DWORD call;  // counted from the start of the second stage
  } cases[] = {
      {L"IKeyAssignments::GetAssignments", 1},  // the first profile's keys
      {L"IDeviceProfile::GetId", 2},            // the first profile's id (the active one's is read first)
      {L"IDeviceProfile::GetFeature", 1},       // the first profile's properties
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(keyboard_->ReadFromDevice(config_.get()));
    Core().SetFaultOnCall(c.method, E_FAIL, c.call);
    EXPECT_FALSE(keyboard_->TransferConfig(config_.get(), TRANSFER_FROM_DEVICE, TRANSFER_READ_ALL))
        << std::string(c.method, c.method + wcslen(c.method));
    Core().ClearFaults();
  }
  ASSERT_TRUE(keyboard_->ReadFromDevice(config_.get()));
  EXPECT_TRUE(keyboard_->TransferConfig(config_.get(), TRANSFER_FROM_DEVICE, TRANSFER_READ_ALL));
}

TEST_F(KeyboardRead, LongNamesAreCutToTheirFields) {
  DeviceProfile(0).name = std::wstring(259, L'p');
  AddDeviceMacro(std::wstring(259, L'm'), {{3, 1}});
  ReadAll();
  EXPECT_EQ(config_->GetProfile(0)->GetName().size(), 255u);
  ASSERT_EQ(config_->GetMacroCount(), 1);
  EXPECT_EQ(config_->GetMacro(0)->GetName().size(), 255u);
}

TEST_F(KeyboardRead, ADeviceWithoutProfilesReadsNothingInTheSecondStage) {
  State().profiles.clear();
  State().active = GUID{};
  AddDeviceMacro(L"Lonely", {{3, 1}});
  EXPECT_FALSE(keyboard_->ReadFromDevice(config_.get()));
  EXPECT_FALSE(keyboard_->TransferConfig(config_.get(), TRANSFER_FROM_DEVICE, TRANSFER_READ_ALL));
  EXPECT_EQ(config_->GetMacroCount(), 0);
}

TEST_F(KeyboardRead, OtherDirectionsAreRefused) {
  EXPECT_FALSE(keyboard_->TransferConfig(config_.get(), 2, TRANSFER_READ_ALL));
  EXPECT_FALSE(keyboard_->TransferConfig(nullptr, TRANSFER_FROM_DEVICE, TRANSFER_READ_ALL));
}

}  // namespace
