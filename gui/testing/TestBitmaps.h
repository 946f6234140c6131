// Small helpers for tests that need bitmaps and image files of known pixels.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

namespace gui::testing {

// A 24-bit bitmap of the given size whose pixel (x, y) is colour(x, y) (COLORREF).
HBITMAP MakeBitmap(int width, int height, const std::function<COLORREF(int, int)>& colour);

// A 24-bit bitmap of one colour.
HBITMAP SolidBitmap(int width, int height, COLORREF colour);

// Writes a 24-bit BMP file of the given pixels; true on success.
bool WriteBmpFile(const std::wstring& path, int width, int height, const std::function<COLORREF(int, int)>& colour);

}  // namespace gui::testing
