// Writing the configuration to the stand-in service hosted in this process, with
// the order of the service calls taken from its call log.
#include <gtest/gtest.h>

#include "device/DeviceTestSupport.h"

using namespace devtest;

namespace {

class KeyboardWrite : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    AddDeviceProfile(L"Old");
    AddDeviceMacro(L"Read macro", {{3, 20}});
    ReadAll();
    core_->ClearCallLog();
  }
  // Key records of a device profile equal, payload and all, to the service's own
  // default records for its keys.
  void ExpectAllDefaults(const SimProfile& profile) {
    for (const SimKey& key : core_->Keyboard()) {
      const DeviceKeyAssignment* record = KeyRecord(profile, key.keyCode);
      ASSERT_NE(record, nullptr);
      const DeviceKeyAssignment expected = ::DefaultKeyRecord(key);
      EXPECT_EQ(record->type, expected.type) << key.keyCode;
      EXPECT_EQ(0, std::memcmp(record->payload, expected.payload, sizeof expected.payload)) << key.keyCode;
    }
  }
  const SimProfile* DeviceProfileNamed(const std::wstring& name) {
    for (const SimProfile& profile : State().profiles)
      if (profile.name == name) return &profile;
    return nullptr;
  }
};

TEST_F(KeyboardWrite, DeletesFirstThenCreatesAndCarriesTheNewIdBack) {
  config_->DeleteProfile(config_->FindProfileByName(L"Old"));
  IKeyboardProfile* added = config_->AddNewProfile(L"Fresh");
  ASSERT_TRUE(WriteAll());

  const int deleted = FirstCall(L"IProfileManager::DeleteProfile");
  const int created = FirstCall(L"IProfileManager::CreateProfile");
  ASSERT_GE(deleted, 0);
  ASSERT_GE(created, 0);
  EXPECT_LT(deleted, created);
  EXPECT_LT(deleted, FirstCall(L"SetAssignments"));
  EXPECT_EQ(DeviceProfileNamed(L"Old"), nullptr);
  const SimProfile* fresh = DeviceProfileNamed(L"Fresh");
  ASSERT_NE(fresh, nullptr);
  EXPECT_FALSE(IsZeroGuid(added->GetId()));
  EXPECT_TRUE(IsEqualGUID(added->GetId(), fresh->id)) << "the device's id reaches the live configuration";
  // Every key of a new profile goes out as its default, never as scan code 0.
  ExpectAllDefaults(*fresh);
  // A second write creates nothing more.
  core_->ClearCallLog();
  ASSERT_TRUE(WriteAll());
  EXPECT_EQ(FirstCall(L"CreateProfile"), -1);
  EXPECT_EQ(State().profiles.size(), 2u);
}

TEST_F(KeyboardWrite, TwoKeysNamingOneNewMacroCreateOneDeviceMacro) {
  CMacro* macro = config_->CreateMacro(L"Fresh macro");
  macro->events = {{MACROEVENT_KEY, 0x1E, kMacroStatePressed}, {MACROEVENT_DELAY, 30, 30}};
  IKeyboardProfile* profile = config_->GetActiveProfile();
  ASSERT_NE(profile, nullptr);
  config_->SetKeyAssignment(KeyOf(kKeyA), NamedAssignment(KEYKIND_MACRO_BYNAME, L"fresh MACRO"), profile);
  config_->SetKeyAssignment(KeyOf(kKeyB), NamedAssignment(KEYKIND_MACRO_BYNAME, L"Fresh macro"), profile);
  ASSERT_TRUE(WriteAll());

  EXPECT_EQ(Calls(L"IMacroManager::CreateMacro").size(), 1u);
  ASSERT_EQ(State().macros.size(), 2u);
  const SimMacro& created = State().macros[1];
  EXPECT_EQ(created.name, L"Fresh macro");
  EXPECT_EQ(created.events.size(), 2u);
  EXPECT_TRUE(IsEqualGUID(macro->id, created.id));
  const SimProfile& device = *DeviceProfileNamed(profile->GetName());
  for (uint32_t code : {kKeyA, kKeyB}) {
    const DeviceKeyAssignment* record = KeyRecord(device, code);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->type, 8);
    EXPECT_TRUE(IsEqualGUID(RecordGuid(*record, 12), created.id));
    KeyAssignment live;
    config_->GetKeyAssignment(live, KeyOf(code), profile);
    EXPECT_EQ(live.kind, KEYKIND_MACRO) << "the resolved form is carried back";
    EXPECT_TRUE(IsEqualGUID(live.payload.id, created.id));
  }
}

TEST_F(KeyboardWrite, AnUnresolvableNameIsWrittenAsTheDefaultAndKeepsItsName) {
  IKeyboardProfile* profile = config_->GetActiveProfile();
  config_->SetKeyAssignment(KeyOf(kKeyA), NamedAssignment(KEYKIND_MACRO_BYNAME, L"Nowhere"), profile);
  config_->SetKeyAssignment(KeyOf(kKeyB), NamedAssignment(KEYKIND_PROFILE_BYNAME, L"No such profile"), profile);
  config_->SetKeyAssignment(KeyOf(kKeyEsc), NamedAssignment(KEYKIND_LAUNCH_BYPATH, L"C:\\none.exe"), profile);
  WriteAll();
  const SimProfile& device = *DeviceProfileNamed(profile->GetName());
  for (uint32_t code : {kKeyA, kKeyB, kKeyEsc}) {
    const DeviceKeyAssignment* record = KeyRecord(device, code);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->type, 5) << code;
    EXPECT_EQ(RecordScanCode(*record), static_cast<int16_t>(code & 0xFFFF)) << code;
  }
  KeyAssignment live;
  config_->GetKeyAssignment(live, KeyOf(kKeyA), profile);
  EXPECT_EQ(live.kind, KEYKIND_MACRO_BYNAME);
  EXPECT_EQ(GetAssignmentText(live), L"Nowhere");
}

TEST_F(KeyboardWrite, ANamedProfileIsCreatedAndTheKeySwitchesToIt) {
  IKeyboardProfile* profile = config_->GetActiveProfile();
  IKeyboardProfile* target = config_->AddNewProfile(L"Target");
  config_->SetKeyAssignment(KeyOf(kKeyA), NamedAssignment(KEYKIND_PROFILE_BYNAME, L"TARGET"), profile);
  ASSERT_TRUE(WriteAll());
  EXPECT_EQ(Calls(L"IProfileManager::CreateProfile").size(), 1u);
  const SimProfile* device = DeviceProfileNamed(L"Target");
  ASSERT_NE(device, nullptr);
  EXPECT_TRUE(IsEqualGUID(target->GetId(), device->id));
  const DeviceKeyAssignment* record = KeyRecord(*DeviceProfileNamed(profile->GetName()), kKeyA);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->type, 3);
  EXPECT_TRUE(IsEqualGUID(RecordGuid(*record, 16), device->id));
}

TEST_F(KeyboardWrite, ANamedProfileWhoseIdCannotBeReadIsNotSwitchedTo) {
  IKeyboardProfile* profile = config_->GetActiveProfile();
  config_->AddNewProfile(L"Target");
  config_->SetKeyAssignment(KeyOf(kKeyA), NamedAssignment(KEYKIND_PROFILE_BYNAME, L"Target"), profile);
  core_->SetFault(L"IDeviceProfile::GetId", E_FAIL, 0);
  EXPECT_FALSE(WriteAll());
  // The key is left at its default rather than switching to a profile with no id,
  // and the profiles made for nothing are gone again.
  const DeviceKeyAssignment* record = KeyRecord(*DeviceProfileNamed(profile->GetName()), kKeyA);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->type, 5);
  EXPECT_EQ(State().profiles.size(), 2u);
  KeyAssignment live;
  config_->GetKeyAssignment(live, KeyOf(kKeyA), profile);
  EXPECT_EQ(live.kind, KEYKIND_PROFILE_BYNAME);
}

TEST_F(KeyboardWrite, TheActiveProfileIsMadeActiveLast) {
  IKeyboardProfile* old = config_->FindProfileByName(L"Old");
  config_->SetActiveProfile(old);
  ASSERT_TRUE(WriteAll());
  EXPECT_TRUE(IsEqualGUID(State().active, old->GetId()));
  const auto log = Log();
  ASSERT_FALSE(log.empty());
  EXPECT_NE(log.back().find(L"SetActiveProfile"), std::wstring::npos) << log.back();
}

TEST_F(KeyboardWrite, AnEmptyKeyListFailsTheWrite) {
  // A device object that never read the keyboard knows none of its keys.
  auto fresh = NewKeyboard();
  ASSERT_TRUE(fresh->TransferConfig(config_.get(), TRANSFER_TO_DEVICE, TRANSFER_WRITE_ALL));
  ASSERT_TRUE(PumpUntil([&] { return !fresh->IsWriting(); }));
  EXPECT_FALSE(fresh->LastWriteSucceeded());
  EXPECT_EQ(FirstCall(L"SetAssignments"), -1);
  EXPECT_EQ(FirstCall(L"SetActiveProfile"), -1);
}

TEST_F(KeyboardWrite, OnlyWhatTheConfigurationDeletedIsDeleted) {
  // Meanwhile another client records a macro and links a program on the device.
  const SimMacro recorded = AddDeviceMacro(L"New Macro 1", {{3, 5}});
  const SimApp linked = AddDeviceApp(L"C:\\other.exe");
  config_->DeleteMacro(config_->FindMacroByName(L"Read macro"));
  ASSERT_TRUE(WriteAll());
  ASSERT_EQ(State().macros.size(), 1u);
  EXPECT_TRUE(IsEqualGUID(State().macros[0].id, recorded.id));
  ASSERT_EQ(State().apps.size(), 1u);
  EXPECT_TRUE(IsEqualGUID(State().apps[0].id, linked.id));
  EXPECT_EQ(Calls(L"DeleteMacro").size(), 1u);
}

TEST_F(KeyboardWrite, MacrosAreUpdatedInPlaceAndRenamedByCase) {
  CMacro* macro = config_->FindMacroByName(L"Read macro");
  ASSERT_TRUE(config_->Macros().Rename(macro, L"READ MACRO"));
  macro->events.push_back({MACROEVENT_DELAY, 40, 40});
  // Reading the device copy back fails: the macro is still there, so no second one is made.
  core_->SetFault(L"IDeviceMacro::GetEvents", E_FAIL, 0);
  ASSERT_TRUE(WriteAll());
  EXPECT_EQ(FirstCall(L"CreateMacro"), -1);
  ASSERT_EQ(State().macros.size(), 1u);
  EXPECT_EQ(State().macros[0].name, L"READ MACRO");
  EXPECT_EQ(State().macros[0].events.size(), 2u);
}

TEST_F(KeyboardWrite, AFailedWriteIsReportedAndTheNextOperationConnects) {
  core_->SetFault(L"IKeyAssignments::SetAssignments", E_FAIL, 0);
  EXPECT_FALSE(WriteAll());
  EXPECT_EQ(FirstCall(L"SetActiveProfile"), -1) << "a failure stops the later steps";
  core_->ClearFaults();
  EXPECT_EQ(keyboard_->GetProfileCount(), 2);
  EXPECT_TRUE(WriteAll());
  EXPECT_TRUE(keyboard_->LastWriteSucceeded());
}

TEST_F(KeyboardWrite, PropertiesReachTheDevice) {
  IKeyboardProfile* profile = config_->FindProfileByName(L"Old");
  profile->SetFileName(L"game.exe");
  profile->SetAutoSwitch(1);
  profile->SetShowOsd(0);
  ASSERT_TRUE(WriteAll());
  const SimProfile* device = DeviceProfileNamed(L"Old");
  EXPECT_EQ(device->program, L"game.exe");
  EXPECT_EQ(device->flags, 1);
  // A program file name of 128 characters stops the write at that profile.
  profile->SetFileName(std::wstring(128, L'x') + L".exe");
  EXPECT_FALSE(WriteAll());
}

}  // namespace
