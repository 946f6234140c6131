// The on-the-fly recorder: while the keyboard records a macro the tray collects
// the raw keyboard and mouse input itself, with the delays between, as the
// records the device service stores (key, mouse button, delay).
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "service/DeviceService.h"

inline constexpr LONG kRecorderMouseButton = 1;  // data: button flag | button data << 16
inline constexpr LONG kRecorderKey = 2;          // data: make code | key flags << 16
inline constexpr LONG kRecorderDelay = 3;        // data: milliseconds, at most 0xFFFFFF

namespace tray {
// The most events one macro holds in the service.
inline constexpr size_t kMaxRecordedEvents = 1048576;
// The millisecond tick count the recorder measures delays with.
using TickClock = std::function<DWORD()>;
}  // namespace tray

class CDelayTimer {
 public:
  CDelayTimer();
  virtual ~CDelayTimer();
  CDelayTimer(const CDelayTimer&) = delete;
  CDelayTimer& operator=(const CDelayTimer&) = delete;

  // Empties the list and records from now.
  void Start();
  // Ends recording; the events stay.
  void Stop() { m_recording = 0; }
  // Ends recording and drops the events.
  void Clear();
  // Appends the delay since the last event (none before the first one).
  void AddDelay();
  // A WM_INPUT's record (its lParam), read through the bounded raw-input reader.
  void OnRawInput(LPARAM input);
  // One record already read (also for tests).
  void OnRecord(const RAWINPUT& record);

  bool IsRecording() const { return m_recording != 0; }
  const std::vector<DeviceMacroEvent>& Events() const { return m_events; }

  // The clock in force; null puts the system's tick count back.
  void SetClock(tray::TickClock clock);

 private:
  void Append(LONG type, DWORD data);
  DWORD Now() const { return m_clock ? m_clock() : ::GetTickCount(); }

  int32_t m_recording = 0;
  std::vector<DeviceMacroEvent> m_events;
  DWORD m_lastTick = 0;
  DWORD m_maxDelay = 0xFFFFFF;
  tray::TickClock m_clock;
};

// The tray's one recorder.
extern CDelayTimer MacroRecorder;
