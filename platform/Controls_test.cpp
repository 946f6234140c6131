#include "platform/Controls.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/FileDialog.h"
#include "platform/testing/GuiTestHost.h"

namespace {

using platform::testing::GuiTestHost;

TEST(Controls, OwnerDrawnButtonDrawsItselfAndItsClickReachesTheOwner) {
  struct DrawnButton : CButton {
    int draws = 0;
    void DrawItem(DRAWITEMSTRUCT* dis) override {
      ++draws;
      EXPECT_EQ(dis->hwndItem, m_hWnd);
    }
  };
  GuiTestHost host;
  DrawnButton button;
  ASSERT_TRUE(button.Create(L"b", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, RECT{10, 10, 60, 30}, &host, 77));
  button.Invalidate();
  button.UpdateWindow();
  EXPECT_GE(button.draws, 1);
  // The parent's WM_DRAWITEM went to the button; its click still reaches the owner.
  button.SendMessage(BM_CLICK);
  host.Pump();
  const auto commands = host.ReceivedOf(WM_COMMAND);
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(LOWORD(commands[0].wParam), 77);
  EXPECT_EQ(commands[0].lParam, reinterpret_cast<LPARAM>(button.m_hWnd));
}

TEST(Controls, ListViewWithSubclassedHeader) {
  GuiTestHost host;
  CListCtrl list;
  ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, RECT{0, 0, 300, 200}, &host, 5));
  EXPECT_EQ(list.InsertColumn(0, L"Name", LVCFMT_LEFT, 100), 0);
  EXPECT_EQ(list.InsertColumn(1, L"Kind", LVCFMT_LEFT, 80), 1);
  const std::wstring longText(700, L'x');
  ASSERT_EQ(list.InsertItem(0, L"first"), 0);
  list.SetItemText(0, 1, longText);
  list.SetItemData(0, 0xABCD);
  EXPECT_EQ(list.GetItemText(0, 0), L"first");
  EXPECT_EQ(list.GetItemText(0, 1), longText);
  EXPECT_EQ(list.GetItemData(0), 0xABCDu);
  EXPECT_EQ(list.GetItemCount(), 1);

  CHeaderCtrl header;
  ASSERT_TRUE(header.SubclassWindow(list.GetHeaderCtrl()));
  EXPECT_EQ(header.GetItemCount(), 2);
  RECT r{};
  EXPECT_TRUE(header.GetItemRect(1, &r));
  EXPECT_EQ(r.right - r.left, 80);
}

TEST(Controls, ListViewCustomDrawIsReflectedToTheListObject) {
  struct DrawnList : CListCtrl {
    int prePaints = 0;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
      if (msg == platform::Reflected(WM_NOTIFY)) {
        const auto* cd = reinterpret_cast<const NMLVCUSTOMDRAW*>(lp);
        if (cd->nmcd.hdr.code == static_cast<UINT>(NM_CUSTOMDRAW) && cd->nmcd.dwDrawStage == CDDS_PREPAINT) {
          ++prePaints;
          result = CDRF_DODEFAULT;
          return true;
        }
      }
      return CListCtrl::OnMessage(msg, wp, lp, result);
    }
  };
  GuiTestHost host;
  DrawnList list;
  ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, RECT{0, 0, 200, 100}, &host, 6));
  list.InsertColumn(0, L"c", LVCFMT_LEFT, 100);
  list.InsertItem(0, L"row");
  list.Invalidate();
  list.UpdateWindow();
  EXPECT_GE(list.prePaints, 1);
  // The list took them, so the owner never saw a custom-draw notification.
  for (const auto& m : host.ReceivedOf(WM_NOTIFY)) EXPECT_NE(m.notifyCode, static_cast<UINT>(NM_CUSTOMDRAW));
}

TEST(Controls, SmallControls) {
  GuiTestHost host;
  CEdit edit;
  ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE, RECT{0, 0, 100, 20}, &host, 1));
  edit.SetWindowText(L"abcdef");
  edit.SetSel(2, 4);
  edit.ReplaceSel(L"XY");
  EXPECT_EQ(edit.GetWindowText(), L"abXYef");

  CListBox box;
  ASSERT_TRUE(box.Create(WS_CHILD | WS_VISIBLE | LBS_NOTIFY, RECT{0, 30, 100, 130}, &host, 2));
  box.AddString(L"one");
  box.AddString(L"two");
  EXPECT_EQ(box.GetCount(), 2);
  EXPECT_EQ(box.GetText(1), L"two");
  EXPECT_EQ(box.GetText(5), L"");

  CScrollBar bar;
  ASSERT_TRUE(bar.Create(WS_CHILD | WS_VISIBLE | SBS_VERT, RECT{110, 0, 126, 100}, &host, 3));
  SCROLLINFO si{};
  si.fMask = SIF_RANGE | SIF_POS | SIF_PAGE;
  si.nMin = 0;
  si.nMax = 20;
  si.nPage = 5;
  si.nPos = 4;
  bar.SetScrollInfo(&si);
  EXPECT_EQ(bar.GetScrollPos(), 4);

  CStatic label;
  ASSERT_TRUE(label.Create(L"label", WS_CHILD | WS_VISIBLE, RECT{0, 140, 100, 160}, &host));
  EXPECT_EQ(label.GetWindowText(), L"label");

  CAnimateCtrl animation;
  EXPECT_TRUE(animation.Create(WS_CHILD, RECT{0, 0, 10, 10}, &host, 4));
}

TEST(Controls, TooltipWithOneTool) {
  GuiTestHost host;
  CWnd target;
  ASSERT_TRUE(target.CreateEx(0, CWnd::DefaultClassName(), L"", WS_CHILD | WS_VISIBLE, RECT{0, 0, 50, 50}, &host, 1));
  CToolTipCtrl tip;
  ASSERT_TRUE(tip.Create(&target));
  tip.Activate(FALSE);
  EXPECT_EQ(tip.GetToolCount(), 0);
  EXPECT_TRUE(tip.AddTool(&target, L"first", nullptr, 1));
  EXPECT_EQ(tip.GetToolCount(), 1);
  tip.UpdateTipText(L"second text", &target, 1);
  EXPECT_EQ(tip.GetText(&target, 1), L"second text");
  MSG msg{target.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5), 0, {}};
  tip.RelayEvent(&msg);  // relaying must be harmless
  tip.DelTool(&target, 1);
  EXPECT_EQ(tip.GetToolCount(), 0);
}

TEST(FileDialog, FiltersFromTheBarForm) {
  using namespace std::string_literals;
  struct Case {
    const wchar_t* in;
    std::wstring out;
  } cases[] = {
      {L"*.exe|*.exe||", L"*.exe\0*.exe\0\0"s},
      {L"Profiles (*.qxp)|*.qxp|All|*.*||", L"Profiles (*.qxp)\0*.qxp\0All\0*.*\0\0"s},
      {L"", L"\0\0"s},
      {L"no bars", L"\0\0"s},
      {L"odd|", L"\0\0"s},                 // a description without its pattern
      {L"a|b|c", L"a\0b\0\0"s},            // no closing bars: what pairs up is kept
  };
  for (const auto& c : cases) EXPECT_EQ(platform::FilterFromBars(c.in), c.out) << c.in;
}

TEST(FileDialog, AnsweredThroughTheSeam) {
  struct Fake : platform::IFileDialogs {
    platform::FileDialogRequest seen;
    bool answer = true;
    bool Show(const platform::FileDialogRequest& request, std::wstring& path) override {
      seen = request;
      if (answer) path = L"C:\\save\\Gaming.qxp";
      return answer;
    }
  } fake;
  platform::SetFileDialogs(&fake);
  CFileDialog open(true, L"qxp", nullptr, OFN_FILEMUSTEXIST, L"*.qxp|*.qxp||");
  EXPECT_EQ(open.DoModal(), IDOK);
  EXPECT_EQ(open.GetPathName(), L"C:\\save\\Gaming.qxp");
  EXPECT_EQ(open.GetFileName(), L"Gaming.qxp");
  EXPECT_EQ(open.GetFileExt(), L"qxp");
  EXPECT_TRUE(fake.seen.open);
  EXPECT_EQ(fake.seen.flags, static_cast<DWORD>(OFN_FILEMUSTEXIST));
  EXPECT_EQ(fake.seen.filter, L"*.qxp|*.qxp||");
  fake.answer = false;
  CFileDialog save(false, nullptr, L"x.qxm", 0, nullptr);
  EXPECT_EQ(save.DoModal(), IDCANCEL);
  EXPECT_EQ(save.GetPathName(), L"");
  EXPECT_EQ(fake.seen.fileName, L"x.qxm");
  platform::SetFileDialogs(nullptr);
}

}  // namespace
