#include "gui/skin/SkinBuilders.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "gui/skin/FontItem.h"
#include "gui/base/LangTable.h"
#include "gui/base/SkinNameTables.h"
#include "gui/testing/SkinTestFolder.h"
#include "gui/testing/XmlElement.h"
#include "platform/Strings.h"

namespace {

using Element = gui::testing::XmlElement;

TEST(FontDescription, AttributesAndTheirDefaults) {
  const struct {
    const char* xml;
    LONG height;
    LONG weight;
    std::wstring face;
  } cases[] = {
      {R"(<FONT pitch="-12" boldlevel="700"/>)", 0, 700, L""},
      {R"(<FONT typeface="DejaVu Sans" pitch="14" boldlevel="0"/>)", 14, 0, L"DejaVu Sans"},
      {R"(<FONT pitch="abc" boldlevel="-1"/>)", 0, 0, L""},
      // A face name longer than the field is cut to fit, terminator kept.
      {R"(<FONT typeface="ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"/>)", 0, 0, L"ABCDEFGHIJKLMNOPQRSTUVWXYZ01234"},
  };
  for (const auto& c : cases) {
    Element e(c.xml);
    const LOGFONTW font = gui::ReadFontDescription(e.node);
    EXPECT_EQ(font.lfHeight, c.height) << c.xml;
    EXPECT_EQ(font.lfWeight, c.weight) << c.xml;
    EXPECT_EQ(std::wstring(font.lfFaceName), c.face) << c.xml;
    EXPECT_EQ(font.lfPitchAndFamily, FF_SWISS | DEFAULT_PITCH) << c.xml;
    EXPECT_EQ(font.lfFaceName[LF_FACESIZE - 1], L'\0') << c.xml;
  }
}

class FontBuilder : public gui::testing::SkinTestFolder {};

TEST_F(FontBuilder, BuildsAFontItemThatOwnsItsFont) {
  ASSERT_TRUE(CopyFileW(DosPath(OVRIX_TEST_FONT).c_str(), (AppFolder + L"fonts\\Shipped.ttf").c_str(), FALSE));
  Element e(R"(<FONT name="FONT_ARIAL14B" typeface="DejaVu Sans" pitch="14" boldlevel="700">  Shipped.ttf </FONT>)");
  HWND parent = reinterpret_cast<HWND>(static_cast<intptr_t>(0x4242));
  std::unique_ptr<CGUIItem> item(BuildFont(e.node, {.parent = parent}));
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->id, FindSkinElementId(L"FONT_ARIAL14B"));
  EXPECT_EQ(item->kind, GUIKIND_FONT);
  EXPECT_EQ(item->hwnd, nullptr);
  EXPECT_EQ(item->parent, parent);
  // The font file was registered with the system through the cache.
  EXPECT_NE(SkinResourceCache::Get(L"Shipped.ttf", kSkinFont).handle, nullptr);

  auto* font = static_cast<CFontItem*>(item.get());
  const HFONT handle = *font;
  ASSERT_NE(handle, nullptr);
  LOGFONTW made{};
  ASSERT_TRUE(GetObjectW(handle, sizeof(made), &made));
  EXPECT_EQ(made.lfHeight, 14);
  EXPECT_EQ(made.lfWeight, 700);
  EXPECT_EQ(std::wstring(made.lfFaceName), L"DejaVu Sans");
  // Deleting the item through its header deletes the font with it.
  item.reset();
  EXPECT_EQ(GetObjectType(handle), 0u);
}

TEST_F(FontBuilder, UnknownNameBuildsNothingAndMissingFileStillGivesAFont) {
  Element unknown(R"(<FONT name="NOT_A_FONT">Shipped.ttf</FONT>)");
  EXPECT_EQ(BuildFont(unknown.node, {}), nullptr);
  Element missingFile(R"(<FONT name="FONT_ARIAL12">absent.ttf</FONT>)");
  std::unique_ptr<CGUIItem> item(BuildFont(missingFile.node, {}));
  ASSERT_NE(item, nullptr);
  EXPECT_NE(static_cast<HFONT>(*static_cast<CFontItem*>(item.get())), nullptr);
}

class LanguageBuilder : public gui::testing::SkinTestFolder {
 protected:
  void SetUp() override {
    gui::testing::SkinTestFolder::SetUp();
    WriteLanguageFile(L"en.txt", L"English\nignored\nOK\nOkay\nEND OF FILE\n");
  }
  std::unique_ptr<CLangTable> Build(const std::string& xml) {
    Element e(xml);
    CGUIItem* item = BuildLanguage(e.node, {});
    return std::unique_ptr<CLangTable>(static_cast<CLangTable*>(item));
  }
  static std::wstring Text(const CLangTable& table, int32_t id, const wchar_t* name) {
    std::wstring text;
    return FindLanguageOverrideText(&table, id, name, text) ? text : L"<none>";
  }
};

TEST_F(LanguageBuilder, ReadsTheFileAndNeedsIt) {
  auto table = Build(R"(<LANG name="LANGUAGE_DEFAULT" file=" en.txt "/>)");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->id, 349);
  EXPECT_EQ(table->kind, GUIKIND_LANG);
  EXPECT_EQ(table->hwnd, nullptr);
  ASSERT_EQ(table->m_pairs.size(), 1u);
  EXPECT_EQ(table->m_pairs[0].second, L"Okay");

  EXPECT_EQ(Build(R"(<LANG name="LANGUAGE_DEFAULT" file="absent.txt"/>)"), nullptr);
  EXPECT_EQ(Build(R"(<LANG name="LANGUAGE_DEFAULT"/>)"), nullptr);
  EXPECT_EQ(Build(R"(<LANG name="LANGUAGE_KLINGON" file="en.txt"/>)"), nullptr);
}

TEST_F(LanguageBuilder, OverridesNeedExactlyOneNameAndOneValue) {
  const int32_t ok = FindSkinElementId(L"BUTTON_OK");
  const int32_t cancel = FindSkinElementId(L"BUTTON_CANCEL");
  auto table = Build(R"(<LANG name="LANGUAGE_DEFAULT" file="en.txt">
      <LANGOVERRIDE name="BUTTON_OK" fontid="FONT_ARIAL12"/>
      <LANGOVERRIDE caps="U" NAME="button_cancel"/>
      <LANGOVERRIDE name="BUTTON_OK" fontid="FONT_ARIAL14" caps="L"/>
      <LANGOVERRIDE fontid="FONT_ARIAL14" caps="L"/>
      <LANGOVERRIDE name="BUTTON_OK" Name="BUTTON_CANCEL"/>
      <LANGOVERRIDE name="NOT_AN_ITEM" fontid="FONT_ARIAL14"/>
      <LANGOVERRIDE name="BUTTON_OK" rect="1"/>
      <LANGOVERRIDE name="BUTTON_OK"><SBMN>n.bmp</SBMN><RECT left="1" top="2" right="3" bottom="4"/></LANGOVERRIDE>
      <LANGOVERRIDE name="BUTTON_CANCEL"><SBMO>o.bmp</SBMO><SBMN>n.bmp</SBMN></LANGOVERRIDE>
      <LANGOVERRIDE multiline="1"><SBMN>x.bmp</SBMN></LANGOVERRIDE>
    </LANG>)");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(Text(*table, ok, L"FONTID"), L"FONT_ARIAL12");
  EXPECT_EQ(Text(*table, cancel, L"caps"), L"U");
  EXPECT_EQ(Text(*table, ok, L"caps"), L"<none>");
  RECT rect{};
  ASSERT_TRUE(FindLanguageOverrideRect(table.get(), ok, rect));
  EXPECT_EQ(rect.left, 1);
  EXPECT_EQ(rect.bottom, 4);  // stored as written; the reader adds the width and height
  EXPECT_EQ(Text(*table, ok, L"SBMN"), L"<none>");  // the RECT child takes the whole override
  EXPECT_EQ(Text(*table, cancel, L"SBMN"), L"n.bmp");
  EXPECT_EQ(Text(*table, cancel, L"SBMO"), L"o.bmp");
  // fontid, caps, RECT, SBMN, SBMO: nothing else was stored.
  EXPECT_EQ(table->m_overrides.size(), 5u);
  for (const LanguageOverride& o : table->m_overrides)
    if (platform::EqualsNoCase(o.name, L"RECT")) {
      EXPECT_EQ(o.value.size(), 16u);
    }
}

TEST_F(LanguageBuilder, FontReplacementsLastOneWins) {
  auto table = Build(R"(<LANG name="LANGUAGE_DEFAULT" file="en.txt">
      <LANGFONT fontsearch="FONT_ARIAL12" fontreplace="FONT_ARIAL14"/>
      <LANGFONT fontsearch="FONT_ARIAL12" fontreplace="FONT_ARIAL16"/>
      <LANGFONT fontsearch="FONT_ARIAL10" fontreplace="NO_FONT"/>
    </LANG>)");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->FontReplacement(FindSkinElementId(L"FONT_ARIAL12")), FindSkinElementId(L"FONT_ARIAL16"));
  EXPECT_EQ(table->FontReplacement(FindSkinElementId(L"FONT_ARIAL10")), 0);
}

TEST(KeyboardLayoutBuilder, CopiesTheTwoTexts) {
  Element e(R"(<KBLAYOUT name="KBLAYOUT_ENGLISH" kbdlayout="00000409" kbditems="Layout_EN.xml"/>)");
  std::unique_ptr<CGUIItem> item(BuildKeyboardLayout(e.node, {}));
  ASSERT_NE(item, nullptr);
  auto* layout = static_cast<CKeyboardLayoutSetting*>(item.get());
  EXPECT_EQ(layout->id, 366);
  EXPECT_EQ(layout->kind, GUIKIND_KBLAYOUT);
  EXPECT_EQ(layout->m_layoutName, L"00000409");
  EXPECT_EQ(layout->m_itemSet, L"Layout_EN.xml");
  Element unknown(R"(<KBLAYOUT name="KBLAYOUT_MARTIAN"/>)");
  EXPECT_EQ(BuildKeyboardLayout(unknown.node, {}), nullptr);
}

}  // namespace
