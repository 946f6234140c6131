// The skinned static text: an owner-drawn static control that shows a
// translated text over the panel's background in a skin colour and font, can
// highlight itself under the mouse, and can be the clickable label of a check
// box, so that a click on the label toggles the box.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "gui/base/GUIItem.h"
#include "platform/Controls.h"
#include "platform/Gdi.h"

class CBitmapBtn;

class CTextItem : public CStatic, public CGUIItem {
 public:
  // The text through the language in force; only a translated text takes the
  // case mode (1 upper, 2 lower).
  explicit CTextItem(const std::wstring& text = std::wstring(), int caseMode = 0);
  ~CTextItem() override;

  // Translated (without case conversion) and redrawn over the parent's background.
  void SetText(const std::wstring& text);
  void GetText(std::wstring& out) const { out = m_text; }
  // Invalidates the item's place in the parent and repaints it there at once,
  // so the parent's background lies under the transparent text.
  void RedrawInParent();
  // Also highlights the linked check box.
  void SetHover(uint8_t value);

  virtual void DrawItem(DRAWITEMSTRUCT* dis);

  int32_t m_reserved[2] = {0, 0};
  std::wstring m_text;
  // DrawText flags; 0 draws one left-aligned line with TextOut 5 right of and 2
  // below the item's corner.
  UINT m_drawTextFormat = 0;
  // Borrowed from the skin's font item.
  const CFont* m_font = nullptr;
  uint8_t m_hover = 0;
  // Set by the owner screens to show the item disabled.
  uint8_t m_disabled = 0;
  CBitmapBtn* m_linkedCheckBox = nullptr;
  // 0 means unset: hover and disabled fall back to normal, normal to 0xFEFEFE.
  COLORREF m_clrNormal = 0;
  COLORREF m_clrHover = 0;
  COLORREF m_clrDisabled = 0;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void OnMouseMove(UINT flags, int x, int y);
  void OnLButtonUp();
  COLORREF TextColour() const;
};
