#include "device/Bootstrap.h"

#include <cstring>

#include "device/Keyboard.h"
#include "gui/base/SkinNameTables.h"

namespace {
CKeyboard* gDevice = nullptr;
}  // namespace

CKeyboard* GlobalDevice() { return gDevice; }

bool CreateDeviceAndTables(IGenDevice** device, IKeyboardConfig* config, DeviceManagerFactory factory) {
  delete gDevice;
  gDevice = new CKeyboard();
  if (factory) gDevice->SetDeviceManagerFactory(std::move(factory));
  // The start-up's further reads use this read's connection, until the main
  // window has read the configuration (IGenDevice::EndHeldConnection).
  gDevice->HoldConnection();
  const bool read = gDevice->ReadFromDevice(config);
  if (device != nullptr) *device = gDevice;
  if (config != nullptr) config->SetDevice(gDevice);
  BuildNameTables();
  return read;
}

void DestroyGlobals() {
  delete gDevice;
  gDevice = nullptr;
}

LONG ReadRegistryString(wchar_t* buffer, HKEY key, const wchar_t* valueName) {
  if (buffer == nullptr) return ERROR_INVALID_PARAMETER;
  buffer[0] = L'\0';
  wchar_t value[kRegistryStringChars] = {};
  DWORD type = REG_NONE;
  DWORD bytes = sizeof value;
  const LONG status = RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes);
  if (status != ERROR_SUCCESS) return status;
  if (type != REG_SZ) return ERROR_UNSUPPORTED_TYPE;
  const DWORD units = bytes / sizeof(wchar_t);
  // The stored data must carry its own terminator within the buffer.
  if (bytes % sizeof(wchar_t) != 0 || units == 0 || value[units - 1] != L'\0') return ERROR_INVALID_DATA;
  std::memcpy(buffer, value, units * sizeof(wchar_t));
  return ERROR_SUCCESS;
}

LONG OpenProgramRegistryKey(HKEY* key) {
  if (key == nullptr) return ERROR_INVALID_PARAMETER;
  *key = nullptr;
  return RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Tavrik\\Kestrane Ovrix", 0, KEY_READ, key);
}
