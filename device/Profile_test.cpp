#include "device/Profile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device/KeyboardDef.h"

namespace {

KeyAssignment SingleKey(int16_t scanCode) {
  KeyAssignment record;
  record.kind = KEYKIND_SINGLEKEY;
  record.payload.key.scanCode = scanCode;
  return record;
}

TEST(CMorvelProfile, StoresOnlyAcceptedKinds) {
  CMorvelProfile profile(L"P");
  ASSERT_TRUE(profile.SetKeyAssignment(100, SingleKey(0x1E)));

  KeyAssignment click;
  click.kind = 1;
  EXPECT_FALSE(profile.SetKeyAssignment(100, click));
  EXPECT_FALSE(profile.SetKeyAssignment(101, click));
  KeyAssignment out;
  profile.GetKeyAssignment(out, 100);
  EXPECT_EQ(out.kind, KEYKIND_SINGLEKEY);
  EXPECT_EQ(profile.KeyMap().count(101), 0u);

  KeyAssignment byName;
  MakeMacroNameAssignment(byName, L"Combo", MACROPLAY_ONCE);
  EXPECT_TRUE(profile.SetKeyAssignment(100, byName));
  profile.GetKeyAssignment(out, 100);
  EXPECT_EQ(std::memcmp(&out, &byName, sizeof out), 0);
}

TEST(CMorvelProfile, AKeyNeverAssignedReadsAllZeroAndThenResetsToItsDefault) {
  // A defaults pair of the program's keyboard definition for an id no real key has.
  const int32_t keyId = 0x5EED;
  const uint8_t defaults[] = {1, 0, 0, 0, 0xED, 0x5E, 0, 0, 0x1C, 0, 1, 0};
  ASSERT_TRUE(GlobalKeyboardDef().LoadKeyDefaults(defaults, sizeof defaults));

  CMorvelProfile profile(L"P");
  KeyAssignment out;
  out.kind = 99;
  out.playMode = 3;
  profile.GetKeyAssignment(out, keyId);
  const KeyAssignment zero{};
  EXPECT_EQ(std::memcmp(&out, &zero, sizeof out), 0);
  EXPECT_EQ(profile.KeyMap().count(keyId), 1u);
  profile.SetKeyAssignment(keyId + 1, SingleKey(0x30));  // no default: becomes {0, 0}

  profile.ResetToDefaults();
  profile.GetKeyAssignment(out, keyId);
  EXPECT_EQ(out.kind, KEYKIND_DEFAULT);
  EXPECT_EQ(out.payload.key.scanCode, 0x1C);
  EXPECT_EQ(out.payload.key.flags, KEYFLAG_EXTENDED);
  profile.GetKeyAssignment(out, keyId + 1);
  EXPECT_EQ(out.kind, KEYKIND_DEFAULT);
  EXPECT_EQ(out.payload.key.scanCode, 0);
  EXPECT_EQ(profile.KeyMap().size(), 2u);  // reset adds no keys

  CMorvelProfile empty(L"E");
  empty.ResetToDefaults();
  EXPECT_TRUE(empty.KeyMap().empty());
}

TEST(CMorvelProfile, PathGivesTheProgramFileName) {
  const std::wstring longName(300, L'g');
  struct Case {
    std::wstring path;
    std::wstring fileName;
  } const cases[] = {
      {L"C:\\Games\\Shooter\\run.exe", L"run.exe"},
      {L"C:/Games/run.EXE", L"run.EXE"},
      {L"D:game.exe", L"game.exe"},
      {L"archive.tar.gz", L"archive.tar.gz"},
      {L"C:\\Games\\" + longName + L".exe", longName + L".exe"},  // never cut into pieces
      {L"", L""},
  };
  for (const Case& c : cases) {
    CMorvelProfile profile;
    profile.SetFileName(L"stale.exe");
    profile.SetPath(c.path);
    EXPECT_EQ(profile.GetPath(), c.path);
    EXPECT_EQ(profile.GetFileName(), c.fileName);
  }
}

TEST(CMorvelProfile, ACopyTakesEverythingButTheLedState) {
  CMorvelProfile source(L"Source");
  const GUID id = {7, 8, 9, {1, 1, 1, 1, 1, 1, 1, 1}};
  source.SetId(id);
  source.SetPath(L"C:\\a.exe");
  source.SetAutoSwitch(1);
  source.SetShowOsd(0);
  source.SetLedState(0);
  source.SetKeyAssignment(5, SingleKey(0x21));

  CMorvelProfile copy(source);
  EXPECT_EQ(copy.GetName(), L"Source");
  EXPECT_TRUE(IsEqualGUID(copy.GetId(), id));
  EXPECT_EQ(copy.GetFileName(), L"a.exe");
  EXPECT_EQ(copy.GetAutoSwitch(), 1);
  EXPECT_EQ(copy.GetShowOsd(), 0);
  EXPECT_EQ(copy.GetLedState(), 1);
  EXPECT_EQ(copy.KeyMap().size(), 1u);
}

TEST(CMorvelProfile, ProfileFilesAreNotUsed) {
  CMorvelProfile profile(L"P");
  std::wstring written = L"unchanged";
  EXPECT_FALSE(profile.SaveToFile(written, L"C:\\save\\", L"qxp"));
  EXPECT_FALSE(profile.LoadFromFile(L"P", L"C:\\save\\", L"qxp"));
  EXPECT_EQ(written, L"unchanged");
  EXPECT_FALSE(profile.HasString());
  EXPECT_EQ(profile.GetName(), L"P");
}

}  // namespace
