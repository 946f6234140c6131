#include "platform/Dialog.h"

#include "platform/StartTimes.h"
#include "platform/WinApp.h"

namespace {

HINSTANCE g_resourceInstance = nullptr;

// Our dialogs do all their work in the window object; the dialog procedure only
// lets the system's dialog manager do its default handling.
INT_PTR CALLBACK DefaultDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

HWND TopLevelOf(HWND hwnd) { return hwnd ? ::GetAncestor(hwnd, GA_ROOT) : nullptr; }

}  // namespace

namespace platform {

HINSTANCE ResourceInstance() { return g_resourceInstance ? g_resourceInstance : ::GetModuleHandleW(nullptr); }
void SetResourceInstance(HINSTANCE instance) { g_resourceInstance = instance; }

}  // namespace platform

CDialog::CDialog(UINT templateId, CWnd* parent) : m_parentWnd(parent), m_templateId(templateId) {}

CDialog::~CDialog() {
  if (m_modalRun) m_modalRun->deleted = true;
}

bool CDialog::CreateFromTemplate(HWND owner) {
  HINSTANCE instance = platform::ResourceInstance();
  HRSRC found = ::FindResourceW(instance, MAKEINTRESOURCEW(m_templateId), MAKEINTRESOURCEW(5));  // RT_DIALOG
  if (!found) return false;
  HGLOBAL loaded = ::LoadResource(instance, found);
  const auto* dialogTemplate = loaded ? static_cast<const DLGTEMPLATE*>(::LockResource(loaded)) : nullptr;
  if (!dialogTemplate) return false;
  BindingScope binding(this);
  HWND hwnd = ::CreateDialogIndirectParamW(instance, dialogTemplate, owner, DefaultDialogProc, 0);
  return hwnd && m_hWnd == hwnd;
}

bool CDialog::Create(UINT templateId, CWnd* parent) {
  if (m_hWnd) return false;
  m_templateId = templateId;
  m_parentWnd = parent;
  return CreateFromTemplate(parent ? parent->m_hWnd : nullptr);
}

INT_PTR CDialog::DoModal() {
  if (m_hWnd) return -1;
  HWND owner = m_parentWnd ? m_parentWnd->m_hWnd : nullptr;
  if (CWinApp* app = platform::CurrentApp(); !owner && app && app->m_pMainWnd && app->m_pMainWnd != this)
    owner = app->m_pMainWnd->m_hWnd;
  owner = TopLevelOf(owner);

  ModalRun run;
  m_modalRun = &run;
  m_inModalLoop = true;
  m_endRequested = false;
  m_result = -1;
  if (!CreateFromTemplate(owner)) {
    if (run.deleted) return -1;
    m_modalRun = nullptr;
    m_inModalLoop = false;
    if (m_hWnd) ::DestroyWindow(m_hWnd);
    return -1;
  }
  const bool disableOwner = owner && ::IsWindowEnabled(owner);
  if (disableOwner) ::EnableWindow(owner, FALSE);

  if (!run.deleted && !m_endRequested && m_hWnd) {
    platform::start_times::Stamp(platform::start_times::Point::kShown);
    ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
    // The dialog's window goes with its owner's; a dialog that deletes itself
    // then is gone too, so `run` is asked before any member.
    while (!run.deleted && !m_endRequested && m_hWnd) {
      MSG msg;
      const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
      if (got == -1) break;
      if (got == 0) {
        // WM_QUIT ends every loop: leave it for the loops outside this one.
        ::PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      if (platform::PreTranslateThroughParents(&msg)) continue;
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }

  // The owner is enabled before the dialog goes, so activation returns to it
  // (unless it was destroyed during the loop).
  if (disableOwner && ::IsWindow(owner)) ::EnableWindow(owner, TRUE);
  if (run.deleted) return run.result;
  // Taken before the window goes: PostNcDestroy may delete the object.
  const INT_PTR result = m_result;
  m_modalRun = nullptr;
  m_inModalLoop = false;
  if (HWND hwnd = m_hWnd) {
    if (owner && ::GetActiveWindow() == hwnd) ::SetActiveWindow(owner);
    ::DestroyWindow(hwnd);
  }
  return result;
}

void CDialog::EndDialog(INT_PTR result) {
  m_result = result;
  if (m_modalRun) m_modalRun->result = result;
  m_endRequested = true;
  if (m_inModalLoop) {
    // Wakes the loop if the queue is empty.
    if (m_hWnd) ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
  } else if (m_hWnd) {
    ::EndDialog(m_hWnd, result);
  }
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
  if (!m_hWnd) return FALSE;
  if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return FALSE;
  if (msg->hwnd != m_hWnd && !::IsChild(m_hWnd, msg->hwnd)) return FALSE;
  return ::IsDialogMessageW(m_hWnd, msg);
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM) {
  switch (LOWORD(wParam)) {
    case IDOK:
      OnOK();
      return TRUE;
    case IDCANCEL:
      OnCancel();
      return TRUE;
    default:
      return FALSE;
  }
}

bool CDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg == WM_INITDIALOG) {
    result = OnInitDialog();
    return true;
  }
  return CWnd::OnMessage(msg, wParam, lParam, result);
}
