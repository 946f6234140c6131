#include "gui/controls/ProfileBtn.h"

#include <windowsx.h>

#include "gui/controls/ControlHelpers.h"
#include "gui/skin/SkinResourceCache.h"

CProfileBtn::CProfileBtn() = default;

CProfileBtn::~CProfileBtn() {
  m_toolTip.Destroy();
  DestroyWindow();
}

void CProfileBtn::PreSubclassWindow() {
  // The button type, not bit 0: the owner-draw type 0xB has that bit set too.
  if ((GetStyle() & BS_TYPEMASK) == BS_DEFPUSHBUTTON) m_hover = 1;
  SendMessage(BM_SETSTYLE, (GetStyle() & 0xFFFF) | BS_OWNERDRAW, TRUE);
  CButton::PreSubclassWindow();
  ModifyStyle(WS_TABSTOP, 0);
}

BOOL CProfileBtn::PreTranslateMessage(MSG* msg) {
  m_toolTip.Relay(*this, msg);
  return CButton::PreTranslateMessage(msg);
}

void CProfileBtn::SetBitmaps(HBITMAP normal, HBITMAP over, HBITMAP down, HBITMAP disabled, int left, int top,
                             int right, int bottom) {
  CClientDC dc(m_hWnd);
  auto piece = [&](CBitmap& target, HBITMAP source) {
    if (!source) return;
    CropBitmap(target, dc, source, left, top, right, bottom);
  };
  piece(m_bmpNormal, normal);
  piece(m_bmpOver, over);
  piece(m_bmpDown, down);
  piece(m_bmpDisabled, disabled);
  if (m_hWnd) ModifyStyle(WS_BORDER | WS_TABSTOP, 0);
}

void CProfileBtn::SetTooltipText(const wchar_t* text) { m_toolTip.SetText(*this, text, false); }

const CBitmap& CProfileBtn::ChooseBitmap(UINT itemState) const {
  if (m_isCheckBox) return m_checked ? m_bmpDown : m_bmpNormal;
  if (m_checked || (itemState & ODS_SELECTED)) return m_bmpDown;
  if (m_hover) return m_bmpOver;
  if (itemState & ODS_DISABLED) return m_bmpDisabled;
  return m_bmpNormal;
}

void CProfileBtn::DrawItem(DRAWITEMSTRUCT* dis) {
  if (!dis || !dis->hDC) return;
  RECT client;
  GetClientRect(&client);
  const int width = client.right, height = client.bottom;
  const CBitmap& face = ChooseBitmap(dis->itemState);
  CDC faceDc;
  faceDc.CreateCompatibleDC(dis->hDC);
  platform::SelectGuard selectFace(faceDc, face.GetSafeHandle());
  if (m_columns[0].empty()) {
    if (!face.IsNull()) ::BitBlt(dis->hDC, 0, 0, width, height, faceDc, 0, 0, SRCCOPY);
    return;
  }
  CDC memory;
  memory.CreateCompatibleDC(dis->hDC);
  CBitmap surface;
  surface.CreateCompatibleBitmap(dis->hDC, width, height);
  platform::SelectGuard selectSurface(memory, surface.GetSafeHandle());
  memory.BitBlt(0, 0, width, height, dis->hDC, 0, 0, SRCCOPY);
  if (!face.IsNull()) memory.BitBlt(0, 0, width, height, faceDc, 0, 0, SRCCOPY);
  memory.SetBkMode(TRANSPARENT);
  memory.SetTextColor(RGB(0xE0, 0xE0, 0xE0));
  CFont font = gui::MakeDefaultControlFont();
  platform::SelectGuard selectFont(memory, font.GetSafeHandle());
  SIZE first{0, 0};
  ::GetTextExtentPoint32W(memory, m_columns[0].c_str(), static_cast<int>(m_columns[0].size()), &first);
  const int textHeight = first.cy;
  int previousTop = client.top;
  int left = client.left + 5;
  for (int column = 0; column < 4; ++column) {
    const int columnWidth = column == 0 ? 50 : 100;
    const int top = (client.bottom - previousTop) / 2 - textHeight / 2;
    RECT area{left, top, left + columnWidth, client.bottom};
    gui::DrawControlText(memory, m_columns[column], &area, DT_SINGLELINE | DT_VCENTER | DT_NOCLIP | DT_END_ELLIPSIS);
    previousTop = top;
    left += columnWidth + 5;
  }
  ::BitBlt(dis->hDC, 0, 0, width, height, memory, 0, 0, SRCCOPY);
}

void CProfileBtn::OnMouseMove(UINT flags, int x, int y) {
  Default();
  gui::TrackHoverByCapture(*this, flags, POINT{x, y}, m_hover != 0, [this](bool hover) {
    m_hover = hover ? 1 : 0;
    Invalidate();
  });
}

void CProfileBtn::OnLButtonUp() {
  if (!m_isCheckBox) {
    Default();
    return;
  }
  // The button-down began the standard press, which holds the mouse; it ends
  // here without the standard click, so the box reports once and lets go.
  if (::GetCapture() == m_hWnd) ::ReleaseCapture();
  if (GetState() & BST_PUSHED) SendMessage(BM_SETSTATE, FALSE);
  m_checked = !m_checked;
  Invalidate();
  ::SendMessageW(GetParentHwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), BN_CLICKED), reinterpret_cast<LPARAM>(m_hWnd));
}

bool CProfileBtn::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_MOUSEMOVE:
      OnMouseMove(static_cast<UINT>(wParam), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      result = 0;
      return true;
    case WM_LBUTTONDOWN:
      gui::ActivateOwnerOf(GetOwnerHwnd());
      result = Default();
      return true;
    case WM_LBUTTONUP:
      OnLButtonUp();
      result = 0;
      return true;
    case WM_KILLFOCUS:
      result = Default();
      m_hover = 0;
      Invalidate();
      return true;
    case WM_CAPTURECHANGED:
      if (gui::HoverEndsWithCapture(m_hWnd, reinterpret_cast<HWND>(lParam), m_hover != 0)) {
        m_hover = 0;
        Invalidate();
      }
      result = Default();
      return true;
    case WM_ERASEBKGND:
      result = 0;
      return true;
    default:
      break;
  }
  return CButton::OnMessage(msg, wParam, lParam, result);
}

CAVIButton::CAVIButton() = default;

CAVIButton::~CAVIButton() {
  m_animation.DestroyWindow();
  DestroyWindow();
}

void CAVIButton::Play() {
  if (!m_animation.m_hWnd) {
    RECT area;
    GetClientRect(&area);
    ::OffsetRect(&area, 1, 1);
    if (!m_animation.Create(WS_CHILD | WS_VISIBLE, area, this, 0)) return;
    m_animation.Open(m_videoFile.c_str(), ::GetModuleHandleW(nullptr));
    m_playing = 1;
  }
  m_animation.Play(0, 0xFFFF, 1);
}

void CAVIButton::DrawItem(DRAWITEMSTRUCT* dis) {
  if (!dis || !dis->hDC || m_playing == 1 || m_poster.IsNull()) return;
  RECT client;
  GetClientRect(&client);
  const SIZE poster = m_poster.GetSize();
  CDC posterDc;
  posterDc.CreateCompatibleDC(dis->hDC);
  platform::SelectGuard select(posterDc, m_poster.GetSafeHandle());
  ::BitBlt(dis->hDC, 0, 0, client.right, client.bottom, posterDc, poster.cx / 2 - client.right / 2 - 10,
           poster.cy / 2 - client.bottom / 2 - 5, SRCCOPY);
}

bool CAVIButton::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_CREATE:
      result = Default() == -1 ? -1 : 0;
      return true;
    case WM_SHOWWINDOW:
      result = 0;
      return true;
    default:
      break;
  }
  if (msg == platform::Reflected(WM_COMMAND)) {
    // A single click does nothing; a double click plays the clip.
    if (HIWORD(wParam) == BN_CLICKED) {
      result = 0;
      return true;
    }
    if (HIWORD(wParam) == BN_DOUBLECLICKED) {
      Play();
      result = 0;
      return true;
    }
  }
  return CButton::OnMessage(msg, wParam, lParam, result);
}
