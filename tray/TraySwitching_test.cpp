// The tray's main road in process: the program in the foreground, the menu and
// the service's own switches against the active profile, the profile the tray
// returns to and the name shown on screen.
#include "tray/TrayDialog.h"

#include <gtest/gtest.h>

#include <dbt.h>

#include <cstddef>
#include <cstring>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "gui/base/SkinNameTables.h"
#include "tray/OnScreenDisplay.h"
#include "tray/TrayResources.h"
#include "tray/testing/TrayDialogFixture.h"
#include "tray/testing/TrayTestSupport.h"

namespace {

using namespace tray::testing;

enum class Do {
  Front,      // arg: the foreground program's file name
  Tick,       // timer 700
  Menu,       // arg: the profile chosen from the icon's menu
  Elsewhere,  // arg: a profile the configurator or the keyboard activates
  NoEvents,   // the service's events no longer reach the tray
  FailNext,   // arg: the next call of this method fails
};

struct Step {
  Do what;
  std::wstring arg;
  // After the step:
  std::wstring active;
  std::wstring base;
  std::wstring shown;      // the name on screen, empty for none
  int activations = -1;    // SetActiveProfile calls of the step; -1: not checked
};

class TraySwitchingTest : public TrayDialogTestBase {
 protected:
  void SetUp() override {
    TrayDialogTestBase::SetUp();
    Core().ClearFaults();
    seams.processes.foreground = 0;
    seams.processes.list.clear();
    // 0 Desktop; 1 Game (game.exe, switch, show); 2 Work (work.exe, switch);
    // 3 Game again (game.exe: the first wins); 4 Notes (show, no program).
    SetProfiles(Core(),
                {{L"Desktop"}, {L"Game", L"game.exe", 1 | 4}, {L"Work", L"work.exe", 1}, {L"Game2", L"game.exe", 1 | 4},
                 {L"Notes", L"", 4}},
                0);
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NE(dialog->Osd(), nullptr);
    ASSERT_TRUE(dialog->HasConnections());
  }
  std::wstring NameOf(const GUID& id) {
    for (const SimProfile& p : Core().State().profiles)
      if (IsEqualGUID(p.id, id)) return p.name;
    return L"";
  }
  GUID IdOf(const std::wstring& name) {
    for (const SimProfile& p : Core().State().profiles)
      if (p.name == name) return p.id;
    return GUID{};
  }
  void Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) { SendMessageW(dialog->m_hWnd, msg, wp, lp); }
  // What the step put on screen; then the display is hidden for the next.
  std::wstring TakeShown() {
    HWND text = dialog->Osd()->TextWindow();
    std::wstring shown = IsWindowVisible(text) ? dialog->Osd()->Text() : L"";
    SendMessageW(text, WM_TIMER, OsdHideTimer, 0);
    return shown;
  }
  void Run(const Step& step) {
    Core().ClearCallLog();
    switch (step.what) {
      case Do::Front:
        seams.processes.foreground = 500;
        seams.processes.list = {{500, step.arg}, {600, L"explorer.exe"}};
        Send(WM_TIMER, DevicePollTimer);
        break;
      case Do::Tick:
        Send(WM_TIMER, DevicePollTimer);
        break;
      case Do::Menu: {
        Send(TrayCallbackMessage, 129, WM_RBUTTONUP);  // the names of this menu
        const auto& names = dialog->ProfileNames();
        const auto at = std::find(names.begin(), names.end(), step.arg);
        ASSERT_NE(at, names.end());
        Send(WM_COMMAND, ID_PROFILE_FIRST + static_cast<UINT>(at - names.begin()));
        break;
      }
      case Do::Elsewhere:
        ASSERT_EQ(Core().ActivateProfile(IdOf(step.arg)), S_OK);
        break;
      case Do::NoEvents:
        Core().SetFault(L"IConnectionPoint::Advise", E_FAIL, 0);
        dialog->DisconnectEventSinks();
        break;
      case Do::FailNext:
        Core().SetFaultOnCall(step.arg, E_FAIL, 1);
        break;
    }
    PumpPending();
    GUID active{};
    {
      CDeviceManager manager;
      manager.GetActiveProfileId(active);
    }
    EXPECT_EQ(NameOf(active), step.active);
    EXPECT_EQ(NameOf(dialog->BaseProfile()), step.base);
    EXPECT_EQ(TakeShown(), step.shown);
    if (step.activations >= 0) {
      EXPECT_EQ(CallsOf(Core(), L"IProfileManager::SetActiveProfile"), static_cast<size_t>(step.activations));
    }
  }

};

TEST_F(TraySwitchingTest, Sequences) {
  struct Case {
    const char* what;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"to the linked program's profile and back when it leaves",
       {{Do::Front, L"game.exe", L"Game", L"Desktop", L"Game", 1},
        {Do::Tick, L"", L"Game", L"Desktop", L"", 0},
        {Do::Front, L"other.exe", L"Desktop", L"Desktop", L"", 1},
        {Do::Tick, L"", L"Desktop", L"Desktop", L"", 0}}},
      {"two profiles linked to one program: the first in device order",
       {{Do::Front, L"game.exe", L"Game", L"Desktop", L"Game", 1},
        {Do::Front, L"work.exe", L"Work", L"Desktop", L"", 1},
        {Do::Front, L"game.exe", L"Game", L"Desktop", L"Game", 1}}},
      {"a name differing in letter case, or with a folder, does not match",
       {{Do::Front, L"Game.exe", L"Desktop", L"Desktop", L"", 0},
        {Do::Front, L"GAME.EXE", L"Desktop", L"Desktop", L"", 0}}},
      {"no linked program and the base active: nothing is sent",
       {{Do::Front, L"other.exe", L"Desktop", L"Desktop", L"", 0}, {Do::Tick, L"", L"Desktop", L"Desktop", L"", 0}}},
      {"a menu choice while no linked program runs becomes the base and stays",
       {{Do::Menu, L"Work", L"Work", L"Work", L"", 1}, {Do::Front, L"other.exe", L"Work", L"Work", L"", 0}}},
      {"a switch elsewhere during the tray's own switch is where it returns",
       {{Do::Front, L"game.exe", L"Game", L"Desktop", L"Game", 1},
        {Do::Elsewhere, L"Notes", L"Notes", L"Notes", L"Notes", -1},
        {Do::Tick, L"", L"Game", L"Notes", L"Game", 1},
        {Do::Front, L"other.exe", L"Notes", L"Notes", L"Notes", 1}}},
      {"without events a manual switch is kept",
       {{Do::NoEvents, L"", L"Desktop", L"Desktop", L"", -1},
        {Do::Menu, L"Work", L"Work", L"Desktop", L"", 1},
        {Do::Front, L"other.exe", L"Work", L"Desktop", L"", 0}}},
      {"without events a manual switch away from the tray's own is kept, and rebased on the next",
       {{Do::NoEvents, L"", L"Desktop", L"Desktop", L"", -1},
        {Do::Front, L"game.exe", L"Game", L"Desktop", L"Game", 1},
        {Do::Elsewhere, L"Notes", L"Notes", L"Desktop", L"", -1},
        {Do::Front, L"other.exe", L"Notes", L"Desktop", L"", 0},
        {Do::Front, L"work.exe", L"Work", L"Notes", L"", 1},
        {Do::Front, L"other.exe", L"Notes", L"Notes", L"", 1}}},
      {"a manual choice of a profile once switched to automatically is kept",
       {{Do::Front, L"game.exe", L"Game", L"Desktop", L"Game", 1},
        {Do::Front, L"other.exe", L"Desktop", L"Desktop", L"", 1},
        {Do::Menu, L"Game", L"Game", L"Game", L"Game", 1},
        {Do::Tick, L"", L"Game", L"Game", L"", 0}}},
      {"a failed activation shows nothing; the next tick tries again",
       {{Do::FailNext, L"IProfileManager::SetActiveProfile", L"Desktop", L"Desktop", L"", -1},
        {Do::Front, L"game.exe", L"Desktop", L"Desktop", L"", 1},
        {Do::Tick, L"", L"Game", L"Desktop", L"Game", 1}}},
      {"a failed return is tried again by the next tick",
       {{Do::Front, L"game.exe", L"Game", L"Desktop", L"Game", 1},
        {Do::FailNext, L"IProfileManager::SetActiveProfile", L"Game", L"Desktop", L"", -1},
        {Do::Front, L"other.exe", L"Game", L"Desktop", L"", 1},
        {Do::Tick, L"", L"Desktop", L"Desktop", L"", 1}}},
      {"menu texts: the name shows when the profile left or the one chosen shows names",
       {{Do::Menu, L"Work", L"Work", L"Work", L"", 1},     // neither shows names
        {Do::Menu, L"Game", L"Game", L"Game", L"Game", 1},  // the chosen one's event
        {Do::Menu, L"Work", L"Work", L"Work", L"Work", 1}}},  // the flag of the one left
      {"a profile changed elsewhere shows its name when flagged",
       {{Do::Elsewhere, L"Notes", L"Notes", L"Notes", L"Notes", -1},
        {Do::Elsewhere, L"Work", L"Work", L"Work", L"", -1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    for (size_t i = 0; i < c.steps.size(); ++i) {
      SCOPED_TRACE("step " + std::to_string(i + 1));
      Run(c.steps[i]);
    }
  }
}

// A tick that starts while another runs (COM's wait loop dispatches the timer
// during a call to the service) does nothing.
TEST_F(TraySwitchingTest, ATickInsideATickDoesNothing) {
  seams.processes.foreground = 500;
  seams.processes.list = {{500, L"game.exe"}};
  int inner = 0;
  seams.processes.onForeground = [&] {
    if (inner++ == 0) Send(WM_TIMER, DevicePollTimer);
  };
  Core().ClearCallLog();
  Send(WM_TIMER, DevicePollTimer);
  PumpPending();
  EXPECT_EQ(CallsOf(Core(), L"IProfileManager::SetActiveProfile"), 1u);
  EXPECT_EQ(inner, 1) << "the inner tick read no foreground";
}

// A removal sent while the tick waits on the service runs after the tick.
TEST_F(TraySwitchingTest, ADeviceChangeDuringATickWaitsForItsEnd) {
  const std::wstring name = L"\\\\?\\HID#VID_2F7A&PID_0C41#1";
  std::vector<unsigned char> bytes(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) +
                                   (name.size() + 1) * sizeof(wchar_t));
  auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(bytes.data());
  record->dbcc_size = static_cast<DWORD>(bytes.size());
  record->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  std::memcpy(record->dbcc_name, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
  bool connectedInside = false;
  seams.processes.onForeground = [&] {
    Send(WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(bytes.data()));
    connectedInside = dialog->HasConnections();
  };
  Send(WM_TIMER, DevicePollTimer);
  seams.processes.onForeground = nullptr;
  EXPECT_TRUE(connectedInside);
  PumpPending();
  EXPECT_FALSE(dialog->HasAnyConnection());
}

// No DPI connection is made in this system, so the DPI notice never shows.
TEST_F(TraySwitchingTest, NoDpiNoticeWithoutADpiConnection) {
  CDeviceManager manager;
  ASSERT_TRUE(manager.SetProfileFlagWord(L"Desktop", 0));
  ASSERT_TRUE(manager.ChangeProfileFlag(L"Desktop", 0, 1, 0));
  dialog->OnDpiChanged(800, 800);
  dialog->OnDpiChanged(800, 1600);
  PumpPending();
  EXPECT_EQ(dialog->Osd()->SliderMode(), 0);
  EXPECT_FALSE(IsWindowVisible(dialog->Osd()->SliderWindow()));
}

}  // namespace
