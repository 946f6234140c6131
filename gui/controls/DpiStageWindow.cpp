#include "gui/controls/DpiStageWindow.h"

#include <algorithm>

#include "gui/Messages.h"
#include "gui/controls/ControlHelpers.h"
#include "gui/base/LangTable.h"
#include "gui/skin/SkinResourceCache.h"
#include "platform/Strings.h"

namespace {

std::wstring TranslateOrEmpty(const std::wstring& text) {
  return CurrentLangTable ? gui::TranslateText(text) : std::wstring();
}

RECT Shrunk(RECT r, int dx, int dy) {
  r.left += dx;
  r.right -= dx;
  r.top += dy;
  r.bottom -= dy;
  return r;
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

}  // namespace

CDPIStageWindow::CDPIStageWindow(int stageIndex) : m_stageIndex(stageIndex) {}

bool CDPIStageWindow::Create(HWND parent, const std::vector<DpiPictureArea>& pictures,
                             const std::vector<DpiTextArea>& texts, const RECT& rect, UINT id) {
  // A static without SS_NOTIFY is transparent to the mouse: the pane would never hear a click.
  if (!CreateEx(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_NOTIFY, rect, parent, id)) return false;
  CClientDC dc(m_hWnd);
  auto piece = [&](CBitmap& target, HBITMAP source, const RECT& area) {
    if (!source) return;
    CropBitmap(target, dc, source, 0, 0, Width(area), Height(area));
  };
  for (const DpiPictureArea& area : pictures) {
    const std::wstring& name = area.name;
    if (platform::EqualsNoCase(name, L"DPIFRAME")) {
      piece(m_blocks[0].bitmap, area.image, area.rect);
      m_blocks[0].rect = area.rect;
    } else if (platform::EqualsNoCase(name, L"DPIFRAMESELECTED")) {
      piece(m_blocks[0].second, area.image, area.rect);
    } else if (platform::EqualsNoCase(name, L"DPIWIN")) {
      piece(m_blocks[1].bitmap, area.image, area.rect);
      m_blocks[1].rect = area.rect;
    } else if (platform::EqualsNoCase(name, L"DPIWINX")) {
      piece(m_blocks[2].bitmap, area.image, area.rect);
      m_blocks[2].rect = area.rect;
    } else if (platform::EqualsNoCase(name, L"DPIWINY")) {
      piece(m_blocks[3].bitmap, area.image, area.rect);
      m_blocks[3].rect = area.rect;
    }
  }
  const std::pair<const wchar_t*, Label*> labels[] = {{L"HEADING", &m_headingArea}, {L"X", &m_xLabel},
                                                     {L"Y", &m_yLabel},             {L"DPI", &m_dpiLabel},
                                                     {L"DPIX", &m_dpiXLabel},       {L"DPIY", &m_dpiYLabel}};
  for (const DpiTextArea& area : texts) {
    for (const auto& [name, label] : labels) {
      if (!platform::EqualsNoCase(area.name, name)) continue;
      label->text = TranslateOrEmpty(area.text);
      label->rect = area.rect;
    }
  }
  return true;
}

void CDPIStageWindow::SetHeading(const std::wstring& text) {
  m_heading = gui::FirstLineBreak(gui::ApplyCaseMode(TranslateOrEmpty(text), m_caseMode));
  if (m_hWnd) Invalidate();
}

void CDPIStageWindow::SetTooltipText(const std::wstring& text) {
  m_toolTip.SetText(*this, text.c_str(), true);
}

BOOL CDPIStageWindow::PreTranslateMessage(MSG* msg) {
  m_toolTip.Relay(*this, msg);
  return CStatic::PreTranslateMessage(msg);
}

void CDPIStageWindow::Paint(HDC target) {
  if (!m_visible) return;
  const RECT frame = m_blocks[0].rect;
  const int width = Width(frame), height = Height(frame);
  if (width <= 0 || height <= 0) return;
  CDC memory;
  if (!memory.CreateCompatibleDC(target)) return;
  CBitmap canvas;
  if (!canvas.CreateCompatibleBitmap(target, width, height)) return;
  platform::SelectGuard selectCanvas(memory, canvas.GetSafeHandle());

  auto blit = [&](HBITMAP bitmap, const RECT& at) {
    if (!bitmap || Width(at) <= 0 || Height(at) <= 0) return;
    CDC source;
    if (!source.CreateCompatibleDC(target)) return;
    platform::SelectGuard select(source, bitmap);
    ::BitBlt(memory, at.left, at.top, Width(at), Height(at), source, 0, 0, SRCCOPY);
  };
  const HBITMAP face = m_selected == 1 && !m_blocks[0].second.IsNull() ? m_blocks[0].second : m_blocks[0].bitmap;
  blit(face, RECT{0, 0, width, height});

  CFont fallback;
  HFONT font = m_font;
  if (!font) {
    fallback = gui::MakeDefaultControlFont();
    font = fallback;
  }
  platform::SelectGuard selectFont(memory, font);
  memory.SetTextColor(gui::ControlTextColour(m_textColour));
  memory.SetBkMode(TRANSPARENT);
  auto text = [&](const std::wstring& s, RECT at, UINT format) {
    if (!s.empty()) memory.DrawText(s, &at, format);
  };
  text(m_heading, m_headingArea.rect, m_drawTextFormat | DT_CENTER);

  const HBITMAP selectedBox = m_selected == 1 ? GetCachedBitmap(L"stageSelected.bmp") : nullptr;
  if (m_xyMode == 1) {
    text(m_dpiXLabel.text, m_dpiXLabel.rect, m_drawTextFormat);
    text(m_dpiYLabel.text, m_dpiYLabel.rect, m_drawTextFormat);
    text(m_xLabel.text, m_xLabel.rect, m_drawTextFormat | DT_CENTER);
    text(m_yLabel.text, m_yLabel.rect, m_drawTextFormat | DT_CENTER);
    m_valueXText = std::to_wstring(m_valueX);
    m_valueYText = std::to_wstring(m_valueY);
    for (const auto& [block, value] : {std::pair{&m_blocks[2], &m_valueXText}, std::pair{&m_blocks[3], &m_valueYText}}) {
      blit(selectedBox ? selectedBox : static_cast<HBITMAP>(block->bitmap), block->rect);
      const RECT inner = Shrunk(block->rect, 3, 2);
      if (Width(inner) <= 0 || Height(inner) <= 0) continue;
      // The value is drawn on a black box of its own, then copied into the pane.
      CDC box;
      CBitmap boxBitmap;
      if (!box.CreateCompatibleDC(target) || !boxBitmap.CreateCompatibleBitmap(target, Width(inner), Height(inner)))
        continue;
      platform::SelectGuard selectBox(box, boxBitmap.GetSafeHandle());
      box.FillSolidRect(RECT{0, 0, Width(inner), Height(inner)}, RGB(0, 0, 0));
      platform::SelectGuard boxFont(box, font);
      box.SetTextColor(gui::ControlTextColour(m_textColour));
      box.SetBkMode(TRANSPARENT);
      RECT local{0, 0, Width(inner), Height(inner)};
      box.DrawText(*value, &local, m_drawTextFormat | DT_CENTER);
      ::BitBlt(memory, inner.left, inner.top, Width(inner), Height(inner), box, 0, 0, SRCCOPY);
    }
  } else {
    text(m_dpiLabel.text, m_dpiLabel.rect, m_drawTextFormat);
    blit(selectedBox ? selectedBox : static_cast<HBITMAP>(m_blocks[1].bitmap), m_blocks[1].rect);
    m_valueText = std::to_wstring(m_value);
    text(m_valueText, Shrunk(m_blocks[1].rect, 3, 2), m_drawTextFormat | DT_CENTER);
  }
  ::BitBlt(target, 0, 0, width, height, memory, 0, 0, SRCCOPY);
}

bool CDPIStageWindow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (gui::HandlePaintMessage(m_hWnd, msg, wParam, result, [this](HDC dc) { Paint(dc); })) return true;
  switch (msg) {
    case WM_ERASEBKGND:
      // Only a pane that paints erases: a hidden one leaves what lies behind it.
      if (m_visible && m_selected != 1) {
        CDC dc;
        dc.Attach(reinterpret_cast<HDC>(wParam));
        dc.FillSolidRect(m_blocks[0].rect, RGB(0, 0, 0));
        dc.Detach();
      }
      result = 1;
      return true;
    case WM_KILLFOCUS:
      result = Default();
      Invalidate();
      return true;
    case WM_LBUTTONUP:
      result = Default();
      if (m_enabled == 1 && m_selected != 1) {
        m_selected = 1;
        if (HWND parent = GetParentHwnd())
          ::SendMessageW(parent, DpiStageClickedMessage, static_cast<WPARAM>(m_stageIndex), id);
        m_previousFocus = ::GetFocus();
        SetFocus();
        Invalidate();
      }
      return true;
  }
  return CStatic::OnMessage(msg, wParam, lParam, result);
}
