// The device layer against the real DeviceService.exe, run on a data folder of its
// own in place of the session's resident service: a full round trip across a
// restart of the service, and the file operations.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "device/DeviceTestSupport.h"
#include "platform/Com.h"
#include "service/DeviceServiceIds.h"
#include "service/ServiceHost.h"
#include "service/ServiceLauncher.h"

using namespace devtest;

namespace {

const std::wstring kServiceExe = DosPath(OVRIX_SERVICE_EXE);

std::wstring TempFile(const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + L"ovrix-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" + name;
}

// A key as it must read back: its kind and what the kind carries.
struct ExpectedKey {
  uint32_t keyCode;
  int32_t kind;
  GUID id{};             // kinds 6, 21, 62
  int16_t scanCode = 0;  // kind 5
  uint8_t flags = 0;     // kind 5
};

// Every key of the profile reads back as listed, and every key not listed as its
// default (kind 0, carrying the key's own code).
void ExpectKeys(CKeyboard& keyboard, IKeyboardConfig* config, IKeyboardProfile* profile,
                const std::vector<ExpectedKey>& listed) {
  ASSERT_NE(profile, nullptr);
  for (uint32_t code : keyboard.KeyCodes()) {
    const int32_t keyId = CKeyboard::KeyIdFromDeviceCode(code);
    if (keyId == 0) continue;
    KeyAssignment record;
    config->GetKeyAssignment(record, keyId, profile);
    const ExpectedKey* expected = nullptr;
    for (const ExpectedKey& key : listed)
      if (key.keyCode == code) expected = &key;
    if (expected == nullptr) {
      EXPECT_EQ(record.kind, KEYKIND_DEFAULT) << "key " << code;
      EXPECT_NE(record.payload.key.scanCode, 0) << "key " << code;
      continue;
    }
    EXPECT_EQ(record.kind, expected->kind) << "key " << code;
    switch (expected->kind) {
      case KEYKIND_MACRO:
        EXPECT_EQ(record.playMode, MACROPLAY_ONCE) << "key " << code;
        [[fallthrough]];
      case KEYKIND_PROFILE:
      case KEYKIND_LAUNCH:
        EXPECT_TRUE(IsEqualGUID(record.payload.id, expected->id)) << "key " << code;
        break;
      case KEYKIND_SINGLEKEY:
        EXPECT_EQ(record.payload.key.scanCode, expected->scanCode) << "key " << code;
        EXPECT_EQ(record.payload.key.flags, expected->flags) << "key " << code;
        break;
      default:
        break;
    }
  }
}

class DeviceServiceEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(m_com.Initialize(COINIT_APARTMENTTHREADED)));
    LoadKeyFiles();
    ASSERT_TRUE(StopService());
    m_folder = NewDataFolder(L"ovrix-devlayer-e2e-");
    ASSERT_TRUE(StartService(kServiceExe, m_folder));
  }
  void TearDown() override {
    // The session's service is started again by the test harness afterwards: one
    // started from here would keep this process's output open after it has ended.
    StopService();
    for (const std::wstring& file : m_files) DeleteFileW(file.c_str());
    m_com.Uninitialize();
  }
  bool RestartService() { return StopService() && StartService(kServiceExe, m_folder); }
  std::wstring File(const wchar_t* name) {
    m_files.push_back(TempFile(name));
    return m_files.back();
  }
  static bool Read(CKeyboard& keyboard, IKeyboardConfig* config) {
    return keyboard.ReadFromDevice(config) &&
           keyboard.TransferConfig(config, TRANSFER_FROM_DEVICE, TRANSFER_READ_ALL);
  }
  static bool Write(CKeyboard& keyboard, IKeyboardConfig* config) {
    if (!keyboard.TransferConfig(config, TRANSFER_TO_DEVICE, TRANSFER_WRITE_ALL)) return false;
    if (!PumpUntil([&] { return !keyboard.IsWriting(); }, 60000)) return false;
    return keyboard.LastWriteSucceeded();
  }

  void ExpectSameConfiguration(CMorvelConfig& a, CMorvelConfig& b) {
    ASSERT_EQ(a.GetProfileCount(), b.GetProfileCount());
    for (int i = 0; i < a.GetProfileCount(); ++i) {
      IKeyboardProfile* pa = a.GetProfile(i);
      IKeyboardProfile* pb = b.FindProfileByGuid(pa->GetId());
      ASSERT_NE(pb, nullptr) << i;
      EXPECT_EQ(pa->GetName(), pb->GetName());
      EXPECT_EQ(pa->GetFileName(), pb->GetFileName());
      EXPECT_EQ(pa->GetAutoSwitch(), pb->GetAutoSwitch());
      EXPECT_EQ(pa->GetShowOsd(), pb->GetShowOsd());
    }
    ASSERT_NE(a.GetActiveProfile(), nullptr);
    ASSERT_NE(b.GetActiveProfile(), nullptr);
    EXPECT_TRUE(IsEqualGUID(a.GetActiveProfile()->GetId(), b.GetActiveProfile()->GetId()));
    ASSERT_EQ(a.GetMacroCount(), b.GetMacroCount());
    for (int i = 0; i < a.GetMacroCount(); ++i) {
      CMacro* mb = b.FindMacroByGuid(a.GetMacro(i)->id);
      ASSERT_NE(mb, nullptr);
      EXPECT_EQ(mb->GetName(), a.GetMacro(i)->GetName());
      EXPECT_EQ(mb->events, a.GetMacro(i)->events);
    }
    ASSERT_EQ(a.GetAppCount(), b.GetAppCount());
    for (int i = 0; i < a.GetAppCount(); ++i) {
      CQxApp* ab = b.FindAppByGuid(a.GetApp(i)->id);
      ASSERT_NE(ab, nullptr);
      EXPECT_EQ(ab->path, a.GetApp(i)->path);
    }
  }

  platform::ComApartment m_com;
  std::vector<std::wstring> m_files;
  std::wstring m_folder;
};

TEST_F(DeviceServiceEndToEnd, ReadChangeWriteRestartReadBack) {
  CKeyboard keyboard;
  CMorvelConfig config(L".\\");
  ASSERT_TRUE(Read(keyboard, &config));
  ASSERT_TRUE(keyboard.IsPresent());

  IKeyboardProfile* first = config.GetProfile(0);
  IKeyboardProfile* gaming = config.AddNewProfile(L"Gaming");
  gaming->SetFileName(L"game.exe");
  gaming->SetAutoSwitch(1);
  gaming->SetShowOsd(0);
  CMacro* macro = config.CreateMacro(L"Burst");
  macro->events = {{MACROEVENT_KEY, 0x1E, kMacroStatePressed},
                   {MACROEVENT_DELAY, 35, 35},
                   {MACROEVENT_KEY, 0x1E, kMacroStateReleased},
                   {MACROEVENT_MOUSE, 1, kMacroStatePressed},
                   {MACROEVENT_MOUSE, 1, kMacroStateReleased}};
  config.CreateApp(L"C:\\Tools\\tool.exe");
  config.SetKeyAssignment(KeyOf(kKeyA), NamedAssignment(KEYKIND_MACRO_BYNAME, L"Burst"), gaming);
  config.SetKeyAssignment(KeyOf(kKeyB), SingleKey(0x2C, KEYFLAG_SHIFT), gaming);
  config.SetKeyAssignment(KeyOf(kKeyEsc), NamedAssignment(KEYKIND_PROFILE_BYNAME, L"Gaming"), first);
  config.SetKeyAssignment(KeyOf(kKeyPause), NamedAssignment(KEYKIND_LAUNCH_BYPATH, L"C:\\Tools\\tool.exe"), first);
  KeyAssignment off;
  off.kind = KEYKIND_DISABLED;
  config.SetKeyAssignment(KeyOf(kKeyNumLock), off, first);
  config.SetActiveProfile(gaming);
  ASSERT_TRUE(Write(keyboard, &config));

  ASSERT_TRUE(RestartService());
  CKeyboard again;
  CMorvelConfig readBack(L".\\");
  ASSERT_TRUE(Read(again, &readBack));
  ExpectSameConfiguration(config, readBack);
  const std::vector<ExpectedKey> gamingKeys = {{kKeyA, KEYKIND_MACRO, macro->id},
                                               {kKeyB, KEYKIND_SINGLEKEY, {}, 0x2C, KEYFLAG_SHIFT}};
  const std::vector<ExpectedKey> firstKeys = {{kKeyEsc, KEYKIND_PROFILE, gaming->GetId()},
                                              {kKeyPause, KEYKIND_LAUNCH, config.GetApp(0)->id},
                                              {kKeyNumLock, KEYKIND_DISABLED}};
  ExpectKeys(again, &readBack, readBack.FindProfileByName(L"Gaming"), gamingKeys);
  ExpectKeys(again, &readBack, readBack.FindProfileByGuid(first->GetId()), firstKeys);

  // Writing what was read changes nothing.
  ASSERT_TRUE(Write(again, &readBack));
  CMorvelConfig third(L".\\");
  CKeyboard reader;
  ASSERT_TRUE(Read(reader, &third));
  ExpectSameConfiguration(readBack, third);
  ExpectKeys(reader, &third, third.FindProfileByName(L"Gaming"), gamingKeys);
  ExpectKeys(reader, &third, third.FindProfileByGuid(first->GetId()), firstKeys);
}

TEST_F(DeviceServiceEndToEnd, ProfileAndMacroFilesRoundTrip) {
  CKeyboard keyboard;
  CMorvelConfig config(L".\\");
  ASSERT_TRUE(Read(keyboard, &config));
  IKeyboardProfile* profile = config.GetProfile(0);
  CMacro* macro = config.CreateMacro(L"Filed");
  macro->events = {{MACROEVENT_KEY, 0x30, kMacroStatePressed}, {MACROEVENT_DELAY, 80, 80}};
  config.SetKeyAssignment(KeyOf(kKeyA), NamedAssignment(KEYKIND_MACRO_BYNAME, L"Filed"), profile);
  config.SetKeyAssignment(KeyOf(kKeyB), SingleKey(0x10, 0), profile);
  ASSERT_TRUE(Write(keyboard, &config));

  const std::wstring profileFile = File(L"profile.qxp");
  const std::wstring macroFile = File(L"macro.qxm");
  ASSERT_TRUE(keyboard.ExportProfileFile(profileFile, profile));
  ASSERT_TRUE(keyboard.ExportMacroFile(macroFile, macro));

  ASSERT_TRUE(keyboard.ImportProfileFile(profileFile, &config));
  ASSERT_EQ(config.GetProfileCount(), 2);
  IKeyboardProfile* imported = config.GetProfile(1);
  EXPECT_EQ(imported->GetName(), profile->GetName() + L"(2)") << "its name is taken: the copy name";
  EXPECT_FALSE(IsEqualGUID(imported->GetId(), profile->GetId()));
  ExpectKeys(keyboard, &config, imported,
             {{kKeyA, KEYKIND_MACRO, macro->id}, {kKeyB, KEYKIND_SINGLEKEY, {}, 0x10, 0}});

  EXPECT_FALSE(keyboard.ImportMacroFile(macroFile, &config)) << "the name is taken";
  EXPECT_EQ(keyboard.GetMacroCount(), config.GetMacroCount()) << "and no copy stays on the keyboard";
  ASSERT_TRUE(config.Macros().Rename(macro, L"Filed before"));
  ASSERT_TRUE(keyboard.ImportMacroFile(macroFile, &config));
  CMacro* copy = config.FindMacroByName(L"Filed");
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->events, macro->events);
  ASSERT_TRUE(Write(keyboard, &config));
}

}  // namespace
