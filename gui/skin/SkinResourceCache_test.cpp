#include "gui/skin/SkinResourceCache.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "gui/base/GUIItem.h"
#include "gui/testing/TestBitmaps.h"
#include "platform/Gdi.h"
#include "platform/Handles.h"
#include "platform/testing/TestFiles.h"

using gui::testing::MakeBitmap;
using gui::testing::WriteBmpFile;

namespace {

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  platform::KernelHandle f(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_NE(f.Get(), nullptr);
  DWORD written = 0;
  if (!bytes.empty()) WriteFile(f.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  f.Close();
}

// The region of the pixels that are not pure white, one pixel at a time.
HRGN NonWhitePixels(int w, int h, const std::function<COLORREF(int, int)>& colour) {
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (colour(x, y) != RGB(255, 255, 255)) {
        HRGN one = CreateRectRgn(x, y, x + 1, y + 1);
        CombineRgn(region, region, one, RGN_OR);
        DeleteObject(one);
      }
  return region;
}

class SkinResourceCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AppFolder = platform::testing::MakeTempFolder(L"skincache");
    for (const wchar_t* sub : {L"skins", L"lang", L"bin", L"fonts"}) CreateDirectoryW((AppFolder + sub).c_str(), nullptr);
    ASSERT_TRUE(WriteBmpFile(AppFolder + L"skins\\Red.bmp", 4, 3, [](int, int) { return RGB(255, 0, 0); }));
  }
  void TearDown() override { SkinResourceCache::FreeAll(); }
};

TEST_F(SkinResourceCacheTest, OneRecordPerNameAndTypeWhateverTheCase) {
  SkinResource& a = SkinResourceCache::Get(L"Red.bmp", kSkinImage);
  SkinResource& b = SkinResourceCache::Get(L"RED.BMP", kSkinImage);
  EXPECT_EQ(&a, &b);
  ASSERT_NE(a.handle, nullptr);
  EXPECT_EQ(a.size, 8);
  BITMAP info{};
  ASSERT_TRUE(GetObjectW(static_cast<HBITMAP>(a.handle), sizeof(info), &info));
  EXPECT_EQ(info.bmWidth, 4);
  EXPECT_EQ(info.bmHeight, 3);

  // The same file as a DIB section is a second record, loaded its own way.
  SkinResource& dib = SkinResourceCache::Get(L"red.bmp", kSkinBitmap);
  EXPECT_NE(&dib, &a);
  EXPECT_NE(dib.handle, nullptr);
  EXPECT_NE(dib.handle, a.handle);
  EXPECT_GT(dib.size, 8);
}

TEST_F(SkinResourceCacheTest, AFailedLoadIsKeptAndNotRetried) {
  SkinResource& missing = SkinResourceCache::Get(L"Later.bmp", kSkinImage);
  EXPECT_EQ(missing.handle, nullptr);
  ASSERT_TRUE(WriteBmpFile(AppFolder + L"skins\\Later.bmp", 2, 2, [](int, int) { return RGB(0, 0, 0); }));
  SkinResource& again = SkinResourceCache::Get(L"later.bmp", kSkinImage);
  EXPECT_EQ(&again, &missing);
  EXPECT_EQ(again.handle, nullptr);
  EXPECT_EQ(GetCachedBinary(L"nothing.bin").size(), 0u);
}

TEST_F(SkinResourceCacheTest, WholeFilesCarryTheirExactSizePerType) {
  WriteFileBytes(AppFolder + L"lang\\Same.dat", std::string("\xff\xfe" "a\0b\0c", 7));
  WriteFileBytes(AppFolder + L"bin\\Same.dat", std::string(1000, 'x'));
  WriteFileBytes(AppFolder + L"bin\\Empty.dat", "");

  const SkinResource& lang = SkinResourceCache::Get(L"Same.dat", kLanguageFile);
  const SkinResource& bin = SkinResourceCache::Get(L"same.DAT", kBinaryFile);
  EXPECT_EQ(lang.Bytes().size(), 7u);
  EXPECT_EQ(bin.Bytes().size(), 1000u);
  // The name is cached under two types: each size is its own file's.
  EXPECT_EQ(GetResourceSize(L"Same.dat", kLanguageFile), 7);
  EXPECT_EQ(GetResourceSize(L"Same.dat", kBinaryFile), 1000);
  EXPECT_EQ(GetResourceSize(L"Same.dat", kSkinImage), 0);
  EXPECT_EQ(GetCachedBinary(L"SAME.dat").size(), 1000u);

  const SkinResource& empty = SkinResourceCache::Get(L"Empty.dat", kBinaryFile);
  EXPECT_EQ(empty.handle, nullptr);
  EXPECT_EQ(empty.size, 0);
  EXPECT_TRUE(empty.Bytes().empty());
}

TEST_F(SkinResourceCacheTest, WholeFilesAreReadUpToTheLimitAndNoFurther) {
  const size_t limit = static_cast<size_t>(gui::kMaxSkinFileBytes);
  WriteFileBytes(AppFolder + L"bin\\AtLimit.bin", std::string(limit, 'k'));
  WriteFileBytes(AppFolder + L"lang\\Over.txt", std::string(limit + 1, 'k'));
  EXPECT_EQ(GetCachedBinary(L"AtLimit.bin").size(), limit);
  const SkinResource& over = SkinResourceCache::Get(L"Over.txt", kLanguageFile);
  EXPECT_EQ(over.handle, nullptr);
  EXPECT_EQ(over.size, 0);
  EXPECT_TRUE(over.bytes.empty());
}

TEST_F(SkinResourceCacheTest, NamesThatLeaveTheFolderAreRefusedUnread) {
  // A file the refused names would reach if they were followed.
  ASSERT_TRUE(WriteBmpFile(AppFolder + L"Outside.bmp", 2, 2, [](int, int) { return RGB(0, 0, 0); }));
  const std::wstring longName(MAX_PATH, L'a');
  const std::wstring refused[] = {L"..\\Outside.bmp", L"sub\\..\\..\\Outside.bmp", L"../Outside.bmp",
                                  AppFolder + L"Outside.bmp", L"\\Outside.bmp", longName, L""};
  for (const std::wstring& name : refused) {
    const SkinResource& r = SkinResourceCache::Get(name, kSkinImage);
    EXPECT_EQ(r.handle, nullptr) << std::string(name.begin(), name.end());
    EXPECT_TRUE(r.path.empty());
  }
  // A name with ".." inside a file name is an ordinary name.
  ASSERT_TRUE(WriteBmpFile(AppFolder + L"skins\\a..b.bmp", 2, 2, [](int, int) { return RGB(0, 0, 0); }));
  EXPECT_NE(SkinResourceCache::Get(L"a..b.bmp", kSkinImage).handle, nullptr);
}

TEST_F(SkinResourceCacheTest, ImagesOpenWhileAnotherProgramReadsThem) {
  platform::KernelHandle other(CreateFileW((AppFolder + L"skins\\Red.bmp").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_NE(other.Get(), nullptr);
  EXPECT_NE(SkinResourceCache::Get(L"Red.bmp", kSkinImage).handle, nullptr);
  other.Close();
}

// A BMP of 24 or 32 bits, bottom-up or top-down, each pixel its own colour.
void WriteBmp(const std::wstring& path, int width, int height, int bits, bool topDown) {
  const int pitch = (width * bits / 8 + 3) / 4 * 4;
  std::string pixels(static_cast<size_t>(pitch * height), '\0');
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int row = topDown ? y : height - 1 - y;
      char* p = pixels.data() + row * pitch + x * bits / 8;
      p[0] = static_cast<char>(10 + x * 40);  // blue
      p[1] = static_cast<char>(20 + y * 50);  // green
      p[2] = static_cast<char>(x * 7 + y);    // red
      if (bits == 32) p[3] = static_cast<char>(0x80);
    }
  BITMAPFILEHEADER fh{};
  BITMAPINFOHEADER ih{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof(fh) + sizeof(ih);
  fh.bfSize = static_cast<DWORD>(fh.bfOffBits + pixels.size());
  ih.biSize = sizeof(ih);
  ih.biWidth = width;
  ih.biHeight = topDown ? -height : height;
  ih.biPlanes = 1;
  ih.biBitCount = static_cast<WORD>(bits);
  ih.biCompression = BI_RGB;
  WriteFileBytes(path, std::string(reinterpret_cast<const char*>(&fh), sizeof(fh)) +
                           std::string(reinterpret_cast<const char*>(&ih), sizeof(ih)) + pixels);
}

// The header of a 32-bit DIB; a negative height makes it top-down.
BITMAPINFO Dib32Info(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// The 32-bit bottom-up pixels of a bitmap, as a DIB section copy shows them.
std::vector<uint32_t> PixelsOf(HBITMAP bitmap, int width, int height) {
  std::vector<uint32_t> pixels(static_cast<size_t>(width * height));
  BITMAPINFO info = Dib32Info(width, height);
  HDC dc = CreateCompatibleDC(nullptr);
  GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
  DeleteDC(dc);
  return pixels;
}

// Whichever way an image is decoded, the record's bitmap holds what the system
// picture decoder makes of the file: odd widths (padded rows), both row orders,
// and a depth decoded the decoder's way.
TEST_F(SkinResourceCacheTest, ImagesHoldWhatThePictureDecoderMakesOfTheFile) {
  struct Case {
    const wchar_t* name;
    int width, height, bits;
    bool topDown;
  } cases[] = {{L"Odd.bmp", 3, 2, 24, false}, {L"TopDown.bmp", 5, 3, 24, true}, {L"Deep.bmp", 3, 2, 32, false}};
  for (const Case& c : cases) {
    const std::wstring path = AppFolder + L"skins\\" + c.name;
    WriteBmp(path, c.width, c.height, c.bits, c.topDown);
    HBITMAP decoded = nullptr;
    platform::ComRef<IPicture> picture;
    ASSERT_TRUE(LoadImageFileToBitmap(path, &decoded, &picture));
    const std::vector<uint32_t> expected = PixelsOf(decoded, c.width, c.height);
    picture.Reset();
    const SkinResource& r = SkinResourceCache::Get(c.name, kSkinImage);
    ASSERT_NE(r.handle, nullptr);
    EXPECT_EQ(r.size, 8);
    DIBSECTION section{};
    ASSERT_EQ(GetObjectW(static_cast<HBITMAP>(r.handle), sizeof(section), &section), static_cast<int>(sizeof(section)));
    EXPECT_EQ(section.dsBm.bmWidth, c.width);
    EXPECT_EQ(section.dsBm.bmHeight, c.height);
    EXPECT_EQ(section.dsBm.bmBitsPixel, 32);
    const auto* bits = static_cast<const uint32_t*>(section.dsBm.bmBits);
    EXPECT_EQ(std::vector<uint32_t>(bits, bits + c.width * c.height), expected) << c.name;
  }
}

TEST_F(SkinResourceCacheTest, Utf8LookupsTrimTheName) {
  EXPECT_NE(GetSkinImageUtf8("  Red.bmp\t"), nullptr);
  EXPECT_EQ(&SkinResourceCache::Get(L"Red.bmp", kSkinImage), &SkinResourceCache::Get(L"red.bmp", kSkinImage));
  EXPECT_NE(GetSkinBitmapUtf8(" Red.bmp"), nullptr);
  EXPECT_EQ(GetLangFileUtf8("none.txt"), nullptr);
  EXPECT_EQ(GetSkinImageUtf8(nullptr), nullptr);
}

TEST_F(SkinResourceCacheTest, FontsAreAddedPrivatelyAndRemovedAtTheEnd) {
  const std::wstring font = AppFolder + L"fonts\\Sans.ttf";
  ASSERT_TRUE(CopyFileW(L"Z:\\usr\\share\\fonts\\truetype\\dejavu\\DejaVuSans.ttf", font.c_str(), FALSE));
  const SkinResource& r = SkinResourceCache::Get(L"Sans.ttf", kSkinFont);
  ASSERT_NE(r.handle, nullptr);
  EXPECT_GT(*static_cast<int*>(r.handle), 0);
  SkinResourceCache::FreeAll();
  // Removed: a second removal finds nothing to remove.
  EXPECT_FALSE(RemoveFontResourceExW(font.c_str(), FR_PRIVATE, nullptr));
}

TEST(BitmapToRegion, WhiteIsTransparent) {
  EXPECT_EQ(BitmapToRegion(nullptr), nullptr);

  HBITMAP white = MakeBitmap(16, 8, [](int, int) { return RGB(255, 255, 255); });
  EXPECT_EQ(BitmapToRegion(white), nullptr);
  DeleteObject(white);

  // Near-white is not white: there is no tolerance.
  HBITMAP black = MakeBitmap(16, 8, [](int x, int) { return x == 0 ? RGB(255, 255, 254) : RGB(0, 0, 0); });
  HRGN region = BitmapToRegion(black);
  ASSERT_NE(region, nullptr);
  HRGN full = CreateRectRgn(0, 0, 16, 8);
  EXPECT_TRUE(EqualRgn(region, full));
  DeleteObject(full);
  DeleteObject(region);
  DeleteObject(black);
}

TEST(BitmapToRegion, ManyRunsCoverExactlyTheNonWhitePixels) {
  // Alternating columns with a hole pattern: 60 runs per row, 4800 runs in all,
  // so the rectangles are combined chunk by chunk.
  const int w = 120, h = 80;
  auto colour = [](int x, int y) { return (x % 2 == 0 && (x + y) % 7 != 0) ? RGB(10, 20, 30) : RGB(255, 255, 255); };
  HBITMAP striped = MakeBitmap(w, h, colour);
  HRGN region = BitmapToRegion(striped);
  ASSERT_NE(region, nullptr);

  HRGN expected = NonWhitePixels(w, h, colour);
  EXPECT_TRUE(EqualRgn(region, expected));
  DeleteObject(expected);
  DeleteObject(region);
  DeleteObject(striped);
}

TEST(CropBitmap, AnOwnerGetsTheNewBitmapAndLosesTheOldOne) {
  HBITMAP source = MakeBitmap(10, 10, [](int, int) { return RGB(0, 0, 255); });
  CClientDC screen(nullptr);
  CBitmap target;
  CropBitmap(target, screen, source, 0, 0, 4, 4);
  const HGDIOBJ first = target.GetSafeHandle();
  ASSERT_NE(first, nullptr);
  // A rectangle without area has nothing to copy into: the image stays.
  for (const RECT& empty : {RECT{0, 0, 0, 4}, RECT{0, 0, 4, 0}, RECT{5, 5, 2, 8}}) {
    CropBitmap(target, screen, source, empty.left, empty.top, empty.right, empty.bottom);
    EXPECT_EQ(target.GetSafeHandle(), first);
  }
  CropBitmap(target, screen, source, 2, 2, 9, 5);
  EXPECT_EQ(target.GetSize().cx, 7);
  EXPECT_EQ(target.GetSize().cy, 3);
  EXPECT_EQ(GetObjectType(first), 0u);  // replaced and deleted
  DeleteObject(source);
}

// A 32-bit DIB section whose every byte is its own, the unused fourth ones too.
HBITMAP MakeNumberedDib(int width, int height, bool topDown) {
  BITMAPINFO bi = Dib32Info(width, topDown ? -height : height);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  auto* bytes = static_cast<uint8_t*>(bits);
  for (int i = 0; i < width * height * 4; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
  return dib;
}

// The bytes of a bottom-up 32-bit DIB section as they lie in memory.
std::vector<uint32_t> RawPixels(HBITMAP dib) {
  DIBSECTION section{};
  if (GetObjectW(dib, sizeof(section), &section) != sizeof(section) || !section.dsBm.bmBits) return {};
  const auto* bits = static_cast<const uint32_t*>(section.dsBm.bmBits);
  return std::vector<uint32_t>(bits, bits + section.dsBm.bmWidth * section.dsBm.bmHeight);
}

// What a blit through two memory DCs copies of the rectangle into a fresh
// 32-bit DIB section.
std::vector<uint32_t> BlittedPiece(HBITMAP source, const RECT& r) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  BITMAPINFO bi = Dib32Info(w, h);
  void* bits = nullptr;
  HBITMAP piece = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC from = CreateCompatibleDC(nullptr), to = CreateCompatibleDC(nullptr);
  HGDIOBJ oldFrom = SelectObject(from, source), oldTo = SelectObject(to, piece);
  BitBlt(to, 0, 0, w, h, from, r.left, r.top, SRCCOPY);
  SelectObject(from, oldFrom);
  SelectObject(to, oldTo);
  DeleteDC(from);
  DeleteDC(to);
  std::vector<uint32_t> pixels = RawPixels(piece);
  DeleteObject(piece);
  return pixels;
}

// Pieces of the cache's images, and of a DIB section lying top-down, hold
// exactly what a blit copies; a rectangle reaching past the image is still
// cropped.
TEST_F(SkinResourceCacheTest, PiecesAreWhatABlitCopies) {
  WriteBmp(AppFolder + L"skins\\Sheet.bmp", 7, 5, 24, false);
  const auto cached = static_cast<HBITMAP>(SkinResourceCache::Get(L"Sheet.bmp", kSkinImage).handle);
  ASSERT_NE(cached, nullptr);
  HBITMAP topDown = MakeNumberedDib(7, 5, true);
  for (HBITMAP source : {cached, topDown}) {
    for (const RECT& r : {RECT{1, 1, 4, 5}, RECT{0, 0, 7, 5}, RECT{6, 4, 7, 5}, RECT{5, 2, 9, 6}}) {
      HBITMAP piece = nullptr;
      CropBitmap(piece, nullptr, source, r.left, r.top, r.right, r.bottom);
      ASSERT_NE(piece, nullptr);
      EXPECT_EQ(RawPixels(piece), BlittedPiece(source, r))
          << (source == cached ? "cached " : "top-down ") << r.left << "," << r.top << "," << r.right << ","
          << r.bottom;
      DeleteObject(piece);
    }
  }
  DeleteObject(topDown);
}

TEST(CropBitmap, CopiesTheRectangleIntoANewBitmap) {
  HBITMAP source = MakeBitmap(10, 10, [](int x, int y) { return x >= 5 && y >= 5 ? RGB(0, 255, 0) : RGB(0, 0, 255); });
  CClientDC screen(nullptr);
  HBITMAP target = nullptr;
  CropBitmap(target, screen, nullptr, 0, 0, 4, 4);
  EXPECT_EQ(target, nullptr);
  CropBitmap(target, screen, source, 4, 4, 8, 10);
  ASSERT_NE(target, nullptr);
  BITMAP info{};
  GetObjectW(target, sizeof(info), &info);
  EXPECT_EQ(info.bmWidth, 4);
  EXPECT_EQ(info.bmHeight, 6);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, target);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dc, 1, 1), RGB(0, 255, 0));
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(target);
  DeleteObject(source);
}

}  // namespace

// A mask's shape does not depend on how its image is held: a 24-bit DIB, a
// device-dependent bitmap, top-down and bottom-up 32-bit DIBs whose fourth
// bytes are not zero, and a piece cropped from a larger sheet (read in place by
// CroppedPieceToRegion, which hands any other bitmap on) all give the same region.
TEST(BitmapToRegion, EveryKindOfBitmapGivesTheSameShape) {
  const int w = 23, h = 11;
  auto colour = [](int x, int y) {
    return (x + 2 * y) % 5 == 0 || x == 4 ? RGB(255, 255, 255) : x % 3 == 0 ? RGB(255, 255, 254) : RGB(0, 0, 0);
  };
  HRGN expected = NonWhitePixels(w, h, colour);
  // The fourth bytes keep the numbers MakeNumberedDib gave them.
  auto dib32 = [&](bool topDown) {
    HBITMAP dib = MakeNumberedDib(w, h, topDown);
    DIBSECTION section{};
    GetObjectW(dib, sizeof(section), &section);
    auto* pixels = static_cast<uint8_t*>(section.dsBm.bmBits);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint8_t* p = pixels + (static_cast<size_t>(topDown ? y : h - 1 - y) * w + x) * 4;
        const COLORREF c = colour(x, y);
        p[0] = GetBValue(c);
        p[1] = GetGValue(c);
        p[2] = GetRValue(c);
      }
    return dib;
  };
  HBITMAP dib24 = MakeBitmap(w, h, colour);
  HBITMAP ddb = CreateBitmap(w, h, 1, 32, nullptr);
  {
    HDC from = CreateCompatibleDC(nullptr), to = CreateCompatibleDC(nullptr);
    HGDIOBJ oldFrom = SelectObject(from, dib24), oldTo = SelectObject(to, ddb);
    BitBlt(to, 0, 0, w, h, from, 0, 0, SRCCOPY);
    SelectObject(from, oldFrom);
    SelectObject(to, oldTo);
    DeleteDC(from);
    DeleteDC(to);
  }
  // A piece cut from a larger sheet, as the keys' masks are.
  HBITMAP sheet = MakeBitmap(w + 7, h + 5, [&](int x, int y) {
    return x >= 3 && y >= 2 && x < w + 3 && y < h + 2 ? colour(x - 3, y - 2) : RGB(0, 0, 0);
  });
  CBitmap piece;
  CropBitmap(piece, nullptr, sheet, 3, 2, w + 3, h + 2);
  const struct {
    const char* what;
    HBITMAP bitmap;
  } kinds[] = {{"24-bit DIB", dib24},        {"device-dependent", ddb},
               {"32-bit top-down", dib32(true)}, {"32-bit bottom-up", dib32(false)},
               {"cropped piece", piece}};
  for (const auto& kind : kinds) {
    for (HRGN (*shape)(HBITMAP) : {&BitmapToRegion, &CroppedPieceToRegion}) {
      if (shape == &CroppedPieceToRegion && std::string(kind.what) == "32-bit top-down")
        continue;  // not a piece: nothing tells it from a bottom-up one
      SCOPED_TRACE(std::string(kind.what) + (shape == &BitmapToRegion ? ", copied" : ", as a piece"));
      HRGN region = shape(kind.bitmap);
      ASSERT_NE(region, nullptr);
      EXPECT_TRUE(EqualRgn(region, expected));
      DeleteObject(region);
    }
  }
  for (int i = 0; i < 4; ++i) DeleteObject(kinds[i].bitmap);
  DeleteObject(sheet);
  DeleteObject(expected);
}
