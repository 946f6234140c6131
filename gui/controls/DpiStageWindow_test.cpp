#include "gui/controls/DpiStageWindow.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "gui/Messages.h"
#include "gui/testing/DrawProbe.h"
#include "gui/testing/TestBitmaps.h"
#include "platform/testing/GuiTestHost.h"

namespace {

using gui::testing::SolidBitmap;

constexpr COLORREF kFace = RGB(0, 150, 0), kSelectedFace = RGB(150, 150, 0), kBox = RGB(0, 0, 150),
                   kPrefill = RGB(1, 2, 3);

// A 100 x 60 pane at (50, 50) of the host: a single box and an X and a Y box.
class DpiStageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (COLORREF c : {kFace, kSelectedFace, kBox}) images.emplace_back(SolidBitmap(200, 200, c));
    const std::vector<DpiPictureArea> pictures = {
        {L"DPIFRAME", images[0], nullptr, RECT{0, 0, 100, 60}},
        {L"dpiframeselected", images[1], nullptr, RECT{0, 0, 100, 60}},
        {L"DPIWIN", images[2], nullptr, RECT{10, 30, 90, 50}},
        {L"DPIWINX", images[2], nullptr, RECT{10, 30, 45, 50}},
        {L"DPIWINY", images[2], nullptr, RECT{55, 30, 90, 50}},
        {L"SOMETHINGELSE", images[1], nullptr, RECT{10, 30, 90, 50}},
    };
    ASSERT_TRUE(pane.Create(host, pictures, {{L"HEADING", L"Stage", RECT{0, 0, 100, 20}}}, RECT{50, 50, 150, 110}, 640));
    pane.id = 640;
  }
  // The pane printed (and erased first, as a repaint would) into a pre-filled DC.
  COLORREF PrintedAt(int x, int y) {
    gui::testing::DrawSurface surface(100, 60, kPrefill);
    pane.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(surface.dc()));
    gui::testing::PrintClient(pane, surface);
    return surface.Pixel(x, y);
  }


  platform::testing::GuiTestHost host;
  std::vector<CBitmap> images;
  CDPIStageWindow pane{2};
};

TEST_F(DpiStageTest, AHiddenPaneLeavesWhatLiesBehindItAlone) {
  EXPECT_EQ(PrintedAt(5, 5), kPrefill);
  EXPECT_EQ(PrintedAt(20, 40), kPrefill);
}

TEST_F(DpiStageTest, AVisiblePaneShowsItsFaceAndTheSelectedFaceWhenSelected) {
  pane.m_visible = 1;
  EXPECT_EQ(PrintedAt(5, 25), kFace);
  EXPECT_EQ(PrintedAt(11, 31), kBox);  // the single box, outside the value's rectangle
  pane.m_selected = 1;
  EXPECT_EQ(PrintedAt(5, 25), kSelectedFace);
}

TEST_F(DpiStageTest, InXYModeEachValueIsWrittenOnABlackBox) {
  pane.m_visible = 1;
  pane.m_xyMode = 1;
  pane.m_valueX = 1200;
  pane.m_valueY = 0;
  EXPECT_EQ(PrintedAt(11, 31), kBox);     // the X box's edge
  EXPECT_EQ(PrintedAt(13, 32), RGB(0, 0, 0));  // inside: the black value box
  EXPECT_EQ(PrintedAt(56, 31), kBox);
  EXPECT_EQ(PrintedAt(58, 32), RGB(0, 0, 0));
  EXPECT_EQ(pane.m_valueXText, L"1200");
  EXPECT_EQ(pane.m_valueYText, L"0");
}

TEST_F(DpiStageTest, ADisabledPaneTakesNoSelection) {
  pane.m_enabled = 0;
  pane.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(50, 30));
  EXPECT_EQ(pane.m_selected, 0);
  EXPECT_TRUE(host.ReceivedOf(DpiStageClickedMessage).empty());
}

}  // namespace
