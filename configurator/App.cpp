// KestraneOvrixConfig: the configurator's application object and entry point. For
// now its start-up in outline: the program folder, the languages and keyboard
// layouts of the skin, and the skinned main window, which runs until it is closed.
#include "configurator/App.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "configurator/MainWindow.h"
#include "gui/skin/LangTable.h"
#include "gui/skin/SkinLoader.h"
#include "gui/skin/SkinNameTables.h"
#include "gui/skin/SkinResourceCache.h"
#include "platform/Dialog.h"

namespace {

// A running configurator is found by the class of its main window.
constexpr wchar_t kMainWindowClass[] = L"SINGLE_INSTANCE_APP_MORVEL";
constexpr int32_t kDefaultLanguageId = 349;  // LANGUAGE_DEFAULT
constexpr int32_t kEnglishLayoutId = 366;    // KBLAYOUT_ENGLISH

}  // namespace

bool CMorvelAppApp::RegisterMainWindowClass() const {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS | CS_SAVEBITS | CS_BYTEALIGNWINDOW;
  wc.lpfnWndProc = DefDlgProcW;
  wc.cbWndExtra = DLGWINDOWEXTRA;
  wc.hInstance = m_hInstance;
  wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kMainWindowClass;
  return ::RegisterClassExW(&wc) != 0;
}

std::wstring CMorvelAppApp::ProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length < MAX_PATH ? length : 0);
  const size_t slash = folder.find_last_of(L"\\/");
  folder.resize(slash == std::wstring::npos ? 0 : slash + 1);
  return folder;
}

BOOL CMorvelAppApp::InitInstance() {
  if (!RegisterMainWindowClass()) {
    m_exitCode = 1;
    return FALSE;
  }
  INITCOMMONCONTROLSEX controls{sizeof(controls), 0xFF};
  ::InitCommonControlsEx(&controls);

  AppFolder = ProgramFolder();
  ::SetCurrentDirectoryW(AppFolder.c_str());
  BuildNameTables(NameTableSet::Configurator);

  LoadSkinFile(m_languages, L"Language.xml", nullptr);
  const auto language = LanguageTables.find(kDefaultLanguageId);
  if (language != LanguageTables.end()) CurrentLangTable = language->second;
  LoadSkinFile(m_layouts, L"KeyboardLayout.xml", nullptr);
  SelectKeyboardLayout(kEnglishLayoutId);

  {
    CMorvelAppDlg mainWindow;
    m_pMainWnd = &mainWindow;
    mainWindow.DoModal();
    m_pMainWnd = nullptr;
  }

  CurrentLangTable = nullptr;
  LanguageTables.clear();
  KeyboardLayoutSwitcher.settings.clear();
  FreeItemList(m_layouts);
  FreeItemList(m_languages);
  // The program ends here, without a message loop of its own.
  return FALSE;
}

CMorvelAppApp theApp;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return theApp.Run(); }
