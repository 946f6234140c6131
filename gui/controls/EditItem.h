// The skinned edit field: an edit control in skin colours (text, background and
// border, with a set for the disabled field), an optional digits-only filter with
// bounds, and a change notification to its parent.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string_view>

#include "gui/base/GUIItem.h"
#include "platform/Controls.h"
#include "platform/Gdi.h"

class CFontItem;

class CEditItem : public CEdit, public CGUIItem {
 public:
  CEditItem();
  ~CEditItem() override;

  // While m_numeric is 1: only editing keys and digits pass, and a digit only
  // when the value it makes lies within m_min..m_max.
  BOOL PreTranslateMessage(MSG* msg) override;

  // The skin's colour attributes, in the order the builder reads them.
  void SetTextColor(COLORREF colour) { m_clrText = colour; }
  void SetTextColorHi(COLORREF colour) { m_clrTextHi = colour; }
  void SetBackColor(COLORREF colour);
  void SetBackColorHi(COLORREF colour) { m_clrBackHi = colour; }
  void SetBorderColor(COLORREF colour) { m_clrBorder = colour; }
  void SetBackColorDisabled(COLORREF colour);
  void SetBorderColorDisabled(COLORREF colour) { m_clrBorderDisabled = colour; }
  void SetTextColorDisabled(COLORREF colour) { m_clrTextDisabled = colour; }

  // The value `text` has (its leading digits), saturated far above 32 bits so
  // that no long text wraps round to a small number.
  static uint64_t TextValue(std::wstring_view text);
  // Whether a value lies within m_min..m_max.
  bool AcceptsValue(uint64_t value) const { return value >= m_min && value <= m_max; }

  // Borrowed from the skin's font item, which outlives the edit.
  const CFontItem* m_font = nullptr;
  COLORREF m_clrText = 0xFFFFFF;
  COLORREF m_clrTextHi = 0;        // read from the skin, not drawn by the edit
  COLORREF m_clrBack = 0;
  COLORREF m_clrBackHi = 0xFFFFFF;  // read from the skin, not drawn by the edit
  COLORREF m_clrBorder = 0xFFFFFF;
  COLORREF m_clrBackDisabled = 0;
  COLORREF m_clrBorderDisabled = 0;
  COLORREF m_clrTextDisabled = 0;
  uint8_t m_numeric = 0;
  uint32_t m_min = 0;
  uint32_t m_max = 0xFFFFFFFF;
  // Set by an owner whose Enter and Esc answer the dialog: the digit filter then
  // lets those two keys through to it instead of eating them.
  uint8_t m_passesEnterAndEsc = 0;
  int m_borderWidth = 1;  // read from the skin, not drawn by the edit
  CBrush m_brush;
  // The disabled field's background: without it a disabled edit would show its
  // enabled background everywhere but behind its text.
  CBrush m_brushDisabled;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  // A paste while digits only: the clipboard's text must be digits, and the text
  // it makes must lie within the bounds.
  bool PasteAllowed() const;
  LRESULT OnCtlColor(HDC dc);
};
