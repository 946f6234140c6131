#include "gui/controls/VScrollBar.h"

#include <gtest/gtest.h>

#include <vector>

#include "gui/testing/TestBitmaps.h"
#include "platform/Gdi.h"
#include "platform/testing/GuiTestHost.h"

namespace {

using platform::testing::GuiTestHost;

// Image heights: top cap T = 4, bottom cap B = 4, arrows U = D = 10, span 1,
// thumb 12 x 20. With a client height of 200 the thumb's top runs from 14 to
// 166 (travel 152); the up arrow covers y 4..14, the down arrow 186..196.
constexpr int kT = 4, kU = 10, kThumbH = 20, kWidth = 12;
constexpr COLORREF kThumbColour = RGB(0, 0, 250), kSpanColour = RGB(0, 250, 0);

// The scrolled window: it has scroll information and records the requests.
class FakeOwner : public CWnd {
 public:
  std::vector<WPARAM> requests;
  void SetRange(int nMax, UINT nPage, int nPos) {
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
    si.nMin = 0;
    si.nMax = nMax;
    si.nPage = nPage;
    si.nPos = nPos;
    ::SetScrollInfo(m_hWnd, SB_VERT, &si, FALSE);
  }

 protected:
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
    if (msg == WM_VSCROLL) {
      requests.push_back(wp);
      result = 0;
      return true;
    }
    return CWnd::OnMessage(msg, wp, lp, result);
  }
};

class ScrollBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto solid = gui::testing::SolidBitmap;
    images = {solid(kWidth, 4, RGB(9, 9, 9)),  solid(kWidth, 4, RGB(8, 8, 8)),  solid(kWidth, 10, RGB(250, 0, 0)),
              solid(kWidth, 10, RGB(200, 0, 0)), solid(kWidth, 1, kSpanColour), solid(kWidth, kThumbH, kThumbColour)};
    ASSERT_TRUE(owner.CreateEx(0, CWnd::DefaultClassName(), L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL,
                               RECT{0, 0, 300, 200}, &host, 1));
    Build(200);
  }
  void TearDown() override {
    ::ReleaseCapture();
    for (HBITMAP b : images) ::DeleteObject(b);
  }
  void Build(int height) {
    bar = std::make_unique<CVScrollBar>(&owner);
    bar->SetBitmaps(images[0], images[1], images[2], images[3], images[4], images[5]);
    ASSERT_TRUE(bar->Create(L"", WS_CHILD | WS_VISIBLE, RECT{400, 0, 400 + kWidth, height}, &host));
  }
  void Send(UINT msg, int y, WPARAM flags = 0) { bar->SendMessage(msg, flags, MAKELPARAM(5, y)); }
  // The requests posted so far. Only they are dispatched: the bar's own timers
  // also run, and on a loaded machine one could fire here and add lines the
  // test did not send.
  std::vector<WPARAM> Requests() {
    MSG msg;
    while (::PeekMessageW(&msg, owner.m_hWnd, WM_VSCROLL, WM_VSCROLL, PM_REMOVE)) ::DispatchMessageW(&msg);
    auto r = owner.requests;
    owner.requests.clear();
    return r;
  }

  platform::testing::GuiTestHost host;
  FakeOwner owner;
  std::vector<HBITMAP> images;
  std::unique_ptr<CVScrollBar> bar;
};

using Codes = std::vector<WPARAM>;

TEST_F(ScrollBarTest, ThumbFollowsTheOwnersPositionAndStaysOnTheTrack) {
  EXPECT_EQ(bar->ThumbTop(), kT + kU);  // under the up arrow once created
  struct Case {
    int nMax;
    UINT nPage;
    int nPos;
    int thumbTop;
  } cases[] = {
      {100, 24, 0, 14},   {100, 24, 38, 90}, {100, 24, 76, 166},
      {100, 24, 500, 166},  // past the end: clamped to the bottom of the track
      {24, 24, 0, 14},      // no range to scroll: top of the track, no division by zero
      {10, 24, 3, 14},      // page larger than the range
      {0, 0, 0, 14},
  };
  for (const auto& c : cases) {
    owner.SetRange(c.nMax, c.nPage, c.nPos);
    bar->UpdateThumb();
    EXPECT_EQ(bar->ThumbTop(), c.thumbTop) << c.nMax << "/" << c.nPage << "/" << c.nPos;
  }
}

TEST_F(ScrollBarTest, ScrollInformationThatCannotBeReadPutsTheThumbAtTheTop) {
  owner.SetRange(100, 24, 38);
  bar->UpdateThumb();
  ASSERT_EQ(bar->ThumbTop(), 90);
  bar->SetScrollOwner(nullptr);
  bar->UpdateThumb();
  EXPECT_EQ(bar->ThumbTop(), kT + kU);
}

TEST_F(ScrollBarTest, LosingTheCaptureEndsThePress) {
  owner.SetRange(100, 24, 10);
  CWnd popup;
  ASSERT_TRUE(popup.CreateEx(0, CWnd::DefaultClassName(), L"", WS_CHILD | WS_VISIBLE, RECT{0, 0, 5, 5}, &host, 9));
  struct Case {
    const char* what;
    int y;
  } cases[] = {{"held arrow", 190}, {"dragged thumb", 24}};
  for (const auto& c : cases) {
    Send(WM_LBUTTONDOWN, c.y, MK_LBUTTON);
    bar->SendMessage(WM_TIMER, CVScrollBar::kFirstDelayTimer);  // repeating from here
    popup.SetCapture();  // taken away without a button-up
    EXPECT_FALSE(bar->KillTimer(CVScrollBar::kRepeatTimer)) << c.what;
    EXPECT_FALSE(bar->KillTimer(CVScrollBar::kFirstDelayTimer)) << c.what;
    bar->SendMessage(WM_TIMER, CVScrollBar::kRepeatTimer);
    Send(WM_MOUSEMOVE, 120, MK_LBUTTON);
    EXPECT_TRUE(Requests().empty()) << c.what;
    ::ReleaseCapture();
  }
}

TEST_F(ScrollBarTest, ThumbTallerThanTheTrackSitsUnderTheUpArrow) {
  Build(40);  // free track 40 - 28 = 12 < thumb height 20
  owner.SetRange(100, 10, 50);
  bar->UpdateThumb();
  EXPECT_EQ(bar->ThumbTop(), kT + kU);
  // Dragging cannot move it, and asks nothing of the owner.
  Send(WM_LBUTTONDOWN, 20, MK_LBUTTON);
  Send(WM_MOUSEMOVE, 35, MK_LBUTTON);
  EXPECT_EQ(bar->ThumbTop(), kT + kU);
  EXPECT_TRUE(Requests().empty());
}

TEST_F(ScrollBarTest, ArrowClickScrollsOneLineAtRelease) {
  owner.SetRange(100, 24, 10);
  bar->UpdateThumb();
  Send(WM_LBUTTONDOWN, 190, MK_LBUTTON);  // down arrow
  EXPECT_TRUE(Requests().empty());
  Send(WM_LBUTTONUP, 190);
  EXPECT_EQ(Requests(), Codes{SB_LINEDOWN});
  EXPECT_EQ(::GetCapture(), owner.m_hWnd);  // the owner gets the mouse back

  Send(WM_LBUTTONDOWN, 8, MK_LBUTTON);  // up arrow
  Send(WM_LBUTTONUP, 8);
  EXPECT_EQ(Requests(), Codes{SB_LINEUP});
}

TEST_F(ScrollBarTest, HeldArrowRepeatsAfterTheFirstDelay) {
  owner.SetRange(100, 24, 10);
  Send(WM_LBUTTONDOWN, 190, MK_LBUTTON);
  // The first delay only switches to the repeat timer.
  bar->SendMessage(WM_TIMER, CVScrollBar::kFirstDelayTimer);
  EXPECT_TRUE(Requests().empty());
  bar->SendMessage(WM_TIMER, CVScrollBar::kRepeatTimer);
  bar->SendMessage(WM_TIMER, CVScrollBar::kRepeatTimer);
  EXPECT_EQ(Requests(), (Codes{SB_LINEDOWN, SB_LINEDOWN}));
  Send(WM_LBUTTONUP, 190);  // still on the arrow: one more
  EXPECT_EQ(Requests(), Codes{SB_LINEDOWN});
  bar->SendMessage(WM_TIMER, CVScrollBar::kRepeatTimer);  // released: no more lines
  EXPECT_TRUE(Requests().empty());
}

TEST_F(ScrollBarTest, TrackClicksPage) {
  owner.SetRange(100, 24, 38);
  bar->UpdateThumb();  // thumb at 90..110
  struct Case {
    int downY, upY;
    Codes expected;
  } cases[] = {
      {50, 50, {SB_PAGEUP}},
      {150, 150, {SB_PAGEDOWN}},
      {100, 100, {}},            // on the thumb
      {190, 150, {SB_PAGEDOWN}}, // pressed on an arrow, released off it and off the thumb
      {8, 60, {SB_PAGEUP}},
  };
  for (const auto& c : cases) {
    Send(WM_LBUTTONDOWN, c.downY, MK_LBUTTON);
    Send(WM_LBUTTONUP, c.upY);
    EXPECT_EQ(Requests(), c.expected) << c.downY << " -> " << c.upY;
  }
}

TEST_F(ScrollBarTest, DraggingTheThumbRequestsOneLinePerStep) {
  owner.SetRange(100, 24, 0);  // 76 lines over 152 pixels: 2 pixels a line
  bar->UpdateThumb();
  Send(WM_LBUTTONDOWN, 24, MK_LBUTTON);  // the thumb's middle
  Send(WM_MOUSEMOVE, 44, MK_LBUTTON);    // thumb top 34: line 10
  EXPECT_EQ(Requests(), Codes(10, SB_LINEDOWN));
  owner.SetRange(100, 24, 10);
  Send(WM_MOUSEMOVE, 30, MK_LBUTTON);  // thumb top 20: line 3
  EXPECT_EQ(Requests(), Codes(7, SB_LINEUP));
  Send(WM_MOUSEMOVE, 60, 0);  // button no longer down: nothing
  EXPECT_TRUE(Requests().empty());
  Send(WM_LBUTTONUP, 30);
  Requests();

  owner.SetRange(10, 24, 0);  // range smaller than the page: dragging does nothing
  Send(WM_LBUTTONDOWN, 24, MK_LBUTTON);
  Send(WM_MOUSEMOVE, 100, MK_LBUTTON);
  EXPECT_TRUE(Requests().empty());
}

TEST_F(ScrollBarTest, DrawsTheImagesAndValidatesWhenPainted) {
  owner.SetRange(100, 24, 38);
  bar->UpdateThumb();
  CClientDC screen(nullptr);
  CDC dc;
  dc.CreateCompatibleDC(screen);
  CBitmap surface;
  surface.CreateCompatibleBitmap(screen, kWidth, 200);
  platform::SelectGuard select(dc, surface.GetSafeHandle());
  bar->SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.m_hDC), PRF_CLIENT);
  EXPECT_EQ(::GetPixel(dc, 5, 100), kThumbColour);
  EXPECT_EQ(::GetPixel(dc, 5, 50), kSpanColour);
  EXPECT_EQ(::GetPixel(dc, 5, 8), RGB(250, 0, 0));
  EXPECT_EQ(::GetPixel(dc, 5, 190), RGB(200, 0, 0));
  EXPECT_EQ(::GetPixel(dc, 5, 198), RGB(8, 8, 8));

  bar->Invalidate();
  bar->SendMessage(WM_PAINT);
  RECT update{};
  EXPECT_FALSE(::GetUpdateRect(bar->m_hWnd, &update, FALSE));
}

TEST(ScrollBarWithoutImages, NothingIsDrawnOrHit) {
  platform::testing::GuiTestHost host;
  FakeOwner owner;
  ASSERT_TRUE(owner.CreateEx(0, CWnd::DefaultClassName(), L"", WS_CHILD | WS_VISIBLE, RECT{0, 0, 50, 50}, &host, 1));
  CVScrollBar bar(&owner);
  bar.SetBitmaps(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(bar.Create(L"", WS_CHILD | WS_VISIBLE, RECT{60, 0, 72, 100}, &host));
  bar.UpdateThumb();
  bar.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(0, 5));
  bar.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(0, 50));
  bar.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(0, 5));
  host.Pump();
  // A missing thumb (0 x 0 at the top) cannot be dragged; the release below it is one page request.
  EXPECT_EQ(owner.requests, std::vector<WPARAM>{SB_PAGEDOWN});
  ::ReleaseCapture();
}

}  // namespace
