#include "gui/skin/SkinReaders.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

#include "device/KeyboardDef.h"
#include "gui/skin/FontItem.h"
#include "gui/base/LangTable.h"
#include "gui/base/SkinGlobals.h"
#include "gui/base/SkinNameTables.h"
#include "gui/testing/SkinTestFolder.h"
#include "gui/testing/XmlElement.h"
#include "gui/controls/VScrollBar.h"

namespace {

using Element = gui::testing::XmlElement;

struct Item : CGUIItem {
  Item(int32_t itemId, int32_t itemKind) {
    id = itemId;
    kind = itemKind;
  }
};

TEST(SkinNumbers, AreReadAsAtoiWithSaturation) {
  const struct {
    const char* text;
    int32_t value;
  } cases[] = {
      {"42", 42},        {"  \t42abc", 42}, {"-7", -7},   {"+5", 5},    {"", 0},
      {"abc", 0},        {"- 3", 0},        {"12 34", 12}, {"2147483647", INT32_MAX},
      {"99999999999999999999", INT32_MAX},  {"-2147483648", INT32_MIN},
      {"-99999999999999999999", INT32_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(gui::ParseSkinInt(std::string_view(c.text)), c.value) << c.text;
}

TEST(SkinRect, FormsOverflowAndMissingParts) {
  const struct {
    const char* xml;
    RECT widthHeight;
    RECT absolute;
  } cases[] = {
      {R"(<B><RECT left="10" top="20" right="30" bottom="40"/></B>)", {10, 20, 40, 60}, {10, 20, 30, 40}},
      {R"(<B><RECT left="5" right="7"/></B>)", {5, 0, 12, 0}, {5, 0, 7, 0}},
      {R"(<B/>)", {0, 0, 0, 0}, {0, 0, 0, 0}},
      // Huge values are clamped before they are added, so left + width cannot overflow.
      {R"(<B><RECT left="99999999999" top="-99999999999" right="2147483647" bottom="-2147483647"/></B>)",
       {32767, -32768, 32767, -32768},
       {32767, -32768, 32767, -32768}},
      {R"(<B><RECT left="30000" top="0" right="30000" bottom="1"/></B>)", {30000, 0, 32767, 1}, {30000, 0, 30000, 1}},
  };
  for (const auto& c : cases) {
    Element e(c.xml);
    const RECT wh = ReadItemRect(e.node, 9, gui::RectForm::WidthHeight);
    const RECT abs = ReadItemRect(e.node, 9, gui::RectForm::Absolute);
    EXPECT_EQ(wh.left, c.widthHeight.left) << c.xml;
    EXPECT_EQ(wh.top, c.widthHeight.top) << c.xml;
    EXPECT_EQ(wh.right, c.widthHeight.right) << c.xml;
    EXPECT_EQ(wh.bottom, c.widthHeight.bottom) << c.xml;
    EXPECT_EQ(abs.left, c.absolute.left) << c.xml;
    EXPECT_EQ(abs.top, c.absolute.top) << c.xml;
    EXPECT_EQ(abs.right, c.absolute.right) << c.xml;
    EXPECT_EQ(abs.bottom, c.absolute.bottom) << c.xml;
  }
}

TEST(SkinFlags, CheckboxCapsJustifyMultiline) {
  const struct {
    const char* value;
    bool checkbox;
    int caps;
    wchar_t justify;
    bool multiline;
  } cases[] = {
      {"y", true, 0, L'L', false},     {"Y", true, 0, L'L', false},      {"t", true, 0, L'L', false},
      {"True", true, 0, L'L', false},  {"1", true, 0, L'L', true},       {"10", true, 0, L'L', false},
      {" 1", false, 0, L'L', true},    {"o", false, 0, L'L', false},     {"", false, 0, L'L', false},
      {"L", false, 2, L'L', false},    {"Lower", false, 2, L'L', false}, {"l", false, 0, L'L', false},
      {"U", false, 1, L'L', false},    {"u", false, 0, L'L', false},     {"C", false, 0, L'C', false},
      {"Centre", false, 0, L'C', false}, {"c", false, 0, L'L', false},   {"R", false, 0, L'R', false},
  };
  for (const auto& c : cases) {
    const std::string v = c.value;
    Element e("<T ischeckbox=\"" + v + "\" interactive=\"" + v + "\" caps=\"" + v + "\" justify=\"" + v +
              "\" multiline=\"" + v + "\"/>");
    EXPECT_EQ(ReadIsCheckbox(e.node), c.checkbox) << v;
    EXPECT_EQ(ReadInteractive(e.node), c.checkbox) << v;
    EXPECT_EQ(ReadCaps(e.node, 5), c.caps) << v;
    EXPECT_EQ(ReadJustify(e.node), c.justify) << v;
    EXPECT_EQ(ReadMultiline(e.node, 5), c.multiline) << v;
  }
  Element none("<T/>");
  EXPECT_FALSE(ReadIsCheckbox(none.node));
  EXPECT_FALSE(ReadInteractive(none.node));
  EXPECT_EQ(ReadCaps(none.node, 5), 0);
  EXPECT_EQ(ReadJustify(none.node), L'L');
  EXPECT_FALSE(ReadMultiline(none.node, 5));
}

TEST(SkinIds, NamesAndColours) {
  Element known(R"(<B name="background" fontclr="red" backclr="NoSuchColour"/>)");
  EXPECT_EQ(ReadSkinId(known.node), 0);
  COLORREF colour = 7;
  EXPECT_TRUE(ReadColourAttr(known.node, "fontclr", colour));
  EXPECT_EQ(colour, static_cast<COLORREF>(FindColourByName(L"RED")));
  EXPECT_TRUE(ReadColourAttr(known.node, "backclr", colour));
  EXPECT_EQ(colour, 0xFFFFFFFFu);
  colour = 7;
  EXPECT_FALSE(ReadColourAttr(known.node, "bdrclr", colour));
  EXPECT_EQ(colour, 7u);

  Element unknown(R"(<B name="NO_SUCH_ELEMENT"/>)");
  EXPECT_EQ(ReadSkinId(unknown.node), -1);
  Element missing("<B/>");
  EXPECT_EQ(ReadSkinId(missing.node), -1);
  std::wstring tip = L"unchanged";
  EXPECT_FALSE(ReadTooltip(missing.node, tip));
  EXPECT_EQ(tip, L"unchanged");
}

TEST(SkinLinks, FontAndWindowReferencesNeedTheRightKind) {
  const int32_t fontId = FindSkinElementId(L"FONT_ARIAL12");
  const int32_t otherFontId = FindSkinElementId(L"FONT_ARIAL14");
  const int32_t bitmapId = FindSkinElementId(L"BUTTON_OK");
  ASSERT_NE(fontId, -1);
  ASSERT_NE(otherFontId, -1);
  ASSERT_NE(bitmapId, -1);
  auto font = std::make_unique<CFontItem>();
  font->id = fontId;
  font->kind = GUIKIND_FONT;
  Item notAFont(otherFontId, GUIKIND_BITMAPITEM);
  Item bitmap(bitmapId, GUIKIND_BITMAPITEM);
  const GUIItemList list{font.get(), &notAFont, &bitmap};

  Element namesFont(R"(<T fontid="font_arial12" windowid="FONT_ARIAL12"/>)");
  EXPECT_EQ(ReadFontRef(namesFont.node, 3, list), font.get());
  EXPECT_EQ(ReadWindowRef(namesFont.node, "windowid", list), nullptr);

  Element namesOther(R"(<T fontid="FONT_ARIAL14" windowid="BUTTON_OK"/>)");
  EXPECT_EQ(ReadFontRef(namesOther.node, 3, list), nullptr);
  EXPECT_EQ(ReadWindowRef(namesOther.node, "windowid", list), &bitmap);

  Element unknown(R"(<T fontid="NOPE" windowid="NOPE"/>)");
  EXPECT_EQ(ReadFontRef(unknown.node, 3, list), nullptr);
  EXPECT_EQ(ReadWindowRef(unknown.node, "windowid", list), nullptr);
  Element none("<T/>");
  EXPECT_EQ(ReadFontRef(none.node, 3, list), nullptr);
}

class SkinImageReaders : public gui::testing::SkinTestFolder {};

TEST_F(SkinImageReaders, StateImagesAreReadOnlyWithANormalImage) {
  WriteImage(L"n.bmp", 4, 2, RGB(10, 20, 30));
  WriteImage(L"o.bmp", 4, 2, RGB(40, 50, 60));
  HBITMAP sentinel = reinterpret_cast<HBITMAP>(static_cast<intptr_t>(0x1234));

  Element withNormal(R"(<B><SBMN> n.bmp </SBMN><SBMO>o.bmp</SBMO><SBMD>missing.bmp</SBMD>
                        <RECT left="1" top="2" right="3" bottom="4"/></B>)");
  StateBitmaps images;
  images.mask = sentinel;
  EXPECT_TRUE(ReadStateBitmaps(withNormal.node, 4, images));
  EXPECT_NE(images.normal, nullptr);
  EXPECT_NE(images.over, nullptr);
  EXPECT_EQ(images.down, nullptr);
  EXPECT_EQ(images.mask, nullptr);  // a missing child gives null
  EXPECT_EQ(images.rect.right, 4);
  EXPECT_EQ(images.rect.bottom, 6);

  Element withoutNormal(R"(<B><SBMO>o.bmp</SBMO><RECT left="1" top="2" right="3" bottom="4"/></B>)");
  StateBitmaps kept;
  kept.over = sentinel;
  EXPECT_FALSE(ReadStateBitmaps(withoutNormal.node, 4, kept));
  EXPECT_EQ(kept.over, sentinel);
  EXPECT_EQ(kept.rect.right, 4);

  Element missingNormal(R"(<B><SBMN>gone.bmp</SBMN></B>)");
  StateBitmaps none;
  EXPECT_FALSE(ReadStateBitmaps(missingNormal.node, 4, none));
}

TEST_F(SkinImageReaders, ScrollImagesNeedTheThumb) {
  WriteImage(L"thumb.bmp", 9, 20, RGB(1, 2, 3));
  WriteImage(L"top.bmp", 9, 5, RGB(4, 5, 6));
  Element full(R"(<L><VSCROLL><VSBMP_TOP>top.bmp</VSBMP_TOP><VSBMP_TMB>thumb.bmp</VSBMP_TMB></VSCROLL></L>)");
  ScrollBitmaps images;
  ReadScrollBitmaps(full.node, images);
  EXPECT_NE(images.top, nullptr);
  EXPECT_NE(images.thumb, nullptr);
  EXPECT_EQ(images.bottom, nullptr);
  EXPECT_EQ(images.thumbWidth, 9);

  std::unique_ptr<CVScrollBar> bar(CreateScrollBar(full.node, nullptr));
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->GetSafeHwnd(), nullptr);  // created as a window by its user

  Element noThumb(R"(<L><VSCROLL><VSBMP_TOP>top.bmp</VSBMP_TOP><VSBMP_TMB>nothumb.bmp</VSBMP_TMB></VSCROLL></L>)");
  ScrollBitmaps nothing;
  ReadScrollBitmaps(noThumb.node, nothing);
  EXPECT_EQ(nothing.top, nullptr);
  EXPECT_EQ(nothing.thumbWidth, 0);
}

TEST_F(SkinImageReaders, SharedKeyImagesAreFoundByNameInAnyCase) {
  WriteImage(L"key.bmp", 3, 3, RGB(7, 8, 9));
  Element bitmaps(R"(<BUTTONBITMAPS><SBMN>key.bmp</SBMN><SBMM>nokey.bmp</SBMM></BUTTONBITMAPS>)");
  const SharedKeyBitmaps shared = ReadSharedKeyBitmaps(bitmaps.node);
  ASSERT_EQ(shared.size(), 5u);
  EXPECT_NE(FindSharedBitmap(shared, L"sbmn"), nullptr);
  EXPECT_EQ(FindSharedBitmap(shared, L"SBMM"), nullptr);
  EXPECT_EQ(FindSharedBitmap(shared, L"SBMX"), nullptr);
}

// The language table in force for one test.
class LanguageInForce : public gui::testing::SkinTestFolder {
 protected:
  void SetUp() override {
    gui::testing::SkinTestFolder::SetUp();
    CurrentLangTable = &table;
  }
  void AddText(int32_t id, const wchar_t* name, const std::wstring& text) {
    AddLanguageOverride(&table, id, text.c_str(), (text.size() + 1) * sizeof(wchar_t), name);
  }
  CLangTable table;
};

TEST_F(LanguageInForce, OverridesWinOverTheFilesValues) {
  const int32_t id = FindSkinElementId(L"BUTTON_OK");
  const int32_t arial12 = FindSkinElementId(L"FONT_ARIAL12");
  const int32_t arial14 = FindSkinElementId(L"FONT_ARIAL14");
  const int32_t arial16 = FindSkinElementId(L"FONT_ARIAL16");
  const int32_t rect[4] = {100, 200, 5, 6};
  AddLanguageOverride(&table, id, rect, sizeof(rect), L"RECT");
  AddText(id, L"caps", L"U");
  AddText(id, L"multiline", L"1");
  AddText(id, L"fontid", L"FONT_ARIAL14");
  AddText(id, L"SBMN", L"lang.bmp");
  table.m_fontReplacements[arial12] = arial16;
  WriteImage(L"lang.bmp", 5, 5, RGB(1, 1, 1));
  WriteImage(L"file.bmp", 5, 5, RGB(2, 2, 2));

  CFontItem font12, font14, font16;
  font12.id = arial12;
  font14.id = arial14;
  font16.id = arial16;
  font12.kind = font14.kind = font16.kind = GUIKIND_FONT;
  const GUIItemList fonts{&font12, &font14, &font16};

  Element e(R"(<B caps="L" multiline="0" fontid="FONT_ARIAL12"><SBMN>file.bmp</SBMN>
               <RECT left="1" top="2" right="3" bottom="4"/></B>)");
  const RECT r = ReadItemRect(e.node, id);
  EXPECT_EQ(r.left, 100);
  EXPECT_EQ(r.top, 200);
  EXPECT_EQ(r.right, 105);
  EXPECT_EQ(r.bottom, 206);
  EXPECT_EQ(ReadCaps(e.node, id), 1);
  EXPECT_TRUE(ReadMultiline(e.node, id));
  EXPECT_EQ(ReadFontRef(e.node, id, fonts), &font14);
  EXPECT_EQ(ReadBitmapOverride(e.node, "SBMN", id), GetSkinImageUtf8("lang.bmp"));

  // Another item has no overrides: the file's values, with the language's font replacement.
  const int32_t other = FindSkinElementId(L"BUTTON_CANCEL");
  EXPECT_EQ(ReadItemRect(e.node, other).right, 4);
  EXPECT_EQ(ReadCaps(e.node, other), 2);
  EXPECT_FALSE(ReadMultiline(e.node, other));
  EXPECT_EQ(ReadFontRef(e.node, other, fonts), &font16);
  EXPECT_EQ(ReadBitmapOverride(e.node, "SBMN", other), GetSkinImageUtf8("file.bmp"));
}

TEST_F(LanguageInForce, ARectOverrideOfTheWrongSizeIsNotARectangle) {
  const int32_t id = FindSkinElementId(L"BUTTON_OK");
  const int32_t shortRect[2] = {100, 200};
  AddLanguageOverride(&table, id, shortRect, sizeof(shortRect), L"RECT");
  Element e(R"(<B><RECT left="1" top="2" right="3" bottom="4"/></B>)");
  const RECT r = ReadItemRect(e.node, id);
  EXPECT_EQ(r.left, 1);
  EXPECT_EQ(r.right, 4);
}

TEST_F(LanguageInForce, ATextOverrideOfAnOddSizeIsNoText) {
  // Three bytes cannot hold UTF-16 text: the file's values stand.
  const int32_t id = FindSkinElementId(L"BUTTON_OK");
  const char odd[3] = {'U', 0, 'x'};
  for (const wchar_t* name : {L"caps", L"multiline", L"SBMN"}) AddLanguageOverride(&table, id, odd, sizeof(odd), name);
  WriteImage(L"file.bmp", 5, 5, RGB(2, 2, 2));
  Element e(R"(<B caps="L" multiline="1"><SBMN>file.bmp</SBMN></B>)");
  EXPECT_EQ(ReadCaps(e.node, id), 2);
  EXPECT_TRUE(ReadMultiline(e.node, id));
  EXPECT_EQ(ReadBitmapOverride(e.node, "SBMN", id), GetSkinImageUtf8("file.bmp"));
}

TEST_F(LanguageInForce, AFontOverrideNamingNoFontFallsBackToTheAttribute) {
  const int32_t id = FindSkinElementId(L"BUTTON_OK");
  AddText(id, L"fontid", L"NOT_A_FONT_NAME");
  CFontItem font12;
  font12.id = FindSkinElementId(L"FONT_ARIAL12");
  font12.kind = GUIKIND_FONT;
  const GUIItemList fonts{&font12};
  Element e(R"(<B fontid="FONT_ARIAL12"/>)");
  EXPECT_EQ(ReadFontRef(e.node, id, fonts), &font12);
}

TEST_F(LanguageInForce, AFontTheFileDoesNotDefineFallsBackToTheOneItReplaces) {
  // The language swaps FONT_ARIAL12 for FONT_ARIAL14 and overrides BUTTON_OK's
  // font with FONT_ARIAL16; the file defines neither of the two.
  const int32_t arial12 = FindSkinElementId(L"FONT_ARIAL12");
  const int32_t id = FindSkinElementId(L"BUTTON_OK");
  table.m_fontReplacements[arial12] = FindSkinElementId(L"FONT_ARIAL14");
  AddText(id, L"fontid", L"FONT_ARIAL16");
  CFontItem font12;
  font12.id = arial12;
  font12.kind = GUIKIND_FONT;
  const GUIItemList fonts{&font12};
  Element e(R"(<B fontid="FONT_ARIAL12"/>)");
  EXPECT_EQ(ReadFontRef(e.node, FindSkinElementId(L"BUTTON_CANCEL"), fonts), &font12);
  EXPECT_EQ(ReadFontRef(e.node, id, fonts), &font12);
}

TEST(SkinKeyDefinitionRef, LookingUpNeverAddsAnEntry) {
  auto& definitions = GlobalKeyboardDef().DefinitionsById();
  const size_t before = definitions.size();
  Element unknown(R"(<KBDKEY kbddefid="NoSuchKeyName"/>)");
  EXPECT_EQ(ReadKeyDefinitionRef(unknown.node), nullptr);
  Element none("<KBDKEY/>");
  EXPECT_EQ(ReadKeyDefinitionRef(none.node), nullptr);
  EXPECT_EQ(definitions.size(), before);

  KeyDefinition known;
  known.id = HashKeyName(L"TestKeyForRef");
  known.name = L"TestKeyForRef";
  definitions[known.id] = known;
  Element named(R"(<KBDKEY kbddefid="TestKeyForRef"/>)");
  const KeyDefinition* found = ReadKeyDefinitionRef(named.node);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->name, L"TestKeyForRef");
  definitions.erase(known.id);
}

}  // namespace
