// Owners of device contexts and GDI objects. Each is move-only and frees its
// handle once: DeleteObject/Detach leave the owner empty, so a handle is never
// freed twice. SelectGuard puts back what a DC held before.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <type_traits>
#include <utility>

class CGdiObject {
 public:
  CGdiObject() = default;
  explicit CGdiObject(HGDIOBJ handle) : m_hObject(handle) {}
  virtual ~CGdiObject() { DeleteObject(); }
  CGdiObject(CGdiObject&& other) noexcept : m_hObject(std::exchange(other.m_hObject, nullptr)) {}
  CGdiObject& operator=(CGdiObject&& other) noexcept {
    if (this != &other) {
      DeleteObject();
      m_hObject = std::exchange(other.m_hObject, nullptr);
    }
    return *this;
  }
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;

  HGDIOBJ GetSafeHandle() const { return m_hObject; }
  bool IsNull() const { return m_hObject == nullptr; }
  // Takes over a handle; whatever was held before is deleted first.
  void Attach(HGDIOBJ handle) {
    if (handle == m_hObject) return;
    DeleteObject();
    m_hObject = handle;
  }
  HGDIOBJ Detach() { return std::exchange(m_hObject, nullptr); }
  // Deletes the held object (if any) and leaves the owner empty.
  BOOL DeleteObject() {
    HGDIOBJ handle = std::exchange(m_hObject, nullptr);
    return handle ? ::DeleteObject(handle) : FALSE;
  }

 protected:
  HGDIOBJ m_hObject = nullptr;
};

class CBitmap : public CGdiObject {
 public:
  using CGdiObject::CGdiObject;
  operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
  HBITMAP GetHandle() const { return static_cast<HBITMAP>(m_hObject); }
  BOOL CreateCompatibleBitmap(HDC dc, int width, int height) {
    Attach(::CreateCompatibleBitmap(dc, width, height));
    return m_hObject != nullptr;
  }
  // A bottom-up DIB section of 32 bits per pixel (BI_RGB), its pixels zero.
  BOOL CreateDibSection(HDC dc, int width, int height) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    void* bits = nullptr;
    Attach(::CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0));
    return m_hObject != nullptr;
  }
  BOOL CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    Attach(::CreateBitmap(width, height, planes, bitsPerPixel, bits));
    return m_hObject != nullptr;
  }
  // GetObjectW of the bitmap; 0 when there is none.
  int GetBitmap(BITMAP* info) const {
    return m_hObject ? ::GetObjectW(m_hObject, sizeof(BITMAP), info) : 0;
  }
  // Width and height, 0 x 0 when empty.
  SIZE GetSize() const {
    BITMAP bm{};
    if (!GetBitmap(&bm)) return SIZE{0, 0};
    return SIZE{bm.bmWidth, bm.bmHeight};
  }
};

class CFont : public CGdiObject {
 public:
  using CGdiObject::CGdiObject;
  operator HFONT() const { return static_cast<HFONT>(m_hObject); }
  BOOL CreateFontIndirect(const LOGFONTW& font) {
    Attach(::CreateFontIndirectW(&font));
    return m_hObject != nullptr;
  }
  // The form the controls use: face, height, weight, pitch and family.
  BOOL CreateFont(int height, int weight, BYTE pitchAndFamily, const std::wstring& face) {
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfPitchAndFamily = pitchAndFamily;
    face.copy(lf.lfFaceName, LF_FACESIZE - 1);
    return CreateFontIndirect(lf);
  }
};

class CBrush : public CGdiObject {
 public:
  using CGdiObject::CGdiObject;
  operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
  BOOL CreateSolidBrush(COLORREF color) {
    Attach(::CreateSolidBrush(color));
    return m_hObject != nullptr;
  }
};

class CPen : public CGdiObject {
 public:
  using CGdiObject::CGdiObject;
  operator HPEN() const { return static_cast<HPEN>(m_hObject); }
  BOOL CreatePen(int style, int width, COLORREF color) {
    Attach(::CreatePen(style, width, color));
    return m_hObject != nullptr;
  }
};

class CRgn : public CGdiObject {
 public:
  using CGdiObject::CGdiObject;
  operator HRGN() const { return static_cast<HRGN>(m_hObject); }
  BOOL CreateRectRgn(int left, int top, int right, int bottom) {
    Attach(::CreateRectRgn(left, top, right, bottom));
    return m_hObject != nullptr;
  }
  int CombineRgn(HRGN a, HRGN b, int mode) const { return ::CombineRgn(*this, a, b, mode); }
  BOOL PtInRegion(int x, int y) const { return m_hObject && ::PtInRegion(*this, x, y); }
};

// An image list is not a GDI object but follows the same rules.
class CImageList {
 public:
  CImageList() = default;
  ~CImageList() { DeleteImageList(); }
  CImageList(CImageList&& other) noexcept : m_hImageList(std::exchange(other.m_hImageList, nullptr)) {}
  CImageList& operator=(CImageList&& other) noexcept {
    if (this != &other) {
      DeleteImageList();
      m_hImageList = std::exchange(other.m_hImageList, nullptr);
    }
    return *this;
  }
  CImageList(const CImageList&) = delete;
  CImageList& operator=(const CImageList&) = delete;

  operator HIMAGELIST() const { return m_hImageList; }
  BOOL Create(int cx, int cy, UINT flags, int initial, int grow) {
    DeleteImageList();
    m_hImageList = ImageList_Create(cx, cy, flags, initial, grow);
    return m_hImageList != nullptr;
  }
  int Add(HBITMAP image, HBITMAP mask) { return ImageList_Add(m_hImageList, image, mask); }
  HIMAGELIST Detach() { return std::exchange(m_hImageList, nullptr); }
  BOOL DeleteImageList() {
    HIMAGELIST list = std::exchange(m_hImageList, nullptr);
    return list ? ImageList_Destroy(list) : FALSE;
  }

 private:
  HIMAGELIST m_hImageList = nullptr;
};

// A device context. A CDC made with CreateCompatibleDC deletes its DC; one that
// only borrows a handle (Attach) leaves it alone. CPaintDC and CClientDC end
// their own way.
class CDC {
 public:
  CDC() = default;
  virtual ~CDC() { DeleteDC(); }
  CDC(CDC&& other) noexcept
      : m_hDC(std::exchange(other.m_hDC, nullptr)), m_owned(std::exchange(other.m_owned, false)) {}
  CDC& operator=(CDC&& other) noexcept {
    if (this != &other) {
      DeleteDC();
      m_hDC = std::exchange(other.m_hDC, nullptr);
      m_owned = std::exchange(other.m_owned, false);
    }
    return *this;
  }
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;
  // The owners derived from CDC (CPaintDC, CClientDC, CMemDC) end their DC their
  // own way; moved into a plain CDC, a client DC would never be released and a
  // paint DC would outlive EndPaint. Only a CDC moves into a CDC.
  template <typename Derived>
    requires(std::is_base_of_v<CDC, std::remove_cvref_t<Derived>> && !std::is_same_v<CDC, std::remove_cvref_t<Derived>>)
  CDC(Derived&&) = delete;
  template <typename Derived>
    requires(std::is_base_of_v<CDC, std::remove_cvref_t<Derived>> && !std::is_same_v<CDC, std::remove_cvref_t<Derived>>)
  CDC& operator=(Derived&&) = delete;

  HDC m_hDC = nullptr;
  operator HDC() const { return m_hDC; }
  HDC GetSafeHdc() const { return m_hDC; }

  BOOL CreateCompatibleDC(HDC dc) {
    DeleteDC();
    m_hDC = ::CreateCompatibleDC(dc);
    m_owned = m_hDC != nullptr;
    return m_owned;
  }
  // Borrows a handle: the CDC will not delete it.
  void Attach(HDC dc) {
    DeleteDC();
    m_hDC = dc;
  }
  HDC Detach() {
    m_owned = false;
    return std::exchange(m_hDC, nullptr);
  }
  BOOL DeleteDC() {
    HDC dc = std::exchange(m_hDC, nullptr);
    const bool owned = std::exchange(m_owned, false);
    return (dc && owned) ? ::DeleteDC(dc) : FALSE;
  }

  HGDIOBJ SelectObject(HGDIOBJ object) const { return ::SelectObject(m_hDC, object); }
  BOOL BitBlt(int x, int y, int w, int h, HDC source, int sx, int sy, DWORD rop) const {
    return ::BitBlt(m_hDC, x, y, w, h, source, sx, sy, rop);
  }
  void FillSolidRect(const RECT& rect, COLORREF color) const {
    const COLORREF old = ::SetBkColor(m_hDC, color);
    ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, old);
  }
  int SetBkMode(int mode) const { return ::SetBkMode(m_hDC, mode); }
  COLORREF SetTextColor(COLORREF color) const { return ::SetTextColor(m_hDC, color); }
  COLORREF GetBkColor() const { return ::GetBkColor(m_hDC); }
  int DrawText(const std::wstring& text, RECT* rect, UINT format) const {
    return ::DrawTextW(m_hDC, text.c_str(), static_cast<int>(text.size()), rect, format);
  }
  int GetClipBox(RECT* rect) const { return ::GetClipBox(m_hDC, rect); }
  // A printer DC (technology DT_RASPRINTER) draws directly, without an off-screen copy.
  bool IsPrinting() const { return m_hDC && ::GetDeviceCaps(m_hDC, TECHNOLOGY) == DT_RASPRINTER; }

 protected:
  bool m_owned = false;
};

namespace platform {
// Counts BeginPaint calls of this thread, so the window layer can tell a paint
// handler that painted from one that returned without painting.
void NoteBeginPaint();
}  // namespace platform

class CPaintDC : public CDC {
 public:
  explicit CPaintDC(HWND hwnd) : m_hWnd(hwnd) {
    m_hDC = ::BeginPaint(hwnd, &m_ps);
    platform::NoteBeginPaint();
  }
  ~CPaintDC() override {
    ::EndPaint(m_hWnd, &m_ps);
    m_hDC = nullptr;
  }
  CPaintDC(CPaintDC&&) = delete;
  PAINTSTRUCT m_ps{};

 private:
  HWND m_hWnd;
};

class CClientDC : public CDC {
 public:
  explicit CClientDC(HWND hwnd) : m_hWnd(hwnd) { m_hDC = ::GetDC(hwnd); }
  ~CClientDC() override {
    if (m_hDC) ::ReleaseDC(m_hWnd, m_hDC);
    m_hDC = nullptr;
  }
  CClientDC(CClientDC&&) = delete;

 private:
  HWND m_hWnd;
};

namespace platform {

// Selects an object into a DC for a scope and puts the previous one back, so an
// owner can delete its object afterwards (a selected object cannot be deleted).
class SelectGuard {
 public:
  SelectGuard(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(object ? ::SelectObject(dc, object) : nullptr) {}
  ~SelectGuard() {
    if (m_previous) ::SelectObject(m_dc, m_previous);
  }
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;

 private:
  HDC m_dc;
  HGDIOBJ m_previous;
};

}  // namespace platform
