// The configurator's application object: one instance only, the configuration
// and device objects, the installer's registry values, the languages and the
// keyboard layout, then the main window run modally, and the release of
// everything at the end.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "device/BaseDevice.h"
#include "device/GenDevice.h"
#include "device/KeyboardConfig.h"
#include "gui/base/GUIItem.h"
#include "platform/Com.h"
#include "platform/Handles.h"
#include "platform/WinApp.h"

namespace configurator {
class IProgramRegistry;
}

// The skin element id of the language chosen at start (349..364), or -1 when the
// registry names no known language.
extern int32_t CurrentLanguageId;
// The dialog template the list popups are created from.
extern UINT ListPopupTemplateId;
extern UINT ListPopupTemplateId2;

// The class of the main window: a running configurator is found by it.
inline constexpr wchar_t kMainWindowClassName[] = L"SINGLE_INSTANCE_APP_MORVEL";

class CMorvelAppApp : public CWinApp {
 public:
  CMorvelAppApp();
  ~CMorvelAppApp() override;

  // The whole run: Start, the main window, Finish. Always FALSE: the program
  // ends without a message loop of its own.
  BOOL InitInstance() override;

  // Everything before the main window. False when another configurator runs
  // (it was brought forward) or the instance could not be checked; then nothing
  // else was made.
  bool Start();
  // The main window, modally.
  void RunMainWindow();
  // Releases the device, the configuration, the skin lists and COM, and lets go
  // of the single-instance mutex.
  void Finish();

  // What a test changes before Start.
  struct Environment {
    std::wstring programFolder;  // with a trailing backslash; empty: the running program's folder
    std::wstring instanceName = kMainWindowClassName;  // mutex, and class of a running window
    configurator::IProgramRegistry* registry = nullptr;          // null: the system's
    DeviceManagerFactory deviceFactory;                          // empty: the device service's class
    DWORD instanceWaitMs = 1000;
    UINT mainWindowTemplate = 102;  // tests: a template of a class of their own
  } m_environment;

  IGenDevice* m_device = nullptr;    // owned (through the device layer's globals)
  IKeyboardConfig* m_config = nullptr;
  GUIItemList m_languages;
  GUIItemList m_unusedItems;
  GUIItemList m_layouts;

  // What Start found, for the main window and for tests.
  bool m_deviceRead = false;   // the keyboard was read into the configuration
  int32_t m_layoutId = -1;     // the keyboard layout selected

  // The class of the main window (its template names it); true also when this
  // process registered it before.
  static bool RegisterMainWindowClass(HINSTANCE instance, const wchar_t* className = kMainWindowClassName);

 private:
  // True when this is the only configurator; otherwise the running one is
  // brought forward.
  bool TakeSingleInstance();
  void ReadInstallerValues(int32_t& languageId);
  void ChooseLanguage(int32_t languageId);
  void ChooseKeyboardLayout();
  void ReleaseInstance();

  std::unique_ptr<CMorvelConfig> m_ownedConfig;
  platform::KernelHandle m_instanceMutex;
  bool m_mutexOwned = false;
  platform::ComApartment m_com;
  bool m_started = false;
};
