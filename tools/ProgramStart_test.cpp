// Starts each program as a user would and closes it through its window.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/Handles.h"
#include "platform/testing/OtherPrograms.h"
#include "platform/testing/WinePath.h"

namespace {

// The texts of a window's children (a message box's text is one of them).
std::wstring ChildTexts(HWND window) {
  std::wstring texts;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t text[1024] = {};
    GetWindowTextW(child, text, 1024);
    texts += text;
    texts += L"\n";
  }
  return texts;
}

// Starts the program, waits for its window of the class (which, when `names` is
// given, shows that text) and closes it; the program must then end with code 0.
void StartAndClose(const char* exe, const wchar_t* className, const wchar_t* names = nullptr) {
  PROCESS_INFORMATION pi = {};
  const bool started = platform::testing::StartProgram(L"\"" + DosPath(exe) + L"\"", nullptr, pi);
  const DWORD error = GetLastError();
  const platform::ProcessHandles process(pi);
  ASSERT_TRUE(started) << error;
  // The window counts once it shows the text asked for (a message box gets its
  // text after it is made); the wait ends early if the program ends first.
  HWND found = nullptr;
  bool ended = false;
  for (int i = 0; i < 400 && !ended; ++i) {
    found = platform::testing::TopWindowOf(pi.dwProcessId, className);
    if (found && (!names || ChildTexts(found).find(names) != std::wstring::npos)) break;
    ended = WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0;
  }
  DWORD early = 0;
  if (ended) GetExitCodeProcess(pi.hProcess, &early);
  EXPECT_NE(found, nullptr) << "no window of class " << className << (ended ? ", the program ended with " : "")
                            << (ended ? std::to_string(early) : "");
  if (found && names) {
    EXPECT_NE(ChildTexts(found).find(names), std::wstring::npos);
  }
  if (found) PostMessageW(found, WM_CLOSE, 0, 0);
  const DWORD wait = WaitForSingleObject(pi.hProcess, 20000);
  EXPECT_EQ(wait, WAIT_OBJECT_0);
  if (wait != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 99);
  DWORD code = 99;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
}

// The build's folder holds no skin: the configurator says which file it could
// not load, in a message box, and ends once that is closed.
TEST(Programs, ConfiguratorWithoutItsSkinNamesTheFileAndEndsCleanly) {
  StartAndClose(CONFIGURATOR_EXE, L"#32770", L"MainPage.xml");
}

// The tray's hidden dialog (a dialog-class window) ends the program on WM_CLOSE.
TEST(Programs, TrayStartsAndEndsCleanly) { StartAndClose(TRAY_EXE, L"#32770"); }

}  // namespace
