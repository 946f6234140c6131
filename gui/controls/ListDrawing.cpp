#include "gui/controls/ListDrawing.h"

#include "gui/skin/FontItem.h"
#include "platform/Gdi.h"

namespace gui {

HFONT FontOrDefault(const CFontItem* font) {
  if (font && !font->IsNull()) return static_cast<HFONT>(font->GetSafeHandle());
  static CFont* const fallback = new CFont(MakeDefaultControlFont());
  return *fallback;
}

int FontHeight(HFONT font) {
  if (!font) return 0;
  CClientDC screen(nullptr);
  platform::SelectGuard select(screen, font);
  TEXTMETRICW tm{};
  return ::GetTextMetricsW(screen, &tm) ? tm.tmHeight : 0;
}

void DrawDownArrow(HDC dc, int x, int y, int firstWidth, COLORREF colour) {
  for (int width = firstWidth, row = 0; width >= 1; width -= 2, ++row) {
    const RECT line{x + row, y + row, x + row + width, y + row + 1};
    const COLORREF old = ::SetBkColor(dc, colour);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &line, nullptr, 0, nullptr);
    ::SetBkColor(dc, old);
  }
}

HFONT MakeBoldCopy(HFONT font) {
  LOGFONTW lf{};
  if (!font || !::GetObjectW(font, sizeof(lf), &lf)) return nullptr;
  lf.lfWeight = FW_BOLD;
  return ::CreateFontIndirectW(&lf);
}

}  // namespace gui
