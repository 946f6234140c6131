#include "platform/Gdi.h"

#include <gtest/gtest.h>

#include <type_traits>
#include <utility>

namespace {

bool Alive(HGDIOBJ h) { return ::GetObjectType(h) != 0; }

TEST(Gdi, OwnersFreeOnceAndMoveOnly) {
  static_assert(!std::is_copy_constructible_v<CBitmap>);
  static_assert(!std::is_copy_constructible_v<CDC>);
  static_assert(!std::is_copy_constructible_v<CImageList>);
  // A DC owner that ends its DC its own way never turns into a plain CDC.
  static_assert(std::is_move_constructible_v<CDC> && std::is_move_assignable_v<CDC>);
  static_assert(!std::is_constructible_v<CDC, CClientDC&&>);
  static_assert(!std::is_constructible_v<CDC, CPaintDC&&>);
  static_assert(!std::is_assignable_v<CDC&, CClientDC&&>);
  static_assert(!std::is_assignable_v<CDC&, CPaintDC&&>);
  HGDIOBJ handle;
  {
    CBitmap a;
    ASSERT_TRUE(a.CreateBitmap(4, 4, 1, 32, nullptr));
    handle = a.GetSafeHandle();
    CBitmap b(std::move(a));
    EXPECT_TRUE(a.IsNull());
    CBitmap c;
    c = std::move(b);
    EXPECT_EQ(c.GetSafeHandle(), handle);
    EXPECT_EQ(c.GetSize().cx, 4);
  }
  EXPECT_FALSE(Alive(handle));

  // DeleteObject leaves the owner empty, so its destructor frees nothing more.
  CBrush brush;
  ASSERT_TRUE(brush.CreateSolidBrush(RGB(1, 2, 3)));
  EXPECT_TRUE(brush.DeleteObject());
  EXPECT_TRUE(brush.IsNull());
  EXPECT_FALSE(brush.DeleteObject());

  // Detach hands the handle over.
  CPen pen;
  ASSERT_TRUE(pen.CreatePen(PS_SOLID, 1, 0));
  HGDIOBJ penHandle = pen.Detach();
  { CPen gone(std::move(pen)); }
  EXPECT_TRUE(Alive(penHandle));
  ::DeleteObject(penHandle);

  // Attach replaces: the old object is deleted.
  CRgn rgn;
  ASSERT_TRUE(rgn.CreateRectRgn(0, 0, 5, 5));
  HGDIOBJ oldRgn = rgn.GetSafeHandle();
  rgn.Attach(::CreateRectRgn(0, 0, 2, 2));
  EXPECT_FALSE(Alive(oldRgn));
  EXPECT_TRUE(rgn.PtInRegion(1, 1));
  EXPECT_FALSE(rgn.PtInRegion(3, 3));
}

TEST(Gdi, SelectGuardRestoresAndCompatibleDcIsDeleted) {
  HDC screen = ::GetDC(nullptr);
  HDC raw;
  CBitmap bitmap;
  ASSERT_TRUE(bitmap.CreateCompatibleBitmap(screen, 8, 8));
  {
    CDC dc;
    ASSERT_TRUE(dc.CreateCompatibleDC(screen));
    raw = dc.m_hDC;
    HGDIOBJ original = ::GetCurrentObject(dc, OBJ_BITMAP);
    {
      platform::SelectGuard guard(dc, bitmap.GetSafeHandle());
      EXPECT_EQ(::GetCurrentObject(dc, OBJ_BITMAP), bitmap.GetSafeHandle());
      dc.FillSolidRect(RECT{0, 0, 8, 8}, RGB(10, 20, 30));
      EXPECT_EQ(::GetPixel(dc, 3, 3), RGB(10, 20, 30));
    }
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_BITMAP), original);
  }
  EXPECT_EQ(::GetObjectType(raw), 0u);
  // Deselected, the bitmap can be deleted.
  EXPECT_TRUE(bitmap.DeleteObject());

  // A borrowed DC stays.
  {
    CDC borrowed;
    borrowed.Attach(screen);
  }
  EXPECT_NE(::GetObjectType(screen), 0u);
  ::ReleaseDC(nullptr, screen);
}

TEST(Gdi, ImageListIsDestroyedOnce) {
  CImageList list;
  ASSERT_TRUE(list.Create(16, 16, ILC_COLOR32, 1, 1));
  CImageList other(std::move(list));
  EXPECT_EQ(static_cast<HIMAGELIST>(list), nullptr);
  EXPECT_TRUE(other.DeleteImageList());
  EXPECT_FALSE(other.DeleteImageList());
}

}  // namespace
