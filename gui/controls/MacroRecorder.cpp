#include "gui/controls/MacroRecorder.h"

#include <algorithm>

#include "device/RawInput.h"
#include "gui/controls/MacroDisplayItem.h"

namespace {

// The raw mouse button flags, in bit order: each gives its button and state.
struct MouseFlag {
  USHORT flag;
  int button;
  uint8_t state;
};
constexpr MouseFlag RawMouseButtonTable[] = {
    {RI_MOUSE_BUTTON_1_DOWN, 1, kMacroStatePressed}, {RI_MOUSE_BUTTON_1_UP, 1, kMacroStateReleased},
    {RI_MOUSE_BUTTON_2_DOWN, 2, kMacroStatePressed}, {RI_MOUSE_BUTTON_2_UP, 2, kMacroStateReleased},
    {RI_MOUSE_BUTTON_3_DOWN, 3, kMacroStatePressed}, {RI_MOUSE_BUTTON_3_UP, 3, kMacroStateReleased},
    {RI_MOUSE_BUTTON_4_DOWN, 25, kMacroStatePressed}, {RI_MOUSE_BUTTON_4_UP, 25, kMacroStateReleased},
    {RI_MOUSE_BUTTON_5_DOWN, 26, kMacroStatePressed}, {RI_MOUSE_BUTTON_5_UP, 26, kMacroStateReleased},
};

}  // namespace

CMacroRecorder::CMacroRecorder(CMacroDisplayItem& list) : m_list(list) {
  m_ticks = [] { return ::GetTickCount(); };
}

CMacroRecorder::~CMacroRecorder() {
  if (m_recording) FrameworkRawInputRegistrar().Unregister();
}

bool CMacroRecorder::Start(HWND window) {
  RawInputRegistrar& registrar = FrameworkRawInputRegistrar();
  registrar.AddUsage(RawInputRegistrar::kUsageKeyboard);
  registrar.AddUsage(RawInputRegistrar::kUsageMouse);
  if (!registrar.Register(window)) {
    // Not recording is what the caller is told; the registrar is left clean.
    registrar.Unregister();
    return false;
  }
  m_heldKeys.clear();
  // A recording onto events already there measures its first pause from its
  // start, not from whenever the clock was last read.
  m_lastTick = m_ticks();
  m_recording = 1;
  return true;
}

void CMacroRecorder::Stop() {
  if (!m_recording) return;
  FrameworkRawInputRegistrar().Unregister();
  m_recording = 0;
}

void CMacroRecorder::AddElapsedDelay() {
  const DWORD now = m_ticks();
  if (m_list.Events().empty()) {
    m_lastTick = now;
    return;
  }
  if (m_list.m_ignoreDelays) return;
  int delay = m_list.m_defaultDelay;
  if (!m_list.m_fixedDelay) {
    const DWORD elapsed = now - m_lastTick;
    delay = static_cast<int>(std::min<DWORD>(elapsed, CMacroDisplayItem::kMaxDelayMs));
    m_lastTick = now;
  }
  m_list.AddRow(MacroEvent{MACROEVENT_DELAY, delay, delay}, true, -1);
}

bool CMacroRecorder::AddKeyEvent() {
  if (!m_recording) return false;
  AddElapsedDelay();
  return m_list.AddRow(MacroEventFromKeyEvent(m_keyEvent), true, -1);
}

bool CMacroRecorder::AddMouseEvent() {
  if (!m_recording) return false;
  AddElapsedDelay();
  return m_list.AddRow(MacroEvent{MACROEVENT_MOUSE, m_mouseCode, m_mouseState}, true, -1);
}

void CMacroRecorder::OnKeyRecord(const RAWKEYBOARD& keyboard) {
  const uint32_t key = keyboard.MakeCode | ((keyboard.Flags & RI_KEY_E0) ? 0x10000u : 0u);
  auto held = std::find(m_heldKeys.begin(), m_heldKeys.end(), key);
  if (keyboard.Flags & RI_KEY_BREAK) {
    if (held != m_heldKeys.end()) m_heldKeys.erase(held);
  } else {
    if (held != m_heldKeys.end()) return;  // a repeat of a key held down
    m_heldKeys.push_back(key);
  }
  if (KeyEventFromRawInput(m_keyEvent, &keyboard)) m_list.AddKeyEvent();
}

bool CMacroRecorder::OnInput(LPARAM lParam) {
  device::RawInputRecord record;
  if (!device::ReadRawInput(lParam, record)) return false;
  const HWND self = m_list.m_hWnd;
  if (const RAWMOUSE* mouse = record.Mouse()) {
    // Every known flag of the word gives its own event, in bit order: a word
    // with a release and a press loses neither.
    const USHORT flags = mouse->usButtonFlags;
    for (const MouseFlag& entry : RawMouseButtonTable) {
      if (!(flags & entry.flag)) continue;
      m_mouseCode = entry.button;
      m_mouseState = entry.state;
      if (m_list.m_excludedWindow && ::GetCapture() == m_list.m_excludedWindow) continue;
      m_list.AddMouseEvent();
      if (!::IsWindow(self)) return false;
    }
  } else if (const RAWKEYBOARD* keyboard = record.Keyboard()) {
    OnKeyRecord(*keyboard);
  }
  return true;
}
