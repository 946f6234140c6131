#include "gui/controls/BitmapBtn.h"

#include <windowsx.h>

#include "gui/base/LangTable.h"
#include "gui/skin/SkinResourceCache.h"

CBitmapBtn::CBitmapBtn() = default;

CBitmapBtn::~CBitmapBtn() {
  // The window goes while the whole object is alive, so its last messages find
  // every member in place.
  m_toolTip.Destroy();
  DestroyWindow();
}

BOOL CBitmapBtn::Create(const wchar_t* caption, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CButton::Create(caption, style, rect, parent, id);
}

void CBitmapBtn::PreSubclassWindow() {
  SendMessage(BM_SETSTYLE, (GetStyle() & 0xFFFF) | BS_OWNERDRAW, TRUE);
  CButton::PreSubclassWindow();
  ModifyStyle(WS_TABSTOP, 0);
}

BOOL CBitmapBtn::PreTranslateMessage(MSG* msg) {
  m_toolTip.Relay(*this, msg);
  return CButton::PreTranslateMessage(msg);
}

void CBitmapBtn::SetBitmaps(HBITMAP normal, HBITMAP over, HBITMAP down, HBITMAP disabled, int left, int top,
                            int right, int bottom) {
  // The pieces are DIB sections, made through memory DCs: the window's own DC
  // would only cost a trip to the server for its visible region.
  auto piece = [&](CBitmap& target, HBITMAP source) {
    if (!source) return;
    CropBitmap(target, nullptr, source, left, top, right, bottom);
  };
  piece(m_bmpNormal, normal);
  piece(m_bmpOver, over);
  piece(m_bmpDown, down);
  piece(m_bmpDisabled, disabled);
  if (m_hWnd) ModifyStyle(WS_BORDER | WS_TABSTOP, 0);
}

void CBitmapBtn::SetBitmapsWithMask(HBITMAP normal, HBITMAP over, HBITMAP down, HBITMAP disabled, HBITMAP mask,
                                    int left, int top, int right, int bottom) {
  SetBitmaps(normal, over, down, disabled, left, top, right, bottom);
  if (!mask) return;
  CropBitmap(m_bmpMask, nullptr, mask, left, top, right, bottom);
  if (m_hRgn || !m_hWnd || m_bmpMask.IsNull()) return;
  // The shape comes from the button's own piece of the mask: a key cut from a
  // keyboard-wide mask sheet takes the shape at its own place on the sheet.
  HRGN region = BitmapToRegion(m_bmpMask);
  if (!region) return;
  // Once accepted the region is the window's; only a refused one is ours to delete.
  // A button not on the screen yet (the page is still being built) needs no
  // redraw: it is drawn when it shows.
  if (SetWindowRgn(region, ::IsWindowVisible(m_hWnd))) m_hRgn = region;
  else ::DeleteObject(region);
}

void CBitmapBtn::SetCaption(const std::wstring& text, int caseMode) {
  if (!CurrentLangTable) {
    m_caption.clear();
    return;
  }
  // The line-break marker is taken before the case conversion, which would turn
  // "\n" into "\N" and so show it as written.
  m_caption = gui::ApplyCaseMode(gui::FirstLineBreak(gui::TranslateText(text)), caseMode);
}

void CBitmapBtn::SetTooltipText(const wchar_t* text) { m_toolTip.SetText(*this, text, true); }

void CBitmapBtn::SetCheck(int state) {
  if (state == m_checked) return;
  m_checked = state;
  Invalidate();
}

void CBitmapBtn::StartBlink(int interval) {
  m_blinkBitmap = &m_bmpNormal;
  m_blinkInterval = interval;
  SetTimer(kBlinkTimer, static_cast<UINT>(interval));
  Invalidate();
}

void CBitmapBtn::StopBlink() {
  KillTimer(kBlinkTimer);
  m_blinkBitmap = nullptr;
  m_blinkInterval = 0;
  Invalidate();
}

const CBitmap& CBitmapBtn::ChooseBitmap(UINT itemState) const {
  if (m_blinkBitmap) return *m_blinkBitmap;
  const bool disabled = (itemState & ODS_DISABLED) != 0;
  const bool pressed = (itemState & ODS_SELECTED) != 0;
  const bool hovered = m_hover == 1 || m_highlight == 1;
  if (m_isCheckBox) {
    // A check box never takes the pressed state: its face follows the checked state.
    if (m_checked) return m_bmpDown;
    if (disabled) return m_bmpDisabled;
    return hovered ? m_bmpOver : m_bmpNormal;
  }
  if (disabled) return m_bmpDisabled;
  if (m_checked || pressed) return m_bmpDown;
  return hovered ? m_bmpOver : m_bmpNormal;
}

COLORREF CBitmapBtn::ChooseTextColour(UINT itemState) const {
  COLORREF colour = m_clrNormal;
  if (m_checked || (itemState & ODS_SELECTED)) colour = m_clrDown;
  else if (m_hover) colour = m_clrOver;
  else if (itemState & ODS_DISABLED) colour = m_clrDisabled;
  return gui::ControlTextColour(colour);
}

void CBitmapBtn::DrawCaptionAndCopy(const DRAWITEMSTRUCT* dis, HDC surface, COLORREF textColour) const {
  RECT client;
  GetClientRect(&client);
  if (!m_caption.empty()) {
    ::SetBkMode(surface, TRANSPARENT);
    ::SetTextColor(surface, textColour);
    CFont paintFont;
    if (!m_font) paintFont = gui::MakeDefaultControlFont();
    platform::SelectGuard font(surface, m_font ? m_font->GetSafeHandle() : paintFont.GetSafeHandle());
    RECT area = client;
    gui::DrawControlText(surface, m_caption, &area, m_drawTextFormat);
  }
  ::BitBlt(dis->hDC, 0, 0, client.right, client.bottom, surface, 0, 0, SRCCOPY);
}

void CBitmapBtn::DrawItem(DRAWITEMSTRUCT* dis) {
  if (!dis || !dis->hDC) return;
  RECT client;
  GetClientRect(&client);
  const int width = client.right, height = client.bottom;
  const CBitmap& face = ChooseBitmap(dis->itemState);

  CDC memory;
  memory.CreateCompatibleDC(dis->hDC);
  CBitmap surface;
  surface.CreateCompatibleBitmap(dis->hDC, width, height);
  platform::SelectGuard selectSurface(memory, surface.GetSafeHandle());
  // What the button's DC shows now lies under the face: the mask lets it through.
  memory.BitBlt(0, 0, width, height, dis->hDC, 0, 0, SRCCOPY);
  if (!face.IsNull()) {
    CDC faceDc;
    faceDc.CreateCompatibleDC(dis->hDC);
    platform::SelectGuard selectFace(faceDc, face.GetSafeHandle());
    if (m_bmpMask.IsNull()) {
      memory.BitBlt(0, 0, width, height, faceDc, 0, 0, SRCCOPY);
    } else {
      // background ^ face, cleared to the face's black where the mask is black,
      // ^ face again: the face where the mask is black, the background where white.
      CDC maskDc;
      maskDc.CreateCompatibleDC(dis->hDC);
      platform::SelectGuard selectMask(maskDc, m_bmpMask.GetSafeHandle());
      memory.BitBlt(0, 0, width, height, faceDc, 0, 0, SRCINVERT);
      memory.BitBlt(0, 0, width, height, maskDc, 0, 0, SRCAND);
      memory.BitBlt(0, 0, width, height, faceDc, 0, 0, SRCINVERT);
    }
  }
  DrawCaptionAndCopy(dis, memory, ChooseTextColour(dis->itemState));
}

void CBitmapBtn::OnMouseMove(UINT flags, int x, int y) {
  Default();
  gui::TrackHoverByCapture(*this, flags, POINT{x, y}, m_hover != 0, [this](bool hover) {
    m_hover = hover ? 1 : 0;
    // A hovered button is drawn over its neighbours.
    if (hover) ::BringWindowToTop(m_hWnd);
    Invalidate();
  });
}

void CBitmapBtn::OnLButtonDown() {
  gui::ActivateOwnerOf(GetOwnerHwnd());
  if (!m_isCheckBox) {
    Default();
    return;
  }
  if (m_toggleMode == 1) m_checked = !m_checked;
  Invalidate();
  // A check box reports on the press and never takes the standard pressed state.
  ::SendMessageW(GetParentHwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), BN_CLICKED), reinterpret_cast<LPARAM>(m_hWnd));
}

void CBitmapBtn::OnCaptureChanged(HWND newCapture) {
  // The capture now belongs to `newCapture`; taking it back would steal it. Wine
  // also reports a window re-taking its own capture, which loses nothing.
  if (!gui::HoverEndsWithCapture(m_hWnd, newCapture, m_hover != 0)) return;
  m_hover = 0;
  Invalidate();
}

bool CBitmapBtn::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_MOUSEMOVE:
      OnMouseMove(static_cast<UINT>(wParam), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      result = 0;
      return true;
    case WM_LBUTTONDOWN:
      OnLButtonDown();
      result = 0;
      return true;
    case WM_LBUTTONUP:
      if (!m_isCheckBox) {
        Default();
        Invalidate();
      }
      result = 0;
      return true;
    case WM_LBUTTONDBLCLK:
      // A double click is not a second click.
      result = 0;
      return true;
    case WM_TIMER:
      if (wParam != kBlinkTimer) break;
      KillTimer(kBlinkTimer);
      // A tick already queued when the blink was stopped must not restart it.
      if (!m_blinkBitmap) {
        result = 0;
        return true;
      }
      m_blinkBitmap = m_blinkBitmap == &m_bmpNormal ? &m_bmpDown : &m_bmpNormal;
      SetTimer(kBlinkTimer, static_cast<UINT>(m_blinkInterval));
      Invalidate();
      result = 0;
      return true;
    case WM_ERASEBKGND:
      result = 0;
      return true;
    case WM_KILLFOCUS:
      result = Default();
      m_hover = 0;
      Invalidate();
      return true;
    case WM_CAPTURECHANGED:
      OnCaptureChanged(reinterpret_cast<HWND>(lParam));
      result = Default();
      return true;
    default:
      break;
  }
  return CButton::OnMessage(msg, wParam, lParam, result);
}
