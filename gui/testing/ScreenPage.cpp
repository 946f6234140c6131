#include "gui/testing/ScreenPage.h"

#include "gui/testing/TestBitmaps.h"
#include "platform/Gdi.h"

namespace gui::testing {

bool PageWindow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg == WM_ERASEBKGND) {
    RECT client;
    GetClientRect(&client);
    CDC dc;
    dc.Attach(reinterpret_cast<HDC>(wParam));
    dc.FillSolidRect(client, m_colour);
    dc.Detach();
    result = 1;
    return true;
  }
  if (msg == WM_PAINT) {
    CPaintDC dc(m_hWnd);
    RECT client;
    GetClientRect(&client);
    dc.FillSolidRect(client, m_colour);
    result = 0;
    return true;
  }
  return CWnd::OnMessage(msg, wParam, lParam, result);
}

bool ScreenPicture::Save(const std::wstring& path) const {
  return gui::testing::WriteBmpFile(path, width, height, [this](int x, int y) { return At(x, y); });
}

ScreenPicture CaptureClient(HWND window, int width, int height) {
  ScreenPicture picture{width, height, std::vector<COLORREF>(static_cast<size_t>(width) * height)};
  POINT origin{0, 0};
  ::ClientToScreen(window, &origin);
  CClientDC screen(nullptr);
  CDC memory;
  memory.CreateCompatibleDC(screen);
  CBitmap bitmap;
  bitmap.CreateCompatibleBitmap(screen, width, height);
  {
    platform::SelectGuard select(memory, bitmap.GetSafeHandle());
    ::BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) picture.pixels[static_cast<size_t>(y) * width + x] = ::GetPixel(memory, x, y);
  }
  return picture;
}

ScreenPicture CaptureWhenShown(HWND root, HWND window, int width, int height,
                               const std::function<bool(const ScreenPicture&)>& shown,
                               const std::function<void()>& pump) {
  ScreenPicture picture;
  for (int i = 0; i < 40; ++i) {
    ::RedrawWindow(root, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    pump();
    ::GdiFlush();
    picture = CaptureClient(window, width, height);
    if (shown(picture)) break;
    ::Sleep(50);
  }
  return picture;
}

}  // namespace gui::testing
