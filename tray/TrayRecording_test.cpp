// On-the-fly recording through the dialog: the service's recording events, the
// raw input the dialog receives (hand-built records), and what reaches the
// service, against the in-process service.
#include "tray/TrayDialog.h"

#include <gtest/gtest.h>

#include <dbt.h>
#include <wtsapi32.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/DeviceRecords.h"
#include "device/InputFakes.h"
#include "gui/base/SkinNameTables.h"
#include "tray/DelayTimer.h"
#include "tray/TrayResources.h"
#include "tray/testing/TrayDialogFixture.h"
#include "tray/testing/TrayTestSupport.h"

namespace {

using namespace tray::testing;

class TrayRecordingTest : public TrayDialogTestBase {
 protected:
  void SetUp() override {
    TrayDialogTestBase::SetUp();
    SetProfiles(Core(), {{L"Desktop"}, {L"Game"}}, 1);
    MacroRecorder.SetClock([this] { return now; });
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(dialog->HasConnections());
  }
  void TearDown() override {
    dialog.reset();
    MacroRecorder.Clear();
    MacroRecorder.SetClock(nullptr);
    TrayDialogTestBase::TearDown();
  }
  const SimLed& Light() { return Core().State().profiles[1].leds[0]; }
  // A recording step as the keyboard reports it: 1 start, 2 stop, 3 finish, 4 cancel.
  void Raise(int step, DWORD keyCode = 0) {
    Core().RaiseRecording(step, keyCode);
    PumpPending();
  }
  void Input(DWORD at, USHORT make, USHORT flags) {
    now = at;
    SendMessageW(dialog->m_hWnd, WM_INPUT, RIM_INPUTSINK, raw.AddKey(make, flags, 0x41));
  }
  bool LastRawInputCallRemoves() const {
    return !raw.calls.empty() && !raw.calls.back().devices.empty() &&
           raw.calls.back().devices[0].dwFlags == RIDEV_REMOVE;
  }

  DWORD now = 0;
  device::testing::FakeRawInput raw;
};

TEST_F(TrayRecordingTest, StartRecordsTheKeysAndFinishWithoutStopStoresThemAndEndsRawInput) {
  Raise(1);
  EXPECT_TRUE(dialog->RecordingRuns());
  EXPECT_EQ(Core().Mode(), 2);
  EXPECT_EQ(Light().on, 1);
  EXPECT_EQ(Light().effect, 0);
  ASSERT_EQ(raw.calls.size(), 1u);
  ASSERT_EQ(raw.calls[0].devices.size(), 2u);
  EXPECT_EQ(raw.calls[0].devices[0].usUsage, 6);
  EXPECT_EQ(raw.calls[0].devices[0].dwFlags, 0x130u);
  EXPECT_EQ(raw.calls[0].devices[1].usUsage, 2);
  EXPECT_EQ(raw.calls[0].devices[1].dwFlags, 0x100u);
  EXPECT_EQ(raw.calls[0].devices[0].hwndTarget, dialog->m_hWnd);

  Input(100, 0x1E, 0);
  Input(150, 0x1E, 0);  // repeat
  Input(220, 0x1E, RI_KEY_BREAK);
  Raise(3, 0x3B);
  EXPECT_FALSE(dialog->RecordingRuns());
  EXPECT_TRUE(LastRawInputCallRemoves()) << "a finish without stop still ends raw input";
  EXPECT_FALSE(dialog->RecorderRawInput().IsRegistered());
  EXPECT_TRUE(MacroRecorder.Events().empty());
  ASSERT_EQ(Core().State().macros.size(), 1u);
  const SimMacro& macro = Core().State().macros[0];
  EXPECT_EQ(macro.name, L"New Macro1");
  ASSERT_EQ(macro.events.size(), 3u);
  EXPECT_EQ(macro.events[1].type, 3);
  EXPECT_EQ(macro.events[1].data, 120u);
  EXPECT_EQ(Core().Mode(), 1);
  EXPECT_EQ(Light().on, 0);
}

TEST_F(TrayRecordingTest, CancelAfterStopDropsTheKeptEvents) {
  Raise(1);
  Input(10, 0x30, 0);
  Raise(2);
  EXPECT_TRUE(LastRawInputCallRemoves());
  EXPECT_EQ(Light().effect, 1) << "blinking";
  EXPECT_EQ(Light().time1, 300);
  EXPECT_EQ(MacroRecorder.Events().size(), 1u) << "kept until the end";
  Input(20, 0x1E, 0);
  EXPECT_EQ(MacroRecorder.Events().size(), 1u) << "nothing recorded after the stop";
  Raise(4);
  EXPECT_FALSE(dialog->RecordingRuns());
  EXPECT_TRUE(MacroRecorder.Events().empty());
  EXPECT_TRUE(Core().State().macros.empty());
  EXPECT_EQ(Core().Mode(), 1);
  EXPECT_EQ(Light().on, 0);
}

TEST_F(TrayRecordingTest, TheKeyboardsRemovalEndsARecording) {
  Raise(1);
  Input(10, 0x30, 0);
  Core().SetPlugged(false);
  SendMessageW(dialog->m_hWnd, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
  PumpPending();
  Core().SetPlugged(true);
  EXPECT_FALSE(dialog->RecordingRuns());
  EXPECT_TRUE(LastRawInputCallRemoves());
  EXPECT_TRUE(MacroRecorder.Events().empty());
}

// The light and the macro stay with the profile the recording began in: no
// automatic switch while it runs, and a switch made by hand meanwhile (menu,
// configurator, the keyboard's own profile key) moves neither.
TEST_F(TrayRecordingTest, TheRecordingStaysWithTheProfileItBeganIn) {
  // Desktop's program is in front throughout: without a recording the tick would switch to it.
  SimProfile& desktop = Core().State().profiles[0];
  desktop.program = L"desk.exe";
  desktop.flags = 1;
  seams.processes.foreground = 500;
  seams.processes.list = {{500, L"desk.exe"}};
  const GUID desktopId = TestId(1), gameId = TestId(2);
  auto keyOf = [&](size_t profile) {
    for (const DeviceKeyAssignment& record : Core().State().profiles[profile].keys)
      if (record.keyCode == 0x3B) return record;
    return DeviceKeyAssignment{};
  };
  auto activeIs = [&](const GUID& id) { return IsEqualGUID(Core().State().active, id) != FALSE; };

  struct Case {
    const char* what;
    std::function<void()> end;
    bool stored;
  };
  const Case cases[] = {
      {"finish", [&] { Raise(3, 0x3B); }, true},
      {"stop, then finish",
       [&] {
         Raise(2);
         EXPECT_EQ(Light().effect, 1) << "the recording profile blinks";
         EXPECT_EQ(desktop.leds[0].effect, 5) << "the active one is left alone";
         Raise(3, 0x3B);
       },
       true},
      {"cancel", [&] { Raise(4); }, false},
      {"the keyboard's removal", [&] { dialog->OnDeviceGone(); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Core().State().macros.clear();
    desktop.leds[0] = SimLed{};
    desktop.leds[0].on = 1;
    desktop.leds[0].effect = 5;
    ASSERT_EQ(Core().ActivateProfile(gameId), S_OK);
    PumpPending();

    Raise(1);
    ASSERT_EQ(dialog->RecordingRuns(), true);
    EXPECT_TRUE(IsEqualGUID(dialog->RecordingProfile(), gameId));
    SendMessageW(dialog->m_hWnd, WM_TIMER, DevicePollTimer, 0);
    EXPECT_TRUE(activeIs(gameId)) << "switched automatically during the recording";
    ASSERT_EQ(Core().ActivateProfile(desktopId), S_OK);
    PumpPending();
    Input(100, 0x1E, 0);

    c.end();
    EXPECT_FALSE(dialog->RecordingRuns());
    EXPECT_EQ(Light().on, 0) << "the recording profile's light is off";
    EXPECT_EQ(desktop.leds[0].on, 1);
    EXPECT_EQ(desktop.leds[0].effect, 5);
    EXPECT_TRUE(activeIs(desktopId)) << "the profile chosen meanwhile stays active";
    EXPECT_NE(keyOf(0).type, DEVICE_ASSIGN_MACRO);
    if (c.stored) {
      ASSERT_EQ(Core().State().macros.size(), 1u);
      EXPECT_EQ(keyOf(1).type, DEVICE_ASSIGN_MACRO);
      EXPECT_TRUE(IsEqualGUID(DeviceRecordGuid(keyOf(1), 12), Core().State().macros[0].id));
    } else {
      EXPECT_TRUE(Core().State().macros.empty());
    }
  }
  // Once the recording is over the switching goes on.
  ASSERT_EQ(Core().ActivateProfile(gameId), S_OK);
  PumpPending();
  SendMessageW(dialog->m_hWnd, WM_TIMER, DevicePollTimer, 0);
  EXPECT_TRUE(activeIs(desktopId));
}

// A service that went away during a recording took the recording with it: the
// tick that finds its connections dead ends it here too.
TEST_F(TrayRecordingTest, ARecordingEndsWhenItsServiceIsGone) {
  Raise(1);
  Input(10, 0x30, 0);
  Core().SetFaultOnCall(L"IConnectionPoint::GetConnectionInterface", RPC_E_DISCONNECTED, 1);
  SendMessageW(dialog->m_hWnd, WM_TIMER, DevicePollTimer, 0);
  EXPECT_FALSE(dialog->RecordingRuns());
  EXPECT_TRUE(LastRawInputCallRemoves());
  EXPECT_FALSE(dialog->RecorderRawInput().IsRegistered());
  EXPECT_TRUE(MacroRecorder.Events().empty());
  EXPECT_EQ(Light().on, 0);
  EXPECT_TRUE(dialog->HasConnections());
  Input(20, 0x1E, 0);
  EXPECT_TRUE(MacroRecorder.Events().empty());
}

// While no recording runs, a stop, finish, cancel or removal reaches the service
// not at all: the configurator's single-key capture may hold the keyboard in
// recording mode, and a key must not get an empty macro.
TEST_F(TrayRecordingTest, StrayEndsWhileIdleReachNothing) {
  struct Case {
    const char* what;
    void (*act)(CPellinSysTrayDlg&);
  };
  const Case cases[] = {
      {"stop", [](CPellinSysTrayDlg& d) { d.OnMacroRecordStop(); }},
      {"finish", [](CPellinSysTrayDlg& d) { d.OnMacroRecordFinish(0, 0x3B); }},
      {"cancel", [](CPellinSysTrayDlg& d) { d.OnMacroRecordCancel(); }},
      {"device gone", [](CPellinSysTrayDlg& d) { d.OnDeviceGone(); }},
  };
  Core().SetMode(2);  // as the configurator's capture leaves it
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Core().ClearCallLog();
    c.act(*dialog);
    EXPECT_TRUE(Core().CallLog().empty());
    EXPECT_TRUE(raw.calls.empty());
  }
  // Through the service's events, a session lock and the tray's exit alike.
  Raise(2);
  Raise(3, 0x3B);
  Raise(4);
  PostMessageW(dialog->m_hWnd, WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 1);
  PumpPending();
  SendMessageW(dialog->m_hWnd, WM_COMMAND, ID_EXIT_TRAY, 0);
  EXPECT_EQ(Core().Mode(), 2);
  EXPECT_TRUE(Core().State().macros.empty());
  EXPECT_EQ(CallsOf(Core(), L"ILed::"), 0u);
  EXPECT_EQ(CallsOf(Core(), L"IDeviceMode::SetMode"), 0u);
}

}  // namespace
