// The flat column header of the skinned list control: painted in the skin's
// colours, "$" headings translated, an optional image (the list's all-checked
// mark) and bitmap per column; columns cannot be resized.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "platform/Controls.h"

// Kept at the same positions as the header's items; nothing reads them.
struct _HDITEMEX {
  int a = 0;
  int b = 0;
  int c = -1;
  int d = -1;
};

class CXHeaderCtrl : public CHeaderCtrl {
 public:
  static constexpr int kTextLength = 160;

  CXHeaderCtrl() = default;
  ~CXHeaderCtrl() override = default;

  // Takes over a list view's own header window (once) and forbids sizing.
  bool TakeOver(HWND header);
  // Draws one item's content in `rect` (already shrunk by the text margin).
  virtual void DrawItem(HDC dc, const RECT& rect, const HDITEMW& item);

  size_t RecordCount() const { return m_itemRecords.size(); }

  int m_doubleBuffer = 1;
  int m_textMargin = 6;
  int m_imageWidth = 0;
  int m_imageHeight = 0;
  std::vector<_HDITEMEX> m_itemRecords;
  COLORREF m_darkLine = 0;
  COLORREF m_lightLine = 0xFEFEFE;
  COLORREF m_background = 0;
  COLORREF m_textColour = 0xFFFFFF;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void Paint(HDC target);
  void PaintItems(HDC dc, const RECT& client);
};
