#include "gui/controls/BitmapWindow.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "gui/base/LangTable.h"
#include "gui/testing/DrawProbe.h"
#include "gui/testing/SkinTestFolder.h"
#include "gui/testing/TestBitmaps.h"
#include "platform/testing/GuiTestHost.h"

namespace {

using gui::testing::DrawSurface;
using gui::testing::PrintClient;

// A pane of 100 x 100: the picture area is (0, 0)-(100, 62), the band (0, 63)-(100, 100).
constexpr int kSide = 100;
constexpr COLORREF kNormal = RGB(10, 20, 200), kOver = RGB(20, 200, 20), kDown = RGB(200, 20, 20),
                   kKey = RGB(250, 250, 0), kGreen = RGB(0, 255, 0), kText = RGB(1, 2, 250);

using gui::testing::SolidBitmap;

class BitmapWindowTest : public gui::testing::SkinTestFolder {
 protected:
  void SetUp() override {
    gui::testing::SkinTestFolder::SetUp();
    previous = CurrentLangTable;
    CurrentLangTable = &language;
    images = {SolidBitmap(kSide, kSide, RGB(1, 1, 1)), SolidBitmap(kSide, kSide, kNormal), SolidBitmap(kSide, kSide, kOver),
              SolidBitmap(kSide, kSide, kDown)};
    // A keyboard picture whose colour tells the position: red = x, green = y.
    images.push_back(gui::testing::MakeBitmap(250, 250, [](int x, int y) { return RGB(x, y, 0); }));
    images.push_back(SolidBitmap(250, 250, kKey));
    Make();
  }
  void TearDown() override {
    pane.reset();
    CurrentLangTable = previous;
    for (HBITMAP b : images) ::DeleteObject(b);
    gui::testing::SkinTestFolder::TearDown();
  }
  // The size image gives the pane's rectangle; a pane of another height gets one of its own.
  void Make(int height = kSide) {
    pane = std::make_unique<CBitmapWindow>();
    ASSERT_TRUE(pane->Create(nullptr, L"", WS_CHILD | WS_VISIBLE, RECT{10, 10, 10 + kSide, 10 + height}, &host,
                             static_cast<UINT>(-1)));
    HBITMAP size = height == kSide ? images[0] : SolidBitmap(kSide, height, RGB(1, 1, 1));
    pane->SetBitmaps(size, images[1], images[2], images[3], nullptr);
    if (size != images[0]) ::DeleteObject(size);
  }
  std::unique_ptr<DrawSurface> Paint() {
    auto surface = std::make_unique<DrawSurface>(kSide, kSide, RGB(255, 0, 255));
    PrintClient(pane->m_hWnd, *surface);
    return surface;
  }

  platform::testing::GuiTestHost host;
  CLangTable language;
  CLangTable* previous = nullptr;
  std::vector<HBITMAP> images;
  std::unique_ptr<CBitmapWindow> pane;
};

TEST_F(BitmapWindowTest, StateImageFollowsLockAndText) {
  struct Case {
    uint8_t locked;
    const wchar_t* text;
    bool dropOver, dropDown;
    COLORREF shown;
  } cases[] = {
      {0, L"", false, false, kNormal},  {0, L"x", false, false, kOver},
      {1, L"", false, false, kDown},    {1, L"x", false, true, kOver},
      {0, L"x", true, false, kNormal},
  };
  for (const Case& c : cases) {
    pane->SetBitmaps(images[0], images[1], images[2], images[3], nullptr);
    if (c.dropOver) pane->m_bmpOver.DeleteObject();
    if (c.dropDown) pane->m_bmpDown.DeleteObject();
    pane->m_locked = 0;
    pane->SetText(c.text);
    pane->m_locked = c.locked;
    EXPECT_EQ(Paint()->Pixel(50, 50), c.shown) << int(c.locked) << " '" << c.text << "'";
  }
  // The size image fixes the pane's rectangle; here it is the client's.
  EXPECT_EQ(pane->m_rect.right, kSide);
  EXPECT_EQ(pane->m_rect.bottom, kSide);
}

TEST_F(BitmapWindowTest, LockedPaneIgnoresTextAndRepaintsNothing) {
  pane->SetText(L"before");
  pane->m_locked = 1;
  ::ValidateRect(pane->m_hWnd, nullptr);
  pane->SetText(L"after");
  EXPECT_EQ(pane->m_text, L"before");
  RECT update{};
  EXPECT_FALSE(::GetUpdateRect(pane->m_hWnd, &update, FALSE));

  // Unlocked: translated and case-converted; without a language the text is empty.
  language.m_pairs = {{L"name", L"Key\\nName"}};
  pane->m_locked = 0;
  pane->m_caseMode = 1;
  pane->SetText(L"$name");
  EXPECT_EQ(pane->m_text, L"KEY\r\nNAME");
  CurrentLangTable = nullptr;
  pane->SetText(L"anything");
  EXPECT_EQ(pane->m_text, L"");
}

TEST_F(BitmapWindowTest, KeyPictureIsACentredCropWithTheKeyInTheMiddle) {
  KeyPictureInfo info;
  info.normal = images[4];
  info.rect = RECT{90, 90, 110, 110};  // centre (100, 100)
  pane->m_keyPicture = &info;
  {
    const auto surface = Paint();
    // The 100 x 62 area around (100, 100) starts at (50, 69).
    EXPECT_EQ(surface->Pixel(0, 0), RGB(50, 69, 0));
    EXPECT_EQ(surface->Pixel(30, 40), RGB(80, 109, 0));
    EXPECT_EQ(surface->Pixel(50, 80), kNormal);  // the band is not part of the crop
  }

  // A smaller key at its own size in the middle; a larger one shrunk to fit.
  info.down = images[5];
  struct Case {
    RECT key;
    RECT drawn;  // where the key's image lies in the picture area
  } cases[] = {
      {RECT{90, 90, 110, 110}, RECT{40, 21, 60, 41}},
      {RECT{0, 0, 200, 100}, RECT{0, 6, 100, 56}},
      {RECT{0, 0, 31, 124}, RECT{42, 0, 57, 62}},
  };
  for (const Case& c : cases) {
    info.rect = c.key;
    const auto surface = Paint();
    const RECT& d = c.drawn;
    EXPECT_EQ(surface->Pixel(d.left, d.top), kKey) << d.left << "," << d.top;
    EXPECT_EQ(surface->Pixel(d.right - 1, d.bottom - 1), kKey) << d.right << "," << d.bottom;
    if (d.left > 0) {
      EXPECT_NE(surface->Pixel(d.left - 1, d.top), kKey) << d.left;
    }
    if (d.top > 0) {
      EXPECT_NE(surface->Pixel(d.left, d.top - 1), kKey) << d.top;
    }
    EXPECT_NE(surface->Pixel(d.right, d.bottom - 1), kKey) << d.right;
    EXPECT_NE(surface->Pixel(d.left, d.bottom), kKey) << d.bottom;
  }

  // Drawing went to a copy: without the key the state image is as before.
  pane->m_keyPicture = nullptr;
  EXPECT_EQ(Paint()->Pixel(0, 0), kNormal);
}

TEST_F(BitmapWindowTest, PanesAndKeysWithoutSizeDrawNoPicture) {
  KeyPictureInfo info;
  info.normal = images[4];
  info.down = images[5];
  info.rect = RECT{50, 50, 50, 80};  // no width
  pane->m_keyPicture = &info;
  const auto surface = Paint();
  EXPECT_FALSE(surface->HasColourIn(RECT{0, 0, kSide, 62}, kKey));

  // A pane lower than its band has no picture area at all.
  Make(30);
  pane->m_keyPicture = &info;
  info.rect = RECT{90, 90, 110, 110};
  const auto low = Paint();
  EXPECT_EQ(low->Pixel(5, 5), kNormal);
  EXPECT_FALSE(low->HasColourIn(RECT{0, 0, kSide, 30}, kKey));
}

TEST_F(BitmapWindowTest, AssignmentLineWithTheIconOfTheKind) {
  // Icons 12 x 37 (the band's height), each its own colour; the text is wider
  // than the pane, so the icon starts at the band's left.
  struct Icon {
    const wchar_t* file;
    COLORREF colour;
  } icons[] = {{L"icon_asskey_single_key.bmp", RGB(11, 0, 0)}, {L"icon_asskey_macro.bmp", RGB(22, 0, 0)},
               {L"icon_asskey_disable.bmp", RGB(33, 0, 0)},    {L"icon_asskey_profile.bmp", RGB(44, 0, 0)},
               {L"icon_asskey_app.bmp", RGB(55, 0, 0)},        {L"icon_asskey_default.bmp", RGB(66, 0, 0)}};
  for (const Icon& icon : icons) WriteImage(icon.file, 12, 37, icon.colour);
  pane->m_showAssignment = 1;
  pane->m_textColour = kText;
  pane->m_drawTextFormat = DT_LEFT | DT_SINGLELINE | DT_VCENTER;
  pane->SetText(L"WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW");
  const struct {
    int kind;
    COLORREF icon;
  } kinds[] = {{5, RGB(11, 0, 0)},  {6, RGB(22, 0, 0)},  {7, RGB(22, 0, 0)},  {8, RGB(33, 0, 0)},
               {21, RGB(44, 0, 0)}, {22, RGB(44, 0, 0)}, {62, RGB(55, 0, 0)}, {63, RGB(55, 0, 0)},
               {0, RGB(66, 0, 0)},  {1, RGB(66, 0, 0)},  {-1, RGB(66, 0, 0)}};
  for (const auto& k : kinds) {
    pane->m_assignmentKind = k.kind;
    const auto surface = Paint();
    EXPECT_EQ(surface->Pixel(3, 80), k.icon) << k.kind;
    EXPECT_EQ(surface->Pixel(50, kSide - CBitmapWindow::kBandHeight), kGreen) << k.kind;
    EXPECT_TRUE(surface->HasColourIn(RECT{12, 63, kSide, kSide}, kText)) << k.kind;
    EXPECT_FALSE(surface->HasColourIn(RECT{0, 63, 12, kSide}, kText)) << k.kind;
  }

  // Without the default icon in the skin the text starts at the band's left.
  SkinResourceCache::FreeAll();
  ::DeleteFileW((AppFolder + L"skins\\icon_asskey_default.bmp").c_str());
  pane->m_assignmentKind = 0;
  const auto plain = Paint();
  EXPECT_TRUE(plain->HasColourIn(RECT{0, 63, 12, kSide}, kText));

  // No text: no line and no icon, whatever m_showAssignment says.
  pane->SetText(L"");
  pane->m_assignmentKind = 5;
  const auto empty = Paint();
  EXPECT_EQ(empty->Pixel(50, kSide - CBitmapWindow::kBandHeight), kNormal);
  EXPECT_EQ(empty->Pixel(3, 80), kNormal);
}

}  // namespace
