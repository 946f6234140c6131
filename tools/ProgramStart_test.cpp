// Starts each program as a user would and closes it through its window.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/Handles.h"
#include "platform/testing/WinePath.h"

namespace {

struct FindArgs {
  DWORD pid;
  const wchar_t* className;
  HWND found;
};

BOOL CALLBACK FindWindowOfProcess(HWND hwnd, LPARAM lp) {
  auto* args = reinterpret_cast<FindArgs*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t name[128] = {};
  GetClassNameW(hwnd, name, 128);
  if (pid == args->pid && std::wstring(name) == args->className) {
    args->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

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
  std::wstring cmd = L"\"" + DosPath(exe) + L"\"";
  // NUL as the standard handles: under Wine a process the program starts (the
  // device service activated for it, the tray) would otherwise inherit this
  // test's output and keep ctest waiting after the test has ended.
  SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
  platform::KernelHandle nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                                         OPEN_EXISTING, 0, nullptr));
  ASSERT_NE(nul.Get(), nullptr);
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = si.hStdOutput = si.hStdError = nul.Get();
  PROCESS_INFORMATION pi = {};
  const BOOL started = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  nul.Close();
  const platform::ProcessHandles process(pi);
  ASSERT_TRUE(started) << GetLastError();
  // The window counts once it shows the text asked for (a message box gets its
  // text after it is made); the wait ends early if the program ends first.
  FindArgs args{pi.dwProcessId, className, nullptr};
  bool ended = false;
  for (int i = 0; i < 400 && !ended; ++i) {
    args.found = nullptr;
    EnumWindows(FindWindowOfProcess, reinterpret_cast<LPARAM>(&args));
    if (args.found && (!names || ChildTexts(args.found).find(names) != std::wstring::npos)) break;
    ended = WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0;
  }
  DWORD early = 0;
  if (ended) GetExitCodeProcess(pi.hProcess, &early);
  EXPECT_NE(args.found, nullptr) << "no window of class " << className << (ended ? ", the program ended with " : "")
                                 << (ended ? std::to_string(early) : "");
  if (args.found && names) {
    EXPECT_NE(ChildTexts(args.found).find(names), std::wstring::npos);
  }
  if (args.found) PostMessageW(args.found, WM_CLOSE, 0, 0);
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
