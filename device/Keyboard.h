// The configurator's device object: the Ovrix keyboard behind IGenDevice. Reads
// the configuration from the device service, writes it back on one background
// thread, and carries out the single device operations of the window code.
#pragma once
#include <windows.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "device/BaseDevice.h"
#include "device/GenDevice.h"

class CMorvelConfig;

namespace device {
// The macros and applications that the key records a write sends play or launch:
// the write makes sure the device still has them.
struct WriteReferences {
  GuidSet macros;
  GuidSet apps;
};
// Key ids a write sends; null stands for every key.
using KeySelection = const std::set<int32_t>*;
}  // namespace device

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
  // The write sends what the configuration marks as changed (see
  // CBaseProfile::KeyMarks) and everything of the objects the device does not have.
  bool StartWrite(IKeyboardConfig* config, TransferMask mask);
  bool WriteConfigJob(DeviceSession& session, IKeyboardConfig* config, TransferMask mask);
  static bool SyncDeviceProfiles(DeviceSession& session, IProfileManager* profiles, IKeyboardConfig* config);
  // The profile's device profile in `found`. A profile the device does not have
  // (a new one, or one whose id it no longer knows: a reset, another client's
  // delete) is created, takes the new id (`moved` gains the old and new id of one
  // made anew), and sets `whole`: everything of it is to be written.
  static bool EnsureDeviceProfile(DeviceSession& session, IProfileManager* profiles, IKeyboardProfile* profile,
                                  GuidMap& moved, ComRef<IDeviceProfile>& found, bool& whole);
  // Names the device profile as the configuration does when the names differ other
  // than in letter case (a rename written without the property step).
  static bool RenameIfDifferent(IDeviceProfile* deviceProfile, IKeyboardProfile* profile);
  static bool WriteProfileProperties(IDeviceProfile* deviceProfile, IProfileProperties* properties,
                                     IKeyboardProfile* profile);
  static bool WriteKeyAssignments(DeviceSession& session, IKeyboardConfig* config, IDeviceProfile* deviceProfile,
                                  IKeyboardProfile* profile, device::KeySelection only,
                                  device::WriteReferences& references);
  static bool ResolveNamedAssignments(DeviceSession& session, IKeyboardProfile* profile, IKeyboardConfig* config,
                                      device::KeySelection only);
  static bool ResolveProfileByName(DeviceSession& session, IProfileManager* profiles, IKeyboardConfig* config,
                                   KeyAssignment& assignment);
  static bool ResolveMacroByName(DeviceSession& session, IMacroManager* macros, IKeyboardConfig* config,
                                 KeyAssignment& assignment);
  static bool ResolveApplicationByName(DeviceSession& session, IApplicationManager* apps, IKeyboardConfig* config,
                                       KeyAssignment& assignment);
  static bool DeleteStaleMacros(DeviceSession& session, IMacroManager* macros, IKeyboardConfig* config);
  // Creates the macros the device does not have and sends the names and events that
  // changed; a macro in `referenced` is looked up on the device even when unchanged.
  // `recreated` gains the old and new id of every macro that had to be made anew.
  static bool WriteMacros(DeviceSession& session, IMacroManager* macros, IKeyboardConfig* config,
                          GuidMap& recreated, const GuidSet& referenced);
  static bool CreateDeviceMacro(DeviceSession& session, IMacroManager* macros, CMacro* macro);
  static bool DeleteStaleApplications(DeviceSession& session, IApplicationManager* apps, IKeyboardConfig* config);
  // As WriteMacros for the linked applications; without `referenced` every
  // application is compared with the device's copy.
  static bool WriteApplications(DeviceSession& session, IApplicationManager* apps, IKeyboardConfig* config,
                                GuidMap& recreated, const GuidSet* referenced = nullptr);
  // After a profile, macro or application was made anew: the keys of every profile
  // the device has that switched to, played or launched it by its old id are
  // pointed at the new one and written again.
  static bool RewriteMovedKeys(DeviceSession& session, IProfileManager* profiles, IKeyboardConfig* config,
                               int32_t kind, const GuidMap& moved);
  static bool CreateDeviceApplication(DeviceSession& session, IApplicationManager* apps, CQxApp* app);
};

namespace device {

// Points the profile's keys of `kind` (KEYKIND_PROFILE, KEYKIND_MACRO or KEYKIND_LAUNCH) that hold a
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

  // A deep copy of `live`, change marks included; false when it holds something
  // that cannot be copied.
  bool Take(IKeyboardConfig* live);
  IKeyboardConfig* Copy() const;
  // On the window thread, after the write: matched by object identity, skipping
  // objects that were deleted meanwhile and records that were changed meanwhile.
  //
  // What goes back: an id the write gave a profile, macro or application (a new
  // object, or one made anew because the device had lost it), when the live object
  // still has the id it had when the copy was taken; and a key record the write
  // changed (a by-name record resolved to id form, an id record pointed at a
  // profile, macro or application made anew), when the live record is still the one
  // copied.
  //
  // When the write succeeded, the live configuration's change marks of what the
  // copy held (and the mask wrote) are cleared, and what the device now holds of
  // each macro and application is recorded; marks made while the write ran stay.
  // When it failed, every mark stays, and a profile the write created is marked
  // whole, since not all of it may have reached the device.
  void CarryBack(IKeyboardConfig* live, bool succeeded, TransferMask mask) const;

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
  uint64_t m_stamp = 0;  // the latest change the copy holds
  std::vector<ProfileLink> m_profiles;
  std::vector<MacroLink> m_macros;
  std::vector<AppLink> m_apps;
};
