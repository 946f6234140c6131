#include "gui/controls/RangeSlider.h"

#include <algorithm>
#include <cstdio>

#include "gui/Messages.h"
#include "gui/controls/ControlHelpers.h"
#include "gui/skin/SkinResourceCache.h"
#include "platform/LateBound.h"

namespace {

bool CaptureLostToOther(HWND self, LPARAM lParam) { return reinterpret_cast<HWND>(lParam) != self; }

int ParentXOf(HWND window, LPARAM clientPoint) {
  POINT pt{static_cast<short>(LOWORD(clientPoint)), static_cast<short>(HIWORD(clientPoint))};
  ::MapWindowPoints(window, ::GetParent(window), &pt, 1);
  return pt.x;
}

void DebugLine(const char* format, long long a, long long b = 0, long long c = 0) {
  char line[128];
  std::snprintf(line, sizeof(line), format, a, b, c);
  ::OutputDebugStringA(line);
}

}  // namespace

// ---- CAPMSlider ----

// The thumbs are children of the track: they go first, while its window still exists.
CAPMSlider::~CAPMSlider() { m_thumbs.clear(); }

bool CAPMSlider::Create(HWND parent, HBITMAP trackSource, HBITMAP thumbNormal, HBITMAP thumbOver, int left, int top,
                        int right, int bottom) {
  m_rect = RECT{left, top, right, bottom};
  m_linkedWindow = parent;
  // The thumbs are left out of the track's painting, so repainting a range never
  // draws over a thumb that is not repainted with it.
  if (!CreateEx(0, DefaultClassName(), L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, m_rect, parent, 0))
    return false;
  if (trackSource) {
    CClientDC dc(m_hWnd);
    CropBitmap(m_trackBitmap, dc, trackSource, left, top, right, bottom);
  }
  m_thumbNormal = thumbNormal;
  m_thumbOver = thumbOver;
  return true;
}

void CAPMSlider::SetDefaultStages() {
  const int count = static_cast<int>(m_thumbs.size());
  if (count == 0) return;
  const int step = (m_maxStage - m_minStage) / (count + 1);
  for (int i = 0; i < count; ++i) m_thumbs[static_cast<size_t>(i)]->SetStage((i + 1) * step + m_minStage);
}

void CAPMSlider::SetDefaultColours() {
  const int count = static_cast<int>(m_thumbs.size());
  const int span = m_maxStage - m_minStage;
  const int a = span != 0 ? (count + 1) * 255 / span : 0;
  m_colours.clear();
  for (int i = 0; i <= count; ++i) {
    const int g = (i * a) % 256;
    m_colours.push_back(RGB(g, g, g));
  }
}

void CAPMSlider::SetTickerCapRanges() {
  const size_t count = m_thumbs.size();
  if (count == 0) return;
  if (count == 1) {
    m_thumbs[0]->SetCapRange(m_maxStage, m_minStage);
    return;
  }
  for (size_t i = 0; i < count; ++i) {
    const int low = i == 0 ? m_minStage : m_thumbs[i - 1]->m_stage;
    const int high = i + 1 == count ? m_maxStage : m_thumbs[i + 1]->m_stage;
    m_thumbs[i]->SetCapRange(high, low);
  }
}

void CAPMSlider::RemoveTickerCapRanges() {
  for (auto& thumb : m_thumbs) thumb->SetCapRange(m_maxStage, m_minStage);
}

int CAPMSlider::PositionOf(int stage, int clientWidth) const {
  const int span = m_maxStage - m_minStage;
  const int half = m_thumbs.empty() ? 0 : m_thumbs.front()->m_thumbWidth / 2;
  if (span <= 0) return half;
  return ((stage - m_minStage) * clientWidth + span / 2) / span + half;
}

int CAPMSlider::RangeAt(int x) const {
  RECT client;
  GetClientRect(&client);
  const int width = client.right - client.left;
  // Both the click and the rectangle are in the client's frame, as the paint is.
  if (width <= 0) return 0;
  const int stage = m_minStage + (m_maxStage - m_minStage) * (x - client.left) / width;
  int index = 0;
  while (index < static_cast<int>(m_thumbs.size()) && m_thumbs[static_cast<size_t>(index)]->m_stage <= stage)
    ++index;
  return index;
}

void CAPMSlider::Paint(HDC target) const {
  RECT client;
  GetClientRect(&client);
  const int width = client.right, height = client.bottom;
  if (width <= 0 || height <= 0) return;
  CDC memory;
  if (!memory.CreateCompatibleDC(target)) return;
  CBitmap canvas;
  if (!canvas.CreateCompatibleBitmap(target, width, height)) return;
  platform::SelectGuard select(memory, canvas.GetSafeHandle());
  DebugLine("CAPMSlider::OnPaint(0x%lld)\n", reinterpret_cast<intptr_t>(m_hWnd));
  for (size_t i = 0; i < m_colours.size(); ++i)
    DebugLine("CAPMSlider::OnPaint Color(%lld): 0x%llx\n", static_cast<long long>(i), m_colours[i]);

  auto colourOf = [&](size_t range) { return range < m_colours.size() ? m_colours[range] : RGB(0, 0, 0); };
  if (m_thumbs.empty()) {
    memory.FillSolidRect(client, colourOf(0));
  } else {
    int left = 0;
    for (size_t i = 0; i <= m_thumbs.size(); ++i) {
      int right = width;
      if (i < m_thumbs.size()) {
        right = PositionOf(m_thumbs[i]->m_stage, width);
        DebugLine("CAPMSlider::OnPaint Pos(%lld): 0x%lld\n", static_cast<long long>(i), right);
      }
      const RECT range{left, 0, std::max(left, right), height};
      DebugLine("CAPMSlider::OnPaint CurrentRect(%lld, %lld): color(0x%llx)\n", range.left, range.right,
                colourOf(i));
      memory.FillSolidRect(range, colourOf(i));
      left = std::max(left, right);
    }
  }
  if (!m_trackBitmap.IsNull()) {
    CDC track;
    if (track.CreateCompatibleDC(target)) {
      platform::SelectGuard selectTrack(track, m_trackBitmap.GetSafeHandle());
      const SIZE size = m_trackBitmap.GetSize();
      BLENDFUNCTION blend{AC_SRC_OVER, 0, static_cast<BYTE>(std::clamp(m_alpha, 0, 255)), 0};
      platform::LateAlphaBlend(memory, 0, 0, width, height, track, 0, 0, size.cx, size.cy, blend);
    }
  }
  ::BitBlt(target, 0, 0, width, height, memory, 0, 0, SRCCOPY);
}

bool CAPMSlider::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (gui::HandlePaintMessage(m_hWnd, msg, wParam, result, [this](HDC dc) { Paint(dc); })) return true;
  switch (msg) {
    case WM_ERASEBKGND:
      result = 1;
      return true;
    case WM_LBUTTONUP:
      gui::PostToOwnerAndLinked(*this, m_linkedWindow, ApmRangeReachedMessage,
                                static_cast<WPARAM>(RangeAt(static_cast<short>(LOWORD(lParam)))), id);
      result = Default();
      return true;
    case SliderChangedMessage: {
      if (m_noCapRanges == 1) RemoveTickerCapRanges();
      else SetTickerCapRanges();
      RECT client;
      GetClientRect(&client);
      for (size_t i = 0; i < m_thumbs.size(); ++i) {
        const CPHSlider& thumb = *m_thumbs[i];
        if (thumb.id != static_cast<int32_t>(lParam) || thumb.m_stage != static_cast<int>(wParam)) continue;
        // The ranges on either side of the moved thumb.
        const int left = i == 0 ? 0 : PositionOf(m_thumbs[i - 1]->m_stage, client.right);
        const int right = i + 1 == m_thumbs.size() ? client.right : PositionOf(m_thumbs[i + 1]->m_stage, client.right);
        const RECT area{std::min(left, right), 0, std::max(left, right), client.bottom};
        InvalidateRect(&area, FALSE);
        break;
      }
      gui::PostToOwnerAndLinked(*this, m_linkedWindow, msg, wParam, lParam);
      result = 0;
      return true;
    }
  }
  return CWnd::OnMessage(msg, wParam, lParam, result);
}

// ---- CDMarker ----

bool CDMarker::Create(const RECT& rect, int id, HWND parent) {
  m_rect = rect;
  m_id = id;
  m_parent = parent;
  m_min = 0;
  m_max = 10;
  m_value = 0;
  m_interactive = 1;
  return CreateEx(0, DefaultClassName(), L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, rect, parent,
                  static_cast<UINT_PTR>(id > 0 ? id : 0));
}

void CDMarker::SetBitmaps(HBITMAP back, HBITMAP mark, int left, int top, int right, int bottom) {
  CClientDC dc(m_hWnd);
  for (auto [target, source] : {std::pair{&m_bmpBack, back}, std::pair{&m_bmpMark, mark}}) {
    if (!source) continue;
    CropBitmap(*target, dc, source, left, top, right, bottom);
  }
}

int CDMarker::ValueAt(int parentX) const {
  const int width = m_rect.right - m_rect.left;
  if (width <= 0 || m_max <= m_min) return m_min;
  const int x = std::max<int>(parentX, m_rect.left);
  const long long value = m_min + static_cast<long long>(m_max - m_min) * (x - m_rect.left) / width;
  return static_cast<int>(std::clamp<long long>(value, m_min, m_max));
}

void CDMarker::Release(int parentX) {
  m_dragging = 0;
  m_value = ValueAt(parentX);
  if (m_parent) ::PostMessageW(m_parent, MarkerMovedMessage, static_cast<WPARAM>(m_value), m_id);
  Invalidate();
}

void CDMarker::Paint(HDC target) const {
  const int width = m_rect.right - m_rect.left, height = m_rect.bottom - m_rect.top;
  if (width <= 0 || height <= 0) return;
  CDC memory;
  if (!memory.CreateCompatibleDC(target)) return;
  CBitmap canvas;
  if (!canvas.CreateCompatibleBitmap(target, width, height)) return;
  platform::SelectGuard select(memory, canvas.GetSafeHandle());
  gui::DrawBitmap(memory, m_bmpBack, 0, 0, width, height);
  if (m_max > m_min) {
    const int value = std::clamp(m_value, m_min, m_max);
    const int filled = static_cast<int>(static_cast<long long>(width) * (value - m_min) / (m_max - m_min));
    gui::DrawBitmap(memory, m_bmpMark, 0, 0, filled, height);
  }
  ::BitBlt(target, 0, 0, width, height, memory, 0, 0, SRCCOPY);
}

bool CDMarker::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (gui::HandlePaintMessage(m_hWnd, msg, wParam, result, [this](HDC dc) { Paint(dc); })) return true;
  switch (msg) {
    case WM_LBUTTONDOWN:
      if (m_interactive) {
        SetCapture();
        m_dragging = 1;
        m_downPoint = POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        m_lastX = ParentXOf(m_hWnd, lParam);
      }
      result = Default();
      return true;
    case WM_MOUSEMOVE:
      if (m_dragging) {
        m_lastX = ParentXOf(m_hWnd, lParam);
        m_value = ValueAt(m_lastX);
        Invalidate();
      }
      result = Default();
      return true;
    case WM_LBUTTONUP:
      // A release that ends no drag of the marker's changes and posts nothing.
      if (m_dragging) {
        Release(ParentXOf(m_hWnd, lParam));
        result = Default();
      } else {
        result = Default();
      }
      // Whatever ended the drag before, the button going up ends the capture.
      if (::GetCapture() == m_hWnd) ::ReleaseCapture();
      return true;
    case WM_CAPTURECHANGED:
      // The capture went elsewhere mid-drag: the drag ends where the pointer was
      // last seen. The new holder keeps the capture.
      if (m_dragging && CaptureLostToOther(m_hWnd, lParam)) Release(m_lastX);
      result = Default();
      return true;
    case WM_KILLFOCUS:
      result = Default();
      // The drag ends unreported; the mouse goes back to whoever is under it
      // (cleared first, so that the capture's loss reports nothing either).
      m_dragging = 0;
      if (::GetCapture() == m_hWnd) ::ReleaseCapture();
      Invalidate();
      return true;
  }
  return CWnd::OnMessage(msg, wParam, lParam, result);
}
