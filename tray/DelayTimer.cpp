#include "tray/DelayTimer.h"

#include <algorithm>

#include "device/KeyEvent.h"
#include "device/RawInput.h"

CDelayTimer MacroRecorder;

namespace {

bool IsSingleButtonFlag(USHORT flags) {
  switch (flags) {
    case RI_MOUSE_LEFT_BUTTON_DOWN: case RI_MOUSE_LEFT_BUTTON_UP:
    case RI_MOUSE_RIGHT_BUTTON_DOWN: case RI_MOUSE_RIGHT_BUTTON_UP:
    case RI_MOUSE_MIDDLE_BUTTON_DOWN: case RI_MOUSE_MIDDLE_BUTTON_UP:
    case RI_MOUSE_BUTTON_4_DOWN: case RI_MOUSE_BUTTON_4_UP:
    case RI_MOUSE_BUTTON_5_DOWN: case RI_MOUSE_BUTTON_5_UP:
      return true;
    default:
      return false;
  }
}

DWORD Pack(USHORT low, USHORT high) { return static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16); }

}  // namespace

CDelayTimer::CDelayTimer() : m_lastTick(::GetTickCount()) {}

CDelayTimer::~CDelayTimer() { m_events.clear(); }

void CDelayTimer::SetClock(tray::TickClock clock) { m_clock = std::move(clock); }

void CDelayTimer::Start() {
  m_events.clear();
  m_recording = 1;
  m_lastTick = Now();
}

void CDelayTimer::Clear() {
  m_recording = 0;
  m_events.clear();
}

void CDelayTimer::AddDelay() {
  const DWORD now = Now();
  if (!m_events.empty()) Append(kRecorderDelay, std::min<DWORD>(m_maxDelay, now - m_lastTick));
  m_lastTick = now;
}

void CDelayTimer::Append(LONG type, DWORD data) { m_events.push_back(DeviceMacroEvent{type, data}); }

void CDelayTimer::OnRawInput(LPARAM input) {
  if (!m_recording) return;
  device::RawInputRecord record;
  if (!device::ReadRawInput(input, record)) return;
  OnRecord(*record.Get());
}

void CDelayTimer::OnRecord(const RAWINPUT& input) {
  if (!m_recording) return;
  // A delay and an event: the list stops where the service's macros end.
  const size_t needed = m_events.empty() ? 1 : 2;
  if (m_events.size() + needed > tray::kMaxRecordedEvents) return;
  if (input.header.dwType == RIM_TYPEKEYBOARD) {
    const RAWKEYBOARD& key = input.data.keyboard;
    // The Shift the system adds around extended keys would press Shift when played.
    if (device::IsFakeExtendedShift(key)) return;
    const DWORD data = Pack(key.MakeCode, key.Flags);
    const bool press = (key.Flags & RI_KEY_BREAK) == 0;
    // A held key repeats its press: one press is kept.
    if (press && !m_events.empty() && m_events.back().type == kRecorderKey && m_events.back().data == data) return;
    AddDelay();
    Append(kRecorderKey, data);
  } else if (input.header.dwType == RIM_TYPEMOUSE) {
    const RAWMOUSE& mouse = input.data.mouse;
    // Movement alone, the wheel and several buttons in one record are not kept.
    if (!IsSingleButtonFlag(mouse.usButtonFlags)) return;
    AddDelay();
    Append(kRecorderMouseButton, Pack(mouse.usButtonFlags, mouse.usButtonData));
  }
}
