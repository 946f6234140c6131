#include "tray/TrayNotifyIcon.h"

#include <shlwapi.h>

#include <cwchar>

#include "platform/Dialog.h"
#include "platform/Messages.h"
#include "tray/PcManager.h"

namespace {

constexpr DWORD kHelperStyle = 0x00CF0000;  // overlapped window, never shown

int DetectShellLevel() {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (::GetVersionExW(&version) && version.dwMajorVersion > 5) return 3;
#pragma GCC diagnostic pop
  HMODULE shell = ::GetModuleHandleW(L"shell32.dll");
  if (!shell) shell = ::LoadLibraryW(L"shell32.dll");
  auto getVersion = shell ? reinterpret_cast<HRESULT(CALLBACK*)(DLLVERSIONINFO*)>(
                                reinterpret_cast<void*>(::GetProcAddress(shell, "DllGetVersion")))
                          : nullptr;
  if (!getVersion) return 0;
  DLLVERSIONINFO info{};
  info.cbSize = sizeof(info);
  if (FAILED(getVersion(&info))) return 0;
  if (info.dwMajorVersion > 5) return 2;
  if (info.dwMajorVersion > 4) return 1;
  return 0;
}

}  // namespace

DWORD CTrayNotifyIcon::RecordSizeForShell(int shellLevel) {
  switch (shellLevel) {
    case 3: return sizeof(NOTIFYICONDATAW);
    case 2: return NOTIFYICONDATAW_V3_SIZE;
    case 1: return NOTIFYICONDATAW_V2_SIZE;
    default: return NOTIFYICONDATAW_V1_SIZE;
  }
}

CTrayNotifyIcon::CTrayNotifyIcon() : m_shellLevel(DetectShellLevel()) {
  m_iconData.cbSize = RecordSizeForShell(m_shellLevel);
}

CTrayNotifyIcon::~CTrayNotifyIcon() { Destroy(); }

bool CTrayNotifyIcon::Create(CWnd* owner, const wchar_t* tooltip, HICON icon) {
  CMenu menu;
  if (!menu.LoadMenu(platform::ResourceInstance(), kTrayMenuId)) return false;
  HMENU popup = menu.GetSubMenu(0);
  if (!popup) return false;  // `menu` destroys what was loaded
  ::SetMenuDefaultItem(popup, m_defaultItem, m_defaultByPosition);
  if (!m_hWnd && !CreateEx(0, CWnd::DefaultClassName(), L"CTrayNotifyIcon Helper Window", kHelperStyle,
                           RECT{0, 0, 0, 0}, static_cast<HWND>(nullptr), 0))
    return false;
  m_menu = std::move(menu);
  m_owner = owner;

  const DWORD size = m_iconData.cbSize;
  m_iconData = NOTIFYICONDATAW{};
  m_iconData.cbSize = size;
  m_iconData.hWnd = owner ? owner->m_hWnd : nullptr;
  m_iconData.uID = kTrayIconId;
  m_iconData.uCallbackMessage = TrayCallbackMessage;
  m_iconData.hIcon = icon;
  if (tooltip) wcsncpy(m_iconData.szTip, tooltip, 127);
  m_iconData.szTip[127] = L'\0';
  AddIcon();
  return true;
}

bool CTrayNotifyIcon::AddIcon() {
  m_iconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  if (m_bHidden) {
    m_iconData.uFlags |= NIF_STATE;
    m_iconData.dwState = NIS_HIDDEN;
    m_iconData.dwStateMask = NIS_HIDDEN;
  }
  tray::IShell& shell = *tray::CurrentSeams().shell;
  m_bShown = shell.NotifyIcon(NIM_ADD, &m_iconData) ? TRUE : FALSE;
  if (m_bShown && m_shellLevel > 0) {
    m_iconData.uVersion = NOTIFYICON_VERSION;
    shell.NotifyIcon(NIM_SETVERSION, &m_iconData);
  }
  return m_bShown != FALSE;
}

bool CTrayNotifyIcon::Readd() {
  if (!m_hWnd) return false;  // never created
  if (m_bShown) {
    NOTIFYICONDATAW remove = m_iconData;
    remove.uFlags = 0;
    tray::CurrentSeams().shell->NotifyIcon(NIM_DELETE, &remove);
    m_bShown = FALSE;
  }
  return AddIcon();
}

void CTrayNotifyIcon::Destroy() {
  if (m_bShown) {
    NOTIFYICONDATAW remove = m_iconData;
    remove.uFlags = 0;
    tray::CurrentSeams().shell->NotifyIcon(NIM_DELETE, &remove);
    m_bShown = FALSE;
  }
  if (m_hWnd) DestroyWindow();
  StopAnimation();
  m_menu.DestroyMenu();
}

void CTrayNotifyIcon::SetMenu(CMenu menu) {
  if (m_tracking) return;  // the shown menu stays until its loop ends
  m_menu = std::move(menu);
}

LRESULT CTrayNotifyIcon::OnTrayNotification(WPARAM uID, LPARAM mouseMessage, const POINT* point) {
  if (uID != kTrayIconId || (mouseMessage != WM_RBUTTONUP && mouseMessage != WM_LBUTTONDBLCLK)) return 0;
  HMENU popup = m_menu.GetSubMenu(0);
  if (!popup || !m_owner) return 0;
  if (mouseMessage == WM_RBUTTONUP) {
    ::SetForegroundWindow(m_owner->m_hWnd);
    const POINT at = point ? *point : POINT{0, 0};
    m_tracking = true;
    tray::CurrentSeams().shell->TrackPopupMenu(popup, TPM_LEFTBUTTON, at.x, at.y, m_owner->m_hWnd);
    m_tracking = false;
    // Lets the menu close properly when the user clicks elsewhere.
    m_owner->PostMessage(WM_NULL);
  } else {
    ::SetForegroundWindow(m_owner->m_hWnd);
    const UINT item = ::GetMenuDefaultItem(popup, FALSE, GMDI_GOINTOPOPUPS);
    if (item != static_cast<UINT>(-1)) m_owner->SendMessage(WM_COMMAND, item, 0);
  }
  return 1;
}

LRESULT CTrayNotifyIcon::OnTrayNotificationAtCursor(WPARAM uID, LPARAM mouseMessage) {
  POINT cursor{};
  ::GetCursorPos(&cursor);
  return OnTrayNotification(uID, mouseMessage, &cursor);
}

void CTrayNotifyIcon::StopAnimation() {
  if (m_animationTimer && m_hWnd) KillTimer(m_animationTimer);
  m_animationTimer = 0;
  delete[] m_animationIcons;
  m_animationIcons = nullptr;
  m_animationCount = 0;
  m_animationIndex = 0;
}

bool CTrayNotifyIcon::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg == platform::TaskbarCreatedMessage()) {
    Readd();
    result = 0;
    return true;
  }
  switch (msg) {
    case WM_TIMER:
      if (wParam == kTrayIconId && m_animationCount > 0) {
        m_animationIndex = (m_animationIndex + 1) % m_animationCount;
        m_iconData.hIcon = m_animationIcons[m_animationIndex];
        m_iconData.uFlags = NIF_ICON;
        tray::CurrentSeams().shell->NotifyIcon(NIM_MODIFY, &m_iconData);
        result = 0;
        return true;
      }
      break;
    case WM_DESTROY:
      StopAnimation();
      break;
    default:
      break;
  }
  return CWnd::OnMessage(msg, wParam, lParam, result);
}
