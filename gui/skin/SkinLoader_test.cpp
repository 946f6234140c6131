#include "gui/skin/SkinLoader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/KeyboardDef.h"
#include "gui/skin/FontItem.h"
#include "gui/base/LangTable.h"
#include "gui/skin/SkinBuilders.h"
#include "gui/base/SkinNameTables.h"
#include "gui/testing/SkinTestFolder.h"
#include "platform/Strings.h"

namespace {

class SkinLoaderTest : public gui::testing::SkinTestFolder {
 protected:
  void TearDown() override {
    DestroyItemList(list);
    gui::testing::SkinTestFolder::TearDown();
  }
  GUIItemList list;
};

const char* const kTwoFonts = R"(<FONTLIST><FONT name="FONT_ARIAL12" pitch="12"/><FONT name="FONT_ARIAL14"/></FONTLIST>)";

TEST_F(SkinLoaderTest, RootsDecideWhatIsLoaded) {
  const struct {
    const char* what;
    std::string xml;
    bool result;
    size_t items;
  } cases[] = {
      {"item list", std::string("<ITEMLIST>") + kTwoFonts + "</ITEMLIST>", true, 2},
      {"empty item list", "<ITEMLIST/>", true, 0},
      {"unknown root", std::string("<PANEL>") + kTwoFonts + "</PANEL>", false, 0},
      {"not well-formed", std::string("<ITEMLIST>") + kTwoFonts, false, 0},
      {"keyboard without its definition", std::string("<KEYBOARD>") + kTwoFonts + "</KEYBOARD>", false, 0},
      {"keyboard definition of an unknown name",
       std::string("<KEYBOARD><KEYBOARDDEF name=\"NOPE\" file=\"k.bin\"/>") + kTwoFonts + "</KEYBOARD>", false, 0},
      {"keyboard definition whose file is missing",
       std::string("<KEYBOARD><KEYBOARDDEF name=\"BACKGROUND\" file=\"missing.bin\"/>") + kTwoFonts + "</KEYBOARD>",
       false, 0},
  };
  for (const auto& c : cases) {
    const std::wstring path = WriteXml(L"case.xml", c.xml);
    EXPECT_EQ(SkinLoader::LoadFile(nullptr, path, list), c.result) << c.what;
    EXPECT_EQ(list.size(), c.items) << c.what;
    DestroyItemList(list);
  }
  EXPECT_FALSE(SkinLoader::LoadFile(nullptr, AppFolder + L"xml\\absent.xml", list));
  EXPECT_FALSE(SkinLoader::LoadFile(nullptr, WriteXml(L"ok.xml", "<ITEMLIST/>"), nullptr));
  EXPECT_TRUE(list.empty());
}

TEST_F(SkinLoaderTest, AKeyboardFileFillsTheKeyboardDefinitionAndRunsItsSections) {
  const std::wstring keys = DosPath(OVRIX_KEY_FILES_DIR) + L"\\";
  ASSERT_TRUE(CopyFileW((keys + L"KeyDefinitions.bin").c_str(), (AppFolder + L"bin\\Keys.bin").c_str(), FALSE));
  ASSERT_TRUE(CopyFileW((keys + L"KeyDefaults_US.bin").c_str(), (AppFolder + L"bin\\Defaults.bin").c_str(), FALSE));
  WriteBytes(AppFolder + L"bin\\Odd.bin", "\x01\x00\x00");
  HWND parent = reinterpret_cast<HWND>(static_cast<intptr_t>(0x77));

  const std::string fonts = kTwoFonts;
  EXPECT_TRUE(SkinLoader::LoadFile(
      parent,
      WriteXml(L"kb.xml", "<KEYBOARD><KEYBOARDDEF name=\"KBDDEF_WINDOWS\" file=\"Keys.bin\" kbddefaults=\"Defaults.bin\"/>" +
                              fonts + "</KEYBOARD>"),
      list));
  // The definition is the program's own object, never an item of the list.
  EXPECT_EQ(list.size(), 2u);
  EXPECT_TRUE(GlobalKeyboardDef().IsLoaded());
  EXPECT_EQ(GlobalKeyboardDef().id, FindSkinElementId(L"KBDDEF_WINDOWS"));
  EXPECT_EQ(GlobalKeyboardDef().kind, GUIKIND_KEYBOARDDEF);
  EXPECT_EQ(GlobalKeyboardDef().parent, parent);
  DestroyItemList(list);

  // Key defaults that do not parse fail the load before any section runs.
  EXPECT_FALSE(SkinLoader::LoadFile(
      parent,
      WriteXml(L"kb2.xml", "<KEYBOARD><KEYBOARDDEF name=\"KBDDEF_WINDOWS\" file=\"Keys.bin\" kbddefaults=\"Odd.bin\"/>" +
                               fonts + "</KEYBOARD>"),
      list));
  EXPECT_TRUE(list.empty());
}

TEST_F(SkinLoaderTest, APathOutsideAsciiIsOpened) {
  MakeFolder(L"sk\u00efn\u00e9\u4e2d");
  const std::wstring path = WriteXml(L"\u00dcbersicht.xml", std::string("<ITEMLIST>") + kTwoFonts + "</ITEMLIST>");
  EXPECT_TRUE(SkinLoader::LoadFile(nullptr, path, list));
  EXPECT_EQ(list.size(), 2u);
}

TEST_F(SkinLoaderTest, ItemsComeInSectionOrderNotFileOrder) {
  // The walk takes the sections in their fixed order and, within one, the element
  // names in theirs; the file's order of elements is irrelevant across sections.
  const std::wstring path = WriteXml(L"order.xml", R"(<ITEMLIST>
      <BUTTONLIST><BUTTON name="BUTTON_OK"/></BUTTONLIST>
      <FONTLIST><FONT name="FONT_ARIAL14"/><FONT name="NOT_A_NAME"/><FONT name="FONT_ARIAL12"/></FONTLIST>
    </ITEMLIST>)");
  ASSERT_TRUE(SkinLoader::LoadFile(nullptr, path, list));
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0]->id, FindSkinElementId(L"FONT_ARIAL14"));
  EXPECT_EQ(list[1]->id, FindSkinElementId(L"FONT_ARIAL12"));
}

uint32_t RunSection(const char* title, const std::string& xml, GUIItemList& list) {
  pugi::xml_document document;
  EXPECT_TRUE(document.load_string(xml.c_str()));
  for (const SkinSection& section : SkinSectionTable)
    if (std::wstring(section.title) == platform::Utf8ToWide(title))
      return section.handler(document.first_child(), list, nullptr);
  ADD_FAILURE() << "no section " << title;
  return 0;
}

TEST_F(SkinLoaderTest, PanelNeedsBackgroundAndMaskBeforeItsSections) {
  WriteImage(L"bg.bmp", 30, 20, RGB(0, 0, 255));
  WriteImage(L"mask.bmp", 30, 20, RGB(0, 0, 0));
  const struct {
    const char* what;
    std::string xml;
    bool result;
    std::vector<int32_t> ids;
  } cases[] = {
      {"whole panel",
       std::string("<GUIPANEL><BACKGROUND>bg.bmp</BACKGROUND><MASK> mask.bmp </MASK>") + kTwoFonts + "</GUIPANEL>",
       true, {0, 1, FindSkinElementId(L"FONT_ARIAL12"), FindSkinElementId(L"FONT_ARIAL14")}},
      {"mask image missing",
       std::string("<GUIPANEL><BACKGROUND>bg.bmp</BACKGROUND><MASK>gone.bmp</MASK>") + kTwoFonts + "</GUIPANEL>",
       false, {0}},
      {"no mask element", std::string("<GUIPANEL><BACKGROUND>bg.bmp</BACKGROUND>") + kTwoFonts + "</GUIPANEL>", false,
       {0}},
      {"background missing", std::string("<GUIPANEL><MASK>mask.bmp</MASK>") + kTwoFonts + "</GUIPANEL>", false, {}},
      // A panel root wins over an item list root, wherever it stands.
      {"both roots",
       std::string("<ITEMLIST>") + kTwoFonts +
           "</ITEMLIST><GUIPANEL><BACKGROUND>bg.bmp</BACKGROUND><MASK>mask.bmp</MASK></GUIPANEL>",
       true, {0, 1}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SkinLoader::LoadFile(nullptr, WriteXml(L"panel.xml", c.xml), list), c.result) << c.what;
    std::vector<int32_t> ids;
    for (CGUIItem* item : list) ids.push_back(item->id);
    EXPECT_EQ(ids, c.ids) << c.what;
    for (CGUIItem* item : list)
      if (item->id == 0 || item->id == 1) {
        EXPECT_EQ(item->kind, GUIKIND_PANELBITMAP) << c.what;
      }
    DestroyItemList(list);
  }
}

TEST_F(SkinLoaderTest, RequestedLanguageIsTheOnlyOneBuilt) {
  WriteLanguageFile(L"l.txt", L"Title\n\nKEY\nText\n");
  std::string xml = "<R><LANGLIST>";
  for (int32_t id = 349; id <= 364; ++id)
    xml += "<LANG name=\"" + platform::WideToUtf8(GetSkinElementName(id)) + "\" file=\"l.txt\"/>";
  xml += "</LANGLIST></R>";
  RequestedLanguageId = 352;
  const uint32_t result = RunSection("LANGUAGES", xml, list);
  RequestedLanguageId = -1;
  EXPECT_EQ(result, (16u << 16) | 1);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0]->id, 352);
  EXPECT_EQ(LanguageTables.size(), 1u);
  EXPECT_EQ(LanguageTables[352], list[0]);
  DestroyItemList(list);

  EXPECT_EQ(RunSection("LANGUAGES", xml, list), (16u << 16) | 16);
  EXPECT_EQ(LanguageTables.size(), 16u);
  DestroyItemList(list);
}

TEST_F(SkinLoaderTest, LayoutEntriesReachTheSwitcher) {
  const uint32_t result = RunSection("KEYBOARD LAYOUTS",
                                     R"(<R><KBLAYOUTLIST><KBLAYOUT name="KBLAYOUT_ENGLISH" kbdlayout="00000409"/>
                                        <KBLAYOUT name="BUTTON_OK"/><KBLAYOUT name="NOPE"/></KBLAYOUTLIST></R>)",
                                     list);
  EXPECT_EQ(result, (3u << 16) | 2);
  // Only ids of the layout range are entries of the switcher.
  ASSERT_EQ(KeyboardLayoutSwitcher.m_settings.size(), 1u);
  EXPECT_EQ(KeyboardLayoutSwitcher.m_settings[366], list[0]);
}


TEST_F(SkinLoaderTest, FreedTablesAndLayoutEntriesLeaveTheGlobals) {
  WriteLanguageFile(L"l.txt", L"Title\n\nKEY\nText\n");
  WriteXml(L"Languages.xml",
           R"(<ITEMLIST><LANGLIST><LANG name="LANGUAGE_DEFAULT" file="l.txt"/><LANG name="LANGUAGE_GERMAN" file="l.txt"/>
              </LANGLIST></ITEMLIST>)");
  WriteXml(L"Layouts.xml",
           R"(<ITEMLIST><KBLAYOUTLIST><KBLAYOUT name="KBLAYOUT_ENGLISH" kbdlayout="00000409"/>
              <KBLAYOUT name="KBLAYOUT_GERMAN" kbdlayout="00000407"/></KBLAYOUTLIST></ITEMLIST>)");
  GUIItemList languages, layouts;
  LoadSkinFile(languages, L"Languages.xml", nullptr);
  LoadSkinFile(layouts, L"Layouts.xml", nullptr);
  ASSERT_EQ(LanguageTables.size(), 2u);
  ASSERT_EQ(KeyboardLayoutSwitcher.m_settings.size(), 2u);
  CurrentLangTable = LanguageTables.begin()->second;
  KeyboardLayoutSwitcher.m_selected = KeyboardLayoutSwitcher.m_settings.begin()->second;

  FreeItemList(languages);
  EXPECT_TRUE(LanguageTables.empty());
  EXPECT_EQ(CurrentLangTable, nullptr);
  FreeItemList(layouts);
  EXPECT_TRUE(KeyboardLayoutSwitcher.m_settings.empty());
  EXPECT_EQ(KeyboardLayoutSwitcher.m_selected, nullptr);
}

TEST_F(SkinLoaderTest, LoadSkinFileLoadsOnlyFilesOfTheXmlFolderWithinTheLimits) {
  const std::string fonts = std::string("<ITEMLIST>") + kTwoFonts + "</ITEMLIST>";
  WriteXml(L"Fonts.xml", fonts);
  CreateDirectoryW((AppFolder + L"xml\\sub").c_str(), nullptr);
  WriteXml(L"sub\\Fonts.xml", fonts);
  // Valid skin files at and past the size limit, padded with white space.
  const size_t limit = static_cast<size_t>(gui::kMaxSkinFileBytes);
  WriteXml(L"AtLimit.xml", fonts + std::string(limit - fonts.size(), ' '));
  WriteXml(L"TooBig.xml", fonts + std::string(limit - fonts.size() + 1, ' '));
  const struct {
    std::wstring name;
    size_t items;
  } cases[] = {
      {L"Fonts.xml", 2},
      {L"sub\\Fonts.xml", 2},
      {L"AtLimit.xml", 2},
      {L"TooBig.xml", 0},
      {L"..\\xml\\Fonts.xml", 0},
      {L"sub\\..\\Fonts.xml", 0},
      {L"sub/../Fonts.xml", 0},
      {AppFolder + L"xml\\Fonts.xml", 0},
      {L"Z:Fonts.xml", 0},
      {L"\\Fonts.xml", 0},
      {std::wstring(MAX_PATH, L'a') + L".xml", 0},
      {L"", 0},
  };
  for (const auto& c : cases) {
    GUIItemList loaded;
    EXPECT_TRUE(LoadSkinFile(loaded, c.name, nullptr));  // whatever happened
    EXPECT_EQ(loaded.size(), c.items) << platform::WideToUtf8(c.name);
    FreeItemList(loaded);
  }
}

TEST_F(SkinLoaderTest, SectionsCountElementsMetAndItemsBuilt) {
  const struct {
    const char* section;
    const char* xml;
    uint32_t result;
  } cases[] = {
      {"FONTS", R"(<R><FONTLIST><FONT name="FONT_ARIAL12"/><FONT name="X"/><FONT/></FONTLIST></R>)", (3u << 16) | 1},
      {"FONTS", R"(<R><FONTS><FONT name="FONT_ARIAL12"/></FONTS></R>)", 0},
      // Every BUTTON, then only the first PROFBUTTON and the first AVIBUTTON.
      {"BUTTONS",
       R"(<R><BUTTONLIST><PROFBUTTON/><BUTTON/><PROFBUTTON/><AVIBUTTON/><BUTTON/><AVIBUTTON/></BUTTONLIST></R>)",
       4u << 16},
      {"SLIDERS", R"(<R><SLIDERLIST><DMARKER/><VSLIDER/><HSLIDERM/><HSLIDERMAPM/><STAGE/></SLIDERLIST></R>)", 4u << 16},
      {"LISTS", R"(<R><LISTLIST><COMBO/><LISTCTRL/><LISTPANEL/></LISTLIST></R>)", 2u << 16},
      {"EDIT CONTROLS", R"(<R><EDITCTRLLIST><EDITCTRLSKMMO/><EDITCTRL/><EDITCTRLSK/></EDITCTRLLIST></R>)", 3u << 16},
      // Keys need the shared images of their list.
      {"KEYBOARD KEYS", R"(<R><KBDKEYLIST><KBDKEY/><KBDKEY/></KBDKEYLIST></R>)", 0},
      {"KEYBOARD KEYS", R"(<R><KBDKEYLIST><BUTTONBITMAPS/><KBDKEY/><KBDKEY/></KBDKEYLIST></R>)", 2u << 16},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RunSection(c.section, c.xml, list), c.result) << c.section << " " << c.xml;
    DestroyItemList(list);
  }
}

}  // namespace
