// What the skinned lists share when they draw: the font used when the skin gives
// none and the small arrows of drop-down boxes. Texts are translated with the
// controls' shared TranslateText (ControlHelpers.h).
#pragma once
#include <windows.h>

#include <string>

#include "gui/controls/ControlHelpers.h"

class CFontItem;

namespace gui {

// The skin font's handle, or the font every control draws with when the skin
// gives none (MakeDefaultControlFont's, made once per process).
HFONT FontOrDefault(const CFontItem* font);
// The height of a font's characters (text metrics), 0 for no font.
int FontHeight(HFONT font);

// A down arrow of one-pixel lines, `firstWidth` pixels wide at (x, y), each next
// line two pixels narrower, one pixel lower and one pixel further right.
void DrawDownArrow(HDC dc, int x, int y, int firstWidth, COLORREF colour);

// A copy of the font with weight 700 (the caller owns it).
HFONT MakeBoldCopy(HFONT font);

}  // namespace gui
