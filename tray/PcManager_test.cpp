#include "tray/PcManager.h"

#include <gtest/gtest.h>

#include <string>

#include "tray/testing/TrayTestSupport.h"

namespace {

using tray::testing::SeamsScope;

TEST(PcManager, LanguageValueIsReadOnlyWhenItIsATerminatedString) {
  {
    SeamsScope seams;
    std::wstring name = L"unchanged";
    EXPECT_FALSE(PcManager.ReadLanguageName(name));
    EXPECT_EQ(name, L"unchanged");
    EXPECT_FALSE(seams.KeyExists()) << "the installer's key is never created";
  }
  {
    SeamsScope seams;
    seams.SetString(L"Language", L"German");
    std::wstring name;
    EXPECT_TRUE(PcManager.ReadLanguageName(name));
    EXPECT_EQ(name, L"German");
  }
  {
    SeamsScope seams;
    const DWORD number = 7;
    seams.SetRaw(L"Language", REG_DWORD, &number, sizeof(number));
    std::wstring name = L"unchanged";
    EXPECT_FALSE(PcManager.ReadLanguageName(name));
    EXPECT_EQ(name, L"unchanged");
  }
  {
    SeamsScope seams;
    seams.SetString(L"Language", std::wstring(300, L'x'));  // longer than the value buffer
    std::wstring name = L"unchanged";
    EXPECT_FALSE(PcManager.ReadLanguageName(name));
    EXPECT_EQ(name, L"unchanged");
  }
}

// The configurator is started from "InstallDir" made current, or not at all.
TEST(PcManager, LaunchConfiguratorUsesTheInstallFolderOrStartsNothing) {
  wchar_t saved[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, saved);
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + L"tray-launch-" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);

  struct Case {
    const char* what;
    bool set;
    std::wstring value;
    bool started;
  };
  const Case cases[] = {
      {"no value", false, L"", false},
      {"empty value", true, L"", false},
      {"trailing separator", true, folder + L"\\", true},
      {"no trailing separator", true, folder, true},
      {"a folder that does not exist", true, folder + L"\\missing", false},
      {"only a separator", true, L"\\", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SeamsScope seams;
    if (c.set) seams.SetString(L"InstallDir", c.value);
    SetCurrentDirectoryW(saved);
    EXPECT_EQ(PcManager.LaunchConfigurator(), c.started);
    ASSERT_EQ(seams.shell.executed.size(), c.started ? 1u : 0u);
    if (c.started) {
      EXPECT_EQ(seams.shell.executed[0].verb, L"open");
      EXPECT_EQ(seams.shell.executed[0].file, L"KestraneOvrixConfig.exe");
      wchar_t current[MAX_PATH] = {};
      GetCurrentDirectoryW(MAX_PATH, current);
      EXPECT_TRUE(platform::EqualsNoCase(current, folder)) << platform::WideToUtf8(current);
    }
  }
  SetCurrentDirectoryW(saved);
  RemoveDirectoryW(folder.c_str());
}

TEST(PcManager, ProcessNamesMatchExactlyAndWhole) {
  SeamsScope seams;
  seams.processes.list = {{10, L"kestraneovrixconfig.exe"}, {11, L"game.exe"}, {12, L""}};
  EXPECT_FALSE(PcManager.IsConfiguratorRunning()) << "letter case differs";
  seams.processes.list.push_back({13, L"KestraneOvrixConfig.exe"});
  EXPECT_TRUE(PcManager.IsConfiguratorRunning());

  struct Case {
    DWORD foreground;
    const wchar_t* program;
    bool match;
  };
  const Case cases[] = {
      {11, L"game.exe", true},
      {11, L"Game.exe", false},            // letter case
      {11, L"C:\\Games\\game.exe", false},  // a stored folder never matches
      {11, L"game", false},                 // the whole name
      {0, L"game.exe", false},              // nothing in the foreground
      {12, L"", false},                     // a process whose name could not be read whole
      {99, L"game.exe", false},             // no such process
  };
  for (const Case& c : cases) {
    seams.processes.foreground = c.foreground;
    EXPECT_EQ(PcManager.IsForegroundProgram(c.program), c.match)
        << c.foreground << " " << platform::WideToUtf8(c.program);
  }
}

TEST(PcManager, TheSystemSnapshotNamesThisProcess) {
  std::wstring name;
  ASSERT_TRUE(PcManager.GetProcessExeName(GetCurrentProcessId(), name));
  EXPECT_TRUE(platform::EqualsNoCase(name, L"tray_tests.exe")) << platform::WideToUtf8(name);
  EXPECT_EQ(name.find(L'\\'), std::wstring::npos);
}

}  // namespace
