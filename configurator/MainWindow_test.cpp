// The main window against the service core in this process: the keyboard's
// presence, and Apply and OK under failing and slow writes.
#include "configurator/MainWindow.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "configurator/ItemAccess.h"
#include "configurator/testing/StartupFixture.h"
#include "platform/Handles.h"

namespace configurator::testing {
namespace {

using devtest::kKeyA;
using devtest::KeyOf;
using devtest::PumpUntil;

// The main window's template under a class of the tests' own.

class MainWindowTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    StartupTest::SetUp();
    StageMainPage(200, 120);
  }

  // Starts the application and opens its main window modeless.
  void Open() {
    ASSERT_TRUE(app_->Start());
    window_ = std::make_unique<CMorvelAppDlg>(app_->m_device, app_->m_config, kTestTemplate);
    window_->SetStartReadFailed(!app_->m_deviceRead);
    ASSERT_TRUE(window_->Create(kTestTemplate, nullptr));
    window_->ShowWindow(SW_SHOWNA);
  }
  bool Closed() const { return !::IsWindowVisible(window_->m_hWnd); }
  void PumpMessages() {
    PumpUntil([] { return true; }, 0);
  }
  bool WriteEnded() {
    return PumpUntil([this] { return !app_->m_device->IsWriting(); });
  }
  // The active profile's device record of key A, as the service holds it.
  DeviceKeyAssignment DeviceRecordOfKeyA() {
    const std::wstring name = app_->m_config->GetActiveProfile()->GetName();
    for (const SimProfile& profile : State().profiles)
      if (profile.name == name)
        if (const DeviceKeyAssignment* record = KeyRecord(profile, kKeyA)) return *record;
    ADD_FAILURE() << "no record of key A";
    return {};
  }
  void ChangeKeyA() {
    KeyAssignment disabled;
    disabled.kind = KEYKIND_DISABLED;
    ASSERT_TRUE(app_->m_config->SetKeyAssignment(KeyOf(kKeyA), disabled, nullptr));
    window_->SetModified(true);
  }
  bool WriteWarningShown() const {
    for (const auto& shown : popups_.shown)
      if (shown.skinFile == L"NoKestranePopup.xml" && shown.heading == L"$SettingsNotWritten") return true;
    return false;
  }

  ScriptedPopups popups_;
};

struct NoKeyboardCase {
  const char* what;
  const wchar_t* failingCall;  // made to fail before the start, or null
  bool failAfterStart;         // the call fails only for the window's own read
  bool unplugged;
};

class NoKeyboard : public MainWindowTest, public ::testing::WithParamInterface<NoKeyboardCase> {};

TEST_P(NoKeyboard, ShowsTheNoKeyboardPopupAndCloses) {
  const NoKeyboardCase& c = GetParam();
  if (c.failingCall != nullptr && !c.failAfterStart) Core().SetFault(c.failingCall, E_FAIL, 0);
  if (c.unplugged) Core().SetPlugged(false);
  ASSERT_TRUE(app_->Start());
  if (c.failingCall != nullptr && c.failAfterStart) Core().SetFault(c.failingCall, E_FAIL, 0);
  window_ = std::make_unique<CMorvelAppDlg>(app_->m_device, app_->m_config, kTestTemplate);
  window_->SetStartReadFailed(!app_->m_deviceRead);
  ASSERT_TRUE(window_->Create(kTestTemplate, nullptr));
  window_->ShowWindow(SW_SHOWNA);
  EXPECT_NE(window_->m_timerId, 0u) << c.what;
  EXPECT_TRUE(popups_.shown.empty());
  window_->SendMessage(WM_TIMER, CMorvelAppDlg::kNoDeviceTimer);
  ASSERT_EQ(popups_.shown.size(), 1u) << c.what;
  EXPECT_EQ(popups_.shown[0].skinFile, L"NoKestranePopup.xml");
  EXPECT_EQ(window_->m_timerId, 0u);
  PumpMessages();
  EXPECT_TRUE(Closed()) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, NoKeyboard,
                         ::testing::Values(NoKeyboardCase{"unplugged", nullptr, false, true},
                                           NoKeyboardCase{"start-up read failed", L"IProfileManager::GetProfile",
                                                          false, false},
                                           NoKeyboardCase{"the window's key read failed",
                                                          L"IKeyAssignments::GetAssignments", true, false}),
                         [](const ::testing::TestParamInfo<NoKeyboardCase>& info) {
                           return "Case" + std::to_string(info.index);
                         });

bool closedBlank = false;
void CALLBACK CloseBlankMainWindow(HWND, UINT, UINT_PTR, DWORD) {
  if (HWND blank = ::FindWindowW(L"OVRIX_TEST_MAIN_WINDOW", nullptr)) {
    closedBlank = true;
    ::PostMessageW(blank, WM_CLOSE, 0, 0);
  }
}

TEST_F(MainWindowTest, ADamagedMainPageIsReportedByNameAndTheRunEnds) {
  folder_.WriteXml(L"MainPage.xml", "<GUIPANEL><BACKGROUND>Back.bmp</BACKGROUND>");
  std::vector<std::wstring> reported;
  const gui::SkinFaultReport before =
      gui::SetSkinFaultReport([&](HWND, const std::wstring& path) { reported.push_back(path); });
  ASSERT_TRUE(app_->Start());
  app_->m_environment.mainWindowTemplate = kTestTemplate;
  // A blank window would wait for the user: this closes it, so the test ends.
  closedBlank = false;
  const UINT_PTR watchdog = ::SetTimer(nullptr, 0, 2000, CloseBlankMainWindow);
  app_->RunMainWindow();
  ::KillTimer(nullptr, watchdog);
  gui::SetSkinFaultReport(before);
  // The main window's end still ends the program's loop, after the report.
  MSG quit{};
  EXPECT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(reported, std::vector<std::wstring>{AppFolder + L"xml\\MainPage.xml"});
  EXPECT_FALSE(closedBlank) << "a blank window waited for the user";
  EXPECT_EQ(::FindWindowW(L"OVRIX_TEST_MAIN_WINDOW", nullptr), nullptr);
}

TEST_F(MainWindowTest, AReadKeyboardOpensUnmodified) {
  Open();
  EXPECT_EQ(window_->m_timerId, 0u);
  EXPECT_FALSE(window_->m_modified);
  EXPECT_NE(app_->m_config->GetActiveProfile(), nullptr);
  EXPECT_EQ(window_->GetWindowText(), L"Tavrik Kestrane Ovrix Configurator");
  EXPECT_TRUE(window_->GetExStyle() & WS_EX_LAYERED);
}

// A device-interface removal notification with the given name and stated size.
std::vector<uint8_t> Removal(const std::wstring& name, int sizeDelta = 0) {
  std::vector<uint8_t> bytes(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) + name.size() * sizeof(wchar_t) + 64, 0);
  auto* broadcast = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(bytes.data());
  broadcast->dbcc_size = static_cast<DWORD>(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) +
                                            (name.size() + 1) * sizeof(wchar_t) + sizeDelta);
  broadcast->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  std::memcpy(broadcast->dbcc_name, name.c_str(), name.size() * sizeof(wchar_t));
  return bytes;
}

TEST_F(MainWindowTest, OnlyTheKeyboardsRemovalClosesTheWindow) {
  Open();
  const std::wstring ours = L"\\\\?\\HID#vid_2f7a&pid_0c41&mi_01#7&1a2b#{378de44c-56ef-11d1-bc8c-00a0c91405dd}";
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    WPARAM event;
    bool closes;
  } cases[] = {
      {"another mouse", Removal(L"\\\\?\\HID#VID_046D&PID_C077#{378de44c}"), DBT_DEVICEREMOVECOMPLETE, false},
      {"our keyboard arriving", Removal(ours), DBT_DEVICEARRIVAL, false},
      {"a size that cannot hold a name", Removal(ours, -static_cast<int>(ours.size() * 2 + 2) - 4),
       DBT_DEVICEREMOVECOMPLETE, false},
      {"the ids beyond the stated size", Removal(ours, -static_cast<int>(ours.size() * 2 - 20)),
       DBT_DEVICEREMOVECOMPLETE, false},
      {"our keyboard, in small letters", Removal(ours), DBT_DEVICEREMOVECOMPLETE, true},
  };
  for (const auto& c : cases) {
    window_->m_timerId = 0;
    EXPECT_EQ(window_->SendMessage(WM_DEVICECHANGE, c.event, reinterpret_cast<LPARAM>(c.bytes.data())), TRUE);
    EXPECT_EQ(window_->m_timerId != 0, c.closes) << c.what;
  }
}

TEST_F(MainWindowTest, AFailedApplyLeavesTheConfigurationModifiedUntilAWriteSucceeds) {
  Open();
  const DeviceKeyAssignment before = DeviceRecordOfKeyA();
  ChangeKeyA();
  Core().SetFault(L"IKeyAssignments::SetAssignments", E_FAIL, 0);
  window_->Apply();
  EXPECT_FALSE(window_->m_modified) << "cleared once the write has started";
  ASSERT_TRUE(WriteEnded());
  window_->SendMessage(WM_TIMER, CMorvelAppDlg::kWriteWatchTimer);
  EXPECT_TRUE(window_->m_modified);
  EXPECT_TRUE(WriteWarningShown());

  Core().ClearFaults();
  popups_.shown.clear();
  window_->Apply();
  ASSERT_TRUE(WriteEnded());
  window_->SendMessage(WM_TIMER, CMorvelAppDlg::kWriteWatchTimer);
  EXPECT_FALSE(window_->m_modified);
  EXPECT_TRUE(popups_.shown.empty());
  const DeviceKeyAssignment after = DeviceRecordOfKeyA();
  EXPECT_TRUE(after.type != before.type || std::memcmp(after.payload, before.payload, sizeof after.payload) != 0);
  EXPECT_FALSE(Closed()) << "Apply leaves the window open";
}

TEST_F(MainWindowTest, ApplyWhileAWriteRunsIsSilentAndAChangeMadeMeanwhileStaysModified) {
  Open();
  ChangeKeyA();
  Core().SetFault(L"IKeyAssignments::SetAssignments", S_OK, 30);
  window_->Apply();
  ASSERT_TRUE(app_->m_device->IsWriting());
  window_->SetModified(true);  // a change made while the write runs
  window_->Apply();
  EXPECT_TRUE(popups_.shown.empty()) << "refused because a write runs: silent";
  ASSERT_TRUE(WriteEnded());
  window_->SendMessage(WM_TIMER, CMorvelAppDlg::kWriteWatchTimer);
  EXPECT_TRUE(window_->m_modified);
  EXPECT_TRUE(popups_.shown.empty());
}

TEST_F(MainWindowTest, OkClosesOnlyOnceTheSettingsReachedTheKeyboard) {
  Open();
  const DeviceKeyAssignment before = DeviceRecordOfKeyA();
  ChangeKeyA();
  Core().SetFault(L"IKeyAssignments::SetAssignments", E_FAIL, 0);
  window_->ApplyAndClose();
  PumpMessages();
  EXPECT_FALSE(Closed());
  EXPECT_TRUE(window_->m_modified);
  EXPECT_TRUE(WriteWarningShown());

  Core().ClearFaults();
  // A write still running (Apply) is waited for, and OK writes once more: a
  // change made during that write reaches the keyboard too.
  Core().SetFault(L"IKeyAssignments::SetAssignments", S_OK, 20);
  window_->Apply();
  ChangeKeyA();
  window_->ApplyAndClose();
  EXPECT_FALSE(app_->m_device->IsWriting());
  PumpMessages();
  EXPECT_TRUE(Closed());
  const DeviceKeyAssignment after = DeviceRecordOfKeyA();
  EXPECT_TRUE(after.type != before.type || std::memcmp(after.payload, before.payload, sizeof after.payload) != 0);
}

// A service call that never returns keeps the write running for ever: what waits
// for it gives up after the limit, shows the write warning and does nothing.
TEST_F(MainWindowTest, AWriteThatNeverEndsIsGivenUpAfterTheLimit) {
  Open();
  auto* keyboard = dynamic_cast<CKeyboard*>(app_->m_device);
  ASSERT_NE(keyboard, nullptr);
  keyboard->SetWriteWaits(waits_);
  waits_->holdLinger = true;  // the write's work ends, the write does not
  window_->Writes().SetWaitLimit(200);
  FakeFileDialogs files;
  files.answer = AppFolder + L"save\\some.qxp";
  ChangeKeyA();
  ASSERT_TRUE(window_->ApplyToDevice());
  ASSERT_TRUE(PumpUntil([this] { return waits_->lingering.load(); }));
  // Where the wait has no limit, the write is let end after a while, so that the
  // test fails instead of hanging.
  platform::KernelHandle doneEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE done = doneEvent.Get();
  std::thread watchdog([this, done] {
    ::WaitForSingleObject(done, 10000);
    waits_->ReleaseLinger();
  });
  const struct {
    const char* what;
    std::function<void()> act;
  } cases[] = {
      {"OK", [this] { window_->ApplyAndClose(); }},
      {"profile import", [this] { window_->ImportProfile(); }},
      {"macro import", [this] { window_->ImportMacro(); }},
  };
  for (const auto& c : cases) {
    popups_.shown.clear();
    files.requests.clear();
    c.act();
    EXPECT_TRUE(app_->m_device->IsWriting()) << c.what << ": given up while the write still runs";
    EXPECT_TRUE(WriteWarningShown()) << c.what;
    EXPECT_EQ(popups_.shown.size(), 1u) << c.what;
    EXPECT_TRUE(files.requests.empty()) << c.what << ": no dialog";
    PumpMessages();
    EXPECT_FALSE(Closed()) << c.what;
  }
  ::SetEvent(done);
  watchdog.join();
  doneEvent.Close();
  EXPECT_TRUE(WriteEnded());
}

TEST_F(MainWindowTest, VersionTextsAndPageTabs) {
  folder_.WriteImage(L"Btn.bmp", 40, 20, RGB(90, 90, 90));
  const std::string button = "<SBMN>Btn.bmp</SBMN><SBMO>Btn.bmp</SBMO><SBMD>Btn.bmp</SBMD><SBMDS>Btn.bmp</SBMDS>";
  auto tab = [&](const char* name, int left) {
    return "<BUTTON name=\"" + std::string(name) + "\">" + button + "<RECT left=\"" + std::to_string(left) +
           "\" top=\"0\" right=\"40\" bottom=\"20\"/></BUTTON>";
  };
  folder_.WriteXml(L"MainPage.xml",
                   "<GUIPANEL><BACKGROUND>Back.bmp</BACKGROUND><MASK>Mask.bmp</MASK><BUTTONLIST>" +
                       tab("BUTTON_ASSIGNKEYS", 0) + tab("BUTTON_MANAGEPROFILES", 50) + tab("BUTTON_MANAGEMACROS", 100) +
                       "</BUTTONLIST><TEXTLIST>"
                       "<TEXTITEM name=\"TEXT_FIRMWAREVER\" textkey=\"Firmware\"><RECT left=\"0\" top=\"40\" right=\"150\" bottom=\"16\"/></TEXTITEM>"
                       "<TEXTITEM name=\"TEXT_DRIVERVER\" textkey=\"Driver\"><RECT left=\"0\" top=\"60\" right=\"150\" bottom=\"16\"/></TEXTITEM>"
                       "</TEXTLIST></GUIPANEL>");
  Open();
  std::wstring firmware;
  ASSERT_TRUE(app_->m_device->GetFirmwareVersion(firmware));
  EXPECT_EQ(configurator::ItemText(FindItemById(window_->Items(), 308)), L"Firmware: " + firmware);
  // The product version of this test program's version block is 2.4.0.9: "%s.%.2d".
  EXPECT_EQ(configurator::ItemText(FindItemById(window_->Items(), 309)), L"Driver: 2.04");

  auto checked = [&](int32_t id) { return configurator::IsItemChecked(FindItemById(window_->Items(), id)); };
  EXPECT_TRUE(checked(225));
  EXPECT_FALSE(checked(227));
  CGUIItem* profilesTab = FindItemById(window_->Items(), 227);
  window_->SendMessage(WM_COMMAND, MAKEWPARAM(227, BN_CLICKED), reinterpret_cast<LPARAM>(profilesTab->hwnd));
  EXPECT_EQ(window_->m_currentPage, &window_->m_profileItems);
  EXPECT_TRUE(checked(227));
  EXPECT_FALSE(checked(225));
  // The tab of the page shown changes nothing.
  window_->SendMessage(WM_COMMAND, MAKEWPARAM(227, BN_CLICKED), reinterpret_cast<LPARAM>(profilesTab->hwnd));
  EXPECT_EQ(window_->m_currentPage, &window_->m_profileItems);
  EXPECT_TRUE(checked(227));
}

TEST_F(MainWindowTest, SpaceActsAsEnter) {
  Open();
  MSG msg{window_->m_hWnd, WM_KEYDOWN, VK_SPACE, 0, 0, {}};
  window_->PreTranslateMessage(&msg);
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_RETURN));
}

}  // namespace
}  // namespace configurator::testing
