// What the skinned controls share: the default font and text colour, the
// translation and text rules of shown texts, hover tracked by mouse capture,
// activating the owner, drawing text safely, and the one-tool tooltip of a whole
// control.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "platform/Controls.h"
#include "platform/Gdi.h"

namespace gui {

// The font a control draws with when the skin gives none: "Arial", height 14,
// weight 700, pitch and family 0x20; made for one paint.
CFont MakeDefaultControlFont();
// A text colour of 0 means the default 0xFEFEFE.
inline COLORREF ControlTextColour(COLORREF colour) { return colour ? colour : RGB(0xFE, 0xFE, 0xFE); }
// The text through the language in force (unchanged when it does not resolve;
// `translated` tells which); `haveTable` false when no language is in force.
std::wstring TranslateText(const std::wstring& text, bool* translated = nullptr, bool* haveTable = nullptr);
// 1 upper case, 2 lower case, anything else unchanged.
std::wstring ApplyCaseMode(std::wstring text, int caseMode);
// The first two-character marker "\n" (backslash, n) becomes CR LF.
std::wstring FirstLineBreak(std::wstring text);
// Every marker "\n" becomes one space (tooltips show one line).
std::wstring MarkersToSpaces(std::wstring text);
// Hover tracked by mouse capture, for WM_MOUSEMOVE after the default handling.
// The control takes the capture when the pointer comes onto it, so that it hears
// the pointer leave, and gives it back once the pointer is over another window
// (keeping it while the left button is held, so a press it began ends with it).
// No hover starts with the left button held, while no window of the program is
// active, or for a control without owner. `setHover(true)` runs just before the
// capture is taken; `setHover(false)`, only while `hovered`, just before it is
// given back.
void TrackHoverByCapture(CWnd& control, UINT flags, POINT client, bool hovered,
                         const std::function<void(bool)>& setHover);
// WM_CAPTURECHANGED: whether the hover ends. It does when the capture went to
// another window (never taken back); Wine also reports a window re-taking its own
// capture, which loses nothing.
inline bool HoverEndsWithCapture(HWND control, HWND newCapture, bool hovered) {
  return hovered && newCapture != control;
}
// Makes the owner's top-level window the active one when it is not (a child
// window cannot be the active window itself).
void ActivateOwnerOf(HWND owner);
// The tooltip of a whole control: one tool (id 1) over its client area. The
// tooltip window is made when the first mouse message for the control passes
// Relay with a text set: a tooltip is a top-level window, costly to make, and a
// page of a hundred keys would otherwise make a hundred of them before it shows.
class WholeWindowTip {
 public:
  WholeWindowTip() = default;
  WholeWindowTip(const WholeWindowTip&) = delete;
  WholeWindowTip& operator=(const WholeWindowTip&) = delete;

  // The text to show: translated by the language in force (empty without one)
  // with every "\n" marker as a space, or exactly as given when `translate` is
  // false. A null text changes nothing. A tooltip already made shows it at once.
  void SetText(CWnd& window, const wchar_t* text, bool translate);
  // Before the control's own handling of a message from the loop: the first mouse
  // message makes the tooltip (when a text is set), and the tooltip sees every
  // mouse message.
  void Relay(CWnd& window, MSG* msg);
  // What the tooltip shows; empty when no text was set.
  const std::wstring& Text() const { return m_text; }
  bool HasText() const { return m_hasText; }
  // The tooltip control; no window until the first mouse message after a text was set.
  const CToolTipCtrl& Control() const { return m_control; }
  void Destroy() { m_control.DestroyWindow(); }

 private:
  void Make(CWnd& window);

  CToolTipCtrl m_control;
  std::wstring m_text;
  bool m_hasText = false;
};
// WM_PAINT (between BeginPaint and EndPaint) and WM_PRINTCLIENT (into the DC the
// message brings) both draw with `paint`, so a printed control looks as it does on
// the screen. True, with the result set, when the message was one of the two.
template <typename Paint>
bool HandlePaintMessage(HWND window, UINT msg, WPARAM wParam, LRESULT& result, Paint&& paint) {
  if (msg == WM_PAINT) {
    CPaintDC dc(window);
    paint(static_cast<HDC>(dc));
  } else if (msg == WM_PRINTCLIENT) {
    paint(reinterpret_cast<HDC>(wParam));
  } else {
    return false;
  }
  result = 0;
  return true;
}
// DrawTextW of a copy of the text with room for an ellipsis, so a format with
// DT_MODIFYSTRING never writes into the caller's string.
int DrawControlText(HDC dc, const std::wstring& text, RECT* rect, UINT format);

}  // namespace gui
