#include "gui/controls/BitmapBtn.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "gui/base/LangTable.h"
#include "gui/testing/DrawProbe.h"
#include "gui/testing/TestBitmaps.h"
#include "platform/testing/GuiTestHost.h"
#include "platform/testing/MessageSequence.h"

namespace {

using gui::testing::DrawSurface;
using gui::testing::SendDrawItem;

constexpr int kW = 40, kH = 30;
constexpr UINT kId = 77;
constexpr COLORREF kNormal = RGB(10, 20, 200), kOver = RGB(20, 200, 20), kDown = RGB(200, 20, 20),
                   kDisabled = RGB(90, 90, 90), kBehind = RGB(250, 0, 250);

using gui::testing::SolidBitmap;

// A language table with a few keys, in force while it lives.
class ScopedLanguage {
 public:
  ScopedLanguage() {
    table.m_pairs = {{L"caption", L"first\\nsecond\\nthird"}, {L"lower", L"MiXeD"}, {L"tip", L"one\\ntwo\\nthree"}};
    previous = CurrentLangTable;
    CurrentLangTable = &table;
  }
  ~ScopedLanguage() { CurrentLangTable = previous; }
  CLangTable table;
  CLangTable* previous;
};

class BitmapBtnTest : public ::testing::Test {
 protected:
  void SetUp() override {
    images = {SolidBitmap(kW, kH, kNormal), SolidBitmap(kW, kH, kOver), SolidBitmap(kW, kH, kDown), SolidBitmap(kW, kH, kDisabled)};
    ASSERT_TRUE(other.CreateEx(0, CWnd::DefaultClassName(), L"", WS_CHILD | WS_VISIBLE, RECT{300, 300, 340, 340},
                               &host, 5));
    Make(*button);
  }
  void TearDown() override {
    ::ReleaseCapture();
    button.reset();
    for (HBITMAP b : images) ::DeleteObject(b);
  }
  void Make(CBitmapBtn& b, HBITMAP mask = nullptr) {
    ASSERT_TRUE(b.Create(L"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, RECT{10, 10, 10 + kW, 10 + kH}, &host, kId));
    if (mask) b.SetBitmapsWithMask(images[0], images[1], images[2], images[3], mask, 0, 0, kW, kH);
    else b.SetBitmaps(images[0], images[1], images[2], images[3], 0, 0, kW, kH);
  }
  COLORREF Face(UINT state = 0, COLORREF behind = kBehind, int x = 5, int y = 5) {
    DrawSurface surface(kW, kH, behind);
    SendDrawItem(host.m_hWnd, button->m_hWnd, state, surface);
    return surface.Pixel(x, y);
  }
  void Send(UINT msg, int x = 5, int y = 5, WPARAM flags = 0) { button->SendMessage(msg, flags, MAKELPARAM(x, y)); }
  // A move to a point of the host outside the button (client coordinates of the button).
  void Leave() { Send(WM_MOUSEMOVE, 200, 100); }
  size_t Commands() {
    host.Pump();
    return host.ReceivedOf(WM_COMMAND).size();
  }

  platform::testing::GuiTestHost host;
  CWnd other;
  std::vector<HBITMAP> images;
  std::unique_ptr<CBitmapBtn> button = std::make_unique<CBitmapBtn>();
};

TEST_F(BitmapBtnTest, FaceFollowsTheState) {
  enum Blink { kNoBlink, kBlinkNormal, kBlinkDown };
  struct Case {
    int checkBox, checked;
    UINT state;
    int hover, highlight;
    Blink blink;
    COLORREF face;
  } cases[] = {
      {0, 0, 0, 0, 0, kNoBlink, kNormal},
      {0, 0, 0, 1, 0, kNoBlink, kOver},
      {0, 0, 0, 0, 1, kNoBlink, kOver},
      {0, 0, ODS_SELECTED, 0, 0, kNoBlink, kDown},
      {0, 1, 0, 1, 0, kNoBlink, kDown},
      {0, 1, ODS_DISABLED, 0, 0, kNoBlink, kDisabled},  // a disabled plain button shows disabled even when checked
      {0, 0, ODS_DISABLED, 1, 1, kNoBlink, kDisabled},
      {1, 0, 0, 0, 0, kNoBlink, kNormal},
      {1, 0, 0, 1, 0, kNoBlink, kOver},
      {1, 0, 0, 0, 1, kNoBlink, kOver},
      {1, 0, ODS_SELECTED, 0, 0, kNoBlink, kNormal},  // a check box ignores the pressed state
      {1, 1, ODS_DISABLED, 0, 0, kNoBlink, kDown},    // a disabled checked box shows down
      {1, 0, ODS_DISABLED, 1, 0, kNoBlink, kDisabled},
      {0, 0, ODS_DISABLED, 0, 0, kBlinkDown, kDown},  // the blink wins over every state
      {1, 1, 0, 1, 0, kBlinkNormal, kNormal},
  };
  for (const Case& c : cases) {
    button->m_isCheckBox = c.checkBox;
    button->m_checked = c.checked;
    button->m_hover = c.hover;
    button->m_highlight = static_cast<uint8_t>(c.highlight);
    button->m_blinkBitmap = c.blink == kNoBlink ? nullptr : c.blink == kBlinkDown ? &button->m_bmpDown : &button->m_bmpNormal;
    EXPECT_EQ(Face(c.state), c.face) << "box " << c.checkBox << " checked " << c.checked << " state " << c.state
                                     << " hover " << c.hover << " highlight " << c.highlight << " blink " << c.blink;
  }
}

TEST_F(BitmapBtnTest, CaptionColourFollowsTheStateAndZeroMeansDefault) {
  ScopedLanguage language;
  button->SetCaption(L"MMMM", 0);
  button->m_drawTextFormat = DT_CENTER | DT_SINGLELINE | DT_VCENTER;
  const COLORREF normal = RGB(1, 2, 3), over = RGB(4, 5, 6), down = RGB(7, 8, 9), disabled = RGB(11, 12, 13);
  struct Case {
    COLORREF clrNormal;
    int checked, hover;
    UINT state;
    COLORREF text;
  } cases[] = {
      {normal, 0, 0, 0, normal},
      {normal, 0, 1, 0, over},
      {normal, 1, 0, 0, down},
      {normal, 0, 0, ODS_SELECTED, down},
      {normal, 0, 0, ODS_DISABLED, disabled},
      {0, 0, 0, 0, RGB(0xFE, 0xFE, 0xFE)},
  };
  const RECT all{0, 0, kW, kH};
  for (const Case& c : cases) {
    button->m_clrNormal = c.clrNormal;
    button->m_clrOver = over;
    button->m_clrDown = down;
    button->m_clrDisabled = disabled;
    button->m_checked = c.checked;
    button->m_hover = c.hover;
    DrawSurface surface(kW, kH, kBehind);
    SendDrawItem(host.m_hWnd, button->m_hWnd, c.state, surface);
    EXPECT_TRUE(surface.HasColourIn(all, c.text)) << "checked " << c.checked << " hover " << c.hover << " state " << c.state;
  }
}

TEST_F(BitmapBtnTest, MaskLetsTheBackgroundThroughAndShapesTheWindow) {
  HBITMAP mask = gui::testing::MakeBitmap(kW, kH, [](int x, int) { return x < 20 ? RGB(0, 0, 0) : RGB(255, 255, 255); });
  button = std::make_unique<CBitmapBtn>();
  Make(*button, mask);
  ::DeleteObject(mask);  // the button keeps its own piece
  EXPECT_EQ(Face(0, kBehind, 5, 5), kNormal);
  EXPECT_EQ(Face(0, kBehind, 30, 5), kBehind);
  HRGN region = ::CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(::GetWindowRgn(button->m_hWnd, region), ERROR);
  EXPECT_TRUE(::PtInRegion(region, 5, 5));
  EXPECT_FALSE(::PtInRegion(region, 30, 5));
  ::DeleteObject(region);
  EXPECT_NE(button->m_hRgn, nullptr);
}

TEST_F(BitmapBtnTest, NoMaskImageMeansNoRegionAndAnOpaqueFace) {
  button = std::make_unique<CBitmapBtn>();
  ASSERT_TRUE(button->Create(L"", WS_CHILD | WS_VISIBLE, RECT{10, 10, 10 + kW, 10 + kH}, &host, kId));
  button->SetBitmapsWithMask(images[0], images[1], images[2], images[3], nullptr, 0, 0, kW, kH);
  EXPECT_TRUE(button->m_bmpMask.IsNull());
  EXPECT_EQ(button->m_hRgn, nullptr);
  HRGN region = ::CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(::GetWindowRgn(button->m_hWnd, region), ERROR);
  ::DeleteObject(region);
  EXPECT_EQ(Face(0, kBehind, 30, 5), kNormal);
  // Creation made the button owner-drawn and took it out of the tab order.
  EXPECT_EQ(button->GetStyle() & BS_TYPEMASK, static_cast<DWORD>(BS_OWNERDRAW));
  EXPECT_EQ(button->GetStyle() & WS_TABSTOP, 0u);
}

TEST_F(BitmapBtnTest, PlainClickReachesTheParentThroughTheStandardButton) {
  // Once straight away, once after the mouse entered (the press re-takes the capture).
  for (bool hoverFirst : {false, true}) {
    host.ClearReceived();
    if (hoverFirst) {
      Send(WM_MOUSEMOVE);
      ASSERT_EQ(button->m_hover, 1);
    }
    Send(WM_LBUTTONDOWN, 5, 5, MK_LBUTTON);
    EXPECT_TRUE(button->GetState() & BST_PUSHED);
    Send(WM_LBUTTONUP);
    const auto commands = (host.Pump(), host.ReceivedOf(WM_COMMAND));
    ASSERT_EQ(commands.size(), 1u) << hoverFirst;
    EXPECT_EQ(commands[0].wParam, MAKEWPARAM(kId, BN_CLICKED));
    EXPECT_EQ(commands[0].lParam, reinterpret_cast<LPARAM>(button->m_hWnd));
    EXPECT_FALSE(button->GetState() & BST_PUSHED);
    EXPECT_NE(::GetCapture(), button->m_hWnd);
    EXPECT_EQ(button->m_checked, 0);
  }
}

TEST_F(BitmapBtnTest, CheckBoxReportsOnThePressAndTogglesByMode) {
  button->m_isCheckBox = 1;
  for (uint8_t mode : {1, 0}) {
    host.ClearReceived();
    button->m_toggleMode = mode;
    button->m_checked = 0;
    Send(WM_LBUTTONDOWN, 5, 5, MK_LBUTTON);
    EXPECT_EQ(Commands(), 1u);  // before the button-up
    Send(WM_LBUTTONUP);
    Send(WM_LBUTTONDOWN, 5, 5, MK_LBUTTON);
    Send(WM_LBUTTONUP);
    // Second click of a double click: swallowed.
    Send(WM_LBUTTONDBLCLK, 5, 5, MK_LBUTTON);
    Send(WM_LBUTTONUP);
    EXPECT_EQ(button->m_checked, 0) << int(mode);  // flipped twice, or never
    const platform::testing::ExpectedMessage click{WM_COMMAND, MAKEWPARAM(kId, BN_CLICKED),
                                                   reinterpret_cast<LPARAM>(button->m_hWnd)};
    host.Pump();
    EXPECT_TRUE(platform::testing::SequenceMatches(host.Received(), {click, click})) << int(mode);
    EXPECT_FALSE(button->GetState() & BST_PUSHED);
  }
  button->m_toggleMode = 1;
  Send(WM_LBUTTONDOWN, 5, 5, MK_LBUTTON);
  Send(WM_LBUTTONUP);
  Send(WM_LBUTTONDBLCLK, 5, 5, MK_LBUTTON);
  Send(WM_LBUTTONUP);
  EXPECT_EQ(button->m_checked, 1);  // a double click toggles once
}

TEST_F(BitmapBtnTest, HoverEndsOnLeavingAndOnCaptureLoss) {
  // Enter and leave over the host.
  Send(WM_MOUSEMOVE);
  EXPECT_EQ(button->m_hover, 1);
  EXPECT_EQ(::GetCapture(), button->m_hWnd);
  EXPECT_EQ(Face(), kOver);
  Leave();
  EXPECT_EQ(button->m_hover, 0);
  EXPECT_EQ(::GetCapture(), nullptr);

  // Wine reports a window re-taking its own capture: nothing is lost.
  Send(WM_MOUSEMOVE);
  button->SendMessage(WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(button->m_hWnd));
  EXPECT_EQ(button->m_hover, 1);

  // Another window takes the capture: hover ends and the capture stays with it.
  other.SetCapture();
  EXPECT_EQ(button->m_hover, 0);
  EXPECT_EQ(::GetCapture(), other.m_hWnd);
  EXPECT_EQ(Face(), kNormal);
  ::ReleaseCapture();

  // Pressed when the capture goes: neither pressed nor hovered afterwards.
  Send(WM_MOUSEMOVE);
  Send(WM_LBUTTONDOWN, 5, 5, MK_LBUTTON);
  ASSERT_TRUE(button->GetState() & BST_PUSHED);
  other.SetCapture();
  EXPECT_FALSE(button->GetState() & BST_PUSHED);
  EXPECT_EQ(button->m_hover, 0);
  EXPECT_EQ(::GetCapture(), other.m_hWnd);
  EXPECT_EQ(Face(button->GetState() & BST_PUSHED ? ODS_SELECTED : 0), kNormal);
  EXPECT_EQ(Commands(), 0u);

  // Focus loss ends hover too.
  ::ReleaseCapture();
  Send(WM_MOUSEMOVE);
  button->SendMessage(WM_KILLFOCUS);
  EXPECT_EQ(button->m_hover, 0);
}

TEST_F(BitmapBtnTest, MovingWithTheButtonHeldDoesNotEnterHover) {
  Send(WM_MOUSEMOVE, 5, 5, MK_LBUTTON);
  EXPECT_EQ(button->m_hover, 0);
  EXPECT_NE(::GetCapture(), button->m_hWnd);
}

TEST_F(BitmapBtnTest, BlinkAlternatesOnItsTimerAndStopRestores) {
  button->StartBlink(500);
  EXPECT_EQ(button->m_blinkInterval, 500);
  EXPECT_EQ(Face(), kNormal);
  button->SendMessage(WM_TIMER, CBitmapBtn::kBlinkTimer);
  EXPECT_EQ(Face(), kDown);
  button->SendMessage(WM_TIMER, 3);  // not the blink's
  EXPECT_EQ(Face(), kDown);
  button->SendMessage(WM_TIMER, CBitmapBtn::kBlinkTimer);
  EXPECT_EQ(Face(), kNormal);
  button->SendMessage(WM_TIMER, CBitmapBtn::kBlinkTimer);
  button->m_hover = 1;
  button->StopBlink();
  EXPECT_EQ(button->m_blinkBitmap, nullptr);
  EXPECT_EQ(button->m_blinkInterval, 0);
  EXPECT_EQ(Face(), kOver);
  // A tick that was already queued when the blink stopped does not restart it.
  button->SendMessage(WM_TIMER, CBitmapBtn::kBlinkTimer);
  EXPECT_EQ(button->m_blinkBitmap, nullptr);
  EXPECT_EQ(Face(), kOver);
}

TEST_F(BitmapBtnTest, CaptionAndTooltipTexts) {
  struct Case {
    const wchar_t* text;
    int caseMode;
    const wchar_t* caption;
  } cases[] = {
      {L"$caption", 0, L"first\r\nsecond\\nthird"},  // only the first marker breaks the line
      {L"$lower", 2, L"mixed"},
      {L"$lower", 1, L"MIXED"},
      {L"plain\\ntext", 1, L"PLAIN\r\nTEXT"},  // untranslated texts are case-converted too, the marker kept
      {L"$unknown", 0, L"$unknown"},
  };
  {
    ScopedLanguage language;
    for (const Case& c : cases) {
      button->SetCaption(c.text, c.caseMode);
      EXPECT_EQ(button->m_caption, c.caption) << c.text;
    }
    button->SetTooltipText(L"$tip");
    EXPECT_EQ(button->m_toolTip.Text(), L"one two three");
    button->SetTooltipText(nullptr);  // nothing given: nothing changes
    EXPECT_EQ(button->m_toolTip.Text(), L"one two three");
  }
  // No language in force: captions and tips are empty.
  CLangTable* saved = CurrentLangTable;
  CurrentLangTable = nullptr;
  button->SetCaption(L"plain", 0);
  EXPECT_EQ(button->m_caption, L"");
  button->SetTooltipText(L"plain");
  EXPECT_EQ(button->m_toolTip.Text(), L"");
  CurrentLangTable = saved;
}

// A message as the loop hands it to the button before dispatching it.
void PassFromTheLoop(CWnd& window, UINT message) {
  MSG msg{window.m_hWnd, message, 0, MAKELPARAM(2, 2), 0, {}};
  window.PreTranslateMessage(&msg);
}

TEST_F(BitmapBtnTest, TooltipWindowIsMadeOnTheFirstMouseMessage) {
  ScopedLanguage language;
  PassFromTheLoop(*button, WM_MOUSEMOVE);  // no text yet: no tooltip to make
  EXPECT_EQ(button->m_toolTip.Control().m_hWnd, nullptr);
  button->SetTooltipText(L"$tip");
  for (UINT notMouse : {WM_PAINT, WM_TIMER, WM_KEYDOWN}) PassFromTheLoop(*button, notMouse);
  EXPECT_EQ(button->m_toolTip.Control().m_hWnd, nullptr);

  PassFromTheLoop(*button, WM_MOUSEMOVE);
  const CToolTipCtrl& tip = button->m_toolTip.Control();
  ASSERT_NE(tip.m_hWnd, nullptr);
  EXPECT_EQ(tip.GetToolCount(), 1);
  EXPECT_EQ(tip.GetText(button.get(), 1), L"one two three");
  TTTOOLINFOW info{sizeof(info), 0, button->m_hWnd, 1};
  ASSERT_TRUE(tip.SendMessage(TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&info)));
  RECT client{};
  button->GetClientRect(&client);
  EXPECT_TRUE(::EqualRect(&info.rect, &client));  // the tool covers the whole button

  // Once made, the tooltip is the one shown and follows every new text.
  const HWND made = tip.m_hWnd;
  button->SetTooltipText(L"plain");
  PassFromTheLoop(*button, WM_LBUTTONDOWN);
  EXPECT_EQ(tip.m_hWnd, made);
  EXPECT_EQ(tip.GetToolCount(), 1);
  EXPECT_EQ(tip.GetText(button.get(), 1), L"plain");
}

TEST_F(BitmapBtnTest, DeletedThroughItsHeaderWithItsWindow) {
  auto* onList = new CBitmapBtn;
  ASSERT_TRUE(onList->Create(L"", WS_CHILD, RECT{0, 0, 5, 5}, &host, 1));
  onList->SetTooltipText(L"tip");
  PassFromTheLoop(*onList, WM_MOUSEMOVE);
  HWND hwnd = onList->m_hWnd, tip = onList->m_toolTip.Control().m_hWnd;
  ASSERT_NE(tip, nullptr);
  EXPECT_EQ(onList->id, -1);
  EXPECT_EQ(onList->kind, -1);
  EXPECT_EQ(onList->hwnd, gui::kNoItemWindowYet);
  EXPECT_EQ(onList->m_toggleMode, 1);
  CGUIItem* header = onList;
  delete header;
  EXPECT_FALSE(::IsWindow(hwnd));
  EXPECT_FALSE(::IsWindow(tip));
}

}  // namespace
