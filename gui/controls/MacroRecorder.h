// Recording into the macro list: raw input of the keyboard and the mouse while
// a recording runs, each key press or release and mouse button as a row, with
// the pause before it as a delay row (by the list's delay rules).
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "device/KeyEvent.h"

class CMacroDisplayItem;

class CMacroRecorder {
 public:
  explicit CMacroRecorder(CMacroDisplayItem& list);
  ~CMacroRecorder();
  CMacroRecorder(const CMacroRecorder&) = delete;
  CMacroRecorder& operator=(const CMacroRecorder&) = delete;

  // Registers `window` for the keyboard's and the mouse's raw input; false, with
  // the registrar left clean, when that fails.
  bool Start(HWND window);
  void Stop();
  bool IsRecording() const { return m_recording != 0; }

  // WM_INPUT: adds the rows the input gives. False when it gave nothing to read
  // or the list's window went while a row was added.
  bool OnInput(LPARAM lParam);
  // The pending key (the last one read) or mouse button as a row, after its delay;
  // false when not recording.
  bool AddKeyEvent();
  bool AddMouseEvent();
  // A key message from the loop: true for the keys the key event takes for itself.
  bool TakeKeyMessage(const MSG* msg) { return KeyEventFromMessage(msg, m_keyEvent); }

  // The clock of the delays (GetTickCount unless a test sets its own).
  void SetTickSource(std::function<DWORD()> ticks) { m_ticks = std::move(ticks); }

 private:
  void AddElapsedDelay();
  void OnKeyRecord(const RAWKEYBOARD& keyboard);

  CMacroDisplayItem& m_list;
  KeyEvent m_keyEvent;
  int m_mouseCode = 0;
  uint8_t m_mouseState = 0;
  // Held keys by make code and E0 flag (left and right Ctrl share a make code).
  std::vector<uint32_t> m_heldKeys;
  uint8_t m_recording = 0;
  DWORD m_lastTick = 0;
  std::function<DWORD()> m_ticks;
};
