// Writing the configuration to the stand-in service hosted in this process, with
// the order of the service calls taken from its call log.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <functional>

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
    Core().ClearCallLog();
  }
  // Key records of a device profile equal, payload and all, to the service's own
  // default records for its keys.
  void ExpectAllDefaults(const SimProfile& profile) {
    for (const SimKey& key : Core().Keyboard()) {
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
  Core().ClearCallLog();
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
  // Once its target exists, the next write sends the key again, resolved.
  config_->CreateMacro(L"Nowhere")->events = {{MACROEVENT_DELAY, 5, 5}};
  ASSERT_TRUE(WriteAll());
  EXPECT_EQ(KeyRecord(device, kKeyA)->type, DEVICE_ASSIGN_MACRO);
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
  Core().SetFault(L"IDeviceProfile::GetId", E_FAIL, 0);
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
  Core().SetFault(L"IDeviceMacro::GetEvents", E_FAIL, 0);
  ASSERT_TRUE(WriteAll());
  EXPECT_EQ(FirstCall(L"CreateMacro"), -1);
  ASSERT_EQ(State().macros.size(), 1u);
  EXPECT_EQ(State().macros[0].name, L"READ MACRO");
  EXPECT_EQ(State().macros[0].events.size(), 2u);
}

// A failed write keeps what it was to send: the next one sends it again. Once a
// write succeeded, nothing of it is sent a second time.
TEST_F(KeyboardWrite, AFailedWriteIsReportedAndKeepsItsChangesForTheNext) {
  IKeyboardProfile* profile = config_->GetActiveProfile();
  config_->SetKeyAssignment(KeyOf(kKeyA), SingleKey(0x30, 0), profile);
  config_->SetActiveProfile(profile);
  Core().SetFault(L"IKeyAssignments::SetAssignments", E_FAIL, 0);
  EXPECT_FALSE(WriteAll());
  EXPECT_EQ(FirstCall(L"SetActiveProfile"), -1) << "a failure stops the later steps";
  Core().ClearFaults();
  EXPECT_EQ(keyboard_->GetProfileCount(), 2) << "the next operation connects";
  EXPECT_TRUE(WriteAll());
  const DeviceKeyAssignment* record = KeyRecord(*DeviceProfileNamed(profile->GetName()), kKeyA);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(RecordScanCode(*record), 0x30) << "the key failed before is sent again";

  Core().ClearCallLog();
  EXPECT_TRUE(WriteAll());
  EXPECT_EQ(FirstCall(L"SetAssignments"), -1) << "sent once it succeeded";
  EXPECT_EQ(FirstCall(L"SetActiveProfile"), -1);
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

// A macro or program the device lost behind the configuration's back (another
// client deleted it, a reset) is made anew once when a key that plays or launches
// it is written, the live configuration takes the new id, and the keys that play or
// launch it do so on the device.
TEST_F(KeyboardWrite, AMacroOrProgramLostOnTheDeviceIsMadeAnewOnceAndItsKeysFollowIt) {
  IKeyboardProfile* profile = config_->GetActiveProfile();
  CMacro* macro = config_->FindMacroByName(L"Read macro");
  CQxApp* app = config_->CreateApp(L"C:\\Tools\\tool.exe");
  ASSERT_TRUE(WriteAll());
  ASSERT_FALSE(IsZeroGuid(app->id));
  KeyAssignment plays;
  MakeMacroAssignment(plays, macro->id, MACROPLAY_ONCE);
  config_->SetKeyAssignment(KeyOf(kKeyA), plays, profile);
  KeyAssignment launches;
  launches.kind = KEYKIND_LAUNCH;
  launches.payload.id = app->id;
  config_->SetKeyAssignment(KeyOf(kKeyB), launches, profile);
  ASSERT_TRUE(WriteAll());

  State().macros.clear();
  State().apps.clear();
  // A key sent again that plays or launches what the device lost has it made anew
  // (the key assigned anew, as the user would).
  config_->SetKeyAssignment(KeyOf(kKeyA), plays, profile);
  config_->SetKeyAssignment(KeyOf(kKeyB), launches, profile);
  ASSERT_TRUE(WriteAll());
  ASSERT_TRUE(WriteAll());

  ASSERT_EQ(State().macros.size(), 1u);
  EXPECT_EQ(State().macros[0].name, L"Read macro");
  EXPECT_TRUE(IsEqualGUID(macro->id, State().macros[0].id)) << "the live macro holds the new id";
  ASSERT_EQ(State().apps.size(), 1u);
  EXPECT_TRUE(IsEqualGUID(app->id, State().apps[0].id)) << "the live program link holds the new id";
  EXPECT_EQ(Core().PressKey(kKeyA), S_OK) << "the key plays the macro on the device";
  EXPECT_EQ(Core().PressKey(kKeyB), S_OK) << "the key launches the program on the device";
  KeyAssignment live;
  config_->GetKeyAssignment(live, KeyOf(kKeyA), profile);
  EXPECT_TRUE(IsEqualGUID(live.payload.id, macro->id));
  config_->GetKeyAssignment(live, KeyOf(kKeyB), profile);
  EXPECT_TRUE(IsEqualGUID(live.payload.id, app->id));
  Core().ClearCallLog();
  ASSERT_TRUE(WriteAll());
  EXPECT_EQ(FirstCall(L"CreateMacro"), -1) << "nothing is made a third time";
  EXPECT_EQ(FirstCall(L"CreateApplication"), -1);
}

// A macro or program made on the device whose id cannot be read is taken away again
// (no later write could find it); the next write makes it properly.
TEST_F(KeyboardWrite, ANewMacroOrProgramWhoseIdCannotBeReadIsTakenAway) {
  for (const wchar_t* method : {L"IDeviceMacro::GetId", L"IDeviceApplication::GetId"}) {
    config_->CreateMacro(std::wstring(L"New for ") + method)->events = {{MACROEVENT_DELAY, 5, 5}};
    config_->CreateApp(std::wstring(L"C:\\new for ") + (method[7] == L'M' ? L"macro" : L"app") + L".exe");
    Core().SetFault(method, E_FAIL, 0);
    EXPECT_FALSE(WriteAll()) << (method[7] == L'M' ? "macro" : "program");
    Core().ClearFaults();
    ASSERT_TRUE(WriteAll());
    EXPECT_EQ(State().macros.size(), static_cast<std::size_t>(config_->GetMacroCount()));
    EXPECT_EQ(State().apps.size(), static_cast<std::size_t>(config_->GetAppCount()));
  }
}

// A refused create, name, event list or program path fails the write, so the
// window keeps its modified flag; the next write completes it.
TEST_F(KeyboardWrite, ARefusedMacroOrProgramWriteFailsTheWrite) {
  CMacro* read = config_->FindMacroByName(L"Read macro");
  CQxApp* app = config_->CreateApp(L"C:\\first.exe");
  ASSERT_TRUE(WriteAll());
  int made = 0;
  auto newMacro = [&] {
    config_->CreateMacro(L"Made " + std::to_wstring(++made))->events = {{MACROEVENT_DELAY, 9, 9}};
  };
  const struct {
    const char* what;
    const wchar_t* method;
    std::function<void()> change;
  } cases[] = {
      {"macro created", L"IMacroManager::CreateMacro", newMacro},
      {"new macro named", L"IDeviceMacro::SetName", newMacro},
      {"new macro's events", L"IDeviceMacro::SetEvents", newMacro},
      {"macro's events changed", L"IDeviceMacro::SetEvents",
       [&] { read->events.push_back({MACROEVENT_DELAY, 70, 70}); }},
      {"macro renamed", L"IDeviceMacro::SetName",
       [&] { ASSERT_TRUE(config_->Macros().Rename(read, L"Renamed " + std::to_wstring(++made))); }},
      {"program created", L"IApplicationManager::CreateApplication",
       [&] { config_->CreateApp(L"C:\\made" + std::to_wstring(++made) + L".exe"); }},
      {"new program's path", L"IDeviceApplication::SetName",
       [&] { config_->CreateApp(L"C:\\made" + std::to_wstring(++made) + L".exe"); }},
      {"program's path changed", L"IDeviceApplication::SetName",
       [&] { app->path = L"C:\\moved" + std::to_wstring(++made) + L".exe"; }},
  };
  for (const auto& c : cases) {
    c.change();
    Core().SetFault(c.method, E_FAIL, 0);
    EXPECT_FALSE(WriteAll()) << c.what;
    Core().ClearFaults();
    EXPECT_TRUE(WriteAll()) << c.what;
  }
  EXPECT_EQ(State().macros.size(), static_cast<std::size_t>(config_->GetMacroCount()));
  EXPECT_EQ(State().apps.size(), static_cast<std::size_t>(config_->GetAppCount()));
}

// Profiles "Work" and "work" may both exist: a switch names exactly one of them, and
// only a name that matches none exactly goes to the first that differs in case alone.
TEST_F(KeyboardWrite, ASwitchByNameGoesToTheProfileOfExactlyThatName) {
  IKeyboardProfile* profile = config_->GetActiveProfile();
  IKeyboardProfile* upper = config_->AddNewProfile(L"Work");
  IKeyboardProfile* lower = config_->AddNewProfile(L"work");
  const struct {
    uint32_t key;
    const wchar_t* name;
    IKeyboardProfile* target;
  } cases[] = {{kKeyA, L"work", lower}, {kKeyB, L"Work", upper}, {kKeyEsc, L"WORK", upper}};
  for (const auto& c : cases)
    config_->SetKeyAssignment(KeyOf(c.key), NamedAssignment(KEYKIND_PROFILE_BYNAME, c.name), profile);
  ASSERT_TRUE(WriteAll());
  const SimProfile& device = *DeviceProfileNamed(profile->GetName());
  for (const auto& c : cases) {
    const DeviceKeyAssignment* record = KeyRecord(device, c.key);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->type, 3);
    EXPECT_TRUE(IsEqualGUID(RecordGuid(*record, 16), c.target->GetId()))
        << std::string(c.name, c.name + wcslen(c.name));
  }
}

// The write takes every key's default as it stood when Apply was pressed, even when
// the window thread loads another layout's defaults while it runs.
TEST_F(KeyboardWrite, TheWriteUsesTheKeyDefaultsAsTheyStoodAtApply) {
  config_->AddNewProfile(L"Fresh");  // every key at its default
  CKeyboardDef& keyboard = GlobalKeyboardDef();
  const int32_t keyA = KeyOf(kKeyA);
  const KeyCode before = keyboard.GetKeyDefault(keyA);
  auto loadDefaultOfA = [&](KeyCode code) {
    uint8_t file[12] = {1, 0, 0, 0};
    const uint32_t value = static_cast<uint16_t>(code.code) | uint32_t{code.flag} << 16;
    std::memcpy(file + 4, &keyA, 4);
    std::memcpy(file + 8, &value, 4);
    ASSERT_TRUE(keyboard.LoadKeyDefaults(file, sizeof file));
  };
  ASSERT_TRUE(keyboard_->TransferConfig(config_.get(), TRANSFER_TO_DEVICE, TRANSFER_WRITE_ALL));
  // The write thread waits for its first service call, served only when this thread pumps.
  loadDefaultOfA(KeyCode{0x30, 0});
  ASSERT_TRUE(PumpUntil([&] { return !keyboard_->IsWriting(); }));
  loadDefaultOfA(before);
  ASSERT_TRUE(keyboard_->LastWriteSucceeded());
  const DeviceKeyAssignment* record = KeyRecord(*DeviceProfileNamed(L"Fresh"), kKeyA);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->type, 5);
  EXPECT_EQ(RecordScanCode(*record), 0x1E);
}

// A rename that changes only letter case reaches the device through the property
// step (which always names the profile), not through the profile step.
TEST_F(KeyboardWrite, AProfileRenamedOnlyInLetterCase) {
  const struct {
    const wchar_t* newName;
    TransferMask mask;
    const wchar_t* onDevice;
  } cases[] = {
      {L"OLD", TRANSFER_WRITE_ALL & ~TRANSFER_PROFILE_PROPERTIES, L"Old"},
      {L"Older", TRANSFER_WRITE_ALL & ~TRANSFER_PROFILE_PROPERTIES, L"Older"},
      {L"OLDER", TRANSFER_WRITE_ALL, L"OLDER"},
  };
  for (const auto& c : cases) {
    IKeyboardProfile* profile = nullptr;
    for (int i = 0; i < config_->GetProfileCount(); ++i)
      if (!IsEqualGUID(config_->GetProfile(i)->GetId(), DeviceProfile(0).id)) profile = config_->GetProfile(i);
    ASSERT_NE(profile, nullptr);
    const GUID id = profile->GetId();
    ASSERT_NE(config_->RenameProfile(profile, c.newName), nullptr);
    ASSERT_TRUE(keyboard_->TransferConfig(config_.get(), TRANSFER_TO_DEVICE, c.mask));
    ASSERT_TRUE(PumpUntil([&] { return !keyboard_->IsWriting(); }));
    ASSERT_TRUE(keyboard_->LastWriteSucceeded());
    const SimProfile* device = nullptr;
    for (const SimProfile& p : State().profiles)
      if (IsEqualGUID(p.id, id)) device = &p;
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->name, c.onDevice) << std::string(c.newName, c.newName + wcslen(c.newName));
  }
}

// While the configurator is open the tray stores a recorded macro on key B of the
// active profile and switches the keyboard to another profile. An Apply of one
// other key sends that key alone: the tray's key, its macro and its switch stay.
TEST_F(KeyboardWrite, AWriteOfOneKeyLeavesWhatAnotherClientChanged) {
  IKeyboardProfile* profile = config_->GetActiveProfile();
  IKeyboardProfile* other = config_->FindProfileByName(L"Old");
  ASSERT_NE(profile, other);
  const SimMacro recorded = AddDeviceMacro(L"New Macro1", {{3, 5}});
  SimProfile& device = *const_cast<SimProfile*>(DeviceProfileNamed(profile->GetName()));
  DeviceKeyAssignment& keyB = KeyRecordToEdit(device, kKeyB);
  keyB.type = DEVICE_ASSIGN_MACRO;
  SetDeviceRecordGuid(keyB, 12, recorded.id);
  State().active = other->GetId();

  config_->SetKeyAssignment(KeyOf(kKeyA), SingleKey(0x30, 0), profile);
  ASSERT_TRUE(WriteAll());

  const DeviceKeyAssignment* a = KeyRecord(device, kKeyA);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->type, 5);
  EXPECT_EQ(RecordScanCode(*a), 0x30);
  const DeviceKeyAssignment* b = KeyRecord(device, kKeyB);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->type, DEVICE_ASSIGN_MACRO) << "the tray's key is not put back";
  EXPECT_TRUE(IsEqualGUID(RecordGuid(*b, 12), recorded.id));
  EXPECT_EQ(State().macros.size(), 2u);
  EXPECT_TRUE(IsEqualGUID(State().active, other->GetId())) << "no profile was chosen in the configuration";
  const auto log = Log();
  EXPECT_EQ(Calls(L"SetAssignments").size(), 1u);
  for (const wchar_t* walk : {L"IProfileManager::GetProfile", L"IMacroManager::GetMacro",
                              L"IApplicationManager::GetApplication"})
    EXPECT_EQ(std::count(log.begin(), log.end(), walk), 0) << "nothing was deleted: no walk over the device's objects";
}

// What the configuration changes on the user's behalf counts as the user's change:
// each case is written although the device's record was changed by another client.
TEST_F(KeyboardWrite, ChangesMadeForTheUserAreWritten) {
  IKeyboardProfile* active = config_->GetActiveProfile();
  const struct {
    const char* what;
    std::function<void()> change;
    std::function<bool()> written;
  } cases[] = {
      {"a restore of defaults resets every key",
       [&] {
         SimProfile& device = *const_cast<SimProfile*>(DeviceProfileNamed(active->GetName()));
         KeyRecordToEdit(device, kKeyEsc).payload[0] = 0x30;
         ResetNewProfile(active, config_.get());
       },
       [&] { return RecordScanCode(*KeyRecord(*DeviceProfileNamed(active->GetName()), kKeyEsc)) == 0x01; }},
      {"a profile renamed",
       [&] { active = config_->RenameProfile(active, L"Renamed"); },
       [&] { return DeviceProfileNamed(L"Renamed") != nullptr; }},
      {"the show-on-screen setting of every profile",
       [&] { config_->SetProfileOsdForAll(0); },
       [&] {
         for (const SimProfile& profile : State().profiles)
           if (profile.flags & PROFILEFLAG_SHOWOSD) return false;
         return true;
       }},
      {"the active profile chosen",
       [&] {
         State().active = DeviceProfileNamed(L"Old")->id;
         config_->SetActiveProfile(active);
       },
       [&] { return IsEqualGUID(State().active, active->GetId()); }},
  };
  for (const auto& c : cases) {
    c.change();
    ASSERT_TRUE(WriteAll()) << c.what;
    EXPECT_TRUE(c.written()) << c.what;
  }
}

// Apply does not wait: the window stays live, and what the user changes while the
// write runs is not in its copy. The write's success must not count those changes
// as sent; the next write sends them.
TEST_F(KeyboardWrite, AChangeMadeWhileTheWriteRunsIsSentByTheNext) {
  IKeyboardProfile* profile = config_->GetActiveProfile();
  CMacro* macro = config_->FindMacroByName(L"Read macro");
  config_->SetKeyAssignment(KeyOf(kKeyA), SingleKey(0x30, 0), profile);
  ASSERT_TRUE(keyboard_->TransferConfig(config_.get(), TRANSFER_TO_DEVICE, TRANSFER_WRITE_ALL));
  config_->SetKeyAssignment(KeyOf(kKeyB), SingleKey(0x1E, 0), profile);
  macro->events.push_back({MACROEVENT_DELAY, 40, 40});
  ASSERT_TRUE(PumpUntil([&] { return !keyboard_->IsWriting(); }));
  ASSERT_TRUE(keyboard_->LastWriteSucceeded());
  const SimProfile& device = *DeviceProfileNamed(profile->GetName());
  EXPECT_EQ(RecordScanCode(*KeyRecord(device, kKeyA)), 0x30);
  EXPECT_EQ(RecordScanCode(*KeyRecord(device, kKeyB)), 0x30) << "not in the write's copy";
  EXPECT_EQ(State().macros[0].events.size(), 1u);

  ASSERT_TRUE(WriteAll());
  EXPECT_EQ(RecordScanCode(*KeyRecord(device, kKeyB)), 0x1E);
  EXPECT_EQ(State().macros[0].events.size(), 2u);
}

// After a reset of the keyboard (or another client's delete) the device no longer
// knows a profile's id: the profile is made anew, written whole, takes the new id,
// and the keys that switch to it by id follow; the other profiles the device lost
// are made anew too.
TEST_F(KeyboardWrite, AProfileTheDeviceNoLongerKnowsIsMadeAnew) {
  IKeyboardProfile* first = config_->GetActiveProfile();
  IKeyboardProfile* old = config_->FindProfileByName(L"Old");
  KeyAssignment switches;
  switches.kind = KEYKIND_PROFILE;
  switches.payload.id = old->GetId();
  config_->SetKeyAssignment(KeyOf(kKeyB), switches, first);
  KeyAssignment plays;
  MakeMacroAssignment(plays, config_->FindMacroByName(L"Read macro")->id, MACROPLAY_ONCE);
  config_->SetKeyAssignment(KeyOf(kKeyEsc), plays, old);
  ASSERT_TRUE(WriteAll());
  const GUID lostFirst = first->GetId();
  const GUID lostOld = old->GetId();

  Core().ResetToFactory();
  config_->SetKeyAssignment(KeyOf(kKeyA), SingleKey(0x30, 0), old);
  ASSERT_TRUE(WriteAll()) << "an Apply after the reset succeeds";

  const SimProfile* remade = DeviceProfileNamed(L"Old");
  ASSERT_NE(remade, nullptr);
  EXPECT_FALSE(IsEqualGUID(remade->id, lostOld));
  EXPECT_TRUE(IsEqualGUID(old->GetId(), remade->id)) << "the new id reaches the live configuration";
  EXPECT_EQ(RecordScanCode(*KeyRecord(*remade, kKeyA)), 0x30);
  EXPECT_EQ(KeyRecord(*remade, kKeyEsc)->type, DEVICE_ASSIGN_MACRO) << "written whole";
  EXPECT_FALSE(IsEqualGUID(first->GetId(), lostFirst)) << "the unchanged profile, lost as well, is made anew";
  const SimProfile* firstOnDevice = nullptr;
  for (const SimProfile& profile : State().profiles)
    if (IsEqualGUID(profile.id, first->GetId())) firstOnDevice = &profile;
  ASSERT_NE(firstOnDevice, nullptr);
  const DeviceKeyAssignment* b = KeyRecord(*firstOnDevice, kKeyB);
  EXPECT_EQ(b->type, 3);
  EXPECT_TRUE(IsEqualGUID(RecordGuid(*b, 16), remade->id)) << "the switch follows the profile";
  KeyAssignment live;
  config_->GetKeyAssignment(live, KeyOf(kKeyB), first);
  EXPECT_TRUE(IsEqualGUID(live.payload.id, remade->id));
  ASSERT_EQ(State().macros.size(), 1u) << "the macro its keys play is made anew";
  EXPECT_TRUE(IsEqualGUID(RecordGuid(*KeyRecord(*remade, kKeyEsc), 12), State().macros[0].id));

  Core().ClearCallLog();
  ASSERT_TRUE(WriteAll());
  EXPECT_EQ(FirstCall(L"CreateProfile"), -1) << "nothing is made twice";
  EXPECT_EQ(FirstCall(L"CreateMacro"), -1);
}

// Key events of a macro travel without their virtual-key code, except Pause and
// Num Lock, which share scan code 0x45 and come back told apart.
TEST_F(KeyboardWrite, AMacrosVirtualKeyCodesAfterAReadBack) {
  CMacro* macro = config_->CreateMacro(L"Keys");
  macro->events = {{MACROEVENT_KEY, 0x45 | 19 << 16, kMacroStatePressed},
                   {MACROEVENT_KEY, 0x45 | 144 << 16, kMacroStatePressed},
                   {MACROEVENT_KEY, 0x1D | 17 << 16, kMacroStatePressed | 1 << 8},
                   {MACROEVENT_KEY, 0x1E | 65 << 16, kMacroStateReleased}};
  ASSERT_TRUE(WriteAll());
  CMorvelConfig readBack(L".\\");
  auto reader = NewKeyboard();
  ASSERT_TRUE(reader->ReadFromDevice(&readBack));
  ASSERT_TRUE(reader->TransferConfig(&readBack, TRANSFER_FROM_DEVICE, TRANSFER_READ_ALL));
  CMacro* back = readBack.FindMacroByName(L"Keys");
  ASSERT_NE(back, nullptr);
  const MacroEventList expected = {{MACROEVENT_KEY, 0x45 | 19 << 16, kMacroStatePressed},
                                   {MACROEVENT_KEY, 0x45 | 144 << 16, kMacroStatePressed},
                                   {MACROEVENT_KEY, 0x1D, kMacroStatePressed | 1 << 8},
                                   {MACROEVENT_KEY, 0x1E, kMacroStateReleased}};
  EXPECT_EQ(back->events, expected);
}

}  // namespace
