#include "gui/controls/XHeaderCtrl.h"

#include <gtest/gtest.h>

#include "gui/testing/DrawProbe.h"
#include "gui/testing/TestBitmaps.h"
#include "platform/testing/GuiTestHost.h"

using namespace gui::testing;

namespace {

constexpr COLORREF kBack = RGB(30, 30, 30), kLight = RGB(200, 200, 200), kDark = RGB(5, 5, 5);
constexpr COLORREF kImage0 = RGB(250, 0, 0), kImage1 = RGB(0, 250, 0);

class XHeaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, RECT{10, 10, 410, 200}, &host, 3));
    ASSERT_TRUE(header.TakeOver(list.GetHeaderCtrl()));
    header.m_background = kBack;
    header.m_lightLine = kLight;
    header.m_darkLine = kDark;
    for (int i = 0; i < 3; ++i) list.InsertColumn(i, L"$Heading", LVCFMT_LEFT, 100);
  }
  platform::testing::GuiTestHost host;
  CListCtrl list;
  CXHeaderCtrl header;
};

TEST_F(XHeaderTest, RecordsFollowTheItemsAndDividersCannotBeDragged) {
  EXPECT_TRUE(header.GetStyle() & HDS_NOSIZING);
  EXPECT_EQ(header.RecordCount(), 3u);
  header.SendMessage(HDM_DELETEITEM, 7);  // no item, no record there
  EXPECT_EQ(header.RecordCount(), 3u);
  list.DeleteColumn(1);
  EXPECT_EQ(header.RecordCount(), 2u);
  EXPECT_EQ(header.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(header.m_hWnd), HTCLIENT), TRUE);
  NMHEADERW track{};
  track.hdr = {header.m_hWnd, 0, HDN_BEGINTRACKW};
  EXPECT_EQ(list.SendMessage(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&track)), TRUE);
}

TEST_F(XHeaderTest, ImagesSeparatorsAndBackground) {
  CImageList images;
  images.Create(10, 10, ILC_COLOR24, 2, 0);
  HBITMAP a = gui::testing::MakeBitmap(10, 10, [](int, int) { return kImage0; });
  HBITMAP b = gui::testing::MakeBitmap(10, 10, [](int, int) { return kImage1; });
  images.Add(a, nullptr);
  images.Add(b, nullptr);
  header.SendMessage(HDM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(static_cast<HIMAGELIST>(images)));
  EXPECT_EQ(header.m_imageWidth, 10);
  HDITEMW item{};
  item.mask = HDI_IMAGE | HDI_FORMAT;
  header.GetItem(1, &item);
  item.fmt |= HDF_IMAGE;
  item.iImage = 1;
  header.SetItem(1, &item);

  RECT client{};
  header.GetClientRect(&client);
  DrawSurface surface(client.right, client.bottom, RGB(1, 2, 3));
  PrintClient(header.m_hWnd, surface);
  const int mid = client.bottom / 2;
  // Item 1 spans 100..200: its image after the 6-pixel margin.
  EXPECT_EQ(surface.Pixel(100 + 6 + 4, mid), kImage1);
  EXPECT_FALSE(surface.HasColourIn(RECT{0, 0, 100, client.bottom}, kImage1)) << "no image for item 0";
  EXPECT_FALSE(surface.HasColourIn(RECT{0, 0, 100, client.bottom}, kImage0));
  EXPECT_EQ(surface.Pixel(99, mid), kLight);
  EXPECT_EQ(surface.Pixel(100, mid), kDark);
  EXPECT_EQ(surface.Pixel(350, mid), kBack) << "right of the items";

  header.SendMessage(HDM_SETIMAGELIST, 0, 0);
  EXPECT_EQ(header.m_imageWidth, 0);
  EXPECT_EQ(header.m_imageHeight, 0);
  ::DeleteObject(a);
  ::DeleteObject(b);
}

}  // namespace
