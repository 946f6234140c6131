#include "gui/controls/BitmapWindow.h"

#include <algorithm>

#include "gui/controls/ControlHelpers.h"
#include "gui/base/LangTable.h"
#include "gui/skin/SkinResourceCache.h"

namespace {

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  if (!bitmap || !::GetObjectW(bitmap, sizeof(info), &info)) return SIZE{0, 0};
  return SIZE{info.bmWidth, info.bmHeight};
}

}  // namespace

CBitmapWindow::CBitmapWindow() = default;

CBitmapWindow::~CBitmapWindow() {
  m_toolTip.Destroy();
  DestroyWindow();
}

void CBitmapWindow::SetBitmaps(HBITMAP size, HBITMAP normal, HBITMAP over, HBITMAP down, HBITMAP mask) {
  RECT client{};
  if (m_hWnd) GetClientRect(&client);
  const SIZE sizeImage = BitmapSize(size);
  m_rect = client;
  ::InflateRect(&m_rect, sizeImage.cx - client.right, sizeImage.cy - client.bottom);
  CClientDC dc(m_hWnd);
  auto piece = [&](CBitmap& target, HBITMAP source) {
    if (!source) return;
    CropBitmap(target, dc, source, 0, 0, client.right, client.bottom);
  };
  piece(m_bmpSize, size);
  piece(m_bmpNormal, normal);
  piece(m_bmpOver, over);
  piece(m_bmpDown, down);
  if (mask && m_hWnd) {
    if (HRGN region = BitmapToRegion(mask)) {
      // Once accepted the region is the window's.
      if (!SetWindowRgn(region, TRUE)) ::DeleteObject(region);
    }
  }
}

void CBitmapWindow::SetText(const std::wstring& text) {
  if (m_locked == 1) return;
  // The line-break marker goes before the case conversion would hide it as "\N".
  m_text = CurrentLangTable ? gui::ApplyCaseMode(gui::FirstLineBreak(gui::TranslateText(text)), m_caseMode)
                            : std::wstring();
  Invalidate();
}

void CBitmapWindow::SetTooltipText(const wchar_t* text) { m_toolTip.SetText(*this, text, true); }

const wchar_t* CBitmapWindow::AssignmentIconName(int kind) {
  switch (kind) {
    case 5:
      return L"icon_asskey_single_key.bmp";
    case 6:
    case 7:
      return L"icon_asskey_macro.bmp";
    case 8:
      return L"icon_asskey_disable.bmp";
    case 21:
    case 22:
      return L"icon_asskey_profile.bmp";
    case 62:
    case 63:
      return L"icon_asskey_app.bmp";
    default:
      return L"icon_asskey_default.bmp";
  }
}

BOOL CBitmapWindow::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (HWND parent = GetParentHwnd()) ::PostMessageW(parent, WM_COMMAND, wParam, lParam);
  return CWnd::OnCommand(wParam, lParam);
}

BOOL CBitmapWindow::PreTranslateMessage(MSG* msg) {
  m_toolTip.Relay(*this, msg);
  return CWnd::PreTranslateMessage(msg);
}

void CBitmapWindow::DrawKeyPicture(HDC surface, const RECT& area) const {
  const int areaWidth = area.right - area.left, areaHeight = area.bottom - area.top;
  // A pane too small for a picture area shows no key (and divides by nothing).
  if (areaWidth <= 0 || areaHeight <= 0) return;
  const RECT& key = m_keyPicture->rect;
  const int keyWidth = key.right - key.left, keyHeight = key.bottom - key.top;
  CDC source;
  source.CreateCompatibleDC(surface);
  if (m_keyPicture->normal) {
    // The crop of the keyboard picture centred on the key.
    const int centreX = key.left + keyWidth / 2, centreY = key.top + keyHeight / 2;
    platform::SelectGuard select(source, m_keyPicture->normal);
    ::BitBlt(surface, area.left, area.top, areaWidth, areaHeight, source, centreX - areaWidth / 2,
             centreY - areaHeight / 2, SRCCOPY);
  }
  if (m_keyPicture->down && keyWidth > 0 && keyHeight > 0) {
    // The key itself, at its own size or shrunk (keeping its proportions) to fit.
    int width = keyWidth, height = keyHeight;
    if (width > areaWidth || height > areaHeight) {
      if (int64_t{keyWidth} * areaHeight > int64_t{keyHeight} * areaWidth) {
        width = areaWidth;
        height = static_cast<int>(int64_t{keyHeight} * areaWidth / keyWidth);
      } else {
        height = areaHeight;
        width = static_cast<int>(int64_t{keyWidth} * areaHeight / keyHeight);
      }
    }
    if (width <= 0 || height <= 0) return;
    platform::SelectGuard select(source, m_keyPicture->down);
    const int x = area.left + (areaWidth - width) / 2, y = area.top + (areaHeight - height) / 2;
    ::SetStretchBltMode(surface, COLORONCOLOR);
    ::StretchBlt(surface, x, y, width, height, source, key.left, key.top, keyWidth, keyHeight, SRCCOPY);
  }
}

void CBitmapWindow::DrawAssignment(HDC surface) const {
  const int width = m_rect.right - m_rect.left;
  const int bandTop = m_rect.bottom - kBandHeight;
  HBITMAP icon = GetCachedBitmap(AssignmentIconName(m_assignmentKind));
  CFont paintFont;
  if (!m_font) paintFont = gui::MakeDefaultControlFont();
  platform::SelectGuard font(surface, m_font ? m_font->GetSafeHandle() : paintFont.GetSafeHandle());
  ::SetBkMode(surface, TRANSPARENT);
  ::SetTextColor(surface, gui::ControlTextColour(m_textColour));
  const UINT format = m_drawTextFormat | DT_END_ELLIPSIS;
  RECT band{m_rect.left, bandTop, m_rect.right, m_rect.bottom};
  const SIZE iconSize = BitmapSize(icon);
  if (!icon || iconSize.cx <= 0 || iconSize.cy <= 0) {
    gui::DrawControlText(surface, m_text, &band, format);
    return;
  }
  SIZE textSize{0, 0};
  ::GetTextExtentPoint32W(surface, m_text.c_str(), static_cast<int>(m_text.size()), &textSize);
  const int x = textSize.cx + iconSize.cx < width ? m_rect.left + (width - textSize.cx - iconSize.cx) / 2 : m_rect.left;
  const int y = bandTop + (kBandHeight - std::max(textSize.cy, iconSize.cy)) / 2;
  {
    CDC iconDc;
    iconDc.CreateCompatibleDC(surface);
    platform::SelectGuard select(iconDc, icon);
    ::BitBlt(surface, x, y, iconSize.cx, iconSize.cy, iconDc, 0, 0, SRCCOPY);
  }
  band.left = x + iconSize.cx;
  gui::DrawControlText(surface, m_text, &band, format);
}

void CBitmapWindow::Paint(HDC target) {
  RECT client;
  GetClientRect(&client);
  const int width = client.right, height = client.bottom;
  const CBitmap* state = nullptr;
  if (m_locked == 1 && !m_bmpDown.IsNull()) state = &m_bmpDown;
  else if (!m_text.empty() && !m_bmpOver.IsNull()) state = &m_bmpOver;
  else if (!m_bmpNormal.IsNull()) state = &m_bmpNormal;

  // Drawn on a copy: the state images stay as the skin gave them.
  CDC memory;
  memory.CreateCompatibleDC(target);
  CBitmap surface;
  surface.CreateCompatibleBitmap(target, width, height);
  platform::SelectGuard selectSurface(memory, surface.GetSafeHandle());
  if (state) {
    CDC stateDc;
    stateDc.CreateCompatibleDC(target);
    platform::SelectGuard selectState(stateDc, state->GetSafeHandle());
    memory.BitBlt(0, 0, width, height, stateDc, 0, 0, SRCCOPY);
  }

  const int paneWidth = m_rect.right - m_rect.left;
  const RECT pictureArea{m_rect.left, m_rect.top, m_rect.left + paneWidth,
                         m_rect.top + (m_rect.bottom - m_rect.top - (kBandHeight + 1))};
  const bool assignment = m_showAssignment == 1 && !m_text.empty();
  if (assignment) {
    CPen pen;
    pen.CreatePen(PS_SOLID, 1, RGB(0, 0xFF, 0));
    platform::SelectGuard selectPen(memory, pen.GetSafeHandle());
    ::MoveToEx(memory, m_rect.left, m_rect.bottom - kBandHeight, nullptr);
    ::LineTo(memory, m_rect.right, m_rect.bottom - kBandHeight);
  }
  if (m_keyPicture) DrawKeyPicture(memory, pictureArea);
  if (assignment) DrawAssignment(memory);
  ::BitBlt(target, 0, 0, width, height, memory, 0, 0, SRCCOPY);
}

bool CBitmapWindow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (gui::HandlePaintMessage(m_hWnd, msg, wParam, result, [this](HDC dc) { Paint(dc); })) return true;
  switch (msg) {
    case WM_ERASEBKGND:
      result = 0;
      return true;
    case WM_KILLFOCUS:
      result = Default();
      Invalidate();
      return true;
    case WM_CAPTURECHANGED:
      result = Default();
      return true;
    default:
      break;
  }
  return CWnd::OnMessage(msg, wParam, lParam, result);
}
