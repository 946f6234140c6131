#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <string>

#include "gui/controls/BitmapBtn.h"
#include "gui/controls/BitmapItem.h"
#include "gui/controls/BitmapWindow.h"
#include "gui/controls/ProfileBtn.h"
#include "gui/skin/FontItem.h"
#include "gui/base/LangTable.h"
#include "gui/skin/SkinBuilders.h"
#include "gui/skin/SkinLoader.h"
#include "gui/base/SkinNameTables.h"
#include "gui/testing/DrawProbe.h"
#include "gui/testing/SkinTestFolder.h"
#include "platform/testing/GuiTestHost.h"

namespace {

using gui::testing::DrawSurface;
using gui::testing::SendDrawItem;

constexpr COLORREF kNormal = RGB(10, 20, 200), kOther = RGB(200, 20, 10);

class BitmapBuildersTest : public gui::testing::SkinTestFolder {
 protected:
  void SetUp() override {
    gui::testing::SkinTestFolder::SetUp();
    WriteImage(L"n.bmp", 200, 100, kNormal);
    WriteImage(L"other.bmp", 200, 100, kOther);
    ASSERT_TRUE(gui::testing::WriteBmpFile(AppFolder + L"skins\\panel.bmp", 400, 300,
                                              [](int x, int y) { return RGB(x / 2, y / 2, 7); }));
    previous = CurrentLangTable;
    CurrentLangTable = &language;
  }
  void TearDown() override {
    DestroyItemList(list);
    CurrentLangTable = previous;
    gui::testing::SkinTestFolder::TearDown();
  }
  // Builds one element (its XML text) into the list; null when nothing was built.
  CGUIItem* Build(const std::string& xml) {
    pugi::xml_document document;
    EXPECT_TRUE(document.load_string(xml.c_str())) << xml;
    CGUIItem* item = BuildElement(document.first_child(), BuildContext{host.m_hWnd, &list});
    if (item) list.push_back(item);
    return item;
  }
  static int32_t Id(const wchar_t* name) { return FindSkinElementId(name); }
  size_t HostChildren() const {
    size_t count = 0;
    for (HWND child = ::GetWindow(host.m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) ++count;
    return count;
  }

  platform::testing::GuiTestHost host;
  GUIItemList list;
  CLangTable language;
  CLangTable* previous = nullptr;
};

TEST_F(BitmapBuildersTest, ButtonStyleAndCaptionFormatByJustifyAndLineMode) {
  struct Case {
    const char* attributes;
    DWORD style;
    UINT format;
  } cases[] = {
      {R"(justify="C")", 0x50002F0B, 0x12035},
      {R"(justify="R" multiline="1")", 0x50002E0B, 0x12016},
      {R"(multiline="1")", 0x50002D0B, 0x12014},
      {"", 0x50002D0B, 0x12034},
  };
  for (const Case& c : cases) {
    auto* button = static_cast<CBitmapBtn*>(Build(std::string(R"(<BUTTON name="BUTTON_OK" )") + c.attributes +
                                                  R"(><SBMN>n.bmp</SBMN><RECT left="5" top="6" right="30" bottom="20"/></BUTTON>)"));
    ASSERT_NE(button, nullptr) << c.attributes;
    EXPECT_EQ(button->GetStyle(), c.style) << c.attributes;
    EXPECT_EQ(button->m_drawTextFormat, c.format) << c.attributes;
    EXPECT_EQ(button->kind, GUIKIND_BUTTON);
    EXPECT_EQ(button->id, Id(L"BUTTON_OK"));
    EXPECT_EQ(button->hwnd, button->m_hWnd);
    EXPECT_EQ(button->parent, host.m_hWnd);
    EXPECT_EQ(button->GetDlgCtrlID(), Id(L"BUTTON_OK"));
    RECT r;
    button->GetWindowRect(&r);
    ::MapWindowPoints(nullptr, host.m_hWnd, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.bottom, 26);
    DestroyItemList(list);
  }
}

TEST_F(BitmapBuildersTest, HeadersAndControlIdsOfEveryKind) {
  const std::string rect = R"(<RECT left="10" top="10" right="40" bottom="30"/>)";
  struct Case {
    std::string xml;
    const wchar_t* name;
    GUIItemKind kind;
    bool listedWithWindow;
  } cases[] = {
      {"<BITMAPITEM name=\"BITMAP_ZANTOR\"><SBMN>n.bmp</SBMN>" + rect + "</BITMAPITEM>", L"BITMAP_ZANTOR",
       GUIKIND_BITMAPITEM, false},
      {"<BITMAPWINDOW name=\"BITMAPWIN_ASSIGNKEY\"><SBMDS>n.bmp</SBMDS>" + rect + "</BITMAPWINDOW>",
       L"BITMAPWIN_ASSIGNKEY", GUIKIND_BITMAPWINDOW, true},
      {"<BUTTON name=\"BUTTON_HELP\">" + rect + "</BUTTON>", L"BUTTON_HELP", GUIKIND_BUTTON, true},
      {"<PROFBUTTON name=\"BUTTON_PROFILE\">" + rect + "</PROFBUTTON>", L"BUTTON_PROFILE", GUIKIND_PROFBUTTON, true},
      {"<AVIBUTTON name=\"BUTTON_AVI\">" + rect + "</AVIBUTTON>", L"BUTTON_AVI", GUIKIND_AVIBUTTON, true},
  };
  for (const Case& c : cases) {
    CGUIItem* item = Build(c.xml);
    ASSERT_NE(item, nullptr) << c.xml;
    EXPECT_EQ(item->id, Id(c.name)) << c.xml;
    EXPECT_EQ(item->kind, c.kind) << c.xml;
    EXPECT_EQ(item->parent, host.m_hWnd) << c.xml;
    HWND window = dynamic_cast<CWnd*>(item)->m_hWnd;
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(::GetParent(window), host.m_hWnd);
    EXPECT_EQ(::GetDlgCtrlID(window), Id(c.name)) << c.xml;
    EXPECT_EQ(item->hwnd, c.listedWithWindow ? window : nullptr) << c.xml;
    // A bitmap item has a window, yet is never found by it.
    EXPECT_EQ(FindItemByHwnd(list, window), c.listedWithWindow ? item : nullptr) << c.xml;
  }
  // Unknown names, and a bitmap window without its size image, build nothing.
  const size_t windows = HostChildren();
  EXPECT_EQ(Build("<BUTTON name=\"NO_SUCH_ELEMENT\">" + rect + "</BUTTON>"), nullptr);
  EXPECT_EQ(Build("<BITMAPWINDOW name=\"BITMAPWIN_ASSIGNKEY\"><SBMN>n.bmp</SBMN>" + rect + "</BITMAPWINDOW>"), nullptr);
  EXPECT_EQ(Build("<BITMAPWINDOW name=\"BITMAPWIN_ASSIGNKEY\"><SBMDS>missing.bmp</SBMDS>" + rect + "</BITMAPWINDOW>"),
            nullptr);
  EXPECT_EQ(HostChildren(), windows);
}

TEST_F(BitmapBuildersTest, ButtonOnABitmapItemNamedByWindowId) {
  auto* bitmap = static_cast<CBitmapItem*>(
      Build(R"(<BITMAPITEM name="BITMAP_ZANTOR"><SBMN>n.bmp</SBMN><RECT left="50" top="40" right="100" bottom="80"/></BITMAPITEM>)"));
  ASSERT_NE(bitmap, nullptr);
  auto* inside = static_cast<CBitmapBtn*>(
      Build(R"(<BUTTON name="BUTTON_OK" windowid="BITMAP_ZANTOR"><RECT left="5" top="6" right="20" bottom="10"/></BUTTON>)"));
  ASSERT_NE(inside, nullptr);
  EXPECT_EQ(inside->GetParentHwnd(), bitmap->m_hWnd);
  EXPECT_EQ(inside->parent, bitmap->m_hWnd);
  // A name that is no bitmap item leaves the section's parent.
  for (const char* target : {"BUTTON_OK", "BITMAP_VELDAVIEWPLAN", "NO_SUCH_ELEMENT"}) {
    auto* outside = static_cast<CBitmapBtn*>(Build(std::string(R"(<BUTTON name="BUTTON_HELP" windowid=")") + target +
                                                   R"("><RECT left="5" top="6" right="20" bottom="10"/></BUTTON>)"));
    ASSERT_NE(outside, nullptr);
    EXPECT_EQ(outside->GetParentHwnd(), host.m_hWnd) << target;
    EXPECT_EQ(outside->parent, host.m_hWnd) << target;
  }
}

TEST_F(BitmapBuildersTest, KeysOfAKeyListNamingABitmapItemLieOnItsWindow) {
  WriteXml(L"keys.xml", R"(<ITEMLIST>
      <BITMAPLIST><BITMAPITEM name="BITMAP_MECHKBD"><SBMN>panel.bmp</SBMN><RECT left="10" top="20" right="300" bottom="120"/></BITMAPITEM></BITMAPLIST>
      <KBDKEYLIST windowid="BITMAP_MECHKBD"><BUTTONBITMAPS><SBMN>panel.bmp</SBMN></BUTTONBITMAPS>
        <KBDKEY name="BUTTON_OK"><RECT left="5" top="6" right="20" bottom="20"/></KBDKEY>
      </KBDKEYLIST></ITEMLIST>)");
  ASSERT_TRUE(LoadSkinFile(list, L"keys.xml", host.m_hWnd));
  ASSERT_EQ(list.size(), 2u);
  auto* bitmap = dynamic_cast<CBitmapItem*>(list[0]);
  ASSERT_NE(bitmap, nullptr);
  ASSERT_EQ(list[1]->kind, GUIKIND_KBDKEY);
  EXPECT_EQ(::GetParent(list[1]->hwnd), bitmap->m_hWnd);
  EXPECT_EQ(list[1]->parent, bitmap->m_hWnd);

  // Hiding the page hides the picture with its keys, though the picture is
  // listed without its window; showing it shows both again.
  host.ShowWindow(SW_SHOWNA);
  ShowItems(list, 1);
  EXPECT_TRUE(::IsWindowVisible(bitmap->m_hWnd));
  ShowItems(list, 0);
  EXPECT_FALSE(::IsWindowVisible(bitmap->m_hWnd)) << "the keyboard picture stays on screen without its keys";
  EXPECT_FALSE(::IsWindowVisible(list[1]->hwnd));
  ShowItems(list, 1);
  EXPECT_TRUE(::IsWindowVisible(bitmap->m_hWnd));
  EXPECT_TRUE(::IsWindowVisible(list[1]->hwnd));
}

TEST_F(BitmapBuildersTest, CaptionCaseAndColoursOnlyWithACaption) {
  const std::string children =
      R"(<SBMN fontclr="RED">n.bmp</SBMN><SBMO fontclr="GREEN"/><SBMD fontclr="BLUE"/><SBMDS fontclr="WHITE"/>)"
      R"(<RECT left="0" top="0" right="30" bottom="20"/>)";
  auto* without = static_cast<CBitmapBtn*>(Build(R"(<BUTTON name="BUTTON_OK" caps="U">)" + children + "</BUTTON>"));
  ASSERT_NE(without, nullptr);
  EXPECT_EQ(without->m_caption, L"");
  EXPECT_EQ(without->m_clrNormal, 0u);
  EXPECT_EQ(without->m_clrOver, 0u);
  EXPECT_EQ(without->m_clrDown, 0u);
  EXPECT_EQ(without->m_clrDisabled, 0u);

  auto* with = static_cast<CBitmapBtn*>(
      Build(R"(<BUTTON name="BUTTON_HELP" caps="U" caption="help me" ischeckbox="Y">)" + children + "</BUTTON>"));
  ASSERT_NE(with, nullptr);
  EXPECT_EQ(with->m_caption, L"HELP ME");
  EXPECT_EQ(with->m_clrNormal, 0x0000FFu);
  EXPECT_EQ(with->m_clrOver, 0x00FF00u);
  EXPECT_EQ(with->m_clrDown, 0xFF0000u);
  EXPECT_EQ(with->m_clrDisabled, 0xFFFFFFu);
  EXPECT_EQ(with->m_isCheckBox, 1);
  EXPECT_EQ(without->m_isCheckBox, 0);
}

TEST_F(BitmapBuildersTest, LanguageOverrideOfAStateImageWinsOnlyForButtons) {
  const std::wstring other = L"other.bmp";
  for (const wchar_t* name : {L"BUTTON_OK", L"BITMAP_ZANTOR"})
    AddLanguageOverride(&language, Id(name), other.c_str(), (other.size() + 1) * sizeof(wchar_t), L"SBMN");
  const std::string rect = R"(<RECT left="0" top="0" right="30" bottom="20"/>)";
  auto* button = static_cast<CBitmapBtn*>(Build("<BUTTON name=\"BUTTON_OK\"><SBMN>n.bmp</SBMN>" + rect + "</BUTTON>"));
  auto* bitmap =
      static_cast<CBitmapItem*>(Build("<BITMAPITEM name=\"BITMAP_ZANTOR\"><SBMN>n.bmp</SBMN>" + rect + "</BITMAPITEM>"));
  ASSERT_NE(button, nullptr);
  ASSERT_NE(bitmap, nullptr);
  DrawSurface face(30, 20, RGB(255, 0, 255));
  SendDrawItem(host.m_hWnd, button->m_hWnd, 0, face);
  EXPECT_EQ(face.Pixel(3, 3), kOther);
  DrawSurface picture(30, 20, RGB(255, 0, 255));
  CDC source;
  source.CreateCompatibleDC(picture.dc());
  platform::SelectGuard select(source, bitmap->m_image.GetSafeHandle());
  ::BitBlt(picture.dc(), 0, 0, 30, 20, source, 0, 0, SRCCOPY);
  EXPECT_EQ(picture.Pixel(3, 3), kNormal);
}

TEST_F(BitmapBuildersTest, BitmapWindowTextFormatFontColourAndTooltip) {
  auto* font = new CFontItem();
  font->CreateFont(12, FW_NORMAL, 0x20, L"Arial");
  font->id = Id(L"FONT_ARIAL12");
  font->kind = GUIKIND_FONT;
  list.push_back(font);
  language.m_pairs = {{L"tip", L"pane\\ntip"}};
  struct Case {
    const char* attributes;
    UINT format;
    uint8_t caseMode;
  } cases[] = {
      {R"(justify="C" multiline="1" caps="Lower")", DT_CENTER | DT_WORDBREAK, 2},
      {R"(justify="R" caps="Upper")", DT_RIGHT | DT_SINGLELINE | DT_VCENTER, 1},
      {"", DT_LEFT | DT_SINGLELINE | DT_VCENTER, 0},
  };
  for (const Case& c : cases) {
    auto* pane = static_cast<CBitmapWindow*>(
        Build(std::string(R"(<BITMAPWINDOW name="BITMAPWIN_ASSIGNKEY" fontid="FONT_ARIAL12" fontclr="GREEN" tooltip="$tip" )") +
              c.attributes + R"(><SBMDS>n.bmp</SBMDS><RECT left="0" top="0" right="60" bottom="50"/></BITMAPWINDOW>)"));
    ASSERT_NE(pane, nullptr) << c.attributes;
    EXPECT_EQ(pane->m_drawTextFormat, c.format) << c.attributes;
    EXPECT_EQ(pane->m_caseMode, c.caseMode) << c.attributes;
    EXPECT_EQ(pane->m_font, font);
    EXPECT_EQ(pane->m_textColour, 0x00FF00u);
    EXPECT_EQ(pane->m_toolTip.Text(), L"pane tip");
    list.pop_back();
    delete pane;
  }
}

TEST_F(BitmapBuildersTest, ProfileButtonIsCutFromThePanelPictureAtItsPlace) {
  auto* button = static_cast<CProfileBtn*>(Build(
      R"(<PROFBUTTON name="BUTTON_PROFILE" tooltip="$as is"><SBMN>panel.bmp</SBMN><RECT left="100" top="60" right="200" bottom="30"/></PROFBUTTON>)"));
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->GetStyle(), 0x5000000Bu);
  DrawSurface face(200, 30, RGB(255, 0, 255));
  SendDrawItem(host.m_hWnd, button->m_hWnd, 0, face);
  EXPECT_EQ(face.Pixel(0, 0), RGB(50, 30, 7));
  EXPECT_EQ(face.Pixel(20, 10), RGB(60, 35, 7));
  EXPECT_EQ(button->m_toolTip.Text(), L"$as is");
}

TEST_F(BitmapBuildersTest, AnimatedButtonFilesAreTrimmed) {
  auto* button = static_cast<CAVIButton*>(Build(
      "<AVIBUTTON name=\"BUTTON_AVI\"><VIDEO>\n  intro.avi \t</VIDEO><SOUND>   </SOUND><RECT left=\"0\" top=\"0\" right=\"30\" bottom=\"20\"/></AVIBUTTON>"));
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->m_videoFile, L"intro.avi");
  EXPECT_EQ(button->m_soundFile, L"");
  EXPECT_EQ(button->GetWindowText(), L"");
  EXPECT_EQ(button->GetStyle(), 0x5000000Bu);
}

}  // namespace
