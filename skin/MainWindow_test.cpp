// Starts the configurator from the staged installation folder and checks, on a
// picture of the screen, that its main window shows the skin's background inside
// the mask's shape and leaves the screen alone outside it.
#include <windows.h>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Gdi.h"
#include "platform/Handles.h"
#include "platform/testing/WinePath.h"

namespace {

const std::wstring kApp = DosPath(OVRIX_SKIN_APP_DIR) + L"\\";

struct FindArgs {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindMainWindow(HWND hwnd, LPARAM lp) {
  auto* args = reinterpret_cast<FindArgs*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  if (pid == args->pid && std::wstring(name) == L"SINGLE_INSTANCE_APP_MORVEL") {
    args->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// The pixels (0x00RRGGBB, top row first) of a bitmap, or of the screen when null.
std::vector<uint32_t> Pixels(HBITMAP bitmap, int width, int height) {
  CClientDC screen(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, dib);
  if (bitmap) {
    HDC source = CreateCompatibleDC(screen);
    HGDIOBJ oldSource = SelectObject(source, bitmap);
    BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    SelectObject(source, oldSource);
    DeleteDC(source);
  } else {
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  }
  GdiFlush();
  std::vector<uint32_t> pixels(static_cast<const uint32_t*>(bits), static_cast<const uint32_t*>(bits) + width * height);
  for (uint32_t& p : pixels) p &= 0xFFFFFF;
  SelectObject(memory, old);
  DeleteObject(dib);
  DeleteDC(memory);
  return pixels;
}

// The rectangles of the windows drawn over the background at start: the main
// page's and the assign-keys page's controls, and the keyboard of the layout page.
std::vector<RECT> ControlRects() {
  std::vector<RECT> rects;
  auto add = [&rects](const pugi::xml_node& r) {
    const int left = r.attribute("left").as_int(), top = r.attribute("top").as_int();
    rects.push_back(RECT{left, top, left + r.attribute("right").as_int(), top + r.attribute("bottom").as_int()});
  };
  std::vector<std::wstring> files = {L"MainPage.xml", L"AssignKeys.xml"};
  pugi::xml_document layouts;
  layouts.load_file((kApp + L"xml\\KeyboardLayout.xml").c_str());
  for (pugi::xml_node layout : layouts.child("ITEMLIST").child("KBLAYOUTLIST").children("KBLAYOUT"))
    if (std::string(layout.attribute("name").value()) == "KBLAYOUT_ENGLISH") {
      const std::string page = layout.attribute("kbditems").value();
      files.push_back(std::wstring(page.begin(), page.end()));
    }
  for (const std::wstring& file : files) {
    pugi::xml_document document;
    if (!document.load_file((kApp + L"xml\\" + file).c_str())) continue;
    for (pugi::xpath_node found : document.select_nodes("//*[self::BUTTON or self::TEXTITEM or self::BITMAPWINDOW or "
                                                        "self::BITMAPITEM or self::EDITCTRL or self::LISTCTRL]/RECT"))
      add(found.node());
    for (pugi::xpath_node found : document.select_nodes("//COMBO/CBOX/RECT")) add(found.node());
  }
  return rects;
}

HBITMAP LoadSkinImage(const wchar_t* name) {
  return static_cast<HBITMAP>(
      LoadImageW(nullptr, (kApp + L"skins\\" + name).c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
}

TEST(MainWindow, ShowsTheBackgroundInsideTheMaskAndNothingOutside) {
  HBITMAP background = LoadSkinImage(L"MainPage_Background.bmp");
  HBITMAP mask = LoadSkinImage(L"MainPage_Mask.bmp");
  ASSERT_NE(background, nullptr);
  ASSERT_NE(mask, nullptr);
  BITMAP size{};
  GetObjectW(background, sizeof(size), &size);
  const int width = size.bmWidth, height = size.bmHeight;
  const std::vector<uint32_t> expected = Pixels(background, width, height);
  const std::vector<uint32_t> shape = Pixels(mask, width, height);

  std::wstring cmd = L"\"" + kApp + L"KestraneOvrixConfig.exe\"";
  // NUL as the standard handles: a process the configurator starts must not keep
  // this test's output open.
  SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
  platform::KernelHandle nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                                         OPEN_EXISTING, 0, nullptr));
  ASSERT_NE(nul.Get(), nullptr);
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = si.hStdOutput = si.hStdError = nul.Get();
  PROCESS_INFORMATION pi{};
  const BOOL started = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, kApp.c_str(), &si, &pi);
  nul.Close();
  const platform::ProcessHandles process(pi);
  ASSERT_TRUE(started);
  FindArgs args{pi.dwProcessId, nullptr};
  for (int i = 0; i < 200 && !args.found; ++i) {
    EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&args));
    if (!args.found) Sleep(50);
  }
  ASSERT_NE(args.found, nullptr);

  // The window is placed at the origin with the background's size; wait until it is drawn.
  RECT rect{};
  std::vector<uint32_t> screen;
  const size_t centre = static_cast<size_t>(height / 2) * width + width / 2;
  for (int i = 0; i < 100; ++i) {
    GetWindowRect(args.found, &rect);
    screen = Pixels(nullptr, width, height);
    if (IsWindowVisible(args.found) && screen[centre] == expected[centre]) break;
    Sleep(50);
  }
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.top, 0);
  EXPECT_EQ(rect.right, width);
  EXPECT_EQ(rect.bottom, height);

  // Inside the shape the screen shows the background wherever no control is
  // drawn; where the mask is white it does not (the background's own pixels
  // there are not the desktop's).
  const std::vector<RECT> controls = ControlRects();
  std::vector<bool> covered(screen.size(), false);
  for (const RECT& r : controls)
    for (int y = std::max(0L, r.top); y < std::min<long>(height, r.bottom); ++y)
      for (int x = std::max(0L, r.left); x < std::min<long>(width, r.right); ++x) covered[static_cast<size_t>(y) * width + x] = true;
  int inside = 0, insideWrong = 0, outside = 0, outsideWrong = 0;
  for (size_t i = 0; i < screen.size(); ++i) {
    if (covered[i]) continue;
    if (shape[i] == 0xFFFFFF) {
      ++outside;
      if (screen[i] == expected[i]) ++outsideWrong;
    } else {
      ++inside;
      if (screen[i] != expected[i]) ++insideWrong;
    }
  }
  EXPECT_GT(outside, 0) << "the mask has no transparent corners";
  EXPECT_EQ(outsideWrong, 0) << "pixels outside the shape show the background";
  EXPECT_EQ(insideWrong, 0) << "pixels inside the shape differ from the background";

  PostMessageW(args.found, WM_CLOSE, 0, 0);
  const DWORD wait = WaitForSingleObject(pi.hProcess, 20000);
  EXPECT_EQ(wait, WAIT_OBJECT_0);
  if (wait != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 99);
  DWORD code = 99;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
  DeleteObject(background);
  DeleteObject(mask);
}

}  // namespace
