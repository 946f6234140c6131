// For tests that look at a skin page on the screen: a page window of one solid
// colour under the controls, and pictures of it taken from the screen.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/Window.h"

namespace gui::testing {

// A child window that shows one colour wherever no control covers it.
class PageWindow : public CWnd {
 public:
  explicit PageWindow(COLORREF colour) : m_colour(colour) {}

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  COLORREF m_colour;
};

// The window's client area as the screen shows it, one COLORREF per pixel, top row first.
struct ScreenPicture {
  int width = 0, height = 0;
  std::vector<COLORREF> pixels;
  COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  // Kept as a 24-bit BMP file for people to look at.
  bool Save(const std::wstring& path) const;
};
ScreenPicture CaptureClient(HWND window, int width, int height);
// Redraws `root` and everything in it and takes pictures of `window` until `shown`
// says the X server shows the drawing (at most about two seconds); the last one.
ScreenPicture CaptureWhenShown(HWND root, HWND window, int width, int height,
                               const std::function<bool(const ScreenPicture&)>& shown,
                               const std::function<void()>& pump);

}  // namespace gui::testing
