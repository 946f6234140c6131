// A skin page with every bitmap and button element, loaded into a visible host
// and checked on a picture of the screen: each control shows its normal image at
// its rectangle, masks let the page show through, and a button placed on a
// bitmap item sits at its offset inside it. The picture is kept in the build
// folder as bitmap_page.bmp for people to look at.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/controls/BitmapBtn.h"
#include "gui/controls/BitmapItem.h"
#include "gui/controls/BitmapWindow.h"
#include "gui/controls/ProfileBtn.h"
#include "gui/base/LangTable.h"
#include "gui/skin/SkinLoader.h"
#include "gui/base/SkinNameTables.h"
#include "gui/testing/ScreenPage.h"
#include "gui/testing/SkinTestFolder.h"
#include "platform/testing/GuiTestHost.h"

namespace {

constexpr COLORREF kPage = RGB(40, 40, 40), kBitmapItem = RGB(200, 120, 0), kPane = RGB(0, 120, 200),
                   kPaneOver = RGB(0, 200, 120), kOk = RGB(30, 160, 30), kCheck = RGB(160, 30, 160),
                   kMasked = RGB(220, 220, 40), kInner = RGB(250, 60, 60);
constexpr COLORREF kWhite = RGB(255, 255, 255), kBlack = RGB(0, 0, 0);

// Rectangles in the page (left, top, width, height as the skin writes them).
constexpr RECT kItemRect{20, 20, 200, 120};      // BITMAPITEM, white 12 x 12 corner at its top left
constexpr RECT kPaneRect{240, 20, 160, 120};     // BITMAPWINDOW
constexpr RECT kOkRect{20, 160, 80, 30};         // BUTTON with caption
constexpr RECT kCheckRect{120, 160, 40, 30};     // check box
constexpr RECT kMaskedRect{180, 160, 60, 40};    // BUTTON with a mask: white 8 x 8 corners
constexpr RECT kInnerRect{30, 30, 40, 20};       // BUTTON on the bitmap item
constexpr RECT kProfileRect{20, 220, 300, 30};   // PROFBUTTON, cut from a position-coded panel picture
constexpr RECT kAviRect{440, 20, 80, 60};        // AVIBUTTON

std::string Rect(const RECT& r) {
  return "<RECT left=\"" + std::to_string(r.left) + "\" top=\"" + std::to_string(r.top) + "\" right=\"" +
         std::to_string(r.right) + "\" bottom=\"" + std::to_string(r.bottom) + "\"/>";
}

COLORREF PanelColour(int x, int y) { return RGB(x % 256, y % 256, 90); }

class BitmapPageTest : public gui::testing::SkinTestFolder {
 protected:
  void SetUp() override {
    gui::testing::SkinTestFolder::SetUp();
    previous = CurrentLangTable;
    CurrentLangTable = &language;
    auto corner = [](int size, int w, int h) {
      return [=](int x, int y) {
        const bool inCorner = (x < size || x >= w - size) && (y < size || y >= h - size);
        return inCorner ? kWhite : kBlack;
      };
    };
    WriteImage(L"item.bmp", 200, 120, kBitmapItem);
    ASSERT_TRUE(gui::testing::WriteBmpFile(AppFolder + L"skins\\item_mask.bmp", 200, 120, [](int x, int y) {
      return x < 12 && y < 12 ? kWhite : kBlack;
    }));
    WriteImage(L"pane_size.bmp", 160, 120, RGB(1, 1, 1));
    WriteImage(L"pane_n.bmp", 160, 120, kPane);
    WriteImage(L"pane_o.bmp", 160, 120, kPaneOver);
    WriteImage(L"ok_n.bmp", 80, 30, kOk);
    WriteImage(L"ok_o.bmp", 80, 30, kWhite);
    WriteImage(L"check_n.bmp", 40, 30, kCheck);
    WriteImage(L"masked_n.bmp", 60, 40, kMasked);
    ASSERT_TRUE(gui::testing::WriteBmpFile(AppFolder + L"skins\\masked_m.bmp", 60, 40, corner(8, 60, 40)));
    WriteImage(L"inner_n.bmp", 40, 20, kInner);
    ASSERT_TRUE(gui::testing::WriteBmpFile(AppFolder + L"skins\\panel.bmp", 640, 480, PanelColour));
    WriteXml(L"page.xml", "<ITEMLIST><BITMAPLIST>"
                          "<BITMAPITEM name=\"BITMAP_ZANTOR\"><SBMN>item.bmp</SBMN><SBMM>item_mask.bmp</SBMM>" +
                              Rect(kItemRect) +
                              "</BITMAPITEM>"
                              "<BITMAPWINDOW name=\"BITMAPWIN_ASSIGNKEY\" tooltip=\"info pane\"><SBMDS>pane_size.bmp</SBMDS>"
                              "<SBMN>pane_n.bmp</SBMN><SBMO>pane_o.bmp</SBMO>" +
                              Rect(kPaneRect) +
                              "</BITMAPWINDOW></BITMAPLIST><BUTTONLIST>"
                              "<BUTTON name=\"BUTTON_OK\" caption=\"OK\" justify=\"C\"><SBMN fontclr=\"WHITE\">ok_n.bmp</SBMN>"
                              "<SBMO>ok_o.bmp</SBMO>" +
                              Rect(kOkRect) +
                              "</BUTTON>"
                              "<BUTTON name=\"BUTTON_CHKBOX_SLCT_SHIFT\" ischeckbox=\"1\"><SBMN>check_n.bmp</SBMN>" +
                              Rect(kCheckRect) +
                              "</BUTTON>"
                              "<BUTTON name=\"BUTTON_HELP\"><SBMN>masked_n.bmp</SBMN><SBMM>masked_m.bmp</SBMM>" +
                              Rect(kMaskedRect) +
                              "</BUTTON>"
                              "<BUTTON name=\"BUTTON_APPLY\" windowid=\"BITMAP_ZANTOR\"><SBMN>inner_n.bmp</SBMN>" +
                              Rect(kInnerRect) +
                              "</BUTTON>"
                              "<PROFBUTTON name=\"BUTTON_PROFILE\"><SBMN>panel.bmp</SBMN>" +
                              Rect(kProfileRect) +
                              "</PROFBUTTON>"
                              "<PROFBUTTON name=\"BUTTON_NEWPROFILE\"><SBMN>panel.bmp</SBMN>" + Rect(kProfileRect) +
                              "</PROFBUTTON>"
                              "<AVIBUTTON name=\"BUTTON_AVI\"><VIDEO>intro.avi</VIDEO>" +
                              Rect(kAviRect) +
                              "</AVIBUTTON>"
                              "<AVIBUTTON name=\"BUTTON_SAVEPROFILE\">" + Rect(kAviRect) +
                              "</AVIBUTTON>"
                              "</BUTTONLIST></ITEMLIST>");
    ASSERT_TRUE(page.CreateEx(0, CWnd::DefaultClassName(), L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                              RECT{0, 0, 640, 480}, &host, 1));
  }
  void TearDown() override {
    DestroyItemList(list);
    CurrentLangTable = previous;
    gui::testing::SkinTestFolder::TearDown();
  }

  static constexpr int kWidth = 640, kHeight = 480;

  platform::testing::GuiTestHost host;
  gui::testing::PageWindow page{kPage};
  CLangTable language;
  CLangTable* previous = nullptr;
  GUIItemList list;
};

TEST_F(BitmapPageTest, EveryElementShowsItsNormalImageAtItsPlace) {
  ASSERT_TRUE(LoadSkinFile(list, L"page.xml", page.m_hWnd));

  // Kinds in section order; only the first profile and animated button.
  const std::vector<int32_t> kinds = {GUIKIND_BITMAPITEM, GUIKIND_BITMAPWINDOW, GUIKIND_BUTTON,     GUIKIND_BUTTON,
                                      GUIKIND_BUTTON,     GUIKIND_BUTTON,       GUIKIND_PROFBUTTON, GUIKIND_AVIBUTTON};
  ASSERT_EQ(list.size(), kinds.size());
  for (size_t i = 0; i < kinds.size(); ++i) EXPECT_EQ(list[i]->kind, kinds[i]) << i;
  EXPECT_EQ(list[6]->id, FindSkinElementId(L"BUTTON_PROFILE"));
  EXPECT_EQ(list[7]->id, FindSkinElementId(L"BUTTON_AVI"));
  auto* item = dynamic_cast<CBitmapItem*>(list[0]);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->hwnd, nullptr);
  for (size_t i = 1; i < list.size(); ++i) EXPECT_EQ(list[i]->hwnd, dynamic_cast<CWnd*>(list[i])->m_hWnd) << i;
  auto* inner = dynamic_cast<CBitmapBtn*>(list[5]);
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(inner->parent, item->m_hWnd);
  auto* pane = dynamic_cast<CBitmapWindow*>(list[1]);
  ASSERT_NE(pane, nullptr);
  EXPECT_EQ(pane->m_toolTip.Text(), L"info pane");

  // Drawn, then looked at on the screen until the X server shows it.
  const gui::testing::ScreenPicture shot = gui::testing::CaptureWhenShown(
      host.m_hWnd, page.m_hWnd, kWidth, kHeight,
      [](const gui::testing::ScreenPicture& p) {
        return p.At(kInnerRect.left + kItemRect.left + 5, kInnerRect.top + kItemRect.top + 5) == kInner &&
               p.At(5, 5) == kPage;
      },
      [&] { host.Pump(); });
  ASSERT_TRUE(shot.Save(L"bitmap_page.bmp"));

  // Normal images at their rectangles (a point inside each corner and the middle,
  // where no caption lies).
  struct Area {
    const char* what;
    RECT rect;  // left, top, width, height
    COLORREF colour;
  } areas[] = {
      {"bitmap window", kPaneRect, kPane},
      {"check box", kCheckRect, kCheck},
  };
  for (const Area& a : areas) {
    const RECT& r = a.rect;
    for (POINT p : {POINT{r.left + 1, r.top + 1}, POINT{r.left + r.right - 2, r.top + r.bottom - 2},
                    POINT{r.left + r.right / 2, r.top + r.bottom / 2}})
      EXPECT_EQ(shot.At(p.x, p.y), a.colour) << a.what << " at " << p.x << "," << p.y;
    EXPECT_NE(shot.At(r.left - 1, r.top + 1), a.colour) << a.what << " spills left";
    EXPECT_NE(shot.At(r.left + r.right, r.top + 1), a.colour) << a.what << " spills right";
  }
  EXPECT_EQ(shot.At(kOkRect.left + 2, kOkRect.top + 2), kOk);
  EXPECT_EQ(shot.At(kOkRect.left + kOkRect.right - 3, kOkRect.top + kOkRect.bottom - 3), kOk);
  EXPECT_NE(shot.At(kOkRect.left + kOkRect.right, kOkRect.top + 2), kOk);

  // The bitmap item: its picture, with the page in its white corner.
  EXPECT_EQ(shot.At(kItemRect.left + 100, kItemRect.top + 100), kBitmapItem);
  EXPECT_EQ(shot.At(kItemRect.left + 3, kItemRect.top + 3), kPage);
  EXPECT_EQ(shot.At(kItemRect.left + 13, kItemRect.top + 3), kBitmapItem);

  // The masked button: its face inside, the page in its white corners.
  const RECT& m = kMaskedRect;
  EXPECT_EQ(shot.At(m.left + m.right / 2, m.top + m.bottom / 2), kMasked);
  for (POINT p : {POINT{m.left + 2, m.top + 2}, POINT{m.left + m.right - 3, m.top + 2},
                  POINT{m.left + 2, m.top + m.bottom - 3}, POINT{m.left + m.right - 3, m.top + m.bottom - 3}})
    EXPECT_EQ(shot.At(p.x, p.y), kPage) << "masked corner at " << p.x << "," << p.y;
  EXPECT_EQ(shot.At(m.left + 9, m.top + 2), kMasked);

  // The button on the bitmap item, at its offset inside it.
  const int innerLeft = kItemRect.left + kInnerRect.left, innerTop = kItemRect.top + kInnerRect.top;
  EXPECT_EQ(shot.At(innerLeft + 1, innerTop + 1), kInner);
  EXPECT_EQ(shot.At(innerLeft + kInnerRect.right - 2, innerTop + kInnerRect.bottom - 2), kInner);
  EXPECT_EQ(shot.At(innerLeft - 1, innerTop + 1), kBitmapItem);
  EXPECT_EQ(shot.At(innerLeft + kInnerRect.right, innerTop + 1), kBitmapItem);

  // The profile button: the panel picture at its own place.
  const RECT& pr = kProfileRect;
  for (POINT p : {POINT{pr.left + 1, pr.top + 1}, POINT{pr.left + 150, pr.top + 20}})
    EXPECT_EQ(shot.At(p.x, p.y), PanelColour(p.x, p.y)) << "profile button at " << p.x << "," << p.y;
}

}  // namespace
