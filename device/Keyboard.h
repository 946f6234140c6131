// The configurator's device object: the Ovrix keyboard behind IGenDevice. Reads
// the configuration from the device service, writes it back on one background
// thread, and carries out the single device operations of the window code.
#pragma once
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "device/BaseDevice.h"
#include "device/GenDevice.h"

class CMorvelConfig;

class CKeyboard : public IGenDevice, public CBaseDevice<IKeyboardConfig*, IKeyboardProfile*, CKeyboard> {
  using Base = CBaseDevice<IKeyboardConfig*, IKeyboardProfile*, CKeyboard>;

 public:
  CKeyboard();
  // Waits for a running write (see CDeviceConnection::kWriteWaitMs) before anything
  // the write uses goes away.
  ~CKeyboard() override;

  bool ReadFromDevice(IKeyboardConfig* config) override;
  void ReleaseAll() override { Base::ReleaseAll(); }
  bool IsWriting() override { return Base::IsWriting(); }
  bool ImportMacroFile(const std::wstring& path, IKeyboardConfig* config) override {
    return Base::ImportMacroFile(path, config);
  }
  bool ExportMacroFile(const std::wstring& path, CMacro* macro) override { return Base::ExportMacroFile(path, macro); }
  bool MacroExists(CMacro* macro) override { return Base::MacroExists(macro); }
  bool ImportProfileFile(const std::wstring& path, IKeyboardConfig* config) override;
  bool ExportProfileFile(const std::wstring& path, IKeyboardProfile* profile) override {
    return Base::ExportProfileFile(path, profile);
  }
  bool ProfileExists(IKeyboardProfile* profile) override { return Base::ProfileExists(profile); }
  bool SuspendRemapping() override;
  bool ResumeRemapping() override;
  bool ReadValue(DWORD* out) override;
  bool TransferConfig(IKeyboardConfig* config, int direction, TransferMask mask) override;
  bool IsPresent() override { return Base::IsPresent(); }
  bool GetFirmwareVersion(std::wstring& out) override;
  bool GetSecondVersion(std::wstring& out) override;
  uint32_t GetProductId() override;
  int GetProfileCount() override { return Base::GetProfileCount(); }
  int GetMacroCount() override { return Base::GetMacroCount(); }
  bool LastWriteSucceeded() override;
  void EndHeldConnection() override { Base::EndHeldConnection(); }

  // Key id of a device key code; 0 when no key definition sends that code.
  static int32_t KeyIdFromDeviceCode(uint32_t deviceKeyCode);
  // What a key does by default: its code in the current layout, else the key's own
  // code, else the device key code itself.
  static KeyAssignment DefaultKeyAssignment(int32_t keyId, uint32_t deviceKeyCode);
  // Every device key code with its key id and default, from the key definitions as
  // they stand now (on the window thread).
  static device::ResolvedKeyTable ResolveKeyTable(const std::vector<uint32_t>& deviceKeyCodes);
  // Whether a single-key record read from the device is just the key's default.
  static bool IsKeyDefault(int32_t keyId, uint32_t deviceKeyCode, const KeyAssignment& record);

 private:
  bool SetRemappingMode(int mode);

  // Reading.
  bool ReadVersionStrings();
  bool ReadKeyCodeList(IDeviceProfile* profile);
  static bool ReadActiveProfileId(IProfileManager* profiles, GUID& id);
  bool ReadConfigJob(DeviceSession& session, IKeyboardConfig* config, TransferMask mask);
  static bool ReadProfileProperties(IDeviceProfile* deviceProfile, IKeyboardProfile* profile);
  static bool ReadKeyAssignments(DeviceSession& session, IKeyboardProfile* profile, IKeyAssignments* keys,
                                 IKeyboardConfig* config);
  static bool ReadMacros(DeviceSession& session, IKeyboardConfig* config, IMacroManager* macros);
  static bool ReadApplications(DeviceSession& session, IKeyboardConfig* config, IApplicationManager* apps);

  // Writing (on the write thread, on the write's own copy of the configuration).
  bool StartWrite(IKeyboardConfig* config, TransferMask mask);
  bool WriteConfigJob(DeviceSession& session, IKeyboardConfig* config, TransferMask mask);
  static bool SyncDeviceProfiles(DeviceSession& session, IProfileManager* profiles, IKeyboardConfig* config);
  static bool EnsureDeviceProfile(DeviceSession& session, IProfileManager* profiles, IKeyboardProfile* profile);
  static bool WriteProfileProperties(IDeviceProfile* deviceProfile, IProfileProperties* properties,
                                     IKeyboardProfile* profile);
  static bool WriteKeyAssignments(DeviceSession& session, IKeyboardConfig* config, IDeviceProfile* deviceProfile,
                                  IKeyboardProfile* profile);
  static bool ResolveNamedAssignments(DeviceSession& session, IKeyboardProfile* profile, IKeyboardConfig* config);
  static bool ResolveProfileByName(DeviceSession& session, IProfileManager* profiles, IKeyboardConfig* config,
                                   KeyAssignment& assignment);
  static bool ResolveMacroByName(DeviceSession& session, IMacroManager* macros, IKeyboardConfig* config,
                                 KeyAssignment& assignment);
  static bool ResolveApplicationByName(DeviceSession& session, IApplicationManager* apps, IKeyboardConfig* config,
                                       KeyAssignment& assignment);
  static bool DeleteStaleMacros(DeviceSession& session, IMacroManager* macros, IKeyboardConfig* config);
  // `recreated` gains the old and new id of every macro that had to be made anew.
  static bool WriteMacros(DeviceSession& session, IMacroManager* macros, IKeyboardConfig* config,
                          GuidMap& recreated);
  static bool CreateDeviceMacro(DeviceSession& session, IMacroManager* macros, CMacro* macro);
  static bool DeleteStaleApplications(DeviceSession& session, IApplicationManager* apps, IKeyboardConfig* config);
  static bool WriteApplications(DeviceSession& session, IApplicationManager* apps, IKeyboardConfig* config,
                                GuidMap& recreated);
  // After a macro or application was made anew: the keys of `written` that played
  // or launched it by its old id are written again with the new one.
  static bool RewriteMovedKeys(DeviceSession& session, IProfileManager* profiles, IKeyboardConfig* config,
                               const std::vector<IKeyboardProfile*>& written, int32_t kind, const GuidMap& moved);
  static bool CreateDeviceApplication(DeviceSession& session, IApplicationManager* apps, CQxApp* app);
};

namespace device {

// Points the profile's keys of `kind` (KEYKIND_MACRO or KEYKIND_LAUNCH) that hold a
// moved id at its new id; the ids of the keys changed.
std::vector<int32_t> RepointKeys(IKeyboardConfig* config, IKeyboardProfile* profile, int32_t kind,
                                 const GuidMap& moved);

}  // namespace device

// The write's own copy of the configuration, and what is needed to carry the
// write's results (ids the device assigned, assignments resolved to id form) back
// into the live configuration once the write has ended.
class CConfigSnapshot {
 public:
  CConfigSnapshot();
  ~CConfigSnapshot();
  CConfigSnapshot(const CConfigSnapshot&) = delete;
  CConfigSnapshot& operator=(const CConfigSnapshot&) = delete;

  // A deep copy of `live`; false when it holds something that cannot be copied.
  bool Take(IKeyboardConfig* live);
  IKeyboardConfig* Copy() const;
  // On the window thread, after the write: matched by object identity, skipping
  // objects that were deleted meanwhile and records that were changed meanwhile.
  //
  // What goes back: an id the write gave a profile, macro or application (a new
  // object, or one made anew because the device had lost it), when the live object
  // still has the id it had when the copy was taken; and a key record the write
  // changed (a by-name record resolved to id form, an id record pointed at a macro
  // or application made anew), when the live record is still the one copied.
  void CarryBack(IKeyboardConfig* live) const;

 private:
  struct ProfileLink {
    IKeyboardProfile* live;
    IKeyboardProfile* copy;
    GUID id;
    // The records the write may change (by-name, and by macro or program id), as copied.
    std::map<int32_t, KeyAssignment> rewritableKeys;
  };
  struct MacroLink {
    CMacro* live;
    CMacro* copy;
    GUID id;
  };
  struct AppLink {
    CQxApp* live;
    CQxApp* copy;
    GUID id;
  };

  std::unique_ptr<CMorvelConfig> m_copy;
  std::vector<ProfileLink> m_profiles;
  std::vector<MacroLink> m_macros;
  std::vector<AppLink> m_apps;
};
