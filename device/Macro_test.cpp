#include "device/Macro.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

const GUID kIdA = {0xA1, 1, 2, {1, 2, 3, 4, 5, 6, 7, 8}};

MacroEvent KeyDown(int scanCode, int flags = 0) {
  return {MACROEVENT_KEY, scanCode, kMacroStatePressed | flags << 8};
}

TEST(CMacroList, NamesAreUniqueWithoutRegardToCase) {
  CMacroList list;
  CMacro* first = list.Create(L"Reload", {KeyDown(0x13)});
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(list.Create(L"RELOAD", {}), nullptr);
  EXPECT_EQ(list.Count(), 1u);
  EXPECT_EQ(list.FindByName(L"reload"), first);
  EXPECT_EQ(list.FindByName(L"Other"), nullptr);
  EXPECT_EQ(first->events.size(), 1u);
}

TEST(CMacroList, ALongNameIsCutBeforeTheUniquenessTest) {
  CMacroList list;
  const std::wstring base(255, L'n');
  ASSERT_NE(list.Create(base, {}), nullptr);
  // Cut to 255 characters this is `base` again: refused, not a second "same" name.
  EXPECT_EQ(list.Create(base + L"tail", {}), nullptr);
  CMacro* other = list.Create(std::wstring(254, L'n') + L"x" + L"tail", {});
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(other->GetName(), std::wstring(254, L'n') + L"x");
  EXPECT_EQ(other->name[255], L'\0');
}

TEST(CMacroList, RenameKeepsNamesUnique) {
  CMacroList list;
  CMacro* fire = list.Create(L"Fire", {});
  CMacro* jump = list.Create(L"Jump", {});
  struct Case {
    CMacro* macro;
    const wchar_t* name;
    bool accepted;
    const wchar_t* nameAfter;
  } const cases[] = {
      {fire, L"JUMP", false, L"Fire"},  // another macro's name in another case
      {fire, L"FIRE", true, L"FIRE"},   // its own name in another case
      {fire, L"Burst", true, L"Burst"},
      {jump, L"burst", false, L"Jump"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(list.Rename(c.macro, c.name), c.accepted) << c.name;
    EXPECT_EQ(c.macro->GetName(), c.nameAfter) << c.name;
  }
  CMacro stranger(L"Stranger", {});
  EXPECT_FALSE(list.Rename(&stranger, L"Free"));
  EXPECT_FALSE(list.Rename(nullptr, L"Free"));
  EXPECT_TRUE(list.Rename(jump, std::wstring(300, L'j')));
  EXPECT_EQ(jump->GetName(), std::wstring(255, L'j'));
}

TEST(CMacroList, LookupsRefuseOutOfRangeIndexesAndTheZeroId) {
  CMacroList list;
  CMacro* unknown = list.Create(L"NotOnDevice", {});
  CMacro* known = list.Create(L"OnDevice", {});
  known->id = kIdA;
  EXPECT_EQ(list.At(0), unknown);
  EXPECT_EQ(list.At(1), known);
  EXPECT_EQ(list.At(2), nullptr);
  EXPECT_EQ(list.At(-1), nullptr);
  EXPECT_EQ(list.FindById(kIdA), known);
  EXPECT_EQ(list.FindById(GUID{}), nullptr);  // `unknown` has the zero id, but that is no match
}

TEST(CMacroList, DeleteRemovesOnlyAMacroOfTheList) {
  CMacroList list;
  CMacro* a = list.Create(L"A", {});
  CMacro* b = list.Create(L"B", {});
  CMacro stranger(L"A", {});
  list.Delete(&stranger);
  EXPECT_EQ(list.Count(), 2u);
  list.Delete(a);
  EXPECT_EQ(list.Count(), 1u);
  EXPECT_EQ(list.At(0), b);
}

TEST(CMacro, EqualityComparesIdNameAndEvents) {
  CMacro a(L"Combo", {KeyDown(0x1E), {MACROEVENT_DELAY, 50, 50}});
  a.id = kIdA;
  CMacro b(L"COMBO", a.events);
  b.id = kIdA;
  EXPECT_TRUE(a == b);
  b.events[0] = KeyDown(0x1E, 1);  // only the flags byte differs
  EXPECT_FALSE(a == b);
  CMacro c(L"Combo", a.events);  // zero id
  EXPECT_FALSE(a == c);
}

TEST(CQxApp, EqualityIsCaseSensitiveWhileTheListIsNot) {
  CQxAppList list;
  CQxApp* app = list.Create(L"C:\\Games\\Game.exe");
  ASSERT_NE(app, nullptr);
  EXPECT_EQ(list.Create(L"c:\\games\\GAME.EXE"), nullptr);
  EXPECT_EQ(list.FindByName(L"C:\\GAMES\\game.exe"), app);
  CQxApp other(L"c:\\games\\GAME.EXE");
  EXPECT_FALSE(*app == other);
  CQxApp same(L"C:\\Games\\Game.exe");
  EXPECT_TRUE(*app == same);
  EXPECT_EQ(list.FindById(GUID{}), nullptr);
  EXPECT_EQ(list.At(-1), nullptr);
  EXPECT_EQ(list.At(1), nullptr);
}

TEST(MacroEventVector, IndexesAtOrPastTheEndAreRefused) {
  MacroEventList events = {KeyDown(1), KeyDown(2)};
  const MacroEvent delay{MACROEVENT_DELAY, 10, 10};
  EXPECT_FALSE(MacroEventVector::ReplaceAt(events, 2, delay));
  EXPECT_FALSE(MacroEventVector::EraseAt(events, 2));
  EXPECT_EQ(events.size(), 2u);
  EXPECT_THROW(MacroEventVector::At(events, 2), std::out_of_range);

  EXPECT_TRUE(MacroEventVector::ReplaceAt(events, 0, delay));
  EXPECT_EQ(events[0], delay);
  EXPECT_EQ(events[1], KeyDown(2));
  EXPECT_TRUE(MacroEventVector::EraseAt(events, 0));
  EXPECT_EQ(MacroEventVector::At(events, 0), KeyDown(2));
}

}  // namespace
