#include "gui/controls/Sliders.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "gui/Messages.h"
#include "gui/controls/ControlHelpers.h"
#include "gui/base/LangTable.h"
#include "gui/skin/SkinResourceCache.h"

namespace gui {

void PostToOwnerAndLinked(const CWnd& control, HWND linked, UINT msg, WPARAM wParam, LPARAM lParam) {
  const HWND owner = control.GetOwnerHwnd();
  if (owner) ::PostMessageW(owner, msg, wParam, lParam);
  if (linked && linked != owner) ::PostMessageW(linked, msg, wParam, lParam);
}

HRGN RegionWithoutCornerColour(HBITMAP bitmap) {
  BITMAP bm{};
  if (!bitmap || !::GetObjectW(bitmap, sizeof(bm), &bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0) return nullptr;
  const int width = bm.bmWidth, height = bm.bmHeight;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<DWORD> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
  CDC dc;
  if (!dc.CreateCompatibleDC(nullptr)) return nullptr;
  if (::GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS) != height)
    return nullptr;
  const DWORD key = pixels[0] & 0xFFFFFF;
  CRgn result;
  if (!result.CreateRectRgn(0, 0, 0, 0)) return nullptr;
  for (int y = 0; y < height; ++y) {
    const DWORD* row = pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    for (int x = 0; x < width;) {
      while (x < width && (row[x] & 0xFFFFFF) == key) ++x;
      const int start = x;
      while (x < width && (row[x] & 0xFFFFFF) != key) ++x;
      if (x > start) {
        CRgn run;
        if (!run.CreateRectRgn(start, y, x, y + 1)) return nullptr;
        result.CombineRgn(result, run, RGN_OR);
      }
    }
  }
  return static_cast<HRGN>(result.Detach());
}

HBITMAP CopyAsDib(HBITMAP bitmap) {
  if (!bitmap) return nullptr;
  return static_cast<HBITMAP>(::CopyImage(bitmap, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y, int w, int h) {
  if (!bitmap || w <= 0 || h <= 0) return;
  CDC memory;
  if (!memory.CreateCompatibleDC(dc)) return;
  platform::SelectGuard select(memory, bitmap);
  ::BitBlt(dc, x, y, w, h, memory, 0, 0, SRCCOPY);
}

}  // namespace gui

namespace {

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP bm{};
  if (!bitmap || !::GetObjectW(bitmap, sizeof(bm), &bm)) return SIZE{0, 0};
  return SIZE{bm.bmWidth, bm.bmHeight};
}

// A drag ends when the capture goes to another window; Wine also reports a window
// re-taking the capture it holds (lParam the window itself), which ends nothing.
bool CaptureLostToOther(HWND self, LPARAM lParam) { return reinterpret_cast<HWND>(lParam) != self; }

// A client point of `window` (as a mouse message's lParam) in its parent's client coordinates.
POINT ClientToParent(HWND window, LPARAM clientPoint) {
  POINT pt{static_cast<short>(LOWORD(clientPoint)), static_cast<short>(HIWORD(clientPoint))};
  ::MapWindowPoints(window, ::GetParent(window), &pt, 1);
  return pt;
}

// The window's rectangle in its parent's client coordinates.
RECT RectInParent(HWND window) {
  RECT r{};
  ::GetWindowRect(window, &r);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(window), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// The thumb that asked for the mouse's leave; one for the whole program.
CPHSlider* g_leaveTracker = nullptr;

}  // namespace

// ---- CVertSlider ----

bool CVertSlider::Create(int id, HWND parent, HBITMAP thumb, int left, int top, int right, int bottom) {
  m_id = id;
  m_parent = parent;
  m_track = RECT{left, top, right, bottom};
  const SIZE size = BitmapSize(thumb);
  m_thumbWidth = size.cx;
  m_thumbHeight = size.cy;
  const RECT window{left, top, left + m_thumbWidth, top + m_thumbHeight};
  return CreateEx(0, DefaultClassName(), L"", WS_CHILD | WS_VISIBLE, window, parent, static_cast<UINT_PTR>(id));
}

void CVertSlider::SetThumbBitmap(HBITMAP source, int, int, int, int) {
  if (!source) return;
  CClientDC dc(m_hWnd);
  CropBitmap(m_thumb, dc, source, 0, 0, m_thumbWidth, m_thumbHeight);
}

void CVertSlider::Release() {
  m_dragging = 0;
  const RECT thumb = RectInParent(m_hWnd);
  const int room = m_track.bottom - m_thumbHeight - m_track.top;
  int value = 100;  // a thumb as tall as its track or taller never leaves the top
  if (room > 0) {
    const long long position = std::clamp<long long>(
        (static_cast<long long>(thumb.top) - m_track.top) * 100 / room, 0, 100);
    value = 100 - static_cast<int>(position);
  }
  if (m_minValue + m_maxValue != 0 && m_minValue <= m_maxValue) value = std::clamp(value, m_minValue, m_maxValue);
  m_value = value;
  if (m_parent) ::PostMessageW(m_parent, SliderChangedMessage, static_cast<WPARAM>(value), m_id);
}

void CVertSlider::Paint(HDC dc) const {
  RECT client;
  GetClientRect(&client);
  gui::DrawBitmap(dc, m_thumb, 0, 0, client.right, client.bottom);
}

bool CVertSlider::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (gui::HandlePaintMessage(m_hWnd, msg, wParam, result, [this](HDC dc) { Paint(dc); })) return true;
  switch (msg) {
    case WM_LBUTTONDOWN:
      m_downPoint = POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      m_dragging = 1;
      SetCapture();
      result = Default();
      return true;
    case WM_MOUSEMOVE:
      if (m_dragging) {
        const RECT thumb = RectInParent(m_hWnd);
        const int dy = static_cast<short>(HIWORD(lParam)) - m_downPoint.y;
        const int lowest = std::max<int>(m_track.top, m_track.bottom - m_thumbHeight);
        const int y = std::clamp<int>(thumb.top + dy, m_track.top, lowest);
        MoveWindow(m_track.left, y, m_thumbWidth, m_thumbHeight, TRUE);
      }
      result = Default();
      return true;
    case WM_LBUTTONUP:
      // A release that ends no drag of this thumb's changes nothing.
      if (m_dragging) {
        Release();
        ::ReleaseCapture();
      }
      result = Default();
      return true;
    case WM_CAPTURECHANGED:
      // Losing the mouse mid-drag ends the drag where the thumb is; the capture
      // now belongs to the new holder, so it is not released here.
      if (m_dragging && CaptureLostToOther(m_hWnd, lParam)) Release();
      result = Default();
      return true;
  }
  return CWnd::OnMessage(msg, wParam, lParam, result);
}

// ---- CPHSlider ----

CPHSlider::~CPHSlider() {
  if (g_leaveTracker == this) g_leaveTracker = nullptr;
}

bool CPHSlider::LeaveTrackingRequested() { return g_leaveTracker != nullptr; }

bool CPHSlider::Create(HBITMAP normal, HWND parent, HBITMAP over, int makeRegion, int trackLeft, int trackTop,
                       int trackRight, int trackBottom) {
  m_trackRect = RECT{trackLeft, trackTop, trackRight, trackBottom};
  m_interactive = 1;
  m_parent = parent;
  m_bmpNormal.Attach(normal);
  m_bmpOver.Attach(over);
  const SIZE size = BitmapSize(normal);
  m_thumbWidth = size.cx;
  m_thumbHeight = size.cy;
  const UINT_PTR controlId = id > 0 ? static_cast<UINT_PTR>(id) : 0;
  if (!CreateEx(0, DefaultClassName(), L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP,
                RECT{0, 0, m_thumbWidth, m_thumbHeight}, parent, controlId))
    return false;
  ModifyStyleEx(0, 0x8);
  if (makeRegion) {
    if (HRGN region = gui::RegionWithoutCornerColour(m_bmpNormal)) {
      // The window owns an accepted region; only a refused one is ours to delete.
      if (SetWindowRgn(region, TRUE)) m_region = region;
      else ::DeleteObject(region);
    }
  }
  ComputeGeometry();
  return true;
}

void CPHSlider::ComputeGeometry() {
  m_stageCount = m_maxStage - m_minStage + 1;
  m_trackStart = m_trackRect.left + m_leftOffset;
  const int span = m_trackRect.right - m_rightOffset - m_trackStart;
  const int steps = m_maxStage - m_minStage;
  // Without room or without steps every position is the first stage's.
  m_pixelsPerStage = (span > 0 && steps > 0) ? static_cast<float>(span) / static_cast<float>(steps) : 0.0f;
  const int half = m_thumbWidth / 2;
  m_minThumbX = m_trackStart - half;
  m_maxThumbX = std::max<int>(m_minThumbX, m_trackRect.right - m_rightOffset - half);
  m_minCentre = m_trackStart;
  m_maxCentre = std::max(m_minCentre, static_cast<int>(m_trackRect.right - m_rightOffset));
}

void CPHSlider::SetCapRange(int max, int min) {
  if (min > max) std::swap(min, max);
  const int low = std::min(m_minStage, m_maxStage), high = std::max(m_minStage, m_maxStage);
  m_capMin = std::clamp(min, low, high);
  m_capMax = std::clamp(max, low, high);
}

void CPHSlider::SetStage(int stage) {
  const int low = std::min(m_minStage, m_maxStage), high = std::max(m_minStage, m_maxStage);
  m_stage = std::clamp(stage, std::min(m_capMin, m_capMax), std::max(m_capMin, m_capMax));
  const int placed = std::clamp(stage, low, high);
  const int x = static_cast<int>(m_pixelsPerStage * static_cast<float>(placed - low)) + m_minThumbX;
  if (m_hWnd) {
    SetWindowPos(nullptr, x, m_trackRect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Invalidate();
  }
}

int CPHSlider::StageFromCentre(int x) const {
  const int low = std::min(m_minStage, m_maxStage), high = std::max(m_minStage, m_maxStage);
  if (m_pixelsPerStage <= 0) return low;
  const double steps = std::round(static_cast<double>(x - m_trackStart) / m_pixelsPerStage);
  return static_cast<int>(std::clamp<double>(low + steps, low, high));
}

void CPHSlider::SetTooltipText(const std::wstring& text) {
  // Translated (empty without a language), the "\n" markers left as written.
  const std::wstring shown = CurrentLangTable ? gui::TranslateText(text) : std::wstring();
  m_toolTip.SetText(*this, shown.c_str(), false);
}

BOOL CPHSlider::PreTranslateMessage(MSG* msg) {
  m_toolTip.Relay(*this, msg);
  return CWnd::PreTranslateMessage(msg);
}

int CPHSlider::ParentX(LPARAM clientPoint) const { return ClientToParent(m_hWnd, clientPoint).x; }

void CPHSlider::Release(int parentX) {
  m_dragging = 0;
  SetStage(StageFromCentre(std::clamp(parentX, m_minCentre, m_maxCentre)));
  if (m_parent) ::PostMessageW(m_parent, SliderChangedMessage, static_cast<WPARAM>(m_stage), id);
  m_hover = 0;
  Invalidate();
}

void CPHSlider::Paint(HDC dc) const {
  const HBITMAP face = (m_dragging || m_hover) && !m_bmpOver.IsNull() ? m_bmpOver : m_bmpNormal;
  CDC memory;
  if (!memory.CreateCompatibleDC(dc)) return;
  CBitmap canvas;
  if (!canvas.CreateCompatibleBitmap(dc, m_thumbWidth, m_thumbHeight)) return;
  platform::SelectGuard select(memory, canvas.GetSafeHandle());
  gui::DrawBitmap(memory, face, 0, 0, m_thumbWidth, m_thumbHeight);
  ::BitBlt(dc, 0, 0, m_thumbWidth, m_thumbHeight, memory, 0, 0, SRCCOPY);
}

bool CPHSlider::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (gui::HandlePaintMessage(m_hWnd, msg, wParam, result, [this](HDC dc) { Paint(dc); })) return true;
  switch (msg) {
    case WM_LBUTTONDOWN:
      if (m_interactive) {
        SetCapture();
        m_dragging = 1;
        m_downPoint = POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        m_lastX = ParentX(lParam);
        Invalidate();
      }
      result = Default();
      return true;
    case WM_MOUSEMOVE:
      if (m_interactive) {
        if (!g_leaveTracker) {
          TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, m_hWnd, 0};
          ::TrackMouseEvent(&track);
          g_leaveTracker = this;
        }
        m_hover = 1;
        if (m_dragging) {
          m_lastX = ParentX(lParam);
          const int centre = std::clamp(m_lastX, m_minCentre, m_maxCentre);
          SetWindowPos(nullptr, centre - m_thumbWidth / 2, m_trackRect.top, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
          const int stage = std::clamp(StageFromCentre(centre), std::min(m_capMin, m_capMax),
                                       std::max(m_capMin, m_capMax));
          if (stage != m_stage) {
            m_stage = stage;
            if (m_parent) ::PostMessageW(m_parent, SliderChangedMessage, static_cast<WPARAM>(stage), id);
          }
        }
        Invalidate();
      }
      result = Default();
      return true;
    case WM_LBUTTONUP:
      // A release that ends no drag of this thumb's changes and posts nothing.
      if (m_interactive == 1 && m_dragging) {
        m_dragging = 0;
        ::ReleaseCapture();
        Release(ParentX(lParam));
      }
      result = Default();
      return true;
    case WM_CAPTURECHANGED:
      // Losing the mouse mid-drag ends the drag where the pointer was last seen.
      if (m_dragging && CaptureLostToOther(m_hWnd, lParam)) Release(m_lastX);
      result = Default();
      return true;
    case WM_MOUSELEAVE:
      g_leaveTracker = nullptr;
      m_hover = 0;
      Invalidate();
      result = 0;
      return true;
    case WM_KILLFOCUS:
      result = Default();
      m_hover = 0;
      Invalidate();
      return true;
    case WM_ERASEBKGND:
      result = 1;
      return true;
    case WM_DESTROY:
      if (g_leaveTracker == this) g_leaveTracker = nullptr;
      break;
  }
  return CWnd::OnMessage(msg, wParam, lParam, result);
}

// ---- CSliderHMulti ----

CSliderHMulti::CSliderHMulti(std::vector<std::unique_ptr<CPHSlider>> thumbs) : m_thumbs(std::move(thumbs)) {
  m_thumbCount = static_cast<int>(m_thumbs.size());
  for (auto& thumb : m_thumbs) {
    thumb->m_minStage = 1;
    thumb->m_maxStage = 32;
    thumb->ComputeGeometry();
    thumb->SetCapRange(32, 1);
  }
}

// The thumbs are children of the track: they go first, while its window still exists.
CSliderHMulti::~CSliderHMulti() { m_thumbs.clear(); }

bool CSliderHMulti::Create(HWND parent, HBITMAP measured, int left, int top, int right, int bottom) {
  CBitmap measuredCopy(measured);
  const SIZE size = BitmapSize(measured);
  m_trackWidth = size.cx;
  m_trackHeight = size.cy;
  m_rect = RECT{left, top, right, bottom};
  return CreateEx(0, DefaultClassName(), L"", WS_CHILD | WS_VISIBLE, m_rect, parent, 0);
}

void CSliderHMulti::SetTrackBitmap(HBITMAP source, int left, int top, int right, int bottom) {
  if (!source) return;
  CClientDC dc(m_hWnd);
  CropBitmap(m_trackBitmap, dc, source, left, top, right, bottom);
}

void CSliderHMulti::ApplyOffsets() {
  for (auto& thumb : m_thumbs) {
    thumb->m_leftOffset = m_leftOffset;
    thumb->m_rightOffset = m_rightOffset;
    thumb->ComputeGeometry();
    thumb->SetStage(thumb->m_stage);
  }
}

void CSliderHMulti::SetLeftOffset(int value) {
  m_leftOffset = value;
  ApplyOffsets();
}

void CSliderHMulti::SetOffsets(int left, int right) {
  m_leftOffset = left;
  m_rightOffset = right;
  ApplyOffsets();
}

bool CSliderHMulti::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_PAINT: {
      CPaintDC dc(m_hWnd);
      RECT client;
      GetClientRect(&client);
      gui::DrawBitmap(dc, m_trackBitmap, 0, 0, client.right, client.bottom);
      result = 0;
      return true;
    }
    case WM_PRINTCLIENT: {
      RECT client;
      GetClientRect(&client);
      gui::DrawBitmap(reinterpret_cast<HDC>(wParam), m_trackBitmap, 0, 0, client.right, client.bottom);
      result = 0;
      return true;
    }
    case WM_ERASEBKGND:
      result = 1;
      return true;
    case WM_LBUTTONUP:
      result = Default();
      if (m_interactive && !m_thumbs.empty()) {
        CPHSlider& first = *m_thumbs.front();
        first.SetStage(first.StageFromCentre(static_cast<short>(LOWORD(lParam))));
        PostMessage(SliderChangedMessage, static_cast<WPARAM>(first.m_stage), first.id);
      }
      return true;
    case SliderChangedMessage:
      gui::PostToOwnerAndLinked(*this, m_linkedWindow, msg, wParam, lParam);
      result = 0;
      return true;
  }
  return CWnd::OnMessage(msg, wParam, lParam, result);
}
