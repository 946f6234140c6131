#include "gui/testing/TestBitmaps.h"

#include <cstdint>
#include <vector>

#include "platform/Handles.h"

namespace gui::testing {

namespace {
std::vector<uint8_t> Pixels24(int width, int height, const std::function<COLORREF(int, int)>& colour, int& pitch) {
  pitch = (width * 3 + 3) & ~3;
  std::vector<uint8_t> bits(static_cast<size_t>(pitch) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const COLORREF c = colour(x, y);
      uint8_t* p = &bits[static_cast<size_t>(height - 1 - y) * pitch + x * 3];  // bottom-up
      p[0] = GetBValue(c);
      p[1] = GetGValue(c);
      p[2] = GetRValue(c);
    }
  return bits;
}
}  // namespace

HBITMAP MakeBitmap(int width, int height, const std::function<COLORREF(int, int)>& colour) {
  int pitch = 0;
  std::vector<uint8_t> bits = Pixels24(width, height, colour, pitch);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  void* dibBits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &dibBits, nullptr, 0);
  if (bmp && dibBits) memcpy(dibBits, bits.data(), bits.size());
  return bmp;
}

HBITMAP SolidBitmap(int width, int height, COLORREF colour) {
  return MakeBitmap(width, height, [colour](int, int) { return colour; });
}

bool WriteBmpFile(const std::wstring& path, int width, int height, const std::function<COLORREF(int, int)>& colour) {
  int pitch = 0;
  std::vector<uint8_t> bits = Pixels24(width, height, colour, pitch);
  BITMAPFILEHEADER fh{};
  BITMAPINFOHEADER ih{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof(fh) + sizeof(ih);
  fh.bfSize = static_cast<DWORD>(fh.bfOffBits + bits.size());
  ih.biSize = sizeof(ih);
  ih.biWidth = width;
  ih.biHeight = height;
  ih.biPlanes = 1;
  ih.biBitCount = 24;
  ih.biCompression = BI_RGB;
  ih.biSizeImage = static_cast<DWORD>(bits.size());
  platform::KernelHandle f(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return false;
  DWORD written = 0;
  bool ok = WriteFile(f.Get(), &fh, sizeof(fh), &written, nullptr) &&
            WriteFile(f.Get(), &ih, sizeof(ih), &written, nullptr) &&
            WriteFile(f.Get(), bits.data(), static_cast<DWORD>(bits.size()), &written, nullptr);
  f.Close();
  return ok;
}

}  // namespace gui::testing
