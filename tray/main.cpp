// KestraneOvrixTray: the tray companion. One instance per session (the mutex
// "MorvelSysTray"); everything else belongs to its hidden dialog.
#include <windows.h>
#include <commctrl.h>

#include "platform/Handles.h"
#include "platform/WinApp.h"
#include "tray/TrayDialog.h"
#include "tray/TrayResources.h"

class CPellinSysTrayApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    // The name marks the running instance: a second start ends silently.
    m_instanceMutex.Reset(::CreateMutexW(nullptr, FALSE, L"MorvelSysTray"));
    if (m_instanceMutex && ::GetLastError() == ERROR_ALREADY_EXISTS) {
      m_instanceMutex.Close();
      return FALSE;
    }
    INITCOMMONCONTROLSEX controls{sizeof(controls), 0xFF};
    ::InitCommonControlsEx(&controls);

    auto* dialog = new CPellinSysTrayDlg();
    m_pMainWnd = dialog;
    if (!dialog->Create(IDD_TRAY_DIALOG)) return FALSE;
    return TRUE;
  }

  int ExitInstance() override {
    if (m_pMainWnd) {
      delete m_pMainWnd;
      m_pMainWnd = nullptr;
    }
    return CWinApp::ExitInstance();
  }

 private:
  platform::KernelHandle m_instanceMutex;
};

CPellinSysTrayApp theApp;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return theApp.Run(); }
