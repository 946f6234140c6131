#include "gui/controls/Sliders.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "gui/Messages.h"
#include "gui/testing/DrawProbe.h"
#include "gui/testing/TestBitmaps.h"
#include "platform/testing/GuiTestHost.h"
#include "platform/testing/MessageSequence.h"

namespace {

using platform::testing::ExpectedSequence;
using platform::testing::SequenceMatches;

// Every report a slider makes; a drag must make its own and no other.
const platform::testing::MessageSet kSliderNews{SliderChangedMessage, MarkerMovedMessage, ApmRangeReachedMessage};

// The stage changes of a drag as its owner sees them: (stage, thumb id) each.
ExpectedSequence StageNews(std::initializer_list<int> stages, LPARAM thumbId) {
  ExpectedSequence news;
  for (int stage : stages) news.push_back({SliderChangedMessage, static_cast<WPARAM>(stage), thumbId});
  return news;
}

using gui::testing::SolidBitmap;

// Sends a mouse message to the window at a point of its parent's client area,
// turned into the window's client coordinates as it lies now (thumbs move mid-drag).
void SendAtParentPoint(const CWnd& window, UINT msg, POINT parentPoint) {
  ::MapWindowPoints(::GetParent(window), window, &parentPoint, 1);
  window.SendMessage(msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(parentPoint.x, parentPoint.y));
}

void Drag(const CWnd& window, POINT from, const std::vector<POINT>& moves, POINT to) {
  SendAtParentPoint(window, WM_LBUTTONDOWN, from);
  for (POINT p : moves) SendAtParentPoint(window, WM_MOUSEMOVE, p);
  SendAtParentPoint(window, WM_MOUSEMOVE, to);
  SendAtParentPoint(window, WM_LBUTTONUP, to);
}

RECT RectInParent(HWND window) {
  RECT r;
  ::GetWindowRect(window, &r);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(window), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

COLORREF PrintedPixel(const CWnd& window, int x, int y) {
  gui::testing::DrawSurface surface(400, 400, RGB(1, 2, 3));
  gui::testing::PrintClient(window, surface);
  return surface.Pixel(x, y);
}

// ---- the vertical slider: track 10..210 on the host, thumb 20 x 20 ----

class VertSliderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    thumb.Attach(SolidBitmap(20, 20, RGB(0, 0, 200)));
    ASSERT_TRUE(slider.Create(77, host, thumb, 30, 10, 50, 210));
    slider.SetThumbBitmap(thumb, 30, 10, 50, 210);
  }
  void TearDown() override { ::ReleaseCapture(); }
  std::vector<platform::testing::SentMessage> Posts() {
    host.Pump();
    auto posts = host.ReceivedOf(SliderChangedMessage);
    host.ClearReceived();
    return posts;
  }

  platform::testing::GuiTestHost host;
  CBitmap thumb;
  CVertSlider slider;
};

TEST_F(VertSliderTest, TheWindowIsTheThumbAtTheTracksTopAndDrawsItsImage) {
  const RECT r = RectInParent(slider);
  EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right, r.bottom}), (std::vector<LONG>{30, 10, 50, 30}));
  EXPECT_EQ(PrintedPixel(slider, 10, 10), RGB(0, 0, 200));
}

TEST_F(VertSliderTest, ADragReportsThePercentageOfWhereTheThumbWasDropped) {
  struct Case {
    int dropY;     // where the pointer is released, 5 pixels below the grab point
    int minValue, maxValue;
    int thumbTop;  // where the thumb ends
    int value;
  } cases[] = {
      {15, 0, 0, 10, 100},   // back at the top
      {300, 0, 0, 190, 0},   // beyond the bottom: held at the bottom
      {105, 0, 0, 100, 50},  // half way down the 180 pixels of travel
      {-50, 0, 0, 10, 100},  // above the top: held at the top
      {15, 20, 80, 10, 80},  // the clamp range
      {300, 20, 80, 190, 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dropY);
    slider.MoveWindow(30, 10, 20, 20);
    slider.m_minValue = c.minValue;
    slider.m_maxValue = c.maxValue;
    Drag(slider, POINT{40, 15}, {POINT{40, 60}}, POINT{40, c.dropY});
    EXPECT_EQ(RectInParent(slider).top, c.thumbTop);
    EXPECT_EQ(slider.m_value, c.value);
    const auto posts = Posts();
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].wParam, static_cast<WPARAM>(c.value));
    EXPECT_EQ(posts[0].lParam, 77);
    EXPECT_EQ(::GetCapture(), nullptr);
  }
}

TEST_F(VertSliderTest, AThumbAsTallAsItsTrackStaysAtTheTopAndReportsAHundred) {
  CVertSlider tall;
  CBitmap big(SolidBitmap(20, 200, RGB(0, 0, 200)));
  ASSERT_TRUE(tall.Create(5, host, big, 100, 10, 120, 110));
  Drag(tall, POINT{110, 20}, {}, POINT{110, 90});
  EXPECT_EQ(RectInParent(tall).top, 10);
  EXPECT_EQ(tall.m_value, 100);
}

TEST_F(VertSliderTest, LosingTheCaptureMidDragEndsItOnceWithoutTakingTheCaptureBack) {
  SendAtParentPoint(slider, WM_LBUTTONDOWN, POINT{40, 15});
  SendAtParentPoint(slider, WM_MOUSEMOVE, POINT{40, 105});
  // Wine reports a window re-taking its own capture: that ends nothing.
  slider.SendMessage(WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(slider.m_hWnd));
  EXPECT_EQ(slider.m_dragging, 1);
  CWnd other;
  ASSERT_TRUE(other.Create(nullptr, L"", WS_CHILD | WS_VISIBLE, RECT{300, 300, 310, 310}, &host, 9));
  other.SetCapture();
  EXPECT_EQ(slider.m_dragging, 0);
  EXPECT_EQ(::GetCapture(), other.m_hWnd);
  const auto posts = Posts();
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].wParam, 50u);
  // The release that follows ends no drag of the slider's: nothing more.
  ::ReleaseCapture();
  SendAtParentPoint(slider, WM_LBUTTONUP, POINT{40, 150});
  EXPECT_TRUE(Posts().empty());
  EXPECT_EQ(slider.m_value, 50);
}

// ---- one stepped thumb on the host: track 0..310 at y 40, thumb 10 x 12 ----

class StepThumbTest : public ::testing::Test {
 protected:
  void SetUp() override { Build(0, 0, 1); }
  void TearDown() override { ::ReleaseCapture(); }
  void Build(int leftOffset, int rightOffset, int makeRegion) {
    thumb = std::make_unique<CPHSlider>();
    thumb->id = 300;
    thumb->m_leftOffset = leftOffset;
    thumb->m_rightOffset = rightOffset;
    ASSERT_TRUE(thumb->Create(SolidBitmap(10, 12, RGB(0, 200, 0)), host, SolidBitmap(10, 12, RGB(200, 0, 0)), makeRegion, 0,
                              40, 310, 52));
  }
  std::vector<platform::testing::SentMessage> Posts() {
    host.Pump();
    auto posts = host.ReceivedOf(SliderChangedMessage);
    host.ClearReceived();
    return posts;
  }
  std::vector<platform::testing::SentMessage> AllNews() {
    host.Pump();
    auto posts = host.Received();
    host.ClearReceived();
    return posts;
  }

  platform::testing::GuiTestHost host;
  std::unique_ptr<CPHSlider> thumb;
};

TEST_F(StepThumbTest, StagesSpreadOverTheTrackAndEveryStageIsReachableByDragging) {
  // 31 steps over 310 pixels: 10 pixels a stage, stage 1 centred at x 0.
  EXPECT_FLOAT_EQ(thumb->m_pixelsPerStage, 10.0f);
  struct Case {
    int dropX;
    int stage;
    int thumbLeft;
    // Each stage passed on the way (moves to dropX + 3, then dropX), then the drop's.
    std::initializer_list<int> news;
  } cases[] = {
      {0, 1, -5, {1, 1}},     {-40, 1, -5, {1, 1}},  {14, 2, 5, {3, 2, 2}}, {16, 3, 15, {3, 3}},
      {310, 32, 305, {32, 32}}, {400, 32, 305, {32, 32}},
      {150, 16, 145, {16}},  // never left its stage: the drop's news only
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dropX);
    thumb->SetStage(16);
    Posts();
    const RECT now = RectInParent(*thumb);
    Drag(*thumb, POINT{now.left + 5, 45}, {POINT{c.dropX + 3, 45}}, POINT{c.dropX, 45});
    EXPECT_EQ(thumb->m_stage, c.stage);
    EXPECT_EQ(RectInParent(*thumb).left, c.thumbLeft);
    EXPECT_TRUE(SequenceMatches(AllNews(), StageNews(c.news, 300), kSliderNews));
  }
}

TEST_F(StepThumbTest, ALeftOffsetShiftsTheScaleWithoutLosingTheTopStage) {
  Build(40, 0, 0);
  thumb->SetStage(32);
  const RECT at32 = RectInParent(*thumb);
  // Dropped in place (grabbed and released at its centre), it stays at 32.
  Drag(*thumb, POINT{at32.left + 5, 45}, {}, POINT{at32.left + 5, 45});
  EXPECT_EQ(thumb->m_stage, 32);
  EXPECT_EQ(RectInParent(*thumb).left, at32.left);
  thumb->SetStage(1);
  EXPECT_EQ(RectInParent(*thumb).left, 40 - 5);
  EXPECT_EQ(thumb->StageFromCentre(0), 1);
}

TEST_F(StepThumbTest, ATrackWithoutRoomGivesTheLowestStageOfTheCapRangeAtTheTracksStart) {
  Build(200, 200, 0);  // the offsets leave a negative span
  thumb->SetCapRange(20, 4);
  Drag(*thumb, POINT{205, 45}, {POINT{250, 45}}, POINT{260, 45});
  EXPECT_EQ(thumb->m_stage, 4);
  EXPECT_EQ(RectInParent(*thumb).left + 5, 200);
}

TEST_F(StepThumbTest, CapRangesHoldTheStageAndAnInvertedPairIsOrdered) {
  thumb->SetCapRange(4, 10);  // max 4, min 10: taken as 4..10
  EXPECT_EQ(thumb->m_capMin, 4);
  EXPECT_EQ(thumb->m_capMax, 10);
  thumb->SetCapRange(99, -5);
  EXPECT_EQ(thumb->m_capMin, 1);
  EXPECT_EQ(thumb->m_capMax, 32);
  thumb->SetCapRange(10, 4);
  // Dropped beyond its cap, the thumb keeps the cap's stage but stays where dropped.
  thumb->SetStage(4);
  Drag(*thumb, POINT{RectInParent(*thumb).left + 5, 45}, {}, POINT{200, 45});
  EXPECT_EQ(thumb->m_stage, 10);
  EXPECT_EQ(RectInParent(*thumb).left + 5, 200);
}

TEST_F(StepThumbTest, LosingTheCaptureEndsTheDragAtTheLastPositionAndAStrayReleaseDoesNothing) {
  thumb->SetStage(1);
  Posts();
  SendAtParentPoint(*thumb, WM_LBUTTONDOWN, POINT{0, 45});
  SendAtParentPoint(*thumb, WM_MOUSEMOVE, POINT{100, 45});
  ASSERT_EQ(thumb->m_stage, 11);
  // Only the drag's own news are taken now: pumping everything mid-drag would let
  // Wine's moves from the parked cursor reach the thumb that holds the capture.
  MSG drained;
  while (::PeekMessageW(&drained, host.m_hWnd, SliderChangedMessage, SliderChangedMessage, PM_REMOVE)) {
  }
  host.ClearReceived();
  CWnd other;
  ASSERT_TRUE(other.Create(nullptr, L"", WS_CHILD | WS_VISIBLE, RECT{300, 300, 310, 310}, &host, 9));
  other.SetCapture();
  EXPECT_EQ(thumb->m_dragging, 0);
  EXPECT_EQ(::GetCapture(), other.m_hWnd);
  auto posts = Posts();
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].wParam, 11u);
  ::ReleaseCapture();
  SendAtParentPoint(*thumb, WM_LBUTTONUP, POINT{250, 45});
  EXPECT_EQ(thumb->m_stage, 11);
  EXPECT_TRUE(Posts().empty());
}

TEST_F(StepThumbTest, HoverShowsTheOverImageAndTheLeaveFlagGoesWithTheThumb) {
  EXPECT_EQ(PrintedPixel(*thumb, 5, 6), RGB(0, 200, 0));
  thumb->SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 6));
  EXPECT_EQ(thumb->m_hover, 1);
  EXPECT_TRUE(CPHSlider::LeaveTrackingRequested());
  EXPECT_EQ(PrintedPixel(*thumb, 5, 6), RGB(200, 0, 0));
  // A thumb destroyed while it holds the request gives it back.
  thumb.reset();
  EXPECT_FALSE(CPHSlider::LeaveTrackingRequested());
}

TEST_F(StepThumbTest, TheRegionLeavesOutTheCornersColourAndBelongsToTheWindow) {
  thumb.reset();
  thumb = std::make_unique<CPHSlider>();
  // A thumb drawn as a 6-pixel wide bar on a magenta ground.
  HBITMAP shaped = gui::testing::MakeBitmap(
      10, 12, [](int x, int) { return x >= 2 && x < 8 ? RGB(0, 200, 0) : RGB(255, 0, 255); });
  ASSERT_TRUE(thumb->Create(shaped, host, SolidBitmap(10, 12, RGB(200, 0, 0)), 1, 0, 40, 310, 52));
  CRgn region;
  region.CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(::GetWindowRgn(*thumb, region), ERROR);
  EXPECT_FALSE(region.PtInRegion(0, 5));
  EXPECT_TRUE(region.PtInRegion(4, 5));
  EXPECT_FALSE(region.PtInRegion(9, 5));
  EXPECT_NE(thumb->m_region, nullptr);
}

// ---- the multi-thumb track ----

class MultiSliderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<std::unique_ptr<CPHSlider>> thumbs;
    for (int i = 0; i < 2; ++i) thumbs.push_back(std::make_unique<CPHSlider>());
    slider = std::make_unique<CSliderHMulti>(std::move(thumbs));
    ASSERT_TRUE(slider->Create(host, SolidBitmap(10, 12, 0), 20, 20, 330, 32));
    int n = 0;
    for (auto& t : slider->m_thumbs) {
      t->id = 500 + n;
      ASSERT_TRUE(t->Create(SolidBitmap(10, 12, RGB(0, 200, 0)), *slider, SolidBitmap(10, 12, RGB(200, 0, 0)), 0, 0, 0, 310, 12));
      t->SetStage(3 + n++);
    }
  }
  void TearDown() override { ::ReleaseCapture(); }
  std::vector<platform::testing::SentMessage> Posts() {
    host.Pump();
    auto posts = host.ReceivedOf(SliderChangedMessage);
    host.ClearReceived();
    return posts;
  }

  platform::testing::GuiTestHost host;
  std::unique_ptr<CSliderHMulti> slider;
};

TEST_F(MultiSliderTest, SettingOffsetsMovesTheThumbsOntoTheNewScaleAtTheirStages) {
  const int before = RectInParent(*slider->m_thumbs[0]).left;
  slider->SetOffsets(20, 30);
  CPHSlider& first = *slider->m_thumbs[0];
  EXPECT_EQ(first.m_leftOffset, 20);
  EXPECT_EQ(first.m_trackStart, 20);
  EXPECT_EQ(first.m_stage, 3);
  // Stage 3 on the new scale: two steps of (310 - 30 - 20) / 31 from x 20.
  EXPECT_EQ(RectInParent(first).left, static_cast<int>(first.m_pixelsPerStage * 2) + 20 - 5);
  EXPECT_NE(RectInParent(first).left, before);
  // Dropped in place it keeps its stage.
  const RECT at = RectInParent(first);
  Drag(first, POINT{at.left + 5, 6}, {}, POINT{at.left + 5, 6});
  EXPECT_EQ(first.m_stage, 3);
}

TEST_F(MultiSliderTest, ATrackClickMovesTheFirstThumbAndTheNewsReachesTheOwnerOnce) {
  slider->m_linkedWindow = host;  // owner and linked window are one window
  slider->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(100, 6));
  EXPECT_EQ(slider->m_thumbs[0]->m_stage, 11);
  const auto posts = Posts();
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].wParam, 11u);
  EXPECT_EQ(posts[0].lParam, 500);
  // A thumb's own drag is passed on the same way, each report once.
  Drag(*slider->m_thumbs[1], POINT{RectInParent(*slider->m_thumbs[1]).left + 5, 6}, {}, POINT{200, 6});
  host.Pump();
  EXPECT_TRUE(SequenceMatches(host.Received(), StageNews({21, 21}, 501), kSliderNews));
}

TEST(MultiSlider, ATrackWithoutThumbsIgnoresClicksAndPostsToNoNullWindow) {
  platform::testing::GuiTestHost host;
  CSliderHMulti empty({});
  ASSERT_TRUE(empty.Create(host, nullptr, 0, 0, 100, 10));
  empty.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(50, 5));
  empty.SendMessage(SliderChangedMessage, 4, 9);
  host.Pump();
  EXPECT_EQ(host.ReceivedOf(SliderChangedMessage).size(), 1u);  // the relayed one only
}

}  // namespace
