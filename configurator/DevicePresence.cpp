#include "configurator/DevicePresence.h"

#include <dbt.h>

#include <algorithm>
#include <cstddef>
#include <cwctype>
#include <string>

namespace {

// The mouse device-interface class, under which the keyboard's own interface is announced.
constexpr GUID kMouseInterfaceClass = {0x378de44c, 0x56ef, 0x11d1, {0xbc, 0x8c, 0x00, 0xa0, 0xc9, 0x14, 0x05, 0xdd}};
// A device-interface notification larger than this is not a real one.
constexpr DWORD kMaxDeviceBroadcastBytes = 32 * 1024;

// The name of a device-interface broadcast, read only within its stated size;
// false for one too small or too large to be real.
bool DeviceInterfaceName(const DEV_BROADCAST_DEVICEINTERFACE_W* broadcast, std::wstring& name) {
  constexpr DWORD nameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
  const DWORD size = broadcast->dbcc_size;
  if (size < nameOffset + sizeof(wchar_t) || size > kMaxDeviceBroadcastBytes) return false;
  const size_t chars = (size - nameOffset) / sizeof(wchar_t);
  const wchar_t* text = broadcast->dbcc_name;
  name.assign(text, std::find(text, text + chars, L'\0'));
  return true;
}

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

}  // namespace

void DevicePresence::Register(HWND window) {
  if (m_notification != nullptr) return;
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof(filter);
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = kMouseInterfaceClass;
  m_notification = ::RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

void DevicePresence::Unregister() {
  if (m_notification != nullptr) ::UnregisterDeviceNotification(m_notification);
  m_notification = nullptr;
}

void DevicePresence::ArmTimer(HWND window, UINT ms) { m_timerId = ::SetTimer(window, kTimer, ms, nullptr); }

bool DevicePresence::TakeTimer(HWND window, WPARAM id) {
  if (id != kTimer || m_timerId == 0) return false;
  ::KillTimer(window, kTimer);
  m_timerId = 0;
  return true;
}

void DevicePresence::OnDeviceChange(HWND window, WPARAM event, LPARAM data) {
  if (event != DBT_DEVICEREMOVECOMPLETE || data == 0) return;
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
  if (header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) return;
  std::wstring name;
  if (!DeviceInterfaceName(reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(data), name)) return;
  name = Upper(name);
  if (name.find(L"VID_2F7A") != std::wstring::npos && name.find(L"PID_0C41") != std::wstring::npos)
    ArmTimer(window, kRemovedMs);
}
