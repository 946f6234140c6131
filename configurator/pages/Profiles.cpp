// The profiles page of the main window: the profile list and its options menu,
// the page's buttons, and the profile drop-down of the main page.
#include <windows.h>
#include <commdlg.h>

#include <cwchar>
#include <string>
#include <vector>

#include "configurator/ElementIds.h"
#include "configurator/ItemAccess.h"
#include "configurator/MainWindow.h"
#include "configurator/pages/Profiles.h"
#include "configurator/popups/Popups.h"
#include "configurator/popups/WarningDlg.h"
#include "device/KeyboardDef.h"
#include "gui/Messages.h"
#include "gui/controls/KeyboardKeyItem.h"
#include "gui/controls/XListCtrl.h"
#include "gui/panels/DropdownListItem.h"
#include "gui/panels/ListPanel.h"
#include "gui/skin/SkinResourceCache.h"
#include "platform/FileDialog.h"

namespace ids = configurator::ids;

namespace {

// The keyboard keeps at most this many profiles.
constexpr int kMaxProfiles = 10;
// The device stores a linked program's file name and extension in fewer characters.
constexpr size_t kProgramFileNameLimit = 127;  // the name must be shorter
constexpr size_t kLongestImportPath = 255;

// Column ids of the profile list (the skin's LCITEM names).
constexpr int kColumnActive = 0, kColumnNumber = 1, kColumnName = 2, kColumnProgram = 3, kColumnAutoSwitch = 4;

constexpr wchar_t kProfileExtension[] = L"qxp";
constexpr wchar_t kUnassignEntry[] = L"$UnassignApplication";

CXListCtrl* ListCtrlOf(CGUIItem* item) {
  return item != nullptr && item->kind == GUIKIND_LISTCTRL ? static_cast<CXListCtrl*>(item) : nullptr;
}

CListPanelItem* ListPanelOf(CGUIItem* item) {
  return item != nullptr && item->kind == GUIKIND_LISTPANEL ? static_cast<CListPanelItem*>(item) : nullptr;
}

// Does any profile bear exactly this name? Names that differ in case are different names here.
IKeyboardProfile* ProfileNamedExactly(IKeyboardConfig& config, const std::wstring& name) {
  for (int i = 0; i < config.GetProfileCount(); ++i) {
    IKeyboardProfile* profile = config.GetProfile(i);
    if (profile != nullptr && profile->GetName() == name) return profile;
  }
  return nullptr;
}

int IndexOfProfile(IKeyboardConfig& config, const IKeyboardProfile* profile) {
  for (int i = 0; i < config.GetProfileCount(); ++i)
    if (config.GetProfile(i) == profile) return i;
  return -1;
}

bool HasLinkedProgram(const IKeyboardProfile* profile) {
  return !profile->GetFileName().empty() || !profile->GetPath().empty();
}

// The last part of a path: file name and extension.
std::wstring FileNameOf(const std::wstring& path) {
  const size_t separator = path.find_last_of(L"\\/:");
  return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

// The profile's record of a key, without adding one for a key it has none for.
bool StoredRecord(IKeyboardConfig& config, IKeyboardProfile* profile, int32_t keyId, KeyAssignment& out) {
  if (const auto* keys = dynamic_cast<const CBaseProfile*>(profile)) {
    const auto found = keys->KeyMap().find(keyId);
    if (found == keys->KeyMap().end()) return false;
    out = found->second;
    return true;
  }
  config.GetKeyAssignment(out, keyId, profile);
  return true;
}

// A key that switches to this profile: by its id, or by exactly its name. A
// profile the device does not know yet has no id, so nothing refers to it by one.
bool SwitchesTo(const KeyAssignment& record, const GUID& id, const std::wstring& name) {
  if (record.kind == KEYKIND_PROFILE) return !IsZeroGuid(id) && IsEqualGUID(record.payload.id, id);
  if (record.kind == KEYKIND_PROFILE_BYNAME) return GetAssignmentText(record) == name;
  return false;
}

// Keys that switch to a profile by name follow its new name in every profile;
// left alone they would name no profile and be written as their default.
void RenameProfileReferences(IKeyboardConfig& config, const std::wstring& from, const std::wstring& to) {
  for (int i = 0; i < config.GetProfileCount(); ++i) {
    IKeyboardProfile* profile = config.GetProfile(i);
    const auto* keys = dynamic_cast<const CBaseProfile*>(profile);
    if (keys == nullptr) continue;
    std::vector<int32_t> named;
    for (const auto& [keyId, record] : keys->KeyMap())
      if (record.kind == KEYKIND_PROFILE_BYNAME && GetAssignmentText(record) == from) named.push_back(keyId);
    for (const int32_t keyId : named) {
      KeyAssignment record;
      config.GetKeyAssignment(record, keyId, profile);
      SetAssignmentText(record, to);
      config.SetKeyAssignment(keyId, record, profile);
    }
  }
}

std::wstring NameSuffix(const std::wstring& name) { return L": " + name; }

// A profile file chosen in the dialog both profile actions use: it opens in
// "save\" of the program folder, on "qxp" files. Empty when the dialog was
// cancelled or gave back no more than its initial name. The dialog hands back a
// whole path: only its file name part tells whether a name was chosen.
std::wstring ChooseProfileFile(bool open, CWnd* parent) {
  const std::wstring extension = kProfileExtension;
  const std::wstring initialName = L"." + extension;
  const std::wstring filter = extension + L" Profile Files (*." + extension + L")|*." + extension + L"||";
  CFileDialog dialog(open, extension.c_str(), initialName.c_str(), OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY,
                     filter.c_str(), parent);
  dialog.m_request.initialFolder = AppFolder + L"save\\";
  if (dialog.DoModal() != IDOK) return {};
  const std::wstring path = dialog.GetPathName();
  return FileNameOf(path).size() > initialName.size() ? path : std::wstring();
}

// The text a list message carries, read no further than any text the list hands over.
std::wstring RecordText(const ListMessageRecord& record) {
  constexpr size_t kLongestText = 4096;
  if (record.data == nullptr) return {};
  const auto* text = static_cast<const wchar_t*>(record.data);
  return std::wstring(text, ::wcsnlen(text, kLongestText));
}

}  // namespace


IKeyboardProfile* CMorvelAppDlg::SelectedProfile() const {
  const CXListCtrl* list = ListCtrlOf(m_profileList);
  if (list == nullptr || m_config == nullptr) return nullptr;
  const int rowId = list->GetSelectedRowId();
  return rowId < 0 ? nullptr : m_config->GetProfile(rowId);
}

void CMorvelAppDlg::FillProfileList() {
  CXListCtrl* list = ListCtrlOf(m_profileList);
  if (list == nullptr || m_config == nullptr) return;
  // The menu opens on a right click once the list knows it.
  if (CListPanelItem* options = ListPanelOf(m_profileOptions)) list->m_contextMenu = options;
  list->DeleteAllRows();
  IKeyboardProfile* active = m_config->GetActiveProfile();
  int activeRow = -1;
  for (int i = 0; i < m_config->GetProfileCount(); ++i) {
    IKeyboardProfile* profile = m_config->GetProfile(i);
    if (profile == nullptr) continue;
    const int row = list->InsertRow(list->GetItemCount(), list->m_textColour, list->m_backColour,
                                    list->m_selectedTextColour, list->m_selectedBackColour);
    if (row < 0) continue;
    // The row id is the profile's index: every list message names its row by it.
    list->SetRowId(row, i);
    wchar_t number[16] = {};
    std::swprintf(number, 16, L"%02d", i + 1);
    list->SetCellCheck(kColumnActive, profile == active ? 1 : 0, i);
    list->SetCellText(kColumnNumber, number, i);
    list->SetCellText(kColumnName, profile->GetName(), i);
    list->SetCellText(kColumnProgram, profile->GetFileName(), i);
    list->SetCellCheck(kColumnAutoSwitch, profile->GetAutoSwitch() != 0 ? 1 : 0, i);
    if (profile == active) activeRow = row;
  }
  if (activeRow >= 0) list->SetItemState(activeRow, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void CMorvelAppDlg::RefreshProfileViews() {
  FillProfileList();
  FillProfileDropdown();
  RefreshAssignedMarks();
  IKeyboardProfile* active = m_config != nullptr ? m_config->GetActiveProfile() : nullptr;
  if (m_osdButton != nullptr && active != nullptr) configurator::SetItemCheck(m_osdButton, active->GetShowOsd() != 0);
}

void CMorvelAppDlg::ActivateProfile(IKeyboardProfile* profile) {
  if (m_config == nullptr || profile == nullptr || !m_config->SetActiveProfile(profile)) return;
  RefreshProfileViews();
  // The pane speaks of the active profile: the key it shows, in the new one.
  if (CKeyboardKeyItem* shown = m_selectedKey != nullptr ? m_selectedKey : m_hoveredKey) {
    const bool locked = m_infoLocked;
    m_infoLocked = false;
    ShowKeyAssignmentText(shown);
    m_infoLocked = locked;
    SyncInfoPanel();
  }
  SetModified(true);
}

void CMorvelAppDlg::CreateProfile() {
  if (m_config == nullptr) return;
  auto& popups = configurator::Popups();
  if (m_config->GetProfileCount() >= kMaxProfiles) {
    popups.Warning(this, L"ProfileLimitReachedPopup.xml", L"$CreateProfile", nullptr);
    return;
  }
  std::wstring name;
  if (popups.NameEntry(this, L"ProfileNamePopup.xml", name) != kPopupConfirmed || name.empty()) return;
  if (IKeyboardProfile* taken = ProfileNamedExactly(*m_config, name)) {
    const std::wstring suffix = NameSuffix(taken->GetName());
    popups.Warning(this, L"DuplicateProfileWarningPopup.xml", L"", &suffix);
    return;
  }
  if (IKeyboardProfile* created = m_config->AddNewProfile(name)) ActivateProfile(created);
}

void CMorvelAppDlg::RenameProfile() { RenameProfile(SelectedProfile()); }

void CMorvelAppDlg::RenameProfile(IKeyboardProfile* profile) {
  if (m_config == nullptr || profile == nullptr) return;
  auto& popups = configurator::Popups();
  std::wstring name = profile->GetName();
  if (popups.NameEntry(this, L"ProfileRenamePopup.xml", name) != kPopupConfirmed || name.empty()) return;
  // The popup ran a loop of its own: the profile must still be there.
  if (IndexOfProfile(*m_config, profile) < 0) return;
  // Its own name counts as taken: a rename must change the name.
  if (ProfileNamedExactly(*m_config, name) != nullptr) {
    const std::wstring suffix = NameSuffix(name);
    popups.Warning(this, L"DuplicateProfileWarningPopup.xml", L"", &suffix);
    return;
  }
  // The rename replaces the object, and a running write gives its id (the one the
  // keyboard assigned a new profile) back to the object it copied: renamed under
  // it, the profile would stay new and be made a second time by the next write.
  if (!WaitForWrite()) return;
  if (IndexOfProfile(*m_config, profile) < 0) return;
  const std::wstring oldName = profile->GetName();
  // `profile` is gone from here on.
  if (m_config->RenameProfile(profile, name) == nullptr) return;
  RenameProfileReferences(*m_config, oldName, name);
  RefreshProfileViews();
  SetModified(true);
}

void CMorvelAppDlg::RenameProfileInPlace(int row, const std::wstring& name) {
  if (m_config == nullptr) return;
  IKeyboardProfile* profile = m_config->GetProfile(row);
  if (profile == nullptr) return;
  CXListCtrl* list = ListCtrlOf(m_profileList);
  if (name.empty() || ProfileNamedExactly(*m_config, name) != nullptr) {
    // A profile needs a name of its own; the cell shows the one it keeps.
    if (!name.empty()) {
      const std::wstring suffix = NameSuffix(name);
      configurator::Popups().Warning(this, L"DuplicateProfileWarningPopup.xml", L"", &suffix);
    }
    profile = m_config->GetProfile(row);
    if (list != nullptr && profile != nullptr) list->SetCellText(kColumnName, profile->GetName(), row);
    return;
  }
  // As for the popup's rename: not under a running write.
  if (!WaitForWrite()) {
    // The cell shows the name the profile keeps.
    profile = m_config->GetProfile(row);
    if (list != nullptr && profile != nullptr) list->SetCellText(kColumnName, profile->GetName(), row);
    return;
  }
  profile = m_config->GetProfile(row);
  if (profile == nullptr) return;
  const std::wstring oldName = profile->GetName();
  if (m_config->RenameProfile(profile, name) == nullptr) return;
  RenameProfileReferences(*m_config, oldName, name);
  SetModified(true);
  RefreshProfileViews();
}

void CMorvelAppDlg::CopyProfile(IKeyboardProfile* source) {
  if (m_config == nullptr || source == nullptr) return;
  if (m_config->GetProfileCount() > kMaxProfiles - 1) {
    configurator::Popups().Warning(this, L"ProfileLimitReachedPopup.xml", L"$Copy", nullptr);
    return;
  }
  const std::wstring name = configurator::CopyNameFor(source->GetName(), [this](const std::wstring& candidate) {
    return ProfileNamedExactly(*m_config, candidate) != nullptr;
  });
  if (name.empty()) return;
  if (IKeyboardProfile* copy = m_config->CreateProfileFrom(source, name)) ActivateProfile(copy);
}

void CMorvelAppDlg::DeleteProfile() { DeleteProfile(SelectedProfile()); }

void CMorvelAppDlg::DeleteProfile(IKeyboardProfile* profile) {
  if (m_config == nullptr || profile == nullptr) return;
  auto& popups = configurator::Popups();
  const std::wstring suffix = NameSuffix(profile->GetName());
  IKeyboardProfile* first = m_config->GetProfile(0);
  const GUID id = profile->GetId();
  const bool sameAsFirst = first != nullptr && !IsZeroGuid(id) && IsEqualGUID(first->GetId(), id);
  if (profile == first || sameAsFirst) {
    popups.Warning(this, L"DisallowDeletePopup.xml", L"", &suffix);
    return;
  }
  if (popups.Warning(this, L"ConfirmDeletePopup.xml", L"", &suffix) != kPopupConfirmed) return;
  if (IndexOfProfile(*m_config, profile) < 0) return;
  // Keys of any profile that switch to it go back to their default.
  const std::wstring name = profile->GetName();
  for (CGUIItem* item : m_layoutItems) {
    if (item == nullptr || item->kind != GUIKIND_KBDKEY) continue;
    if (item->id < ids::BUTTON_KB_ESC || item->id > ids::BUTTON_KB_LANG1_HANG_ENG) continue;
    auto* key = static_cast<CKeyboardKeyItem*>(item);
    const int32_t keyId = key->KeyId();
    if (keyId == 0) continue;
    for (int i = 0; i < m_config->GetProfileCount(); ++i) {
      IKeyboardProfile* other = m_config->GetProfile(i);
      KeyAssignment record;
      if (other == nullptr || other == profile || !StoredRecord(*m_config, other, keyId, record)) continue;
      if (!SwitchesTo(record, id, name)) continue;
      m_config->SetKeyAssignment(keyId, LayoutDefault(keyId), other);
      if (other == m_config->GetActiveProfile()) key->SetCheck(0);
    }
  }
  // The configuration also deletes the profile's own file, when it has one.
  m_config->DeleteProfile(profile);
  SetModified(true);
  if (m_config->GetActiveProfile() == nullptr) m_config->SetActiveProfile(m_config->GetProfile(0));
  RefreshProfileViews();
}

void CMorvelAppDlg::ExportProfile() { ExportProfile(SelectedProfile()); }

void CMorvelAppDlg::ExportProfile(IKeyboardProfile* profile) {
  if (m_config == nullptr || m_device == nullptr || profile == nullptr) return;
  // The device answers nothing while a write runs (nor for a moment after its
  // work): asked then, it would call a profile it has "not on the keyboard".
  if (!WaitForWrite()) return;
  if (IsZeroGuid(profile->GetId()) || !m_device->ProfileExists(profile)) {
    const std::wstring suffix = NameSuffix(profile->GetName());
    configurator::Popups().Warning(this, L"ExportProfileWarningPopup.xml", L"", &suffix);
    return;
  }
  const std::wstring path = ChooseProfileFile(false, this);
  if (path.empty()) return;
  // The service writes the file; what it answers is not shown.
  m_device->ExportProfileFile(path, profile);
}

void CMorvelAppDlg::ImportProfile() {
  if (m_config == nullptr || m_device == nullptr) return;
  auto& popups = configurator::Popups();
  if (m_config->GetProfileCount() >= kMaxProfiles) {
    popups.Warning(this, L"ProfileLimitReachedPopup.xml", L"$Import", nullptr);
    return;
  }
  // An import is matched to the keyboard's profiles: changes not yet applied are
  // in the way. A running write is waited for, since the device counts nothing
  // while it runs.
  if (!WaitForWrite()) return;
  if (m_config->GetProfileCount() != m_device->GetProfileCount()) {
    popups.Warning(this, L"ImporttProfileWarningPopup.xml", L"", nullptr);
    return;
  }
  const std::wstring path = ChooseProfileFile(true, this);
  if (path.empty()) return;
  if (path.size() > kLongestImportPath) {
    popups.Warning(this, L"PathLengthLimitReachedPopUp.xml", L"$Import", nullptr);
    return;
  }
  if (!m_device->ImportProfileFile(path, m_config)) return;
  RefreshProfileViews();
  // An imported profile can bring macros along.
  FillMacroDropdown();
  SetModified(true);
}

void CMorvelAppDlg::RestoreActiveProfile() {
  if (m_config == nullptr) return;
  RestoreProfile(m_config->GetActiveProfile());
}

void CMorvelAppDlg::RestoreProfile(IKeyboardProfile* profile) {
  if (m_config == nullptr || profile == nullptr) return;
  if (configurator::Popups().Warning(this, L"RestorePopup.xml", L"", nullptr) != kPopupConfirmed) return;
  if (IndexOfProfile(*m_config, profile) < 0) return;
  ResetNewProfile(profile, m_config);
  if (profile == m_config->GetActiveProfile()) {
    if (m_selectedKey != nullptr) m_selectedKey->ClearSelected();
    m_selectedKey = nullptr;
    m_infoLocked = false;
    ClearInfoPanel();
    EnableAssignButtons(false);
  }
  SetModified(true);
  RefreshProfileViews();
}

void CMorvelAppDlg::OnProfileListCheck(int row, int column, int value) {
  if (m_config == nullptr) return;
  IKeyboardProfile* profile = m_config->GetProfile(row);
  if (profile == nullptr) return;
  if (column == kColumnAutoSwitch) {
    if (HasLinkedProgram(profile) || value == 0) {
      profile->SetAutoSwitch(value != 0 ? 1 : 0);
      SetModified(true);
      return;
    }
    const std::wstring suffix = NameSuffix(profile->GetName());
    configurator::Popups().Warning(this, L"SelectApplicationWarningPopup.xml", L"", &suffix);
    if (CXListCtrl* list = ListCtrlOf(m_profileList)) list->SetCellCheck(kColumnAutoSwitch, 0, row);
  } else if (column == kColumnActive && value != 0) {
    ActivateProfile(profile);
  }
}

void CMorvelAppDlg::AssignProfileApplication(int row, const std::wstring& text) {
  if (m_config == nullptr) return;
  IKeyboardProfile* profile = m_config->GetProfile(row);
  if (profile == nullptr) return;
  if (FileNameOf(text).size() < kProgramFileNameLimit) {
    profile->SetPath(text);
    SetModified(true);
    return;
  }
  // The list wrote the refused name into the cell already; it shows what the profile keeps.
  if (CXListCtrl* list = ListCtrlOf(m_profileList)) list->SetCellText(kColumnProgram, profile->GetFileName(), row);
  configurator::Popups().Warning(this, L"FileNameLengthLimitReachedPopUp.xml", L"$AssignApplication", nullptr);
}

void CMorvelAppDlg::OnProfileDropdownSelChanged(int index) {
  if (m_config == nullptr || index < 0) return;
  // The drop-down lists every profile in order: its entry stands for the profile
  // at that position. A name would not do: "Work" and "work" may both exist.
  IKeyboardProfile* profile = m_config->GetProfile(index);
  const auto* dropdown = m_profileDropdown != nullptr && m_profileDropdown->kind == GUIKIND_COMBO
                             ? static_cast<const CDropdownListItem*>(m_profileDropdown)
                             : nullptr;
  if (profile == nullptr || (dropdown != nullptr && dropdown->GetLBText(index) != profile->GetName())) {
    // The entries no longer follow the configuration: show it as it is.
    FillProfileDropdown();
    return;
  }
  if (profile != m_config->GetActiveProfile()) ActivateProfile(profile);
}

void CMorvelAppDlg::OnProfileMenuOpening(int row) {
  CListPanelItem* options = ListPanelOf(m_profileOptions);
  if (options == nullptr || m_config == nullptr) return;
  if (row < 0) {
    const CXListCtrl* list = ListCtrlOf(m_profileList);
    row = list != nullptr ? list->GetSelectedRowId() : -1;
  }
  IKeyboardProfile* profile = m_config->GetProfile(row);
  // Unassigning is offered as unavailable where there is nothing to unassign.
  const uint8_t flag = profile != nullptr && !HasLinkedProgram(profile) ? 1 : 0;
  for (ListPanelEntry& entry : options->m_entries)
    if (entry.text == kUnassignEntry) entry.disabled = flag;
}

void CMorvelAppDlg::OnProfileListAction(int row, const std::wstring& action) {
  if (m_config == nullptr) return;
  IKeyboardProfile* profile = m_config->GetProfile(row);
  if (action == L"$New") {
    CreateProfile();
  } else if (action == L"$Rename") {
    RenameProfile(profile);
  } else if (action == L"$Preview") {
    // Nothing to preview: the entry does nothing.
  } else if (action == L"$SetActive") {
    if (profile != nullptr && profile != m_config->GetActiveProfile()) ActivateProfile(profile);
  } else if (action == L"$Delete") {
    DeleteProfile(profile);
  } else if (action == L"$Copy") {
    CopyProfile(profile);
  } else if (action == L"$Import") {
    ImportProfile();
  } else if (action == L"$Export") {
    ExportProfile(profile);
  } else if (action == L"$RestoreDefault") {
    RestoreProfile(profile);
  }
}

LRESULT CMorvelAppDlg::OnProfileListMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  // Only the profile list speaks these messages to this window.
  if (m_profileList == nullptr || reinterpret_cast<HWND>(wParam) != m_profileList->hwnd || lParam == 0) return 0;
  const auto* record = reinterpret_cast<const ListMessageRecord*>(lParam);
  switch (msg) {
    case ListActionMessage:
      OnProfileListAction(record->rowId, RecordText(*record));
      break;
    case ListDoubleClickMessage:
      if (record->rowId >= 0 && m_config != nullptr) {
        IKeyboardProfile* profile = m_config->GetProfile(record->rowId);
        if (profile != nullptr && profile != m_config->GetActiveProfile()) ActivateProfile(profile);
      }
      break;
    case ListCheckToggledMessage: {
      // The message names the column by its position; the page knows its columns by id.
      const CXListCtrl* list = ListCtrlOf(m_profileList);
      if (list == nullptr || record->data == nullptr) break;
      const bool value = *static_cast<const bool*>(record->data);
      OnProfileListCheck(record->rowId, list->GetColumnId(record->column), value ? 1 : 0);
      break;
    }
    case ListAssignApplicationMessage:
      AssignProfileApplication(record->rowId, RecordText(*record));
      break;
    case ListMenuOpeningMessage:
      OnProfileMenuOpening(record->rowId);
      break;
    case ListRenameDoneMessage:
      RenameProfileInPlace(record->rowId, RecordText(*record));
      break;
    default:
      break;
  }
  return 0;
}
