// Dialogs from templates in the program's resources, modal by a message loop of
// our own (so PreTranslateMessage sees every message, also in nested loops). The
// application object is in platform/WinApp.h.
#pragma once
#include "platform/Window.h"

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);
  ~CDialog() override;

  // Creates the dialog modeless with its owner disabled, runs the modal loop
  // until EndDialog, re-enables the owner and destroys the dialog. Returns the
  // value given to EndDialog, or -1 when the dialog could not be created.
  virtual INT_PTR DoModal();
  // Modeless: the dialog stays until it is destroyed.
  bool Create(UINT templateId, CWnd* parent = nullptr);
  // Ends the modal loop with any result (-1 included). For a modeless dialog it
  // hides the window, as the system's EndDialog does.
  void EndDialog(INT_PTR result);

  virtual BOOL OnInitDialog() { return TRUE; }
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  // IDOK and IDCANCEL become OnOK and OnCancel; other commands are not handled.
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  // The dialog's own keyboard handling (Tab, Enter, Esc) for its messages.
  BOOL PreTranslateMessage(MSG* msg) override;

  UINT TemplateId() const { return m_templateId; }
  bool IsModal() const { return m_inModalLoop; }

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  CWnd* m_parentWnd;

 private:
  bool CreateFromTemplate(HWND owner);

  // What a modal run needs after its loop, kept on DoModal's stack: a dialog
  // that deletes itself with its window (its owner destroyed mid-loop) must not
  // be read once it is gone.
  struct ModalRun {
    bool deleted = false;
    INT_PTR result = -1;
  };

  UINT m_templateId;
  bool m_inModalLoop = false;
  bool m_endRequested = false;
  INT_PTR m_result = -1;
  ModalRun* m_modalRun = nullptr;
};

namespace platform {

// Instance whose resources hold the dialog templates (the program by default).
HINSTANCE ResourceInstance();
void SetResourceInstance(HINSTANCE instance);

}  // namespace platform
