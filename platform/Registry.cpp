#include "platform/Registry.h"

#include <cstring>

namespace platform {

LONG ReadRegistryString(wchar_t* buffer, HKEY key, const wchar_t* valueName) {
  if (buffer == nullptr) return ERROR_INVALID_PARAMETER;
  buffer[0] = L'\0';
  wchar_t value[kRegistryStringChars] = {};
  DWORD type = REG_NONE;
  DWORD bytes = sizeof value;
  const LONG status = ::RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes);
  if (status != ERROR_SUCCESS) return status;
  if (type != REG_SZ) return ERROR_UNSUPPORTED_TYPE;
  const DWORD units = bytes / sizeof(wchar_t);
  // The stored data must carry its own terminator within the buffer.
  if (bytes % sizeof(wchar_t) != 0 || units == 0 || value[units - 1] != L'\0') return ERROR_INVALID_DATA;
  std::memcpy(buffer, value, units * sizeof(wchar_t));
  return ERROR_SUCCESS;
}

}  // namespace platform
