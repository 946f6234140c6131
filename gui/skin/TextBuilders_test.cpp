#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "device/InputFakes.h"
#include "device/KeyboardDef.h"
#include "device/RawInput.h"
#include "gui/controls/BitmapBtn.h"
#include "gui/controls/BitmapItem.h"
#include "gui/controls/EditItem.h"
#include "gui/controls/KeyboardKeyItem.h"
#include "gui/controls/SingleKeyEdit.h"
#include "gui/controls/TextItem.h"
#include "gui/base/LangTable.h"
#include "gui/skin/SkinBuilders.h"
#include "gui/base/SkinNameTables.h"
#include "gui/testing/DrawProbe.h"
#include "gui/testing/SkinTestFolder.h"
#include "gui/testing/TestBitmaps.h"
#include "platform/testing/GuiTestHost.h"
#include "platform/testing/TestFiles.h"

namespace {

using device::testing::FakeRawInput;

void LoadKeyFiles() {
  static const bool loaded = [] {
    const std::vector<uint8_t> bytes = platform::testing::ReadFileBytes(OVRIX_KEY_FILES_DIR "/KeyDefinitions.bin");
    return GlobalKeyboardDef().LoadKeyDefinitions(bytes.size(), bytes.data());
  }();
  ASSERT_TRUE(loaded);
}

class TextBuildersTest : public gui::testing::SkinTestFolder {
 protected:
  void SetUp() override {
    gui::testing::SkinTestFolder::SetUp();
    previousLanguage = CurrentLangTable;
    CurrentLangTable = &language;
    context.parent = host.m_hWnd;
    context.list = &list;
    context.sharedBitmaps = &shared;
    context.panelWindow = host.m_hWnd;
  }
  void TearDown() override {
    DestroyItemList(list);
    FrameworkRawInputRegistrar().Unregister();
    CurrentLangTable = previousLanguage;
    gui::testing::SkinTestFolder::TearDown();
  }
  // Builds one element and keeps the item in the list (as the loader does).
  template <typename T = CGUIItem>
  T* Build(const std::string& xml) {
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_string(xml.c_str())) << xml;
    CGUIItem* item = BuildElement(doc.first_child(), context);
    if (!item) return nullptr;
    list.push_back(item);
    T* typed = dynamic_cast<T*>(item);
    EXPECT_NE(typed, nullptr) << xml;
    return typed;
  }
  static std::string Rect(int l, int t, int w, int h) {
    return "<RECT left=\"" + std::to_string(l) + "\" top=\"" + std::to_string(t) + "\" right=\"" + std::to_string(w) +
           "\" bottom=\"" + std::to_string(h) + "\"/>";
  }
  static DWORD StyleOf(HWND window) { return static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE)); }

  platform::testing::GuiTestHost host;
  CLangTable language;
  CLangTable* previousLanguage = nullptr;
  GUIItemList list;
  SharedKeyBitmaps shared;
  BuildContext context;
  FakeRawInput raw;
};

TEST_F(TextBuildersTest, TextItemFormatsAndStyles) {
  struct Row {
    const char* attributes;
    UINT format;
    DWORD style;
  } rows[] = {
      {"justify=\"R\"", 0x26, 0x5000000D},
      {"justify=\"L\"", 0, 0x5000000D},
      {"justify=\"C\"", 0x25, 0x5000000D},
      {"justify=\"R\" multiline=\"1\"", 0x12, 0x5000000D},
      {"justify=\"L\" multiline=\"1\"", 0x10, 0x5000000D},
      {"justify=\"C\" interactive=\"1\"", 0x25, 0x5000010D},
  };
  for (const Row& row : rows) {
    auto* text = Build<CTextItem>(std::string("<TEXTITEM name=\"TEXT_SLCT_SHIFT\" textkey=\"Shift\" ") + row.attributes +
                                  ">" + Rect(5, 6, 50, 12) + "</TEXTITEM>");
    ASSERT_NE(text, nullptr) << row.attributes;
    EXPECT_EQ(text->m_drawTextFormat, row.format) << row.attributes;
    EXPECT_EQ(StyleOf(text->m_hWnd) & ~WS_CLIPSIBLINGS, row.style) << row.attributes;
    EXPECT_EQ(text->kind, GUIKIND_TEXTITEM);
    EXPECT_EQ(text->id, 415);
    EXPECT_EQ(::GetDlgCtrlID(text->m_hWnd), 415);
    EXPECT_EQ(text->parent, host.m_hWnd);
    EXPECT_EQ(text->m_text, L"Shift");
  }
  EXPECT_EQ(Build("<TEXTITEM name=\"NO_SUCH_ELEMENT\"/>"), nullptr);
}

TEST_F(TextBuildersTest, TextItemLinksOnlyACheckBoxAndLiesOnItsBitmapItem) {
  WriteImage(L"pic.bmp", 100, 60, RGB(0, 90, 0));
  auto* bitmap = Build<CBitmapItem>("<BITMAPITEM name=\"BITMAP_MECHKBD\"><SBMN>pic.bmp</SBMN>" + Rect(10, 10, 100, 60) +
                                    "</BITMAPITEM>");
  ASSERT_NE(bitmap, nullptr);
  auto* box = Build<CBitmapBtn>("<BUTTON name=\"BUTTON_CHKBOX_SLCT_SHIFT\" ischeckbox=\"1\">" + Rect(0, 0, 10, 10) +
                                "</BUTTON>");
  auto* plain = Build<CBitmapBtn>("<BUTTON name=\"BUTTON_CHKBOX_SLCT_CTRL\">" + Rect(0, 20, 10, 10) + "</BUTTON>");
  ASSERT_NE(box, nullptr);
  ASSERT_NE(plain, nullptr);
  struct Row {
    const char* attributes;
    CBitmapBtn* linked;
    HWND parent;
  } rows[] = {
      {"checkboxid=\"BUTTON_CHKBOX_SLCT_SHIFT\"", box, host.m_hWnd},
      {"checkboxid=\"BUTTON_CHKBOX_SLCT_CTRL\"", nullptr, host.m_hWnd},  // a button, but no check box
      {"checkboxid=\"TEXT_SLCT_ALT\"", nullptr, host.m_hWnd},
      {"windowid=\"BITMAP_MECHKBD\"", nullptr, bitmap->m_hWnd},
      {"windowid=\"BUTTON_CHKBOX_SLCT_SHIFT\"", nullptr, host.m_hWnd},   // no bitmap item
  };
  for (const Row& row : rows) {
    auto* text = Build<CTextItem>(std::string("<TEXTITEM name=\"TEXT_SLCT_ALT\" ") + row.attributes + ">" +
                                  Rect(1, 1, 20, 10) + "</TEXTITEM>");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->m_linkedCheckBox, row.linked) << row.attributes;
    EXPECT_EQ(::GetParent(text->m_hWnd), row.parent) << row.attributes;
    EXPECT_EQ(text->parent, row.parent) << row.attributes;
  }
}

TEST_F(TextBuildersTest, EditsAlignmentLimitsColoursAndRegistration) {
  struct Row {
    const char* element;
    const char* attributes;
    DWORD alignment;
    LRESULT limit;  // -1: the system's default
    int kind;
    bool registers;
  } rows[] = {
      {"EDITCTRL", "justify=\"R\"", 0, -1, GUIKIND_EDITCTRL, false},
      {"EDITCTRL", "justify=\"C\" max=\"5\"", ES_CENTER, 5, GUIKIND_EDITCTRL, false},
      {"EDITCTRL", "max=\"0\"", 0, 0, GUIKIND_EDITCTRL, false},
      {"EDITCTRL", "max=\"-4\"", 0, 0, GUIKIND_EDITCTRL, false},
      {"EDITCTRLSK", "justify=\"L\"", ES_CENTER, -1, GUIKIND_EDITCTRLSK, true},
      {"EDITCTRLSKMMO", "max=\"3\"", ES_CENTER, 3, GUIKIND_EDITCTRLSK, true},
  };
  CEditItem probe;
  ASSERT_TRUE(probe.CreateEx(0, L"EDIT", L"", WS_CHILD, RECT{0, 0, 5, 5}, host.m_hWnd, 1));
  const LRESULT defaultLimit = probe.SendMessage(EM_GETLIMITTEXT);
  probe.SendMessage(EM_LIMITTEXT, 0);
  const LRESULT largestLimit = probe.SendMessage(EM_GETLIMITTEXT);
  for (const Row& row : rows) {
    FrameworkRawInputRegistrar().Unregister();
    raw.calls.clear();
    auto* edit = Build<CEditItem>(std::string("<") + row.element + " name=\"EDITCTRL_POPUP_NUMENTRY\" " + row.attributes +
                                  " fontclr=\"RED\" backclr=\"BLUE\" bdrclr=\"GREEN\" disbbackclr=\"WHITE\" bdrwidth=\"-2\">" +
                                  Rect(4, 4, 80, 16) + "</" + row.element + ">");
    ASSERT_NE(edit, nullptr) << row.element;
    EXPECT_EQ(StyleOf(edit->m_hWnd) & (ES_CENTER | ES_RIGHT), row.alignment) << row.element << row.attributes;
    EXPECT_EQ(StyleOf(edit->m_hWnd) & (WS_CHILD | WS_VISIBLE), DWORD{WS_CHILD | WS_VISIBLE});
    const LRESULT limit = edit->SendMessage(EM_GETLIMITTEXT);
    EXPECT_EQ(limit, row.limit == -1 ? defaultLimit : row.limit == 0 ? largestLimit : row.limit) << row.attributes;
    EXPECT_EQ(edit->kind, row.kind);
    EXPECT_EQ(edit->id, 393);
    EXPECT_EQ(::GetDlgCtrlID(edit->m_hWnd), 393);
    EXPECT_EQ(edit->m_clrText, RGB(255, 0, 0));
    EXPECT_EQ(edit->m_clrBack, RGB(0, 0, 255));
    EXPECT_EQ(edit->m_clrBorder, RGB(0, 255, 0));
    EXPECT_EQ(edit->m_borderWidth, 0);
    // The disabled set belongs to the plain edit only.
    EXPECT_EQ(edit->m_clrBackDisabled, row.kind == GUIKIND_EDITCTRL ? RGB(255, 255, 255) : 0u) << row.element;
    EXPECT_EQ(edit->m_numeric, 0);
    ASSERT_EQ(raw.calls.size(), row.registers ? 1u : 0u) << row.element;
    if (row.registers) {
      EXPECT_EQ(raw.calls[0].devices[0].hwndTarget, edit->m_hWnd);
    }
  }
  EXPECT_NE(dynamic_cast<CEditItemSingleKeyInputMMO*>(list.back()), nullptr);
  // A typed text is cut at five characters.
  auto* limited = Build<CEditItem>("<EDITCTRL name=\"EDITCTRL_POPUP_NAMEENTRY\" max=\"5\">" + Rect(4, 24, 80, 16) +
                                   "</EDITCTRL>");
  limited->SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
  limited->SendMessage(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(L"abcdefgh"));
  EXPECT_EQ(limited->GetWindowText(), L"abcde");
}

class KeyBuildersTest : public TextBuildersTest {
 protected:
  void SetUp() override {
    TextBuildersTest::SetUp();
    LoadKeyFiles();
    // A keyboard-wide picture per state, its left half one colour and its right half another.
    auto halves = [](COLORREF left, COLORREF right) {
      return gui::testing::MakeBitmap(200, 50, [=](int x, int) { return x < 100 ? left : right; });
    };
    images = {halves(kNormalLeft, kNormalRight), halves(kOver, kOver), halves(kDown, kDown)};
    shared = {{L"sbmn", images[0]}, {L"SBMO", images[1]}, {L"SBMD", images[2]}};
  }
  void TearDown() override {
    TextBuildersTest::TearDown();
    for (HBITMAP image : images) ::DeleteObject(image);
  }
  static constexpr COLORREF kNormalLeft = RGB(200, 0, 0), kNormalRight = RGB(0, 0, 200), kOver = RGB(0, 200, 0),
                            kDown = RGB(90, 90, 90);
  std::vector<HBITMAP> images;
};

TEST_F(KeyBuildersTest, StyleCaptionFormatDefinitionAndOwner) {
  struct Row {
    const char* attributes;
    DWORD style;
    UINT format;
  } rows[] = {
      {"justify=\"C\"", 0x10002C0B | BS_CENTER, 0x12000 | DT_CENTER | 0x34},
      {"justify=\"L\" multiline=\"1\"", 0x10002C0B | BS_LEFT, 0x12000 | 0x14},
      {"justify=\"R\" ischeckbox=\"0\"", 0x10002C0B | BS_RIGHT, 0x12000 | DT_RIGHT | 0x34},
  };
  for (const Row& row : rows) {
    auto* key = Build<CKeyboardKeyItem>(std::string("<KBDKEY name=\"BUTTON_KB_ESC\" kbddefid=\"ESC\" ") +
                                        row.attributes + ">" + Rect(10, 10, 30, 20) + "</KBDKEY>");
    ASSERT_NE(key, nullptr);
    // The button keeps its owner-draw kind; WS_CHILD came at creation.
    EXPECT_EQ(StyleOf(key->m_hWnd) & ~(WS_CLIPSIBLINGS | WS_TABSTOP), row.style | WS_CHILD) << row.attributes;
    EXPECT_EQ(key->m_drawTextFormat, row.format) << row.attributes;
    EXPECT_EQ(key->m_isCheckBox, 1);  // keys are check boxes whatever the skin says
    EXPECT_EQ(key->kind, GUIKIND_KBDKEY);
    EXPECT_EQ(key->id, 427);
    EXPECT_EQ(::GetDlgCtrlID(key->m_hWnd), 427);
    ASSERT_NE(key->m_keyDef, nullptr);
    EXPECT_EQ(key->m_keyDef->name, L"ESC");
    EXPECT_EQ(key->m_scanCode, 1);
    EXPECT_FALSE(key->m_keyName.empty());  // the system's name for the key
    EXPECT_EQ(key->GetOwnerHwnd(), host.m_hWnd);
  }
}

TEST_F(KeyBuildersTest, UnknownDefinitionLeavesTheMapAndTooltipAndCaptionAreKept) {
  const size_t before = GlobalKeyboardDef().DefinitionsById().size();
  auto* key = Build<CKeyboardKeyItem>("<KBDKEY name=\"BUTTON_KB_LMCR1\" kbddefid=\"NO_SUCH_KEY\" tooltip=\"$KEY_F13\" "
                                      "caption=\"f13\" caps=\"U\">" + Rect(0, 0, 20, 20) + "</KBDKEY>");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->m_keyDef, nullptr);
  EXPECT_EQ(GlobalKeyboardDef().DefinitionsById().size(), before);
  EXPECT_EQ(key->m_keyName, L"$KEY_F13");
  EXPECT_FALSE(key->m_caption.empty());
  context.panelWindow = nullptr;
  auto* lonely = Build<CKeyboardKeyItem>("<KBDKEY name=\"BUTTON_KB_F1\">" + Rect(0, 0, 20, 20) + "</KBDKEY>");
  ASSERT_NE(lonely, nullptr);
  EXPECT_EQ(lonely->m_keyDef, nullptr);
  EXPECT_EQ(lonely->GetOwnerHwnd(), host.m_hWnd);  // no owner: the parent
}

TEST_F(KeyBuildersTest, EachKeyShowsThePieceAtItsRectangleAndKeepsItsPictureRecord) {
  WriteImage(L"esc.bmp", 30, 20, RGB(1, 2, 3));
  const std::string leftRect = Rect(20, 10, 30, 20), rightRect = Rect(130, 10, 30, 20);
  auto* left = Build<CKeyboardKeyItem>("<KBDKEY name=\"BUTTON_KB_ESC\">" + leftRect +
                                       "<BMPINFO name=\"BITMAP_KB_ESC\"><SBMN>esc.bmp</SBMN>" + Rect(3, 4, 30, 20) +
                                       "</BMPINFO></KBDKEY>");
  auto* twin = Build<CKeyboardKeyItem>("<KBDKEY name=\"BUTTON_KB_F1\">" + leftRect + "</KBDKEY>");
  auto* right = Build<CKeyboardKeyItem>("<KBDKEY name=\"BUTTON_KB_F2\">" + rightRect +
                                        "<BMPINFO name=\"BITMAP_KB_F2\"/></KBDKEY>");
  ASSERT_TRUE(left && twin && right);
  for (auto [key, colour] : {std::pair{left, kNormalLeft}, std::pair{twin, kNormalLeft}, std::pair{right, kNormalRight}}) {
    gui::testing::DrawSurface surface(30, 20, RGB(255, 255, 255));
    gui::testing::SendDrawItem(host.m_hWnd, key->m_hWnd, 0, surface);
    EXPECT_EQ(surface.Pixel(2, 2), colour);
    EXPECT_EQ(surface.Pixel(27, 17), colour);
  }
  EXPECT_NE(left->m_pictureInfo.normal, nullptr);
  EXPECT_EQ(left->m_pictureInfo.rect.left, 3);
  EXPECT_EQ(left->m_pictureInfo.rect.right, 33);
  EXPECT_EQ(right->m_pictureInfo.normal, nullptr);  // a BMPINFO without a normal image gives no record
}

}  // namespace
