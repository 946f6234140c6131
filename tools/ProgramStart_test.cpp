// Starts each program as a user would and closes it through its window.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/testing/OtherPrograms.h"
#include "platform/testing/WinePath.h"

namespace {

void StartAndClose(const char* exe, const wchar_t* className) {
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(platform::testing::StartProgram(L"\"" + DosPath(exe) + L"\"", nullptr, pi)) << GetLastError();
  HWND found = nullptr;
  for (int i = 0; i < 200 && !found; ++i) {
    found = platform::testing::TopWindowOf(pi.dwProcessId, className);
    if (!found) Sleep(50);
  }
  EXPECT_NE(found, nullptr) << "no window of class " << className;
  if (found) PostMessageW(found, WM_CLOSE, 0, 0);
  const DWORD wait = WaitForSingleObject(pi.hProcess, 20000);
  EXPECT_EQ(wait, WAIT_OBJECT_0);
  if (wait != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 99);
  DWORD code = 99;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

TEST(Programs, ConfiguratorStartsAndEndsCleanly) { StartAndClose(CONFIGURATOR_EXE, L"SINGLE_INSTANCE_APP_MORVEL"); }

// The tray's hidden dialog (a dialog-class window) ends the program on WM_CLOSE.
TEST(Programs, TrayStartsAndEndsCleanly) { StartAndClose(TRAY_EXE, L"#32770"); }

}  // namespace
