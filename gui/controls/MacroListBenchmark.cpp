// Prints how long choosing a macro of 10,000 and of 100,000 events takes until
// the macro event list is drawn, and the longest the window went without
// answering meanwhile. The window is the shipped skin's main panel with its
// macros page ("MainPage.xml", "ManageMacros.xml"), and the macro is chosen as
// the macros page does it: the list's LoadEvents inside a message of the
// window's loop. Another thread sends WM_NULL to the window every 100 ms (with a
// time-out) and notes how long each took to be answered. Figures only: no limits.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "device/Macro.h"
#include "gui/base/GUIItem.h"
#include "gui/controls/MacroDisplayItem.h"
#include "gui/panels/GUIPanel.h"
#include "gui/base/LangTable.h"
#include "gui/base/SkinGlobals.h"
#include "gui/skin/SkinLoader.h"
#include "gui/skin/SkinResourceCache.h"
#include "platform/Dialog.h"
#include "platform/testing/WinePath.h"

namespace {

constexpr UINT kChooseMessage = WM_APP + 1;
constexpr int32_t kDefaultLanguageId = 349;  // LANGUAGE_DEFAULT
constexpr UINT kPanelTemplate = 129;

double Now() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// A key pressed and released, with the recorded delays between: what a typed
// macro holds, every fourth step a mouse click instead.
MacroEventList TypedMacro(size_t length) {
  MacroEventList events;
  events.reserve(length);
  for (size_t i = 0; events.size() < length; ++i) {
    const int vk = 'A' + static_cast<int>(i % 26);
    const int scan = static_cast<int>(::MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC));
    const bool mouse = i % 4 == 3;
    events.push_back(mouse ? MacroEvent{MACROEVENT_MOUSE, 1, kMacroStatePressed}
                           : MacroEvent{MACROEVENT_KEY, scan | (vk << 16), kMacroStatePressed});
    events.push_back(MacroEvent{MACROEVENT_DELAY, 50, 50});
    events.push_back(mouse ? MacroEvent{MACROEVENT_MOUSE, 1, kMacroStateReleased}
                           : MacroEvent{MACROEVENT_KEY, scan | (vk << 16), kMacroStateReleased});
    events.push_back(MacroEvent{MACROEVENT_DELAY, 120, 120});
  }
  events.resize(length);
  return events;
}

// The main panel with the macros page's items on it, as the main window holds them.
class MacroPage : public CGUIPanel {
 public:
  MacroPage() : CGUIPanel(L"MainPage.xml", kPanelTemplate, nullptr) {}
  ~MacroPage() override { FreeItemList(m_page); }
  void BindItems() override {}
  BOOL OnInitDialog() override {
    LoadSkinFile(m_page, L"ManageMacros.xml", m_hWnd);
    for (CGUIItem* item : m_page)
      if (item->kind == GUIKIND_MACRODISPLAY) m_display = static_cast<CMacroDisplayItem*>(item);
    return TRUE;
  }

  CMacroDisplayItem* m_display = nullptr;
  const MacroEventList* m_toChoose = nullptr;
  double m_chosenAt = 0, m_loadedAt = 0, m_drawnAt = 0;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (msg != kChooseMessage) return CGUIPanel::OnMessage(msg, wParam, lParam, result);
    m_chosenAt = Now();
    m_display->LoadEvents(m_toChoose);
    m_loadedAt = Now();
    // Drawn: every window of the panel painted (the list, its rows and its bar).
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    m_drawnAt = Now();
    result = 0;
    return true;
  }

 private:
  GUIItemList m_page;
};

// Sends WM_NULL every 100 ms and keeps the longest wait for its answer.
class Prober {
 public:
  explicit Prober(HWND window) : m_window(window), m_thread([this] { Run(); }) {}
  ~Prober() {
    m_stop = true;
    m_thread.join();
  }
  double Longest() const { return m_longest.load(); }

 private:
  void Run() {
    while (!m_stop) {
      const double sent = Now();
      DWORD_PTR answer = 0;
      ::SendMessageTimeoutW(m_window, WM_NULL, 0, 0, SMTO_NORMAL, 600000, &answer);
      const double waited = Now() - sent;
      if (waited > m_longest.load()) m_longest = waited;
      ::Sleep(100);
    }
  }
  HWND m_window;
  std::atomic<bool> m_stop{false};
  std::atomic<double> m_longest{0};
  std::thread m_thread;
};

void PumpFor(double milliseconds) {
  const double end = Now() + milliseconds;
  while (Now() < end) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

}  // namespace

int main() {
  AppFolder = DosPath(OVRIX_SKIN_APP_DIR) + L"\\";
  ::SetCurrentDirectoryW(AppFolder.c_str());
  RequestedLanguageId = -1;
  GUIItemList languages;
  LoadSkinFile(languages, L"Language.xml", nullptr);
  if (auto table = LanguageTables.find(kDefaultLanguageId); table != LanguageTables.end())
    CurrentLangTable = table->second;

  int status = 0;
  std::printf("Choosing a macro: from the choice to the list drawn, and the longest the window went\n"
              "without answering a WM_NULL sent every 100 ms (goal: 10,000 events drawn within 1 s;\n"
              "with 100,000 never silent for more than 1 s)\n");
  for (const size_t length : {size_t{10000}, size_t{100000}}) {
    const MacroEventList events = TypedMacro(length);
    MacroPage page;
    if (!page.Create(kPanelTemplate) || !page.m_display) {
      std::printf("the macros page could not be made from %ls\n", AppFolder.c_str());
      status = 1;
      break;
    }
    page.ShowWindow(SW_SHOWNORMAL);
    ::UpdateWindow(page.m_hWnd);
    PumpFor(300);
    page.m_toChoose = &events;
    double longest = 0;
    {
      Prober prober(page.m_hWnd);
      PumpFor(250);
      page.PostMessage(kChooseMessage);
      PumpFor(1500);
      longest = prober.Longest();
    }
    std::printf("%7zu events: drawn %8.1f ms after the choice (list loaded in %.1f ms); longest without "
                "answering %8.1f ms; %d rows, last row selected: %s\n",
                length, page.m_drawnAt - page.m_chosenAt, page.m_loadedAt - page.m_chosenAt, longest,
                page.m_display->GetItemCount(),
                page.m_display->GetNextItem(-1, LVNI_SELECTED) == static_cast<int>(length) - 1 ? "yes" : "no");
    page.DestroyWindow();
  }
  gui::Skin().Reset();
  FreeItemList(languages);
  SkinResourceCache::FreeAll();
  return status;
}
