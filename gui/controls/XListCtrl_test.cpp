#include "gui/controls/XListCtrl.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "gui/Messages.h"
#include "gui/panels/ListPanel.h"
#include "gui/testing/DrawProbe.h"
#include "gui/testing/ListMessageCopiers.h"
#include "gui/testing/PopupSteps.h"
#include "gui/testing/TestBitmaps.h"
#include "platform/FileDialog.h"
#include "platform/testing/GuiTestHost.h"
#include "platform/testing/MessageSequence.h"

using namespace gui::testing;

namespace {

constexpr COLORREF kBack = RGB(20, 20, 60), kSelBack = RGB(60, 60, 20);
constexpr COLORREF kChecked = RGB(250, 0, 0), kUnchecked = RGB(0, 0, 250);
// Column ids as the profile list names them, placed out of id order.
constexpr int kName = 2, kAuto = 4, kCurrent = 0, kExe = 3;
constexpr int kAutoIndex = 1, kCurrentIndex = 2;

using gui::testing::SolidBitmap;

class FakeFileDialogs : public platform::IFileDialogs {
 public:
  bool Show(const platform::FileDialogRequest& request, std::wstring& path) override {
    last = request;
    ++shown;
    if (answer.empty()) return false;
    path = answer;
    return true;
  }
  std::wstring answer;
  platform::FileDialogRequest last;
  int shown = 0;
};

class XListCtrlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::SetCursorPos(730, 570);
    WatchListMessages(host);
    checked = SolidBitmap(12, 12, kChecked);
    unchecked = SolidBitmap(12, 12, kUnchecked);
    list.SetBackgroundColour(kBack);
    list.SetSelectedBackgroundColour(kSelBack);
    ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL, RECT{10, 10, 410, 300}, &host, 9));
    ASSERT_EQ(list.InsertColumn(L"Name", kName, LISTCOL_STATIC, 120, 0, nullptr, nullptr, nullptr), 0);
    ASSERT_EQ(list.InsertColumn(L"Auto", kAuto, LISTCOL_CHECKBOX, 50, 0, unchecked, checked, nullptr), kAutoIndex);
    ASSERT_EQ(list.InsertColumn(L"Cur", kCurrent, LISTCOL_CHECKBOX, 50, 1, unchecked, checked, nullptr), kCurrentIndex);
    ASSERT_EQ(list.InsertColumn(L"Exe", kExe, LISTCOL_FILEDIALOG, 100, 0, nullptr, nullptr, nullptr), 3);
    Fill({100, 101, 102});
  }
  void TearDown() override {
    platform::SetFileDialogs(nullptr);
    ::ReleaseCapture();
    ::DeleteObject(checked);
    ::DeleteObject(unchecked);
  }
  // Rows with these ids; the first is the current one.
  void Fill(std::vector<int> ids) {
    list.DeleteAllRows();
    for (size_t i = 0; i < ids.size(); ++i) {
      const int row = list.InsertRow(static_cast<int>(i), 0xFFFFFF, kBack, 0, kSelBack);
      list.SetRowId(row, ids[i]);
      list.SetCellText(kName, L"profile " + std::to_wstring(ids[i]), ids[i]);
      list.SetCellCheck(kAuto, 0, ids[i]);
      list.SetCellCheck(kCurrent, i == 0 ? 1 : 0, ids[i]);
    }
  }
  POINT CellCentre(int row, int column) {
    RECT r{};
    list.GetCellRect(row, column, &r);
    return Centre(r);
  }
  void Click(POINT pt, UINT msg = WM_LBUTTONDOWN) {
    // Wine's list view tracks a pressed button in a loop until it is released.
    list.PostMessage(msg == WM_LBUTTONDOWN ? WM_LBUTTONUP : WM_RBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
    SendClick(list.m_hWnd, pt, msg);
    host.Pump();
  }
  int Check(int row, int column) {
    const ListCellRecord* cell = list.RowRecords(row) ? &(*list.RowRecords(row))[static_cast<size_t>(column)] : nullptr;
    return cell ? cell->check : -2;
  }
  std::vector<UINT> ListMessages() {
    std::vector<UINT> out;
    for (const auto& m : host.Received())
      if (m.msg >= ListAssignApplicationMessage && m.msg <= ListMenuOpeningMessage && m.msg != ListPanelItemChosenMessage)
        out.push_back(m.msg);
    return out;
  }
  // Runs `step` once a popup is open: the list view's own right-button loop
  // dispatches queued messages before the menu's loop starts.
  void WhenPopupOpen(std::function<void()> step) {
    host.RunInNextLoop([this, step] {
      if (!TopPopup()) {
        WhenPopupOpen(step);
        return;
      }
      step();
    });
  }
  // The context menu chooses `entry` (-1: closed with Esc) when it opens.
  void RightClickChoosing(int row, int entry) {
    WhenPopupOpen([entry] {
      HWND popupList = PopupList(TopPopup());
      if (entry < 0) {
        PostKey(popupList, VK_ESCAPE);
      } else {
        PostKey(popupList, VK_HOME);
        for (int i = 0; i < entry; ++i) PostKey(popupList, VK_DOWN);
        PostKey(popupList, VK_RETURN);
      }
    });
    Click(CellCentre(row, 0), WM_RBUTTONDOWN);
  }

  platform::testing::GuiTestHost host;
  CXListCtrl list;
  HBITMAP checked = nullptr, unchecked = nullptr;
};

TEST_F(XListCtrlTest, ColumnsAreRefusedForBadIdsTypesRepeatsAndBeyondTen) {
  CXListCtrl other;
  ASSERT_TRUE(other.Create(WS_CHILD | LVS_REPORT, RECT{0, 0, 200, 100}, &host, 10));
  EXPECT_EQ(other.InsertColumn(L"a", -1, LISTCOL_STATIC, 10, 0, nullptr, nullptr, nullptr), -1);
  EXPECT_EQ(other.InsertColumn(L"a", 1, -1, 10, 0, nullptr, nullptr, nullptr), -1);
  for (int id = 0; id < CXListCtrl::kMaxColumns; ++id)
    EXPECT_EQ(other.InsertColumn(L"c", id + 20, LISTCOL_STATIC, 10, 0, nullptr, nullptr, nullptr), id);
  EXPECT_EQ(other.InsertColumn(L"c", 20, LISTCOL_STATIC, 10, 0, nullptr, nullptr, nullptr), -1) << "repeated id";
  EXPECT_EQ(other.InsertColumn(L"c", 99, LISTCOL_STATIC, 10, 0, nullptr, nullptr, nullptr), -1) << "an 11th";
  // Rows carry one record per column present: no column after rows.
  EXPECT_EQ(list.InsertColumn(L"late", 5, LISTCOL_STATIC, 10, 0, nullptr, nullptr, nullptr), -1);
  EXPECT_EQ(list.GetColumnId(kCurrentIndex), kCurrent);
  EXPECT_EQ(list.GetColumnId(7), -1);
}

TEST_F(XListCtrlTest, OperationsOnRowsAndIdsOutsideTheListDoNothing) {
  EXPECT_EQ(list.InsertRow(-1, 0, 0, 0, 0), -1);
  const int fresh = list.InsertRow(3, 0, 0, 0, 0);
  EXPECT_EQ(fresh, 3);
  EXPECT_EQ(list.FindRowById(-1), -1) << "new rows carry id -1, which never matches";
  EXPECT_EQ(list.FindRowById(101), 1);
  EXPECT_FALSE(list.SetCellText(kName, L"x", 999));
  EXPECT_FALSE(list.SetCellText(77, L"x", 101));
  EXPECT_FALSE(list.SetCellCheck(kAuto, 1, 999));
  RECT r{};
  EXPECT_FALSE(list.GetCellRect(9, 0, &r));
  EXPECT_FALSE(list.GetCellRect(-1, 0, &r));
  EXPECT_FALSE(list.GetCellRect(0, 8, &r));
  list.RedrawCell(kName, 42);
  list.SetRowColours(42, 0, 0);

  // A row whose item data is not ours: never read, draws as text, has no id.
  const int foreign = static_cast<int>(list.SendMessage(LVM_GETITEMCOUNT));
  static_cast<CListCtrl&>(list).InsertItem(foreign, L"foreign");
  list.SetItemData(foreign, 0x1234);
  EXPECT_EQ(list.RowRecords(foreign), nullptr);
  list.SetItemState(foreign, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  EXPECT_EQ(list.GetSelectedRow(), foreign);
  EXPECT_EQ(list.GetSelectedRowId(), -1);
  DrawSurface surface(400, 290, 0);
  PrintClient(list.m_hWnd, surface);  // custom draw of every row, the foreign one included
  host.ClearReceived();
  Click(CellCentre(foreign, kAutoIndex));
  EXPECT_TRUE(ListMessages().empty()) << "a row without records refuses clicks";
  list.DeleteAllRows();
  EXPECT_EQ(list.GetItemCount(), 0);
}

TEST_F(XListCtrlTest, CheckBoxClicks) {
  struct Case {
    const char* what;
    int row, column, dx;
    std::vector<int> expectChecks;  // the column's checks afterwards, rows 0..2
    int toggles;                    // ListCheckToggledMessage count
    int state;                      // its state
  };
  const Case cases[] = {
      {"exclusive, already checked", 0, kCurrentIndex, 0, {1, 0, 0}, 0, -1},
      {"exclusive, another row", 2, kCurrentIndex, 0, {0, 0, 1}, 1, 1},
      {"ordinary on", 1, kAutoIndex, 0, {0, 1, 0}, 1, 1},
      {"ordinary off", 1, kAutoIndex, 6, {0, 0, 0}, 1, 0},
      {"seven pixels off centre", 1, kAutoIndex, 7, {0, 0, 0}, 0, -1},
      {"seven pixels left", 1, kAutoIndex, -7, {0, 0, 0}, 0, -1},
  };
  for (const auto& c : cases) {
    host.ClearReceived();
    POINT pt = CellCentre(c.row, c.column);
    pt.x += c.dx;
    Click(pt);
    std::vector<int> checks;
    for (int row = 0; row < 3; ++row) checks.push_back(Check(row, c.column));
    EXPECT_EQ(checks, c.expectChecks) << c.what;
    // The toggle (if any) comes before the click's end, each once.
    platform::testing::ExpectedSequence expected;
    for (int i = 0; i < c.toggles; ++i) expected.push_back(ListCheckToggledMessage);
    expected.push_back({ListClickDoneMessage, static_cast<WPARAM>(100 + c.row), reinterpret_cast<LPARAM>(list.m_hWnd)});
    EXPECT_TRUE(platform::testing::SequenceMatches(host.Received(), expected,
                                                   {ListCheckToggledMessage, ListClickDoneMessage}))
        << c.what;
    const auto toggled = host.ReceivedOf(ListCheckToggledMessage);
    if (c.toggles == 1 && toggled.size() == 1) {
      EXPECT_EQ(toggled[0].values, (std::vector<int64_t>{100 + c.row, c.column, c.state})) << c.what;
    }
  }
}

TEST_F(XListCtrlTest, DisabledRowNeitherSelectsNorReports) {
  (*list.RowRecords(1))[0].enabled = 0;
  host.ClearReceived();
  Click(CellCentre(1, 0));
  EXPECT_TRUE(ListMessages().empty());
  EXPECT_EQ(list.GetSelectedRow(), -1);
  Click(CellCentre(2, 0));
  EXPECT_EQ(list.GetSelectedRowId(), 102);
}

TEST_F(XListCtrlTest, HeaderMarkFollowsAllRowsChecked) {
  CImageList images;
  images.Create(8, 8, ILC_COLOR24, 2, 0);
  HBITMAP a = SolidBitmap(8, 8, RGB(1, 1, 1)), b = SolidBitmap(8, 8, RGB(2, 2, 2));
  images.Add(a, nullptr);
  images.Add(b, nullptr);
  list.Header().SendMessage(HDM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(static_cast<HIMAGELIST>(images)));
  HDITEMW item{};
  item.mask = HDI_FORMAT | HDI_IMAGE;
  list.Header().GetItem(kAutoIndex, &item);
  item.fmt |= HDF_IMAGE;
  item.iImage = 0;
  list.Header().SetItem(kAutoIndex, &item);
  auto mark = [&] {
    HDITEMW i{};
    i.mask = HDI_IMAGE;
    list.Header().GetItem(kAutoIndex, &i);
    return i.iImage;
  };
  for (int id : {100, 101, 102}) list.SetCellCheck(kAuto, 1, id);
  EXPECT_EQ(mark(), 1);
  Click(CellCentre(1, kAutoIndex));
  EXPECT_EQ(mark(), 0);
  Click(CellCentre(1, kAutoIndex));
  EXPECT_EQ(mark(), 1);

  // The owner refills the list inside the toggle message: nothing more is sent
  // for the vanished row, and the mark follows the new rows.
  host.SetHandler(ListCheckToggledMessage, [&](WPARAM, LPARAM) {
    Fill({200, 201});
    return LRESULT{0};
  });
  host.ClearReceived();
  Click(CellCentre(2, kAutoIndex));
  EXPECT_EQ(ListMessages(), (std::vector<UINT>{ListCheckToggledMessage}));
  EXPECT_EQ(list.GetItemCount(), 2);
  EXPECT_EQ(mark(), 0);
  list.Header().SendMessage(HDM_SETIMAGELIST, 0, 0);
  ::DeleteObject(a);
  ::DeleteObject(b);
}

TEST_F(XListCtrlTest, ContextMenuCommands) {
  CListPanelItem menu(140, 80);
  menu.SetEntries({ListPanelEntry{L"$AssignApplication"}, ListPanelEntry{L"$UnassignApplication"},
                   ListPanelEntry{L"$Delete"}});
  list.m_contextMenu = &menu;
  FakeFileDialogs dialogs;
  platform::SetFileDialogs(&dialogs);

  struct Case {
    int entry;
    std::vector<UINT> messages;
    std::wstring text;  // of the first message after the menu
  };
  const Case cases[] = {
      {2, {ListMenuOpeningMessage, ListActionMessage}, L"$Delete"},
      {-1, {ListMenuOpeningMessage, ListActionMessage}, L""},
      {1, {ListMenuOpeningMessage, ListAssignApplicationMessage, ListCheckToggledMessage}, L""},
  };
  for (const auto& c : cases) {
    list.SetCellCheck(kAuto, 1, 101);
    host.ClearReceived();
    RightClickChoosing(1, c.entry);
    EXPECT_EQ(ListMessages(), c.messages) << c.entry;
    const auto& received = host.Received();
    std::vector<platform::testing::SentMessage> lists;
    for (const auto& m : received)
      if (m.msg != ListClickDoneMessage && m.msg >= ListAssignApplicationMessage && m.msg <= ListMenuOpeningMessage &&
          m.msg != ListPanelItemChosenMessage)
        lists.push_back(m);
    ASSERT_GE(lists.size(), 2u);
    EXPECT_EQ(lists[0].values, (std::vector<int64_t>{101, 0}));
    EXPECT_EQ(lists[1].text, c.text) << c.entry;
    EXPECT_EQ(lists[1].values[0], 101);
  }
  // "$UnassignApplication" cleared the check of column id 4, wherever it stands.
  EXPECT_EQ(Check(1, kAutoIndex), 0);
  const auto toggled = host.ReceivedOf(ListCheckToggledMessage);
  ASSERT_EQ(toggled.size(), 1u);
  EXPECT_EQ(toggled[0].values, (std::vector<int64_t>{101, kAutoIndex, 0}));

  // "$AssignApplication": the chosen program's name in column id 3, its path to the owner.
  dialogs.answer = L"C:\\apps\\tool.exe";
  host.ClearReceived();
  RightClickChoosing(1, 0);
  EXPECT_EQ(dialogs.last.flags, static_cast<DWORD>(0x1004));
  EXPECT_EQ(dialogs.last.filter, L"*.exe|*.exe||");
  EXPECT_EQ(list.GetItemText(1, 3), L"tool.exe");
  const auto assigned = host.ReceivedOf(ListAssignApplicationMessage);
  ASSERT_EQ(assigned.size(), 1u);
  EXPECT_EQ(assigned[0].text, L"C:\\apps\\tool.exe");
  EXPECT_EQ(assigned[0].values, (std::vector<int64_t>{101, 3}));

  // Cancelled: nothing.
  dialogs.answer.clear();
  host.ClearReceived();
  RightClickChoosing(1, 0);
  EXPECT_EQ(ListMessages(), (std::vector<UINT>{ListMenuOpeningMessage}));
}

TEST_F(XListCtrlTest, RowsDeletedWhileTheMenuOpensOrRunsGetNoCommand) {
  CListPanelItem menu(140, 80);
  menu.SetEntries({ListPanelEntry{L"$UnassignApplication"}, ListPanelEntry{L"$Delete"}});
  list.m_contextMenu = &menu;
  host.SetHandler(ListMenuOpeningMessage, [&](WPARAM, LPARAM) {
    list.DeleteAllRows();
    return LRESULT{0};
  });
  host.ClearReceived();
  Click(CellCentre(1, 0), WM_RBUTTONDOWN);
  EXPECT_EQ(ListMessages(), (std::vector<UINT>{ListMenuOpeningMessage}));
  EXPECT_EQ(TopPopup(), nullptr);

  // The rows go while the menu runs: "$UnassignApplication" finds no row.
  host.ClearHandler(ListMenuOpeningMessage);
  Fill({100, 101, 102});
  host.ClearReceived();
  WhenPopupOpen([&] {
    list.DeleteAllRows();
    HWND popupList = PopupList(TopPopup());
    PostKey(popupList, VK_HOME);
    PostKey(popupList, VK_RETURN);
  });
  Click(CellCentre(1, 0), WM_RBUTTONDOWN);
  EXPECT_EQ(ListMessages(), (std::vector<UINT>{ListMenuOpeningMessage}));
}

TEST_F(XListCtrlTest, DoubleClickReportsRowAndSubItem) {
  host.ClearReceived();
  const POINT pt = CellCentre(2, 3);
  list.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
  const auto clicks = host.ReceivedOf(ListDoubleClickMessage);
  ASSERT_EQ(clicks.size(), 1u);
  EXPECT_EQ(clicks[0].values, (std::vector<int64_t>{102, 3}));
  host.ClearReceived();
  list.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, 280));
  ASSERT_EQ(host.ReceivedOf(ListDoubleClickMessage).size(), 1u);
  EXPECT_EQ(host.ReceivedOf(ListDoubleClickMessage)[0].values[0], -1);
}

TEST_F(XListCtrlTest, CheckBoxPixelsWithAndWithoutMask) {
  DrawSurface plain(400, 290, RGB(9, 9, 9));
  PrintClient(list.m_hWnd, plain);
  const POINT current = CellCentre(0, kCurrentIndex), other = CellCentre(1, kCurrentIndex);
  EXPECT_EQ(plain.Pixel(current.x, current.y), kChecked);
  EXPECT_EQ(plain.Pixel(other.x, other.y), kUnchecked);

  // White mask pixels (left half) show the background, black ones the image.
  HBITMAP mask = gui::testing::MakeBitmap(12, 12, [](int x, int) { return x < 6 ? RGB(255, 255, 255) : RGB(0, 0, 0); });
  CXListCtrl masked;
  masked.SetBackgroundColour(kBack);
  ASSERT_TRUE(masked.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, RECT{10, 310, 210, 400}, &host, 11));
  masked.InsertColumn(L"c", kAuto, LISTCOL_CHECKBOX, 60, 0, unchecked, checked, mask);
  masked.SetRowId(masked.InsertRow(0, 0, 0, 0, 0), 7);
  masked.SetCellCheck(kAuto, 1, 7);
  DrawSurface surface(200, 90, RGB(9, 9, 9));
  PrintClient(masked.m_hWnd, surface);
  RECT cell{};
  masked.GetCellRect(0, 0, &cell);
  const POINT c = Centre(cell);
  EXPECT_EQ(surface.Pixel(c.x - 3, c.y), kBack);
  EXPECT_EQ(surface.Pixel(c.x + 3, c.y), kChecked);
  masked.DestroyWindow();
  ::DeleteObject(mask);
}

TEST_F(XListCtrlTest, ChoiceCellOpensItsListAndTakesKeys) {
  ListCellRecord& cell = (*list.RowRecords(1))[3];
  cell.combo = 1;
  cell.choices = {L"alpha", L"beta", L"gamma"};
  cell.dropdownRows = 3;
  Click(CellCentre(1, 0));  // select the row: only the selected row's cell is a drop-down
  RECT r{};
  list.GetCellRect(1, 3, &r);
  Click(POINT{r.right - 3, (r.top + r.bottom) / 2});
  ASSERT_NE(list.DropDownList(), nullptr) << "drawn pressed, the cell opens its list";
  EXPECT_EQ(list.GetItemText(1, 3), L"alpha") << "an empty cell takes the first choice";
  HWND box = list.DropDownList()->ListBox().m_hWnd;
  PostKey(box, VK_DOWN);
  host.Pump();
  list.SendMessage(WM_TIMER, CXListCtrl::kComboTextTimer);
  EXPECT_EQ(list.GetItemText(1, 3), L"beta");
  ASSERT_NE(list.DropDownList(), nullptr) << "a key keeps the list open";
  PostKey(box, VK_RETURN);
  host.Pump();
  list.SendMessage(WM_TIMER, CXListCtrl::kCloseComboTimer);
  EXPECT_EQ(list.DropDownList(), nullptr);
  EXPECT_EQ(list.GetItemText(1, 3), L"beta");
}

TEST_F(XListCtrlTest, SpaceNeverReachesTheList) {
  MSG msg{list.m_hWnd, WM_KEYDOWN, VK_SPACE, 0, 0, {}};
  EXPECT_TRUE(list.PreTranslateMessage(&msg));
  msg.wParam = VK_DOWN;
  EXPECT_FALSE(list.PreTranslateMessage(&msg));
}

TEST_F(XListCtrlTest, ToolTipIdsOfCellsAndTheirTexts) {
  const std::wstring longName = L"a rather long program file name that does not fit.exe";
  list.SetCellText(kExe, longName, 101);
  const POINT pt = CellCentre(1, 3);
  TTTOOLINFOW info{};
  const INT_PTR id = list.OnToolHitTest(pt, &info);
  EXPECT_EQ(id, ((1 << 10) | 3) + 1);
  NMTTDISPINFOW disp{};
  disp.hdr.hwndFrom = nullptr;
  disp.hdr.idFrom = static_cast<UINT_PTR>(id);
  disp.hdr.code = TTN_NEEDTEXTW;
  list.SendMessage(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&disp));
  EXPECT_EQ(std::wstring(disp.szText), longName);
  // An id of a row that is gone is ignored.
  NMTTDISPINFOW stale{};
  stale.hdr.idFrom = static_cast<UINT_PTR>(((40 << 10) | 3) + 1);
  stale.hdr.code = TTN_NEEDTEXTW;
  list.SendMessage(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&stale));
  EXPECT_EQ(stale.lpszText, nullptr);
}

TEST_F(XListCtrlTest, AListGoneLeavesALaterListsImageListAlone) {
  // A freed image list's handle is handed out again to the next one made: the
  // list that goes must not destroy it a second time.
  auto old = std::make_unique<CXListCtrl>();
  ASSERT_TRUE(old->Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, RECT{0, 0, 100, 100}, &host, 21));
  old->DestroyWindow();
  CXListCtrl later;
  ASSERT_TRUE(later.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, RECT{0, 0, 100, 100}, &host, 22));
  const auto images = reinterpret_cast<HIMAGELIST>(later.SendMessage(LVM_GETIMAGELIST, LVSIL_SMALL));
  ASSERT_NE(images, nullptr);
  old.reset();
  int width = 0, height = 0;
  EXPECT_TRUE(::ImageList_GetIconSize(images, &width, &height));
  EXPECT_EQ(height, 18);
}

}  // namespace
