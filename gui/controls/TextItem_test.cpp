#include "gui/controls/TextItem.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "gui/controls/BitmapBtn.h"
#include "gui/base/LangTable.h"
#include "gui/testing/DrawProbe.h"
#include "platform/testing/GuiTestHost.h"
#include "platform/testing/MessageSequence.h"

namespace {

using gui::testing::DrawSurface;
using gui::testing::SendDrawItem;

constexpr int kW = 120, kH = 30;
constexpr UINT kTextId = 31, kBoxId = 32;
constexpr COLORREF kBackground = RGB(0, 0, 0);

class TextItemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    language.m_pairs = {{L"greeting", L"Hello\\nWorld\\nAgain"}, {L"name", L"MiXeD"}};
    previous = CurrentLangTable;
    CurrentLangTable = &language;
    ASSERT_TRUE(box.Create(L"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, RECT{10, 10, 30, 30}, &host, kBoxId));
    box.m_isCheckBox = 1;
    text = std::make_unique<CTextItem>(L"MMMM", 0);
    ASSERT_TRUE(text->Create(L"", WS_CHILD | WS_VISIBLE | SS_OWNERDRAW | SS_NOTIFY, RECT{40, 10, 40 + kW, 10 + kH},
                             &host, kTextId));
    text->m_linkedCheckBox = &box;
  }
  void TearDown() override {
    ::ReleaseCapture();
    CurrentLangTable = previous;
  }
  void Send(UINT msg, int x = 5, int y = 5, WPARAM flags = 0) { text->SendMessage(msg, flags, MAKELPARAM(x, y)); }
  std::unique_ptr<DrawSurface> Draw() {
    auto surface = std::make_unique<DrawSurface>(kW, kH, kBackground);
    SendDrawItem(host.m_hWnd, text->m_hWnd, 0, *surface, ODT_STATIC);
    return surface;
  }

  platform::testing::GuiTestHost host;
  CLangTable language;
  CLangTable* previous = nullptr;
  CBitmapBtn box;
  std::unique_ptr<CTextItem> text;
};

TEST_F(TextItemTest, TextIsTranslatedAndOnlyATranslationTakesTheCase) {
  struct Case {
    const wchar_t* given;
    int caseMode;
    bool table;
    const wchar_t* shown;
  } cases[] = {
      {L"$greeting", 0, true, L"Hello\r\nWorld\\nAgain"},
      {L"$name", 1, true, L"MIXED"},
      {L"$name", 2, true, L"mixed"},
      {L"$missing", 1, true, L"$missing"},
      {L"As Written", 2, true, L"As Written"},
      {L"$name", 1, false, L"$name"},
  };
  for (const Case& c : cases) {
    CurrentLangTable = c.table ? &language : nullptr;
    CTextItem item(c.given, c.caseMode);
    EXPECT_EQ(item.m_text, c.shown) << c.given << " " << c.caseMode;
  }
  CurrentLangTable = &language;
  text->SetText(L"$name");  // no case conversion on SetText
  std::wstring out;
  text->GetText(out);
  EXPECT_EQ(out, L"MiXeD");
}

TEST_F(TextItemTest, ColourFallsBackToNormalAndZeroNormalIsDefault) {
  const COLORREF normal = RGB(1, 200, 3), hover = RGB(4, 5, 200), disabled = RGB(200, 8, 9);
  struct Case {
    COLORREF clrNormal, clrHover, clrDisabled;
    uint8_t hovered, isDisabled;
    COLORREF drawn;
  } cases[] = {
      {normal, hover, disabled, 0, 0, normal},
      {normal, hover, disabled, 1, 0, hover},
      {normal, hover, disabled, 1, 1, disabled},
      {normal, 0, 0, 1, 0, normal},
      {normal, 0, 0, 0, 1, normal},
      {0, 0, 0, 0, 0, RGB(0xFE, 0xFE, 0xFE)},
  };
  text->m_drawTextFormat = DT_SINGLELINE | DT_VCENTER;
  for (const Case& c : cases) {
    text->m_clrNormal = c.clrNormal;
    text->m_clrHover = c.clrHover;
    text->m_clrDisabled = c.clrDisabled;
    text->m_hover = c.hovered;
    text->m_disabled = c.isDisabled;
    EXPECT_TRUE(Draw()->HasColourIn(RECT{0, 0, kW, kH}, c.drawn))
        << std::hex << c.clrNormal << " " << c.clrHover << " " << c.clrDisabled << " " << int(c.hovered) << int(c.isDisabled);
  }
}

TEST_F(TextItemTest, LeftSingleLineTextSitsFiveRightAndTwoBelowTheCorner) {
  text->m_drawTextFormat = DT_LEFT | DT_WORDBREAK;  // drawn by DrawText from the corner
  const RECT byDrawText = Draw()->BoundsOfNot(kBackground);
  text->m_drawTextFormat = 0;
  const RECT byTextOut = Draw()->BoundsOfNot(kBackground);
  ASSERT_LT(byTextOut.left, byTextOut.right) << "nothing drawn";
  EXPECT_EQ(byTextOut.left - byDrawText.left, 5);
  EXPECT_EQ(byTextOut.top - byDrawText.top, 2);
}

TEST_F(TextItemTest, LabelClickTogglesTheLinkedBoxByItsModeAndReports) {
  const platform::testing::ExpectedMessage labelClicked{WM_COMMAND, MAKEWPARAM(kTextId, STN_CLICKED),
                                                        reinterpret_cast<LPARAM>(text->m_hWnd)};
  const platform::testing::ExpectedMessage boxReported{WM_COMMAND, MAKEWPARAM(kTextId, 0),
                                                       reinterpret_cast<LPARAM>(box.m_hWnd)};
  for (uint8_t mode : {1, 0}) {
    host.ClearReceived();
    box.m_toggleMode = mode;
    box.m_checked = 0;
    Send(WM_LBUTTONDOWN, 5, 5, MK_LBUTTON);
    Send(WM_LBUTTONUP);
    host.Pump();
    EXPECT_EQ(box.m_checked, mode == 1 ? 1 : 0);
    // The static control's own STN_CLICKED (from the text's window) goes too,
    // then the label's report in the box's name.
    EXPECT_TRUE(platform::testing::SequenceMatches(host.Received(), {labelClicked, boxReported})) << int(mode);
  }
  // Without a linked box a click reports nothing of its own.
  host.ClearReceived();
  text->m_linkedCheckBox = nullptr;
  Send(WM_LBUTTONDOWN, 5, 5, MK_LBUTTON);
  Send(WM_LBUTTONUP);
  host.Pump();
  EXPECT_TRUE(platform::testing::SequenceMatches(host.Received(), {labelClicked}));
}

TEST_F(TextItemTest, HoverHighlightsTheBoxAndEndsOnLeaveAndCaptureLoss) {
  Send(WM_MOUSEMOVE);
  EXPECT_EQ(text->m_hover, 1);
  EXPECT_EQ(box.m_highlight, 1);
  EXPECT_EQ(::GetCapture(), text->m_hWnd);
  Send(WM_MOUSEMOVE, 300, 200);  // over the host
  EXPECT_EQ(text->m_hover, 0);
  EXPECT_EQ(box.m_highlight, 0);
  EXPECT_EQ(::GetCapture(), nullptr);

  Send(WM_MOUSEMOVE);
  text->SendMessage(WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(text->m_hWnd));  // re-taken: no loss
  EXPECT_EQ(text->m_hover, 1);
  box.SetCapture();  // another window takes it: the label's and the box's highlight end
  EXPECT_EQ(text->m_hover, 0);
  EXPECT_EQ(box.m_highlight, 0);
  EXPECT_EQ(::GetCapture(), box.m_hWnd);
}

TEST_F(TextItemTest, DisabledItemHighlightsNothingAndLetsTheMouseGo) {
  text->m_disabled = 1;
  Send(WM_MOUSEMOVE);
  EXPECT_EQ(text->m_hover, 0);
  EXPECT_EQ(box.m_highlight, 0);
  EXPECT_NE(::GetCapture(), text->m_hWnd);

  // Disabled by the owner while hovered: the next move ends the hover and frees the mouse.
  text->m_disabled = 0;
  Send(WM_MOUSEMOVE);
  ASSERT_EQ(::GetCapture(), text->m_hWnd);
  text->m_disabled = 1;
  Send(WM_MOUSEMOVE, 6, 5);
  EXPECT_EQ(text->m_hover, 0);
  EXPECT_EQ(box.m_highlight, 0);
  EXPECT_EQ(::GetCapture(), nullptr);
}

}  // namespace
