// Registry keys and the one reader of string values both programs use.
#pragma once
#include <windows.h>

#include <string>
#include <utility>

namespace platform {

// The installer's key under HKEY_LOCAL_MACHINE, read by the configurator and the
// tray (read only: neither creates it).
inline constexpr wchar_t kProgramRegistryPath[] = L"Software\\Tavrik\\Kestrane Ovrix";

// Characters of the buffer ReadRegistryString fills, its terminator included.
inline constexpr DWORD kRegistryStringChars = MAX_PATH;

// Reads a string value into a buffer of kRegistryStringChars characters. The
// result is the Win32 status; anything but a terminated REG_SZ value that fits
// leaves the buffer empty (a wrong type gives ERROR_UNSUPPORTED_TYPE, a value
// without its terminator ERROR_INVALID_DATA).
LONG ReadRegistryString(wchar_t* buffer, HKEY key, const wchar_t* valueName);

// An open registry key. Move-only; the key is closed once, and an owner that was
// moved from or closed holds nothing.
class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() { Close(); }
  RegistryKey(RegistryKey&& other) noexcept : m_key(std::exchange(other.m_key, nullptr)) {}
  RegistryKey& operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
      Close();
      m_key = std::exchange(other.m_key, nullptr);
    }
    return *this;
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // RegOpenKeyExW's status; what was held before is closed first.
  LONG Open(HKEY root, const std::wstring& path, REGSAM access = KEY_READ) {
    Close();
    const LONG status = ::RegOpenKeyExW(root, path.c_str(), 0, access, &m_key);
    if (status != ERROR_SUCCESS) m_key = nullptr;  // the system does not promise to clear it
    return status;
  }
  // RegCreateKeyExW's status (opens the key when it exists).
  LONG Create(HKEY root, const std::wstring& path, REGSAM access = KEY_ALL_ACCESS) {
    Close();
    const LONG status = ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, access, nullptr, &m_key, nullptr);
    if (status != ERROR_SUCCESS) m_key = nullptr;
    return status;
  }
  // A string value through ReadRegistryString; ERROR_INVALID_HANDLE (the buffer
  // emptied) when no key is open.
  LONG ReadString(const wchar_t* valueName, wchar_t* buffer) const {
    if (m_key == nullptr) {
      if (buffer != nullptr) buffer[0] = L'\0';
      return ERROR_INVALID_HANDLE;
    }
    return ReadRegistryString(buffer, m_key, valueName);
  }
  // A REG_SZ value, its terminator stored with it.
  LONG WriteString(const wchar_t* valueName, const std::wstring& value) const {
    return ::RegSetValueExW(m_key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }

  HKEY Get() const { return m_key; }
  explicit operator bool() const { return m_key != nullptr; }
  HKEY Detach() { return std::exchange(m_key, nullptr); }
  void Close() {
    if (HKEY key = std::exchange(m_key, nullptr)) ::RegCloseKey(key);
  }

 private:
  HKEY m_key = nullptr;
};

}  // namespace platform
