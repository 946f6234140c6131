#include "gui/controls/BitmapItem.h"

#include <gtest/gtest.h>

#include <type_traits>

#include "gui/testing/TestBitmaps.h"
#include "platform/Gdi.h"
#include "platform/testing/GuiTestHost.h"

namespace {

using platform::testing::GuiTestHost;

constexpr COLORREF kRed = RGB(200, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 200);

using gui::testing::SolidBitmap;

// The colour the item shows at (x, y), through WM_PAINT into the screen DC.
COLORREF PaintedPixel(CWnd& wnd, int x, int y) {
  wnd.Invalidate(FALSE);
  wnd.UpdateWindow();
  CClientDC dc(wnd.m_hWnd);
  const COLORREF c = ::GetPixel(dc, x, y);
  return c;
}

class BitmapItemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(item.CreateEx(0, CWnd::DefaultClassName(), L"", WS_CHILD | WS_VISIBLE, RECT{10, 10, 50, 40}, &host,
                              static_cast<UINT_PTR>(-1)));
  }
  GuiTestHost host;
  CBitmapItem item;
};

TEST_F(BitmapItemTest, ShowsItsOwnCopyOfTheImageCorner) {
  // The source's (0, 0) corner of the item's size is copied, whatever left and top say.
  HBITMAP source = gui::testing::MakeBitmap(100, 100, [](int x, int) { return x < 40 ? kRed : kBlue; });
  item.SetBitmap(source, 50, 50, 90, 80);
  ::DeleteObject(source);  // the item's copy is its own
  EXPECT_EQ(item.m_image.GetSize().cx, 40);
  EXPECT_EQ(item.m_image.GetSize().cy, 30);
  EXPECT_EQ(PaintedPixel(item, 5, 5), kRed);

  // A null source leaves the previous image.
  HGDIOBJ before = item.m_image.GetSafeHandle();
  item.SetBitmap(nullptr, 0, 0, 40, 30);
  EXPECT_EQ(item.m_image.GetSafeHandle(), before);
}

TEST_F(BitmapItemTest, MaskGivesTheWindowItsShape) {
  HBITMAP source = SolidBitmap(40, 30, kBlue);
  // Black where the window is, white (transparent) in the right half.
  HBITMAP mask = gui::testing::MakeBitmap(40, 30, [](int x, int) { return x < 20 ? RGB(0, 0, 0) : RGB(255, 255, 255); });
  item.SetBitmapAndRegion(mask, source, 0, 0, 40, 30);
  HRGN region = ::CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(::GetWindowRgn(item.m_hWnd, region), ERROR);
  EXPECT_TRUE(::PtInRegion(region, 5, 5));
  EXPECT_FALSE(::PtInRegion(region, 30, 5));
  ::DeleteObject(region);
  ::DeleteObject(mask);
  ::DeleteObject(source);
}

TEST_F(BitmapItemTest, NullMaskKeepsTheWindowRectangular) {
  HBITMAP source = SolidBitmap(40, 30, kBlue);
  item.SetBitmapAndRegion(nullptr, source, 0, 0, 40, 30);
  HRGN region = ::CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(::GetWindowRgn(item.m_hWnd, region), ERROR);  // no region set
  ::DeleteObject(region);
  EXPECT_FALSE(item.m_image.IsNull());
  ::DeleteObject(source);
}

TEST_F(BitmapItemTest, PaintingWithoutAnImageStillValidates) {
  item.Invalidate();
  ::SendMessageW(item.m_hWnd, WM_PAINT, 0, 0);
  RECT update{};
  EXPECT_FALSE(::GetUpdateRect(item.m_hWnd, &update, FALSE));
}

TEST_F(BitmapItemTest, CommandsOfControlsOnTheItemReachItsParent) {
  CWnd key;
  ASSERT_TRUE(key.CreateEx(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}, &item, 427));
  ::SendMessageW(key.m_hWnd, BM_CLICK, 0, 0);
  host.Pump();
  const auto commands = host.ReceivedOf(WM_COMMAND);
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(LOWORD(commands[0].wParam), 427);
  EXPECT_EQ(commands[0].lParam, reinterpret_cast<LPARAM>(key.m_hWnd));
}

// A key on the item that counts the commands reflected to it and passes them on.
class CountingKey : public CWnd {
 public:
  int m_reflectedCommands = 0;

 protected:
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
    if (msg == platform::Reflected(WM_COMMAND)) {
      ++m_reflectedCommands;
      return false;
    }
    return CWnd::OnMessage(msg, wp, lp, result);
  }
};

TEST_F(BitmapItemTest, AKeysCommandIsReflectedToItOnceOnly) {
  CountingKey key;
  ASSERT_TRUE(key.CreateEx(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}, &item, 427));
  ::SendMessageW(key.m_hWnd, BM_CLICK, 0, 0);
  host.Pump();
  // Offered by the item (its parent); the item's forward to the panel is not offered again.
  EXPECT_EQ(key.m_reflectedCommands, 1);
  EXPECT_EQ(host.ReceivedOf(WM_COMMAND).size(), 1u);
}

TEST_F(BitmapItemTest, ItemsAreDeletedThroughTheirHeader) {
  auto* onList = new CBitmapItem;
  ASSERT_TRUE(onList->CreateEx(0, CWnd::DefaultClassName(), L"", WS_CHILD, RECT{0, 0, 5, 5}, &host, 1));
  HWND hwnd = onList->m_hWnd;
  CGUIItem* header = onList;
  delete header;
  EXPECT_FALSE(::IsWindow(hwnd));

  HBITMAP source = SolidBitmap(8, 6, kRed);
  CGUIItem* panelBitmap = new CPanelBitmap(source, host.m_hWnd);
  HGDIOBJ copy = static_cast<CPanelBitmap*>(panelBitmap)->GetSafeHandle();
  EXPECT_EQ(static_cast<CPanelBitmap*>(panelBitmap)->GetSize().cx, 8);
  EXPECT_NE(copy, source);
  delete panelBitmap;
  EXPECT_EQ(::GetObjectType(copy), 0u);
  EXPECT_NE(::GetObjectType(source), 0u);
  ::DeleteObject(source);

  CPanelBitmap empty(nullptr, nullptr);
  EXPECT_TRUE(empty.IsNull());
  EXPECT_EQ(empty.id, -1);
  EXPECT_EQ(empty.hwnd, gui::kNoItemWindowYet);
}

TEST(MemDC, ReachesTheTargetOnceWhenDestroyed) {
  // Moved into a plain CDC it would never copy itself to the target.
  static_assert(!std::is_constructible_v<CDC, CMemDC&&> && !std::is_assignable_v<CDC&, CMemDC&&>);
  CClientDC screen(nullptr);
  CDC target;
  target.CreateCompatibleDC(screen);
  CBitmap surface;
  surface.CreateCompatibleBitmap(screen, 20, 20);
  platform::SelectGuard select(target, surface.GetSafeHandle());
  target.FillSolidRect(RECT{0, 0, 20, 20}, kBlue);
  ::SetBkColor(target, RGB(0, 200, 0));

  const RECT area{5, 5, 15, 15};
  {
    CMemDC mem(&target, &area);
    // Filled with the target's background colour, in the target's coordinates.
    EXPECT_EQ(::GetPixel(mem, 6, 6), RGB(0, 200, 0));
    mem.FillSolidRect(RECT{5, 5, 10, 10}, kRed);
    EXPECT_EQ(::GetPixel(target, 6, 6), kBlue);  // nothing on the target yet
  }
  EXPECT_EQ(::GetPixel(target, 6, 6), kRed);
  EXPECT_EQ(::GetPixel(target, 12, 12), RGB(0, 200, 0));
  EXPECT_EQ(::GetPixel(target, 2, 2), kBlue);  // outside the rectangle: untouched
}

}  // namespace
