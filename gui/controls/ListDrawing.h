// What the skinned lists share when they draw: translated texts, the font used
// when the skin gives none, and the small arrows of drop-down boxes.
#pragma once
#include <windows.h>

#include <string>

class CFontItem;

namespace gui {

// The text through the language table in force ("$key" and "#prefix"); the
// text itself when there is no table or no such key.
std::wstring TranslateText(const std::wstring& text);

// The skin font's handle, or the font every control draws with when the skin
// gives none ("Arial", height 14, weight 700; made once per process).
HFONT FontOrDefault(const CFontItem* font);
// The height of a font's characters (text metrics), 0 for no font.
int FontHeight(HFONT font);

// A down arrow of one-pixel lines, `firstWidth` pixels wide at (x, y), each next
// line two pixels narrower, one pixel lower and one pixel further right.
void DrawDownArrow(HDC dc, int x, int y, int firstWidth, COLORREF colour);

// A copy of the font with weight 700 (the caller owns it).
HFONT MakeBoldCopy(HFONT font);

}  // namespace gui
