#include "device/KeyboardConfig.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Handles.h"
#include "platform/testing/TestFiles.h"

namespace {

const GUID kIdA = {0xA, 1, 2, {1, 2, 3, 4, 5, 6, 7, 8}};

// A program folder of its own under the temporary folder, removed afterwards.
class TempProgramFolder {
 public:
  TempProgramFolder() : m_folder(platform::testing::MakeTempFolder(L"ovrix_model_")) {}
  ~TempProgramFolder() {
    const std::wstring save = m_folder + L"save\\";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((save + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do DeleteFileW((save + found.cFileName).c_str());
      while (FindNextFileW(search, &found));
      FindClose(search);
    }
    RemoveDirectoryW(save.c_str());
    RemoveDirectoryW(m_folder.c_str());
  }
  const std::wstring& Path() const { return m_folder; }

 private:
  std::wstring m_folder;
};

class KeyboardConfig : public ::testing::Test {
 protected:
  TempProgramFolder program;
  CMorvelConfig config{program.Path()};
};

TEST_F(KeyboardConfig, PathsLieInTheSaveFolder) {
  EXPECT_EQ(config.SettingsPath(), program.Path() + L"save\\Morvel.qxc");
  EXPECT_EQ(config.ProfileFolder(), program.Path() + L"save\\");
  EXPECT_EQ(config.GetProfileExtension(), L"qxp");
  EXPECT_EQ(config.GetMaxCount(), 1024);
}

TEST_F(KeyboardConfig, IndexLookupsReturnNullOutsideTheList) {
  IKeyboardProfile* profile = config.AddNewProfile(L"One");
  CMacro* macro = config.CreateMacro(L"M");
  CQxApp* app = config.CreateApp(L"C:\\a.exe");
  EXPECT_EQ(config.GetProfile(0), profile);
  EXPECT_EQ(config.GetMacro(0), macro);
  EXPECT_EQ(config.GetApp(0), app);
  for (int index : {-1, 1, -2147483647 - 1}) {
    EXPECT_EQ(config.GetProfile(index), nullptr) << index;
    EXPECT_EQ(config.GetMacro(index), nullptr) << index;
    EXPECT_EQ(config.GetApp(index), nullptr) << index;
  }
}

TEST_F(KeyboardConfig, ZeroIdsAreNeverFound) {
  IKeyboardProfile* unknown = config.AddNewProfile(L"New");
  IKeyboardProfile* known = config.AddNewProfile(L"OnDevice");
  known->SetId(kIdA);
  config.CreateMacro(L"M");
  config.CreateApp(L"C:\\a.exe");
  EXPECT_EQ(config.FindProfileByGuid(kIdA), known);
  EXPECT_EQ(config.FindProfileByGuid(GUID{}), nullptr);
  EXPECT_EQ(config.FindMacroByGuid(GUID{}), nullptr);
  EXPECT_EQ(config.FindAppByGuid(GUID{}), nullptr);
  EXPECT_EQ(config.FindProfileByName(L"new"), unknown);
}

TEST_F(KeyboardConfig, RenameReplacesTheObjectInPlace) {
  struct Case {
    const wchar_t* newName;
    bool renamed;
  } const cases[] = {{L"Second", false}, {L"SECOND", true}, {L"Other", true}};
  for (const Case& c : cases) {
    CMorvelConfig local(program.Path());
    local.AddNewProfile(L"First");
    IKeyboardProfile* old = local.AddNewProfile(L"Second");
    local.AddNewProfile(L"Third");
    local.SetActiveProfile(old);
    local.SetLedState(0, old);
    KeyAssignment single;
    single.kind = KEYKIND_SINGLEKEY;
    single.payload.key.scanCode = 0x2C;
    ASSERT_TRUE(local.SetKeyAssignment(42, single, old));

    IKeyboardProfile* result = local.RenameProfile(old, c.newName);
    if (!c.renamed) {
      EXPECT_EQ(result, nullptr) << c.newName;
      EXPECT_EQ(local.GetProfile(1), old);
      continue;
    }
    ASSERT_NE(result, nullptr) << c.newName;
    EXPECT_EQ(result->GetName(), c.newName);
    EXPECT_EQ(local.GetProfile(1), result);
    EXPECT_EQ(local.GetActiveProfile(), result);
    EXPECT_EQ(local.GetProfileCount(), 3);
    EXPECT_EQ(local.GetLedState(result), 1);  // a copy starts with the LED on
    KeyAssignment kept;
    local.GetKeyAssignment(kept, 42, result);
    EXPECT_EQ(kept.kind, KEYKIND_SINGLEKEY) << "the renamed profile keeps its keys";
    EXPECT_EQ(kept.payload.key.scanCode, 0x2C);
  }
}

TEST_F(KeyboardConfig, ProfilesOfAnotherListAreNotTouched) {
  CMorvelConfig other(program.Path());
  IKeyboardProfile* stranger = other.AddNewProfile(L"Stranger");
  IKeyboardProfile* mine = config.AddNewProfile(L"Mine");
  ASSERT_TRUE(config.SetActiveProfile(mine));

  EXPECT_FALSE(config.SetActiveProfile(stranger));
  EXPECT_EQ(config.GetActiveProfile(), mine);
  EXPECT_EQ(config.RenameProfile(stranger, L"Renamed"), nullptr);
  EXPECT_EQ(stranger->GetName(), L"Stranger");
  config.DeleteProfile(stranger);
  EXPECT_EQ(other.GetProfileCount(), 1);
  EXPECT_EQ(config.GetProfileCount(), 1);
  EXPECT_FALSE(config.SetKeyAssignment(1, KeyAssignment{}, stranger));
  config.SetLedState(0, stranger);
  EXPECT_EQ(stranger->GetName(), L"Stranger");
  EXPECT_EQ(other.GetLedState(stranger), 1);

  EXPECT_TRUE(config.SetActiveProfile(nullptr));
  EXPECT_EQ(config.GetActiveProfile(), nullptr);
}

TEST_F(KeyboardConfig, DeletingTheActiveProfileLeavesNoneActive) {
  IKeyboardProfile* only = config.AddNewProfile(L"Only");
  config.SetActiveProfile(only);
  config.DeleteProfile(only);
  EXPECT_EQ(config.GetActiveProfile(), nullptr);
  EXPECT_EQ(config.GetProfileCount(), 0);

  KeyAssignment out;
  out.kind = 5;
  config.GetKeyAssignment(out, 7, nullptr);
  EXPECT_EQ(out.kind, 0);
  EXPECT_FALSE(config.SetKeyAssignment(7, KeyAssignment{}, nullptr));
  EXPECT_EQ(config.GetLedState(nullptr), 0);
}

TEST_F(KeyboardConfig, NewProfilesShareTheActiveProfilesOsdFlag) {
  IKeyboardProfile* first = config.AddNewProfile(L"First");
  EXPECT_EQ(first->GetShowOsd(), 0);  // no active profile: everyone gets 0
  first->SetPath(L"C:\\x.exe");
  config.SetActiveProfile(first);
  config.SetProfileOsdForAll(1);
  IKeyboardProfile* second = config.AddNewProfile(L"Second");
  EXPECT_EQ(second->GetShowOsd(), 1);
  EXPECT_EQ(second->GetAutoSwitch(), 0);
  EXPECT_EQ(second->GetPath(), L"");

  first->SetShowOsd(0);
  config.AddNewProfile(L"Third");
  for (int i = 0; i < config.GetProfileCount(); ++i) EXPECT_EQ(config.GetProfile(i)->GetShowOsd(), 0);
}

TEST_F(KeyboardConfig, ResetNewProfileClearsTheLinkAndSwitching) {
  IKeyboardProfile* active = config.AddNewProfile(L"Active");
  config.SetActiveProfile(active);
  config.SetProfileOsdForAll(1);
  IKeyboardProfile* linked = config.AddNewProfile(L"Linked");
  linked->SetPath(L"C:\\Games\\game.exe");
  linked->SetAutoSwitch(1);
  linked->SetShowOsd(0);
  ASSERT_TRUE(ResetNewProfile(linked, &config));
  EXPECT_EQ(linked->GetPath(), L"");
  EXPECT_EQ(linked->GetFileName(), L"");
  EXPECT_EQ(linked->GetAutoSwitch(), 0);
  EXPECT_EQ(linked->GetShowOsd(), 1);
  EXPECT_FALSE(ResetNewProfile(nullptr, &config));
}

TEST_F(KeyboardConfig, CreateFromCopiesWithoutTheId) {
  IKeyboardProfile* source = config.AddNewProfile(L"Base");
  source->SetId(kIdA);
  KeyAssignment single;
  single.kind = KEYKIND_SINGLEKEY;
  single.payload.key.scanCode = 0x1E;
  config.SetKeyAssignment(3, single, source);

  EXPECT_EQ(config.CreateProfileFrom(source, L"Base"), nullptr);
  EXPECT_EQ(config.CreateProfileFrom(nullptr, L"X"), nullptr);
  IKeyboardProfile* copy = config.CreateProfileFrom(source, L"base");  // case counts here
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(config.GetProfile(1), copy);
  EXPECT_TRUE(IsEqualGUID(copy->GetId(), GUID{}));
  KeyAssignment out;
  config.GetKeyAssignment(out, 3, copy);
  EXPECT_EQ(out.payload.key.scanCode, 0x1E);

  IKeyboardProfile* full = config.AddProfileCopy(source);
  ASSERT_NE(full, nullptr);
  EXPECT_TRUE(IsEqualGUID(full->GetId(), kIdA));
  EXPECT_EQ(config.AddProfileCopy(nullptr), nullptr);
}

TEST_F(KeyboardConfig, ProfileNamesMayDifferOnlyInCase) {
  config.AddNewProfile(L"Game");
  config.AddNewProfile(L"GAME");
  EXPECT_EQ(config.GetProfileCount(), 2);
  CMacro* macro = config.CreateMacro(L"m");
  EXPECT_EQ(config.GetMacro(0), macro);
  EXPECT_EQ(config.CreateMacro(L"M"), nullptr);
}

TEST_F(KeyboardConfig, SaveAllWritesTheActiveNameInUnicode) {
  EXPECT_FALSE(config.SaveAll());  // no active profile: nothing written
  EXPECT_EQ(GetFileAttributesW(config.SettingsPath().c_str()), INVALID_FILE_ATTRIBUTES);

  const std::wstring name = L"Spiel \u00DC\u0151 \u6E38\u620F \u0416";
  config.SetActiveProfile(config.AddNewProfile(name));
  ASSERT_TRUE(config.SaveAll());
  const std::vector<unsigned char> bytes = platform::testing::ReadFileBytes(config.SettingsPath());
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0xFE);
  EXPECT_EQ(settings_file::ReadActiveProfileName(config.SettingsPath()), name);

  // A second save rewrites the value in place, still readable.
  config.SetActiveProfile(config.AddNewProfile(L"Zweites \u00E9"));
  ASSERT_TRUE(config.SaveAll());
  EXPECT_EQ(settings_file::ReadActiveProfileName(config.SettingsPath()), L"Zweites \u00E9");
}

TEST_F(KeyboardConfig, LoadAllKeepsTheListWithoutProfileFiles) {
  IKeyboardProfile* active = config.AddNewProfile(L"Kept");
  config.SetActiveProfile(active);
  ASSERT_TRUE(config.SaveAll());
  EXPECT_FALSE(config.LoadAll());
  EXPECT_EQ(config.GetProfileCount(), 1);
  EXPECT_EQ(config.GetActiveProfile(), active);
}

TEST_F(KeyboardConfig, LoadAllWithProfileFilesClearsTheListSafely) {
  // Profile files are not read by this program, so a folder that holds some
  // yields an empty list, and no active profile is left pointing into it.
  config.SetActiveProfile(config.AddNewProfile(L"Gone"));
  ASSERT_TRUE(config.SaveAll());
  platform::KernelHandle file(
      CreateFileW((config.ProfileFolder() + L"Old.qxp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  ASSERT_NE(file.Get(), nullptr);
  file.Close();
  EXPECT_EQ(config.LoadProfiles(), 0);
  EXPECT_EQ(config.GetProfileCount(), 0);
  EXPECT_EQ(config.GetActiveProfile(), nullptr);
}

TEST(KeyboardConfigPaths, PathsBeyondMaxPathFail) {
  // A program folder so deep that the settings file's path passes MAX_PATH.
  const std::wstring deep = L"C:\\" + std::wstring(250, L'd') + L"\\";
  CMorvelConfig config(deep);
  config.SetActiveProfile(config.AddNewProfile(L"P"));
  EXPECT_FALSE(config.SaveAll());
  EXPECT_EQ(config.LoadProfiles(), 0);
  EXPECT_FALSE(config.LoadAll());
  EXPECT_EQ(config.GetProfileCount(), 1);
  EXPECT_EQ(settings_file::ReadActiveProfileName(config.SettingsPath()), L"");
}

}  // namespace

namespace {

// A profile kept in a file of its own, whose save can be made to fail.
class StoredProfile : public CKeyboardProfile {
 public:
  StoredProfile(const std::wstring& name, const std::wstring& file, const bool* saveWorks)
      : CKeyboardProfile(name), m_file(file), m_saveWorks(saveWorks) {}
  bool HasString() const override { return !m_file.empty(); }
  const std::wstring& GetString() const override { return m_file; }
  bool SaveToFile(std::wstring&, const std::wstring&, const std::wstring&) override {
    return *m_saveWorks;
  }

 private:
  std::wstring m_file;
  const bool* m_saveWorks;
};

TEST(KeyboardConfigRename, TheOldFileGoesOnlyAfterTheCopyWasSaved) {
  TempProgramFolder program;
  CreateDirectoryW((program.Path() + L"save\\").c_str(), nullptr);
  const std::wstring file = program.Path() + L"save\\Old.qxp";
  for (bool saveWorks : {false, true}) {
    platform::KernelHandle handle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_NE(handle.Get(), nullptr);
    handle.Close();

    CKeyboardConfig<StoredProfile> config(program.Path());
    config.Append(std::make_unique<StoredProfile>(L"Old", file, &saveWorks));
    StoredProfile* renamed = config.RenameAt(0, L"New");
    ASSERT_NE(renamed, nullptr);
    EXPECT_EQ(config.At(0), renamed);
    EXPECT_EQ(renamed->GetName(), L"New");
    const bool fileKept = GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
    EXPECT_EQ(fileKept, !saveWorks) << "save worked: " << saveWorks;
  }
}

}  // namespace

namespace {

// A profile that loads from its file by taking the file's name.
class LoadableProfile : public CKeyboardProfile {
 public:
  bool LoadFromFile(const std::wstring& fileName, const std::wstring&, const std::wstring&) override {
    SetName(fileName);
    return true;
  }
};

void TouchFile(const std::wstring& path) {
  platform::KernelHandle handle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_NE(handle.Get(), nullptr);
  handle.Close();
}

TEST(KeyboardConfigLoad, TheActiveProfileNameSurvivesARoundTrip) {
  const std::wstring name = L"Zweite \u00DC \u6E38\u620F";
  struct Case {
    std::wstring stored;
    std::wstring activeAfterLoad;  // empty: the first profile the folder lists
  } const cases[] = {
      {L"zweite \u00DC \u6E38\u620F", name},  // found without regard to case
      {L"Nobody", L""},
  };
  for (const Case& c : cases) {
    TempProgramFolder program;
    const std::wstring save = program.Path() + L"save\\";
    CreateDirectoryW(save.c_str(), nullptr);
    TouchFile(save + L"First.qxp");
    TouchFile(save + name + L".qxp");
    TouchFile(save + L"Notes.txt");
    {
      CKeyboardConfig<LoadableProfile> writer(program.Path());
      LoadableProfile* profile = writer.Append(std::make_unique<LoadableProfile>());
      profile->SetName(c.stored);
      writer.SetActive(profile);
      ASSERT_TRUE(writer.SaveAllProfiles());
    }
    CKeyboardConfig<LoadableProfile> reader(program.Path());
    ASSERT_TRUE(reader.LoadAllProfiles());
    EXPECT_EQ(reader.Count(), 2);
    ASSERT_NE(reader.ActiveProfile(), nullptr);
    const std::wstring expected = c.activeAfterLoad.empty() ? reader.At(0)->GetName() : c.activeAfterLoad;
    EXPECT_EQ(reader.ActiveProfile()->GetName(), expected);
  }
}

}  // namespace
