#include "gui/panels/ListPanel.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/Messages.h"
#include "gui/controls/VScrollBar.h"
#include "gui/panels/DropdownListItem.h"
#include "gui/testing/PopupSteps.h"
#include "gui/testing/TestBitmaps.h"
#include "platform/Gdi.h"
#include "platform/testing/GuiTestHost.h"
#include "platform/testing/MessageSequence.h"

using namespace gui::testing;

namespace {

constexpr COLORREF kBack = RGB(10, 20, 30), kHotBack = RGB(200, 40, 40), kDisabledBack = RGB(40, 200, 40);

std::vector<ListPanelEntry> Entries(std::initializer_list<const wchar_t*> texts) {
  std::vector<ListPanelEntry> out;
  for (const wchar_t* t : texts) out.push_back(ListPanelEntry{t, nullptr, 0});
  return out;
}

class ListPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(opener.CreateEx(0, CWnd::DefaultClassName(), L"", WS_CHILD | WS_VISIBLE, RECT{10, 10, 300, 300}, &host, 5));
    ::SetCursorPos(730, 570);
    host.Pump();
    menu.SetEntries(Entries({L"zero", L"one", L"two", L"three"}));
    menu.m_look.background = kBack;
    menu.m_look.hotBackground = kHotBack;
    menu.m_look.disabledBackground = kDisabledBack;
  }
  void TearDown() override { ::ReleaseCapture(); }

  // Opens the menu with the given steps run inside its loop; each next step is
  // queued when the one before has run, so it comes after what that one posted.
  int Track(std::vector<std::function<void()>> steps, int height = 0) {
    Chain(std::make_shared<std::vector<std::function<void()>>>(std::move(steps)), 0);
    return menu.TrackPopup(&opener, height, 5, 5);
  }
  void Chain(std::shared_ptr<std::vector<std::function<void()>>> steps, size_t i) {
    if (i >= steps->size()) return;
    host.RunInNextLoop([this, steps, i] {
      (*steps)[i]();
      Chain(steps, i + 1);
    });
  }
  static std::function<void()> Keys(std::vector<WPARAM> keys) {
    return [keys] {
      HWND list = PopupList(TopPopup());
      ASSERT_NE(list, nullptr);
      for (WPARAM k : keys) PostKey(list, k);
    };
  }

  platform::testing::GuiTestHost host;
  CWnd opener;
  CListPanelItem menu{120, 100};
};

TEST_F(ListPanelTest, KeysChooseOrCancel) {
  struct Case {
    std::vector<WPARAM> keys;
    int expected;
  };
  const Case cases[] = {
      {{VK_ESCAPE}, -1},
      {{VK_HOME, VK_RETURN}, 0},
      {{VK_HOME, VK_DOWN, VK_RETURN}, 1},
      {{VK_END, VK_RETURN}, 3},
      {{VK_RIGHT, VK_ESCAPE}, -1},
      {{VK_RETURN}, -1},  // nothing selected, nothing hot
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Track({Keys(c.keys)}), c.expected) << "keys " << c.keys.size() << " last " << c.keys.back();
    EXPECT_TRUE(host.IsWindowEnabled());
    EXPECT_EQ(TopPopup(), nullptr);
  }
}

TEST_F(ListPanelTest, ClicksEndAfterTheTimer) {
  // A row: its entry, after timer 1.
  EXPECT_EQ(Track({[] {
              HWND list = PopupList(TopPopup());
              SendClick(list, Centre(RowRect(list, 2)));
              EXPECT_NE(TopPopup(), nullptr) << "the popup waits for the timer";
              ::SendMessageW(list, WM_TIMER, CListPanelList::kChooseTimer, 0);
            }}),
            2);
  // Outside the popup: -1 after the timer.
  EXPECT_EQ(Track({[] {
              HWND list = PopupList(TopPopup());
              SendClick(list, POINT{600, 600});
              ::SendMessageW(list, WM_TIMER, CListPanelList::kChooseTimer, 0);
            }}),
            -1);
  // Below the last row, inside the list: no row, -1.
  EXPECT_EQ(Track({[] {
              HWND list = PopupList(TopPopup());
              const RECT last = RowRect(list, 3);
              SendClick(list, POINT{20, last.bottom + 3});
              ::SendMessageW(list, WM_TIMER, CListPanelList::kChooseTimer, 0);
            }}),
            -1);
  // A right click closes without a choice, even over a row.
  EXPECT_EQ(Track({[] {
              HWND list = PopupList(TopPopup());
              SendClick(list, Centre(RowRect(list, 1)), WM_RBUTTONDOWN);
              ::SendMessageW(list, WM_TIMER, CListPanelList::kChooseTimer, 0);
            }}),
            -1);
}

TEST_F(ListPanelTest, ButtonDownTakesTheRowUnderItsOwnPointNotAStaleHotRow) {
  EXPECT_EQ(Track({[] {
              HWND list = PopupList(TopPopup());
              const POINT over0 = Centre(RowRect(list, 0));
              ::SendMessageW(list, WM_MOUSEMOVE, 0, MAKELPARAM(over0.x, over0.y));
              SendClick(list, Centre(RowRect(list, 3)));
              ::SendMessageW(list, WM_TIMER, CListPanelList::kChooseTimer, 0);
            }}),
            3);
}

TEST_F(ListPanelTest, BorderClickClosesOnlyWithoutScrollBar) {
  menu.m_look.borderWidth = 4;
  auto borderClick = [] {
    HWND list = PopupList(TopPopup());
    RECT client{};
    ::GetClientRect(list, &client);
    SendClick(list, POINT{client.left + 10, client.bottom + 2});  // the bottom border
  };
  EXPECT_EQ(Track({borderClick}), -1);

  ScrollBarBitmaps images{};
  for (auto& b : images) b = gui::testing::MakeBitmap(10, 6, [](int, int) { return RGB(1, 2, 3); });
  menu.m_look.scrollBarWidth = 10;
  menu.m_look.scrollBitmaps = images;
  bool stillOpen = false;
  EXPECT_EQ(Track({[&] {
              borderClick();
              stillOpen = TopPopup() != nullptr;
              HWND list = PopupList(TopPopup());
              SendClick(list, Centre(RowRect(list, 1)));
              ::SendMessageW(list, WM_TIMER, CListPanelList::kChooseTimer, 0);
            }}),
            1);
  EXPECT_TRUE(stillOpen);
  for (HBITMAP b : images) ::DeleteObject(b);
}

TEST_F(ListPanelTest, SortedPopupShowsTextOrderAndReportsEntryPositions) {
  menu.SetEntries(Entries({L"beta", L"Gamma", L"alpha"}));
  menu.m_look.sorted = true;
  EXPECT_EQ(Track({Keys({VK_HOME, VK_RETURN})}), 2);
  EXPECT_EQ(Track({Keys({VK_END, VK_RETURN})}), 1);
}

TEST_F(ListPanelTest, DisabledEntryIsDrawnDisabledAndStillChosen) {
  menu.m_entries[1].disabled = 1;
  COLORREF disabledRow = 0, hotRow = 0, plainRow = 0;
  EXPECT_EQ(Track({[&] {
              HWND list = PopupList(TopPopup());
              const POINT over2 = Centre(RowRect(list, 2));
              ::SendMessageW(list, WM_MOUSEMOVE, 0, MAKELPARAM(over2.x, over2.y));
              RECT client{};
              ::GetClientRect(list, &client);
              CClientDC screen(nullptr);
              HDC dc = ::CreateCompatibleDC(screen);
              HBITMAP bitmap = ::CreateCompatibleBitmap(screen, client.right, client.bottom);
              HGDIOBJ old = ::SelectObject(dc, bitmap);
              ::SendMessageW(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
              // Pixels at the right end of each row, clear of any text.
              auto at = [&](int row) { const RECT r = RowRect(list, row); return ::GetPixel(dc, r.right - 3, (r.top + r.bottom) / 2); };
              disabledRow = at(1);
              hotRow = at(2);
              plainRow = at(3);
              ::SelectObject(dc, old);
              ::DeleteObject(bitmap);
              ::DeleteDC(dc);
              SendClick(list, Centre(RowRect(list, 1)));
              ::SendMessageW(list, WM_TIMER, CListPanelList::kChooseTimer, 0);
            }}),
            1);
  EXPECT_EQ(disabledRow, kDisabledBack);
  EXPECT_EQ(hotRow, kHotBack);
  EXPECT_EQ(plainRow, kBack);
}

TEST_F(ListPanelTest, SubListOpensWithAtMostFiveRowsAndRecordsItsChoice) {
  CListPanelItem sub(80, 0);
  sub.SetEntries(Entries({L"s0", L"s1", L"s2", L"s3", L"s4", L"s5", L"s6", L"s7"}));
  menu.m_entries[0].subList = &sub;
  int subHeight = 0, rowHeight = 0;
  EXPECT_EQ(Track({[&] {
              HWND list = PopupList(TopPopup());
              host.RunInNextLoop([&] {
                HWND subPopup = TopPopup();
                RECT r{};
                ::GetWindowRect(subPopup, &r);
                subHeight = r.bottom - r.top;
                HWND subList = PopupList(subPopup);
                SendClick(subList, Centre(RowRect(subList, 3)));
                ::SendMessageW(subList, WM_TIMER, CListPanelList::kChooseTimer, 0);
              });
              auto* outer = static_cast<CListPanelList*>(CWnd::FromHandlePermanent(list));
              rowHeight = outer->RowHeight();
              SendClick(list, Centre(RowRect(list, 0)));  // runs the sub-list's popup
              ::SendMessageW(list, WM_TIMER, CListPanelList::kChooseTimer, 0);
            }}),
            0);
  EXPECT_EQ(subHeight, rowHeight * 5);
  EXPECT_EQ(sub.GetCurSel(), 3);
}

TEST_F(ListPanelTest, PopupDestroyedInItsLoopEndsWithoutChoiceAndOwnerEnabled) {
  EXPECT_EQ(Track({[] { ::DestroyWindow(TopPopup()); }}), -1);
  EXPECT_TRUE(host.IsWindowEnabled());

  // The outer popup destroyed while its sub-list's loop runs.
  CListPanelItem sub(80, 0);
  sub.SetEntries(Entries({L"s0", L"s1"}));
  menu.m_entries[1].subList = &sub;
  EXPECT_EQ(Track({[&] {
              HWND list = PopupList(TopPopup());
              host.RunInNextLoop([] { ::DestroyWindow(OpenPopups().front()); });
              SendClick(list, Centre(RowRect(list, 1)));
            }}),
            -1);
  EXPECT_TRUE(host.IsWindowEnabled());
  EXPECT_EQ(TopPopup(), nullptr);
  EXPECT_EQ(sub.GetCurSel(), -1);
}

TEST_F(ListPanelTest, LongPopupScrollsByItsBarAndStaysOpen) {
  std::vector<ListPanelEntry> many;
  for (int i = 0; i < 30; ++i) many.push_back(ListPanelEntry{L"entry " + std::to_wstring(i), nullptr, 0});
  menu.SetEntries(many);
  ScrollBarBitmaps images{};
  for (auto& b : images) b = gui::testing::MakeBitmap(10, 8, [](int, int) { return RGB(1, 2, 3); });
  menu.m_look.scrollBarWidth = 10;
  menu.m_look.scrollBitmaps = images;
  int topAfter = -1;
  bool open = false;
  EXPECT_EQ(Track({[&] {
                     HWND list = PopupList(TopPopup());
                     RECT client{};
                     ::GetClientRect(list, &client);
                     // The down arrow sits above the bottom cap (both 8 high).
                     const POINT down{client.right + 3, client.bottom - 12};
                     SendClick(list, down);
                     auto* bar = static_cast<CListPanelList*>(CWnd::FromHandlePermanent(list))->ScrollBar();
                     bar->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(3, down.y));
                   },
                   [&] {
                     HWND list = PopupList(TopPopup());
                     topAfter = static_cast<int>(::SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
                     open = TopPopup() != nullptr;
                     PostKey(list, VK_ESCAPE);
                   }},
                  140),
            -1);
  EXPECT_EQ(topAfter, 1);
  EXPECT_TRUE(open);
  for (HBITMAP b : images) ::DeleteObject(b);
}

TEST_F(ListPanelTest, ItemLookups) {
  CListPanelItem item(50, 60);
  item.SetEntries({ListPanelEntry{L"a", &menu, 1}, ListPanelEntry{L"b", nullptr, 0}});
  EXPECT_EQ(item.m_entries[0].disabled, 0) << "copies come enabled";
  EXPECT_EQ(item.m_entries[0].subList, &menu);
  EXPECT_EQ(item.GetEntryText(2), nullptr);
  EXPECT_EQ(item.GetLBText(-1), L"");
  LVFINDINFOW find{LVFI_STRING, L"b"};
  EXPECT_EQ(item.FindString(&find), 1);
  find.flags = LVFI_PARAM;
  EXPECT_EQ(item.FindString(&find), -1);
  EXPECT_EQ(item.FindString(nullptr), -1);
  EXPECT_EQ(item.GetCurSel(), -1);
  EXPECT_FALSE(item.SetCurSel(2));
  EXPECT_FALSE(item.SetCurSel(-1));
  EXPECT_TRUE(item.SetCurSel(1));
  EXPECT_EQ(item.GetCurSel(), 1);
}

// ---- the drop-down box ----

class DropdownTest : public ::testing::Test {
 protected:
  void SetUp() override {
    box.m_listHeight = 80;
    box.m_backColour = kBack;
    box.m_borderColour = RGB(250, 250, 0);
    box.m_textColour = RGB(0, 0, 250);
    box.m_disabledBackColour = kDisabledBack;
    box.m_disabledBorderColour = RGB(0, 250, 250);
    ASSERT_TRUE(box.Create(L"", WS_CHILD | WS_VISIBLE | SS_NOTIFY, RECT{20, 20, 180, 40}, &host, 7));
    for (const wchar_t* t : {L"first", L"second", L"third"}) box.AddString(t);
  }
  void TearDown() override { ::ReleaseCapture(); }
  void ClickWith(std::function<void()> step) {
    host.RunInNextLoop(std::move(step));
    box.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  }
  static std::function<void()> Keys(std::vector<WPARAM> keys) {
    return [keys] {
      HWND list = PopupList(TopPopup());
      for (WPARAM k : keys) PostKey(list, k);
    };
  }
  std::vector<UINT> DropdownMessages() {
    std::vector<UINT> out;
    for (const auto& m : host.Received())
      if (m.msg == DropdownClickedMessage || m.msg == DropdownSelChangedMessage) out.push_back(m.msg);
    return out;
  }

  platform::testing::GuiTestHost host;
  CDropdownListItem box;
};

TEST_F(DropdownTest, ChoiceSendsClickedThenSelChanged) {
  RECT popup{};
  ClickWith([&] {
    ::GetWindowRect(TopPopup(), &popup);
    Keys({VK_HOME, VK_DOWN, VK_RETURN})();
  });
  const LPARAM from = reinterpret_cast<LPARAM>(box.m_hWnd);
  EXPECT_TRUE(platform::testing::SequenceMatches(
      host.Received(), {{DropdownClickedMessage, 0, from}, {DropdownSelChangedMessage, 1, from}}));
  EXPECT_EQ(box.GetCurSel(), 1);
  EXPECT_EQ(box.m_shownText, L"second");
  EXPECT_EQ(box.m_open, 0);
  // The popup hangs under the box, as wide as it, list height tall.
  RECT screen{};
  box.GetWindowRect(&screen);
  EXPECT_EQ(popup.left, screen.left);
  EXPECT_EQ(popup.top, screen.bottom);
  EXPECT_EQ(popup.right, screen.right);
  EXPECT_EQ(popup.bottom - popup.top, 80);

  host.ClearReceived();
  ClickWith(Keys({VK_ESCAPE}));
  EXPECT_EQ(DropdownMessages(), (std::vector<UINT>{DropdownClickedMessage}));
  EXPECT_EQ(box.GetCurSel(), 1);
}

TEST_F(DropdownTest, SubListWithoutChoiceChangesNothing) {
  CListPanelItem sub(60, 0);
  sub.SetEntries(Entries({L"x", L"y"}));
  box.m_entries[2].subList = &sub;
  ClickWith(Keys({VK_END, VK_RETURN}));
  EXPECT_EQ(DropdownMessages(), (std::vector<UINT>{DropdownClickedMessage}));
  EXPECT_EQ(box.GetCurSel(), -1);

  sub.SetCurSel(1);
  host.ClearReceived();
  ClickWith(Keys({VK_END, VK_RETURN}));
  EXPECT_EQ(DropdownMessages(), (std::vector<UINT>{DropdownClickedMessage, DropdownSelChangedMessage}));
  EXPECT_EQ(box.m_shownText, L"third");
  EXPECT_EQ(box.m_subText, L"y");
}

TEST_F(DropdownTest, EntriesChangedWhileOpenGiveNoStaleChoice) {
  ClickWith([&] {
    box.ResetContent();
    box.AddString(L"only");
    Keys({VK_END, VK_RETURN})();  // the popup's copy still has three entries
  });
  EXPECT_EQ(DropdownMessages(), (std::vector<UINT>{DropdownClickedMessage}));
  EXPECT_EQ(box.GetCurSel(), -1);
}

TEST_F(DropdownTest, DisabledBoxIgnoresClicks) {
  box.m_disabled = 1;
  box.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_TRUE(DropdownMessages().empty());
}

TEST_F(DropdownTest, EntryOperations) {
  EXPECT_FALSE(box.InsertString(-1, L"x"));
  EXPECT_FALSE(box.InsertString(4, L"x"));
  EXPECT_TRUE(box.InsertString(3, L"fourth"));
  EXPECT_TRUE(box.InsertString(0, L"zeroth"));
  EXPECT_EQ(box.GetLBText(0), L"zeroth");
  EXPECT_EQ(box.GetLBText(4), L"fourth");
  EXPECT_EQ(box.GetLBText(5), L"");
  EXPECT_FALSE(box.SetCurSel(-1, nullptr));
  EXPECT_FALSE(box.SetCurSel(5, nullptr));
  EXPECT_EQ(box.GetCurSel(), -1);
  EXPECT_TRUE(box.SetCurSel(2, L"sub"));
  EXPECT_EQ(box.GetCurSel(), 2);
  EXPECT_EQ(box.m_subText, L"sub");
  EXPECT_TRUE(box.SetCurSel(2, nullptr));
  EXPECT_EQ(box.m_subText, L"");
  LVFINDINFOW find{LVFI_STRING, L"third"};
  EXPECT_EQ(box.FindString(&find), 3);
  box.ResetContent();
  EXPECT_EQ(box.GetCurSel(), -1);
}

TEST_F(DropdownTest, PaintsBorderBackgroundAndArrow) {
  auto pixels = [&](std::initializer_list<POINT> points) {
    CClientDC screen(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 160, 20);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    box.SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    std::vector<COLORREF> out;
    for (POINT p : points) out.push_back(::GetPixel(dc, p.x, p.y));
    ::SelectObject(dc, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    return out;
  };
  // Box 160 x 20: border at x 0, background inside, arrow's first line at
  // x = 140 + (20 - 9) / 2 = 145, y = (20 - 5) / 2 = 7.
  const auto on = pixels({{0, 10}, {130, 10}, {146, 7}, {146, 12}});
  EXPECT_EQ(on[0], box.m_borderColour);
  EXPECT_EQ(on[1], kBack);
  EXPECT_EQ(on[2], box.m_textColour);
  EXPECT_EQ(on[3], kBack);
  box.m_disabled = 1;
  const auto off = pixels({{0, 10}, {130, 10}, {146, 7}});
  EXPECT_EQ(off[0], box.m_disabledBorderColour);
  EXPECT_EQ(off[1], kDisabledBack);
  EXPECT_EQ(off[2], box.m_textColour) << "the arrow keeps the enabled text colour";
}

TEST_F(ListPanelTest, AnotherProgramTakingTheActivationEndsThePopupAFocusLossToNoWindowDoesNot) {
  struct Case {
    const char* what;
    UINT msg;
    WPARAM wParam;
    int expected;  // a popup still open is then chosen from: entry 0
  };
  const Case cases[] = {
      {"another program activated", WM_ACTIVATEAPP, FALSE, -1},
      {"this program activated", WM_ACTIVATEAPP, TRUE, 0},
      {"the focus handed to no window", WM_KILLFOCUS, 0, 0},
  };
  for (const Case& c : cases) {
    const UINT msg = c.msg;
    const WPARAM wParam = c.wParam;
    EXPECT_EQ(Track({[msg, wParam] {
                       HWND popup = TopPopup();
                       ::SendMessageW(msg == WM_KILLFOCUS ? PopupList(popup) : popup, msg, wParam, 0);
                     },
                     [] {
                       // Runs in the popup's loop only if the popup is still open.
                       if (HWND list = PopupList(TopPopup())) {
                         PostKey(list, VK_HOME);
                         PostKey(list, VK_RETURN);
                       }
                     }}),
              c.expected)
        << c.what;
    host.Pump();
  }
}

}  // namespace
