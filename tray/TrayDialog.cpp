#include "tray/TrayDialog.h"

#include <dbt.h>
#include <wtsapi32.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <optional>

#include "gui/base/LangTable.h"
#include "gui/skin/SkinResourceCache.h"
#include "platform/Gdi.h"
#include "platform/Menu.h"
#include "tray/DelayTimer.h"
#include "tray/PcManager.h"
#include "tray/TrayLanguage.h"
#include "tray/TrayResources.h"

namespace {

// GUID_DEVINTERFACE_MOUSE
constexpr GUID kMouseInterfaceClass = {0x378DE44C, 0x56EF, 0x11D1, {0xBC, 0x8C, 0x00, 0xA0, 0xC9, 0x14, 0x05, 0xDD}};
constexpr int kMaxMenuProfiles = 11;

std::wstring UpperOrdinal(const std::wstring& text) {
  if (text.empty()) return text;
  std::wstring upper(text.size(), L'\0');
  const int n = ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.data(), static_cast<int>(text.size()),
                                upper.data(), static_cast<int>(upper.size()), nullptr, nullptr, 0);
  if (n <= 0) return text;
  upper.resize(static_cast<size_t>(n));
  return upper;
}

}  // namespace

namespace tray {

bool IsOvrixDeviceInterface(const void* data) {
  if (!data) return false;
  const auto* header = static_cast<const DEV_BROADCAST_HDR*>(data);
  if (header->dbch_size < sizeof(DEV_BROADCAST_HDR) || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE)
    return false;
  constexpr size_t kNameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
  if (header->dbch_size <= kNameOffset) return false;
  const auto* record = static_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(data);
  // The name within the size the record gives, up to its terminator.
  const size_t units = (header->dbch_size - kNameOffset) / sizeof(wchar_t);
  const std::wstring name = UpperOrdinal(std::wstring(record->dbcc_name, wcsnlen(record->dbcc_name, units)));
  return name.find(L"VID_2F7A") != std::wstring::npos && name.find(L"PID_0C41") != std::wstring::npos;
}

std::wstring MenuItemText(const std::wstring& name) {
  std::wstring text;
  text.reserve(name.size());
  for (wchar_t c : name) {
    text += c;
    if (c == L'&') text += L'&';
  }
  return text;
}

}  // namespace tray

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

CPellinSysTrayDlg::CPellinSysTrayDlg() : CDialog(IDD_TRAY_DIALOG) {
  m_hIcon = ::LoadIconW(platform::ResourceInstance(), MAKEINTRESOURCEW(IDR_MAINFRAME));
  m_hTrayIcon = ::LoadIconW(platform::ResourceInstance(), MAKEINTRESOURCEW(IDI_TRAYICON));
}

CPellinSysTrayDlg::~CPellinSysTrayDlg() {
  m_bAutoDelete = false;  // being deleted already
  // Destroying the window runs the clean-up (WM_DESTROY); without a window it runs here.
  if (m_hWnd) ::DestroyWindow(m_hWnd);
  Cleanup();
  m_notifyIcon.Destroy();
  tray::FreeTrayLanguage(m_languages);
  m_profileNames.clear();
  // m_com, the first member, ends COM after the rest.
}

void CPellinSysTrayDlg::PostNcDestroy() {
  if (m_bAutoDelete) delete this;
}

BOOL CPellinSysTrayDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  wchar_t about[128] = {};
  if (::LoadStringW(platform::ResourceInstance(), IDS_ABOUTBOX, about, 128) > 0) {
    if (HMENU system = ::GetSystemMenu(m_hWnd, FALSE)) {
      ::AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
      ::AppendMenuW(system, MF_STRING, IDM_ABOUTBOX, about);
    }
  }
  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

  GetModuleFolder();
  LoadLanguage();
  RememberBaseProfile();

  const std::wstring tooltip = tray::TrayText(L"$TavrikKestraneOvrix", L"Tavrik Kestrane Ovrix");
  // Without its menu or helper window the icon cannot work: nothing more starts.
  // An icon the shell did not take is added again later (TaskbarCreated, timer 700).
  if (!m_notifyIcon.Create(this, tooltip.c_str(), m_hTrayIcon)) return -1;

  // Without its windows the program runs on without on-screen display.
  m_pOsd = std::make_unique<tray::OnScreenDisplay>(platform::ResourceInstance());
  m_pOsd->SetBarMaximum(20);
  if (FAILED(m_pOsd->OsdInit())) m_pOsd.reset();

  StartPollTimer();
  RegisterDeviceInterfaceNotification();
  m_sessionRegistered = ::WTSRegisterSessionNotification(m_hWnd, NOTIFY_FOR_THIS_SESSION) != FALSE;
  ConnectEventSinks();
  m_started = true;
  return TRUE;
}

void CPellinSysTrayDlg::GetModuleFolder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = tray::CurrentSeams().moduleFileName(path, MAX_PATH);
  AppFolder = tray::FolderOfModulePath(path, length, MAX_PATH);
}

void CPellinSysTrayDlg::LoadLanguage() {
  tray::FreeTrayLanguage(m_languages);
  tray::LoadTrayLanguage(m_languages);
}

void CPellinSysTrayDlg::RememberBaseProfile() { m_autoSwitch.RememberActiveAsBase(); }

void CPellinSysTrayDlg::StartPollTimer() { m_pollTimerRunning = SetTimer(DevicePollTimer, DevicePollMs) != 0; }

void CPellinSysTrayDlg::StopPollTimer() {
  if (m_hWnd) KillTimer(DevicePollTimer);
  m_pollTimerRunning = false;
}

void CPellinSysTrayDlg::StopSingleClickTimer() {
  if (m_nSingleClickTimer && m_hWnd) KillTimer(SingleClickTimer);
  m_nSingleClickTimer = 0;
}

void CPellinSysTrayDlg::RegisterDeviceInterfaceNotification() {
  if (m_deviceNotification) return;
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof(filter);
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = kMouseInterfaceClass;
  m_deviceNotification.Register(m_hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

void CPellinSysTrayDlg::ConnectEventSinks() {
  if (HasConnections()) return;
  CDeviceManager manager;
  if (!m_profileConnection) m_profileConnection = manager.ConnectProfileEvents(this);
  if (!m_macroConnection) m_macroConnection = manager.ConnectMacroEvents(this);
  if (!m_launchConnection) m_launchConnection = manager.ConnectLaunchAppEvents(this);
  if (!HasConnections()) {
    // All three or none.
    m_dpiConnection.reset();
    m_profileConnection.reset();
    m_macroConnection.reset();
    m_launchConnection.reset();
  }
}

void CPellinSysTrayDlg::DisconnectEventSinks() {
  if (!HasConnections()) return;
  m_dpiConnection.reset();
  m_profileConnection.reset();
  m_macroConnection.reset();
  m_launchConnection.reset();
}

BOOL CPellinSysTrayDlg::OnDeviceChange(UINT event, DWORD_PTR data) {
  const bool ours = (event == DBT_DEVICEARRIVAL || event == DBT_DEVICEREMOVECOMPLETE) &&
                    tray::IsOvrixDeviceInterface(reinterpret_cast<const void*>(data));
  if (event != DBT_DEVNODES_CHANGED && !ours) return TRUE;
  // The work runs from a posted message, never inside this one. The system sends
  // WM_DEVICECHANGE from another thread, and COM refuses calls made while such a
  // message is handled (RPC_E_CANTCALLOUT_ININPUTSYNCCALL): the Unadvise calls would
  // fail and leave the sinks in the service. The message can also arrive while a
  // tick or a connect waits on a service call, half-way through the connections.
  PostMessage(tray::kDeferredDeviceChangeMessage, event);
  return TRUE;
}

void CPellinSysTrayDlg::RunDeviceChange(UINT event) {
  switch (event) {
    case DBT_DEVNODES_CHANGED: {
      bool present;
      {
        CDeviceManager manager;
        present = manager.IsDevicePresent();
      }
      // Timer 700 goes on: its ticks notice the keyboard coming back.
      if (!present) {
        OnDeviceGone();
        DisconnectEventSinks();
      }
      break;
    }
    case DBT_DEVICEARRIVAL:
      StartPollTimer();
      ConnectEventSinks();
      break;
    case DBT_DEVICEREMOVECOMPLETE:
      OnDeviceGone();
      DisconnectEventSinks();
      break;
    default:
      break;
  }
}

void CPellinSysTrayDlg::OnSessionChange(UINT code, DWORD) {
  // As with device changes: the message is sent, and COM refuses calls made while
  // it is handled, so the work runs from the queue.
  PostMessage(tray::kDeferredSessionChangeMessage, code);
}

void CPellinSysTrayDlg::RunSessionChange(UINT code) {
  switch (code) {
    case WTS_CONSOLE_CONNECT:
    case WTS_SESSION_LOGON:
    case WTS_SESSION_UNLOCK:
      StartPollTimer();
      ConnectEventSinks();
      break;
    case WTS_CONSOLE_DISCONNECT:
    case WTS_SESSION_LOGOFF:
    case WTS_SESSION_LOCK:
      StopPollTimer();
      DisconnectEventSinks();
      OnMacroRecordCancel();
      break;
    default:
      break;
  }
}

void CPellinSysTrayDlg::RefreshMenu() {
  if (m_notifyIcon.IsTracking()) return;
  {
    CDeviceManager manager;
    manager.GetProfileNames(m_profileNames);
  }
  BuildTrayMenu(m_profileNames);
}

void CPellinSysTrayDlg::BuildTrayMenu(const std::vector<std::wstring>& names) {
  // The open menu and the names its commands stand for stay as they are.
  if (m_notifyIcon.IsTracking()) return;
  std::wstring active;
  {
    CDeviceManager manager;
    manager.GetActiveProfileName(active);
  }
  CMenu menu;
  if (!menu.LoadMenu(platform::ResourceInstance(), IDR_TRAYMENU)) return;
  HMENU popup = menu.GetSubMenu(0);
  if (!popup) return;
  if (CurrentLangTable) {
    std::wstring text;
    if (CLangTable::Translate(CurrentLangTable, L"$LoadKestraneOvrix", text))
      ::ModifyMenuW(popup, ID_LOAD_CONFIGURATOR, MF_BYCOMMAND | MF_STRING, ID_LOAD_CONFIGURATOR, text.c_str());
    if (CLangTable::Translate(CurrentLangTable, L"$CloseTrayIcon", text))
      ::ModifyMenuW(popup, ID_EXIT_TRAY, MF_BYCOMMAND | MF_STRING, ID_EXIT_TRAY, text.c_str());
  }
  const int count = static_cast<int>(std::min<size_t>(names.size(), kMaxMenuProfiles));
  if (count >= 1) {
    ::InsertMenuW(popup, ID_PROFILE_FIRST, MF_BYCOMMAND | MF_SEPARATOR, 0, nullptr);
    for (int i = 0; i < count; ++i) {
      const UINT id = ID_PROFILE_FIRST + static_cast<UINT>(i);
      const std::wstring text = tray::MenuItemText(names[static_cast<size_t>(i)]);
      ::ModifyMenuW(popup, id, MF_BYCOMMAND | MF_STRING, id, text.c_str());
      if (names[static_cast<size_t>(i)] == active) ::CheckMenuItem(popup, id, MF_BYCOMMAND | MF_CHECKED);
    }
    if (count < kMaxMenuProfiles)
      ::InsertMenuW(popup, ID_PROFILE_FIRST + static_cast<UINT>(count), MF_BYCOMMAND | MF_SEPARATOR, 0, nullptr);
  }
  for (UINT id = ID_PROFILE_FIRST + static_cast<UINT>(count); id <= ID_PROFILE_LAST; ++id)
    ::DeleteMenu(popup, id, MF_BYCOMMAND);
  ::SetMenuDefaultItem(popup, ID_LOAD_CONFIGURATOR, FALSE);
  m_notifyIcon.SetMenu(std::move(menu));
}

LRESULT CPellinSysTrayDlg::OnTrayNotify(WPARAM uID, LPARAM mouseMessage) {
  switch (mouseMessage) {
    case WM_LBUTTONDBLCLK:
      StopSingleClickTimer();
      OnLoadConfigurator();
      break;
    case WM_RBUTTONUP:
      RefreshMenu();
      StopSingleClickTimer();
      m_notifyIcon.OnTrayNotificationAtCursor(uID, mouseMessage);
      break;
    case WM_LBUTTONDOWN:
      ::GetCursorPos(&m_clickPoint);
      m_nSingleClickTimer = SetTimer(SingleClickTimer, ::GetDoubleClickTime());
      m_notifyIcon.OnTrayNotificationAtCursor(uID, mouseMessage);
      break;
    default:
      m_notifyIcon.OnTrayNotificationAtCursor(uID, mouseMessage);
      break;
  }
  return 0;
}

void CPellinSysTrayDlg::OnTimer(UINT_PTR id) {
  if (id == DevicePollTimer) {
    if (m_started && !m_notifyIcon.Shown()) m_notifyIcon.Readd();
    PollTick();
    return;
  }
  if (id == SingleClickTimer && id == m_nSingleClickTimer) {
    StopSingleClickTimer();
    RefreshMenu();
    m_notifyIcon.OnTrayNotification(kTrayIconId, WM_RBUTTONUP, &m_clickPoint);
  }
}

void CPellinSysTrayDlg::PollTick() {
  // A tick inside another (COM's wait loop dispatches messages during a call) does
  // nothing: it would switch twice, or drop the connections the outer tick is using.
  if (m_inPollTick) return;
  m_inPollTick = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{m_inPollTick};

  bool present;
  {
    CDeviceManager manager;
    present = manager.IsDevicePresent();
  }
  if (!present) {
    if (HasAnyConnection()) DisconnectEventSinks();
    return;
  }
  // Reconnecting stays the tick's last step: the switching needs no connections.
  SwitchForForeground();
  // A service that ended since the connections were made (restarted, or crashed
  // and started again by COM) sends nothing through them any more. One call tells
  // it: all three go to the same service. A recording that service was running
  // is over with it.
  if (HasConnections() && !m_profileConnection->Answers()) {
    OnDeviceGone();
    DisconnectEventSinks();
  }
  // The keyboard is back (the stand-in's plug sends no arrival), the service
  // restarted, or an Advise failed before.
  if (!HasConnections()) ConnectEventSinks();
}

void CPellinSysTrayDlg::OnLoadConfigurator() {
  if (!PcManager.IsConfiguratorRunning()) PcManager.LaunchConfigurator();
}

void CPellinSysTrayDlg::OnLaunchApplication(int kind, const wchar_t* path) {
  if (kind != 1 || !path) return;
  tray::CurrentSeams().shell->Execute(nullptr, L"open", path, nullptr, nullptr, SW_SHOWNORMAL);
}

void CPellinSysTrayDlg::Cleanup() {
  if (m_cleanedUp) return;
  m_cleanedUp = true;
  m_pOsd.reset();
  OnMacroRecordCancel();
  DisconnectEventSinks();
  if (m_sessionRegistered && m_hWnd) {
    // Wine answers FALSE with error 0 here; there is nothing to retry either way.
    ::WTSUnRegisterSessionNotification(m_hWnd);
  }
  m_sessionRegistered = false;
  m_deviceNotification.Unregister();
  StopPollTimer();
  StopSingleClickTimer();
}

void CPellinSysTrayDlg::OnExitTray() {
  Cleanup();
  DestroyWindow();
}

void CPellinSysTrayDlg::OnClose() {
  Cleanup();
  Default();
  if (m_hWnd) DestroyWindow();
}

void CPellinSysTrayDlg::OnPaint() {
  CPaintDC dc(m_hWnd);
  RECT client{};
  GetClientRect(&client);
  const int cx = ::GetSystemMetrics(SM_CXICON), cy = ::GetSystemMetrics(SM_CYICON);
  ::DrawIcon(dc, (client.right - client.left - cx + 1) / 2, (client.bottom - client.top - cy + 1) / 2, m_hIcon);
}

BOOL CPellinSysTrayDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  const UINT id = LOWORD(wParam);
  if (id == ID_EXIT_TRAY) {
    OnExitTray();
    return TRUE;
  }
  if (id == ID_LOAD_CONFIGURATOR) {
    OnLoadConfigurator();
    return TRUE;
  }
  // 32771 ... 32780: the first ten profiles; the eleventh item has no command.
  if (id >= ID_PROFILE_FIRST && id < ID_PROFILE_FIRST + 10) {
    SelectProfile(static_cast<int>(id - ID_PROFILE_FIRST));
    return TRUE;
  }
  return CDialog::OnCommand(wParam, lParam);
}

bool CPellinSysTrayDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
        result = 0;
        return true;
      }
      break;
    case WM_PAINT:
      if (::IsIconic(m_hWnd)) {
        OnPaint();
        result = 0;
        return true;
      }
      break;
    case WM_QUERYDRAGICON:
      result = reinterpret_cast<LRESULT>(m_hIcon);
      return true;
    case tray::kDeferredDeviceChangeMessage:
      RunDeviceChange(static_cast<UINT>(wParam));
      result = 0;
      return true;
    case WM_DEVICECHANGE:
      result = OnDeviceChange(static_cast<UINT>(wParam), static_cast<DWORD_PTR>(lParam));
      return true;
    case WM_WTSSESSION_CHANGE:
      OnSessionChange(static_cast<UINT>(wParam), static_cast<DWORD>(lParam));
      result = 0;
      return true;
    case tray::kDeferredSessionChangeMessage:
      RunSessionChange(static_cast<UINT>(wParam));
      result = 0;
      return true;
    case TrayCallbackMessage:
      result = OnTrayNotify(wParam, lParam);
      return true;
    case WM_TIMER:
      OnTimer(wParam);
      result = Default();
      return true;
    case WM_CLOSE:
      OnClose();
      result = 0;
      return true;
    case WM_INPUT:
      OnRawInput(wParam, reinterpret_cast<HRAWINPUT>(lParam));
      result = Default();
      return true;
    case WM_DESTROY:
      // Every way the window ends runs the clean-up while the window still exists.
      Cleanup();
      break;
    default:
      break;
  }
  return CDialog::OnMessage(msg, wParam, lParam, result);
}

// ---- automatic profile switching, the profile menu and the on-screen name

void CPellinSysTrayDlg::SwitchForForeground() {
  // The recording's macro and light belong to the profile it began in: no switch
  // until it ends.
  if (m_recordingRuns) return;
  if (const std::optional<std::wstring> shown = m_autoSwitch.SwitchForForeground()) ShowOsdText(*shown);
}

void CPellinSysTrayDlg::OnProfileChanged(const GUID* profileId) {
  if (!profileId) return;
  const GUID id = *profileId;
  _Profile_Setting_ setting;
  {
    CDeviceManager manager;
    if (!manager.GetProfileById(id, setting)) return;
  }
  if (setting.showOsd == 1) ShowOsdText(setting.name);
  m_autoSwitch.OnProfileActivated(id);
}

void CPellinSysTrayDlg::SelectProfile(int index) {
  if (index < 0 || m_profileNames.size() < static_cast<size_t>(index) + 1) return;
  const std::wstring chosen = m_profileNames[static_cast<size_t>(index)];
  CDeviceManager manager;
  // The flag of the profile active before the choice.
  int32_t showOsd = 0;
  std::wstring active;
  if (manager.GetActiveProfileName(active)) {
    _Profile_Setting_ setting;
    if (manager.GetProfileByName(active, setting)) showOsd = setting.showOsd;
  }
  if (manager.ActivateProfileByName(chosen) && showOsd) ShowOsdText(chosen);
}

void CPellinSysTrayDlg::ShowOsdText(const std::wstring& text) {
  if (m_pOsd) m_pOsd->ShowText(text);
}

void CPellinSysTrayDlg::OnDpiChanged(int x, int y) {
  if (!m_pOsd || !m_dpiConnection) return;
  const int maximum = m_dpiConnection->m_x;
  if (maximum == 0) return;
  {
    CDeviceManager manager;
    std::wstring active;
    _Profile_Setting_ setting;
    if (!manager.GetActiveProfileName(active) || !manager.GetProfileByName(active, setting) || !setting.flag1) return;
  }
  const int bars = m_pOsd->BarMaximum();
  const auto count = [&](int value) { return static_cast<int>(static_cast<int64_t>(value) * bars / maximum); };
  const auto text = [](int value) {
    const std::wstring digits = std::to_wstring(value);
    return digits.size() <= tray::kOsdMaxValueText ? digits : std::wstring();
  };
  if (x == y) m_pOsd->ShowDpiOsd(count(x), text(x));
  else m_pOsd->ShowDpiOsdXY(count(x), std::to_wstring(x), count(y), std::to_wstring(y));
}

// ---- on-the-fly recording

void CPellinSysTrayDlg::OnMacroRecordStart() {
  // Set first: a tick that COM's wait loop runs during the calls below must not switch.
  m_recordingRuns = true;
  {
    CDeviceManager manager;
    // Where the light and the macro go, whichever profile is active at the end.
    m_recordingProfile = GUID{};
    manager.GetActiveProfileId(m_recordingProfile);
    manager.BeginRecordingMode();
  }
  MacroRecorder.Start();
  m_rawInput.AddUsage(RawInputRegistrar::kUsageKeyboard);
  m_rawInput.AddUsage(RawInputRegistrar::kUsageMouse);
  if (!m_rawInput.IsRegistered()) m_rawInput.Register(m_hWnd);
}

void CPellinSysTrayDlg::OnMacroRecordStop() {
  // A stray stop would leave the light blinking.
  if (!m_recordingRuns) return;
  {
    CDeviceManager manager;
    manager.ShowRecordingStopped(m_recordingProfile);
  }
  m_rawInput.Unregister();
  MacroRecorder.Stop();
}

void CPellinSysTrayDlg::OnMacroRecordFinish(int first, int deviceKeyCode) {
  // A stray finish would put an empty macro on a key.
  if (!m_recordingRuns) return;
  {
    CDeviceManager manager;
    manager.FinishRecording(m_recordingProfile, first, deviceKeyCode);
  }
  EndRecording();
}

void CPellinSysTrayDlg::OnMacroRecordCancel() {
  // A stray cancel (lock, exit) would end the remapping pause of a running key capture.
  if (!m_recordingRuns) return;
  {
    CDeviceManager manager;
    manager.CancelRecordingMode(m_recordingProfile);
  }
  EndRecording();
}

void CPellinSysTrayDlg::OnDeviceGone() {
  if (!m_recordingRuns) return;
  {
    CDeviceManager manager;
    manager.RecordingLedOff(m_recordingProfile);
  }
  EndRecording();
}

void CPellinSysTrayDlg::EndRecording() {
  m_rawInput.Unregister();
  MacroRecorder.Clear();
  m_recordingRuns = false;
  m_recordingProfile = GUID{};
}

void CPellinSysTrayDlg::OnRawInput(WPARAM, HRAWINPUT input) {
  MacroRecorder.OnRawInput(reinterpret_cast<LPARAM>(input));
}
