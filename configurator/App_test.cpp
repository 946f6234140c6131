// The configurator's start: single instance, the installer's values, the
// language and the keyboard layout chosen, the device read, and the release.
#include "configurator/App.h"

#include <gtest/gtest.h>

#include <thread>

#include "configurator/testing/StartupFixture.h"
#include "device/Keyboard.h"
#include "gui/base/LangTable.h"
#include "platform/Strings.h"
#include "platform/testing/TestFiles.h"

namespace configurator::testing {
namespace {

std::wstring WithoutSlash(std::wstring folder) {
  if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  return folder;
}

struct StartCase {
  const char* what;
  bool keyPresent;
  const wchar_t* language;    // null: no "Language" value
  int installDir;             // 0 none, 1 with a trailing backslash, 2 without
  DWORD layoutCode;
  int32_t languageId;         // CurrentLanguageId
  const wchar_t* hello;       // the text of "$Hello" in the table in force
  bool trayStarted;
  int32_t layoutId;
};

class StartChoices : public StartupTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartChoices, FollowTheRegistryAndTheKeyboard) {
  const StartCase& c = GetParam();
  const std::wstring install = platform::testing::MakeTempFolder(L"cfginstall");
  registry_.present = c.keyPresent;
  if (c.language != nullptr) registry_.values[L"Language"] = c.language;
  if (c.installDir == 1) registry_.values[L"InstallDir"] = install;
  if (c.installDir == 2) registry_.values[L"InstallDir"] = WithoutSlash(install);
  State().device.layoutCode = c.layoutCode;

  ASSERT_TRUE(app_->Start()) << c.what;
  EXPECT_TRUE(app_->m_deviceRead) << c.what;
  EXPECT_EQ(CurrentLanguageId, c.languageId) << c.what;
  EXPECT_EQ(Translate(L"$Hello"), c.hello) << c.what;
  EXPECT_EQ(app_->m_layoutId, c.layoutId) << c.what;
  EXPECT_EQ(ListPopupTemplateId, 129u);
  EXPECT_EQ(ListPopupTemplateId2, 129u);
  EXPECT_FALSE(registry_.open) << c.what << ": the key is closed again";
  if (c.trayStarted) {
    ASSERT_EQ(launcher_.calls.size(), 1u) << c.what;
    EXPECT_EQ(launcher_.calls[0].file, L"KestraneOvrixTray.exe");
    const std::wstring from = c.installDir != 0 ? install : AppFolder;
    EXPECT_TRUE(platform::EqualsNoCase(WithoutSlash(launcher_.calls[0].folder), WithoutSlash(from)))
        << c.what << ": tray started from " << platform::WideToUtf8(launcher_.calls[0].folder);
  } else {
    EXPECT_TRUE(launcher_.calls.empty()) << c.what;
  }
  app_->Finish();
  EXPECT_EQ(CurrentLangTable, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartChoices,
    ::testing::Values(
        StartCase{"no installer key", false, L"German", 1, 0, 349, L"Hello", false, 366},
        StartCase{"German, folder with backslash", true, L"German", 1, 0, 354, L"Hallo", true, 366},
        StartCase{"unknown language, folder without backslash", true, L"Klingon", 2, 0, -1, L"Hello", true, 366},
        StartCase{"a language without a table falls back to the default one", true, L"French", 2, 0, 352,
                  L"Hello", true, 366},
        StartCase{"no values: the tray starts from the program folder", true, nullptr, 0, 0, 349, L"Hello", true,
                  366},
        StartCase{"the keyboard's German layout", true, nullptr, 0, 3, 349, L"Hello", true, 371},
        StartCase{"a layout code the layout list lacks gives English", true, nullptr, 0, 4, 349, L"Hello", true,
                  366}),
    [](const ::testing::TestParamInfo<StartCase>& info) { return "Case" + std::to_string(info.index); });

TEST_F(StartupTest, ProfilesComeFromTheKeyboardEvenWithAProfileFileInSave) {
  AddDeviceProfile(L"Second");
  const size_t onDevice = State().profiles.size();
  // An exported profile beside the settings file: reading "save\" would replace
  // the device's profiles with it.
  folder_.WriteBytes(AppFolder + L"save\\Exported.qxp", "not a profile the configurator reads at start");
  folder_.WriteBytes(AppFolder + L"save\\Morvel.qxc", "[SETTINGS]\r\nActiveProfileName=Exported\r\n");
  ASSERT_TRUE(app_->Start());
  ASSERT_EQ(app_->m_config->GetProfileCount(), static_cast<int>(onDevice));
  EXPECT_NE(app_->m_config->FindProfileByName(L"Second"), nullptr);
  EXPECT_EQ(app_->m_config->FindProfileByName(L"Exported"), nullptr);
}

TEST_F(StartupTest, AFailedReadIsReported) {
  Core().SetFault(L"IKeyAssignments::GetAssignments", E_FAIL, 0);
  Core().SetFault(L"IProfileManager::GetProfile", E_FAIL, 0);
  ASSERT_TRUE(app_->Start());
  EXPECT_FALSE(app_->m_deviceRead);
  EXPECT_NE(app_->m_device, nullptr);
}

TEST_F(StartupTest, TheRegistryIsOnlyOpenedOnce) {
  ASSERT_TRUE(app_->Start());
  EXPECT_EQ(registry_.opens, 1);
}

// A running configurator: a window of the instance's class with a popup of its own.
struct RunningInstance {
  explicit RunningInstance(const std::wstring& className) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = className.c_str();
    ::RegisterClassW(&wc);
    main = ::CreateWindowExW(0, className.c_str(), L"main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 200,
                             nullptr, nullptr, wc.hInstance, nullptr);
    popup = ::CreateWindowExW(0, L"STATIC", L"popup", WS_POPUP | WS_VISIBLE, 40, 40, 100, 60, main, nullptr,
                              wc.hInstance, nullptr);
  }
  ~RunningInstance() {
    ::DestroyWindow(popup);
    ::DestroyWindow(main);
  }
  HWND main, popup;
};

TEST_F(StartupTest, ASecondStartBringsTheRunningOneForwardAndMakesNothing) {
  RunningInstance running(app_->m_environment.instanceName);
  ::SetActiveWindow(running.popup);
  HWND other = ::CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 300, 300, 50, 50, nullptr,
                                 nullptr, nullptr, nullptr);
  ::SetForegroundWindow(other);
  EXPECT_FALSE(app_->Start());
  EXPECT_EQ(app_->m_config, nullptr);
  EXPECT_EQ(GlobalDevice(), nullptr);
  EXPECT_EQ(::GetForegroundWindow(), running.popup);
  ::DestroyWindow(other);

  ::ShowWindow(running.main, SW_MINIMIZE);
  ASSERT_TRUE(::IsIconic(running.main));
  ::DestroyWindow(running.popup);
  running.popup = nullptr;
  EXPECT_FALSE(app_->Start());
  EXPECT_FALSE(::IsIconic(running.main)) << "a minimised configurator is restored";
}

TEST_F(StartupTest, TheInstanceIsHeldUntilTheRunEnds) {
  ASSERT_TRUE(app_->Start());
  // A second start on another thread (the mutex is the first thread's) while
  // the first has no window yet: it waits, cannot get the instance, and ends.
  auto startElsewhere = [this] {
    CMorvelAppApp second;
    second.m_environment = app_->m_environment;
    second.m_environment.instanceWaitMs = 50;
    const bool started = second.Start();
    second.Finish();
    return started;
  };
  bool started = true;
  std::thread([&] { started = startElsewhere(); }).join();
  EXPECT_FALSE(started);
  app_->Finish();
  std::thread([&] { started = startElsewhere(); }).join();
  EXPECT_TRUE(started) << "the instance is free once the run has ended";
}

}  // namespace
}  // namespace configurator::testing
