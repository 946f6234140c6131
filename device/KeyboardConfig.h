// The configurator's one configuration object: the profiles, the active-profile
// choice, the macros and the linked applications, and the small settings file
// that remembers the active profile's name. The GUI and the device layer reach it
// only through IKeyboardConfig.
#pragma once
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/KeyAssignment.h"
#include "device/Macro.h"
#include "device/Profile.h"
#include "platform/Strings.h"

class IGenDevice;

class IKeyboardConfig {
 public:
  virtual void ClearProfiles() = 0;
  virtual void SetDevice(IGenDevice* device) = 0;
  virtual int GetMaxCount() const = 0;
  virtual int GetProfileCount() const = 0;
  virtual int GetMacroCount() const = 0;
  virtual IKeyboardProfile* AddNewProfile(const std::wstring& name) = 0;
  virtual IKeyboardProfile* AddProfileCopy(IKeyboardProfile* source) = 0;
  // Null for the all-zero id: that id means "not yet known to the device".
  virtual IKeyboardProfile* FindProfileByGuid(GUID id) = 0;
  virtual IKeyboardProfile* FindProfileByName(const std::wstring& name) = 0;
  // Null for an index outside 0..count-1.
  virtual IKeyboardProfile* GetProfile(int index) = 0;
  virtual IKeyboardProfile* GetActiveProfile() = 0;
  // Accepts null or a profile of the list; false (and nothing changed) otherwise.
  virtual bool SetActiveProfile(IKeyboardProfile* profile) = 0;
  // The renamed profile is a new object in the old one's place; the passed pointer
  // is invalid afterwards unless the result is null.
  virtual IKeyboardProfile* RenameProfile(IKeyboardProfile* profile, const std::wstring& name) = 0;
  virtual IKeyboardProfile* CreateProfileFrom(IKeyboardProfile* source, const std::wstring& name) = 0;
  virtual void DeleteProfile(IKeyboardProfile* profile) = 0;
  virtual CMacro* CreateMacro(const std::wstring& name) = 0;
  virtual void DeleteMacro(CMacro* macro) = 0;
  virtual CMacro* FindMacroByGuid(GUID id) = 0;
  virtual CMacro* FindMacroByName(const std::wstring& name) = 0;
  virtual CMacro* GetMacro(int index) = 0;
  virtual void Reserved20(intptr_t) {}
  virtual bool Reserved21() { return false; }
  virtual void Reserved22(intptr_t) {}
  virtual bool Reserved23() { return false; }
  virtual int GetAppCount() const = 0;
  virtual CQxApp* CreateApp(const std::wstring& path) = 0;
  virtual void DeleteApp(CQxApp* app) = 0;
  virtual CQxApp* FindAppByGuid(GUID id) = 0;
  virtual CQxApp* FindAppByName(const std::wstring& path) = 0;
  virtual CQxApp* GetApp(int index) = 0;
  // Loads the profile folder, then makes the profile named in the settings file
  // active (the first one when none matches). True when a profile was loaded.
  virtual bool LoadAll() = 0;
  // Saves the profiles and writes the active profile's name to the settings file;
  // true when that write succeeded.
  virtual bool SaveAll() = 0;
  virtual int LoadProfiles() = 0;
  // Null saves every profile; true when every save succeeded.
  virtual bool SaveProfile(IKeyboardProfile* profile) = 0;
  // A null profile means the active one.
  virtual bool SetKeyAssignment(int32_t keyId, KeyAssignment record, IKeyboardProfile* profile) = 0;
  virtual KeyAssignment& GetKeyAssignment(KeyAssignment& out, int32_t keyId,
                                          IKeyboardProfile* profile) = 0;
  virtual void Reserved36(intptr_t, intptr_t) {}
  virtual bool HasKeyAssignments(intptr_t) { return true; }
  virtual void Reserved38(intptr_t, intptr_t) {}
  virtual bool Reserved39(intptr_t) { return false; }
  virtual void Reserved40(intptr_t, intptr_t) {}
  virtual bool Reserved41(intptr_t) { return false; }
  virtual void SetLedState(uint8_t value, IKeyboardProfile* profile) = 0;
  virtual uint8_t GetLedState(IKeyboardProfile* profile) = 0;
  // The show-on-screen flag is one setting shared by every profile.
  virtual void SetProfileOsdForAll(uint8_t value) = 0;
  virtual int Reserved45() { return 0; }
  virtual bool Reserved46(intptr_t, intptr_t) { return false; }
  virtual bool Reserved47(intptr_t, intptr_t, intptr_t) { return false; }
  virtual bool Reserved48(intptr_t, intptr_t) { return false; }
  virtual bool Reserved49(intptr_t, intptr_t, intptr_t) { return false; }
  virtual bool Reserved50(intptr_t, intptr_t, intptr_t) { return false; }
  virtual bool Reserved51(intptr_t) { return false; }
  virtual void Reserved52() {}
  // Renames through the macro list, which keeps names unique without regard to
  // case (a change of case of its own name is allowed); false when refused.
  virtual bool RenameMacro(CMacro* macro, const std::wstring& name) = 0;

 protected:
  ~IKeyboardConfig() = default;  // deleted through its class only
};

// Puts a profile back to the state of a new one: every key to its layout default,
// no linked program, no automatic switching, and the show-on-screen setting that
// all profiles share (the active profile's, or 0 without one) applied again to
// every profile. False for a null profile or configuration.
bool ResetNewProfile(IKeyboardProfile* profile, IKeyboardConfig* config);

// The profiles, owned, in creation order (the order the GUI lists them).
template <class TProfile>
class CProfileList {
 public:
  CProfileList() = default;
  CProfileList(const CProfileList&) = delete;
  CProfileList& operator=(const CProfileList&) = delete;

  int Count() const { return static_cast<int>(m_profiles.size()); }
  TProfile* At(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return m_profiles[static_cast<std::size_t>(index)].get();
  }
  // The index of this very profile, -1 when it is not in the list.
  template <class TPointer>
  int IndexOf(const TPointer* profile) const {
    if (profile == nullptr) return -1;
    for (std::size_t i = 0; i < m_profiles.size(); ++i)
      if (static_cast<const TPointer*>(m_profiles[i].get()) == profile) return static_cast<int>(i);
    return -1;
  }
  TProfile* Append(std::unique_ptr<TProfile> profile) {
    m_profiles.push_back(std::move(profile));
    return m_profiles.back().get();
  }
  // Puts `profile` at `index` and hands back the one that was there.
  std::unique_ptr<TProfile> ReplaceAt(int index, std::unique_ptr<TProfile> profile) {
    std::swap(m_profiles[static_cast<std::size_t>(index)], profile);
    return profile;
  }
  std::unique_ptr<TProfile> RemoveAt(int index) {
    auto removed = std::move(m_profiles[static_cast<std::size_t>(index)]);
    m_profiles.erase(m_profiles.begin() + index);
    return removed;
  }
  // Deletes every profile, the last first.
  void DeleteAll() {
    while (!m_profiles.empty()) m_profiles.pop_back();
  }

 private:
  std::vector<std::unique_ptr<TProfile>> m_profiles;
};

// The settings-file side: "save\Morvel.qxc", section "SETTINGS".
namespace settings_file {
// The stored active profile name; empty when missing or unreadable.
std::wstring ReadActiveProfileName(const std::wstring& path);
// Writes the name, creating the file (UTF-16 with byte-order mark, so that any
// name survives) and its folder when missing. False when the write failed.
bool WriteActiveProfileName(const std::wstring& path, const std::wstring& name);
}  // namespace settings_file

// Ownership and the paths: the active-profile choice, the macros, the linked
// applications, and where the settings file and the profile and macro folders lie.
template <class TProfile>
class CBaseConfig : public CProfileList<TProfile> {
 public:
  // programFolder ends with a backslash.
  explicit CBaseConfig(const std::wstring& programFolder)
      : m_settingsPath(programFolder + L"save\\" + L"Morvel" + L"." + L"qxc"),
        m_profileFolder(programFolder + L"save\\"),
        m_macroFolder(programFolder + L"save\\") {}

  const std::wstring& SettingsPath() const { return m_settingsPath; }
  const std::wstring& ProfileFolder() const { return m_profileFolder; }
  const std::wstring& MacroFolder() const { return m_macroFolder; }

 protected:
  TProfile* m_active = nullptr;
  CMacroList m_macros;
  CQxAppList m_apps;
  IGenDevice* m_device = nullptr;

 private:
  std::wstring m_settingsPath;
  std::wstring m_profileFolder;
  std::wstring m_macroFolder;
};

inline bool FitsMaxPath(const std::wstring& path) { return path.size() < MAX_PATH; }

// The profile operations.
template <class TProfile>
class CKeyboardConfig : public CBaseConfig<TProfile> {
  using Base = CBaseConfig<TProfile>;

 public:
  using Base::Base;

  void DeleteAllProfiles() {
    this->m_active = nullptr;
    this->DeleteAll();
  }

  void ApplyOsdToAll(uint8_t value) {
    for (int i = 0; i < this->Count(); ++i) this->At(i)->SetShowOsd(value);
  }

  TProfile* AppendCopy(const TProfile& source) {
    return this->Append(std::make_unique<TProfile>(source));
  }

  // The profile at index gets the name; a copy of it takes its place and is returned.
  TProfile* RenameAt(int index, const std::wstring& name) {
    TProfile* old = this->At(index);
    old->SetName(name);
    auto renamed = std::make_unique<TProfile>(*old);
    TProfile* result = renamed.get();
    std::unique_ptr<TProfile> oldOwner = this->ReplaceAt(index, std::move(renamed));
    // The old file goes only once the renamed profile is safely in its own.
    if (oldOwner->HasString() && SaveOne(result)) DeleteFileW(oldOwner->GetString().c_str());
    if (this->m_active == oldOwner.get()) this->m_active = result;
    return result;
  }

  TProfile* CreateCopyNamed(const TProfile& source, const std::wstring& name) {
    auto copy = std::make_unique<TProfile>(source);
    copy->SetId(GUID{});
    copy->SetName(name);
    return this->Append(std::move(copy));
  }

  void DeleteAt(int index) {
    TProfile* profile = this->At(index);
    if (this->m_active == profile) this->m_active = nullptr;
    if (profile->HasString()) DeleteFileW(profile->GetString().c_str());
    this->RemoveAt(index);
  }

  bool SaveOne(TProfile* profile) {
    std::wstring written;
    if (!FitsMaxPath(this->ProfileFolder())) return false;
    return profile->SaveToFile(written, this->ProfileFolder(), ProfileExtension());
  }

  int LoadProfileFolder() {
    const std::wstring pattern = this->ProfileFolder() + L"*." + ProfileExtension();
    if (!FitsMaxPath(pattern)) return 0;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    DeleteAllProfiles();
    int loaded = 0;
    do {
      std::wstring name(found.cFileName, wcsnlen(found.cFileName, MAX_PATH));
      const std::size_t dot = name.find_last_of(L'.');
      if (dot != std::wstring::npos) name.resize(dot);
      if (name.size() > 255) name.resize(255);
      auto profile = std::make_unique<TProfile>();
      if (!profile->LoadFromFile(name, this->ProfileFolder(), ProfileExtension())) break;
      this->Append(std::move(profile));
      ++loaded;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return loaded;
  }

  // The profile folder, then the profile named in the settings file becomes active
  // (the first profile when none matches). Nothing changes without a profile loaded.
  bool LoadAllProfiles() {
    const int loaded = LoadProfileFolder();
    const std::wstring activeName = settings_file::ReadActiveProfileName(this->SettingsPath());
    if (loaded <= 0) return false;
    this->m_active = this->At(0);
    for (int i = 0; !activeName.empty() && i < this->Count(); ++i) {
      if (platform::EqualsNoCase(this->At(i)->GetName(), activeName)) {
        this->m_active = this->At(i);
        break;
      }
    }
    return true;
  }

  // Every profile's own file (where it has one), then the active profile's name.
  bool SaveAllProfiles() {
    for (int i = 0; i < this->Count(); ++i) SaveOne(this->At(i));
    if (this->m_active == nullptr) return false;
    return settings_file::WriteActiveProfileName(this->SettingsPath(), this->m_active->GetName());
  }

  TProfile* ActiveProfile() const { return this->m_active; }
  void SetActive(TProfile* profile) { this->m_active = profile; }

  static std::wstring ProfileExtension() { return L"qxp"; }
};

class CMorvelConfig final : public CKeyboardConfig<CMorvelProfile>, public IKeyboardConfig {
 public:
  // programFolder: the program's folder with a trailing backslash; "save\" lies in it.
  explicit CMorvelConfig(const std::wstring& programFolder);
  virtual ~CMorvelConfig();

  virtual std::wstring GetProfileExtension() const { return ProfileExtension(); }

  void ClearProfiles() override;
  void SetDevice(IGenDevice* device) override;
  int GetMaxCount() const override { return 1024; }
  int GetProfileCount() const override { return Count(); }
  int GetMacroCount() const override { return static_cast<int>(m_macros.Count()); }
  IKeyboardProfile* AddNewProfile(const std::wstring& name) override;
  IKeyboardProfile* AddProfileCopy(IKeyboardProfile* source) override;
  IKeyboardProfile* FindProfileByGuid(GUID id) override;
  IKeyboardProfile* FindProfileByName(const std::wstring& name) override;
  IKeyboardProfile* GetProfile(int index) override { return At(index); }
  IKeyboardProfile* GetActiveProfile() override { return m_active; }
  bool SetActiveProfile(IKeyboardProfile* profile) override;
  IKeyboardProfile* RenameProfile(IKeyboardProfile* profile, const std::wstring& name) override;
  IKeyboardProfile* CreateProfileFrom(IKeyboardProfile* source, const std::wstring& name) override;
  void DeleteProfile(IKeyboardProfile* profile) override;
  CMacro* CreateMacro(const std::wstring& name) override { return m_macros.Create(name, {}); }
  void DeleteMacro(CMacro* macro) override { m_macros.Delete(macro); }
  CMacro* FindMacroByGuid(GUID id) override { return m_macros.FindById(id); }
  CMacro* FindMacroByName(const std::wstring& name) override { return m_macros.FindByName(name); }
  CMacro* GetMacro(int index) override { return m_macros.At(index); }
  int GetAppCount() const override { return static_cast<int>(m_apps.Count()); }
  CQxApp* CreateApp(const std::wstring& path) override { return m_apps.Create(path); }
  void DeleteApp(CQxApp* app) override { m_apps.Delete(app); }
  CQxApp* FindAppByGuid(GUID id) override { return m_apps.FindById(id); }
  CQxApp* FindAppByName(const std::wstring& path) override { return m_apps.FindByName(path); }
  CQxApp* GetApp(int index) override { return m_apps.At(index); }
  bool LoadAll() override;
  bool SaveAll() override;
  int LoadProfiles() override { return LoadProfileFolder(); }
  bool SaveProfile(IKeyboardProfile* profile) override;
  bool SetKeyAssignment(int32_t keyId, KeyAssignment record, IKeyboardProfile* profile) override;
  KeyAssignment& GetKeyAssignment(KeyAssignment& out, int32_t keyId,
                                  IKeyboardProfile* profile) override;
  void SetLedState(uint8_t value, IKeyboardProfile* profile) override;
  uint8_t GetLedState(IKeyboardProfile* profile) override;
  void SetProfileOsdForAll(uint8_t value) override { ApplyOsdToAll(value); }
  bool RenameMacro(CMacro* macro, const std::wstring& name) override { return m_macros.Rename(macro, name); }

  // The macro list itself, for renaming (which keeps names unique).
  CMacroList& Macros() { return m_macros; }
  IGenDevice* Device() const { return m_device; }

  // The stamp of the latest choice of an active profile (SetActiveProfile with a
  // profile) since the last read or write; 0 when none was chosen, and the write
  // then leaves the device's active profile as it is (the tray may have switched it).
  uint64_t ActiveMark() const { return m_activeMark; }
  void SetActiveMark(uint64_t stamp) { m_activeMark = stamp; }
  // Clears the marks of every profile and of the active choice stamped `upTo` or
  // earlier (see CBaseProfile::KeyMarks); the read clears them all.
  void ClearMarks(uint64_t upTo, bool keys = true, bool properties = true, bool active = true);

 private:
  uint64_t m_activeMark = 0;

  // The list's profile behind an interface pointer; null for anything else.
  CMorvelProfile* Own(IKeyboardProfile* profile) const;
  // A null profile means the active one.
  CMorvelProfile* OwnOrActive(IKeyboardProfile* profile) const;
};
