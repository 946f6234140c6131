// The tray's icon in the notification area and its context menu. The icon keeps
// itself in the area across a restart of the shell ("TaskbarCreated" reaches its
// hidden helper window); the menu is the one owner of the menu handle it shows.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include "platform/Menu.h"
#include "platform/Window.h"

// The icon's notifications reach the owner as this message (wParam the icon id,
// lParam the mouse message).
inline constexpr UINT TrayCallbackMessage = 0x464;
inline constexpr UINT kTrayIconId = 129;
inline constexpr UINT kTrayMenuId = 129;

class CTrayNotifyIcon : public CWnd {
 public:
  CTrayNotifyIcon();
  ~CTrayNotifyIcon() override;

  // Loads menu 129 and creates the helper window (false when either is missing),
  // then adds the icon; whether that add succeeded is Shown().
  bool Create(CWnd* owner, const wchar_t* tooltip, HICON icon);
  // Removes the icon when shown, closes the helper window, destroys the menu.
  // Safe to call more than once.
  void Destroy();
  bool Shown() const { return m_bShown; }
  // Adds the icon again (after the shell restarted, or when an add failed).
  bool Readd();

  // The menu shown from now on; the previous one is destroyed. Ignored while a
  // menu is being tracked.
  void SetMenu(CMenu menu);
  HMENU GetMenu() const { return m_menu.GetSafeHmenu(); }
  bool IsTracking() const { return m_tracking; }

  // uID, mouse message and the point to open the menu at; 1 when handled.
  virtual LRESULT OnTrayNotification(WPARAM uID, LPARAM mouseMessage, const POINT* point);
  virtual LRESULT OnTrayNotificationAtCursor(WPARAM uID, LPARAM mouseMessage);

  // The record size the shell version takes (NOTIFYICONDATAW_V1 .. full size).
  static DWORD RecordSizeForShell(int shellLevel);
  int ShellLevel() const { return m_shellLevel; }
  const NOTIFYICONDATAW& IconData() const { return m_iconData; }

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  bool AddIcon();
  void StopAnimation();

  NOTIFYICONDATAW m_iconData{};
  BOOL m_bShown = FALSE;
  BOOL m_bHidden = FALSE;
  CWnd* m_owner = nullptr;
  CMenu m_menu;
  UINT m_defaultItem = 0;
  BOOL m_defaultByPosition = TRUE;
  int m_shellLevel = 0;
  HICON* m_animationIcons = nullptr;
  int m_animationCount = 0;
  UINT_PTR m_animationTimer = 0;
  int m_animationIndex = 0;
  bool m_tracking = false;
};
