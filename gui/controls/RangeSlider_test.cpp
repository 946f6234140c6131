#include "gui/controls/RangeSlider.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "gui/Messages.h"
#include "gui/testing/DrawProbe.h"
#include "gui/testing/TestBitmaps.h"
#include "platform/testing/GuiTestHost.h"
#include "platform/testing/MessageSequence.h"

namespace {

using gui::testing::SolidBitmap;

void SendAtParentPoint(const CWnd& window, UINT msg, POINT parentPoint) {
  ::MapWindowPoints(::GetParent(window), window, &parentPoint, 1);
  window.SendMessage(msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(parentPoint.x, parentPoint.y));
}

int LeftInParent(HWND window) {
  RECT r;
  ::GetWindowRect(window, &r);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(window), reinterpret_cast<POINT*>(&r), 2);
  return r.left;
}

// The window's client area printed into a surface pre-filled with another colour.
struct Printed : gui::testing::DrawSurface {
  Printed(const CWnd& window, int w, int h) : DrawSurface(w, h, RGB(1, 2, 3)) { gui::testing::PrintClient(window, *this); }
  COLORREF At(int x, int y) const { return Pixel(x, y); }
};

bool Near(COLORREF a, COLORREF b) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= 2 && std::abs(GetGValue(a) - GetGValue(b)) <= 2 &&
         std::abs(GetBValue(a) - GetBValue(b)) <= 2;
}

// A range slider 310 x 12 at (20, 20) of the host with three 8-pixel thumbs set up
// as the skin builder sets it up.
class RangeSliderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    track.Attach(SolidBitmap(400, 100, RGB(0, 0, 0)));
    ASSERT_TRUE(slider.Create(host, track, nullptr, nullptr, 20, 20, 330, 32));
    slider.id = 610;
    for (int i = 0; i < 3; ++i) {
      auto thumb = std::make_unique<CPHSlider>();
      thumb->id = 620 + i;
      ASSERT_TRUE(thumb->Create(SolidBitmap(8, 12, RGB(0, 200, 0)), slider, SolidBitmap(8, 12, RGB(200, 0, 0)), 0, 0, 0, 310, 12));
      slider.m_thumbs.push_back(std::move(thumb));
    }
    slider.SetDefaultStages();
    slider.SetTickerCapRanges();
    slider.SetDefaultColours();
    host.Pump();
    host.ClearReceived();
  }
  void TearDown() override { ::ReleaseCapture(); }
  void DragThumb(size_t index, int toX) {
    CPHSlider& t = *slider.m_thumbs[index];
    SendAtParentPoint(t, WM_LBUTTONDOWN, POINT{LeftInParent(t) + 4, 6});
    SendAtParentPoint(t, WM_MOUSEMOVE, POINT{toX, 6});
    SendAtParentPoint(t, WM_LBUTTONUP, POINT{toX, 6});
    host.Pump();  // the thumbs' news renew the cap ranges
  }
  std::vector<int> Stages() const {
    std::vector<int> s;
    for (const auto& t : slider.m_thumbs) s.push_back(t->m_stage);
    return s;
  }

  platform::testing::GuiTestHost host;
  CBitmap track;
  CAPMSlider slider;
};

TEST_F(RangeSliderTest, SetUpSpreadsTheThumbsAndGivesEveryRangeAGrey) {
  EXPECT_EQ(Stages(), (std::vector<int>{8, 15, 22}));
  ASSERT_EQ(slider.m_colours.size(), 4u);
  // a = 4 * 255 / 31 = 32: greys 0, 32, 64, 96.
  EXPECT_EQ(slider.m_colours[3], RGB(96, 96, 96));
  EXPECT_EQ(slider.m_thumbs[1]->m_capMin, 8);
  EXPECT_EQ(slider.m_thumbs[1]->m_capMax, 22);
}

TEST_F(RangeSliderTest, AClickOnTheTrackReportsTheRangeUnderThePointer) {
  for (size_t i = 0; i < 3; ++i) slider.m_thumbs[i]->SetStage(8 * static_cast<int>(i + 1));
  struct Case {
    int stage;  // the stage under the click: x = (stage - 1) * 10
    WPARAM range;
  } cases[] = {{1, 0}, {7, 0}, {8, 1}, {20, 2}, {24, 3}, {30, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stage);
    slider.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM((c.stage - 1) * 10, 6));
    host.Pump();
    const auto posts = host.ReceivedOf(ApmRangeReachedMessage);
    host.ClearReceived();
    // The parent is both the owner and the linked window: one message.
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].wParam, c.range);
    EXPECT_EQ(posts[0].lParam, 610);
  }
}

TEST_F(RangeSliderTest, WithCapRangesTheStagesStayInOrderWhicheverThumbIsDragged) {
  DragThumb(1, 300);  // the middle thumb towards the end: held at its right neighbour
  EXPECT_EQ(Stages(), (std::vector<int>{8, 22, 22}));
  DragThumb(2, 0);  // the last one towards the start: held at the middle one
  EXPECT_EQ(Stages(), (std::vector<int>{8, 22, 22}));
  DragThumb(0, 310);
  EXPECT_EQ(Stages(), (std::vector<int>{22, 22, 22}));
  DragThumb(1, 0);
  EXPECT_EQ(Stages(), (std::vector<int>{22, 22, 22}));
  // Each relayed notification reaches the parent once: a stage reached on the
  // way (none for a thumb held where it was), then the drop's stage.
  const auto stage = [](WPARAM s, LPARAM thumbId) { return platform::testing::ExpectedMessage{SliderChangedMessage, s, thumbId}; };
  EXPECT_TRUE(platform::testing::SequenceMatches(
      host.Received(), {stage(22, 621), stage(22, 621), stage(22, 622), stage(22, 620), stage(22, 620), stage(22, 621)},
      {SliderChangedMessage, ApmRangeReachedMessage, MarkerMovedMessage}));
}

TEST_F(RangeSliderTest, WithoutCapRangesAThumbMayPassItsNeighbour) {
  slider.m_noCapRanges = 1;
  slider.RemoveTickerCapRanges();
  DragThumb(0, 300);
  EXPECT_EQ(Stages(), (std::vector<int>{31, 15, 22}));
}

TEST_F(RangeSliderTest, EachRangeShowsItsColourUnderTheTrackPictureAndOneWithoutAColourIsBlack) {
  slider.m_colours = {RGB(255, 0, 0), RGB(0, 255, 0)};
  slider.m_alpha = 50;
  // Thumb positions with stages 8, 15, 22 on 310 pixels: 74, 144, 214 (half a thumb added).
  const Printed printed(slider, 310, 12);
  const int kept = 255 - 255 * 50 / 255;  // what is left of a colour under a black picture
  EXPECT_TRUE(Near(printed.At(10, 6), RGB(kept, 0, 0)));
  EXPECT_TRUE(Near(printed.At(100, 6), RGB(0, kept, 0)));
  EXPECT_TRUE(Near(printed.At(180, 6), RGB(0, 0, 0)));
  EXPECT_TRUE(Near(printed.At(300, 6), RGB(0, 0, 0)));
}

TEST(RangeSlider, WithoutThumbsTheWholeTrackIsTheFirstColourAndEveryClickRangeZero) {
  platform::testing::GuiTestHost host;
  CAPMSlider slider;
  ASSERT_TRUE(slider.Create(host, nullptr, nullptr, nullptr, 0, 0, 100, 10));
  slider.SetDefaultStages();
  slider.SetTickerCapRanges();
  slider.SetDefaultColours();
  ASSERT_EQ(slider.m_colours.size(), 1u);
  slider.m_colours[0] = RGB(10, 20, 30);
  const Printed printed(slider, 100, 10);
  EXPECT_EQ(printed.At(50, 5), RGB(10, 20, 30));
  EXPECT_EQ(slider.RangeAt(90), 0);
}

// ---- the marker: 100 x 10 at (20, 200), range 0..10 ----

class MarkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    back.Attach(SolidBitmap(300, 300, RGB(0, 0, 200)));
    mark.Attach(SolidBitmap(300, 300, RGB(200, 0, 0)));
    ASSERT_TRUE(marker.Create(RECT{20, 200, 120, 210}, 44, host));
    marker.SetBitmaps(back, mark, 20, 200, 120, 210);
  }
  void TearDown() override { ::ReleaseCapture(); }
  std::vector<platform::testing::SentMessage> Posts() {
    host.Pump();
    auto posts = host.ReceivedOf(MarkerMovedMessage);
    host.ClearReceived();
    return posts;
  }

  platform::testing::GuiTestHost host;
  CBitmap back, mark;
  CDMarker marker;
};

TEST_F(MarkerTest, ADragReportsTheValueAtTheDropWithinTheRange) {
  struct Case {
    int dropX;
    int value;
  } cases[] = {{0, 0}, {20, 0}, {70, 5}, {119, 9}, {120, 10}, {500, 10}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dropX);
    SendAtParentPoint(marker, WM_LBUTTONDOWN, POINT{60, 205});
    SendAtParentPoint(marker, WM_MOUSEMOVE, POINT{c.dropX, 205});
    SendAtParentPoint(marker, WM_LBUTTONUP, POINT{c.dropX, 205});
    EXPECT_EQ(marker.m_value, c.value);
    const auto posts = Posts();
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].wParam, static_cast<WPARAM>(c.value));
    EXPECT_EQ(posts[0].lParam, 44);
    EXPECT_EQ(::GetCapture(), nullptr);
  }
}

TEST_F(MarkerTest, TheFilledPartEndsAtTheValueAndAnOutOfRangeValueIsDrawnClamped) {
  marker.m_value = 5;
  Printed half(marker, 100, 10);
  EXPECT_EQ(half.At(49, 5), RGB(200, 0, 0));
  EXPECT_EQ(half.At(50, 5), RGB(0, 0, 200));
  marker.m_value = 99;
  Printed full(marker, 100, 10);
  EXPECT_EQ(full.At(99, 5), RGB(200, 0, 0));
  marker.m_value = 3;
  marker.m_max = 0;  // an empty range: nothing is filled
  Printed empty(marker, 100, 10);
  EXPECT_EQ(empty.At(0, 5), RGB(0, 0, 200));
  EXPECT_EQ(marker.ValueAt(70), 0);
}

TEST_F(MarkerTest, LosingTheCaptureEndsTheDragOnceAndAStrayReleaseChangesNothing) {
  SendAtParentPoint(marker, WM_LBUTTONDOWN, POINT{30, 205});
  SendAtParentPoint(marker, WM_MOUSEMOVE, POINT{90, 205});
  marker.SendMessage(WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(marker.m_hWnd));
  EXPECT_EQ(marker.m_dragging, 1);
  CWnd other;
  ASSERT_TRUE(other.Create(nullptr, L"", WS_CHILD | WS_VISIBLE, RECT{300, 300, 310, 310}, &host, 9));
  other.SetCapture();
  EXPECT_EQ(::GetCapture(), other.m_hWnd);
  auto posts = Posts();
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].wParam, 7u);
  ::ReleaseCapture();
  SendAtParentPoint(marker, WM_LBUTTONUP, POINT{20, 205});
  EXPECT_EQ(marker.m_value, 7);
  EXPECT_TRUE(Posts().empty());
  // A marker that is not interactive cannot be changed.
  marker.m_interactive = 0;
  SendAtParentPoint(marker, WM_LBUTTONDOWN, POINT{30, 205});
  SendAtParentPoint(marker, WM_LBUTTONUP, POINT{110, 205});
  EXPECT_EQ(marker.m_value, 7);
  EXPECT_TRUE(Posts().empty());
}

TEST_F(MarkerTest, LosingTheFocusMidDragEndsTheDragAndGivesTheMouseBack) {
  CWnd other;
  ASSERT_TRUE(other.Create(nullptr, L"", WS_CHILD | WS_VISIBLE, RECT{300, 300, 310, 310}, &host, 9));
  marker.SetFocus();
  SendAtParentPoint(marker, WM_LBUTTONDOWN, POINT{30, 205});
  SendAtParentPoint(marker, WM_MOUSEMOVE, POINT{90, 205});
  ASSERT_EQ(::GetCapture(), marker.m_hWnd);
  other.SetFocus();
  EXPECT_EQ(marker.m_dragging, 0);
  EXPECT_NE(::GetCapture(), marker.m_hWnd) << "the focus went, the mouse goes too";
  SendAtParentPoint(marker, WM_LBUTTONUP, POINT{110, 205});
  EXPECT_EQ(::GetCapture(), nullptr);
  EXPECT_TRUE(Posts().empty()) << "a drag ended by the focus reports nothing";
}

}  // namespace
