// The configurator's application object: start-up, the main window's run, and the
// release of everything at the end.
#pragma once
#include <string>

#include "gui/GUIItem.h"
#include "platform/Dialog.h"

class CMorvelAppApp : public CWinApp {
 public:
  BOOL InitInstance() override;

 private:
  // The window class the main dialog's template names: a dialog class (the
  // dialog manager's procedure and extra bytes) under our own name.
  bool RegisterMainWindowClass() const;
  static std::wstring ProgramFolder();

  GUIItemList m_languages;
  GUIItemList m_layouts;
};
extern CMorvelAppApp theApp;
