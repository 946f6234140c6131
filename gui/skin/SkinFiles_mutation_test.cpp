// The skin's files from outside, damaged at random (seeded): the language text
// files of the default skin (through the language table's parser, its input
// against a no-access page) and the skin XML files (through the loader, in an
// installation folder with the default skin's images, fonts, texts and key
// files). No mutant may fault or hang; each is refused or gives items within the
// file's bounds.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "gui/base/LangTable.h"
#include "gui/skin/SkinLoader.h"
#include "gui/testing/SkinTestFolder.h"
#include "platform/testing/Mutation.h"
#include "platform/testing/TestFiles.h"
#include "platform/testing/WinePath.h"

namespace {

using platform::testing::GuardedBytes;
using platform::testing::MutantCount;
using platform::testing::MutationSeed;
using platform::testing::MutationTally;
using platform::testing::Mutator;

const std::wstring kApp = DosPath(OVRIX_SKIN_APP_DIR) + L"\\";

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileW(find, &found));
  FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

using platform::testing::ReadWholeFile;

TEST(LanguageFileMutation, MutantsAreRefusedOrGivePairsFromTheFile) {
  std::vector<std::string> samples;
  for (const std::wstring& name : FilesIn(kApp + L"lang\\")) samples.push_back(ReadWholeFile(kApp + L"lang\\" + name));
  ASSERT_GE(samples.size(), 1u);
  for (const std::string& sample : samples) {
    CLangTable table;
    ASSERT_TRUE(CLangTable::ParseTextFile(sample.size(), sample.data(), &table));
  }

  MutationTally tally{"language text file", MutationSeed(0x6C616E67)};
  Mutator mutator(tally.seed, Mutator::Kind::Binary);
  const int count = MutantCount(4000);
  for (int i = 0; i < count; ++i) {
    const std::string mutant = mutator.Mutate(samples[i % samples.size()]);
    GuardedBytes bytes(mutant);
    ASSERT_TRUE(bytes.Ok());
    CLangTable table;
    const bool accepted = CLangTable::ParseTextFile(bytes.Size(), bytes.Data(), &table);
    tally.Count(accepted);
    ASSERT_EQ(accepted, !table.m_pairs.empty()) << "mutant " << i;
    // Every character of a pair or the title comes from the file.
    size_t units = table.m_title.size();
    for (const auto& [key, text] : table.m_pairs) units += key.size() + text.size();
    ASSERT_LE(units, mutant.size() / 2) << "mutant " << i;
    // Two lines per pair after the first two, each ended by a carriage return but the last.
    const size_t lines = static_cast<size_t>(std::count(mutant.begin(), mutant.end(), '\r')) + 1;
    ASSERT_LE(table.m_pairs.size() * 2, lines) << "mutant " << i;
    for (const auto& [key, text] : table.m_pairs) {
      std::wstring out;
      CLangTable::Translate(&table, L"$" + key, out);
      CLangTable::Translate(&table, L"#" + key.substr(0, 3), out);
    }
  }
  tally.Print();
  EXPECT_GT(tally.refused, 0);
  EXPECT_GT(tally.accepted, 0);
}

// An installation folder with the default skin's images, fonts, texts and the key files.
class SkinXmlMutation : public gui::testing::SkinTestFolder {
 protected:
  void SetUp() override {
    MakeFolder(L"skinmut");
    for (const wchar_t* sub : {L"skins", L"fonts", L"lang", L"bin"})
      for (const std::wstring& name : FilesIn(kApp + sub + L"\\"))
        ASSERT_TRUE(CopyFileW((kApp + sub + L"\\" + name).c_str(), (AppFolder + sub + L"\\" + name).c_str(), FALSE));
    for (const std::wstring& name : FilesIn(kApp + L"xml\\")) samples.push_back(ReadWholeFile(kApp + L"xml\\" + name));
    // A keyboard file and languages with overrides, beside the shipped files.
    samples.push_back(R"(<?xml version="1.0"?>
<KEYBOARD>
  <KEYBOARDDEF name="KBDDEF_WINDOWS" file="KeyDefinitions.bin" kbddefaults="KeyDefaults_US.bin"/>
  <FONTLIST><FONT name="FONT_ARIAL12" typeface="DejaVu Sans" pitch="12">DejaVuSans.ttf</FONT></FONTLIST>
  <LANGLIST>
    <LANG name="LANGUAGE_DEFAULT" file="English.txt">
      <LANGOVERRIDE name="BUTTON_OK" fontid="FONT_ARIAL12"/>
      <LANGOVERRIDE name="BUTTON_OK"><SBMN>MainPage_Mask.bmp</SBMN><RECT left="1" top="2" right="30" bottom="40"/></LANGOVERRIDE>
      <LANGOVERRIDE name="BUTTON_CANCEL" caps="U"/>
      <LANGFONT fontsearch="FONT_ARIAL12" fontreplace="FONT_ARIAL14"/>
    </LANG>
  </LANGLIST>
  <KBLAYOUTLIST><KBLAYOUT name="KBLAYOUT_ENGLISH" kbdlayout="00000409" kbditems="Layout_EN.xml"/></KBLAYOUTLIST>
</KEYBOARD>
)");
  }
  void TearDown() override {
    ResetGlobals();
    gui::testing::SkinTestFolder::TearDown();
  }
  // The loader's globals point into the list; they go with it.
  void ResetGlobals() {
    DestroyItemList(list);
    LanguageTables.clear();
    KeyboardLayoutSwitcher.m_settings.clear();
    CurrentLangTable = nullptr;
  }

  ::testing::AssertionResult WithinBounds(const std::string& mutant) {
    const size_t elements = static_cast<size_t>(std::count(mutant.begin(), mutant.end(), '<'));
    if (list.size() > elements) return ::testing::AssertionFailure() << list.size() << " items of " << elements;
    const std::set<CGUIItem*> items(list.begin(), list.end());
    if (items.count(nullptr)) return ::testing::AssertionFailure() << "a null item";
    for (const auto& [id, table] : LanguageTables)
      if (id < 349 || id > 364 || !items.count(table))
        return ::testing::AssertionFailure() << "language table " << id << " outside the list";
    for (const auto& [id, setting] : KeyboardLayoutSwitcher.m_settings)
      if (!items.count(setting)) return ::testing::AssertionFailure() << "layout " << id << " outside the list";
    return ::testing::AssertionSuccess();
  }

  std::vector<std::string> samples;
  GUIItemList list;
};

TEST_F(SkinXmlMutation, MutantsAreRefusedOrLoadItemsOfTheFile) {
  ASSERT_GE(samples.size(), 2u);
  for (size_t s = 0; s < samples.size(); ++s) {
    EXPECT_TRUE(SkinLoader::LoadFile(nullptr, WriteXml(L"sample.xml", samples[s]), list)) << "sample " << s;
    ResetGlobals();
  }
  MutationTally tally{"skin XML file", MutationSeed(0x736B696E)};
  Mutator mutator(tally.seed, Mutator::Kind::Text);
  const int count = MutantCount(1500);
  for (int i = 0; i < count; ++i) {
    const std::string mutant = mutator.Mutate(samples[i % samples.size()]);
    const bool accepted = SkinLoader::LoadFile(nullptr, WriteXml(L"mutant.xml", mutant), list);
    tally.Count(accepted);
    ASSERT_TRUE(WithinBounds(mutant)) << "mutant " << i;
    ResetGlobals();
  }
  tally.Print();
  EXPECT_GT(tally.refused, 0);
  EXPECT_GT(tally.accepted, 0);
}

}  // namespace
