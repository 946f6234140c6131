#include "tray/OnScreenDisplay.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/Gdi.h"
#include "tray/testing/TrayTestSupport.h"

namespace {

using tray::OnScreenDisplay;
using tray::testing::PumpPending;

std::wstring WindowText(HWND window) {
  wchar_t text[300] = {};
  SendMessageW(window, WM_GETTEXT, 300, reinterpret_cast<LPARAM>(text));
  return text;
}

// The window's client area drawn by its own paint code into a memory DC.
class Picture {
 public:
  explicit Picture(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    width = client.right;
    height = client.bottom;
    CClientDC screen(nullptr);
    dc.CreateCompatibleDC(screen);
    bitmap.CreateCompatibleBitmap(screen, width, height);
    select = std::make_unique<platform::SelectGuard>(dc, bitmap.GetSafeHandle());
    RECT all{0, 0, width, height};
    dc.FillSolidRect(all, RGB(255, 0, 255));  // what the window does not paint shows
    SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.m_hDC), PRF_CLIENT);
  }
  COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
  // Pixels in [left, right) x [top, bottom) for which `match` holds.
  template <typename F>
  int Count(int left, int top, int right, int bottom, F match) const {
    int n = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x) n += match(At(x, y)) ? 1 : 0;
    return n;
  }
  int width = 0, height = 0;

 private:
  CDC dc;
  CBitmap bitmap;
  std::unique_ptr<platform::SelectGuard> select;
};

bool IsTextColoured(COLORREF c) {
  return GetRValue(c) < 0x20 && GetBValue(c) < 0x20 && GetGValue(c) >= 0xC8 && GetGValue(c) <= 0xFE;
}

class DisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    display = std::make_unique<OnScreenDisplay>(GetModuleHandleW(nullptr));
    ASSERT_EQ(display->OsdInit(), S_OK);
  }
  HWND Text() const { return display->TextWindow(); }
  std::unique_ptr<OnScreenDisplay> display;
};

TEST_F(DisplayTest, TwoHiddenClickThroughTopmostWindowsOnThePrimaryMonitorsBottom) {
  for (HWND window : {display->TextWindow(), display->SliderWindow()}) {
    ASSERT_TRUE(IsWindow(window));
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)) & 0x080800A8u, 0x080800A8u);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)) & (WS_POPUP | WS_CAPTION),
              static_cast<DWORD>(WS_POPUP));
  }
  wchar_t name[32] = {};
  GetClassNameW(Text(), name, 32);
  EXPECT_STREQ(name, L"csl_osd");
  GetClassNameW(display->SliderWindow(), name, 32);
  EXPECT_STREQ(name, L"csl_osdslider");

  CClientDC screen(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  const int height = static_cast<int>(dpi / 72.0f * 20);
  const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
  RECT rect{};
  GetWindowRect(Text(), &rect);
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.top, cy - height - 50);
  EXPECT_EQ(rect.right, cx - 10);
  EXPECT_EQ(rect.bottom, cy - 50);
  if (cx == 1280 && cy == 1024 && dpi == 96) {
    EXPECT_EQ(rect.top, 948);
    EXPECT_EQ(rect.right, 1270);
    EXPECT_EQ(rect.bottom, 974);
  }

  // A display change puts it back at the bottom of the primary monitor.
  SetWindowPos(Text(), nullptr, 100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageW(Text(), WM_DISPLAYCHANGE, 24, MAKELPARAM(cx, cy));
  RECT moved{};
  GetWindowRect(Text(), &moved);
  EXPECT_TRUE(EqualRect(&moved, &rect));
}

TEST_F(DisplayTest, ShowsTheTextUntilTheHideTimerThenClearsIt) {
  display->ShowText(L"Profile 2");
  EXPECT_EQ(WindowText(Text()), L"Profile 2") << "the window's text follows at once";
  EXPECT_FALSE(IsWindowVisible(Text())) << "the request is posted";
  PumpPending();
  EXPECT_TRUE(IsWindowVisible(Text()));
  EXPECT_EQ(GetForegroundWindow() == Text(), false) << "never activated";

  SendMessageW(Text(), WM_TIMER, OsdHideTimer, 0);
  EXPECT_FALSE(IsWindowVisible(Text()));
  EXPECT_EQ(display->Text(), L"");
  EXPECT_EQ(WindowText(Text()), L"");
}

TEST_F(DisplayTest, DrawsTheTextBottomRightInTheTextColourOnTheKeyColour) {
  {
    display->ShowText(L"");
    PumpPending();
    EXPECT_TRUE(IsWindowVisible(Text())) << "an empty text still shows the window";
    Picture empty(Text());
    ASSERT_GT(empty.width, 100);
    const int notKey =
        empty.Count(0, 0, empty.width, empty.height, [](COLORREF c) { return c != RGB(0, 255, 0); });
    EXPECT_EQ(notKey, 0) << "only the key colour";
  }
  display->ShowText(L"Profile 2");
  PumpPending();
  Picture shown(Text());
  const int right = shown.Count(shown.width * 3 / 4, 0, shown.width, shown.height, IsTextColoured);
  const int left = shown.Count(0, 0, shown.width / 4, shown.height, IsTextColoured);
  EXPECT_GT(right, 10) << "text-coloured pixels at the right";
  EXPECT_EQ(left, 0) << "nothing at the left";
  const int magenta = shown.Count(0, 0, shown.width, shown.height, [](COLORREF c) { return c == RGB(255, 0, 255); });
  EXPECT_EQ(magenta, 0) << "the whole area is painted";
}

TEST_F(DisplayTest, TextsAreBounded) {
  display->ShowText(std::wstring(300, L'x'));
  EXPECT_EQ(display->Text(), std::wstring(254, L'x'));
  EXPECT_EQ(WindowText(Text()).size(), 254u);

  display->ShowDpiOsd(25, L"1600");
  EXPECT_EQ(display->SliderMode(), 1);
  EXPECT_EQ(display->RightBars(), 20) << "at most the bar maximum";
  display->ShowDpiOsd(3, L"12345");
  EXPECT_EQ(display->RightBars(), 20) << "a value text beyond 4 characters is refused";
  display->ShowDpiOsdXY(4, L"800", 6, L"12000");
  EXPECT_EQ(display->SliderMode(), 1) << "so is a right one";
  display->ShowDpiOsdXY(4, L"800", 6, L"1200");
  EXPECT_EQ(display->SliderMode(), 2);
  EXPECT_EQ(display->LeftBars(), 4);
  EXPECT_EQ(display->RightBars(), 6);
}

TEST_F(DisplayTest, TheSliderDrawsItsColumnsAndHidesWithItsTimer) {
  display->ShowDpiOsdXY(2, L"", 20, L"");
  PumpPending();
  HWND slider = display->SliderWindow();
  EXPECT_TRUE(IsWindowVisible(slider));
  Picture picture(slider);
  EXPECT_EQ(picture.width, 119);
  const int v = static_cast<int>(display->Scale() * 10);
  // The bar k's bottom lies at 6 + v + 240 - 12k; bar 0 and 1 drawn in the left column, bar 2 not.
  const auto barMiddle = [&](int k) { return 6 + v + 240 - 12 * k - 5; };
  EXPECT_EQ(picture.At(1, 1), RGB(0, 200, 0)) << "frame";
  EXPECT_EQ(picture.At(3, 3), RGB(0, 0, 0)) << "inside";
  EXPECT_EQ(picture.At(10, barMiddle(0)), RGB(0, 200, 0));
  EXPECT_EQ(picture.At(10, barMiddle(1)), RGB(0, 200, 0));
  EXPECT_EQ(picture.At(10, barMiddle(2)), RGB(0, 0, 0));
  EXPECT_EQ(picture.At(62 + 10, barMiddle(19)), RGB(0, 200, 0));
  EXPECT_EQ(picture.At(59, 10), RGB(0, 255, 0)) << "between the columns";

  SendMessageW(slider, WM_TIMER, OsdHideTimer, 0);
  EXPECT_FALSE(IsWindowVisible(slider));
  EXPECT_EQ(display->SliderMode(), 0);
}

// The display owns its windows: a second one in the same process works, and
// deleting either leaves the other alone and nothing of its own behind.
TEST_F(DisplayTest, ASecondDisplayWorksAndDeletingOneDestroysOnlyItsWindows) {
  auto second = std::make_unique<OnScreenDisplay>(GetModuleHandleW(nullptr));
  ASSERT_EQ(second->OsdInit(), S_OK);
  HWND text = second->TextWindow(), slider = second->SliderWindow();
  ASSERT_NE(text, Text());
  second.reset();
  EXPECT_FALSE(IsWindow(text));
  EXPECT_FALSE(IsWindow(slider));
  EXPECT_TRUE(IsWindow(Text()));
  display->ShowText(L"still here");
  PumpPending();
  EXPECT_TRUE(IsWindowVisible(Text()));

  HWND first = Text();
  display.reset();
  EXPECT_FALSE(IsWindow(first));
  display = std::make_unique<OnScreenDisplay>(GetModuleHandleW(nullptr));
  EXPECT_EQ(display->OsdInit(), S_OK) << "the registered classes serve again";
}

}  // namespace
