// The single device operations, and the connection left free after every failure.
#include <gtest/gtest.h>

#include <cwchar>
#include <functional>
#include <set>

#include "device/DeviceTestSupport.h"

using namespace devtest;

namespace {

std::wstring TempFile(const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + L"ovrix-devlayer-" + std::to_wstring(GetCurrentProcessId()) + L"-" + name;
}

class DeviceOps : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    SimProfile& old = AddDeviceProfile(L"Old");
    m_app = AddDeviceApp(L"C:\\Games\\launch.exe");
    // Key A of "Old" launches the program.
    DeviceKeyAssignment& a = KeyRecordToEdit(old, kKeyA);
    std::memset(a.payload, 0, sizeof a.payload);
    a.type = 9;
    std::memcpy(a.payload, &m_app.id, sizeof m_app.id);
    AddDeviceMacro(L"Read macro", {{2, 0x1E}, {3, 25}, {2, 0x1E | (1u << 16)}});
    ReadAll();
    Core().ClearCallLog();
  }
  void TearDown() override {
    for (const std::wstring& file : m_files) DeleteFileW(file.c_str());
    DeviceTest::TearDown();
  }
  std::wstring File(const wchar_t* name) {
    m_files.push_back(TempFile(name));
    return m_files.back();
  }

  SimApp m_app;
  std::vector<std::wstring> m_files;
};

TEST_F(DeviceOps, MacroFilesRoundTrip) {
  CMacro* macro = config_->FindMacroByName(L"Read macro");
  const std::wstring file = File(L"macro.qxm");
  ASSERT_TRUE(keyboard_->ExportMacroFile(file, macro));
  EXPECT_TRUE(keyboard_->MacroExists(macro));

  // The name is taken: nothing is added, and the device's copy goes at once, so
  // that the counts still match for the next import.
  EXPECT_FALSE(keyboard_->ImportMacroFile(file, config_.get()));
  EXPECT_EQ(config_->GetMacroCount(), 1);
  EXPECT_EQ(State().macros.size(), 1u);
  EXPECT_EQ(keyboard_->GetMacroCount(), config_->GetMacroCount());

  ASSERT_TRUE(config_->Macros().Rename(macro, L"Renamed"));
  ASSERT_TRUE(keyboard_->ImportMacroFile(file, config_.get()));
  CMacro* imported = config_->FindMacroByName(L"Read macro");
  ASSERT_NE(imported, nullptr);
  EXPECT_NE(imported, macro);
  EXPECT_FALSE(IsZeroGuid(imported->id));
  EXPECT_EQ(imported->filePath, file);
  EXPECT_EQ(imported->events, macro->events);

  // Never written to the device: nothing to export.
  CMacro* unsaved = config_->CreateMacro(L"Unsaved");
  EXPECT_FALSE(keyboard_->ExportMacroFile(File(L"unsaved.qxm"), unsaved));
  EXPECT_FALSE(keyboard_->MacroExists(unsaved));
}

TEST_F(DeviceOps, AnImportedProfileKeepsTheApplicationsItBrings) {
  IKeyboardProfile* old = config_->FindProfileByName(L"Old");
  const std::wstring file = File(L"profile.qxp");
  ASSERT_TRUE(keyboard_->ExportProfileFile(file, old));
  EXPECT_TRUE(keyboard_->ProfileExists(old));
  // The program's link goes (in the configuration and on the device) before the import.
  KeyAssignment none;
  config_->SetKeyAssignment(KeyOf(kKeyA), none, old);
  config_->DeleteApp(config_->GetApp(0));
  ASSERT_TRUE(WriteAll());
  ASSERT_TRUE(State().apps.empty());

  const int before = config_->GetProfileCount();
  ASSERT_TRUE(keyboard_->ImportProfileFile(file, config_.get()));
  ASSERT_EQ(config_->GetProfileCount(), before + 1);
  IKeyboardProfile* imported = config_->GetProfile(before);
  EXPECT_EQ(imported->GetName(), L"Old(2)") << "\"Old\" is taken";
  EXPECT_FALSE(IsZeroGuid(imported->GetId()));
  KeyAssignment record;
  config_->GetKeyAssignment(record, KeyOf(kKeyA), imported);
  ASSERT_EQ(record.kind, KEYKIND_LAUNCH);
  ASSERT_EQ(State().apps.size(), 1u);
  EXPECT_TRUE(IsEqualGUID(record.payload.id, State().apps[0].id));
  ASSERT_NE(config_->FindAppByGuid(record.payload.id), nullptr) << "the brought application is taken in";

  ASSERT_TRUE(WriteAll());
  EXPECT_EQ(State().apps.size(), 1u) << "and survives the next write";
  EXPECT_FALSE(keyboard_->ImportProfileFile(File(L"missing.qxp"), config_.get()));
}

TEST_F(DeviceOps, RemappingLayoutCodeAndCounts) {
  ASSERT_TRUE(keyboard_->SuspendRemapping());
  EXPECT_EQ(Core().Mode(), 2);
  ASSERT_TRUE(keyboard_->ResumeRemapping());
  EXPECT_EQ(Core().Mode(), 1);
  State().device.layoutCode = 7;
  DWORD layout = 0;
  ASSERT_TRUE(keyboard_->ReadValue(&layout));
  EXPECT_EQ(layout, 7u);
  config_->AddNewProfile(L"Only here");
  EXPECT_EQ(keyboard_->GetProfileCount(), 2) << "the device's profiles, not the configuration's";
  EXPECT_EQ(keyboard_->GetMacroCount(), 1);
}

// After a failure injected into each service call an operation makes, the
// connection is free again for the next operation.
TEST_F(DeviceOps, EveryFailureLeavesTheConnectionFree) {
  const std::wstring macroFile = File(L"hygiene.qxm");
  const std::wstring profileFile = File(L"hygiene.qxp");
  ASSERT_TRUE(keyboard_->ExportMacroFile(macroFile, config_->GetMacro(0)));
  ASSERT_TRUE(keyboard_->ExportProfileFile(profileFile, config_->GetProfile(1)));
  DWORD value = 0;
  const std::vector<std::pair<const char*, std::function<void()>>> operations = {
      {"ReadFromDevice", [&] { keyboard_->ReadFromDevice(config_.get()); }},
      {"TransferConfig read", [&] { keyboard_->TransferConfig(config_.get(), TRANSFER_FROM_DEVICE, TRANSFER_READ_ALL); }},
      {"TransferConfig write", [&] { WriteAll(); }},
      {"ImportMacroFile", [&] { keyboard_->ImportMacroFile(macroFile, config_.get()); }},
      {"ExportMacroFile", [&] { keyboard_->ExportMacroFile(macroFile, config_->GetMacro(0)); }},
      {"MacroExists", [&] { keyboard_->MacroExists(config_->GetMacro(0)); }},
      {"ImportProfileFile", [&] { keyboard_->ImportProfileFile(profileFile, config_.get()); }},
      {"ExportProfileFile", [&] { keyboard_->ExportProfileFile(profileFile, config_->GetProfile(0)); }},
      {"ProfileExists", [&] { keyboard_->ProfileExists(config_->GetProfile(0)); }},
      {"SuspendRemapping", [&] { keyboard_->SuspendRemapping(); }},
      {"ResumeRemapping", [&] { keyboard_->ResumeRemapping(); }},
      {"ReadValue", [&] { keyboard_->ReadValue(&value); }},
      {"GetProfileCount", [&] { keyboard_->GetProfileCount(); }},
      {"GetMacroCount", [&] { keyboard_->GetMacroCount(); }},
  };
  for (const auto& [name, operation] : operations) {
    Core().ClearCallLog();
    operation();
    const std::vector<std::wstring> calls = Log();
    ASSERT_FALSE(calls.empty()) << name;
    for (const std::wstring& method : std::set<std::wstring>(calls.begin(), calls.end())) {
      Core().SetFault(method, E_FAIL, 0);
      operation();
      Core().ClearFaults();
      ASSERT_FALSE(keyboard_->IsWriting());
      EXPECT_GT(keyboard_->GetProfileCount(), 0)
          << name << " failing in " << std::string(method.begin(), method.end()) << " kept the connection";
    }
  }
}

// An import that fails anywhere leaves nothing behind, in the configuration or on
// the device, at once: a half-read profile would otherwise be written back at the
// next write with its unread keys at their defaults, and a copy left on the device
// would count against the next import's count check. Every call a successful
// import makes is made to fail in turn.
TEST_F(DeviceOps, AFailedImportLeavesNothingBehind) {
  const std::wstring macroFile = File(L"orphan.qxm");
  const std::wstring profileFile = File(L"orphan.qxp");
  ASSERT_TRUE(keyboard_->ExportMacroFile(macroFile, config_->GetMacro(0)));
  ASSERT_TRUE(keyboard_->ExportProfileFile(profileFile, config_->FindProfileByName(L"Old")));
  // The exported macro's name is free again, so that only the injected failure refuses it.
  ASSERT_TRUE(config_->Macros().Rename(config_->GetMacro(0), L"Kept"));
  ASSERT_TRUE(WriteAll());
  for (const bool profile : {true, false}) {
    auto import = [&] {
      return profile ? keyboard_->ImportProfileFile(profileFile, config_.get())
                     : keyboard_->ImportMacroFile(macroFile, config_.get());
    };
    // A successful import is taken out again, from both sides.
    auto undo = [&] {
      if (profile) config_->DeleteProfile(config_->GetProfile(config_->GetProfileCount() - 1));
      else config_->DeleteMacro(config_->GetMacro(config_->GetMacroCount() - 1));
      ASSERT_TRUE(WriteAll());
    };
    Core().ClearCallLog();
    ASSERT_TRUE(import());
    const std::vector<std::wstring> calls = Log();
    undo();
    for (const std::wstring& method : std::set<std::wstring>(calls.begin(), calls.end())) {
      const std::string what = std::string(profile ? "profile: " : "macro: ") + std::string(method.begin(), method.end());
      const int profiles = config_->GetProfileCount();
      const int macros = config_->GetMacroCount();
      Core().SetFaultOnCall(method, E_FAIL, 1);
      const bool imported = import();
      Core().ClearFaults();
      if (imported) {
        EXPECT_EQ(profile ? config_->GetProfileCount() : config_->GetMacroCount(), (profile ? profiles : macros) + 1)
            << what;
        undo();
        continue;
      }
      EXPECT_EQ(config_->GetProfileCount(), profiles) << what;
      EXPECT_EQ(config_->GetMacroCount(), macros) << what;
      EXPECT_EQ(State().profiles.size(), static_cast<std::size_t>(profiles)) << what << ": left on the device";
      EXPECT_EQ(State().macros.size(), static_cast<std::size_t>(macros)) << what << ": left on the device";
    }
  }
}

// An imported profile takes a name no other profile has exactly, on the device as
// in the configuration: a switch key or the tray's menu could reach only one of
// two profiles of one name. A name in use takes the copy name, an empty one the
// file's name.
TEST_F(DeviceOps, AnImportedProfileGetsANameOfItsOwn) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"ovrix-devlayer-names-" + std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  IKeyboardProfile* source = config_->FindProfileByName(L"Old");
  const GUID sourceId = source->GetId();
  const struct {
    const char* what;
    std::wstring nameInFile;
    const wchar_t* file;
    std::wstring expected;
  } cases[] = {
      {"a free name", L"Fresh", L"a.qxp", L"Fresh"},
      {"a name in use", L"Old", L"b.qxp", L"Old(2)"},
      {"its copy name in use too", L"Old", L"b.qxp", L"Old(3)"},
      {"a name differing only in case", L"old", L"c.qxp", L"old"},
      {"no name", L"", L"Named.qxp", L"Named"},
      {"no name, the file's name in use", L"", L"Named.qxp", L"Named(2)"},
      {"no name, nor a file name before the extension", L"", L".qxp", L"Profile"},
  };
  for (const auto& c : cases) {
    const std::wstring file = folder + L"\\" + c.file;
    m_files.push_back(file);
    for (SimProfile& p : State().profiles)
      if (IsEqualGUID(p.id, sourceId)) p.name = c.nameInFile;
    ASSERT_TRUE(keyboard_->ExportProfileFile(file, source)) << c.what;
    for (SimProfile& p : State().profiles)
      if (IsEqualGUID(p.id, sourceId)) p.name = L"Old";
    ASSERT_TRUE(keyboard_->ImportProfileFile(file, config_.get())) << c.what;
    IKeyboardProfile* imported = config_->GetProfile(config_->GetProfileCount() - 1);
    EXPECT_EQ(imported->GetName(), c.expected) << c.what;
    EXPECT_EQ(State().profiles.back().name, c.expected) << c.what << ": on the device";
    EXPECT_TRUE(IsEqualGUID(State().profiles.back().id, imported->GetId())) << c.what;
  }
  for (const std::wstring& file : m_files) DeleteFileW(file.c_str());
  RemoveDirectoryW(folder.c_str());
}

}  // namespace
