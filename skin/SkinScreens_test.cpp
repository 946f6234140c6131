// Pictures of the shipped skin: every page of the configurator's main window
// and every popup, built by the program's loader in each shipped language, shown
// on the screen and saved in the build folder as "<page>-<language>.bmp" for
// people to look at. Each picture's texts must fit their rectangles.
#include <windows.h>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <functional>
#include <string>
#include <vector>

#include "gui/controls/BitmapBtn.h"
#include "gui/controls/BitmapItem.h"
#include "gui/panels/ListPanel.h"
#include "gui/testing/PopupSteps.h"
#include "gui/base/LangTable.h"
#include "gui/skin/SkinLoader.h"
#include "gui/base/SkinNameTables.h"
#include "gui/testing/TestBitmaps.h"
#include "platform/Gdi.h"
#include "platform/Strings.h"
#include "platform/Window.h"
#include "platform/testing/MessagePump.h"
#include "skin/ShippedSkinTexts.h"

namespace {

// A top-level window at the screen's origin that paints a panel's background
// under the items loaded into it, as the configurator's panels do.
class ScreenHost : public CWnd {
 public:
  HBITMAP background = nullptr;
  std::function<void()> onTimer;  // run once by the next WM_TIMER, also inside a menu's loop

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (msg == WM_TIMER) {
      ::KillTimer(m_hWnd, wParam);
      if (auto run = std::move(onTimer)) run();
      result = 0;
      return true;
    }
    if (msg == WM_ERASEBKGND) {
      result = 1;
      return true;
    }
    if (msg == WM_PAINT) {
      PAINTSTRUCT paint;
      HDC dc = ::BeginPaint(m_hWnd, &paint);
      if (background != nullptr) {
        HDC memory = ::CreateCompatibleDC(dc);
        const HGDIOBJ old = ::SelectObject(memory, background);
        BITMAP size{};
        ::GetObjectW(background, sizeof(size), &size);
        ::BitBlt(dc, 0, 0, size.bmWidth, size.bmHeight, memory, 0, 0, SRCCOPY);
        ::SelectObject(memory, old);
        ::DeleteDC(memory);
      }
      ::EndPaint(m_hWnd, &paint);
      result = 0;
      return true;
    }
    return CWnd::OnMessage(msg, wParam, lParam, result);
  }
};

using platform::testing::PumpPending;

// The screen's pixels (0x00RRGGBB) in the rectangle at the origin.
std::vector<uint32_t> ScreenPixels(int width, int height) {
  CClientDC screen(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP dib = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ old = ::SelectObject(memory, dib);
  ::BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  ::GdiFlush();
  std::vector<uint32_t> pixels(static_cast<const uint32_t*>(bits), static_cast<const uint32_t*>(bits) + width * height);
  ::SelectObject(memory, old);
  ::DeleteObject(dib);
  ::DeleteDC(memory);
  return pixels;
}

// A picture of the screen once two in a row agree (the X server has drawn it).
std::vector<uint32_t> SettledPicture(HWND window, int width, int height) {
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpPending();
  // The window's own paint may come after its children's (the server's expose
  // of a window just shown): the children are drawn again over it.
  for (HWND c = ::GetWindow(window, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
    ::RedrawWindow(c, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpPending();
  std::vector<uint32_t> shot = ScreenPixels(width, height);
  for (int i = 0; i < 20; ++i) {
    ::Sleep(150);
    PumpPending();
    std::vector<uint32_t> again = ScreenPixels(width, height);
    if (again == shot) break;
    shot = std::move(again);
  }
  return shot;
}

bool SavePicture(const std::wstring& file, const std::vector<uint32_t>& shot, int width, int height) {
  return gui::testing::WriteBmpFile(file, width, height, [&](int x, int y) {
    const uint32_t p = shot[static_cast<size_t>(y) * width + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  });
}

// Opens the menu at the host's client point and saves a picture of the host with
// the menu open; the menu is then cancelled.
void PictureMenu(ScreenHost& host, CListPanelItem& menu, POINT at, int width, int height, const std::wstring& file) {
  bool saved = false;
  host.onTimer = [&] {
    const HWND popup = gui::testing::TopPopup();
    if (popup != nullptr && popup != host.m_hWnd) {
      saved = SavePicture(file, SettledPicture(popup, width, height), width, height);
      ::PostMessageW(popup, WM_COMMAND, IDCANCEL, 0);
    }
  };
  ::SetTimer(host.m_hWnd, 1, 300, nullptr);
  menu.TrackPopup(&host, 0, at.x, at.y);
  EXPECT_TRUE(saved) << platform::WideToUtf8(file);
}

struct Screen {
  std::wstring name;
  std::vector<std::wstring> files;  // the first one's background is the window's
  const wchar_t* tab = nullptr;     // the page's tab, shown chosen
};

std::vector<Screen> Screens() {
  std::vector<Screen> screens = {
      {L"AssignKeys", {L"MainPage.xml", L"AssignKeys.xml", L"KeyboardLayout_English.xml"}, L"BUTTON_ASSIGNKEYS"},
      {L"ManageProfiles", {L"MainPage.xml", L"ManageProfiles.xml"}, L"BUTTON_MANAGEPROFILES"},
      {L"ManageMacros", {L"MainPage.xml", L"ManageMacros.xml"}, L"BUTTON_MANAGEMACROS"},
  };
  for (const std::wstring& file : skincheck::WindowFiles()) {
    pugi::xml_document document;
    document.load_file((skincheck::AppDir() + L"xml\\" + file).c_str());
    if (!document.child("GUIPANEL") || file == L"MainPage.xml") continue;
    screens.push_back({file.substr(0, file.size() - 4), {file}, nullptr});
  }
  return screens;
}

TEST(ShippedSkin, EveryPageAndPopupInEveryLanguageIsPicturedAndItsTextsFit) {
  ::SetCursorPos(1270, 1010);  // over no control: nothing shows its hover picture
  const auto& languages = skincheck::ShippedLanguages();
  ASSERT_EQ(languages.size(), 3u);
  const auto names = skincheck::ElementNames(skincheck::WindowFiles());
  const std::vector<Screen> screens = Screens();
  ASSERT_GT(screens.size(), 20u);
  for (const auto& language : languages) {
    ASSERT_NE(language.table, nullptr);
    CurrentLangTable = language.table;
    for (const Screen& screen : screens) {
      const std::string where = platform::WideToUtf8(screen.name);
      ScreenHost host;
      ASSERT_TRUE(host.CreateEx(0, CWnd::DefaultClassName(), L"", WS_POPUP, RECT{0, 0, 100, 100},
                                static_cast<HWND>(nullptr), 0));
      std::vector<GUIItemList> lists(screen.files.size());
      for (size_t i = 0; i < screen.files.size(); ++i) LoadSkinFile(lists[i], screen.files[i], host.m_hWnd);
      auto* background = static_cast<CPanelBitmap*>(FindItemById(lists[0], 0));
      ASSERT_NE(background, nullptr) << where;
      BITMAP size{};
      ::GetObjectW(background->GetSafeHandle(), sizeof(size), &size);
      host.background = static_cast<HBITMAP>(background->GetSafeHandle());
      if (screen.tab != nullptr)
        if (auto* tab = static_cast<CBitmapBtn*>(FindItemById(lists[0], FindSkinElementId(screen.tab)))) tab->SetCheck(1);
      // The macro list shown while a macro plays lies over the editable one.
      for (GUIItemList& list : lists)
        if (CGUIItem* readOnly = FindItemById(list, FindSkinElementId(L"MACRO_DISPLAY_READONLY"))) ShowItem(readOnly, 0);
      ::SetWindowPos(host.m_hWnd, HWND_TOP, 0, 0, size.bmWidth, size.bmHeight, SWP_SHOWWINDOW);
      ::SetForegroundWindow(host.m_hWnd);
      const std::vector<uint32_t> shot = SettledPicture(host.m_hWnd, size.bmWidth, size.bmHeight);
      const std::wstring file = screen.name + L"-" + language.name + L".bmp";
      EXPECT_TRUE(SavePicture(file, shot, size.bmWidth, size.bmHeight)) << platform::WideToUtf8(file);
      // The page's menus, each open over the page.
      for (GUIItemList& list : lists)
        for (CGUIItem* item : list)
          if (item->kind == GUIKIND_LISTPANEL) {
            const std::wstring menuFile = screen.name + L"-" + GetSkinElementName(item->id) + L"-" + language.name + L".bmp";
            PictureMenu(host, *static_cast<CListPanelItem*>(item), POINT{300, 220}, size.bmWidth, size.bmHeight, menuFile);
          }
      for (size_t i = 0; i < lists.size(); ++i)
        for (const std::string& problem : skincheck::TextsThatDoNotFit(
                 lists[i], where + " (" + platform::WideToUtf8(screen.files[i]) + ")",
                 platform::WideToUtf8(language.name), names))
          ADD_FAILURE() << problem << " (see " << platform::WideToUtf8(file) << ")";
      for (auto list = lists.rbegin(); list != lists.rend(); ++list) DestroyItemList(*list);
      host.DestroyWindow();
    }
  }
  CurrentLangTable = nullptr;
}

}  // namespace
