// A move-only owner of a device-notification registration
// (RegisterDeviceNotificationW). Unregistering keeps the handle when the system
// refuses, so a later try (or the destructor) can still release it.
#pragma once
#include <windows.h>

#include <utility>

namespace platform {

class DeviceNotification {
 public:
  DeviceNotification() = default;
  explicit DeviceNotification(HDEVNOTIFY adopted) : m_handle(adopted) {}
  ~DeviceNotification() { Unregister(); }
  DeviceNotification(DeviceNotification&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
  DeviceNotification& operator=(DeviceNotification&& other) noexcept {
    if (this != &other) {
      Unregister();
      m_handle = std::exchange(other.m_handle, nullptr);
    }
    return *this;
  }
  DeviceNotification(const DeviceNotification&) = delete;
  DeviceNotification& operator=(const DeviceNotification&) = delete;

  HDEVNOTIFY Get() const { return m_handle; }
  explicit operator bool() const { return m_handle != nullptr; }

  // Registers `recipient` (a window handle) for the notifications the filter
  // names; an existing registration is released first. False on failure.
  bool Register(HANDLE recipient, void* filter, DWORD flags) {
    Unregister();
    m_handle = ::RegisterDeviceNotificationW(recipient, filter, flags);
    return m_handle != nullptr;
  }
  // True when nothing is registered afterwards.
  bool Unregister() {
    if (!m_handle) return true;
    if (!::UnregisterDeviceNotification(m_handle)) return false;
    m_handle = nullptr;
    return true;
  }

 private:
  HDEVNOTIFY m_handle = nullptr;
};

}  // namespace platform
