// Tests that use the real pointer or read the screen: they run alone.
#include <gtest/gtest.h>

#include <vector>

#include "gui/Messages.h"
#include "gui/controls/DpiStageWindow.h"
#include "gui/testing/TestBitmaps.h"
#include "platform/testing/GuiTestHost.h"

namespace {

using gui::testing::SolidBitmap;

// A left click by the system's input at a point of the screen; waits until `done`.
template <typename Done>
void ClickAt(platform::testing::GuiTestHost& host, POINT screen, Done done) {
  ::SetCursorPos(screen.x, screen.y);
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_MOUSE;
  input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ::SendInput(2, input, sizeof(INPUT));
  for (int i = 0; i < 50 && !done(); ++i) {
    host.Pump();
    ::Sleep(10);
  }
  host.ParkCursor();
  host.Pump();
}

TEST(DpiStageOnScreen, ARealClickSelectsTheStageOnceAndTellsTheParentItsIndex) {
  platform::testing::GuiTestHost host;
  CBitmap face(SolidBitmap(100, 60, RGB(0, 150, 0)));
  CDPIStageWindow pane(2);
  ASSERT_TRUE(pane.Create(host, {{L"DPIFRAME", face, nullptr, RECT{0, 0, 100, 60}}}, {}, RECT{50, 50, 150, 110}, 640));
  pane.id = 640;
  pane.m_visible = 1;
  POINT centre{50, 30};
  pane.ClientToScreen(&centre);
  // Found by hit-testing: a static that did not notify would let the click through to the host.
  EXPECT_EQ(::WindowFromPoint(centre), pane.m_hWnd);

  ClickAt(host, centre, [&] { return !host.ReceivedOf(DpiStageClickedMessage).empty(); });
  const auto clicked = host.ReceivedOf(DpiStageClickedMessage);
  ASSERT_EQ(clicked.size(), 1u);
  EXPECT_EQ(clicked[0].wParam, 2u);
  EXPECT_EQ(clicked[0].lParam, 640);
  EXPECT_EQ(pane.m_selected, 1);
  EXPECT_EQ(::GetFocus(), pane.m_hWnd);

  // A selected stage clicked again says nothing.
  host.ClearReceived();
  ClickAt(host, centre, [] { return false; });
  EXPECT_TRUE(host.ReceivedOf(DpiStageClickedMessage).empty());
}

}  // namespace
