// The tray's dealings with the operating system outside its windows and the
// device: the installer's registry values, starting the configurator, the
// processes that run and the one in the foreground. The system calls sit behind
// small seams, so tests need no real shell, processes or HKEY_LOCAL_MACHINE.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace tray {

// Shell calls of the tray: the notification icon, starting programs, and the
// icon's menu (whose tracking loop a test cannot sit through).
class IShell {
 public:
  virtual ~IShell() = default;
  virtual BOOL NotifyIcon(DWORD message, NOTIFYICONDATAW* data) = 0;  // Shell_NotifyIconW
  virtual HINSTANCE Execute(HWND owner, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                            const wchar_t* folder, int show) = 0;     // ShellExecuteW
  virtual BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, HWND owner) = 0;
};

// One running process: its id and its executable's file name (no folder). The
// name is whole or empty, never cut.
struct ProcessName {
  DWORD id = 0;
  std::wstring exeName;
};

class IProcesses {
 public:
  virtual ~IProcesses() = default;
  // The process of the foreground window; 0 when no window is in the foreground.
  virtual DWORD ForegroundProcessId() = 0;
  // Every process of a snapshot.
  virtual std::vector<ProcessName> Snapshot() = 0;
};

struct Seams {
  IShell* shell = nullptr;          // never null once read through CurrentSeams()
  IProcesses* processes = nullptr;  // likewise
  // Where the installer's values live: the root key is part of the seam, so
  // tests use a key of their own under HKEY_CURRENT_USER.
  HKEY registryRoot = HKEY_LOCAL_MACHINE;
  std::wstring registryPath = platform::kProgramRegistryPath;
  // GetModuleFileNameW(nullptr, buffer, size) for the program's own path.
  std::function<DWORD(wchar_t*, DWORD)> moduleFileName;
};

// The seams in force: the system's own until a test replaces them.
Seams& CurrentSeams();
void ResetSeams();
IShell& SystemShell();
IProcesses& SystemProcesses();

// The file name of a path (what follows the last backslash or slash).
std::wstring FileNameOf(const std::wstring& path);

}  // namespace tray

// The installer's registry values and the processes. No state of its own; one
// global instance.
class CPcManager {
 public:
  virtual ~CPcManager() = default;

  // The "Language" value (a terminated REG_SZ that fits); false leaves `name` as it was.
  bool ReadLanguageName(std::wstring& name) const;
  // Starts "KestraneOvrixConfig.exe" from the "InstallDir" folder; true when the
  // shell reports success. Nothing is started when the value is missing or empty
  // or the folder cannot be made current.
  bool LaunchConfigurator() const;
  // A process whose file name is exactly "KestraneOvrixConfig.exe" (case-sensitive).
  bool IsConfiguratorRunning() const;
  // SeDebugPrivilege for this process; true when enabled.
  bool EnableDebugPrivilege() const;
  // The file name of the process with this id; false when there is none.
  bool GetProcessExeName(DWORD processId, std::wstring& name) const;
  // The foreground window's process has exactly this file name (case-sensitive,
  // whole text). A name stored with its folder never matches.
  bool IsForegroundProgram(const std::wstring& program) const;

  // The installer's "InstallDir", false when missing.
  bool ReadInstallDir(std::wstring& folder) const;
};

extern CPcManager PcManager;
