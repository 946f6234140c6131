// The keyboard's presence as the main window watches it: the system's notices of
// mouse-class device interfaces, where the keyboard's removal arms the
// no-keyboard timer, and that timer, on which the window warns and closes.
#pragma once
#include <windows.h>

class DevicePresence {
 public:
  static constexpr UINT_PTR kTimer = 1;
  // From the removal notice to the warning.
  static constexpr UINT kRemovedMs = 100;

  // The registration and the armed timer's id are the window's own state, kept
  // where the window's tests look at them; this class works on them.
  DevicePresence(HDEVNOTIFY& notification, UINT_PTR& timerId) : m_notification(notification), m_timerId(timerId) {}
  DevicePresence(const DevicePresence&) = delete;
  DevicePresence& operator=(const DevicePresence&) = delete;

  // Asks for the window to get the device-interface notices, once.
  void Register(HWND window);
  void Unregister();
  void ArmTimer(HWND window, UINT ms);
  // True for the armed timer's message, which stops it; a stray message of
  // the timer id once it stopped is not.
  bool TakeTimer(HWND window, WPARAM id);
  // A WM_DEVICECHANGE: the keyboard's removal arms the timer.
  void OnDeviceChange(HWND window, WPARAM event, LPARAM data);

 private:
  HDEVNOTIFY& m_notification;
  UINT_PTR& m_timerId;
};
