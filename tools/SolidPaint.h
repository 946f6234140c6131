// The paint of the start benchmark's yardsticks: the whole update area in one
// colour, which the benchmark waits to see on the screen.
#pragma once
#include <windows.h>

inline void PaintSolid(HWND hwnd, COLORREF colour) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd, &paint);
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &paint.rcPaint, brush);
  DeleteObject(brush);
  EndPaint(hwnd, &paint);
}
