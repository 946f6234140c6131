#include "tray/TrayLanguage.h"

#include <gtest/gtest.h>

#include <set>

#include "gui/base/LangTable.h"
#include "gui/skin/SkinLoader.h"
#include "gui/base/SkinNameTables.h"
#include "gui/skin/SkinResourceCache.h"
#include "platform/testing/WinePath.h"
#include "tray/testing/TrayTestSupport.h"

namespace {

using namespace tray::testing;

const std::wstring kSkinApp = DosPath(OVRIX_SKIN_APP_DIR) + L"\\";

std::set<int32_t> LoadedLanguageIds() {
  std::set<int32_t> ids;
  for (const auto& [id, table] : LanguageTables) ids.insert(id);
  return ids;
}

TEST(TrayLanguage, ModuleFolderIsGivenOnlyForAWholePath) {
  const std::wstring path = L"C:\\Program Files\\Kestrane\\KestraneOvrixTray.exe";
  EXPECT_EQ(tray::FolderOfModulePath(path.c_str(), static_cast<uint32_t>(path.size()), MAX_PATH),
            L"C:\\Program Files\\Kestrane\\");
  EXPECT_EQ(tray::FolderOfModulePath(path.c_str(), MAX_PATH, MAX_PATH), L"") << "cut at the buffer";
  EXPECT_EQ(tray::FolderOfModulePath(L"tray.exe", 8, MAX_PATH), L"");
  EXPECT_EQ(tray::FolderOfModulePath(nullptr, 0, MAX_PATH), L"");
}

// One loader for both programs: the language ids it keeps follow the table set
// in force, so the shipped default language is kept by each.
TEST(TrayLanguage, LoaderKeepsTheLanguagesOfEitherTableSet) {
  AppFolder = kSkinApp;
  struct Case {
    NameTableSet set;
    std::set<int32_t> ids;  // LANGUAGE_DEFAULT, LANGUAGE_FRENCH, LANGUAGE_GERMAN
  };
  const Case cases[] = {{NameTableSet::Configurator, {349, 352, 354}}, {NameTableSet::Tray, {348, 351, 353}}};
  for (const Case& c : cases) {
    BuildNameTables(c.set);
    GUIItemList list;
    LoadSkinFile(list, L"Language.xml", nullptr);
    EXPECT_EQ(LoadedLanguageIds(), c.ids);
    tray::FreeTrayLanguage(list);
    EXPECT_TRUE(LanguageTables.empty());
  }
  BuildNameTables(NameTableSet::Configurator);
}

TEST(TrayLanguage, TheRegistryChoosesTheTrayLanguage) {
  struct Case {
    bool set;
    const wchar_t* language;
    const wchar_t* loadText;  // menu item 32770
  };
  const Case cases[] = {
      {false, L"", L"Load Kestrane Ovrix"},  // no value: the default language's text
      {true, L"German", L"Kestrane Ovrix laden"},
      {true, L"gERMAN", L"Kestrane Ovrix laden"},  // names compare without regard to case
      {true, L"Klingon", nullptr},                 // unknown: no table, the built-in text
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::WideToUtf8(c.language));
    SeamsScope seams;
    if (c.set) seams.SetString(L"Language", c.language);
    AppFolder = kSkinApp;
    GUIItemList list;
    tray::LoadTrayLanguage(list);
    if (c.loadText) {
      ASSERT_NE(CurrentLangTable, nullptr);
      EXPECT_EQ(tray::TrayText(L"$LoadKestraneOvrix", L"built-in"), c.loadText);
    } else {
      EXPECT_EQ(CurrentLangTable, nullptr);
      EXPECT_EQ(tray::TrayText(L"$LoadKestraneOvrix", L"built-in"), L"built-in");
    }
    tray::FreeTrayLanguage(list);
    EXPECT_EQ(CurrentLangTable, nullptr);
  }
  BuildNameTables(NameTableSet::Configurator);
}

TEST(TrayLanguage, AMissingLanguageListLeavesTheBuiltInTexts) {
  SeamsScope seams;
  seams.SetString(L"Language", L"German");
  AppFolder = L"Z:\\no\\such\\folder\\";
  GUIItemList list;
  tray::LoadTrayLanguage(list);
  EXPECT_EQ(CurrentLangTable, nullptr);
  EXPECT_EQ(tray::TrayText(L"$CloseTrayIcon", L"Close Tray Icon"), L"Close Tray Icon");
  tray::FreeTrayLanguage(list);
  BuildNameTables(NameTableSet::Configurator);
}

}  // namespace
