// Two further skinned buttons: the profile button, a wide owner-drawn button
// showing one row of four text columns over a state image (it can act as a check
// box), and the animated button, which plays a clip in a child animation control
// when it is double-clicked.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "gui/base/GUIItem.h"
#include "gui/controls/ControlHelpers.h"
#include "platform/Controls.h"
#include "platform/Gdi.h"

class CProfileBtn : public CButton, public CGUIItem {
 public:
  CProfileBtn();
  ~CProfileBtn() override;

  void PreSubclassWindow() override;
  BOOL PreTranslateMessage(MSG* msg) override;
  void DrawItem(DRAWITEMSTRUCT* dis) override;

  // Each state image becomes the piece (left, top)-(right, bottom) of its source
  // (a picture of the whole panel); a null source leaves that image as it was.
  void SetBitmaps(HBITMAP normal, HBITMAP over, HBITMAP down, HBITMAP disabled, int left, int top, int right,
                  int bottom);
  // The tooltip shows the text exactly as given (no translation).
  void SetTooltipText(const wchar_t* text);
  void SetTooltipText(const std::wstring& text) { SetTooltipText(text.c_str()); }

  gui::WholeWindowTip m_toolTip;
  int m_checked = 0;
  int m_isCheckBox = 0;
  int m_hover = 0;
  CBitmap m_bmpNormal;
  CBitmap m_bmpOver;
  CBitmap m_bmpDown;
  CBitmap m_bmpDisabled;
  // One profile entry, written by the owner; nothing but the image shows while
  // the first is empty.
  std::wstring m_columns[4];

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  const CBitmap& ChooseBitmap(UINT itemState) const;
  void OnMouseMove(UINT flags, int x, int y);
  void OnLButtonUp();
};

class CAVIButton : public CButton, public CGUIItem {
 public:
  CAVIButton();
  ~CAVIButton() override;

  void DrawItem(DRAWITEMSTRUCT* dis) override;
  void SetVideoFile(const std::wstring& file) { m_videoFile = file; }
  void SetSoundFile(const std::wstring& file) { m_soundFile = file; }

  // Created on the first double click.
  CAnimateCtrl m_animation;
  int32_t m_reserved = 0;
  // The clip, handed to the animation control as written.
  std::wstring m_videoFile;
  std::wstring m_soundFile;  // kept, never played
  // Shown while no clip plays; empty unless the owner sets it.
  CBitmap m_poster;
  uint8_t m_playing = 0;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void Play();
};
