// The macro list's preview: a copy of a macro's events shown one after another
// in a read-only list, each delay waited on the list's playback timer. Nothing is
// sent to the system.
#pragma once
#include <windows.h>

#include <cstddef>
#include <functional>

#include "device/Macro.h"

class CMacroDisplayItem;

class CMacroPlayer {
 public:
  // `finished` runs when a preview has shown its last event (not when stopped).
  CMacroPlayer(CMacroDisplayItem& list, std::function<void()> finished);
  CMacroPlayer(const CMacroPlayer&) = delete;
  CMacroPlayer& operator=(const CMacroPlayer&) = delete;

  // Empties the list and shows the events up to the first delay.
  void Play(const MacroEventList& events);
  // Ends a preview at once, without `finished`.
  void Stop();
  bool IsPlaying() const { return m_playing; }
  // The playback timer's tick: the delay is over.
  void OnTimer();

 private:
  void Step();
  void Reset();

  CMacroDisplayItem& m_list;
  std::function<void()> m_finished;
  MacroEventList m_events;
  size_t m_position = 0;
  bool m_playing = false;
};
