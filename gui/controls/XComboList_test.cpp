#include "gui/controls/XComboList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/Messages.h"
#include "gui/testing/PopupSteps.h"
#include "platform/testing/GuiTestHost.h"

using namespace gui::testing;

namespace {

class XComboListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(popup.CreateEx(0, CWnd::DefaultClassName(), L"", WS_POPUP | WS_VISIBLE | WS_BORDER | WS_VSCROLL,
                               RECT{150, 150, 300, 150 + kHeight}, host.m_hWnd, 0));
    for (int i = 0; i < 30; ++i) popup.ListBox().AddString((i % 2 ? L"b" : L"a") + std::to_wstring(i));
  }
  std::vector<UINT> ComboMessages() {
    std::vector<UINT> out;
    for (const auto& m : host.Received())
      if (m.msg >= 0xC000) out.push_back(m.msg);
    return out;
  }
  int Pos() { return popup.ScrollBar().GetScrollPos(); }
  void Key(WPARAM key) {
    PostKey(popup.ListBox().m_hWnd, key);
    host.Pump();
  }

  static constexpr int kHeight = 107;
  platform::testing::GuiTestHost host;
  CXComboList popup{&host};
};

TEST_F(XComboListTest, FirstPlacementShrinksToWholeRowsOnly) {
  const int h = popup.ListBox().GetItemHeight(0);
  ASSERT_GT(h, 0);
  popup.PlaceAndShow();
  RECT r{};
  popup.GetWindowRect(&r);
  EXPECT_EQ(r.bottom - r.top, (kHeight / h) * h + 4);
  EXPECT_EQ(popup.Rows(), kHeight / h);
  popup.MoveWindow(150, 150, 150, kHeight + 40);
  popup.PlaceAndShow();
  popup.GetWindowRect(&r);
  EXPECT_EQ(r.bottom - r.top, (kHeight / h) * h + 4) << "the rows are counted once";
}

TEST_F(XComboListTest, KeysMoveTheBarAndTellTheOwner) {
  popup.PlaceAndShow();
  const UINT keyDown = gui::ComboListKeyDownMessage();
  // The system's bar keeps its position within maximum - page + 1.
  const int lastPosition = 30 - popup.Rows() + 1;
  struct Case {
    WPARAM key;
    int position;
    std::vector<UINT> messages;
  };
  const Case cases[] = {
      {VK_PRIOR, 0, {keyDown}},  // page up from entry 0: clamped, not 1 - page
      {VK_DOWN, 1, {keyDown}},
      {VK_END, lastPosition, {keyDown}},
      {VK_HOME, 0, {keyDown}},
      {'B', 1, {keyDown}},
      {'Z', 1, {}},  // no entry starts with Z: nothing
      {VK_RETURN, 1, {gui::ComboListVkReturnMessage()}},
      {VK_ESCAPE, 1, {gui::ComboListVkEscapeMessage()}},
  };
  for (const auto& c : cases) {
    host.ClearReceived();
    Key(c.key);
    EXPECT_EQ(ComboMessages(), c.messages) << "key " << c.key;
    EXPECT_EQ(Pos(), c.position) << "key " << c.key;
  }
}

TEST_F(XComboListTest, ClickInTheListAndThirdFocusLoss) {
  popup.PlaceAndShow();
  host.ClearReceived();
  popup.ListBox().PostMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  host.Pump();
  EXPECT_EQ(ComboMessages(), (std::vector<UINT>{gui::ComboListLButtonUpMessage()}));
  popup.m_focusLosses = 0;
  host.ClearReceived();
  popup.SendMessage(WM_KILLFOCUS);
  popup.SendMessage(WM_KILLFOCUS);
  EXPECT_TRUE(ComboMessages().empty());
  popup.SendMessage(WM_KILLFOCUS);
  EXPECT_EQ(ComboMessages(), (std::vector<UINT>{gui::ComboListVkEscapeMessage()}));
}

}  // namespace
