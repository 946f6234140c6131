#include "gui/skin/SkinResourceCache.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <optional>

#include "platform/Gdi.h"
#include "platform/Handles.h"
#include "platform/StartTimes.h"
#include "platform/Strings.h"

std::wstring AppFolder;

namespace {

const wchar_t* FolderOf(int32_t type) {
  switch (type) {
    case kSkinFont: return L"fonts\\";
    case kLanguageFile: return L"lang\\";
    case kBinaryFile: return L"bin\\";
    default: return L"skins\\";
  }
}

// The file's length, -1 when it cannot be opened for reading.
int64_t FileLength(const std::wstring& path) {
  const platform::KernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return -1;
  LARGE_INTEGER size{};
  return GetFileSizeEx(file.Get(), &size) ? size.QuadPart : -1;
}

// A copy of the bitmap as a 32-bit DIB section; empty when it cannot be made.
// Under Wine, selecting a device-dependent bitmap into a DC and copying from it
// costs several times what it costs for a DIB section, and the controls crop
// every piece they show from these images (five per key of a keyboard page).
CBitmap CopyAsDibSection(HBITMAP source) {
  CBitmap copy;
  BITMAP info{};
  if (!GetObjectW(source, sizeof(info), &info) || info.bmWidth <= 0 || info.bmHeight <= 0) return copy;
  CDC from, to;
  if (!from.CreateCompatibleDC(nullptr) || !to.CreateCompatibleDC(nullptr)) return copy;
  if (!copy.CreateDibSection(to, info.bmWidth, info.bmHeight)) return copy;
  bool copied;
  {
    platform::SelectGuard selectFrom(from, source);
    platform::SelectGuard selectTo(to, copy);
    copied = to.BitBlt(0, 0, info.bmWidth, info.bmHeight, from, 0, 0, SRCCOPY) != FALSE;
  }
  if (!copied) copy.DeleteObject();
  return copy;
}

// The file's bytes, opened as the picture decoder's loader opens it (shared
// for reading only); empty when it cannot be read whole within the limit.
std::vector<uint8_t> ReadImageFile(const std::wstring& path) {
  std::vector<uint8_t> bytes;
  const platform::KernelHandle file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return bytes;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file.Get(), &size) && size.QuadPart > 0 && size.QuadPart <= gui::kMaxSkinFileBytes) {
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size())
      bytes.clear();
  }
  return bytes;
}

// An uncompressed 24-bit BMP (what the skin's images are) straight into the
// 32-bit DIB section that the picture decoder's bitmap would be copied into,
// pixel for pixel the same. The decoder's way makes a device-dependent bitmap
// through the screen and copies it out through two memory DCs of the screen,
// each of which asks the system about the displays again: for the fifty images
// of a start that was a tenth of the configurator's start-up. Any other file
// is left to the decoder (an empty result).
CBitmap DecodePlainBitmap(const std::vector<uint8_t>& file) {
  CBitmap image;
  BITMAPFILEHEADER fileHeader{};
  BITMAPINFOHEADER info{};
  if (file.size() < sizeof(fileHeader) + sizeof(info)) return image;
  std::memcpy(&fileHeader, file.data(), sizeof(fileHeader));
  std::memcpy(&info, file.data() + sizeof(fileHeader), sizeof(info));
  if (fileHeader.bfType != 0x4D42 || info.biSize < sizeof(info) || info.biPlanes != 1 || info.biBitCount != 24 ||
      info.biCompression != BI_RGB || info.biWidth <= 0 || info.biHeight == 0 || info.biHeight == INT32_MIN)
    return image;
  const int64_t width = info.biWidth;
  const int64_t height = info.biHeight < 0 ? -static_cast<int64_t>(info.biHeight) : info.biHeight;
  const int64_t pitch = (width * 3 + 3) / 4 * 4;
  if (fileHeader.bfOffBits < sizeof(fileHeader) + info.biSize ||
      static_cast<int64_t>(fileHeader.bfOffBits) + pitch * height > static_cast<int64_t>(file.size()))
    return image;
  if (!image.CreateDibSection(nullptr, static_cast<int>(width), static_cast<int>(height))) return image;
  DIBSECTION section{};
  if (GetObjectW(image, sizeof(section), &section) != sizeof(section) || section.dsBm.bmBits == nullptr) {
    image.DeleteObject();
    return image;
  }
  // Both bottom-up unless the file says top-down (a negative height).
  auto* target = static_cast<uint8_t*>(section.dsBm.bmBits);
  const uint8_t* source = file.data() + fileHeader.bfOffBits;
  for (int64_t row = 0; row < height; ++row) {
    const uint8_t* from = source + (info.biHeight > 0 ? row : height - 1 - row) * pitch;
    uint8_t* to = target + row * width * 4;
    for (int64_t x = 0; x < width; ++x, from += 3, to += 4) {
      to[0] = from[0];
      to[1] = from[1];
      to[2] = from[2];
      to[3] = 0;
    }
  }
  return image;
}

void Load(SkinResource& r) {
  namespace times = platform::start_times;
  const bool timed = r.type == kSkinImage || r.type == kSkinBitmap || r.type == kSkinFont;
  const times::Work work = r.type == kSkinFont ? times::Work::kFonts : times::Work::kDecode;
  if (timed) times::Count(work);
  std::optional<times::Scope> scope;
  if (timed) scope.emplace(work);
  switch (r.type) {
    case kSkinImage: {
      r.size = 8;
      r.image = DecodePlainBitmap(ReadImageFile(r.path));
      if (!r.image.IsNull()) {
        r.handle = static_cast<HBITMAP>(r.image);
        break;
      }
      HBITMAP bitmap = nullptr;
      if (LoadImageFileToBitmap(r.path, &bitmap, &r.picture)) {
        r.image = CopyAsDibSection(bitmap);
        if (!r.image.IsNull()) {
          r.picture.Reset();  // with the bitmap it decoded
          bitmap = r.image;
        }
        r.handle = bitmap;
      }
      r.size = 8;
      break;
    }
    case kSkinBitmap: {
      const int64_t length = FileLength(r.path);
      r.size = static_cast<int32_t>(std::clamp<int64_t>(length, 0, INT32_MAX));
      if (length > 0)
        r.handle = LoadImageW(nullptr, r.path.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION | LR_LOADFROMFILE);
      break;
    }
    case kSkinFont: {
      const int64_t length = FileLength(r.path);
      r.size = static_cast<int32_t>(std::clamp<int64_t>(length, 0, INT32_MAX));
      if (length > 0) {
        // Private to the process: the fonts are the skin's, not the user's.
        r.fontsAdded = AddFontResourceExW(r.path.c_str(), FR_PRIVATE, nullptr);
        if (r.fontsAdded > 0) r.handle = &r.fontsAdded;
      }
      break;
    }
    case kLanguageFile:
    case kBinaryFile:
      if (gui::ReadWholeFile(r.path, gui::kMaxSkinFileBytes, r.bytes)) {
        r.handle = r.bytes.data();
        r.size = static_cast<int32_t>(r.bytes.size());
      }
      break;
    default:
      break;
  }
}

struct Cache {
  std::vector<std::unique_ptr<SkinResource>> records;
  ~Cache() { Free(); }
  void Free() {
    while (!records.empty()) records.pop_back();
    std::vector<std::unique_ptr<SkinResource>>().swap(records);
  }
};

Cache& TheCache() {
  static Cache cache;
  return cache;
}

}  // namespace

bool gui::IsSafeSkinFileName(const std::wstring& name) {
  if (name.empty()) return false;
  if (name[0] == L'\\' || name[0] == L'/' || name.find(L':') != std::wstring::npos) return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of(L"\\/", start);
    if (end == std::wstring::npos) end = name.size();
    const std::wstring_view part(name.data() + start, end - start);
    if (part == L"..") return false;
    start = end + 1;
  }
  return true;
}

bool gui::ReadWholeFile(const std::wstring& path, int64_t limit, std::vector<uint8_t>& out) {
  platform::KernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file.Get(), &size) && size.QuadPart > 0 && size.QuadPart <= limit;
  if (ok) {
    out.assign(static_cast<size_t>(size.QuadPart), 0);
    DWORD read = 0;
    ok = ReadFile(file.Get(), out.data(), static_cast<DWORD>(out.size()), &read, nullptr) != FALSE;
    out.resize(ok ? read : 0);
    ok = ok && read > 0;
  }
  file.Close();
  if (!ok) out.clear();
  return ok;
}

SkinResource::~SkinResource() {
  type = -1;
  // A decoded image's bitmap belongs to the record (`image`) or to its picture
  // object; bitmaps loaded as DIB sections (type 1) live until the process ends.
  picture.Reset();
  if (fontsAdded > 0 && !path.empty()) RemoveFontResourceExW(path.c_str(), FR_PRIVATE, nullptr);
  handle = nullptr;
}

std::span<const uint8_t> SkinResource::Bytes() const {
  if (!handle || (type != kLanguageFile && type != kBinaryFile)) return {};
  return {bytes.data(), bytes.size()};
}

SkinResource& SkinResourceCache::Get(const std::wstring& name, int32_t type) {
  Cache& cache = TheCache();
  for (auto& r : cache.records)
    if (r->type == type && platform::EqualsNoCase(r->name, name)) return *r;
  auto r = std::make_unique<SkinResource>();
  r->name = name;
  r->type = type;
  const std::wstring path = AppFolder + FolderOf(type) + name;
  if (gui::IsSafeSkinFileName(name) && path.size() < MAX_PATH) {
    r->path = path;
    Load(*r);
  }
  cache.records.push_back(std::move(r));
  return *cache.records.back();
}

void SkinResourceCache::FreeAll() { TheCache().Free(); }

int32_t GetResourceSize(const std::wstring& name, int32_t type) {
  for (auto& r : TheCache().records)
    if (r->type == type && platform::EqualsNoCase(r->name, name)) return r->size;
  return 0;
}

namespace {
std::wstring TrimmedName(const char* utf8) { return utf8 ? platform::Trim(platform::Utf8ToWide(utf8)) : std::wstring(); }
}  // namespace

HBITMAP GetSkinImageUtf8(const char* name) {
  return static_cast<HBITMAP>(SkinResourceCache::Get(TrimmedName(name), kSkinImage).handle);
}

const SkinResource* GetLangFileUtf8(const char* name) {
  const SkinResource& r = SkinResourceCache::Get(TrimmedName(name), kLanguageFile);
  return r.handle ? &r : nullptr;
}

HBITMAP GetSkinBitmapUtf8(const char* name) {
  return static_cast<HBITMAP>(SkinResourceCache::Get(TrimmedName(name), kSkinBitmap).handle);
}

bool LoadImageFileToBitmap(const std::wstring& path, HBITMAP* bitmap, platform::ComRef<IPicture>* picture) {
  if (!bitmap || !picture) return false;
  *bitmap = nullptr;
  picture->Reset();
  // Shared for reading: the configurator and the tray read the same skin files.
  platform::KernelHandle file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 || size.QuadPart > gui::kMaxSkinFileBytes) return false;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(size.QuadPart));
  bool ok = block != nullptr;
  if (ok) {
    void* data = GlobalLock(block);
    DWORD read = 0;
    ok = data && ReadFile(file.Get(), data, static_cast<DWORD>(size.QuadPart), &read, nullptr) && read == size.QuadPart;
    if (data) GlobalUnlock(block);
  }
  file.Close();
  if (!ok) {
    if (block) GlobalFree(block);
    return false;
  }
  platform::ComRef<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(block, TRUE, stream.Out()))) {
    GlobalFree(block);
    return false;
  }
  platform::ComRef<IPicture> pic;
  const HRESULT hr = OleLoadPicture(stream.Get(), static_cast<LONG>(size.QuadPart), FALSE, IID_IPicture, pic.OutVoid());
  stream.Reset();
  if (FAILED(hr) || !pic) return false;
  OLE_HANDLE handle = 0;
  SHORT kind = PICTYPE_UNINITIALIZED;
  if (FAILED(pic->get_Type(&kind)) || kind != PICTYPE_BITMAP || FAILED(pic->get_Handle(&handle)) || !handle)
    return false;  // the picture goes with its owner
  *bitmap = reinterpret_cast<HBITMAP>(static_cast<uintptr_t>(handle));
  *picture = std::move(pic);
  return true;
}

namespace {

// True for a decoded image the cache holds: a bottom-up 32-bit DIB section
// (the system does not say which way up a DIB section lies).
bool IsCachedImage(HBITMAP bitmap) {
  for (const auto& r : TheCache().records)
    if (r->type == kSkinImage && !r->image.IsNull() && static_cast<HBITMAP>(r->image) == bitmap) return true;
  return false;
}

// The rectangle of one of the cache's images copied row by row into `fresh` (a
// bottom-up 32-bit DIB section of the rectangle's size), as SRCCOPY copies it.
// The keys take five pieces each from the keyboard's images: two memory DCs
// and a blit per piece were a quarter of the time the keyboard page took to
// build. False, with nothing copied, for any other source or a rectangle that
// is not wholly inside it; BitBlt then does the copy.
bool CopyDibRows(const CBitmap& fresh, HBITMAP source, int left, int top, int right, int bottom) {
  if (!IsCachedImage(source)) return false;
  DIBSECTION from{}, to{};
  if (GetObjectW(source, sizeof(from), &from) != sizeof(from) || from.dsBm.bmBits == nullptr ||
      from.dsBm.bmBitsPixel != 32 || from.dsBmih.biCompression != BI_RGB)
    return false;
  if (GetObjectW(fresh, sizeof(to), &to) != sizeof(to) || to.dsBm.bmBits == nullptr) return false;
  const int width = from.dsBm.bmWidth, height = from.dsBm.bmHeight;
  if (left < 0 || top < 0 || right > width || bottom > height) return false;
  GdiFlush();
  const int rows = bottom - top;
  const size_t rowBytes = static_cast<size_t>(right - left) * 4;
  for (int y = 0; y < rows; ++y) {
    const int sourceRow = height - 1 - (top + y);
    const auto* in = static_cast<const uint8_t*>(from.dsBm.bmBits) +
                     static_cast<size_t>(sourceRow) * from.dsBm.bmWidthBytes + static_cast<size_t>(left) * 4;
    auto* out = static_cast<uint8_t*>(to.dsBm.bmBits) + static_cast<size_t>(rows - 1 - y) * to.dsBm.bmWidthBytes;
    std::memcpy(out, in, rowBytes);
  }
  return true;
}

}  // namespace

void CropBitmap(CBitmap& target, HDC dc, HBITMAP source, int left, int top, int right, int bottom) {
  // A rectangle without area gives no bitmap to copy into (a zero size would
  // make a 1 x 1 monochrome one): the target keeps its image.
  if (!source || right <= left || bottom <= top) return;
  platform::start_times::Count(platform::start_times::Work::kCrop);
  platform::start_times::Scope timed(platform::start_times::Work::kCrop);
  // A DIB section, for the reason the cache keeps its images as DIB sections.
  CBitmap fresh;
  if (!fresh.CreateDibSection(dc, right - left, bottom - top)) return;
  if (CopyDibRows(fresh, source, left, top, right, bottom)) {
    target = std::move(fresh);
    return;
  }
  CDC from, to;
  if (!from.CreateCompatibleDC(dc) || !to.CreateCompatibleDC(dc)) return;
  {
    platform::SelectGuard selectFrom(from, source);
    platform::SelectGuard selectTo(to, fresh);
    to.BitBlt(0, 0, right - left, bottom - top, from, left, top, SRCCOPY);
  }
  target = std::move(fresh);  // what the target held is deleted here
}

void CropBitmap(HBITMAP& target, HDC dc, HBITMAP source, int left, int top, int right, int bottom) {
  CBitmap owner(target);
  CropBitmap(owner, dc, source, left, top, right, bottom);
  target = static_cast<HBITMAP>(owner.Detach());
}

namespace {

// Collects the runs of one region in chunks, since ExtCreateRegion takes a
// bounded number of rectangles at a time.
class RegionBuilder {
 public:
  static constexpr size_t kChunk = 2000;

  bool Add(const RECT& r) {
    if (m_rects.size() == kChunk && !Flush()) return false;
    m_rects.push_back(r);
    m_bounds.left = std::min(m_bounds.left, r.left);
    m_bounds.top = std::min(m_bounds.top, r.top);
    m_bounds.right = std::max(m_bounds.right, r.right);
    m_bounds.bottom = std::max(m_bounds.bottom, r.bottom);
    return true;
  }

  // Combines the collected rectangles into the result; an empty chunk adds nothing.
  bool Flush() {
    if (m_rects.empty()) return true;
    std::vector<uint8_t> data(sizeof(RGNDATAHEADER) + m_rects.size() * sizeof(RECT));
    auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
    header->dwSize = sizeof(RGNDATAHEADER);
    header->iType = RDH_RECTANGLES;
    header->nCount = static_cast<DWORD>(m_rects.size());
    header->nRgnSize = static_cast<DWORD>(m_rects.size() * sizeof(RECT));
    header->rcBound = m_bounds;
    std::copy(m_rects.begin(), m_rects.end(), reinterpret_cast<RECT*>(data.data() + sizeof(RGNDATAHEADER)));
    CRgn part(ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), reinterpret_cast<RGNDATA*>(data.data())));
    m_rects.clear();
    m_bounds = kEmptyBounds;
    if (part.IsNull()) return false;
    if (m_result.IsNull()) {
      m_result = std::move(part);
      return true;
    }
    return m_result.CombineRgn(m_result, part, RGN_OR) != ERROR;
  }

  HRGN Release() { return static_cast<HRGN>(m_result.Detach()); }

 private:
  static constexpr RECT kEmptyBounds = {0x7FFFFFFF, 0x7FFFFFFF, 0, 0};
  std::vector<RECT> m_rects;
  RECT m_bounds = kEmptyBounds;
  CRgn m_result;
};

}  // namespace

HRGN BitmapToRegion(HBITMAP bitmap) {
  if (!bitmap) return nullptr;
  platform::start_times::Count(platform::start_times::Work::kRegion);
  platform::start_times::Scope timed(platform::start_times::Work::kRegion);
  BITMAP info{};
  if (!GetObjectW(bitmap, sizeof(info), &info) || info.bmWidth <= 0 || info.bmHeight <= 0) return nullptr;
  const int width = info.bmWidth, height = info.bmHeight;

  // Memory DCs of the screen, made without asking for the screen's own DC.
  CDC dibDc, srcDc;
  dibDc.CreateCompatibleDC(nullptr);
  srcDc.CreateCompatibleDC(nullptr);
  HRGN result = nullptr;
  if (dibDc.GetSafeHdc() && srcDc.GetSafeHdc()) {
    BITMAPINFOHEADER bih{};
    bih.biSize = sizeof(bih);
    bih.biWidth = width;
    bih.biHeight = height;  // bottom-up
    bih.biPlanes = 1;
    bih.biBitCount = 32;
    bih.biCompression = BI_RGB;
    void* bits = nullptr;
    CBitmap dib(CreateDIBSection(dibDc, reinterpret_cast<BITMAPINFO*>(&bih), DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib.IsNull() && bits) {
      platform::SelectGuard selectDib(dibDc, dib);
      bool copied;
      {
        platform::SelectGuard selectSource(srcDc, bitmap);
        copied = dibDc.BitBlt(0, 0, width, height, srcDc, 0, 0, SRCCOPY) != FALSE;
      }
      GdiFlush();
      if (copied) {
        const size_t pitch = static_cast<size_t>(width) * 4;
        const auto* base = static_cast<const uint8_t*>(bits);
        RegionBuilder builder;
        bool ok = true;
        for (int y = 0; y < height && ok; ++y) {
          // Bottom-up: image row y is memory row height - 1 - y.
          const uint8_t* row = base + static_cast<size_t>(height - 1 - y) * pitch;
          auto white = [row](int x) { return row[x * 4] == 255 && row[x * 4 + 1] == 255 && row[x * 4 + 2] == 255; };
          for (int x = 0; x < width && ok;) {
            while (x < width && white(x)) ++x;
            if (x == width) break;
            const int start = x;
            while (x < width && !white(x)) ++x;
            ok = builder.Add(RECT{start, y, x, y + 1});
          }
        }
        if (ok && builder.Flush()) result = builder.Release();
      }
    }
  }
  return result;
}

HBITMAP GetCachedBitmap(const std::wstring& fileName) {
  return static_cast<HBITMAP>(SkinResourceCache::Get(fileName, kSkinImage).handle);
}

std::span<const uint8_t> GetCachedBinary(const std::wstring& fileName) {
  return SkinResourceCache::Get(fileName, kBinaryFile).Bytes();
}
