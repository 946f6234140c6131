#include "gui/panels/GUIPanel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/controls/BitmapItem.h"
#include "gui/testing/SkinTestFolder.h"
#include "platform/Gdi.h"

namespace {

constexpr COLORREF kBackground = RGB(0, 0, 200);
constexpr COLORREF kSentinel = RGB(10, 200, 10);

class TestPanel : public CGUIPanel {
 public:
  using CGUIPanel::CGUIPanel;
  void BindItems() override { ++bound; }
  int bound = 0;
};

class RecordingPopup : public CPopupBox {
 public:
  using CPopupBox::CPopupBox;
  void BindItems() override { itemsWhenBound = static_cast<int>(Items().size()); }
  int itemsWhenBound = -1;
};

// Ends itself as soon as it is initialised, noting what its items were then.
class SelfEndingPanel : public CGUIPanel {
 public:
  using CGUIPanel::CGUIPanel;
  void BindItems() override {}
  BOOL OnInitDialog() override {
    m_runs.push_back({Items().size(), Background() && !Background()->IsNull(),
                      FindItemById(Items(), 0) == Background(), IsModal()});
    EndDialog(static_cast<INT_PTR>(m_runs.size()));
    return TRUE;
  }
  struct Run {
    size_t items;
    bool backgroundDrawable;
    bool backgroundFirstFound;
    bool modal;
    bool operator==(const Run&) const = default;
  };
  std::vector<Run> m_runs;
};

class GUIPanelTest : public gui::testing::SkinTestFolder {
 protected:
  void SetUp() override {
    gui::testing::SkinTestFolder::SetUp();
    WriteImage(L"bg.bmp", 40, 30, kBackground);
    // The mask's top-left 10 x 6 corner is white: outside the window's shape.
    ASSERT_TRUE(gui::testing::WriteBmpFile(AppFolder + L"skins\\mask.bmp", 40, 30, [](int x, int y) {
      return x < 10 && y < 6 ? RGB(255, 255, 255) : RGB(0, 0, 0);
    }));
    WriteImage(L"white.bmp", 40, 30, RGB(255, 255, 255));
  }
  void WritePanel(const std::wstring& name, const char* mask) {
    WriteXml(name, std::string("<GUIPANEL><BACKGROUND>bg.bmp</BACKGROUND><MASK>") + mask + "</MASK></GUIPANEL>");
  }
  static RECT WindowRect(const CWnd& w) {
    RECT r{};
    w.GetWindowRect(&r);
    return r;
  }
  // What PaintBackground leaves at (x, y) of a 50 x 40 surface painted with the sentinel.
  static COLORREF PaintedPixel(const CGUIPanel& panel, int x, int y) {
    CClientDC screen(nullptr);
    CDC dc;
    dc.CreateCompatibleDC(screen);
    CBitmap surface;
    surface.CreateCompatibleBitmap(screen, 50, 40);
    platform::SelectGuard select(dc, surface);
    const RECT all{0, 0, 50, 40};
    dc.FillSolidRect(all, kSentinel);
    panel.PaintBackground(dc, all);
    return GetPixel(dc, x, y);
  }
};

TEST_F(GUIPanelTest, TakesTheBackgroundsSizeAtTheOriginAndTheMasksShape) {
  WritePanel(L"Shaped.xml", "mask.bmp");
  TestPanel panel(L"Shaped.xml", 102, nullptr);
  ASSERT_TRUE(panel.Create(102));
  const RECT r = WindowRect(panel);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, 40);
  EXPECT_EQ(r.bottom, 30);
  EXPECT_EQ(panel.Bounds().right, 40);
  EXPECT_EQ(panel.Bounds().bottom, 30);
  ASSERT_NE(panel.Background(), nullptr);
  ASSERT_NE(panel.Mask(), nullptr);

  CRgn shape;
  shape.CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(panel, shape), ERROR);
  HRGN expected = BitmapToRegion(GetSkinImageUtf8("mask.bmp"));
  ASSERT_NE(expected, nullptr);
  EXPECT_TRUE(EqualRgn(shape, expected));
  DeleteObject(expected);
  EXPECT_FALSE(shape.PtInRegion(2, 2));
  EXPECT_TRUE(shape.PtInRegion(20, 20));
  EXPECT_EQ(panel.bound, 0);  // binding is the derived panel's business
}

TEST_F(GUIPanelTest, AnAllWhiteMaskLeavesTheWindowRectangular) {
  WritePanel(L"White.xml", "white.bmp");
  TestPanel panel(L"White.xml", 102, nullptr);
  ASSERT_TRUE(panel.Create(102));
  EXPECT_EQ(panel.Region(), nullptr);
  CRgn shape;
  shape.CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(panel, shape), ERROR);
  EXPECT_EQ(WindowRect(panel).right, 40);
}

TEST_F(GUIPanelTest, ASkinFileThatCannotBeUsedIsReportedByNameAndNoWindowIsMade) {
  struct Report {
    HWND owner;
    std::wstring path;
  };
  std::vector<Report> reports;
  const gui::SkinFaultReport before =
      gui::SetSkinFaultReport([&](HWND owner, const std::wstring& path) { reports.push_back({owner, path}); });
  CWnd owner;
  ASSERT_TRUE(owner.CreateEx(0, CWnd::DefaultClassName(), L"", WS_POPUP, RECT{0, 0, 50, 50}, static_cast<HWND>(nullptr), 0));
  const struct {
    const char* what;
    const char* xml;  // null: no file at all
  } cases[] = {
      {"missing", nullptr},
      {"not well-formed", "<GUIPANEL><BACKGROUND>bg.bmp</BACKGROUND>"},
      {"no known root", "<PANEL/>"},
      {"a mask that cannot be loaded", "<GUIPANEL><BACKGROUND>bg.bmp</BACKGROUND><MASK>none.bmp</MASK></GUIPANEL>"},
      {"no background to take a size from", "<ITEMLIST/>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ::DeleteFileW((AppFolder + L"xml\\Broken.xml").c_str());
    if (c.xml) WriteXml(L"Broken.xml", c.xml);
    reports.clear();
    TestPanel modeless(L"Broken.xml", 102, &owner);
    EXPECT_FALSE(modeless.Create(102));
    EXPECT_EQ(modeless.m_hWnd, nullptr);
    // Modal, as popups run: refused at once instead of a blank box to click away.
    TestPanel modal(L"Broken.xml", 129, &owner);
    EXPECT_EQ(modal.DoModal(), -1);
    EXPECT_EQ(modal.m_hWnd, nullptr);
    EXPECT_TRUE(modal.Items().empty());
    ASSERT_EQ(reports.size(), 2u);
    for (const Report& r : reports) {
      EXPECT_EQ(r.owner, owner.m_hWnd);
      EXPECT_EQ(r.path, AppFolder + L"xml\\Broken.xml");
    }
  }
  gui::SetSkinFaultReport(before);
}

TEST_F(GUIPanelTest, PaintsOnlyBetweenCreationAndDestruction) {
  WritePanel(L"Paint.xml", "mask.bmp");
  TestPanel panel(L"Paint.xml", 102, nullptr);
  EXPECT_EQ(PaintedPixel(panel, 5, 5), kSentinel);
  ASSERT_TRUE(panel.Create(102));
  EXPECT_TRUE(panel.IsCreated());
  EXPECT_EQ(PaintedPixel(panel, 5, 5), kBackground);
  EXPECT_EQ(PaintedPixel(panel, 45, 35), kSentinel);  // outside the image
  panel.DestroyWindow();
  EXPECT_FALSE(panel.IsCreated());
  EXPECT_EQ(PaintedPixel(panel, 5, 5), kSentinel);
  // The bitmaps went with the window; their items stay until the panel goes.
  ASSERT_NE(panel.Background(), nullptr);
  EXPECT_TRUE(panel.Background()->IsNull());
  EXPECT_EQ(panel.Items().size(), 2u);
}

TEST_F(GUIPanelTest, RunModallyTwiceItLoadsItsSkinOnceEachTime) {
  WriteXml(L"Twice.xml",
           "<GUIPANEL><BACKGROUND>bg.bmp</BACKGROUND><MASK>mask.bmp</MASK>"
           "<FONTLIST><FONT name=\"FONT_ARIAL12\"/></FONTLIST></GUIPANEL>");
  SelfEndingPanel panel(L"Twice.xml", 129, nullptr);
  EXPECT_EQ(panel.DoModal(), 1);
  EXPECT_EQ(panel.DoModal(), 2);
  const SelfEndingPanel::Run run{3, true, true, true};
  EXPECT_EQ(panel.m_runs, (std::vector<SelfEndingPanel::Run>{run, run}));
  EXPECT_EQ(panel.Items().size(), 3u);
  EXPECT_FALSE(panel.IsCreated());
}

TEST_F(GUIPanelTest, APanelWithoutASkinFileTakesItsBounds) {
  TestPanel panel(nullptr, RECT{10, 20, 130, 100}, 102);
  ASSERT_TRUE(panel.Create(102));
  const RECT r = WindowRect(panel);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, 120);
  EXPECT_EQ(r.bottom, 80);
  EXPECT_TRUE(panel.Items().empty());
  EXPECT_EQ(PaintedPixel(panel, 5, 5), kSentinel) << "no background to draw";
  // With nothing to draw, painting still validates (no endless WM_PAINT).
  panel.Invalidate();
  panel.SendMessage(WM_PAINT);
  RECT update{};
  EXPECT_FALSE(GetUpdateRect(panel, &update, FALSE));
}

TEST_F(GUIPanelTest, APopupBindsItsItemsBeforeItsInitialisation) {
  WriteXml(L"Popup.xml",
           "<GUIPANEL><BACKGROUND>bg.bmp</BACKGROUND><MASK>mask.bmp</MASK>"
           "<FONTLIST><FONT name=\"FONT_ARIAL12\"/></FONTLIST></GUIPANEL>");
  RecordingPopup popup(L"Popup.xml", 129, nullptr);
  ASSERT_TRUE(popup.Create(129));
  EXPECT_EQ(popup.itemsWhenBound, 3);
}

}  // namespace
