#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "gui/controls/BitmapItem.h"
#include "gui/controls/DpiStageWindow.h"
#include "gui/controls/RangeSlider.h"
#include "gui/controls/Sliders.h"
#include "gui/skin/FontItem.h"
#include "gui/base/LangTable.h"
#include "gui/skin/SkinBuilders.h"
#include "gui/skin/SkinLoader.h"
#include "gui/base/SkinNameTables.h"
#include "gui/testing/DrawProbe.h"
#include "gui/testing/SkinTestFolder.h"
#include "gui/testing/XmlElement.h"
#include "platform/testing/GuiTestHost.h"

namespace {

using Element = gui::testing::XmlElement;

RECT RectInParent(HWND window) {
  RECT r;
  ::GetWindowRect(window, &r);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(window), reinterpret_cast<POINT*>(&r), 2);
  return r;
}
std::vector<LONG> Values(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

COLORREF PrintedPixel(const CWnd& window, int x, int y) {
  gui::testing::DrawSurface surface(400, 400, RGB(1, 2, 3));
  gui::testing::PrintClient(window, surface);
  return surface.Pixel(x, y);
}

int32_t Id(const wchar_t* name) { return FindSkinElementId(name); }

class SliderBuilders : public gui::testing::SkinTestFolder {
 protected:
  void SetUp() override {
    gui::testing::SkinTestFolder::SetUp();
    WriteImage(L"thumb.bmp", 10, 12, RGB(0, 200, 0));
    WriteImage(L"over.bmp", 10, 12, RGB(200, 0, 0));
    WriteImage(L"vthumb.bmp", 20, 20, RGB(0, 0, 200));
    WriteImage(L"back.bmp", 300, 300, RGB(0, 0, 150));
    WriteImage(L"mark.bmp", 300, 300, RGB(150, 0, 0));
    WriteImage(L"frame.bmp", 100, 60, RGB(0, 150, 0));
    // A bitmap item for `trackid`: the track picture is the item's image.
    track.Attach(gui::testing::MakeBitmap(400, 100, [](int, int) { return RGB(90, 90, 0); }));
    ASSERT_TRUE(trackItem.Create(nullptr, L"", WS_CHILD | WS_VISIBLE, RECT{0, 200, 400, 300}, &host, 1));
    trackItem.m_image.Attach(track.Detach());
    trackItem.id = Id(L"BITMAP_ZANTOR");
    trackItem.kind = GUIKIND_BITMAPITEM;
    trackItem.hwnd = trackItem.m_hWnd;
    list.push_back(&trackItem);
  }
  void TearDown() override {
    list.clear();  // the track item is the fixture's own
    gui::testing::SkinTestFolder::TearDown();
  }
  template <typename T>
  std::unique_ptr<T> Build(CGUIItem* (*builder)(const pugi::xml_node&, const BuildContext&), const std::string& xml) {
    Element e(xml);
    CGUIItem* item = builder(e.node, BuildContext{.parent = host, .list = &list});
    if (!item) return nullptr;
    T* typed = dynamic_cast<T*>(item);
    EXPECT_NE(typed, nullptr);
    return std::unique_ptr<T>(typed);
  }

  platform::testing::GuiTestHost host;
  CBitmap track;
  CBitmapItem trackItem;
  GUIItemList list;
};

TEST_F(SliderBuilders, AVerticalSliderIsItsThumbAtTheTopOfItsRectangle) {
  auto slider = Build<CVertSlider>(BuildVertSlider, R"(<VSLIDER name="SLIDER_ID_SPEED" file=" vthumb.bmp ">
                                                        <RECT left="30" top="10" right="20" bottom="200"/></VSLIDER>)");
  ASSERT_NE(slider, nullptr);
  EXPECT_EQ(slider->id, Id(L"SLIDER_ID_SPEED"));
  EXPECT_EQ(slider->kind, GUIKIND_VSLIDER);
  EXPECT_EQ(slider->hwnd, slider->m_hWnd);
  EXPECT_EQ(slider->parent, host.m_hWnd);
  EXPECT_EQ(slider->GetDlgCtrlID(), slider->id);
  EXPECT_EQ(Values(slider->m_track), (std::vector<LONG>{30, 10, 50, 210}));
  EXPECT_EQ(Values(RectInParent(*slider)), (std::vector<LONG>{30, 10, 50, 30}));
  EXPECT_EQ(PrintedPixel(*slider, 10, 10), RGB(0, 0, 200));
  EXPECT_EQ(Build<CVertSlider>(BuildVertSlider, R"(<VSLIDER name="NOT_A_NAME" file="vthumb.bmp"/>)"), nullptr);
}

TEST_F(SliderBuilders, AMultiSliderBuildsAtMostFiveStageHandlesOutsideTheList) {
  auto slider = Build<CSliderHMulti>(BuildMultiSlider, R"(<HSLIDERM name="SLIDER_DPI_MULTI" trackid="BITMAP_ZANTOR"
        interactive="1"><STAGES>
          <STAGE tooltip="First">SLIDER_DPI_MULTI_STAGE1</STAGE><STAGE>SLIDER_DPI_MULTI_STAGE2</STAGE>
          <STAGE>SLIDER_DPI_MULTI_STAGE3</STAGE><STAGE>SLIDER_DPI_MULTI_STAGE4</STAGE>
          <STAGE>SLIDER_DPI_MULTI_STAGE5</STAGE><STAGE>SLIDER_DPI_MULTI_X_STAGE1</STAGE>
          <STAGE>SLIDER_DPI_MULTI_X_STAGE2</STAGE></STAGES>
        <SBMN>thumb.bmp</SBMN><SBMO>over.bmp</SBMO><RECT left="10" top="20" right="310" bottom="12"/></HSLIDERM>)");
  ASSERT_NE(slider, nullptr);
  EXPECT_EQ(slider->kind, GUIKIND_HSLIDERM);
  // On the track item: its window is the parent, its picture the track's.
  EXPECT_EQ(slider->parent, trackItem.m_hWnd);
  EXPECT_EQ(::GetParent(*slider), trackItem.m_hWnd);
  EXPECT_EQ(PrintedPixel(*slider, 5, 5), RGB(90, 90, 0));
  EXPECT_EQ(slider->m_interactive, 1);
  ASSERT_EQ(slider->m_thumbs.size(), 5u);
  const wchar_t* names[] = {L"SLIDER_DPI_MULTI_STAGE1", L"SLIDER_DPI_MULTI_STAGE2", L"SLIDER_DPI_MULTI_STAGE3",
                            L"SLIDER_DPI_MULTI_STAGE4", L"SLIDER_DPI_MULTI_STAGE5"};
  for (size_t k = 0; k < 5; ++k) {
    const CPHSlider& handle = *slider->m_thumbs[k];
    EXPECT_EQ(handle.id, Id(names[k]));
    EXPECT_EQ(handle.kind, GUIKIND_SLIDERSTAGE);
    EXPECT_EQ(handle.hwnd, handle.m_hWnd);
    EXPECT_EQ(handle.parent, slider->m_hWnd);
    EXPECT_EQ(handle.GetDlgCtrlID(), handle.id);
    EXPECT_EQ(handle.m_stage, static_cast<int>(k) + 3);
    EXPECT_EQ(handle.m_interactive, 1);
    EXPECT_NE(handle.m_region, nullptr);  // every stage id but 0 gets a region
    // Each handle has images of its own, never the cache's.
    EXPECT_NE(static_cast<HBITMAP>(handle.m_bmpNormal), SkinResourceCache::Get(L"thumb.bmp", kSkinBitmap).handle);
  }
  EXPECT_TRUE(slider->m_thumbs[0]->m_toolTip.HasText());
  EXPECT_FALSE(slider->m_thumbs[1]->m_toolTip.HasText());
}

TEST_F(SliderBuilders, MultiSliderOffsetsAndMissingParts) {
  const struct {
    const char* attributes;
    int left, right;
  } offsets[] = {{R"(offset="15")", 15, 0}, {R"(loffset="15")", 0, 0}, {R"(roffset="9")", 0, 0},
                 {R"(loffset="15" roffset="9")", 15, 9}};
  for (const auto& c : offsets) {
    SCOPED_TRACE(c.attributes);
    auto slider = Build<CSliderHMulti>(
        BuildMultiSlider, std::string(R"(<HSLIDERM name="SLIDER_DPI_MULTI" )") + c.attributes +
                              R"(><STAGES><STAGE>SLIDER_DPI_MULTI_STAGE1</STAGE></STAGES>
                                 <SBMN>thumb.bmp</SBMN><RECT left="10" top="20" right="310" bottom="12"/></HSLIDERM>)");
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->m_thumbs[0]->m_leftOffset, c.left);
    EXPECT_EQ(slider->m_thumbs[0]->m_rightOffset, c.right);
    // Without `trackid` the slider lies on the given parent, without a track picture.
    EXPECT_EQ(slider->parent, host.m_hWnd);
    EXPECT_TRUE(slider->m_trackBitmap.IsNull());
    EXPECT_EQ(slider->m_interactive, 0);
  }
  EXPECT_EQ(Build<CSliderHMulti>(BuildMultiSlider, R"(<HSLIDERM name="SLIDER_DPI_MULTI"><SBMN>thumb.bmp</SBMN></HSLIDERM>)"),
            nullptr);
  EXPECT_EQ(Build<CSliderHMulti>(BuildMultiSlider, R"(<HSLIDERM name="SLIDER_DPI_MULTI"><STAGES/></HSLIDERM>)"), nullptr);
  EXPECT_EQ(Build<CSliderHMulti>(
                BuildMultiSlider, R"(<HSLIDERM name="NOPE"><STAGES><STAGE>SLIDER_DPI_MULTI_STAGE1</STAGE></STAGES></HSLIDERM>)"),
            nullptr);
}

TEST_F(SliderBuilders, ARangeSliderNeedsItsTrackItem) {
  auto slider = Build<CAPMSlider>(BuildApmSlider, R"(<HSLIDERMAPM name="SLIDER_APM_MULTI" trackid="BITMAP_ZANTOR">
        <SBMN>thumb.bmp</SBMN><SBMO>over.bmp</SBMO><RECT left="10" top="20" right="310" bottom="12"/></HSLIDERMAPM>)");
  ASSERT_NE(slider, nullptr);
  EXPECT_EQ(slider->kind, GUIKIND_HSLIDERMAPM);
  EXPECT_EQ(slider->parent, trackItem.m_hWnd);
  EXPECT_EQ(slider->m_linkedWindow, trackItem.m_hWnd);
  EXPECT_TRUE(slider->m_thumbs.empty());
  EXPECT_EQ(slider->m_colours.size(), 1u);
  EXPECT_EQ(slider->m_thumbNormal, SkinResourceCache::Get(L"thumb.bmp", kSkinBitmap).handle);
  EXPECT_EQ(Build<CAPMSlider>(BuildApmSlider, R"(<HSLIDERMAPM name="SLIDER_APM_MULTI"><RECT left="0" top="0" right="10" bottom="10"/></HSLIDERMAPM>)"),
            nullptr);
  EXPECT_EQ(Build<CAPMSlider>(BuildApmSlider, R"(<HSLIDERMAPM name="SLIDER_APM_MULTI" trackid="FONT_ARIAL10"/>)"),
            nullptr);
}

TEST_F(SliderBuilders, AMarkerCutsBothImagesAtItsRectangle) {
  auto marker = Build<CDMarker>(BuildMarker, R"(<DMARKER name="SLIDER_ID_SENSX"><SBMN>back.bmp</SBMN>
        <MARK>mark.bmp</MARK><RECT left="20" top="200" right="100" bottom="10"/></DMARKER>)");
  ASSERT_NE(marker, nullptr);
  EXPECT_EQ(marker->kind, GUIKIND_DMARKER);
  EXPECT_EQ(marker->m_id, Id(L"SLIDER_ID_SENSX"));
  EXPECT_EQ(Values(RectInParent(*marker)), (std::vector<LONG>{20, 200, 120, 210}));
  marker->m_value = 5;
  EXPECT_EQ(PrintedPixel(*marker, 10, 5), RGB(150, 0, 0));
  EXPECT_EQ(PrintedPixel(*marker, 90, 5), RGB(0, 0, 150));
}

constexpr char kPanes[] = R"(<ITEMLIST><FONTLIST><FONT name="FONT_ARIAL10"/></FONTLIST><DPISTAGELIST>
    <DPISTAGEWINDOW name="NOT_A_NAME"><RECT left="0" top="0" right="100" bottom="60"/></DPISTAGEWINDOW>
    <DPISTAGEWINDOW name="BUTTON_DPI_STAGE1" fontid="FONT_ARIAL10">
      <BMPINFO name="DPIFRAME"><BMPDATA>frame.bmp</BMPDATA><RECT left="0" top="0" right="100" bottom="60"/></BMPINFO>
      <BMPINFO name="DPIWIN"><BMPDATA>back.bmp</BMPDATA><RECT left="10" top="30" right="80" bottom="20"/></BMPINFO>
      <TEXTAREA name="heading" textkey="Stage"><RECT left="0" top="0" right="100" bottom="20"/></TEXTAREA>
      <RECT left="10" top="10" right="100" bottom="60"/></DPISTAGEWINDOW>
    <DPISTAGEWINDOW name="BUTTON_DPI_STAGE2"><RECT left="120" top="10" right="100" bottom="60"/></DPISTAGEWINDOW>
  </DPISTAGELIST></ITEMLIST>)";

TEST_F(SliderBuilders, StagePanesKeepTheirPlaceAmongTheSectionsElements) {
  GUIItemList loaded;
  ASSERT_TRUE(SkinLoader::LoadFile(host, WriteXml(L"panes.xml", kPanes), loaded));
  ASSERT_EQ(loaded.size(), 3u);  // the font and two panes
  auto* first = dynamic_cast<CDPIStageWindow*>(loaded[1]);
  auto* second = dynamic_cast<CDPIStageWindow*>(loaded[2]);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first->m_stageIndex, 1);
  EXPECT_EQ(second->m_stageIndex, 2);
  EXPECT_EQ(first->kind, GUIKIND_DPISTAGEWINDOW);
  EXPECT_EQ(first->GetDlgCtrlID(), Id(L"BUTTON_DPI_STAGE1"));
  EXPECT_EQ(first->m_font, static_cast<HFONT>(*static_cast<CFontItem*>(loaded[0])));
  EXPECT_EQ(second->m_font, nullptr);
  EXPECT_EQ(Values(first->m_blocks[1].rect), (std::vector<LONG>{10, 30, 90, 50}));
  EXPECT_EQ(Values(RectInParent(*first)), (std::vector<LONG>{10, 10, 110, 70}));
  first->m_visible = 1;
  EXPECT_EQ(PrintedPixel(*first, 5, 25), RGB(0, 150, 0));
  FreeItemList(loaded);
}

TEST_F(SliderBuilders, ARectangleOverrideMovesThePaneAndEveryAreaInIt) {
  CLangTable table;
  const int32_t values[4] = {30, 40, 50, 20};  // width/height form, as the skin writes it
  AddLanguageOverride(&table, Id(L"BUTTON_DPI_STAGE1"), values, sizeof(values), L"RECT");
  CurrentLangTable = &table;
  GUIItemList loaded;
  const bool loadedOk = SkinLoader::LoadFile(host, WriteXml(L"panes.xml", kPanes), loaded);
  CurrentLangTable = nullptr;
  ASSERT_TRUE(loadedOk);
  ASSERT_EQ(loaded.size(), 3u);
  auto* pane = dynamic_cast<CDPIStageWindow*>(loaded[1]);
  ASSERT_NE(pane, nullptr);
  const std::vector<LONG> moved{30, 40, 80, 60};
  EXPECT_EQ(Values(RectInParent(*pane)), moved);
  EXPECT_EQ(Values(pane->m_blocks[0].rect), moved);
  EXPECT_EQ(Values(pane->m_blocks[1].rect), moved);
  EXPECT_EQ(Values(pane->m_headingArea.rect), moved);
  FreeItemList(loaded);
}

}  // namespace
