// The tray's own client of the device service. Every user builds one for one
// operation (or a short run of them) and deletes it at once; only the event
// connections it creates outlive it. Every operation answers false, empty or
// null when the keyboard was not found or a service call failed: no messages,
// no retries.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "device/DeviceCom.h"
#include "service/DeviceServiceIds.h"
#include "tray/EventConnections.h"

// One device profile as the tray sees it.
struct _Profile_Setting_ {
  std::wstring name;
  std::wstring program;  // property 0x80000002: a file name of up to 127 characters, or empty
  int32_t autoSwitch = 0;  // bit 0 of property 0x80000003
  int32_t flag1 = 0;       // bit 1 (read, never used by the tray)
  int32_t showOsd = 0;     // bit 2
  GUID id{};
};

// One lighting setting of the keyboard.
struct CLed {
  int32_t ledId;
  int32_t on;
  int32_t colour;
  int32_t brightness;
  int32_t effect;
  int32_t time1;
  int32_t time2;
};

// The recording light: 0 steady (recording), 1 blinking (stopped, waiting for the
// key), 2 off.
using CMacroLedScheme = std::vector<CLed>;
extern const CMacroLedScheme MacroLedScheme;

namespace tray {
inline constexpr int32_t kOvrixProductId = 0x0C41;
// Longest profile or macro name taken from the service (the clients' 260-unit fields).
inline constexpr size_t kMaxNameChars = MAX_PATH - 1;
}  // namespace tray

class CDeviceManager {
 public:
  CDeviceManager();
  CDeviceManager(const CDeviceManager&) = delete;
  CDeviceManager& operator=(const CDeviceManager&) = delete;

  // In the order of the class's virtual slots.
  virtual bool GetAllProfiles(std::vector<_Profile_Setting_>& settings);
  virtual bool GetProfileNames(std::vector<std::wstring>& names);
  virtual bool GetProfileById(const GUID& id, _Profile_Setting_& setting);
  virtual bool GetProfileByName(const std::wstring& name, _Profile_Setting_& setting);
  virtual bool GetActiveProfileId(GUID& id);
  virtual bool GetActiveProfileName(std::wstring& name);
  virtual bool ActivateProfileById(GUID id);
  virtual bool ActivateProfileByName(const std::wstring& name);
  virtual void GetNextMacroName(std::wstring& name);
  virtual bool CreateMacro(const std::wstring& name, const std::vector<DeviceMacroEvent>& events, GUID& id);
  virtual bool AssignMacroToKey(const GUID& macroId, int first, int deviceKeyCode);
  virtual bool AssignMacroToKeyInProfile(const std::wstring& profileName, const GUID& macroId, int first,
                                         int deviceKeyCode);
  virtual bool BeginRecordingMode();
  virtual bool ShowRecordingStopped();
  virtual bool CancelRecordingMode();
  // Normal mode, the light off, then the recorder's events as a new "New Macro"
  // on the key in the active profile; the result is the assignment's.
  virtual bool FinishRecording(int first, int deviceKeyCode);
  virtual bool RecordingLedOff();
  virtual std::unique_ptr<CDpiEventConnection> ConnectDpiEvents(IDpiEventHandler* handler);
  virtual std::unique_ptr<CProfileEventConnection> ConnectProfileEvents(IProfileEventHandler* handler);
  virtual std::unique_ptr<CMacroEventConnection> ConnectMacroEvents(IMacroEventHandler* handler);
  virtual std::unique_ptr<CLaunchAppEventConnection> ConnectLaunchAppEvents(ILaunchAppEventHandler* handler);
  virtual bool SetProfileProgramPath(const std::wstring& profileName, const std::wstring& program);
  virtual bool SetProfileFlagWord(const std::wstring& profileName, WORD value);
  virtual bool ChangeProfileFlag(const std::wstring& profileName, WORD value1, WORD value2, WORD value3);
  virtual bool IsDevicePresent() const;
  virtual ~CDeviceManager();
  virtual bool ApplyLedToActiveProfile(const CLed& led);
  virtual bool ApplyLedToProfile(const std::wstring& profileName, const CLed& led);
  virtual bool SetRecordingMode();
  virtual bool SetNormalMode();
  virtual bool SetDeviceMode(int mode);

  // The recording's later steps for the profile where it began (`profile`, its
  // id), whichever profile is active by then: the light that showed the recording
  // is the one to blink and go off, and the macro goes on that profile's key. An
  // all-zero id, or one the device no longer has, stands for the active profile.
  // The finish makes that profile active again only when it still is the active
  // one (the device takes changed assignments then).
  bool ShowRecordingStopped(const GUID& profile);
  bool CancelRecordingMode(const GUID& profile);
  bool FinishRecording(const GUID& profile, int first, int deviceKeyCode);
  bool RecordingLedOff(const GUID& profile);

 private:
  // The first profile (device order) for which `match` is true; the rest are released.
  template <typename Match>
  ComRef<IDeviceProfile> FindProfile(Match match);
  ComRef<IDeviceProfile> FindProfileByExactName(const std::wstring& name);
  ComRef<IDeviceMacro> FindMacroById(const GUID& id);
  bool AssignMacroInProfile(IDeviceProfile* profile, const GUID& macroId, int deviceKeyCode);
  ComRef<IDeviceProfile> RecordingProfile(const GUID& id);
  bool ApplyLed(IDeviceProfile* profile, const CLed& led);

  int32_t m_productId = 0;
  ComRef<IDeviceManager> m_deviceManager;
  ComRef<IDevice> m_device;
  ComRef<IProfileManager> m_profileManager;
};

namespace tray {
// The number in a macro name that "New Macro" names count with: the characters of
// "New Macro" stripped from its start, then a decimal integer; 0 when there is
// none, or when it cannot be counted one higher.
int32_t MacroNameNumber(const std::wstring& name);
// The profile's name, program and flags from its properties; false when a
// property read failed (the flags are read only after the program).
bool ReadProfileProperties(IDeviceProfile* profile, _Profile_Setting_& setting);
}  // namespace tray
