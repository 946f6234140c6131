#include "gui/controls/ListDrawing.h"

#include <gtest/gtest.h>

#include <string>

#include "gui/testing/DrawProbe.h"
#include "platform/Gdi.h"

namespace {

constexpr int kWidth = 160, kHeight = 24;

// Draws one line of text with `font`, black on white.
void DrawSample(const gui::testing::DrawSurface& surface, HFONT font) {
  platform::SelectGuard select(surface.dc(), font);
  ::SetTextColor(surface.dc(), RGB(0, 0, 0));
  ::SetBkMode(surface.dc(), TRANSPARENT);
  const std::wstring text = L"Macro 12 Wg$ ijl";
  ::TextOutW(surface.dc(), 2, 2, text.c_str(), static_cast<int>(text.size()));
}

std::wstring FaceOf(const gui::testing::DrawSurface& surface, HFONT font) {
  platform::SelectGuard select(surface.dc(), font);
  wchar_t face[LF_FACESIZE] = {};
  ::GetTextFaceW(surface.dc(), LF_FACESIZE, face);
  return face;
}

}  // namespace

// The lists drew with a fallback font of pitch and family 0, the other controls
// with 0x20 (a proportional sans-serif). The face is named, so the family only
// decides when that face is missing; the lists now take the controls' font, and
// their text must come out pixel for pixel as before.
TEST(ListFallbackFont, DrawsAsThePitchAndFamilyZeroFontDid) {
  CFont former;
  ASSERT_TRUE(former.CreateFont(14, FW_BOLD, DEFAULT_PITCH | FF_DONTCARE, L"Arial"));
  const HFONT now = gui::FontOrDefault(nullptr);
  ASSERT_NE(now, nullptr);

  gui::testing::DrawSurface before(kWidth, kHeight, RGB(255, 255, 255));
  gui::testing::DrawSurface after(kWidth, kHeight, RGB(255, 255, 255));
  DrawSample(before, former);
  DrawSample(after, now);
  EXPECT_EQ(FaceOf(before, former), FaceOf(after, now));
  EXPECT_EQ(gui::FontHeight(former), gui::FontHeight(now));
  const RECT drawn = before.BoundsOfNot(RGB(255, 255, 255));
  ASSERT_FALSE(::IsRectEmpty(&drawn));
  int differing = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      if (before.Pixel(x, y) != after.Pixel(x, y)) ++differing;
  EXPECT_EQ(differing, 0);
}
