#include "configurator/Shell.h"

#include <shellapi.h>

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
  return m_key.Open(HKEY_LOCAL_MACHINE, platform::kProgramRegistryPath) == ERROR_SUCCESS;
}

LONG SystemProgramRegistry::ReadString(const wchar_t* valueName, wchar_t* buffer) {
  return m_key.ReadString(valueName, buffer);
}

void SystemProgramRegistry::Close() { m_key.Close(); }

}  // namespace configurator
