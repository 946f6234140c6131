// Pages of text, edit and keyboard-key elements loaded into a visible host and
// checked on a picture of the screen: a test page with every element kind (kept
// as text_page.bmp in this build folder) and the shipped English key page (kept
// as english_page.bmp). Beside them, the capture edit end to end: keys sent with
// SendInput reach it as raw input and nothing else of the program while it lives.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "device/KeyboardDef.h"
#include "device/RawInput.h"
#include "gui/controls/BitmapItem.h"
#include "gui/controls/EditItem.h"
#include "gui/controls/KeyboardKeyItem.h"
#include "gui/controls/SingleKeyEdit.h"
#include "gui/controls/TextItem.h"
#include "gui/base/LangTable.h"
#include "gui/skin/SkinLoader.h"
#include "gui/base/SkinNameTables.h"
#include "gui/testing/ScreenPage.h"
#include "gui/testing/SkinTestFolder.h"
#include "platform/testing/GuiTestHost.h"
#include "platform/Strings.h"
#include "platform/testing/WinePath.h"

namespace {

constexpr COLORREF kPage = RGB(40, 40, 40), kKeyboard = RGB(90, 60, 20), kWhite = RGB(255, 255, 255),
                   kBlack = RGB(0, 0, 0);
constexpr int kWidth = 640, kHeight = 480;

std::string Rect(const RECT& r) {
  return "<RECT left=\"" + std::to_string(r.left) + "\" top=\"" + std::to_string(r.top) + "\" right=\"" +
         std::to_string(r.right) + "\" bottom=\"" + std::to_string(r.bottom) + "\"/>";
}

using gui::testing::CaptureWhenShown;
using gui::testing::PageWindow;
using gui::testing::ScreenPicture;

// Some pixel of the rectangle near the colour (text edges are blended).
bool HasNear(const ScreenPicture& shot, const RECT& r, COLORREF colour, int tolerance = 40) {
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) {
      const COLORREF c = shot.At(x, y);
      if (std::abs(GetRValue(c) - GetRValue(colour)) + std::abs(GetGValue(c) - GetGValue(colour)) +
              std::abs(GetBValue(c) - GetBValue(colour)) <=
          tolerance)
        return true;
    }
  return false;
}

bool CopyKeyFiles(const std::wstring& to) {
  for (const wchar_t* name : {L"KeyDefinitions.bin", L"KeyDefaults_US.bin"}) {
    if (!::CopyFileW((DosPath(OVRIX_KEY_FILES_DIR) + L"\\" + name).c_str(), (to + L"bin\\" + name).c_str(), FALSE))
      return false;
  }
  return true;
}

class TextPageTest : public gui::testing::SkinTestFolder {
 protected:
  void SetUp() override {
    gui::testing::SkinTestFolder::SetUp();
    previous = CurrentLangTable;
    CurrentLangTable = &language;
    ASSERT_TRUE(page.CreateEx(0, CWnd::DefaultClassName(), L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                              RECT{0, 0, kWidth, kHeight}, &host, 1));
  }
  void TearDown() override {
    DestroyItemList(list);
    FrameworkRawInputRegistrar().Unregister();
    CurrentLangTable = previous;
    gui::testing::SkinTestFolder::TearDown();
  }

  ScreenPicture Shown(const std::function<bool(const ScreenPicture&)>& shown, int width = kWidth,
                      int height = kHeight) {
    return CaptureWhenShown(host.m_hWnd, page.m_hWnd, width, height, shown, [this] { host.Pump(); });
  }

  platform::testing::GuiTestHost host;
  PageWindow page{kPage};
  CLangTable language;
  CLangTable* previous = nullptr;
  GUIItemList list;
};

// Page rectangles (left, top, width, height as the skin writes them).
constexpr RECT kBoard{20, 20, 300, 100};  // BITMAP_MECHKBD; keys lie in it
constexpr RECT kKeyA{10, 10, 60, 40}, kKeyB{90, 10, 60, 40}, kKeyC{170, 10, 60, 40};
constexpr RECT kPlainText{340, 20, 200, 30}, kLabel{340, 60, 200, 30}, kInnerText{240, 60, 50, 30};
constexpr RECT kEdit{20, 160, 120, 24}, kDisabledEdit{160, 160, 120, 24}, kCentredEdit{300, 160, 120, 24},
               kCapture{20, 200, 120, 24}, kCombination{160, 200, 120, 24};
constexpr RECT kCheck{560, 60, 30, 30};
constexpr COLORREF kPieces[] = {RGB(200, 30, 30), RGB(30, 200, 30), RGB(30, 30, 200)};

TEST_F(TextPageTest, EveryElementKindDrawsItsOwnPartOfThePage) {
  ASSERT_TRUE(CopyKeyFiles(AppFolder));
  WriteImage(L"board.bmp", kBoard.right, kBoard.bottom, kKeyboard);
  WriteImage(L"check.bmp", kCheck.right, kCheck.bottom, RGB(120, 0, 120));
  // The keyboard-wide key pictures: each key's place its own colour; the mask
  // cuts a 6 x 6 corner off every key.
  const RECT keys[] = {kKeyA, kKeyB, kKeyC};
  auto pieceAt = [&](int x, int y) -> int {
    for (int i = 0; i < 3; ++i)
      if (x >= keys[i].left && x < keys[i].left + keys[i].right && y >= keys[i].top && y < keys[i].top + keys[i].bottom)
        return i;
    return -1;
  };
  ASSERT_TRUE(gui::testing::WriteBmpFile(AppFolder + L"skins\\keys_n.bmp", kBoard.right, kBoard.bottom,
                                            [&](int x, int y) { const int i = pieceAt(x, y); return i < 0 ? kBlack : kPieces[i]; }));
  WriteImage(L"keys_o.bmp", kBoard.right, kBoard.bottom, kWhite);
  ASSERT_TRUE(gui::testing::WriteBmpFile(AppFolder + L"skins\\keys_m.bmp", kBoard.right, kBoard.bottom, [&](int x, int y) {
    const int i = pieceAt(x, y);
    return i >= 0 && x < keys[i].left + 6 && y < keys[i].top + 6 ? kWhite : i < 0 ? kWhite : kBlack;
  }));
  const std::string bitmaps = "<SBMN>keys_n.bmp</SBMN><SBMO>keys_o.bmp</SBMO><SBMM>keys_m.bmp</SBMM>";
  WriteXml(L"page.xml",
           "<KEYBOARD><KEYBOARDDEF name=\"KBDDEF_WINDOWS\" file=\"KeyDefinitions.bin\"/>"
           "<BITMAPLIST><BITMAPITEM name=\"BITMAP_MECHKBD\"><SBMN>board.bmp</SBMN>" + Rect(kBoard) + "</BITMAPITEM></BITMAPLIST>"
           "<BUTTONLIST><BUTTON name=\"BUTTON_CHKBOX_SLCT_SHIFT\" ischeckbox=\"1\"><SBMN>check.bmp</SBMN>" + Rect(kCheck) +
           "</BUTTON></BUTTONLIST>"
           "<TEXTLIST>"
           "<TEXTITEM name=\"TEXT_SLCT_CTRL\" textkey=\"WWWWWWWW\" fontclr=\"RED\">" + Rect(kPlainText) + "</TEXTITEM>"
           "<TEXTITEM name=\"TEXT_SLCT_SHIFT\" textkey=\"WWWWWWWW\" interactive=\"1\" checkboxid=\"BUTTON_CHKBOX_SLCT_SHIFT\" "
           "fontclr=\"GREEN\" justify=\"C\">" + Rect(kLabel) + "</TEXTITEM>"
           "<TEXTITEM name=\"TEXT_SLCT_ALT\" textkey=\"WWW\" windowid=\"BITMAP_MECHKBD\" fontclr=\"WHITE\">" +
           Rect(kInnerText) + "</TEXTITEM>"
           "</TEXTLIST>"
           "<EDITCTRLLIST>"
           "<EDITCTRL name=\"EDITCTRL_POPUP_NAMEENTRY\" backclr=\"BLUE2\" fontclr=\"WHITE\">" + Rect(kEdit) + "</EDITCTRL>"
           "<EDITCTRL name=\"EDITCTRL_POPUP_NUMENTRY\" backclr=\"BLUE2\" disbbackclr=\"MIDGREY\">" + Rect(kDisabledEdit) +
           "</EDITCTRL>"
           "<EDITCTRL name=\"EDITCTRL_DEFAULT_DELAY\" justify=\"C\" max=\"4\" backclr=\"GREEN3\">" + Rect(kCentredEdit) +
           "</EDITCTRL>"
           "<EDITCTRLSK name=\"EDITCTRL_POPUP_SINGLEKEYENTRY\" backclr=\"DARKGREY\">" + Rect(kCapture) + "</EDITCTRLSK>"
           "<EDITCTRLSKMMO name=\"EDITCTRL_DELAY\" backclr=\"GREEN4\">" + Rect(kCombination) + "</EDITCTRLSKMMO>"
           "</EDITCTRLLIST>"
           "<KBDKEYLIST windowid=\"BITMAP_MECHKBD\"><BUTTONBITMAPS>" + bitmaps + "</BUTTONBITMAPS>"
           "<KBDKEY name=\"BUTTON_KB_ESC\" kbddefid=\"ESC\">" + Rect(kKeyA) +
           "<BMPINFO name=\"BITMAP_KB_ESC\">" + bitmaps + Rect(kKeyA) + "</BMPINFO></KBDKEY>"
           "<KBDKEY name=\"BUTTON_KB_F1\" kbddefid=\"F1\" caption=\"F1\" tooltip=\"First\">" + Rect(kKeyB) + "</KBDKEY>"
           "<KBDKEY name=\"BUTTON_KB_LMCR1\" tooltip=\"Macro one\">" + Rect(kKeyC) + "</KBDKEY>"
           "</KBDKEYLIST></KEYBOARD>");
  ASSERT_TRUE(LoadSkinFile(list, L"page.xml", page.m_hWnd));
  auto find = [&](const wchar_t* name) { return FindItemById(list, FindSkinElementId(name)); };
  for (const wchar_t* name : {L"EDITCTRL_DEFAULT_DELAY", L"EDITCTRL_DELAY"})
    ASSERT_NE(find(name), nullptr) << "no such element in the tables: " << name;

  auto* board = dynamic_cast<CBitmapItem*>(find(L"BITMAP_MECHKBD"));
  ASSERT_NE(board, nullptr);
  auto* label = dynamic_cast<CTextItem*>(find(L"TEXT_SLCT_SHIFT"));
  ASSERT_NE(label, nullptr);
  EXPECT_NE(label->m_linkedCheckBox, nullptr);
  auto* inner = dynamic_cast<CTextItem*>(find(L"TEXT_SLCT_ALT"));
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(::GetParent(inner->m_hWnd), board->m_hWnd);
  auto* disabled = dynamic_cast<CEditItem*>(find(L"EDITCTRL_POPUP_NUMENTRY"));
  ASSERT_NE(disabled, nullptr);
  disabled->EnableWindow(FALSE);
  auto* capture = dynamic_cast<CEditItemSingleKeyInput*>(find(L"EDITCTRL_POPUP_SINGLEKEYENTRY"));
  ASSERT_NE(capture, nullptr);
  EXPECT_TRUE(capture->OwnsRawInputRegistration());  // the first capture edit holds it
  EXPECT_NE(dynamic_cast<CEditItemSingleKeyInputMMO*>(find(L"EDITCTRL_DELAY")), nullptr);
  std::vector<CKeyboardKeyItem*> keyItems;
  for (CGUIItem* item : list)
    if (item->kind == GUIKIND_KBDKEY) keyItems.push_back(dynamic_cast<CKeyboardKeyItem*>(item));
  ASSERT_EQ(keyItems.size(), 3u);
  for (CKeyboardKeyItem* key : keyItems) {
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(::GetParent(key->m_hWnd), board->m_hWnd);  // the keys lie in the keyboard picture
    EXPECT_FALSE(key->m_keyName.empty());
    EXPECT_EQ(key->GetOwnerHwnd(), page.m_hWnd);
    // Shaped by its own piece of the mask: the cut corner is outside.
    CRgn shape;
    shape.CreateRectRgn(0, 0, 0, 0);
    EXPECT_NE(::GetWindowRgn(key->m_hWnd, static_cast<HRGN>(shape.GetSafeHandle())), ERROR);
    EXPECT_FALSE(::PtInRegion(static_cast<HRGN>(shape.GetSafeHandle()), 2, 2));
    EXPECT_TRUE(::PtInRegion(static_cast<HRGN>(shape.GetSafeHandle()), 8, 2));
  }
  EXPECT_NE(keyItems[0]->m_keyDef, nullptr);
  EXPECT_NE(keyItems[0]->m_pictureInfo.normal, nullptr);
  EXPECT_EQ(keyItems[1]->m_keyName, L"First");
  EXPECT_EQ(keyItems[2]->m_keyDef, nullptr);

  auto inBoard = [](const RECT& key, int dx, int dy) { return POINT{kBoard.left + key.left + dx, kBoard.top + key.top + dy}; };
  const ScreenPicture shot = Shown([&](const ScreenPicture& s) {
    const POINT p = inBoard(kKeyC, 30, 30);
    return s.At(p.x, p.y) == kPieces[2] && s.At(kEdit.left + 60, kEdit.top + 12) == RGB(0x00, 0x77, 0xC5);
  });
  ASSERT_TRUE(shot.Save(L"text_page.bmp"));

  // Each key its own piece (its shape is the window region checked above: Wine
  // does not clip an owner-drawn child's drawing to it on the screen).
  for (int i = 0; i < 3; ++i) {
    for (POINT p : {inBoard(keys[i], keys[i].right / 2, keys[i].bottom - 5), inBoard(keys[i], 8, 2),
                    inBoard(keys[i], keys[i].right - 2, keys[i].bottom - 2)})
      EXPECT_EQ(shot.At(p.x, p.y), kPieces[i]) << "key " << i << " at " << p.x << "," << p.y;
    const POINT outside = inBoard(keys[i], keys[i].right + 2, keys[i].bottom / 2);
    EXPECT_EQ(shot.At(outside.x, outside.y), kKeyboard) << "key " << i;
  }
  // The edits' backgrounds (0x00BBGGRR: BLUE2 0xC57700, MIDGREY 0x777069, GREEN3 0x094701 ...).
  struct Area {
    const char* what;
    RECT rect;
    COLORREF colour;
  } areas[] = {
      {"edit", kEdit, 0xC57700},          {"disabled edit", kDisabledEdit, 0x777069},
      {"centred edit", kCentredEdit, 0x094701}, {"capture edit", kCapture, 0x3A3A3A},
      {"combination edit", kCombination, 0x021E00},
  };
  for (const Area& a : areas) EXPECT_EQ(shot.At(a.rect.left + a.rect.right - 8, a.rect.top + a.rect.bottom / 2), a.colour) << a.what;
  // The texts in their colours, over the page and over the keyboard picture.
  EXPECT_TRUE(HasNear(shot, RECT{kPlainText.left, kPlainText.top, kPlainText.left + kPlainText.right,
                                kPlainText.top + kPlainText.bottom}, RGB(255, 0, 0)));
  EXPECT_TRUE(HasNear(shot, RECT{kLabel.left, kLabel.top, kLabel.left + kLabel.right, kLabel.top + kLabel.bottom},
                           RGB(0, 255, 0)));
  const RECT innerOnScreen{kBoard.left + kInnerText.left, kBoard.top + kInnerText.top,
                           kBoard.left + kInnerText.left + kInnerText.right, kBoard.top + kInnerText.top + kInnerText.bottom};
  EXPECT_TRUE(HasNear(shot, innerOnScreen, kWhite));
  EXPECT_TRUE(HasNear(shot, innerOnScreen, kKeyboard, 0));  // transparent over the picture
}

TEST_F(TextPageTest, ShippedEnglishPageShowsEveryKeyWithItsDefinitionAndName) {
  // The main window's size, where the page will lie.
  constexpr int kMainWidth = 1000, kMainHeight = 620;
  host.MoveWindow(0, 0, kMainWidth, kMainHeight);
  page.MoveWindow(0, 0, kMainWidth, kMainHeight);
  host.ParkCursor();
  const std::wstring stage = DosPath(OVRIX_SKIN_APP_DIR) + L"\\";
  SkinResourceCache::FreeAll();
  AppFolder = stage;
  ASSERT_TRUE(LoadSkinFile(list, L"KeyboardLayout_English.xml", page.m_hWnd));
  CBitmapItem* board = nullptr;
  std::vector<CKeyboardKeyItem*> keys;
  for (CGUIItem* item : list) {
    if (item->kind == GUIKIND_BITMAPITEM) board = dynamic_cast<CBitmapItem*>(item);
    if (item->kind == GUIKIND_KBDKEY) keys.push_back(dynamic_cast<CKeyboardKeyItem*>(item));
  }
  ASSERT_NE(board, nullptr);
  ASSERT_EQ(keys.size(), 120u);
  for (CKeyboardKeyItem* key : keys) {
    ASSERT_NE(key, nullptr);
    const std::string name = platform::WideToUtf8(GetSkinElementName(key->id));
    EXPECT_NE(key->m_keyDef, nullptr) << name;
    EXPECT_FALSE(key->m_keyName.empty()) << name << " has neither a system name nor a tooltip";
    EXPECT_EQ(::GetParent(key->m_hWnd), board->m_hWnd) << name;
    EXPECT_NE(key->m_pictureInfo.normal, nullptr) << name;
  }
  RECT escape{};
  ::GetWindowRect(keys[0]->m_hWnd, &escape);
  POINT topMiddle{(escape.left + escape.right) / 2, escape.top + 3};
  ::ScreenToClient(page.m_hWnd, &topMiddle);
  const ScreenPicture shot = Shown(
      [&](const ScreenPicture& s) { return s.At(topMiddle.x, topMiddle.y) == RGB(0x2B, 0x2B, 0x2B); }, kMainWidth,
      kMainHeight);
  ASSERT_TRUE(shot.Save(L"english_page.bmp"));
  EXPECT_EQ(shot.At(topMiddle.x, topMiddle.y), RGB(0x2B, 0x2B, 0x2B));  // the key's face from the normal picture
}

// ---- The capture edit, end to end ---------------------------------------------

class CharRecorder : public CEdit {
 public:
  std::vector<wchar_t> chars;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (msg == WM_CHAR) chars.push_back(static_cast<wchar_t>(wParam));
    return CEdit::OnMessage(msg, wParam, lParam, result);
  }
};

void SendKeyA() {
  INPUT inputs[2] = {};
  for (INPUT& in : inputs) {
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = 'A';
    in.ki.wScan = 0x1E;
  }
  inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ::SendInput(2, inputs, sizeof(INPUT));
}

// Pumps until `done` or about a second has passed.
template <typename Done>
void PumpUntil(platform::testing::GuiTestHost& host, Done done) {
  for (int i = 0; i < 50 && !done(); ++i) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    host.Pump();
  }
}

TEST_F(TextPageTest, CaptureEditTakesSentKeysAndLeavesThemToTheProgramOnceGone) {
  WriteXml(L"capture.xml", "<ITEMLIST><EDITCTRLLIST><EDITCTRLSK name=\"EDITCTRL_POPUP_SINGLEKEYENTRY\">" +
                               Rect(kCapture) + "</EDITCTRLSK></EDITCTRLLIST></ITEMLIST>");
  CharRecorder plain;
  ASSERT_TRUE(plain.Create(WS_CHILD | WS_VISIBLE, RECT{300, 300, 400, 324}, &page, 50));
  ASSERT_TRUE(LoadSkinFile(list, L"capture.xml", page.m_hWnd));
  auto* capture = dynamic_cast<CEditItemSingleKeyInput*>(FindItemById(list, FindSkinElementId(L"EDITCTRL_POPUP_SINGLEKEYENTRY")));
  ASSERT_NE(capture, nullptr);
  ASSERT_TRUE(capture->OwnsRawInputRegistration());
  ::SetForegroundWindow(host.m_hWnd);
  plain.SetFocus();
  host.Pump();

  wchar_t expected[40] = {};
  ASSERT_GT(::GetKeyNameTextW(0x1E << 16, expected, 40), 0);
  SendKeyA();
  PumpUntil(host, [&] { return capture->GetWindowText() == expected; });
  EXPECT_EQ(capture->GetWindowText(), expected);
  EXPECT_TRUE(plain.chars.empty());  // no legacy key message reached the program

  DestroyItemList(list);
  EXPECT_FALSE(FrameworkRawInputRegistrar().IsRegistered());
  plain.SetFocus();
  SendKeyA();
  PumpUntil(host, [&] { return !plain.chars.empty(); });
  ASSERT_EQ(plain.chars.size(), 1u);
  EXPECT_EQ(plain.chars[0], L'a');
}

}  // namespace
