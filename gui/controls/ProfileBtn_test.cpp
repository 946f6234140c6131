#include "gui/controls/ProfileBtn.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "gui/testing/DrawProbe.h"
#include "gui/testing/TestBitmaps.h"
#include "platform/testing/GuiTestHost.h"

namespace {

using gui::testing::DrawSurface;
using gui::testing::SendDrawItem;

constexpr int kW = 300, kH = 30;
constexpr UINT kId = 61;
constexpr COLORREF kNormal = RGB(10, 20, 200), kOver = RGB(20, 200, 20), kDown = RGB(200, 20, 20),
                   kDisabled = RGB(90, 90, 90);

using gui::testing::SolidBitmap;

class ProfileBtnTest : public ::testing::Test {
 protected:
  void SetUp() override {
    images = {SolidBitmap(400, 100, kNormal), SolidBitmap(400, 100, kOver), SolidBitmap(400, 100, kDown), SolidBitmap(400, 100, kDisabled)};
    Make(BS_OWNERDRAW);
  }
  void TearDown() override {
    ::ReleaseCapture();
    button.reset();
    for (HBITMAP b : images) ::DeleteObject(b);
  }
  void Make(DWORD type) {
    button = std::make_unique<CProfileBtn>();
    ASSERT_TRUE(button->Create(L"", WS_CHILD | WS_VISIBLE | type, RECT{20, 20, 20 + kW, 20 + kH}, &host, kId));
    // Pieces of a panel-wide picture at the button's place.
    button->SetBitmaps(images[0], images[1], images[2], images[3], 20, 20, 20 + kW, 20 + kH);
  }
  std::unique_ptr<DrawSurface> Draw(UINT state = 0) {
    auto surface = std::make_unique<DrawSurface>(kW, kH, RGB(255, 0, 255));
    SendDrawItem(host.m_hWnd, button->m_hWnd, state, *surface);
    return surface;
  }
  void Send(UINT msg, int x = 5, int y = 5, WPARAM flags = 0) { button->SendMessage(msg, flags, MAKELPARAM(x, y)); }

  platform::testing::GuiTestHost host;
  std::vector<HBITMAP> images;
  std::unique_ptr<CProfileBtn> button;
};

TEST_F(ProfileBtnTest, FaceFollowsTheState) {
  struct Case {
    int checkBox, checked, hover;
    UINT state;
    COLORREF face;
  } cases[] = {
      {0, 0, 0, 0, kNormal},          {0, 0, 1, 0, kOver},         {0, 0, 0, ODS_SELECTED, kDown},
      {0, 1, 1, 0, kDown},            {0, 0, 0, ODS_DISABLED, kDisabled}, {0, 0, 1, ODS_DISABLED, kOver},
      {1, 0, 1, ODS_SELECTED, kNormal}, {1, 1, 0, ODS_DISABLED, kDown},
  };
  for (const Case& c : cases) {
    button->m_isCheckBox = c.checkBox;
    button->m_checked = c.checked;
    button->m_hover = c.hover;
    EXPECT_EQ(Draw(c.state)->Pixel(150, 15), c.face) << c.checkBox << c.checked << c.hover << " " << c.state;
  }
}

TEST_F(ProfileBtnTest, EmptyFirstColumnShowsOnlyTheImage) {
  button->m_columns[1] = L"second";
  button->m_columns[2] = L"third";
  button->m_columns[3] = L"fourth";
  RECT drawn = Draw()->BoundsOfNot(kNormal);
  EXPECT_EQ(drawn.right, 0) << "text was drawn";
  button->m_columns[0] = L"first";
  const auto surface = Draw();
  EXPECT_TRUE(surface->HasColourIn(RECT{0, 0, kW, kH}, RGB(0xE0, 0xE0, 0xE0)));
}

TEST_F(ProfileBtnTest, StartsHoveredOnlyAsADefaultPushButton) {
  EXPECT_EQ(button->m_hover, 0);  // owner-drawn (0xB) has bit 0 set, yet is no default button
  Make(BS_DEFPUSHBUTTON);
  EXPECT_EQ(button->m_hover, 1);
  EXPECT_EQ(button->GetStyle() & BS_TYPEMASK, static_cast<DWORD>(BS_OWNERDRAW));
}

TEST_F(ProfileBtnTest, CheckBoxTogglesOnButtonUpAndLetsTheMouseGo) {
  button->m_isCheckBox = 1;
  Send(WM_MOUSEMOVE);
  ASSERT_EQ(button->m_hover, 1);
  Send(WM_LBUTTONDOWN, 5, 5, MK_LBUTTON);
  EXPECT_EQ(button->m_checked, 0);
  Send(WM_LBUTTONUP);
  host.Pump();
  EXPECT_EQ(button->m_checked, 1);
  EXPECT_NE(::GetCapture(), button->m_hWnd);
  EXPECT_FALSE(button->GetState() & BST_PUSHED);
  const auto commands = host.ReceivedOf(WM_COMMAND);
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].wParam, MAKEWPARAM(kId, BN_CLICKED));
  EXPECT_EQ(commands[0].lParam, reinterpret_cast<LPARAM>(button->m_hWnd));

  // A plain profile button clicks through the standard button.
  host.ClearReceived();
  button->m_isCheckBox = 0;
  Send(WM_LBUTTONDOWN, 5, 5, MK_LBUTTON);
  Send(WM_LBUTTONUP);
  host.Pump();
  EXPECT_EQ(host.ReceivedOf(WM_COMMAND).size(), 1u);
  EXPECT_EQ(button->m_checked, 1);
}

TEST_F(ProfileBtnTest, CaptureLossEndsHover) {
  CWnd other;
  ASSERT_TRUE(other.CreateEx(0, CWnd::DefaultClassName(), L"", WS_CHILD | WS_VISIBLE, RECT{400, 400, 410, 410}, &host, 2));
  Send(WM_MOUSEMOVE);
  button->SendMessage(WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(button->m_hWnd));
  EXPECT_EQ(button->m_hover, 1);
  other.SetCapture();
  EXPECT_EQ(button->m_hover, 0);
  EXPECT_EQ(::GetCapture(), other.m_hWnd);
}

TEST_F(ProfileBtnTest, TooltipShowsTheTextAsGiven) {
  button->SetTooltipText(L"$not\\ntranslated");
  EXPECT_EQ(button->m_toolTip.Text(), L"$not\\ntranslated");
}

class AviButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(button.Create(nullptr, WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, RECT{30, 30, 90, 70}, &host, 0));
    button.SetVideoFile(L"intro.avi");
  }
  static BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
  }
  int Children() {
    int count = 0;
    ::EnumChildWindows(button.m_hWnd, CountChild, reinterpret_cast<LPARAM>(&count));
    return count;
  }
  void Send(UINT msg) { button.SendMessage(msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(5, 5)); }

  platform::testing::GuiTestHost host;
  CAVIButton button;
};

TEST_F(AviButtonTest, SingleClickDoesNothingAndDoubleClicksPlayInOneAnimation) {
  Send(WM_LBUTTONDOWN);
  Send(WM_LBUTTONUP);
  host.Pump();
  EXPECT_TRUE(host.ReceivedOf(WM_COMMAND).empty());
  EXPECT_EQ(Children(), 0);
  EXPECT_EQ(button.m_playing, 0);

  Send(WM_LBUTTONDBLCLK);
  Send(WM_LBUTTONUP);
  host.Pump();
  ASSERT_NE(button.m_animation.m_hWnd, nullptr);
  EXPECT_EQ(button.m_playing, 1);
  EXPECT_TRUE(::IsWindowVisible(button.m_animation.m_hWnd));
  RECT area{};
  ::GetWindowRect(button.m_animation.m_hWnd, &area);
  ::MapWindowPoints(nullptr, button.m_hWnd, reinterpret_cast<POINT*>(&area), 2);
  EXPECT_EQ(area.left, 1);
  EXPECT_EQ(area.top, 1);
  EXPECT_EQ(area.right, 61);
  EXPECT_EQ(area.bottom, 41);
  const HWND first = button.m_animation.m_hWnd;

  Send(WM_LBUTTONDOWN);
  Send(WM_LBUTTONUP);
  Send(WM_LBUTTONDBLCLK);
  Send(WM_LBUTTONUP);
  host.Pump();
  EXPECT_EQ(button.m_animation.m_hWnd, first);
  EXPECT_EQ(Children(), 1);
  EXPECT_TRUE(host.ReceivedOf(WM_COMMAND).empty());
}

TEST_F(AviButtonTest, PosterIsDrawnOnlyWhileNothingPlays) {
  DrawSurface empty(60, 40, RGB(255, 0, 255));
  SendDrawItem(host.m_hWnd, button.m_hWnd, 0, empty);
  EXPECT_EQ(empty.Pixel(10, 10), RGB(255, 0, 255));  // no poster: nothing drawn

  // Poster 100 x 80, left half red: the piece starts at (50 - 30 - 10, 40 - 20 - 5) = (10, 15).
  button.m_poster.Attach(gui::testing::MakeBitmap(100, 80, [](int x, int) { return x < 50 ? RGB(200, 0, 0) : RGB(0, 0, 200); }));
  DrawSurface posted(60, 40, RGB(255, 0, 255));
  SendDrawItem(host.m_hWnd, button.m_hWnd, 0, posted);
  EXPECT_EQ(posted.Pixel(39, 5), RGB(200, 0, 0));
  EXPECT_EQ(posted.Pixel(40, 5), RGB(0, 0, 200));

  button.m_playing = 1;
  DrawSurface playing(60, 40, RGB(255, 0, 255));
  SendDrawItem(host.m_hWnd, button.m_hWnd, 0, playing);
  EXPECT_EQ(playing.Pixel(10, 10), RGB(255, 0, 255));
}

}  // namespace
