// The process-wide cache of skin resources: images, fonts, language files and
// key-definition files, named by bare file name, loaded on first request from the
// folders under AppFolder and kept until the program ends. Beside it, the bitmap
// helpers every skinned control uses.
#pragma once
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/Com.h"
#include "platform/Gdi.h"

// The program's folder with a trailing backslash; the skin folders lie under it.
// The programs set it at start; tests point it at a fixture folder.
extern std::wstring AppFolder;

// Resource types and the folder each is read from.
enum SkinResourceType : int32_t {
  kSkinImage = 0,    // "skins\", decoded by the system picture decoder
  kSkinBitmap = 1,   // "skins\", loaded as a DIB section
  kSkinFont = 4,     // "fonts\", added as a font private to the process
  kLanguageFile = 5, // "lang\", the whole file's bytes
  kBinaryFile = 6,   // "bin\", the whole file's bytes
};

// Files read whole (language and key-definition files) larger than this are refused.
namespace gui {
constexpr int64_t kMaxSkinFileBytes = 16 * 1024 * 1024;

// A name a skin file may give for a file of a skin folder: a relative path that
// stays inside the folder (no drive, no leading slash, no ".." part); not empty.
bool IsSafeSkinFileName(const std::wstring& name);
// The whole file's bytes when it holds 1 to `limit` bytes; false (and `out`
// empty) when it cannot be read or is empty or larger.
bool ReadWholeFile(const std::wstring& path, int64_t limit, std::vector<uint8_t>& out);
}  // namespace gui

struct SkinResource {
  SkinResource() = default;
  SkinResource(const SkinResource&) = delete;
  SkinResource& operator=(const SkinResource&) = delete;
  ~SkinResource();

  std::wstring name;       // as the skin file gave it, trimmed
  std::wstring path;       // AppFolder + type folder + name; empty when the name was refused
  void* handle = nullptr;  // by type: HBITMAP (0, 1), int* fonts added (4), byte buffer (5, 6); null on failure
  int32_t type = -1;
  int32_t size = 0;        // 8 for an image; the file length for 1 and 4; the bytes read for 5 and 6

  // The bytes of a type-5 or type-6 record, exactly `size` of them.
  std::span<const uint8_t> Bytes() const;

  // A type-0 record's bitmap: what the picture decoder made, copied into a DIB
  // section the record owns. Only when that copy cannot be made is the picture
  // kept, and the bitmap is the one it owns.
  CBitmap image;
  platform::ComRef<IPicture> picture;
  std::vector<uint8_t> bytes;  // storage behind `handle` for types 5 and 6
  int fontsAdded = 0;          // storage behind `handle` for type 4
};

class SkinResourceCache {
 public:
  // The record of (name, type), created and loaded on first request; loading
  // failures leave `handle` null and are not retried. The name is compared
  // without regard to case.
  static SkinResource& Get(const std::wstring& name, int32_t type);
  // Releases every resource, last loaded first. Runs at program exit; tests may call it.
  static void FreeAll();
};

// The size of the (name, type) record, 0 when there is none. Taking the size from
// the same record that holds the data keeps a name cached under two types from
// yielding another file's length.
int32_t GetResourceSize(const std::wstring& name, int32_t type);

// Look-ups by a skin file's UTF-8 text (trimmed): the handle of the type-0, type-5
// and type-1 record, or null.
HBITMAP GetSkinImageUtf8(const char* name);
const SkinResource* GetLangFileUtf8(const char* name);
HBITMAP GetSkinBitmapUtf8(const char* name);

// The image cached for the file name as a "skins\" image (type 0); null if it cannot be loaded.
HBITMAP GetCachedBitmap(const std::wstring& fileName);
// The bytes of a "bin\" file (type 6), exactly as many as were read; empty if none.
std::span<const uint8_t> GetCachedBinary(const std::wstring& fileName);

// Decodes an image file (BMP, JPEG, GIF: what the system picture decoder reads).
// On success `bitmap` is the picture's bitmap and `picture` the object that owns
// it; the bitmap lives as long as the caller keeps the picture.
bool LoadImageFileToBitmap(const std::wstring& path, HBITMAP* bitmap, platform::ComRef<IPicture>* picture);

// Replaces `target` (deleting what it held) with a new 32-bit DIB section holding
// the rectangle (left, top)-(right, bottom) of `source`; `dc` is the device the
// copy is made with (null: the screen). Does nothing when `source` is null or the
// rectangle is empty.
void CropBitmap(CBitmap& target, HDC dc, HBITMAP source, int left, int top, int right, int bottom);
// The same for a bitmap handle: what it held is deleted when it is replaced.
void CropBitmap(HBITMAP& target, HDC dc, HBITMAP source, int left, int top, int right, int bottom);

// A new region covering every pixel of the bitmap that is not pure white; null for
// a null bitmap, a bitmap without any such pixel, or on failure. The caller owns it.
HRGN BitmapToRegion(HBITMAP bitmap);
