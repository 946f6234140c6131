#include "device/KeyboardConfig.h"

#include <cwchar>

#include "platform/Handles.h"
#include "platform/Strings.h"

namespace settings_file {

namespace {
constexpr wchar_t kSection[] = L"SETTINGS";
constexpr wchar_t kActiveProfileKey[] = L"ActiveProfileName";
constexpr DWORD kValueChars = 4096;

// The private-profile calls write a file they create in the ANSI code page, which
// would lose names outside it; an existing UTF-16 file is kept in UTF-16.
bool EnsureUnicodeFile(const std::wstring& path) {
  if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  const std::size_t separator = path.find_last_of(L"\\/");
  if (separator != std::wstring::npos) CreateDirectoryW(path.substr(0, separator).c_str(), nullptr);
  const platform::KernelHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return GetLastError() == ERROR_FILE_EXISTS;
  static constexpr unsigned char kByteOrderMark[] = {0xFF, 0xFE};
  DWORD written = 0;
  return WriteFile(file.Get(), kByteOrderMark, sizeof kByteOrderMark, &written, nullptr) &&
         written == sizeof kByteOrderMark;
}
}  // namespace

std::wstring ReadActiveProfileName(const std::wstring& path) {
  if (!FitsMaxPath(path)) return {};
  std::wstring value(kValueChars, L'\0');
  const DWORD length =
      GetPrivateProfileStringW(kSection, kActiveProfileKey, L"", value.data(), kValueChars, path.c_str());
  value.resize(length < kValueChars ? length : kValueChars - 1);
  return value;
}

bool WriteActiveProfileName(const std::wstring& path, const std::wstring& name) {
  if (!FitsMaxPath(path)) return false;
  if (!EnsureUnicodeFile(path)) return false;
  return WritePrivateProfileStringW(kSection, kActiveProfileKey, name.c_str(), path.c_str()) != 0;
}

}  // namespace settings_file

bool ResetNewProfile(IKeyboardProfile* profile, IKeyboardConfig* config) {
  if (profile == nullptr || config == nullptr) return false;
  profile->ResetToDefaults();
  profile->SetPath(std::wstring());
  profile->SetAutoSwitch(0);
  IKeyboardProfile* active = config->GetActiveProfile();
  config->SetProfileOsdForAll(active != nullptr ? active->GetShowOsd() : 0);
  return true;
}

CMorvelConfig::CMorvelConfig(const std::wstring& programFolder)
    : CKeyboardConfig<CMorvelProfile>(programFolder) {}

CMorvelConfig::~CMorvelConfig() { DeleteAllProfiles(); }

CMorvelProfile* CMorvelConfig::Own(IKeyboardProfile* profile) const {
  const int index = IndexOf(profile);
  return index < 0 ? nullptr : At(index);
}

CMorvelProfile* CMorvelConfig::OwnOrActive(IKeyboardProfile* profile) const {
  return profile == nullptr ? m_active : Own(profile);
}

void CMorvelConfig::ClearProfiles() { DeleteAllProfiles(); }

void CMorvelConfig::SetDevice(IGenDevice* device) {
  if (device != nullptr) m_device = device;
}

IKeyboardProfile* CMorvelConfig::AddNewProfile(const std::wstring& name) {
  CMorvelProfile* profile = Append(std::make_unique<CMorvelProfile>(name));
  ResetNewProfile(profile, this);
  return profile;
}

IKeyboardProfile* CMorvelConfig::AddProfileCopy(IKeyboardProfile* source) {
  auto* from = dynamic_cast<CMorvelProfile*>(source);
  return from == nullptr ? nullptr : AppendCopy(*from);
}

IKeyboardProfile* CMorvelConfig::FindProfileByGuid(GUID id) {
  if (IsZeroGuid(id)) return nullptr;
  for (int i = 0; i < Count(); ++i)
    if (IsEqualGUID(At(i)->GetId(), id)) return At(i);
  return nullptr;
}

IKeyboardProfile* CMorvelConfig::FindProfileByName(const std::wstring& name) {
  for (int i = 0; i < Count(); ++i)
    if (platform::EqualsNoCase(At(i)->GetName(), name)) return At(i);
  return nullptr;
}

bool CMorvelConfig::SetActiveProfile(IKeyboardProfile* profile) {
  if (profile == nullptr) {
    m_active = nullptr;
    return true;
  }
  CMorvelProfile* own = Own(profile);
  if (own == nullptr) return false;
  m_active = own;
  m_activeMark = device::NewChangeStamp();
  return true;
}

void CMorvelConfig::ClearMarks(uint64_t upTo, bool keys, bool properties, bool active) {
  for (int i = 0; i < Count(); ++i) At(i)->ClearMarks(upTo, keys, properties);
  if (active && m_activeMark <= upTo) m_activeMark = 0;
}

IKeyboardProfile* CMorvelConfig::RenameProfile(IKeyboardProfile* profile, const std::wstring& name) {
  if (profile == nullptr || profile->GetName() == name) return nullptr;
  const int index = IndexOf(profile);
  if (index < 0) return nullptr;
  return RenameAt(index, name);
}

IKeyboardProfile* CMorvelConfig::CreateProfileFrom(IKeyboardProfile* source,
                                                   const std::wstring& name) {
  auto* from = dynamic_cast<CMorvelProfile*>(source);
  if (from == nullptr || from->GetName() == name) return nullptr;
  return CreateCopyNamed(*from, name);
}

void CMorvelConfig::DeleteProfile(IKeyboardProfile* profile) {
  const int index = IndexOf(profile);
  if (index >= 0) DeleteAt(index);
}

bool CMorvelConfig::LoadAll() { return LoadAllProfiles(); }

bool CMorvelConfig::SaveAll() { return SaveAllProfiles(); }

bool CMorvelConfig::SaveProfile(IKeyboardProfile* profile) {
  if (profile != nullptr) {
    CMorvelProfile* own = Own(profile);
    return own != nullptr && SaveOne(own);
  }
  bool all = true;
  for (int i = 0; i < Count(); ++i) all = SaveOne(At(i)) && all;
  return all;
}

bool CMorvelConfig::SetKeyAssignment(int32_t keyId, KeyAssignment record,
                                     IKeyboardProfile* profile) {
  CMorvelProfile* target = OwnOrActive(profile);
  return target != nullptr && target->SetKeyAssignment(keyId, record);
}

KeyAssignment& CMorvelConfig::GetKeyAssignment(KeyAssignment& out, int32_t keyId,
                                               IKeyboardProfile* profile) {
  CMorvelProfile* target = OwnOrActive(profile);
  if (target == nullptr) {
    out = KeyAssignment{};
  } else {
    target->GetKeyAssignment(out, keyId);
  }
  return out;
}

void CMorvelConfig::SetLedState(uint8_t value, IKeyboardProfile* profile) {
  if (CMorvelProfile* target = OwnOrActive(profile)) target->SetLedState(value);
}

uint8_t CMorvelConfig::GetLedState(IKeyboardProfile* profile) {
  CMorvelProfile* target = OwnOrActive(profile);
  return target == nullptr ? 0 : target->GetLedState();
}
