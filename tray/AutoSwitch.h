// Automatic profile switching: while a program linked to a profile (its
// automatic switch on) is in the foreground, that profile is active; once none
// is, the profile active before the switch comes back. A profile activated by
// anyone else (configurator, menu, keyboard) becomes the one to come back to.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tray/DeviceManager.h"

namespace tray {

class AutoSwitch {
 public:
  // The profile active now is where switching comes back to.
  void RememberActiveAsBase();
  // One switching step for the program in the foreground. Returns the name of
  // the profile switched to when that profile shows its name on screen.
  std::optional<std::wstring> SwitchForForeground();
  // A profile was activated (the service's event, which can arrive inside the
  // switching's own activation call).
  void OnProfileActivated(const GUID& id);

  const GUID& BaseProfile() const { return m_baseProfile; }
  const GUID& LastAutoProfile() const { return m_lastAutoProfile; }

 private:
  // The active profile is the one the switching activated itself.
  bool OwnSwitchInForce(const GUID& active) const;

  std::vector<_Profile_Setting_> m_profileSettings;
  GUID m_baseProfile{};
  GUID m_lastAutoProfile{};
};

}  // namespace tray
