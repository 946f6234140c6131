// The application object: one per program, with the program's message loop and
// its main window, whose destruction ends that loop.
#pragma once
#include "platform/Window.h"

class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // False ends the program at once (after ExitInstance).
  virtual BOOL InitInstance() { return TRUE; }
  virtual int ExitInstance() { return m_exitCode; }
  // Messages not aimed at one of our windows (thread messages) come here after
  // the windows' PreTranslateMessage walk.
  virtual BOOL PreTranslateMessage(MSG*) { return FALSE; }
  // InitInstance, then the message loop until WM_QUIT, then ExitInstance.
  virtual int Run();

  // The main window: its destruction ends the message loop and clears this.
  CWnd* m_pMainWnd = nullptr;
  HINSTANCE m_hInstance;

 protected:
  int m_exitCode = 0;
};

namespace platform {

// The application object of the process, or null.
CWinApp* CurrentApp();

}  // namespace platform
