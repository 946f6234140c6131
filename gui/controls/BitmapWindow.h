// The skinned display pane: a child window that paints a state image, can show
// a magnified crop of the keyboard picture around one key, and a line that
// describes a key's assignment with an icon for the assignment's kind.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "gui/base/GUIItem.h"
#include "gui/controls/ControlHelpers.h"
#include "gui/controls/KeyboardKeyItem.h"
#include "platform/Controls.h"
#include "platform/Gdi.h"

class CBitmapWindow : public CWnd, public CGUIItem {
 public:
  // Height of the assignment band at the pane's bottom; the picture area ends
  // one pixel above it.
  static constexpr int kBandHeight = 37;

  CBitmapWindow();
  ~CBitmapWindow() override;

  // The size image fixes m_rect; each given image becomes its piece of the
  // client's size from (0, 0); a mask with a region gives the window its shape.
  void SetBitmaps(HBITMAP size, HBITMAP normal, HBITMAP over, HBITMAP down, HBITMAP mask);
  // Ignored while locked; otherwise translated (empty without a language),
  // case-converted by m_caseMode and repainted.
  void SetText(const std::wstring& text);
  void SetTooltipText(const wchar_t* text);
  void SetTooltipText(const std::wstring& text) { SetTooltipText(text.c_str()); }

  // The icon file of an assignment kind.
  static const wchar_t* AssignmentIconName(int kind);

  // Commands of controls on the pane go on to the pane's parent.
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  BOOL PreTranslateMessage(MSG* msg) override;

  CBitmap m_bmpSize;  // not painted
  CBitmap m_bmpNormal;
  CBitmap m_bmpOver;
  CBitmap m_bmpDown;
  // The picture record of an on-screen key, owned by that key; set by the owner.
  const KeyPictureInfo* m_keyPicture = nullptr;
  std::wstring m_text;
  uint8_t m_caseMode = 0;
  UINT m_drawTextFormat = 0;
  // Borrowed from the skin's font item.
  const CFont* m_font = nullptr;
  COLORREF m_textColour = 0;
  uint8_t m_locked = 0;
  uint8_t m_showAssignment = 0;
  RECT m_rect{};
  gui::WholeWindowTip m_toolTip;
  int m_assignmentKind = 0;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void Paint(HDC target);
  void DrawKeyPicture(HDC surface, const RECT& area) const;
  void DrawAssignment(HDC surface) const;
};
