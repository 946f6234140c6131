#include "gui/base/SkinNameTables.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

class NameTablesTest : public ::testing::Test {
 protected:
  void TearDown() override { BuildNameTables(NameTableSet::Configurator); }
};

TEST_F(NameTablesTest, SizesAndGapsOfTheConfiguratorTables) {
  BuildNameTables(NameTableSet::Configurator);
  const SkinNameTables& t = NameTables();
  EXPECT_EQ(t.commandKeywords.Size(), 17u);
  EXPECT_EQ(t.functionKeywords.Size(), 64u);
  EXPECT_EQ(t.keyAbbreviations.Size(), 72u);
  EXPECT_EQ(t.colourNames.Size(), 13u);
  EXPECT_EQ(t.languageNames.Size(), 16u);
  EXPECT_EQ(t.listColumns.Size(), 7u);
  EXPECT_EQ(t.controlTypes.Size(), 6u);
  EXPECT_EQ(t.columnTypes.Size(), 2u);
  EXPECT_EQ(t.keyboardLayouts.size(), 15u);

  ASSERT_EQ(t.skinElements.Size(), 684u);
  const std::set<int32_t> unused = {17, 365, 382, 426, 547, 548, 668};
  for (int32_t id = 0; id <= 690; ++id)
    EXPECT_EQ(GetSkinElementName(id) == nullptr, unused.count(id) == 1) << id;
  EXPECT_EQ(GetSkinElementName(691), nullptr);
  EXPECT_EQ(GetSkinElementName(-1), nullptr);
}

TEST_F(NameTablesTest, EveryTableHasStrictlyAscendingKeysAndUniqueElementNames) {
  const SkinNameTables& t = NameTables();
  for (const NameTable* table : {&t.commandKeywords, &t.functionKeywords, &t.skinElements, &t.keyAbbreviations,
                                 &t.colourNames, &t.languageNames, &t.listColumns, &t.controlTypes, &t.columnTypes}) {
    for (std::size_t i = 1; i < table->Size(); ++i) EXPECT_LT(table->Rows()[i - 1].key, table->Rows()[i].key);
  }
  std::set<std::wstring> names;
  for (const NameEntry& row : t.skinElements.Rows()) EXPECT_TRUE(names.insert(row.name).second) << row.key;
}

// Reverse and forward look-ups of both programs, one row a case.
struct LookupCase {
  NameTableSet set;
  const char* what;
  int32_t got;
  int32_t expected;
};

TEST_F(NameTablesTest, LookupCases) {
  auto run = [](NameTableSet set, auto fn) {
    BuildNameTables(set);
    return fn();
  };
  const auto C = NameTableSet::Configurator;
  const auto T = NameTableSet::Tray;
  const LookupCase cases[] = {
      {C, "BUTTON_OK lower case", run(C, [] { return FindSkinElementId(L"button_ok"); }), 14},
      {C, "unknown element", run(C, [] { return FindSkinElementId(L"BUTTON_NOPE"); }), -1},
      {C, "empty name", run(C, [] { return FindSkinElementId(L""); }), -1},
      {C, "white colour", run(C, [] { return FindColourByName(L"white"); }), 0xFFFFFF},
      {C, "BLACK is 0, not not-found", run(C, [] { return FindColourByName(L"Black"); }), 0},
      {C, "GREY colour", run(C, [] { return FindColourByName(L"GREY"); }), -1},
      {C, "layout 15", run(C, [] { return GetLayoutSkinId(15); }), -1},
      {C, "layout 1", run(C, [] { return GetLayoutSkinId(1); }), 366},
      {C, "layout 0", run(C, [] { return GetLayoutSkinId(0); }), 366},
      {C, "layout 14", run(C, [] { return GetLayoutSkinId(14); }), 375},
      {C, "English ties to the smallest key", run(C, [] { return FindLanguageId(L"english"); }), 349},
      {C, "$macro only among functions", run(C, [] { return FindCommandKeywordId(L"$macro"); }), -1},
      {C, "$cut command", run(C, [] { return FindCommandKeywordId(L"$CUT"); }), 1},
      {C, "control type", run(C, [] { return FindControlTypeId(L"filedialog"); }), 5},
      {C, "column type", run(C, [] { return FindColumnTypeId(L"static"); }), 1},
      {C, "list column", run(C, [] { return FindListColumnId(L"LCITEM_AUTOSWITCH"); }), 4},
      {C, "last element", run(C, [] { return FindSkinElementId(L"BITMAP_VBAR_MACROMSEC_HB"); }), 690},
      {C, "key button", run(C, [] { return FindSkinElementId(L"BUTTON_KB_ESC"); }), 427},
      // The tray numbers its elements without its three missing rows.
      {T, "tray: ids up to 164 unchanged", run(T, [] { return FindSkinElementId(L"BUTTON_MACRO_DELETE"); }), 164},
      {T, "tray: no BUTTON_MACRO_RENAME", run(T, [] { return FindSkinElementId(L"BUTTON_MACRO_RENAME"); }), -1},
      {T, "tray: 166 becomes 165", run(T, [] { return FindSkinElementId(L"BUTTON_MACRO_RECORD_START"); }), 165},
      {T, "tray: 676 becomes 675", run(T, [] { return FindSkinElementId(L"TEXT_ASSIGNSELECT_LAUNCHPROGRAM"); }), 675},
      {T, "tray: no TEXT_ASSIGNSELECT_DISABLE", run(T, [] { return FindSkinElementId(L"TEXT_ASSIGNSELECT_DISABLE"); }), -1},
      {T, "tray: 678 becomes 676", run(T, [] { return FindSkinElementId(L"TEXT_CURRENTASSIGNMENT_HEADING"); }), 676},
      {T, "tray: 684 becomes 682", run(T, [] { return FindSkinElementId(L"BUTTON_ASSIGNSELECT_LAUNCHPROGRAM"); }), 682},
      {T, "tray: no BUTTON_ASSIGNSELECT_DISABLE", run(T, [] { return FindSkinElementId(L"BUTTON_ASSIGNSELECT_DISABLE"); }), -1},
      {T, "tray: 686 becomes 683", run(T, [] { return FindSkinElementId(L"LIST_DROPDOWN_POPUP"); }), 683},
      {T, "tray: 690 becomes 687", run(T, [] { return FindSkinElementId(L"BITMAP_VBAR_MACROMSEC_HB"); }), 687},
      {T, "tray: LANGUAGE_DEFAULT", run(T, [] { return FindSkinElementId(L"LANGUAGE_DEFAULT"); }), 348},
      {T, "tray: English language", run(T, [] { return FindLanguageId(L"English"); }), 348},
      {T, "tray: German language", run(T, [] { return FindLanguageId(L"German"); }), 353},
      {T, "tray: layout 1", run(T, [] { return GetLayoutSkinId(1); }), 365},
      {T, "tray: layout 13", run(T, [] { return GetLayoutSkinId(13); }), 380},
      {T, "tray: KBLAYOUT_ENGLISH", run(T, [] { return FindSkinElementId(L"KBLAYOUT_ENGLISH"); }), 365},
      {T, "tray: white colour", run(T, [] { return FindColourByName(L"WHITE"); }), 0xFFFFFF},
  };
  for (const LookupCase& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;
}

TEST_F(NameTablesTest, TrayTableHasThreeRowsFewerAndKeepsEveryOtherName) {
  BuildNameTables(NameTableSet::Tray);
  EXPECT_EQ(NameTables().skinElements.Size(), 681u);
  EXPECT_EQ(NameTables().languageNames.Rows().front().key, 348);
  EXPECT_EQ(NameTables().languageNames.Rows().back().key, 363);
  // The layout table points at the tray's own KBLAYOUT_... ids.
  for (const NumberEntry& row : NameTables().keyboardLayouts) {
    const wchar_t* name = GetSkinElementName(row.value);
    ASSERT_NE(name, nullptr) << row.key;
    EXPECT_EQ(std::wstring(name).rfind(L"KBLAYOUT_", 0), 0u) << row.key;
  }
}

TEST_F(NameTablesTest, ForwardLookups) {
  for (int32_t vk = 112; vk <= 128; ++vk)
    EXPECT_EQ(std::wstring(GetKeyAbbreviation(vk)), L"F" + std::to_wstring(vk - 111));
  EXPECT_EQ(GetKeyAbbreviation(129), nullptr);
  EXPECT_EQ(std::wstring(GetCommandKeyword(17)), L"$zoomout");
  EXPECT_EQ(GetCommandKeyword(0), nullptr);
  EXPECT_EQ(std::wstring(GetFunctionKeyword(63)), L"$launchprogram");
  EXPECT_EQ(std::wstring(GetLanguageName(364)), L"English");
  EXPECT_EQ(std::wstring(GetSkinElementName(0)), L"BACKGROUND");
}

}  // namespace
