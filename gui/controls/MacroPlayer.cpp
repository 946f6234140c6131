#include "gui/controls/MacroPlayer.h"

#include <algorithm>

#include "gui/controls/MacroDisplayItem.h"

CMacroPlayer::CMacroPlayer(CMacroDisplayItem& list, std::function<void()> finished)
    : m_list(list), m_finished(std::move(finished)) {}

void CMacroPlayer::Play(const MacroEventList& events) {
  Stop();
  m_list.ClearEvents();
  m_events = events;
  m_position = 0;
  m_playing = true;
  Step();
}

void CMacroPlayer::Reset() {
  m_playing = false;
  m_events.clear();
  m_position = 0;
}

void CMacroPlayer::Stop() {
  if (m_list.m_hWnd) m_list.KillTimer(CMacroDisplayItem::kPlaybackTimer);
  Reset();
}

void CMacroPlayer::OnTimer() {
  m_list.KillTimer(CMacroDisplayItem::kPlaybackTimer);
  // A stopped preview has nothing left to show (and reports nothing).
  if (m_playing) Step();
}

void CMacroPlayer::Step() {
  while (m_position < m_events.size()) {
    const MacroEvent event = m_events[m_position++];
    if (event.type == MACROEVENT_DELAY) {
      m_list.SetTimer(CMacroDisplayItem::kPlaybackTimer, static_cast<UINT>(std::max(event.a, 0)));
      m_list.Invalidate();
      return;
    }
    m_list.AddRow(event, false, -1);
  }
  m_list.KillTimer(CMacroDisplayItem::kPlaybackTimer);
  Reset();
  m_list.ClearEvents();
  m_list.Invalidate();
  m_finished();
}
