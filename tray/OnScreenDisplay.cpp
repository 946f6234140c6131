#include "tray/OnScreenDisplay.h"

#include <objbase.h>

#include <algorithm>
#include <utility>

namespace tray {
namespace {

constexpr wchar_t kTextClass[] = L"csl_osd";
constexpr wchar_t kSliderClass[] = L"csl_osdslider";
// Topmost, click-through, tool window, layered, never activated.
constexpr DWORD kOsdExStyle = WS_EX_TOPMOST | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_LAYERED | WS_EX_NOACTIVATE;
static_assert(kOsdExStyle == 0x080800A8);
constexpr int kBarAreaPerBar = 12;
constexpr int kColumnWidth = 57;
constexpr int kSecondColumnLeft = 62;
constexpr int kSliderWidth = 119;
constexpr BYTE kSliderOpacity = 200;

// The class background: one brush for the process, as long as the classes live.
HBRUSH ClassBrush() {
  static HBRUSH brush = ::CreateSolidBrush(kOsdKeyColour);
  return brush;
}

RECT PrimaryMonitor() {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  HMONITOR monitor = ::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  if (!monitor || !::GetMonitorInfoW(monitor, &info))
    return RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  return info.rcMonitor;
}

OnScreenDisplay* DisplayOf(HWND hwnd, UINT msg, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* display = static_cast<OnScreenDisplay*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(display));
    return display;
  }
  return reinterpret_cast<OnScreenDisplay*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

void SetFace(wchar_t (&face)[LF_FACESIZE], const wchar_t* name) {
  const std::wstring text(name);
  face[text.copy(face, LF_FACESIZE - 1)] = L'\0';
}

std::wstring Bounded(const std::wstring& text, size_t maximum) {
  return text.size() > maximum ? text.substr(0, maximum) : text;
}

}  // namespace

OnScreenDisplay::OnScreenDisplay(HINSTANCE instance) : m_instance(instance) {}

OnScreenDisplay::~OnScreenDisplay() {
  DestroyWindows();
  m_com.Uninitialize();
}

void OnScreenDisplay::DestroyWindows() {
  // Each window's end frees its brushes and fonts (WM_DESTROY).
  if (m_sliderWindow) ::DestroyWindow(std::exchange(m_sliderWindow, nullptr));
  if (m_textWindow) ::DestroyWindow(std::exchange(m_textWindow, nullptr));
}

bool OnScreenDisplay::CreateOsdWindow(const wchar_t* className, WNDPROC proc, HWND& window) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = proc;
  wc.hInstance = m_instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = ClassBrush();
  wc.lpszClassName = className;
  // A class this process registered before (an earlier display) serves as well.
  if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  window = ::CreateWindowExW(kOsdExStyle, className, nullptr, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, m_instance,
                             this);
  if (!window) return false;
  ::ShowWindow(window, SW_HIDE);
  return true;
}

HRESULT OnScreenDisplay::OsdInit() {
  if (FAILED(m_com.Initialize(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) return E_FAIL;
  const bool text = CreateOsdWindow(kTextClass, &OnScreenDisplay::TextProc, m_textWindow);
  const bool slider = text && CreateOsdWindow(kSliderClass, &OnScreenDisplay::SliderProc, m_sliderWindow);
  if (!text || !slider) {
    DestroyWindows();
    return E_FAIL;
  }
  ComputeScale(m_textWindow);
  return S_OK;
}

void OnScreenDisplay::ComputeScale(HWND window) {
  CClientDC dc(window);
  if (dc.GetSafeHdc()) m_scale = static_cast<float>(::GetDeviceCaps(dc, LOGPIXELSX)) / 72.0f;
}

void OnScreenDisplay::ShowText(const std::wstring& text) {
  if (!m_textWindow) return;
  m_text = Bounded(text, kOsdMaxText);
  ::SetWindowTextW(m_textWindow, m_text.c_str());
  ::PostMessageW(m_textWindow, OsdShowMessage, 0, 0);
}

void OnScreenDisplay::ShowDpiOsd(int bars, const std::wstring& value) {
  if (!m_sliderWindow || value.size() > kOsdMaxValueText) return;
  m_leftBars = m_rightBars = std::clamp(bars, 0, std::max(m_barMaximum, 0));
  m_leftText = m_rightText = value;
  m_sliderMode = 1;
  ::PostMessageW(m_sliderWindow, OsdShowMessage, 0, 0);
}

void OnScreenDisplay::ShowDpiOsdXY(int leftBars, const std::wstring& leftValue, int rightBars,
                                   const std::wstring& rightValue) {
  if (!m_sliderWindow || leftValue.size() > kOsdMaxValueText || rightValue.size() > kOsdMaxValueText) return;
  m_leftBars = std::clamp(leftBars, 0, std::max(m_barMaximum, 0));
  m_rightBars = std::clamp(rightBars, 0, std::max(m_barMaximum, 0));
  m_leftText = leftValue;
  m_rightText = rightValue;
  m_sliderMode = 2;
  ::PostMessageW(m_sliderWindow, OsdShowMessage, 0, 0);
}

void OnScreenDisplay::PlaceTextWindow(HWND hwnd) const {
  const RECT monitor = PrimaryMonitor();
  const int width = monitor.right - monitor.left - 10;
  const int top = monitor.bottom - m_textHeight - 50;
  ::MoveWindow(hwnd, monitor.left, top, width, m_textHeight, FALSE);
}

void OnScreenDisplay::PlaceSliderWindow(HWND hwnd) const {
  const RECT monitor = PrimaryMonitor();
  const int left = monitor.right - kSliderWidth - 10;
  const int top = monitor.bottom - static_cast<int>(m_scale * 20) - m_sliderHeight - 60;
  ::MoveWindow(hwnd, left, top, kSliderWidth, m_sliderHeight, FALSE);
}

void OnScreenDisplay::Shown(HWND hwnd, UINT_PTR& timer) {
  ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  ::InvalidateRect(hwnd, nullptr, FALSE);
  // A new request within the period starts it again.
  timer = ::SetTimer(hwnd, OsdHideTimer, OsdShowMs, nullptr);
}

void OnScreenDisplay::Hide(HWND hwnd, UINT_PTR& timer) {
  ::InvalidateRect(hwnd, nullptr, FALSE);
  ::UpdateWindow(hwnd);
  ::ShowWindow(hwnd, SW_HIDE);
  if (timer) ::KillTimer(hwnd, timer);
  timer = 0;
}

LRESULT CALLBACK OnScreenDisplay::TextProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  OnScreenDisplay* display = DisplayOf(hwnd, msg, lp);
  return display ? display->OnTextMessage(hwnd, msg, wp, lp) : ::DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK OnScreenDisplay::SliderProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  OnScreenDisplay* display = DisplayOf(hwnd, msg, lp);
  return display ? display->OnSliderMessage(hwnd, msg, wp, lp) : ::DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT OnScreenDisplay::OnTextMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE: {
      ::SetLayeredWindowAttributes(hwnd, kOsdKeyColour, 0, LWA_COLORKEY);
      m_textKeyBrush.CreateSolidBrush(kOsdKeyColour);
      ComputeScale(hwnd);
      m_textHeight = static_cast<int>(m_scale * 20);
      LOGFONTW font{};
      font.lfHeight = -m_textHeight;
      font.lfWeight = FW_BOLD;
      font.lfCharSet = DEFAULT_CHARSET;
      font.lfQuality = CLEARTYPE_QUALITY;
      SetFace(font.lfFaceName, L"Arial");
      m_textFont.CreateFontIndirect(font);
      PlaceTextWindow(hwnd);
      return 0;
    }
    case WM_PAINT: {
      CPaintDC dc(hwnd);
      PaintText(dc, hwnd);
      return 0;
    }
    case WM_PRINTCLIENT:
      PaintText(reinterpret_cast<HDC>(wp), hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_DISPLAYCHANGE:
      PlaceTextWindow(hwnd);
      break;
    case OsdShowMessage:
      Shown(hwnd, m_textTimer);
      return 0;
    case WM_TIMER:
      m_text.clear();
      ::SetWindowTextW(hwnd, L"");
      Hide(hwnd, m_textTimer);
      return 0;
    case WM_DESTROY:
      m_textKeyBrush.DeleteObject();
      m_textFont.DeleteObject();
      m_textTimer = 0;
      break;
    case WM_NCDESTROY:
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      if (hwnd == m_textWindow) m_textWindow = nullptr;
      break;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

void OnScreenDisplay::PaintText(HDC dc, HWND hwnd) const {
  RECT client{};
  ::GetClientRect(hwnd, &client);
  ::FillRect(dc, &client, m_textKeyBrush.IsNull() ? ClassBrush() : static_cast<HBRUSH>(m_textKeyBrush));
  if (m_text.empty()) return;
  platform::SelectGuard font(dc, m_textFont.GetSafeHandle());
  const int mode = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF colour = ::SetTextColor(dc, kOsdTextColour);
  ::DrawTextW(dc, m_text.c_str(), static_cast<int>(m_text.size()), &client,
              DT_SINGLELINE | DT_BOTTOM | DT_RIGHT | DT_NOPREFIX);
  ::SetTextColor(dc, colour);
  ::SetBkMode(dc, mode);
}

LRESULT OnScreenDisplay::OnSliderMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE: {
      ::SetLayeredWindowAttributes(hwnd, kOsdKeyColour, kSliderOpacity, LWA_COLORKEY | LWA_ALPHA);
      m_sliderKeyBrush.CreateSolidBrush(kOsdKeyColour);
      const int barArea = m_barMaximum * kBarAreaPerBar;
      m_valueHeight = static_cast<int>(m_scale * 10);
      LOGFONTW value{};
      value.lfHeight = m_valueHeight;
      value.lfWeight = FW_BOLD;
      value.lfCharSet = DEFAULT_CHARSET;
      value.lfQuality = CLEARTYPE_QUALITY;
      SetFace(value.lfFaceName, L"Courier New");
      m_valueFont.CreateFontIndirect(value);
      LOGFONTW label{};
      label.lfHeight = static_cast<int>(m_scale * -20);
      label.lfWeight = FW_BOLD;
      label.lfCharSet = DEFAULT_CHARSET;
      SetFace(label.lfFaceName, L"Tahoma");
      m_labelFont.CreateFontIndirect(label);
      m_sliderHeight = m_valueHeight + barArea + 12;
      m_leftRect = RECT{0, 0, kColumnWidth, m_sliderHeight};
      m_rightRect = RECT{kSecondColumnLeft, 0, kSliderWidth, m_sliderHeight};
      m_barBrush.CreateSolidBrush(kOsdBarColour);
      m_blackBrush.CreateSolidBrush(kOsdFrameInside);
      PlaceSliderWindow(hwnd);
      return 0;
    }
    case WM_PAINT: {
      CPaintDC dc(hwnd);
      PaintSlider(dc, hwnd);
      return 0;
    }
    case WM_PRINTCLIENT:
      PaintSlider(reinterpret_cast<HDC>(wp), hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_DISPLAYCHANGE:
      PlaceSliderWindow(hwnd);
      break;
    case OsdShowMessage:
      Shown(hwnd, m_sliderTimer);
      return 0;
    case WM_TIMER:
      m_sliderMode = 0;
      Hide(hwnd, m_sliderTimer);
      return 0;
    case WM_DESTROY:
      m_sliderKeyBrush.DeleteObject();
      m_barBrush.DeleteObject();
      m_blackBrush.DeleteObject();
      m_valueFont.DeleteObject();
      m_labelFont.DeleteObject();
      m_sliderTimer = 0;
      break;
    case WM_NCDESTROY:
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      if (hwnd == m_sliderWindow) m_sliderWindow = nullptr;
      break;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

void OnScreenDisplay::PaintSlider(HDC dc, HWND hwnd) const {
  RECT client{};
  ::GetClientRect(hwnd, &client);
  ::FillRect(dc, &client, m_sliderKeyBrush.IsNull() ? ClassBrush() : static_cast<HBRUSH>(m_sliderKeyBrush));
  if (m_sliderMode == 1) {
    DrawColumn(dc, m_rightBars, m_rightText, m_rightRect);
  } else if (m_sliderMode == 2) {
    DrawColumn(dc, m_leftBars, m_leftText, m_leftRect);
    DrawColumn(dc, m_rightBars, m_rightText, m_rightRect);
    platform::SelectGuard font(dc, m_labelFont.GetSafeHandle());
    const int mode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF colour = ::SetTextColor(dc, kOsdLabelColour);
    RECT left = m_leftRect, right = m_rightRect;
    ::DrawTextW(dc, L"X", 1, &left, DT_SINGLELINE | DT_BOTTOM | DT_CENTER);
    ::DrawTextW(dc, L"Y", 1, &right, DT_SINGLELINE | DT_BOTTOM | DT_CENTER);
    ::SetTextColor(dc, colour);
    ::SetBkMode(dc, mode);
  }
}

void OnScreenDisplay::DrawColumn(HDC dc, int bars, const std::wstring& text, const RECT& rect) const {
  ::FillRect(dc, &rect, m_barBrush);
  const RECT inside{rect.left + 2, rect.top + 2, rect.right - 2, rect.bottom - 2};
  ::FillRect(dc, &inside, m_blackBrush);
  const int barArea = m_barMaximum * kBarAreaPerBar;
  for (int k = 0; k < bars; ++k) {
    const int bottom = rect.top + 6 + m_valueHeight + barArea - kBarAreaPerBar * k;
    const RECT bar{rect.left + 6, bottom - 10, rect.left + 51, bottom};
    ::FillRect(dc, &bar, m_barBrush);
  }
  if (text.empty()) return;
  platform::SelectGuard font(dc, m_valueFont.GetSafeHandle());
  const int mode = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF colour = ::SetTextColor(dc, kOsdTextColour);
  RECT area{rect.left + 6, rect.top + 6, rect.left + 51, rect.top + 6 + m_valueHeight + barArea};
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, DT_SINGLELINE | DT_CENTER);
  ::SetTextColor(dc, colour);
  ::SetBkMode(dc, mode);
}

}  // namespace tray
