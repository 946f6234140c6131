#include "tray/AutoSwitch.h"

#include "tray/PcManager.h"

namespace tray {

namespace {
bool SameProfile(const GUID& a, const GUID& b) { return IsEqualGUID(a, b) != 0; }
bool IsZero(const GUID& id) { return SameProfile(id, GUID{}); }
}  // namespace

void AutoSwitch::RememberActiveAsBase() {
  m_baseProfile = GUID{};
  CDeviceManager manager;
  manager.GetActiveProfileId(m_baseProfile);
}

std::optional<std::wstring> AutoSwitch::SwitchForForeground() {
  CDeviceManager manager;
  GUID active{};
  if (!manager.GetAllProfiles(m_profileSettings) || !manager.GetActiveProfileId(active)) return std::nullopt;
  // The foreground program, once for the whole walk.
  std::wstring foreground;
  if (const DWORD process = CurrentSeams().processes->ForegroundProcessId())
    PcManager.GetProcessExeName(process, foreground);

  for (const _Profile_Setting_& entry : m_profileSettings) {
    if (!entry.autoSwitch || entry.program.empty() || entry.program != foreground) continue;
    if (SameProfile(entry.id, active)) return std::nullopt;
    // Taking over from a profile the user chose: that is where to come back to.
    if (!OwnSwitchInForce(active)) m_baseProfile = active;
    const GUID previous = m_lastAutoProfile;
    // Set before the call: the service's event can arrive inside it.
    m_lastAutoProfile = entry.id;
    if (!manager.ActivateProfileById(entry.id)) {
      m_lastAutoProfile = previous;
      return std::nullopt;
    }
    if (entry.showOsd) return entry.name;
    return std::nullopt;
  }
  // Back to the base only from the switching's own switch; a profile chosen by hand stays.
  if (!OwnSwitchInForce(active)) return std::nullopt;
  if (IsZero(m_baseProfile) || SameProfile(m_baseProfile, active) || manager.ActivateProfileById(m_baseProfile))
    m_lastAutoProfile = GUID{};
  return std::nullopt;
}

void AutoSwitch::OnProfileActivated(const GUID& id) {
  if (!SameProfile(id, m_lastAutoProfile)) {
    // Activated by someone else (configurator, menu, keyboard): where switching returns to.
    m_baseProfile = id;
    m_lastAutoProfile = GUID{};
  }
}

bool AutoSwitch::OwnSwitchInForce(const GUID& active) const {
  return !IsZero(m_lastAutoProfile) && SameProfile(m_lastAutoProfile, active);
}

}  // namespace tray
