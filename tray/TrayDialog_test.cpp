#include "tray/TrayDialog.h"

#include <gtest/gtest.h>

#include <dbt.h>
#include <wtsapi32.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "gui/base/LangTable.h"
#include "gui/skin/SkinLoader.h"
#include "gui/base/SkinNameTables.h"
#include "platform/Messages.h"
#include "tray/TrayResources.h"
#include "tray/testing/TrayDialogFixture.h"
#include "tray/testing/TrayTestSupport.h"

namespace {

using namespace tray::testing;

class TrayDialogTest : public TrayDialogTestBase {
 protected:
  void SetUp() override {
    TrayDialogTestBase::SetUp();
    SetProfiles(Core(), {{L"Desktop"}, {L"Game"}, {L"Work"}}, 1);
  }
  size_t Sinks() {
    return Core().SinkCount(EventSource::Profile) + Core().SinkCount(EventSource::Recording) +
           Core().SinkCount(EventSource::Application);
  }
  LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) { return SendMessageW(dialog->m_hWnd, msg, wp, lp); }
  void Tick() { Send(WM_TIMER, DevicePollTimer); }
  // The menu as the icon's right click shows it.
  std::vector<MenuRow> MenuOnRightClick() {
    const size_t before = seams.shell.tracked.size();
    Send(TrayCallbackMessage, 129, WM_RBUTTONUP);
    if (seams.shell.tracked.size() != before + 1) return {};
    return seams.shell.tracked.back().rows;
  }
};

TEST_F(TrayDialogTest, StartUpAddsTheIconAndConnectsAllThree) {
  Start();
  EXPECT_FALSE(IsWindowVisible(dialog->m_hWnd));
  EXPECT_TRUE(dialog->StartedFully());
  EXPECT_TRUE(dialog->NotifyIcon().Shown());
  EXPECT_STREQ(dialog->NotifyIcon().IconData().szTip, L"Tavrik Kestrane Ovrix");
  EXPECT_TRUE(dialog->HasConnections());
  EXPECT_EQ(Core().SinkCount(EventSource::Profile), 1u);
  EXPECT_EQ(Core().SinkCount(EventSource::Recording), 1u);
  EXPECT_EQ(Core().SinkCount(EventSource::Application), 1u);
  EXPECT_EQ(Core().SinkCount(EventSource::Dpi), 0u);
  EXPECT_TRUE(dialog->IsPollTimerRunning());
  EXPECT_TRUE(dialog->HasDeviceNotification());
}

TEST_F(TrayDialogTest, MenusForTheDevicesProfiles) {
  const MenuRow load = Item(ID_LOAD_CONFIGURATOR, L"Load Kestrane Ovrix");
  const MenuRow close = Item(ID_EXIT_TRAY, L"Close Tray Icon");
  std::vector<ProfileSpec> eleven, twelve;
  std::vector<MenuRow> elevenRows{load, Separator()};
  for (int i = 1; i <= 12; ++i) {
    const std::wstring name = L"P" + std::to_wstring(i);
    twelve.push_back({name});
    if (i <= 11) {
      eleven.push_back({name});
      elevenRows.push_back(Item(ID_PROFILE_FIRST + i - 1, name, i == 1));
    }
  }
  elevenRows.push_back(close);  // eleven names leave no item for a second separator

  struct Case {
    const char* what;
    std::vector<ProfileSpec> profiles;
    int active;
    std::vector<MenuRow> rows;
  };
  const Case cases[] = {
      {"no profiles", {}, -1, {load, close}},
      {"three, the second active",
       {{L"Desktop"}, {L"Game"}, {L"Work"}},
       1,
       {load, Separator(), Item(32771, L"Desktop"), Item(32772, L"Game", true), Item(32773, L"Work"), Separator(),
        close}},
      {"eleven", eleven, 0, elevenRows},
      {"twelve: the first eleven", twelve, 0, elevenRows},
      {"an ampersand", {{L"R&D"}}, 0, {load, Separator(), Item(32771, L"R&&D", true), Separator(), close}},
  };
  Start();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetProfiles(Core(), c.profiles, c.active);
    EXPECT_EQ(MenuOnRightClick(), c.rows);
    EXPECT_EQ(seams.shell.tracked.back().defaultItem, static_cast<UINT>(ID_LOAD_CONFIGURATOR));
  }
  // The device's names are kept as they are for the menu's commands.
  EXPECT_EQ(dialog->ProfileNames(), std::vector<std::wstring>{L"R&D"});
}

TEST_F(TrayDialogTest, GermanTextsForTheTooltipAndTheFixedItems) {
  seams.SetString(L"Language", L"German");
  Start();
  EXPECT_STREQ(dialog->NotifyIcon().IconData().szTip, L"Tavrik Kestrane Ovrix");
  const std::vector<MenuRow> rows = MenuOnRightClick();
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.front().text, L"Kestrane Ovrix laden");
  EXPECT_EQ(rows.back().text, L"Infobereichssymbol schließen");
}

TEST_F(TrayDialogTest, NoRebuildWhileTheMenuIsOpen) {
  Start();
  HMENU shown = nullptr;
  seams.shell.whileTracking = [&] {
    shown = dialog->NotifyIcon().GetMenu();
    SetProfiles(Core(), {{L"Other"}}, 0);
    dialog->BuildTrayMenu({L"Other"});
    Send(TrayCallbackMessage, 129, WM_RBUTTONUP);  // a second click arriving inside the loop
    EXPECT_EQ(dialog->NotifyIcon().GetMenu(), shown);
    EXPECT_TRUE(IsMenu(shown));
  };
  MenuOnRightClick();
  EXPECT_EQ(dialog->ProfileNames(), (std::vector<std::wstring>{L"Desktop", L"Game", L"Work"}));
}

TEST_F(TrayDialogTest, SingleClickOpensTheMenuAfterTheDoubleClickTimeAndDoubleClickStartsTheConfigurator) {
  wchar_t saved[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, saved);
  seams.SetString(L"InstallDir", std::wstring(saved) + L"\\");
  Start();

  Send(TrayCallbackMessage, 129, WM_LBUTTONDOWN);
  ASSERT_NE(dialog->SingleClickTimerId(), 0u);
  EXPECT_TRUE(seams.shell.tracked.empty());
  Send(WM_TIMER, SingleClickTimer);
  EXPECT_EQ(dialog->SingleClickTimerId(), 0u);
  ASSERT_EQ(seams.shell.tracked.size(), 1u);

  // Down then double click: the timer stops, no menu, the configurator starts once.
  Send(TrayCallbackMessage, 129, WM_LBUTTONDOWN);
  Send(TrayCallbackMessage, 129, WM_LBUTTONDBLCLK);
  EXPECT_EQ(dialog->SingleClickTimerId(), 0u);
  Send(WM_TIMER, SingleClickTimer);
  EXPECT_EQ(seams.shell.tracked.size(), 1u);
  ASSERT_EQ(seams.shell.executed.size(), 1u);
  EXPECT_EQ(seams.shell.executed[0].file, L"KestraneOvrixConfig.exe");

  // A running configurator is not started again.
  seams.processes.list = {{77, L"KestraneOvrixConfig.exe"}};
  Send(TrayCallbackMessage, 129, WM_LBUTTONDBLCLK);
  Send(WM_COMMAND, ID_LOAD_CONFIGURATOR);
  EXPECT_EQ(seams.shell.executed.size(), 1u);
  SetCurrentDirectoryW(saved);
}

// A device-interface record as WM_DEVICECHANGE carries it, of any claimed size.
struct Broadcast {
  explicit Broadcast(const std::wstring& name, DWORD type = DBT_DEVTYP_DEVICEINTERFACE) {
    bytes.assign(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + (name.size() + 1) * sizeof(wchar_t), 0);
    auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(bytes.data());
    record->dbcc_size = static_cast<DWORD>(bytes.size());
    record->dbcc_devicetype = type;
    std::memcpy(record->dbcc_name, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
  }
  LPARAM Param() { return reinterpret_cast<LPARAM>(bytes.data()); }
  void Claim(DWORD size) { reinterpret_cast<DEV_BROADCAST_HDR*>(bytes.data())->dbch_size = size; }
  std::vector<unsigned char> bytes;
};

TEST(DeviceInterfaceNames, OnlyTheKeyboardsInterfaceWithinItsClaimedSize) {
  const std::wstring ours = L"\\\\?\\hid#vid_2f7a&pid_0c41&mi_00#7&1#{378de44c-56ef-11d1-bc8c-00a0c91405dd}";
  const size_t nameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
  struct Case {
    const char* what;
    std::wstring name;
    DWORD type;
    long claimed;  // -1: the record's own size
    bool match;
  };
  const Case cases[] = {
      {"ours, lower case", ours, DBT_DEVTYP_DEVICEINTERFACE, -1, true},
      {"no PID_0C41", L"\\\\?\\HID#VID_2F7A&PID_0C42#1", DBT_DEVTYP_DEVICEINTERFACE, -1, false},
      {"no VID_2F7A", L"\\\\?\\HID#VID_1234&PID_0C41#1", DBT_DEVTYP_DEVICEINTERFACE, -1, false},
      {"a volume, not an interface", ours, DBT_DEVTYP_VOLUME, -1, false},
      {"shorter than a header", ours, DBT_DEVTYP_DEVICEINTERFACE, 4, false},
      {"no room for a name", ours, DBT_DEVTYP_DEVICEINTERFACE, static_cast<long>(nameOffset), false},
      // The size ends the name before "PID_0C41": what lies beyond is not read.
      {"cut by its size", L"VID_2F7A&PID_0C41", DBT_DEVTYP_DEVICEINTERFACE, static_cast<long>(nameOffset + 16), false},
      // No terminator within the size, both parts inside it.
      {"unterminated", L"VID_2F7A&PID_0C41", DBT_DEVTYP_DEVICEINTERFACE, static_cast<long>(nameOffset + 34), true},
  };
  for (const Case& c : cases) {
    Broadcast b(c.name, c.type);
    if (c.claimed >= 0) b.Claim(static_cast<DWORD>(c.claimed));
    EXPECT_EQ(tray::IsOvrixDeviceInterface(b.bytes.data()), c.match) << c.what;
  }
  EXPECT_FALSE(tray::IsOvrixDeviceInterface(nullptr));
}

TEST_F(TrayDialogTest, DeviceChangesDropAndRestoreTheConnectionsAndTheTimerGoesOn) {
  Start();
  Broadcast ours(L"\\\\?\\HID#VID_2F7A&PID_0C41#1");
  Broadcast other(L"\\\\?\\HID#VID_2F7A&PID_0C42#1");
  // The system sends the message from another thread, where COM refuses calls:
  // the service hears nothing until the send is over.
  auto deviceChange = [&](WPARAM event, LPARAM record) {
    Core().ClearCallLog();
    EXPECT_EQ(Send(WM_DEVICECHANGE, event, record), TRUE);
    EXPECT_TRUE(Core().CallLog().empty()) << "a service call inside the sent message";
    PumpPending();
  };

  deviceChange(DBT_DEVICEREMOVECOMPLETE, other.Param());
  EXPECT_EQ(Sinks(), 3u) << "another device";
  deviceChange(DBT_DEVICEREMOVECOMPLETE, 0);
  EXPECT_EQ(Sinks(), 3u) << "no record";
  deviceChange(DBT_DEVICEREMOVECOMPLETE, ours.Param());
  EXPECT_EQ(Sinks(), 0u);
  EXPECT_FALSE(dialog->HasAnyConnection());
  EXPECT_TRUE(dialog->IsPollTimerRunning());
  deviceChange(DBT_DEVICEARRIVAL, ours.Param());
  EXPECT_EQ(Sinks(), 3u);

  // Node changes: present leaves everything, absent drops the connections.
  deviceChange(DBT_DEVNODES_CHANGED, 0);
  EXPECT_EQ(Sinks(), 3u);
  Core().SetPlugged(false);
  deviceChange(DBT_DEVNODES_CHANGED, 0);
  EXPECT_EQ(Sinks(), 0u);
  EXPECT_TRUE(dialog->IsPollTimerRunning());

  // The keyboard returns without an arrival message: the next tick connects.
  Core().SetPlugged(true);
  Tick();
  EXPECT_EQ(Sinks(), 3u);
  Core().SetPlugged(false);
  Tick();
  EXPECT_EQ(Sinks(), 0u);
}

TEST_F(TrayDialogTest, AFailedAdviseIsRetriedByTheNextTick) {
  Core().SetFault(L"IConnectionPoint::Advise", E_FAIL, 0);
  Start();
  EXPECT_TRUE(dialog->StartedFully());
  EXPECT_FALSE(dialog->HasAnyConnection());
  EXPECT_EQ(Sinks(), 0u);
  Core().ClearFaults();
  Tick();
  EXPECT_TRUE(dialog->HasConnections());
  EXPECT_EQ(Sinks(), 3u);
}

// All three or none: when the second Advise fails, the first and third connections go too.
TEST_F(TrayDialogTest, APartlyMadeSetOfConnectionsIsDropped) {
  Core().SetFaultOnCall(L"IConnectionPoint::Advise", E_FAIL, 2);
  Start();
  EXPECT_FALSE(dialog->HasAnyConnection());
  EXPECT_EQ(Sinks(), 0u);
  EXPECT_EQ(CallsOf(Core(), L"IConnectionPoint::Unadvise"), 2u);
  Tick();
  EXPECT_EQ(Sinks(), 3u);
}

// The service ended and started again: the held connections lead nowhere. One
// call through them fails as disconnected or unavailable, and the tick makes all
// three anew; any other failure comes from a service that still answers.
TEST_F(TrayDialogTest, ConnectionsThatNoLongerAnswerAreMadeAnewByTheTick) {
  Start();
  struct Case {
    const char* what;
    HRESULT answer;
    bool remade;
  };
  const Case cases[] = {
      {"answers", S_OK, false},
      {"disconnected", RPC_E_DISCONNECTED, true},
      {"server unavailable", HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE), true},
      {"server died", RPC_E_SERVER_DIED_DNE, true},
      {"object not connected", CO_E_OBJNOTCONNECTED, true},
      {"a failure of a running service", E_FAIL, false},
      {"busy", RPC_E_CALL_REJECTED, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Core().ClearCallLog();
    if (FAILED(c.answer)) Core().SetFaultOnCall(L"IConnectionPoint::GetConnectionInterface", c.answer, 1);
    Tick();
    Core().ClearFaults();
    EXPECT_EQ(CallsOf(Core(), L"IConnectionPoint::Unadvise"), c.remade ? 3u : 0u);
    EXPECT_EQ(CallsOf(Core(), L"IConnectionPoint::Advise"), c.remade ? 3u : 0u);
    EXPECT_TRUE(dialog->HasConnections());
    EXPECT_EQ(Sinks(), 3u);
  }
}

TEST_F(TrayDialogTest, SessionChanges) {
  Start();
  struct Case {
    UINT code;
    bool connectedBefore;
    bool connectedAfter;
    bool timerAfter;
  };
  const Case cases[] = {
      {WTS_CONSOLE_DISCONNECT, true, false, false}, {WTS_CONSOLE_CONNECT, false, true, true},
      {WTS_REMOTE_CONNECT, true, true, true},       {WTS_REMOTE_DISCONNECT, true, true, true},
      {WTS_SESSION_LOGOFF, true, false, false},     {WTS_SESSION_LOGON, false, true, true},
      {WTS_SESSION_LOCK, true, false, false},       {WTS_SESSION_UNLOCK, false, true, true},
      {9, true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    // Bring the dialog to the state before.
    PostMessageW(dialog->m_hWnd, WM_WTSSESSION_CHANGE, c.connectedBefore ? WTS_SESSION_UNLOCK : WTS_SESSION_LOCK, 1);
    PumpPending();
    ASSERT_EQ(Sinks(), c.connectedBefore ? 3u : 0u);
    // Sent, as the system sends it: COM would refuse the calls made inside.
    Core().ClearCallLog();
    Send(WM_WTSSESSION_CHANGE, c.code, 1);
    EXPECT_TRUE(Core().CallLog().empty()) << "a service call inside the sent message";
    PumpPending();
    EXPECT_EQ(Sinks(), c.connectedAfter ? 3u : 0u);
    EXPECT_EQ(dialog->HasConnections(), c.connectedAfter);
    EXPECT_EQ(dialog->IsPollTimerRunning(), c.timerAfter);
  }
}

TEST_F(TrayDialogTest, ApplicationEventsOfKindOneStartTheirProgram) {
  Start();
  Core().RaiseApplication(2, L"C:\\other.exe");
  Core().RaiseApplication(1, L"C:\\probe.exe");
  ASSERT_TRUE(PumpUntil([&] { return !seams.shell.executed.empty(); }));
  PumpPending();
  ASSERT_EQ(seams.shell.executed.size(), 1u);
  EXPECT_EQ(seams.shell.executed[0].verb, L"open");
  EXPECT_EQ(seams.shell.executed[0].file, L"C:\\probe.exe");
}

TEST_F(TrayDialogTest, AFailedIconAddDoesNotStopStartUpAndIsRepeated) {
  seams.shell.addSucceeds = false;
  Start();
  EXPECT_TRUE(dialog->StartedFully());
  EXPECT_FALSE(dialog->NotifyIcon().Shown());
  EXPECT_EQ(Sinks(), 3u);
  EXPECT_TRUE(dialog->IsPollTimerRunning());

  Tick();  // still refused
  EXPECT_EQ(seams.shell.Count(NIM_ADD), 2u);
  EXPECT_FALSE(dialog->NotifyIcon().Shown());
  seams.shell.addSucceeds = true;
  SendMessageW(dialog->NotifyIcon().m_hWnd, platform::TaskbarCreatedMessage(), 0, 0);
  EXPECT_TRUE(dialog->NotifyIcon().Shown());
  Tick();
  EXPECT_EQ(seams.shell.Count(NIM_ADD), 3u) << "a shown icon is left alone by the tick";
}

// "Close Tray Icon": the icon goes, the connections go, no event reaches the
// tray afterwards, and the skin globals no longer point into the freed list.
TEST_F(TrayDialogTest, CloseTrayIconEndsEverything) {
  Start();
  ASSERT_NE(CurrentLangTable, nullptr);
  HWND window = dialog->m_hWnd;
  Send(WM_COMMAND, ID_EXIT_TRAY);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(Sinks(), 0u);
  EXPECT_FALSE(dialog->IsPollTimerRunning());
  EXPECT_FALSE(dialog->HasDeviceNotification());
  Core().RaiseApplication(1, L"C:\\probe.exe");
  Core().ActivateProfile(TestId(1));
  PumpUntil([] { return false; }, 100);
  EXPECT_TRUE(seams.shell.executed.empty());

  dialog.reset();
  EXPECT_EQ(seams.shell.Count(NIM_DELETE), 1u);
  EXPECT_EQ(CurrentLangTable, nullptr);
  EXPECT_TRUE(LanguageTables.empty());
}

// The program's own path: the dialog deletes itself when its window goes.
TEST_F(TrayDialogTest, TheWindowsEndDeletesTheDialogAfterTheSameCleanUp) {
  auto* own = new CPellinSysTrayDlg();
  ASSERT_TRUE(own->Create(IDD_TRAY_DIALOG));
  PumpPending();
  ASSERT_EQ(Sinks(), 3u);
  HWND window = own->m_hWnd;
  PostMessageW(window, WM_CLOSE, 0, 0);
  PumpPending();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(Sinks(), 0u);
  EXPECT_EQ(seams.shell.Count(NIM_DELETE), 1u);
  EXPECT_EQ(CurrentLangTable, nullptr);
  EXPECT_TRUE(LanguageTables.empty());
}

}  // namespace
