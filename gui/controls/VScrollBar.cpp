#include "gui/controls/VScrollBar.h"

#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "gui/controls/BitmapItem.h"
#include "gui/controls/ControlHelpers.h"
#include "gui/skin/SkinResourceCache.h"

namespace {

SIZE SizeOf(HBITMAP bitmap) {
  BITMAP bm{};
  if (!bitmap || !::GetObjectW(bitmap, sizeof(bm), &bm)) return SIZE{0, 0};
  return SIZE{bm.bmWidth, bm.bmHeight};
}

// A double truncated toward zero; what does not fit counts as the smallest int.
int32_t TruncateToInt(double v) {
  if (!(v >= static_cast<double>(INT_MIN) && v <= static_cast<double>(INT_MAX))) return INT_MIN;
  return static_cast<int32_t>(v);
}

}  // namespace

void CVScrollBar::SetBitmaps(HBITMAP top, HBITMAP bottom, HBITMAP upArrow, HBITMAP downArrow, HBITMAP span,
                             HBITMAP thumb) {
  m_bitmaps = std::make_unique<BitmapSet>();
  m_bitmaps->sources = {top, bottom, upArrow, downArrow, span, thumb};
  if (m_hWnd) BuildCopies();
  if (m_thumbTop == 0) m_thumbTop = Height(kTop) + Height(kUpArrow);
}

BOOL CVScrollBar::Create(const wchar_t* text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  if (!CStatic::Create(text, style | SS_NOTIFY, rect, parent, id)) return FALSE;
  if (m_bitmaps) {
    BuildCopies();
    m_thumbTop = Height(kTop) + Height(kUpArrow);
  }
  return TRUE;
}

void CVScrollBar::BuildCopies() {
  if (!m_bitmaps || m_bitmaps->built) return;
  CClientDC dc(m_hWnd);
  for (int i = 0; i < kSlotCount; ++i) {
    HBITMAP source = m_bitmaps->sources[i];
    if (!source) continue;
    const SIZE size = SizeOf(source);
    m_bitmaps->sizes[i] = size;
    CropBitmap(m_bitmaps->copies[i], dc, source, 0, 0, size.cx, size.cy);
  }
  m_bitmaps->built = true;
}

int CVScrollBar::ClientHeight() const {
  RECT client{};
  GetClientRect(&client);
  return client.bottom;
}

int CVScrollBar::Travel() const {
  return ClientHeight() - Height(kThumb) - Height(kDownArrow) - Height(kBottom) - Height(kUpArrow) - Height(kTop);
}

RECT CVScrollBar::UpArrowRect() const {
  const int top = Height(kTop);
  return RECT{0, top, ThumbWidth(), top + Height(kUpArrow)};
}

RECT CVScrollBar::DownArrowRect() const {
  const int bottom = ClientHeight() - Height(kBottom);
  return RECT{0, bottom - Height(kDownArrow), ThumbWidth(), bottom};
}

RECT CVScrollBar::ThumbRect() const { return RECT{0, m_thumbTop, ThumbWidth(), m_thumbTop + Height(kThumb)}; }

void CVScrollBar::ClampThumb() {
  const int lowest = Height(kTop) + Height(kUpArrow);
  const int highest = ClientHeight() - Height(kBottom) - Height(kDownArrow) - Height(kThumb);
  // A thumb taller than the free track sits right under the up arrow.
  m_thumbTop = std::max(lowest, std::min(m_thumbTop, highest));
}

bool CVScrollBar::OwnerScrollInfo(SCROLLINFO& info) const {
  if (!m_scrollOwner || !m_scrollOwner->m_hWnd) return false;
  return m_scrollOwner->GetScrollInfo(SB_VERT, &info, SIF_ALL) != FALSE;
}

void CVScrollBar::Request(WPARAM code) const {
  if (m_scrollOwner && m_scrollOwner->m_hWnd) m_scrollOwner->PostMessage(WM_VSCROLL, code, 0);
}

void CVScrollBar::UpdateThumb() {
  if (!m_hWnd || !m_bitmaps) return;
  // Information that cannot be read counts as empty: nothing to scroll.
  SCROLLINFO info{};
  if (!OwnerScrollInfo(info)) info = SCROLLINFO{};
  const int64_t range = static_cast<int64_t>(info.nMax) - static_cast<int64_t>(info.nPage);
  const int lowest = Height(kTop) + Height(kUpArrow);
  if (range <= 0) {
    // Nothing to scroll: the thumb stays at the top of the track.
    m_thumbTop = lowest;
  } else {
    m_thumbTop = TruncateToInt(static_cast<double>(Travel()) / static_cast<double>(range) * info.nPos + lowest);
  }
  ClampThumb();
  Redraw();
}

void CVScrollBar::Redraw() {
  if (m_hWnd) Invalidate(FALSE);
}

void CVScrollBar::Draw(HDC target) {
  RECT client;
  GetClientRect(&client);
  CDC targetDc;
  targetDc.Attach(target);
  {
    CMemDC dc(&targetDc, &client);
    dc.FillSolidRect(client, m_backgroundColor);
    if (m_bitmaps && m_bitmaps->built) {
      const int width = ThumbWidth();
      const int T = Height(kTop), B = Height(kBottom), U = Height(kUpArrow), D = Height(kDownArrow);
      const int S = Height(kSpan), H = client.bottom;
      CDC source;
      source.CreateCompatibleDC(dc);
      auto blit = [&](Slot slot, int y, int height) {
        const CBitmap& copy = m_bitmaps->copies[slot];
        if (copy.IsNull()) return;
        platform::SelectGuard select(source, copy.GetSafeHandle());
        dc.BitBlt(0, y, width, height, source, 0, 0, SRCCOPY);
      };
      blit(kTop, 0, T);
      blit(kUpArrow, T, U);
      if (!m_bitmaps->copies[kSpan].IsNull()) {
        platform::SelectGuard select(source, m_bitmaps->copies[kSpan].GetSafeHandle());
        for (int y = T + U; y <= H - 1; ++y) dc.BitBlt(0, y, width, S, source, 0, 0, SRCCOPY);
      }
      blit(kDownArrow, H - B - D, D);
      blit(kBottom, H - B, B);
      blit(kThumb, m_thumbTop, Height(kThumb));
    }
  }
  targetDc.Detach();
}

void CVScrollBar::OnLButtonDown(POINT pt) {
  SetCapture();
  const RECT thumb = ThumbRect(), down = DownArrowRect(), up = UpArrowRect();
  if (::PtInRect(&thumb, pt)) m_dragging = true;
  if (::PtInRect(&down, pt)) {
    m_downPressed = true;
    SetTimer(kFirstDelayTimer, kFirstDelayMs);
  }
  if (::PtInRect(&up, pt)) {
    m_upPressed = true;
    SetTimer(kFirstDelayTimer, kFirstDelayMs);
  }
}

void CVScrollBar::OnTimer(UINT_PTR id) {
  if (id == kFirstDelayTimer) {
    if (m_downPressed || m_upPressed) {
      KillTimer(kFirstDelayTimer);
      SetTimer(kRepeatTimer, kRepeatMs);
    }
  } else if (id == kRepeatTimer) {
    if (m_downPressed) {
      Request(SB_LINEDOWN);
      UpdateThumb();
    }
    if (m_upPressed) {
      Request(SB_LINEUP);
      UpdateThumb();
    }
  }
}

void CVScrollBar::OnMouseMove(WPARAM flags, POINT pt) {
  if (!m_dragging || !(flags & MK_LBUTTON)) return;
  SCROLLINFO info{};
  if (!OwnerScrollInfo(info)) return;
  if (static_cast<int64_t>(info.nMax) < static_cast<int64_t>(info.nPage)) return;
  const int y = std::clamp(static_cast<int>(pt.y), 0, ClientHeight());
  m_thumbTop = y - Height(kThumb) / 2;
  ClampThumb();

  const int64_t range = static_cast<int64_t>(info.nMax) - static_cast<int64_t>(info.nPage);
  const int travel = Travel();
  // A thumb with no room to travel cannot be dragged anywhere.
  if (travel <= 0) return;
  // With no range the only position is the first (instead of dividing by zero).
  int32_t position = 0;
  if (range > 0) {
    const double pixelsPerLine = static_cast<double>(travel) / static_cast<double>(range);
    position = TruncateToInt((m_thumbTop - Height(kTop) - Height(kUpArrow)) / pixelsPerLine);
  }
  if (position != info.nPos) {
    const WPARAM code = position < info.nPos ? SB_LINEUP : SB_LINEDOWN;
    const int64_t steps = std::llabs(static_cast<int64_t>(position) - info.nPos);
    for (int64_t i = 0; i < steps; ++i) {
      Request(code);
      UpdateThumb();
    }
    Redraw();
  }
}

void CVScrollBar::OnLButtonUp(POINT pt) {
  UpdateThumb();
  KillTimer(kRepeatTimer);
  KillTimer(kFirstDelayTimer);
  // Releasing the capture ends the press (WM_CAPTURECHANGED): what was pressed is taken first.
  const bool upPressed = m_upPressed, downPressed = m_downPressed;
  ::ReleaseCapture();
  const RECT up = UpArrowRect(), down = DownArrowRect(), thumb = ThumbRect();
  bool posted = false;
  if (::PtInRect(&up, pt) && upPressed) {
    Request(SB_LINEUP);
    UpdateThumb();
    posted = true;
  }
  if (::PtInRect(&down, pt) && downPressed) {
    Request(SB_LINEDOWN);
    UpdateThumb();
    posted = true;
  }
  if (!posted && !::PtInRect(&thumb, pt)) {
    Request(pt.y > m_thumbTop ? SB_PAGEDOWN : SB_PAGEUP);
    UpdateThumb();
  }
  m_upPressed = m_downPressed = m_dragging = false;
}

void CVScrollBar::OnCaptureLost() {
  // Without a button-up (a popup opened, the window was deactivated) the arrow
  // would otherwise go on repeating and a drag would go on following the mouse.
  KillTimer(kRepeatTimer);
  KillTimer(kFirstDelayTimer);
  m_upPressed = m_downPressed = m_dragging = false;
}

bool CVScrollBar::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  if (gui::HandlePaintMessage(m_hWnd, msg, wParam, result, [this](HDC dc) { Draw(dc); })) return true;
  switch (msg) {
    case WM_LBUTTONDOWN:
      OnLButtonDown(pt);
      result = Default();
      return true;
    case WM_LBUTTONUP:
      OnLButtonUp(pt);
      result = Default();
      if (m_scrollOwner && m_scrollOwner->m_hWnd) ::SetCapture(m_scrollOwner->m_hWnd);
      return true;
    case WM_MOUSEMOVE:
      OnMouseMove(wParam, pt);
      result = 0;
      return true;
    case WM_CAPTURECHANGED:
      // Wine tells a window that re-takes its own capture that it lost it.
      if (reinterpret_cast<HWND>(lParam) != m_hWnd) OnCaptureLost();
      result = Default();
      return true;
    case WM_TIMER:
      OnTimer(wParam);
      result = 0;
      return true;
    default:
      return CStatic::OnMessage(msg, wParam, lParam, result);
  }
}
