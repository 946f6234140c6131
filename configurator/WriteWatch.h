// The main window's watch over the device's background write: Apply's write is
// watched on a timer until it ends, and OK and the page actions that need the
// keyboard idle wait for a running write, up to a limit.
#pragma once
#include <windows.h>

#include "device/GenDevice.h"

class WriteWatch {
 public:
  static constexpr UINT_PTR kTimer = 2;
  static constexpr UINT kIntervalMs = 250;
  // How long a wait for a running write lasts before it gives up: as long as the
  // device waits for its write at its end.
  static constexpr DWORD kWaitMs = 7500;

  explicit WriteWatch(IGenDevice* device) : m_device(device) {}

  // Watches the write just started until it ends (the timer's ticks).
  void Watch(HWND window);
  // Stops watching: a write watched has ended and its outcome is superseded.
  void Forget(HWND window);
  // A tick of the timer: false while a write runs (or there is no device);
  // once none runs the timer stops, and true.
  bool Ended(HWND window);
  // Whether the write that ended was one being watched; watching stops.
  bool TakeWatched();
  // Pumps what paints and what the write needs until no write runs; no input.
  // False when the write outlasts the limit.
  bool WaitForEnd() const;
  // A shorter limit, for tests.
  void SetWaitLimit(DWORD ms) { m_waitMs = ms; }

 private:
  IGenDevice* m_device;
  DWORD m_waitMs = kWaitMs;
  bool m_watching = false;
};
