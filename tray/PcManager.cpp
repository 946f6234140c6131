#include "tray/PcManager.h"

#include <tlhelp32.h>

#include <utility>

#include "platform/Handles.h"
#include "platform/Registry.h"

namespace tray {

namespace {

constexpr wchar_t kConfiguratorExe[] = L"KestraneOvrixConfig.exe";

bool ReadProgramValue(const wchar_t* valueName, std::wstring& out) {
  const Seams& seams = CurrentSeams();
  // Read access only: the tray never creates the installer's key.
  platform::RegistryKey key;
  if (key.Open(seams.registryRoot, seams.registryPath) != ERROR_SUCCESS) return false;
  wchar_t buffer[platform::kRegistryStringChars] = {};
  if (key.ReadString(valueName, buffer) != ERROR_SUCCESS) return false;
  out = buffer;
  return true;
}

class SystemShellImpl : public IShell {
 public:
  BOOL NotifyIcon(DWORD message, NOTIFYICONDATAW* data) override { return ::Shell_NotifyIconW(message, data); }
  HINSTANCE Execute(HWND owner, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                    const wchar_t* folder, int show) override {
    return ::ShellExecuteW(owner, verb, file, parameters, folder, show);
  }
  BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, HWND owner) override {
    return ::TrackPopupMenu(menu, flags, x, y, 0, owner, nullptr);
  }
};

// The whole file name of a process: the snapshot's, when it ended within its
// field; else read from the image path in full; else none.
std::wstring WholeExeName(const PROCESSENTRY32W& entry) {
  const size_t field = sizeof(entry.szExeFile) / sizeof(entry.szExeFile[0]);
  const size_t length = wcsnlen(entry.szExeFile, field);
  if (length < field) return FileNameOf(std::wstring(entry.szExeFile, length));
  platform::KernelHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
  if (!process) return {};
  std::wstring path(32768, L'\0');
  DWORD size = static_cast<DWORD>(path.size());
  if (!::QueryFullProcessImageNameW(process.Get(), 0, path.data(), &size) || size >= path.size()) return {};
  path.resize(size);
  return FileNameOf(path);
}

class SystemProcessesImpl : public IProcesses {
 public:
  DWORD ForegroundProcessId() override {
    HWND window = ::GetForegroundWindow();
    if (!window) return 0;
    DWORD id = 0;
    ::GetWindowThreadProcessId(window, &id);
    return id;
  }
  std::vector<ProcessName> Snapshot() override {
    std::vector<ProcessName> list;
    platform::KernelHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return list;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry))
      list.push_back({entry.th32ProcessID, WholeExeName(entry)});
    return list;
  }
};

Seams MakeSystemSeams() {
  Seams seams;
  seams.shell = &SystemShell();
  seams.processes = &SystemProcesses();
  seams.moduleFileName = [](wchar_t* buffer, DWORD size) { return ::GetModuleFileNameW(nullptr, buffer, size); };
  return seams;
}

Seams& Storage() {
  static Seams seams = MakeSystemSeams();
  return seams;
}

}  // namespace

IShell& SystemShell() {
  static SystemShellImpl shell;
  return shell;
}

IProcesses& SystemProcesses() {
  static SystemProcessesImpl processes;
  return processes;
}

Seams& CurrentSeams() {
  Seams& seams = Storage();
  if (!seams.shell) seams.shell = &SystemShell();
  if (!seams.processes) seams.processes = &SystemProcesses();
  if (!seams.moduleFileName) seams.moduleFileName = MakeSystemSeams().moduleFileName;
  return seams;
}

void ResetSeams() { Storage() = MakeSystemSeams(); }

std::wstring FileNameOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace tray

CPcManager PcManager;

bool CPcManager::ReadLanguageName(std::wstring& name) const { return tray::ReadProgramValue(L"Language", name); }

bool CPcManager::ReadInstallDir(std::wstring& folder) const { return tray::ReadProgramValue(L"InstallDir", folder); }

bool CPcManager::LaunchConfigurator() const {
  std::wstring folder;
  if (!ReadInstallDir(folder) || folder.empty()) return false;
  if (folder.back() == L'\\') folder.pop_back();
  // The relative name below is found through the current folder: a folder that
  // cannot be made current would start whatever the old one holds.
  if (folder.empty() || !::SetCurrentDirectoryW(folder.c_str())) return false;
  const HINSTANCE result =
      tray::CurrentSeams().shell->Execute(nullptr, L"open", tray::kConfiguratorExe, nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

bool CPcManager::EnableDebugPrivilege() const {
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) return false;
  platform::KernelHandle token(raw);
  TOKEN_PRIVILEGES privileges{};
  if (!::LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &privileges.Privileges[0].Luid)) return false;
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  ::SetLastError(0);
  if (!::AdjustTokenPrivileges(token.Get(), FALSE, &privileges, sizeof(privileges), nullptr, nullptr)) return false;
  return ::GetLastError() == 0;
}

bool CPcManager::IsConfiguratorRunning() const {
  EnableDebugPrivilege();  // without it the walk still finds this user's processes
  for (const tray::ProcessName& process : tray::CurrentSeams().processes->Snapshot())
    if (process.exeName == tray::kConfiguratorExe) return true;
  return false;
}

bool CPcManager::GetProcessExeName(DWORD processId, std::wstring& name) const {
  for (const tray::ProcessName& process : tray::CurrentSeams().processes->Snapshot()) {
    if (process.id != processId) continue;
    if (process.exeName.empty()) return false;
    name = process.exeName;
    return true;
  }
  return false;
}

bool CPcManager::IsForegroundProgram(const std::wstring& program) const {
  if (program.empty()) return false;
  const DWORD id = tray::CurrentSeams().processes->ForegroundProcessId();
  if (id == 0) return false;
  std::wstring name;
  return GetProcessExeName(id, name) && name == program;
}
