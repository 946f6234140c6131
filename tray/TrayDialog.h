// The tray program's hidden dialog: it owns the notification icon, the event
// connections to the device service, the two timers and the device and session
// notifications, and it handles the icon's menu. It never shows itself.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "device/RawInput.h"
#include "gui/base/GUIItem.h"
#include "platform/Com.h"
#include "platform/DeviceNotification.h"
#include "platform/Dialog.h"
#include "tray/AutoSwitch.h"
#include "tray/DeviceManager.h"
#include "tray/EventConnections.h"
#include "tray/OnScreenDisplay.h"
#include "tray/TrayNotifyIcon.h"

inline constexpr UINT_PTR DevicePollTimer = 700;
inline constexpr UINT DevicePollMs = 5000;
inline constexpr UINT_PTR SingleClickTimer = 701;

namespace tray {

// A keyboard device change that arrived during a switching tick, handled after it
// (wParam: the event code, the keyboard's interface already recognised).
inline constexpr UINT kDeferredDeviceChangeMessage = WM_APP + 0x118;
// A session change, handled from the queue (wParam: the notification code).
inline constexpr UINT kDeferredSessionChangeMessage = WM_APP + 0x119;

// A device-interface notification (WM_DEVICECHANGE data from any process) that
// names the keyboard: a device-interface record whose size covers what it claims
// and whose upper-cased name holds "VID_2F7A" and "PID_0C41".
bool IsOvrixDeviceInterface(const void* data);

// A profile name as a menu item shows it ('&' would underline the next letter).
std::wstring MenuItemText(const std::wstring& name);

}  // namespace tray

class CAboutDlg : public CDialog {
 public:
  CAboutDlg();
};

class CPellinSysTrayDlg : public CDialog,
                          public IDpiEventHandler,
                          public IProfileEventHandler,
                          public IMacroEventHandler,
                          public ILaunchAppEventHandler {
 public:
  CPellinSysTrayDlg();
  ~CPellinSysTrayDlg() override;

  BOOL OnInitDialog() override;

  // Event handlers (called by the connections).
  void OnDpiChanged(int x, int y) override;
  void OnProfileChanged(const GUID* profileId) override;
  void OnMacroRecordStart() override;
  void OnMacroRecordStop() override;
  void OnMacroRecordCancel() override;
  void OnMacroRecordFinish(int first, int deviceKeyCode) override;
  void OnLaunchApplication(int kind, const wchar_t* path) override;

  BOOL OnDeviceChange(UINT event, DWORD_PTR data);
  void OnSessionChange(UINT code, DWORD sessionId);
  LRESULT OnTrayNotify(WPARAM uID, LPARAM mouseMessage);
  void OnTimer(UINT_PTR id);
  void OnExitTray();
  void OnLoadConfigurator();
  void OnClose();

  void ConnectEventSinks();
  void DisconnectEventSinks();
  void BuildTrayMenu(const std::vector<std::wstring>& names);
  void RegisterDeviceInterfaceNotification();
  void GetModuleFolder();
  void LoadLanguage();
  void RememberBaseProfile();

  void SelectProfile(int index);
  void ShowOsdText(const std::wstring& text);
  void OnDeviceGone();
  void OnRawInput(WPARAM code, HRAWINPUT input);

  // State, for the program's own checks and for tests.
  bool HasConnections() const { return m_profileConnection && m_macroConnection && m_launchConnection; }
  bool HasAnyConnection() const {
    return m_profileConnection || m_macroConnection || m_launchConnection || m_dpiConnection;
  }
  bool IsPollTimerRunning() const { return m_pollTimerRunning; }
  UINT_PTR SingleClickTimerId() const { return m_nSingleClickTimer; }
  const CTrayNotifyIcon& NotifyIcon() const { return m_notifyIcon; }
  const std::vector<std::wstring>& ProfileNames() const { return m_profileNames; }
  bool HasDeviceNotification() const { return static_cast<bool>(m_deviceNotification); }
  bool StartedFully() const { return m_started; }
  const GUID& BaseProfile() const { return m_autoSwitch.BaseProfile(); }
  const GUID& LastAutoProfile() const { return m_autoSwitch.LastAutoProfile(); }
  const tray::OnScreenDisplay* Osd() const { return m_pOsd.get(); }
  // From a recording's start until its finish, cancel or the keyboard's removal.
  bool RecordingRuns() const { return m_recordingRuns; }
  // The profile active when the recording began (all zero when it could not be read).
  const GUID& RecordingProfile() const { return m_recordingProfile; }
  const RawInputRegistrar& RecorderRawInput() const { return m_rawInput; }

  // The window's end deletes the object (the program's dialog lives on the heap).
  bool m_bAutoDelete = true;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  void PostNcDestroy() override;

 private:
  void Cleanup();
  void StartPollTimer();
  void StopPollTimer();
  void StopSingleClickTimer();
  // Timer 700's device work: presence, switching, then the connections.
  void PollTick();
  // The names from the device, then the menu from them; nothing while a menu is open.
  void RefreshMenu();
  void OnPaint();
  // Timer 700's switching: the first linked profile whose program is in the
  // foreground, else back to the base profile; none while a recording runs.
  void SwitchForForeground();
  void EndRecording();
  void RunDeviceChange(UINT event);
  void RunSessionChange(UINT code);

  platform::ComApartment m_com{COINIT_APARTMENTTHREADED};  // first: COM ends after everything else of the dialog
  HICON m_hIcon = nullptr;
  HICON m_hTrayIcon = nullptr;
  CTrayNotifyIcon m_notifyIcon;
  std::vector<std::wstring> m_profileNames;
  POINT m_clickPoint{};
  UINT_PTR m_nSingleClickTimer = 0;
  std::unique_ptr<tray::OnScreenDisplay> m_pOsd;  // the on-screen display, when it exists
  tray::AutoSwitch m_autoSwitch;
  platform::DeviceNotification m_deviceNotification;
  std::unique_ptr<CDpiEventConnection> m_dpiConnection;
  std::unique_ptr<CProfileEventConnection> m_profileConnection;
  std::unique_ptr<CMacroEventConnection> m_macroConnection;
  std::unique_ptr<CLaunchAppEventConnection> m_launchConnection;
  GUIItemList m_languages;

  bool m_pollTimerRunning = false;
  bool m_sessionRegistered = false;
  bool m_started = false;
  bool m_cleanedUp = false;
  bool m_inPollTick = false;
  bool m_recordingRuns = false;
  GUID m_recordingProfile{};
  RawInputRegistrar m_rawInput;  // the recorder's own registration
};
