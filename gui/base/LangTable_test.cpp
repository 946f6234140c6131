#include "gui/base/LangTable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// The bytes of a UTF-16 little-endian file, exactly as long as the text (no terminator).
std::vector<uint8_t> FileBytes(const std::wstring& text) {
  std::vector<uint8_t> bytes(text.size() * 2);
  for (size_t i = 0; i < text.size(); ++i) {
    bytes[2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
  }
  return bytes;
}

using Pairs = std::vector<std::pair<std::wstring, std::wstring>>;

TEST(LangTable, ParsesLinesWithinTheFileSize) {
  struct Case {
    const char* what;
    std::wstring file;
    Pairs pairs;
    std::wstring title;
  } cases[] = {
      {"pairs after the ignored line; last line without a break kept whole",
       L"\uFEFFEnglish\r\nignored\r\nKey One\r\nText one\r\nKey2\r\nText two", {{L"Key One", L"Text one"}, {L"Key2", L"Text two"}},
       L"\uFEFFEnglish"},
      {"END OF FILE on line 1 is ignored", L"T\r\nend of file\r\nk\r\nv", {{L"k", L"v"}}, L"T"},
      {"END OF FILE where a key would be", L"T\r\nx\r\nk\r\nv\r\nEnd Of File\r\nk2\r\nv2", {{L"k", L"v"}}, L"T"},
      {"END OF FILE where a text would be", L"T\r\nx\r\nk\r\nEND OF FILE\r\nk2\r\nv2", {}, L"T"},
      {"empty lines and runs of CR and LF are no lines", L"T\r\n\r\n\r\nx\r\r\n\nk\r\n\r\nv\r\n", {{L"k", L"v"}}, L"T"},
      {"a key without its text", L"T\r\nx\r\nk1\r\nv1\r\nk2", {{L"k1", L"v1"}}, L"T"},
      {"repeated keys are kept", L"T\r\nx\r\nk\r\na\r\nk\r\nb", {{L"k", L"a"}, {L"k", L"b"}}, L"T"},
      {"a line feed alone does not end a line", L"T\r\nx\r\nk\nstill key\r\nv", {{L"k\nstill key", L"v"}}, L"T"},
      {"empty file", L"", {}, L""},
  };
  for (const auto& c : cases) {
    const auto bytes = FileBytes(c.file);
    CLangTable table;
    EXPECT_EQ(CLangTable::ParseTextFile(bytes.size(), bytes.data(), &table), !c.pairs.empty()) << c.what;
    EXPECT_EQ(table.m_pairs, c.pairs) << c.what;
    EXPECT_EQ(table.PairCount(), c.pairs.size()) << c.what;
    EXPECT_EQ(table.m_title, c.title) << c.what;
  }
}

TEST(LangTable, OddTrailingByteAndShortSizeAreRespected) {
  auto bytes = FileBytes(L"T\r\nx\r\nk\r\nvalue");
  bytes.push_back(0x41);  // half a character
  CLangTable odd;
  ASSERT_TRUE(CLangTable::ParseTextFile(bytes.size(), bytes.data(), &odd));
  EXPECT_EQ(odd.m_pairs, (Pairs{{L"k", L"value"}}));

  // Only the given size is read, even when more bytes follow in memory.
  CLangTable shorter;
  ASSERT_TRUE(CLangTable::ParseTextFile(bytes.size() - 1 - 4, bytes.data(), &shorter));
  EXPECT_EQ(shorter.m_pairs, (Pairs{{L"k", L"val"}}));

  // An unaligned buffer is read as well.
  std::vector<uint8_t> shifted(bytes.size() + 1);
  std::memcpy(shifted.data() + 1, bytes.data(), bytes.size());
  CLangTable unaligned;
  ASSERT_TRUE(CLangTable::ParseTextFile(bytes.size() - 1, shifted.data() + 1, &unaligned));
  EXPECT_EQ(unaligned.m_pairs, odd.m_pairs);

  EXPECT_FALSE(CLangTable::ParseTextFile(10, nullptr, &odd));
  EXPECT_FALSE(CLangTable::ParseTextFile(bytes.size(), bytes.data(), nullptr));
}

TEST(LangTable, TranslateKeysAndPrefixes) {
  CLangTable table;
  const std::wstring longKey(70, L'a');
  table.m_pairs = {{L"Apply Button", L"Apply"},
                 {L"Cancel", L"Abbrechen"},
                 {L"Profile Name", L"Profilname"},
                 {L"Profile Count", L"Anzahl"},
                 {longKey, L"long"},
                 {L"  ", L"blank key"}};
  struct Case {
    std::wstring text;
    bool found;
    std::wstring out;
  } cases[] = {
      {L"$ApplyButton", true, L"Apply"},
      {L"$applybutton", true, L"Apply"},
      {L"$Apply Button", false, L"$Apply Button"},  // spaces drop from keys, not from the text
      {L"$CANCEL", true, L"Abbrechen"},
      {L"$Cancelled", false, L"$Cancelled"},
      {L"#profile", true, L"Profilname"},           // the first key in file order that begins so
      {L"#ProfileC", true, L"Anzahl"},
      {L"#Cancel", true, L"Abbrechen"},
      {L"#Cancelled", false, L"#Cancelled"},
      {L"$" + std::wstring(59, L'a'), true, L"long"},   // a long key matches by its first 59 characters
      {L"$" + std::wstring(60, L'a'), false, L"$" + std::wstring(60, L'a')},
      {L"#" + std::wstring(60, L'a'), false, L"#" + std::wstring(60, L'a')},
      {L"$", false, L"$"},
      {L"#", false, L"#"},
      {L"Plain text", false, L"Plain text"},
      {L"", false, L""},
  };
  for (const auto& c : cases) {
    std::wstring out = L"junk";
    EXPECT_EQ(CLangTable::Translate(&table, c.text, out), c.found) << c.text;
    EXPECT_EQ(out, c.out) << c.text;
  }
  std::wstring out;
  EXPECT_FALSE(CLangTable::Translate(nullptr, L"$Cancel", out));
  EXPECT_EQ(out, L"$Cancel");
}

TEST(LangTable, OverridesAreReadOnlyWhenTheirSizeFits) {
  CLangTable table;
  const wchar_t font[] = L"FONT_BIG";
  AddLanguageOverride(&table, 40, font, sizeof(font), L"fontid");
  AddLanguageOverride(&table, 40, L"X", 2 * sizeof(wchar_t), L"FONTID");  // a second one for the same name
  const int32_t rect[4] = {1, 2, 30, 40};
  AddLanguageOverride(&table, 41, rect, sizeof(rect), L"RECT");
  AddLanguageOverride(&table, 42, rect, 12, L"RECT");                 // too short for a rectangle
  const int32_t five[5] = {1, 2, 3, 4, 5};
  AddLanguageOverride(&table, 43, five, sizeof(five), L"rect");        // too long
  AddLanguageOverride(&table, 44, "abc", 3, L"caps");                  // odd: no UTF-16 text
  const wchar_t unterminated[] = {L'o', L'n'};
  AddLanguageOverride(&table, 45, unterminated, sizeof(unterminated), L"multiline");

  std::wstring text;
  ASSERT_TRUE(FindLanguageOverrideText(&table, 40, L"FontId", text));
  EXPECT_EQ(text, L"FONT_BIG");  // the first record wins
  EXPECT_EQ(FindLanguageOverride(&table, 40, L"fontid")->value.size(), sizeof(font));
  EXPECT_EQ(FindLanguageOverride(&table, 41, L"fontid"), nullptr);
  EXPECT_EQ(FindLanguageOverride(nullptr, 40, L"fontid"), nullptr);

  RECT r{};
  ASSERT_TRUE(FindLanguageOverrideRect(&table, 41, r));
  EXPECT_EQ(r.left, 1);
  EXPECT_EQ(r.bottom, 40);
  EXPECT_FALSE(FindLanguageOverrideRect(&table, 42, r));
  EXPECT_FALSE(FindLanguageOverrideRect(&table, 43, r));
  EXPECT_FALSE(FindLanguageOverrideText(&table, 44, L"caps", text));
  ASSERT_TRUE(FindLanguageOverrideText(&table, 45, L"multiline", text));
  EXPECT_EQ(text, L"on");  // read within its size, with no terminator to find

  table.m_fontReplacements[7] = 9;
  EXPECT_EQ(table.FontReplacement(7), 9);
  EXPECT_EQ(table.FontReplacement(8), 0);
}

// Keyboard layouts of a pretend system: what is installed, what is active, and
// every load and unload.
class FakeLayouts : public gui::IKeyboardLayouts {
 public:
  std::map<HKL, std::wstring> names;
  std::vector<HKL> installed;
  HKL active = nullptr;
  bool activationWorks = true;
  HKL loadResult = nullptr;
  std::vector<std::wstring> loads;
  std::vector<HKL> unloads;

  HKL Current() override { return active; }
  std::vector<HKL> Installed() override { return installed; }
  bool ActivateForProcess(HKL layout) override {
    if (!activationWorks || !layout) return false;
    active = layout;
    return true;
  }
  std::wstring ActiveName() override { return names[active]; }
  HKL Load(const std::wstring& name) override {
    loads.push_back(name);
    if (loadResult) names[loadResult] = name;
    return loadResult;
  }
  bool Unload(HKL layout) override {
    unloads.push_back(layout);
    return true;
  }
};

HKL Hkl(uintptr_t v) { return reinterpret_cast<HKL>(v); }

class LayoutSwitcher : public ::testing::Test {
 protected:
  void SetUp() override {
    fake.installed = {Hkl(0x04090409), Hkl(0x040C040C)};
    fake.names = {{Hkl(0x04090409), L"00000409"}, {Hkl(0x040C040C), L"0000040C"}};
    fake.active = Hkl(0x04090409);
    switcher.SetLayouts(&fake);
    english.m_layoutName = L"00000409";
    french.m_layoutName = L"0000040c";  // letter case differs from the system's name
    german.m_layoutName = L"00000407";
    switcher.m_settings = {{366, &english}, {369, &french}, {371, &german}};
  }
  FakeLayouts fake;
  CKeyboardLayoutSwitcher switcher;
  CKeyboardLayoutSetting english, french, german;
};

TEST_F(LayoutSwitcher, AnInstalledLayoutIsUsedAsItIsWhateverItsLetterCase) {
  ASSERT_TRUE(switcher.Select(369));
  EXPECT_EQ(fake.active, Hkl(0x040C040C));
  EXPECT_TRUE(fake.loads.empty());
  ASSERT_TRUE(switcher.Select(366));
  EXPECT_TRUE(fake.unloads.empty());
  EXPECT_TRUE(switcher.Restore());
  EXPECT_TRUE(fake.unloads.empty());
}

TEST_F(LayoutSwitcher, ALayoutLoadedForTheSwitchIsUnloadedByTheNextOne) {
  fake.loadResult = Hkl(0x04070407);
  ASSERT_TRUE(switcher.Select(371));
  EXPECT_EQ(fake.loads, std::vector<std::wstring>{L"00000407"});
  EXPECT_EQ(fake.active, Hkl(0x04070407));
  EXPECT_TRUE(switcher.m_loadedInUse);
  ASSERT_TRUE(switcher.Select(369));
  EXPECT_EQ(fake.unloads, std::vector<HKL>{Hkl(0x04070407)});
  EXPECT_EQ(fake.active, Hkl(0x040C040C));
}

TEST_F(LayoutSwitcher, ALoadThatYieldsAnInstalledLayoutNeverUnloadsIt) {
  // The system may answer a load with a layout the user has installed.
  fake.loadResult = Hkl(0x04090409);
  ASSERT_TRUE(switcher.Select(371));
  EXPECT_FALSE(switcher.m_loadedInUse);
  ASSERT_TRUE(switcher.Select(369));
  EXPECT_TRUE(fake.unloads.empty());
}

TEST_F(LayoutSwitcher, AFailedLoadKeepsThePreviousLayout) {
  fake.active = Hkl(0x040C040C);
  fake.loadResult = nullptr;
  EXPECT_FALSE(switcher.Select(371));
  EXPECT_EQ(fake.active, Hkl(0x040C040C));
  EXPECT_FALSE(switcher.Restore());
  EXPECT_TRUE(fake.unloads.empty());
}

TEST_F(LayoutSwitcher, NoEntryOrNothingToRestore) {
  EXPECT_FALSE(switcher.Select(380));
  EXPECT_FALSE(switcher.Restore());
  EXPECT_TRUE(fake.loads.empty());
  // Activation that always fails (as under Wine) names nothing: the layout is loaded.
  fake.activationWorks = false;
  fake.loadResult = Hkl(0x04090409);
  EXPECT_FALSE(switcher.Select(366));
  EXPECT_EQ(fake.loads.size(), 1u);
  EXPECT_TRUE(fake.unloads.empty());
}

TEST(LayoutSwitcherOnTheSystem, SelectAndRestoreDoNotCrash) {
  CKeyboardLayoutSwitcher system;
  CKeyboardLayoutSetting german;
  german.m_layoutName = L"00000407";
  system.m_settings[371] = &german;
  system.Select(371);
  system.Restore();
  SUCCEED();
}

}  // namespace
