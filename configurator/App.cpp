#include "configurator/App.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <string>

#include "configurator/MainWindow.h"
#include "configurator/Shell.h"
#include "device/Bootstrap.h"
#include "gui/base/LangTable.h"
#include "gui/base/SkinGlobals.h"
#include "gui/skin/SkinLoader.h"
#include "gui/base/SkinNameTables.h"
#include "gui/skin/SkinResourceCache.h"
#include "platform/StartTimes.h"

int32_t CurrentLanguageId = -1;
UINT ListPopupTemplateId = 129;
UINT ListPopupTemplateId2 = 129;

namespace {

constexpr UINT kProgramIcon = 130;
constexpr UINT kListPopupTemplate = 129;
constexpr int32_t kDefaultLanguageId = 349;  // LANGUAGE_DEFAULT
constexpr int32_t kLastLanguageId = 364;     // LANGUAGE_GREEK
constexpr int32_t kEnglishLayoutId = 366;    // KBLAYOUT_ENGLISH
constexpr wchar_t kTrayProgram[] = L"KestraneOvrixTray.exe";

std::wstring RunningProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length < MAX_PATH ? length : 0);
  const size_t slash = folder.find_last_of(L"\\/");
  folder.resize(slash == std::wstring::npos ? 0 : slash + 1);
  return folder;
}

// Brings a running configurator to the front: its last active popup (a popup it
// shows, else the main window itself), restored when minimised.
void BringForward(HWND mainWindow) {
  HWND popup = ::GetLastActivePopup(mainWindow);
  if (popup == nullptr) popup = mainWindow;
  ::BringWindowToTop(mainWindow);
  if (::IsIconic(popup))
    ::ShowWindow(popup, SW_RESTORE);
  else
    ::SetForegroundWindow(popup);
}

}  // namespace

CMorvelAppApp::CMorvelAppApp() = default;

CMorvelAppApp::~CMorvelAppApp() { Finish(); }

bool CMorvelAppApp::RegisterMainWindowClass(HINSTANCE instance, const wchar_t* className) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS | CS_SAVEBITS | CS_BYTEALIGNWINDOW;
  wc.lpfnWndProc = DefDlgProcW;
  wc.cbWndExtra = DLGWINDOWEXTRA;
  wc.hInstance = instance;
  wc.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(kProgramIcon));
  wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = className;
  // A second application object in one process (tests) finds the class there.
  return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool CMorvelAppApp::TakeSingleInstance() {
  const std::wstring& name = m_environment.instanceName;
  m_instanceMutex.Reset(::CreateMutexW(nullptr, FALSE, name.c_str()));
  if (!m_instanceMutex) return false;
  // Held until the run ends, so that of two starts at the same moment the second
  // waits here while the first creates its window, and then finds that window.
  const DWORD wait = ::WaitForSingleObject(m_instanceMutex.Get(), m_environment.instanceWaitMs);
  m_mutexOwned = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
  HWND running = ::FindWindowW(name.c_str(), nullptr);
  if (running != nullptr) BringForward(running);
  if (running != nullptr || !m_mutexOwned) {
    ReleaseInstance();
    return false;
  }
  return true;
}

void CMorvelAppApp::ReleaseInstance() {
  if (!m_instanceMutex) return;
  if (m_mutexOwned) ::ReleaseMutex(m_instanceMutex.Get());
  m_instanceMutex.Close();
  m_mutexOwned = false;
}

void CMorvelAppApp::ReadInstallerValues(int32_t& languageId) {
  configurator::SystemProgramRegistry systemRegistry;
  configurator::IProgramRegistry& registry =
      m_environment.registry != nullptr ? *m_environment.registry : systemRegistry;
  languageId = kDefaultLanguageId;
  // Read only: the key is the installer's, and a configurator without it starts
  // no tray.
  if (!registry.Open()) return;
  wchar_t buffer[platform::kRegistryStringChars] = {};
  if (registry.ReadString(L"Language", buffer) == ERROR_SUCCESS)
    languageId = FindLanguageId(buffer);
  buffer[0] = L'\0';
  registry.ReadString(L"InstallDir", buffer);
  std::wstring folder = buffer;
  if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  if (!folder.empty()) ::SetCurrentDirectoryW(folder.c_str());
  configurator::ShellLauncher().Open(L"open", kTrayProgram);
  registry.Close();
}

void CMorvelAppApp::ChooseLanguage(int32_t languageId) {
  CurrentLanguageId = languageId >= kDefaultLanguageId && languageId <= kLastLanguageId ? languageId : -1;
  // Every table is built, so that the default one is there when the requested
  // language has none: no window shows bare language keys.
  RequestedLanguageId = -1;
  LoadSkinFile(m_languages, L"Language.xml", nullptr);
  auto table = LanguageTables.find(CurrentLanguageId);
  if (table == LanguageTables.end()) table = LanguageTables.find(kDefaultLanguageId);
  if (table != LanguageTables.end()) CurrentLangTable = table->second;
}

void CMorvelAppApp::ChooseKeyboardLayout() {
  int32_t layoutId = kEnglishLayoutId;
  DWORD code = 0;
  if (m_device != nullptr && m_device->IsPresent() && m_device->ReadValue(&code)) {
    const int32_t mapped = GetLayoutSkinId(static_cast<int32_t>(code));
    if (mapped != -1) layoutId = mapped;
  }
  LoadSkinFile(m_layouts, L"KeyboardLayout.xml", nullptr);
  if (KeyboardLayoutSwitcher.m_settings.count(layoutId) == 0) layoutId = kEnglishLayoutId;
  SelectKeyboardLayout(layoutId);
  m_layoutId = layoutId;
}

bool CMorvelAppApp::Start() {
  namespace times = platform::start_times;
  if (m_started) return true;
  times::Stamp(times::Point::kMain);
  if (!RegisterMainWindowClass(m_hInstance)) {
    m_exitCode = 1;
    return false;
  }
  if (!TakeSingleInstance()) return false;
  m_started = true;

  INITCOMMONCONTROLSEX controls{sizeof(controls), 0xFF};
  ::InitCommonControlsEx(&controls);
  CWinApp::InitInstance();
  m_com.Initialize(COINIT_APARTMENTTHREADED);
  times::Stamp(times::Point::kCom);

  AppFolder = m_environment.programFolder.empty() ? RunningProgramFolder() : m_environment.programFolder;
  ::SetCurrentDirectoryW(AppFolder.c_str());

  m_ownedConfig = std::make_unique<CMorvelConfig>(AppFolder);
  m_config = m_ownedConfig.get();
  // Profiles come from the keyboard only: nothing here reads "save\", where
  // exported profiles lie.
  m_deviceRead = CreateDeviceAndTables(&m_device, m_config, m_environment.deviceFactory);
  times::Stamp(times::Point::kDeviceRead);

  int32_t languageId = kDefaultLanguageId;
  ReadInstallerValues(languageId);
  times::Stamp(times::Point::kRegistry);
  ChooseLanguage(languageId);
  ChooseKeyboardLayout();
  times::Stamp(times::Point::kTables);

  ListPopupTemplateId = kListPopupTemplate;
  ListPopupTemplateId2 = kListPopupTemplate;
  return true;
}

void CMorvelAppApp::RunMainWindow() {
  if (!m_started) return;
  // A "MainPage.xml" that cannot be loaded is reported by the panel, which then
  // makes no window: DoModal returns at once and the run ends.
  CMorvelAppDlg mainWindow(m_device, m_config, m_environment.mainWindowTemplate);
  // A keyboard that is there but could not be read is treated as no keyboard:
  // Apply over a partly read configuration would overwrite keys never read.
  mainWindow.SetStartReadFailed(!m_deviceRead);
  m_pMainWnd = &mainWindow;
  mainWindow.DoModal();
  m_pMainWnd = nullptr;
}

void CMorvelAppApp::Finish() {
  if (m_started) {
    DestroyGlobals();
    m_device = nullptr;
    m_config = nullptr;
    m_ownedConfig.reset();
    // The skin's globals point into the item lists about to be freed.
    gui::Skin().Reset();
    FreeItemList(m_layouts);
    FreeItemList(m_unusedItems);
    FreeItemList(m_languages);
    m_com.Uninitialize();
    m_started = false;
  }
  ReleaseInstance();
}

BOOL CMorvelAppApp::InitInstance() {
  if (Start()) RunMainWindow();
  Finish();
  return FALSE;
}
