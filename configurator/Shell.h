// What the configurator hands to the shell and reads from the registry, behind
// small seams: tests see which program, page or manual would have opened, and
// which installer values were asked for, without starting anything.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/Registry.h"

namespace configurator {

class IShellLauncher {
 public:
  virtual ~IShellLauncher() = default;
  // ShellExecuteW(no window, verb, file, no parameters, no folder, SW_SHOWNORMAL):
  // a relative file is found from the current folder. True when it started.
  virtual bool Open(const std::wstring& verb, const std::wstring& file) = 0;
};

// The launcher in use: the shell's unless a test set its own (null restores it).
IShellLauncher& ShellLauncher();
void SetShellLauncher(IShellLauncher* launcher);

// The web pages behind the main window's web buttons, by skin element id.
struct WebAddress {
  int32_t elementId;
  const wchar_t* address;
};
extern const WebAddress kWebAddresses[4];
// The address of a web button, or null for any other element.
const wchar_t* WebAddressFor(int32_t elementId);

// The installer's key (HKEY_LOCAL_MACHINE "Software\Tavrik\Kestrane Ovrix"),
// opened for reading only.
class IProgramRegistry {
 public:
  virtual ~IProgramRegistry() = default;
  // False when the key is missing or cannot be read.
  virtual bool Open() = 0;
  // A string value into a buffer of platform::kRegistryStringChars characters (empty on
  // failure); the Win32 status.
  virtual LONG ReadString(const wchar_t* valueName, wchar_t* buffer) = 0;
  virtual void Close() = 0;
};

// The system's registry: the installer's key through platform::RegistryKey.
class SystemProgramRegistry final : public IProgramRegistry {
 public:
  bool Open() override;
  LONG ReadString(const wchar_t* valueName, wchar_t* buffer) override;
  void Close() override;

 private:
  platform::RegistryKey m_key;
};

}  // namespace configurator
