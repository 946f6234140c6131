// Starts the configurator from the staged installation folder and checks, on a
// picture of the screen, that its main window shows the skin's background inside
// the mask's shape and leaves the screen alone outside it.
#include <windows.h>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Handles.h"
#include "platform/testing/OtherPrograms.h"
#include "platform/testing/WinePath.h"

namespace {

const std::wstring kApp = DosPath(OVRIX_SKIN_APP_DIR) + L"\\";

// The pixels (0x00RRGGBB, top row first) of a bitmap, or of the screen when null.
std::vector<uint32_t> Pixels(HBITMAP bitmap, int width, int height) {
  return platform::testing::PixelsOf(bitmap, RECT{0, 0, width, height});
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

  PROCESS_INFORMATION pi{};
  const bool started = platform::testing::StartProgram(L"\"" + kApp + L"KestraneOvrixConfig.exe\"", kApp.c_str(), pi);
  const platform::ProcessHandles process(pi);
  ASSERT_TRUE(started);
  HWND found = nullptr;
  for (int i = 0; i < 200 && !found; ++i) {
    found = platform::testing::TopWindowOf(pi.dwProcessId, L"SINGLE_INSTANCE_APP_MORVEL");
    if (!found) Sleep(50);
  }
  ASSERT_NE(found, nullptr);

  // The window is placed at the origin with the background's size; wait until it is drawn.
  RECT rect{};
  std::vector<uint32_t> screen;
  const size_t centre = static_cast<size_t>(height / 2) * width + width / 2;
  for (int i = 0; i < 100; ++i) {
    GetWindowRect(found, &rect);
    screen = Pixels(nullptr, width, height);
    if (IsWindowVisible(found) && screen[centre] == expected[centre]) break;
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

  PostMessageW(found, WM_CLOSE, 0, 0);
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
