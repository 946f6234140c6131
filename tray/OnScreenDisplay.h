// The on-screen display: short notices drawn over everything on the primary
// monitor in two borderless, click-through, topmost layered windows whose green
// background the colour key makes transparent. The text window ("csl_osd")
// shows a profile's name; the slider window ("csl_osdslider") draws one or two
// columns of bars with a value. Each hides itself 2000 ms after it was last
// asked to show.
//
// The display object owns both windows and their brushes and fonts: deleting it
// destroys them, so a second display in one process works and nothing is left.
#pragma once
#include <windows.h>

#include <string>

#include "platform/Com.h"
#include "platform/Gdi.h"

inline constexpr UINT OsdShowMessage = 0x40C;
inline constexpr UINT_PTR OsdHideTimer = 101;
inline constexpr UINT OsdShowMs = 2000;

namespace tray {

inline constexpr COLORREF kOsdKeyColour = 0x00FF00;
inline constexpr COLORREF kOsdTextColour = 0x00FA00;
inline constexpr COLORREF kOsdBarColour = 0x00C800;
inline constexpr COLORREF kOsdLabelColour = 0x003200;
inline constexpr COLORREF kOsdFrameInside = 0x000000;
// The display text: 254 characters and the terminator.
inline constexpr size_t kOsdMaxText = 254;
// The slider's value texts: 4 characters and the terminator.
inline constexpr size_t kOsdMaxValueText = 4;

class OnScreenDisplay {
 public:
  explicit OnScreenDisplay(HINSTANCE instance);
  ~OnScreenDisplay();
  OnScreenDisplay(const OnScreenDisplay&) = delete;
  OnScreenDisplay& operator=(const OnScreenDisplay&) = delete;

  // COM for the thread, both window classes and windows (hidden), then the
  // scale from the text window's DC. S_OK only when both windows exist.
  HRESULT OsdInit();

  // Copies the text (cut to 254 characters) and posts the show request to the
  // text window. The window's own text follows it (never drawn: no caption).
  void ShowText(const std::wstring& text);
  // One column: `bars` (capped at the bar maximum) under `value`. Nothing when
  // the value text is longer than 4 characters.
  void ShowDpiOsd(int bars, const std::wstring& value);
  // Two columns, X and Y. Nothing when either text is longer than 4 characters.
  void ShowDpiOsdXY(int leftBars, const std::wstring& leftValue, int rightBars, const std::wstring& rightValue);

  HWND TextWindow() const { return m_textWindow; }
  HWND SliderWindow() const { return m_sliderWindow; }
  const std::wstring& Text() const { return m_text; }
  float Scale() const { return m_scale; }
  int TextHeight() const { return m_textHeight; }
  int SliderMode() const { return m_sliderMode; }
  int BarMaximum() const { return m_barMaximum; }
  void SetBarMaximum(int maximum) { m_barMaximum = maximum; }
  int LeftBars() const { return m_leftBars; }
  int RightBars() const { return m_rightBars; }

 private:
  static LRESULT CALLBACK TextProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK SliderProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT OnTextMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT OnSliderMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  bool CreateOsdWindow(const wchar_t* className, WNDPROC proc, HWND& window);
  void DestroyWindows();
  void ComputeScale(HWND window);
  void PlaceTextWindow(HWND hwnd) const;
  void PlaceSliderWindow(HWND hwnd) const;
  void PaintText(HDC dc, HWND hwnd) const;
  void PaintSlider(HDC dc, HWND hwnd) const;
  void DrawColumn(HDC dc, int bars, const std::wstring& text, const RECT& rect) const;
  void Shown(HWND hwnd, UINT_PTR& timer);
  void Hide(HWND hwnd, UINT_PTR& timer);

  HINSTANCE m_instance;
  platform::ComApartment m_com;
  std::wstring m_text;
  HWND m_textWindow = nullptr;
  HWND m_sliderWindow = nullptr;
  float m_scale = 1.0f;
  int m_textHeight = 0;
  int m_barMaximum = 20;
  int m_sliderMode = 0;
  int m_leftBars = 0;
  int m_rightBars = 0;
  std::wstring m_leftText;
  std::wstring m_rightText;
  UINT_PTR m_textTimer = 0;
  UINT_PTR m_sliderTimer = 0;

  // Text window.
  CBrush m_textKeyBrush;
  CFont m_textFont;
  // Slider window.
  CBrush m_sliderKeyBrush;
  CBrush m_barBrush;
  CBrush m_blackBrush;
  CFont m_valueFont;
  CFont m_labelFont;
  int m_valueHeight = 0;
  int m_sliderHeight = 0;
  RECT m_leftRect{};
  RECT m_rightRect{};
};

}  // namespace tray
