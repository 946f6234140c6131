// For the tray's tests: a fake shell and process list behind the tray's seams, a
// registry key of the test's own, the built menu read back as rows, and a message
// pump (the in-process service fires its events from this thread's queue).
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/Com.h"
#include "platform/Registry.h"
#include "platform/Strings.h"
#include "platform/testing/MessagePump.h"
#include "platform/testing/TestIds.h"
#include "service/InProcessService.h"
#include "tray/PcManager.h"

namespace tray::testing {

struct NotifyCall {
  DWORD message;
  NOTIFYICONDATAW data;
};

struct ExecuteCall {
  std::wstring verb;
  std::wstring file;
};

// One row of a menu: a separator (id 0, empty text) or an item.
struct MenuRow {
  UINT id = 0;
  std::wstring text;
  bool separator = false;
  bool checked = false;
  bool operator==(const MenuRow&) const = default;
};

inline std::vector<MenuRow> MenuRows(HMENU menu) {
  std::vector<MenuRow> rows;
  const int count = menu ? GetMenuItemCount(menu) : 0;
  for (int i = 0; i < count; ++i) {
    wchar_t text[300] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 299;
    GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
    MenuRow row;
    row.separator = (info.fType & MFT_SEPARATOR) != 0;
    row.id = row.separator ? 0 : info.wID;
    row.text = row.separator ? L"" : text;
    row.checked = (info.fState & MFS_CHECKED) != 0;
    rows.push_back(row);
  }
  return rows;
}

inline MenuRow Item(UINT id, const std::wstring& text, bool checked = false) { return {id, text, false, checked}; }
inline MenuRow Separator() { return {0, L"", true, false}; }

class FakeShell : public IShell {
 public:
  std::vector<NotifyCall> notifications;
  std::vector<ExecuteCall> executed;
  struct Tracked {
    std::vector<MenuRow> rows;
    UINT defaultItem;
    POINT at;
    HWND owner;
  };
  std::vector<Tracked> tracked;
  bool addSucceeds = true;
  std::function<void()> whileTracking;  // runs inside the menu's loop

  BOOL NotifyIcon(DWORD message, NOTIFYICONDATAW* data) override {
    notifications.push_back({message, *data});
    return message == NIM_ADD ? addSucceeds : TRUE;
  }
  HINSTANCE Execute(HWND, const wchar_t* verb, const wchar_t* file, const wchar_t*, const wchar_t*, int) override {
    executed.push_back({verb ? verb : L"", file ? file : L""});
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
  }
  BOOL TrackPopupMenu(HMENU menu, UINT, int x, int y, HWND owner) override {
    tracked.push_back({MenuRows(menu), GetMenuDefaultItem(menu, FALSE, 0), POINT{x, y}, owner});
    if (whileTracking) whileTracking();
    return TRUE;
  }
  size_t Count(DWORD message) const {
    size_t n = 0;
    for (const auto& call : notifications) n += call.message == message;
    return n;
  }
};

class FakeProcesses : public IProcesses {
 public:
  DWORD foreground = 0;
  std::vector<ProcessName> list;
  std::function<void()> onForeground;  // runs inside each foreground query
  DWORD ForegroundProcessId() override {
    if (onForeground) onForeground();
    return foreground;
  }
  std::vector<ProcessName> Snapshot() override { return list; }
};

// Installs the fakes and a fresh HKEY_CURRENT_USER key as the installer's key;
// puts the system's seams back and deletes the key at the end.
class SeamsScope {
 public:
  SeamsScope() {
    keyPath = L"Software\\KestraneOvrixTrayTests\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
              std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++Counter());
    Seams& seams = CurrentSeams();
    seams.shell = &shell;
    seams.processes = &processes;
    seams.registryRoot = HKEY_CURRENT_USER;
    seams.registryPath = keyPath;
  }
  ~SeamsScope() {
    ResetSeams();
    RegDeleteTreeW(HKEY_CURRENT_USER, keyPath.c_str());
  }
  SeamsScope(const SeamsScope&) = delete;
  SeamsScope& operator=(const SeamsScope&) = delete;

  void SetString(const wchar_t* name, const std::wstring& value) {
    platform::RegistryKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, keyPath, KEY_WRITE), ERROR_SUCCESS);
    key.WriteString(name, value);
  }
  void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    platform::RegistryKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, keyPath, KEY_WRITE), ERROR_SUCCESS);
    RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), bytes);
  }
  bool KeyExists() const { return platform::RegistryKey().Open(HKEY_CURRENT_USER, keyPath) == ERROR_SUCCESS; }
  // The program's own path as GetModuleFileNameW would give it.
  void SetModulePath(const std::wstring& path) {
    CurrentSeams().moduleFileName = [path](wchar_t* buffer, DWORD size) -> DWORD {
      const DWORD n = static_cast<DWORD>(std::min<size_t>(path.size(), size));
      std::copy(path.begin(), path.begin() + n, buffer);
      if (n < size) buffer[n] = L'\0';
      return n;
    };
  }

  FakeShell shell;
  FakeProcesses processes;
  std::wstring keyPath;

 private:
  static int& Counter() {
    static int n = 0;
    return n;
  }
};

using platform::testing::PumpPending;
using platform::testing::PumpUntil;

// COM for the test thread, as the tray's one thread has it.
class ComScope {
 public:
  ComScope() : m_com(COINIT_APARTMENTTHREADED) {}

 private:
  platform::ComApartment m_com;
};

// The stand-in service registered in the test thread's apartment, where the
// tray's client code finds it.
class InProcessServiceTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(service.Registered()); }
  CServiceCore& Core() { return service.Core(); }

  ComScope com;
  CInProcessDeviceService service;
};

}  // namespace tray::testing

namespace tray::testing {

using platform::testing::TestId;

struct ProfileSpec {
  std::wstring name;
  std::wstring program;
  uint16_t flags = 0;
};

// Replaces the service's profiles (ids TestId(1), TestId(2), ...) and makes the
// profile at `active` (or none, -1) the active one.
inline void SetProfiles(CServiceCore& core, const std::vector<ProfileSpec>& specs, int active = 0) {
  ServiceState& state = core.State();
  state.profiles.clear();
  for (size_t i = 0; i < specs.size(); ++i) {
    SimProfile profile = NewSimProfile(TestId(static_cast<uint32_t>(i + 1)), core.Keyboard());
    profile.name = specs[i].name;
    profile.program = specs[i].program;
    profile.flags = specs[i].flags;
    state.profiles.push_back(profile);
  }
  state.active = active >= 0 && static_cast<size_t>(active) < specs.size()
                     ? TestId(static_cast<uint32_t>(active + 1))
                     : GUID{};
}

inline void SetMacros(CServiceCore& core, const std::vector<std::wstring>& names) {
  core.State().macros.clear();
  uint32_t n = 100;
  for (const std::wstring& name : names) {
    SimMacro macro;
    macro.id = TestId(n++);
    macro.name = name;
    core.State().macros.push_back(macro);
  }
}

inline size_t CallsOf(CServiceCore& core, const std::wstring& method) {
  size_t n = 0;
  for (const std::wstring& line : core.CallLog()) n += line.find(method) != std::wstring::npos;
  return n;
}

}  // namespace tray::testing
