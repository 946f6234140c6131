#include "gui/SkinBuilders.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "gui/FontItem.h"
#include "gui/SkinNameTables.h"
#include "gui/SkinTestFolder.h"

namespace {

struct Element {
  explicit Element(const std::string& xml) {
    EXPECT_TRUE(document.load_string(xml.c_str())) << xml;
    node = document.first_child();
  }
  pugi::xml_document document;
  pugi::xml_node node;
};

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
    const LOGFONTW font = ReadFontDescription(e.node);
    EXPECT_EQ(font.lfHeight, c.height) << c.xml;
    EXPECT_EQ(font.lfWeight, c.weight) << c.xml;
    EXPECT_EQ(std::wstring(font.lfFaceName), c.face) << c.xml;
    EXPECT_EQ(font.lfPitchAndFamily, FF_SWISS | DEFAULT_PITCH) << c.xml;
    EXPECT_EQ(font.lfFaceName[LF_FACESIZE - 1], L'\0') << c.xml;
  }
}

class FontBuilder : public SkinTestFolder {};

TEST_F(FontBuilder, BuildsAFontItemThatOwnsItsFont) {
  ASSERT_TRUE(CopyFileW(DosPath(OVRIX_TEST_FONT).c_str(), (AppFolder + L"fonts\\Shipped.ttf").c_str(), FALSE));
  Element e(R"(<FONT name="FONT_ARIAL14B" typeface="DejaVu Sans" pitch="14" boldlevel="700">  Shipped.ttf </FONT>)");
  HWND parent = reinterpret_cast<HWND>(static_cast<intptr_t>(0x4242));
  std::unique_ptr<CGUIItem> item(BuildFont(e.node, parent));
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
  EXPECT_EQ(BuildFont(unknown.node, nullptr), nullptr);
  Element missingFile(R"(<FONT name="FONT_ARIAL12">absent.ttf</FONT>)");
  std::unique_ptr<CGUIItem> item(BuildFont(missingFile.node, nullptr));
  ASSERT_NE(item, nullptr);
  EXPECT_NE(static_cast<HFONT>(*static_cast<CFontItem*>(item.get())), nullptr);
}

}  // namespace
