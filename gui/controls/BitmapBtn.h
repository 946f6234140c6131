// The skinned push button and check box: an owner-drawn button whose face is
// one of four state images cut from a skin image, optionally shaped by a mask,
// with a caption, a tooltip, hover highlighting by mouse capture and a blink
// mode that its owner switches on and off.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "gui/base/GUIItem.h"
#include "gui/controls/ControlHelpers.h"
#include "platform/Controls.h"
#include "platform/Gdi.h"

class CBitmapBtn : public CButton, public CGUIItem {
 public:
  // The timer that drives the blink phases.
  static constexpr UINT_PTR kBlinkTimer = 16;

  CBitmapBtn();
  ~CBitmapBtn() override;

  BOOL Create(const wchar_t* caption, DWORD style, const RECT& rect, CWnd* parent, UINT id) override;
  void PreSubclassWindow() override;
  BOOL PreTranslateMessage(MSG* msg) override;
  void DrawItem(DRAWITEMSTRUCT* dis) override;

  // Each state image becomes a copy of the rectangle (left, top)-(right, bottom)
  // of its source; a null source leaves that image as it was.
  void SetBitmaps(HBITMAP normal, HBITMAP over, HBITMAP down, HBITMAP disabled, int left, int top, int right,
                  int bottom);
  // As SetBitmaps; a mask source also gives the mask image (the same piece) and,
  // unless the window has a region already, the window's shape from that piece.
  void SetBitmapsWithMask(HBITMAP normal, HBITMAP over, HBITMAP down, HBITMAP disabled, HBITMAP mask, int left,
                          int top, int right, int bottom);
  // The caption, translated by the language in force and case-converted (1 upper,
  // 2 lower); empty when no language is in force. Does not repaint.
  void SetCaption(const std::wstring& text, int caseMode);
  // Nothing for a null text; otherwise the translated text (markers "\n" become
  // spaces) is shown as the tooltip of the whole button.
  void SetTooltipText(const wchar_t* text);
  void SetTooltipText(const std::wstring& text) { SetTooltipText(text.c_str()); }
  // The checked state the face shows (repaints only on a change).
  void SetCheck(int state);
  int GetCheck() const { return m_checked; }
  void StartBlink(int interval);
  void StopBlink();

  // The window the button reports to besides its parent: its owner, else its parent.
  HWND OwnerWindow() const { return GetOwnerHwnd(); }

  gui::WholeWindowTip m_toolTip;
  int m_checked = 0;
  int m_isCheckBox = 0;
  int m_hover = 0;
  CBitmap m_bmpNormal;
  CBitmap m_bmpOver;
  CBitmap m_bmpDown;
  CBitmap m_bmpDisabled;
  CBitmap m_bmpMask;
  // 0 stands for the default caption colour 0xFEFEFE.
  COLORREF m_clrNormal = 0;
  COLORREF m_clrOver = 0;
  COLORREF m_clrDown = 0;
  COLORREF m_clrDisabled = 0;
  // 1: a click on a check box flips it; 0: the owner alone sets the checked state.
  uint8_t m_toggleMode = 1;
  std::wstring m_caption;
  // Borrowed from the skin's font item, which outlives the button.
  const CFont* m_font = nullptr;
  // The region handed to the window, else null. The window owns it (and may have
  // freed the handle): it only tells that the button has its shape.
  HRGN m_hRgn = nullptr;
  UINT m_drawTextFormat = 0;
  int m_blinkInterval = 0;
  const CBitmap* m_blinkBitmap = nullptr;
  // Set while a linked text item is hovered: the button is drawn hovered.
  uint8_t m_highlight = 0;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  // The state image DrawItem shows for the record's state.
  const CBitmap& ChooseBitmap(UINT itemState) const;
  // The caption colour for the record's state (0 becomes 0xFEFEFE).
  COLORREF ChooseTextColour(UINT itemState) const;
  // Copies `face` (may be empty) over `surface`'s content and draws the caption on
  // it; then `surface` goes to the DC of the record. Shared with the keyboard key.
  void DrawCaptionAndCopy(const DRAWITEMSTRUCT* dis, HDC surface, COLORREF textColour) const;

  void OnMouseMove(UINT flags, int x, int y);
  void OnLButtonDown();
  void OnCaptureChanged(HWND newCapture);
};
