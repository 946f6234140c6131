// A skin page with every slider, marker and stage pane element, loaded into a
// visible host: each item is checked, each control is driven once, and known
// pixels of each are looked for on the screen. The picture is kept in the build
// folder as slider_page.bmp for people to look at.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "gui/Messages.h"
#include "gui/controls/BitmapItem.h"
#include "gui/controls/DpiStageWindow.h"
#include "gui/controls/RangeSlider.h"
#include "gui/controls/Sliders.h"
#include "gui/base/LangTable.h"
#include "gui/skin/SkinLoader.h"
#include "gui/base/SkinNameTables.h"
#include "gui/testing/ScreenPage.h"
#include "gui/testing/SkinTestFolder.h"
#include "platform/testing/GuiTestHost.h"
#include "platform/testing/MessageSequence.h"

namespace {

constexpr COLORREF kVThumb = RGB(0, 0, 200), kThumb = RGB(0, 200, 0), kThumbGround = RGB(255, 0, 255),
                   kTrack2 = RGB(0, 0, 250), kBack = RGB(0, 0, 150), kMark = RGB(150, 0, 0),
                   kFrame = RGB(0, 150, 0), kBox = RGB(0, 90, 150);
// The first track's picture tells every pixel's place, so a piece of it shows where it was cut.
COLORREF Track1Colour(int x, int y) { return RGB(x % 256, (y * 4) % 256, 60); }

std::string Rect(int l, int t, int w, int h) {
  return "<RECT left=\"" + std::to_string(l) + "\" top=\"" + std::to_string(t) + "\" right=\"" + std::to_string(w) +
         "\" bottom=\"" + std::to_string(h) + "\"/>";
}

bool Near(COLORREF a, COLORREF b) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= 2 && std::abs(GetGValue(a) - GetGValue(b)) <= 2 &&
         std::abs(GetBValue(a) - GetBValue(b)) <= 2;
}

void SendAtParentPoint(const CWnd& window, UINT msg, POINT parentPoint) {
  ::MapWindowPoints(::GetParent(window), window, &parentPoint, 1);
  window.SendMessage(msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(parentPoint.x, parentPoint.y));
}
void Drag(const CWnd& window, POINT from, POINT to) {
  SendAtParentPoint(window, WM_LBUTTONDOWN, from);
  SendAtParentPoint(window, WM_MOUSEMOVE, to);
  SendAtParentPoint(window, WM_LBUTTONUP, to);
}

class SliderPageTest : public gui::testing::SkinTestFolder {
 protected:
  void SetUp() override {
    gui::testing::SkinTestFolder::SetUp();
    ASSERT_TRUE(gui::testing::WriteBmpFile(AppFolder + L"skins\\track1.bmp", 320, 40, Track1Colour));
    WriteImage(L"track2.bmp", 320, 40, kTrack2);
    WriteImage(L"vthumb.bmp", 20, 20, kVThumb);
    // A thumb on a ground of its corner's colour, which its window's shape leaves out.
    ASSERT_TRUE(gui::testing::WriteBmpFile(AppFolder + L"skins\\thumb.bmp", 10, 12, [](int x, int) {
      return x == 0 || x == 9 ? kThumbGround : kThumb;
    }));
    WriteImage(L"over.bmp", 10, 12, RGB(200, 0, 0));
    WriteImage(L"back.bmp", 300, 300, kBack);
    WriteImage(L"mark.bmp", 300, 300, kMark);
    WriteImage(L"frame.bmp", 100, 60, kFrame);
    WriteImage(L"box.bmp", 80, 20, kBox);
    std::string stages;
    const char* names[] = {"SLIDER_DPI_MULTI_STAGE1", "SLIDER_DPI_MULTI_STAGE2", "SLIDER_DPI_MULTI_STAGE3",
                           "SLIDER_DPI_MULTI_STAGE4", "SLIDER_DPI_MULTI_STAGE5", "SLIDER_DPI_MULTI_X_STAGE1",
                           "SLIDER_DPI_MULTI_X_STAGE2"};
    for (const char* n : names) stages += std::string("<STAGE tooltip=\"$Tip\">") + n + "</STAGE>";
    const std::string pane = "<BMPINFO name=\"DPIFRAME\"><BMPDATA>frame.bmp</BMPDATA>" + Rect(0, 0, 100, 60) +
                             "</BMPINFO><BMPINFO name=\"DPIWIN\"><BMPDATA>box.bmp</BMPDATA>" + Rect(10, 30, 80, 20) +
                             "</BMPINFO><BMPINFO name=\"DPIWINX\"><BMPDATA>box.bmp</BMPDATA>" + Rect(10, 30, 35, 20) +
                             "</BMPINFO><BMPINFO name=\"DPIWINY\"><BMPDATA>box.bmp</BMPDATA>" + Rect(55, 30, 35, 20) +
                             "</BMPINFO>";
    WriteXml(L"page.xml",
             "<ITEMLIST><BITMAPLIST>"
             "<BITMAPITEM name=\"BITMAP_ZANTOR\"><SBMN>track1.bmp</SBMN>" + Rect(20, 20, 320, 40) + "</BITMAPITEM>"
             "<BITMAPITEM name=\"BITMAP_VELDAVIEWPLAN\"><SBMN>track2.bmp</SBMN>" + Rect(20, 80, 320, 40) +
             "</BITMAPITEM></BITMAPLIST><SLIDERLIST>"
             "<DMARKER name=\"SLIDER_ID_SENSX\"><SBMN>back.bmp</SBMN><MARK>mark.bmp</MARK>" + Rect(20, 140, 200, 16) +
             "</DMARKER>"
             "<VSLIDER name=\"SLIDER_ID_SPEED\" file=\"vthumb.bmp\">" + Rect(400, 20, 20, 200) + "</VSLIDER>"
             "<HSLIDERM name=\"SLIDER_DPI_MULTI\" trackid=\"BITMAP_ZANTOR\" interactive=\"1\"><STAGES>" + stages +
             "</STAGES><SBMN>thumb.bmp</SBMN><SBMO>over.bmp</SBMO>" + Rect(5, 14, 310, 12) + "</HSLIDERM>"
             "<HSLIDERMAPM name=\"SLIDER_APM_MULTI\" trackid=\"BITMAP_VELDAVIEWPLAN\"><SBMN>thumb.bmp</SBMN>"
             "<SBMO>over.bmp</SBMO>" + Rect(5, 14, 310, 12) + "</HSLIDERMAPM>"
             "</SLIDERLIST><DPISTAGELIST>"
             "<DPISTAGEWINDOW name=\"NOT_A_NAME\">" + pane + Rect(0, 0, 100, 60) + "</DPISTAGEWINDOW>"
             "<DPISTAGEWINDOW name=\"BUTTON_DPI_STAGE1\">" + pane + Rect(20, 200, 100, 60) + "</DPISTAGEWINDOW>"
             "<DPISTAGEWINDOW name=\"BUTTON_DPI_STAGE2\">" + pane + Rect(140, 200, 100, 60) + "</DPISTAGEWINDOW>"
             "</DPISTAGELIST></ITEMLIST>");
    language.m_pairs = {{L"Tip", L"Stage handle"}};
    previous = CurrentLangTable;
    CurrentLangTable = &language;
  }
  void TearDown() override {
    DestroyItemList(list);
    CurrentLangTable = previous;
    gui::testing::SkinTestFolder::TearDown();
  }
  template <typename T>
  T* Item(size_t index) {
    T* item = index < list.size() ? dynamic_cast<T*>(list[index]) : nullptr;
    EXPECT_NE(item, nullptr) << index;
    return item;
  }
  // Everything that reached the host since the last call.
  std::vector<platform::testing::SentMessage> Taken() {
    host.Pump();
    auto got = host.Received();
    host.ClearReceived();
    return got;
  }

  platform::testing::GuiTestHost host;
  CLangTable language;
  CLangTable* previous = nullptr;
  GUIItemList list;
};

TEST_F(SliderPageTest, EverySliderElementIsBuiltDrawnAndAnswers) {
  ASSERT_TRUE(LoadSkinFile(list, L"page.xml", host.m_hWnd));
  const std::vector<int32_t> kinds = {GUIKIND_BITMAPITEM, GUIKIND_BITMAPITEM,  GUIKIND_VSLIDER,
                                      GUIKIND_HSLIDERM,   GUIKIND_HSLIDERMAPM, GUIKIND_DMARKER,
                                      GUIKIND_DPISTAGEWINDOW, GUIKIND_DPISTAGEWINDOW};
  ASSERT_EQ(list.size(), kinds.size());
  for (size_t i = 0; i < kinds.size(); ++i) EXPECT_EQ(list[i]->kind, kinds[i]) << i;
  auto* track1 = Item<CBitmapItem>(0);
  auto* track2 = Item<CBitmapItem>(1);
  auto* vertical = Item<CVertSlider>(2);
  auto* multi = Item<CSliderHMulti>(3);
  auto* range = Item<CAPMSlider>(4);
  auto* marker = Item<CDMarker>(5);
  auto* pane1 = Item<CDPIStageWindow>(6);
  auto* pane2 = Item<CDPIStageWindow>(7);
  ASSERT_TRUE(track1 && track2 && vertical && multi && range && marker && pane1 && pane2);
  EXPECT_EQ(vertical->id, FindSkinElementId(L"SLIDER_ID_SPEED"));
  EXPECT_EQ(multi->id, FindSkinElementId(L"SLIDER_DPI_MULTI"));
  for (CGUIItem* windowed : {static_cast<CGUIItem*>(vertical), static_cast<CGUIItem*>(marker),
                             static_cast<CGUIItem*>(pane1), static_cast<CGUIItem*>(pane2)})
    EXPECT_EQ(windowed->parent, host.m_hWnd);
  EXPECT_EQ(multi->parent, track1->m_hWnd);
  EXPECT_EQ(range->parent, track2->m_hWnd);
  EXPECT_EQ(multi->hwnd, multi->m_hWnd);
  ASSERT_EQ(multi->m_thumbs.size(), 5u);
  for (size_t k = 0; k < 5; ++k) {
    EXPECT_EQ(multi->m_thumbs[k]->m_stage, static_cast<int>(k) + 3);
    EXPECT_EQ(multi->m_thumbs[k]->m_toolTip.Text(), L"Stage handle");
  }
  // The unknown first pane builds nothing but keeps its place among the panes.
  EXPECT_EQ(pane1->m_stageIndex, 1);
  EXPECT_EQ(pane2->m_stageIndex, 2);

  // The panes show what their owner sets: X and Y in the first, the zeros in the second.
  pane1->m_visible = pane2->m_visible = 1;
  pane1->m_xyMode = 1;
  pane1->m_valueX = 1200;
  pane1->m_valueY = 800;

  const auto shown = [&](const gui::testing::ScreenPicture& p) {
    return p.At(405, 25) == kVThumb && p.At(25, 205) == kFrame && p.At(145, 205) == kFrame;
  };
  const gui::testing::ScreenPicture shot =
      gui::testing::CaptureWhenShown(host.m_hWnd, host.m_hWnd, 640, 480, shown, [&] { host.Pump(); });
  ASSERT_TRUE(shot.Save(L"slider_page.bmp"));

  EXPECT_EQ(shot.At(405, 25), kVThumb);                  // the vertical thumb at its track's top
  EXPECT_NE(shot.At(405, 45), kVThumb);                  // and only there
  // The multi slider shows the piece of the first track under it.
  EXPECT_EQ(shot.At(25 + 2, 34 + 2), Track1Colour(5 + 2, 14 + 2));
  // Its first handle at stage 3: centre 20 pixels into the slider; the ground at its edges is cut away.
  EXPECT_EQ(shot.At(25 + 20, 34 + 6), kThumb);
  EXPECT_EQ(shot.At(25 + 15, 34 + 6), Track1Colour(5 + 15, 14 + 6));
  // The range slider: one range, colour 0, under its track picture at alpha 50.
  EXPECT_TRUE(Near(shot.At(25 + 100, 94 + 6), RGB(0, 0, 250 * 50 / 255)));
  EXPECT_EQ(shot.At(21, 141), kBack);                    // the marker at 0: nothing filled
  EXPECT_EQ(shot.At(22, 202), kFrame);                   // first pane: face
  EXPECT_EQ(shot.At(20 + 11, 200 + 31), kBox);           // its X box's edge
  EXPECT_EQ(shot.At(20 + 13, 200 + 32), RGB(0, 0, 0));   // the black value box
  EXPECT_EQ(shot.At(140 + 12, 200 + 32), kBox);          // second pane: the single box, no black
  EXPECT_EQ(pane1->m_valueXText, L"1200");

  // Each control driven once: it reports its own news, and no control's
  // report is taken for another's.
  using platform::testing::SequenceMatches;
  const platform::testing::MessageSet news{SliderChangedMessage, ApmRangeReachedMessage, MarkerMovedMessage,
                                           DpiStageClickedMessage};
  host.ClearReceived();
  Drag(*vertical, POINT{410, 25}, POINT{410, 115});
  EXPECT_TRUE(SequenceMatches(Taken(), {{SliderChangedMessage, 50, vertical->id}}, news));

  multi->SetOwner(host.m_hWnd);
  CPHSlider& handle = *multi->m_thumbs[0];
  Drag(handle, POINT{20, 6}, POINT{110, 6});
  // The stage reached on the way, then the drop's.
  EXPECT_TRUE(SequenceMatches(Taken(), {{SliderChangedMessage, 12, handle.id}, {SliderChangedMessage, 12, handle.id}},
                              news));

  range->SetOwner(host.m_hWnd);
  range->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(150, 6));
  EXPECT_TRUE(SequenceMatches(Taken(), {{ApmRangeReachedMessage, 0, range->id}}, news));

  Drag(*marker, POINT{30, 148}, POINT{120, 148});
  EXPECT_TRUE(SequenceMatches(Taken(), {{MarkerMovedMessage, 5, marker->id}}, news));

  pane2->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(50, 30));
  EXPECT_TRUE(SequenceMatches(Taken(), {{DpiStageClickedMessage, 2, pane2->id}}, news));
  pane2->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(50, 30));
  EXPECT_TRUE(SequenceMatches(Taken(), {}, news));
}

}  // namespace
