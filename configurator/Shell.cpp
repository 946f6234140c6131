#include "configurator/Shell.h"

#include <shellapi.h>

#include "device/Bootstrap.h"
#include "platform/LateBound.h"

namespace configurator {
namespace {

class SystemShellLauncher final : public IShellLauncher {
 public:
  bool Open(const std::wstring& verb, const std::wstring& file) override {
    const HINSTANCE result =
        platform::LateShellExecuteW(nullptr, verb.c_str(), file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
  }
};

IShellLauncher* gLauncher = nullptr;

}  // namespace

IShellLauncher& ShellLauncher() {
  static SystemShellLauncher system;
  return gLauncher != nullptr ? *gLauncher : system;
}

void SetShellLauncher(IShellLauncher* launcher) { gLauncher = launcher; }

const WebAddress kWebAddresses[4] = {
    {9, L"https://social.tavrik.example/kestrane-ovrix"},      // BUTTON_FB
    {10, L"https://microblog.tavrik.example/kestrane"},        // BUTTON_TWITTER
    {11, L"https://community.tavrik.example/"},                // BUTTON_ZELT
    {102, L"https://support.tavrik.example/downloads/ovrix"},  // BUTTON_UPDATE
};

const wchar_t* WebAddressFor(int32_t elementId) {
  for (const WebAddress& page : kWebAddresses)
    if (page.elementId == elementId) return page.address;
  return nullptr;
}

bool SystemProgramRegistry::Open() {
  Close();
  return OpenProgramRegistryKey(&m_key) == ERROR_SUCCESS && m_key != nullptr;
}

LONG SystemProgramRegistry::ReadString(const wchar_t* valueName, wchar_t* buffer) {
  if (m_key == nullptr) {
    if (buffer != nullptr) buffer[0] = L'\0';
    return ERROR_INVALID_HANDLE;
  }
  return ReadRegistryString(buffer, m_key, valueName);
}

void SystemProgramRegistry::Close() {
  if (m_key != nullptr) ::RegCloseKey(m_key);
  m_key = nullptr;
}

}  // namespace configurator
