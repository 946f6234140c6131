// A profile: one complete set of key assignments with a name, a device id, an
// optional linked program and three on/off settings. Profiles are created and
// owned by the configuration; everyone else borrows IKeyboardProfile pointers.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

#include "device/KeyAssignment.h"

namespace device {
// Change stamps: every change the configurator makes is stamped with a number
// larger than any before it (from either thread), so that a write can tell the
// changes it took in its copy from those made while it ran.
uint64_t NewChangeStamp();
// The largest stamp handed out so far.
uint64_t LatestChangeStamp();
}  // namespace device

class IKeyboardProfile {
 public:
  virtual const std::wstring& GetName() const = 0;
  virtual GUID GetId() const = 0;
  // Every key already in the map goes back to its default in the current layout.
  virtual void ResetToDefaults() = 0;
  virtual bool HasString() const = 0;
  virtual void SetName(const std::wstring& name) = 0;
  virtual void SetId(const GUID& id) = 0;
  virtual const std::wstring& GetFileName() const = 0;
  virtual void SetFileName(const std::wstring& fileName) = 0;
  virtual const std::wstring& GetString() const = 0;
  virtual const std::wstring& GetPath() const = 0;
  virtual void SetPath(const std::wstring& path) = 0;
  virtual bool SetKeyAssignment(int32_t keyId, KeyAssignment record) = 0;
  virtual void GetKeyAssignment(KeyAssignment& out, int32_t keyId) = 0;
  virtual void SetAutoSwitch(uint8_t value) = 0;
  virtual uint8_t GetAutoSwitch() const = 0;
  virtual void SetShowOsd(uint8_t value) = 0;
  virtual uint8_t GetShowOsd() const = 0;
  // Operations this keyboard has no use for; kept so the interface is complete.
  virtual void UnusedSetting(intptr_t) {}
  virtual bool UnusedQuery() { return false; }
  virtual bool UnusedTransferA(intptr_t, intptr_t, intptr_t) { return false; }
  virtual bool UnusedTransferB(intptr_t, intptr_t, intptr_t) { return false; }

 protected:
  ~IKeyboardProfile() = default;  // profiles are deleted by their owner only
};

class CBaseProfile {
 public:
  CBaseProfile() = default;
  explicit CBaseProfile(const std::wstring& name) : m_name(name) {}
  // A copy carries everything but the LED state, which starts at 1.
  CBaseProfile(const CBaseProfile& other);
  CBaseProfile& operator=(const CBaseProfile&) = delete;
  virtual ~CBaseProfile() = default;

  virtual const std::wstring& GetName() const { return m_name; }
  virtual void SetName(const std::wstring& name);
  virtual GUID GetId() const { return m_id; }
  virtual void SetId(const GUID& id) { m_id = id; }
  virtual bool HasString() const { return !m_storageFile.empty(); }
  virtual const std::wstring& GetString() const { return m_storageFile; }
  virtual const std::wstring& GetFileName() const { return m_fileName; }
  virtual void SetFileName(const std::wstring& fileName);
  virtual const std::wstring& GetPath() const { return m_path; }
  // Stores the path and makes its last component the program file name.
  virtual void SetPath(const std::wstring& path);
  // Stores the record when the profile accepts its kind; true when stored.
  virtual bool SetKeyAssignment(int32_t keyId, KeyAssignment record);
  // The key's record; a key never assigned gets (and returns) an all-zero record.
  virtual void GetKeyAssignment(KeyAssignment& out, int32_t keyId);
  virtual bool IsAssignmentKindSupported(int32_t kind) const = 0;
  virtual void SetAutoSwitch(uint8_t value);
  virtual uint8_t GetAutoSwitch() const { return m_autoSwitch; }
  virtual void SetLedState(uint8_t value) { m_ledState = value; }
  virtual uint8_t GetLedState() const { return m_ledState; }
  virtual void SetShowOsd(uint8_t value);
  virtual uint8_t GetShowOsd() const { return m_showOsd; }
  // Profiles are not kept in files of their own: both fail and change nothing.
  virtual bool SaveToFile(std::wstring& outPath, const std::wstring& folder,
                          const std::wstring& extension);
  virtual bool LoadFromFile(const std::wstring& fileName, const std::wstring& folder,
                            const std::wstring& extension);

  // Every key in the map back to its layout default.
  void ResetKeysToDefaults();
  const std::map<int32_t, KeyAssignment>& KeyMap() const { return m_keyMap; }

  // What changed since the configuration last read this profile from the device or
  // wrote it there, each mark holding the stamp of its latest change: the keys
  // stored, and the properties the device keeps (name, program file name, automatic
  // switching, show-on-screen). A value stored again unchanged counts too: a
  // restore of defaults means every key it resets, a setting chosen means that setting.
  // A write sends what is marked and leaves the rest as the device holds it, since
  // another client (the tray) may have changed that meanwhile.
  const std::map<int32_t, uint64_t>& KeyMarks() const { return m_keyMarks; }
  uint64_t PropertiesMark() const { return m_propertiesMark; }
  bool HasMarks() const { return m_propertiesMark != 0 || !m_keyMarks.empty(); }
  // Clears the marks stamped `upTo` or earlier; `keys` and `properties` choose which.
  void ClearMarks(uint64_t upTo, bool keys = true, bool properties = true);
  void ClearKeyMark(int32_t keyId) { m_keyMarks.erase(keyId); }
  void MarkKey(int32_t keyId) { m_keyMarks[keyId] = device::NewChangeStamp(); }
  // Marks the properties and every key of the map, as a profile the device does not
  // hold in full yet.
  void MarkEverything();

 private:
  void MarkProperties() { m_propertiesMark = device::NewChangeStamp(); }

  std::map<int32_t, KeyAssignment> m_keyMap;
  std::map<int32_t, uint64_t> m_keyMarks;
  uint64_t m_propertiesMark = 0;
  std::wstring m_name;
  std::wstring m_path;
  std::wstring m_fileName;
  std::wstring m_storageFile;
  GUID m_id{};
  uint8_t m_autoSwitch = 0;
  uint8_t m_showOsd = 1;
  uint8_t m_ledState = 1;
};

class CKeyboardProfile : public CBaseProfile {
 public:
  using CBaseProfile::CBaseProfile;
  bool IsAssignmentKindSupported(int32_t) const override { return false; }
  virtual void UnusedSetting(intptr_t) {}
  virtual bool UnusedQuery() { return false; }
};

// The one profile class that is instantiated.
class CMorvelProfile final : public CKeyboardProfile, public IKeyboardProfile {
 public:
  CMorvelProfile() = default;
  explicit CMorvelProfile(const std::wstring& name) : CKeyboardProfile(name) {}
  CMorvelProfile(const CMorvelProfile& other) = default;

  bool IsAssignmentKindSupported(int32_t kind) const override {
    return IsKeyboardAssignmentKind(kind);
  }

  const std::wstring& GetName() const override { return CBaseProfile::GetName(); }
  GUID GetId() const override { return CBaseProfile::GetId(); }
  void ResetToDefaults() override { ResetKeysToDefaults(); }
  bool HasString() const override { return CBaseProfile::HasString(); }
  void SetName(const std::wstring& name) override { CBaseProfile::SetName(name); }
  void SetId(const GUID& id) override { CBaseProfile::SetId(id); }
  const std::wstring& GetFileName() const override { return CBaseProfile::GetFileName(); }
  void SetFileName(const std::wstring& fileName) override { CBaseProfile::SetFileName(fileName); }
  const std::wstring& GetString() const override { return CBaseProfile::GetString(); }
  const std::wstring& GetPath() const override { return CBaseProfile::GetPath(); }
  void SetPath(const std::wstring& path) override { CBaseProfile::SetPath(path); }
  bool SetKeyAssignment(int32_t keyId, KeyAssignment record) override {
    return CBaseProfile::SetKeyAssignment(keyId, record);
  }
  void GetKeyAssignment(KeyAssignment& out, int32_t keyId) override {
    CBaseProfile::GetKeyAssignment(out, keyId);
  }
  void SetAutoSwitch(uint8_t value) override { CBaseProfile::SetAutoSwitch(value); }
  uint8_t GetAutoSwitch() const override { return CBaseProfile::GetAutoSwitch(); }
  void SetShowOsd(uint8_t value) override { CBaseProfile::SetShowOsd(value); }
  uint8_t GetShowOsd() const override { return CBaseProfile::GetShowOsd(); }
  void UnusedSetting(intptr_t) override {}
  bool UnusedQuery() override { return false; }
};
