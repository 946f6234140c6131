// The assign-keys page of the main window: selecting a key of the drawn
// keyboard, the information pane's text, the six kinds of assignment and the
// marks of assigned keys.
#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <string>
#include <vector>

#include "configurator/ElementIds.h"
#include "configurator/ItemAccess.h"
#include "configurator/MainWindow.h"
#include "configurator/popups/Popups.h"
#include "configurator/popups/WarningDlg.h"
#include "device/KeyEvent.h"
#include "device/KeyboardDef.h"
#include "gui/controls/BitmapWindow.h"
#include "gui/controls/KeyboardKeyItem.h"
#include "platform/FileDialog.h"

namespace ids = configurator::ids;

namespace {

constexpr size_t kLongestProgramPath = 255;  // characters; a longer path is refused

// File name and extension of a path.
std::wstring FileNameOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

int32_t KindOf(const KeyAssignment& record) { return record.kind == -1 ? KEYKIND_DEFAULT : record.kind; }

}  // namespace

CKeyboardKeyItem* CMorvelAppDlg::KeyItem(int32_t elementId) const {
  CGUIItem* item = FindItemById(m_layoutItems, elementId);
  return item != nullptr && item->kind == GUIKIND_KBDKEY ? static_cast<CKeyboardKeyItem*>(item) : nullptr;
}

void CMorvelAppDlg::DisableUnreachableKeys() {
  const CKeyboardDef& keyboard = GlobalKeyboardDef();
  for (CGUIItem* item : m_layoutItems) {
    if (item == nullptr || item->kind != GUIKIND_KBDKEY) continue;
    auto* key = static_cast<CKeyboardKeyItem*>(item);
    const KeyDefinition* definition = key->m_keyDef;
    if (definition == nullptr) continue;
    const uint32_t code = static_cast<uint16_t>(definition->scanCode) | (static_cast<uint32_t>(definition->extended) << 16);
    if (keyboard.FindKeyByScanCode(code) != definition->id) configurator::EnableItem(key, false);
  }
}

void CMorvelAppDlg::SyncInfoPanel() {
  if (m_infoPanel == nullptr || m_infoPanel->kind != GUIKIND_BITMAPWINDOW) return;
  auto* panel = static_cast<CBitmapWindow*>(m_infoPanel);
  const uint8_t locked = m_infoLocked ? 1 : 0;
  if (panel->m_locked != locked) {
    panel->m_locked = locked;
    if (panel->m_hWnd != nullptr) panel->Invalidate(FALSE);
  }
}

void CMorvelAppDlg::SetInfoText(const std::wstring& text) {
  SyncInfoPanel();
  if (m_infoLocked) return;
  m_infoText = text;
  if (m_infoPanel != nullptr && m_infoPanel->kind == GUIKIND_BITMAPWINDOW) {
    auto* panel = static_cast<CBitmapWindow*>(m_infoPanel);
    panel->m_keyPicture = m_infoPicture;
    panel->m_assignmentKind = m_infoKind;
    panel->SetText(text);
  } else {
    configurator::SetItemText(m_infoPanel, text);
  }
}

void CMorvelAppDlg::ClearInfoPanel() {
  if (m_infoLocked) return;
  m_infoPicture = nullptr;
  m_infoKind = 0;
  SetInfoText(L"");
}

std::wstring CMorvelAppDlg::AssignmentText(CKeyboardKeyItem* key, int32_t* kindOut) {
  if (kindOut != nullptr) *kindOut = KEYKIND_DEFAULT;
  if (key == nullptr || m_config == nullptr || m_config->GetActiveProfile() == nullptr) return {};
  KeyAssignment record;
  m_config->GetKeyAssignment(record, key->KeyId(), nullptr);
  const int32_t kind = KindOf(record);
  if (kindOut != nullptr) *kindOut = kind;
  switch (kind) {
    case KEYKIND_SINGLEKEY: {
      if (record.payload.key.scanCode == 0) return {};
      std::wstring name;
      GetKeyDisplayName(record.payload.key.virtualKey, name, record.payload.key.scanCode,
                        (record.payload.key.flags & 1) != 0);
      return L" " + name;
    }
    case KEYKIND_MACRO: {
      const CMacro* macro = m_config->FindMacroByGuid(record.payload.id);
      return macro != nullptr ? L" " + macro->GetName() : std::wstring();
    }
    case KEYKIND_MACRO_BYNAME:
      return L" " + GetAssignmentText(record);
    case KEYKIND_DISABLED:
      return L" ";
    case KEYKIND_PROFILE: {
      IKeyboardProfile* profile = m_config->FindProfileByGuid(record.payload.id);
      return L" " + (profile != nullptr ? profile->GetName() : std::wstring());
    }
    case KEYKIND_PROFILE_BYNAME:
      return L" " + GetAssignmentText(record);
    case KEYKIND_LAUNCH: {
      const CQxApp* app = m_config->FindAppByGuid(record.payload.id);
      return L" " + (app != nullptr ? FileNameOf(app->path) : std::wstring());
    }
    case KEYKIND_LAUNCH_BYPATH:
      return L" " + FileNameOf(GetAssignmentText(record));
    default:
      return key->m_keyName;
  }
}

void CMorvelAppDlg::ShowKeyAssignmentText(CKeyboardKeyItem* key) {
  if (key == nullptr || m_config == nullptr || m_config->GetActiveProfile() == nullptr) return;
  int32_t kind = KEYKIND_DEFAULT;
  const std::wstring text = AssignmentText(key, &kind);
  // The picture and the kind's icon follow the key under the mouse; while a key
  // is selected the text stays the selected key's.
  m_infoPicture = &key->m_pictureInfo;
  m_infoKind = kind;
  if (m_infoLocked) {
    ShowInfoPicture();
    return;
  }
  SetInfoText(text);
}

void CMorvelAppDlg::ShowInfoPicture() {
  if (m_infoPanel == nullptr || m_infoPanel->kind != GUIKIND_BITMAPWINDOW) return;
  auto* panel = static_cast<CBitmapWindow*>(m_infoPanel);
  if (panel->m_keyPicture == m_infoPicture && panel->m_assignmentKind == m_infoKind) return;
  panel->m_keyPicture = m_infoPicture;
  panel->m_assignmentKind = m_infoKind;
  if (panel->m_hWnd != nullptr) panel->Invalidate(FALSE);
}

LRESULT CMorvelAppDlg::OnKeyHover(int32_t keyElementId) {
  m_hoveredKey = KeyItem(keyElementId);
  if (m_hoveredKey != nullptr) ShowKeyAssignmentText(m_hoveredKey);
  return 0;
}

LRESULT CMorvelAppDlg::OnKeyClick(int32_t keyElementId) {
  CKeyboardKeyItem* clicked = KeyItem(keyElementId);
  if (m_infoLocked && m_selectedKey != nullptr) {
    if (clicked == m_selectedKey) {
      m_infoLocked = false;
      m_selectedKey->ClearSelected();
      m_selectedKey = nullptr;
    } else if (clicked != nullptr) {
      m_selectedKey->ClearSelected();
      clicked->m_selected = 1;
      clicked->Invalidate();
      m_selectedKey = clicked;
      m_infoLocked = false;
      m_hoveredKey = clicked;
      ShowKeyAssignmentText(clicked);
      m_infoLocked = true;
    }
  } else if (clicked != nullptr) {
    m_selectedKey = clicked;
    clicked->m_selected = 1;
    clicked->Invalidate();
    m_infoLocked = true;
  }
  SyncInfoPanel();
  RefreshAssignedMarks();
  EnableAssignButtons(m_selectedKey != nullptr);
  return 0;
}

void CMorvelAppDlg::RefreshAssignedMarks() {
  IKeyboardProfile* active = m_config != nullptr ? m_config->GetActiveProfile() : nullptr;
  for (CGUIItem* item : m_layoutItems) {
    if (item == nullptr || item->kind != GUIKIND_KBDKEY) continue;
    auto* key = static_cast<CKeyboardKeyItem*>(item);
    int checked = 0;
    if (active != nullptr) {
      KeyAssignment record;
      m_config->GetKeyAssignment(record, key->KeyId(), active);
      checked = KindOf(record) != KEYKIND_DEFAULT ? 1 : 0;
    }
    if (key->GetCheck() != checked) key->SetCheck(checked);
  }
}

void CMorvelAppDlg::EnableAssignButtons(bool enable) {
  const bool macros = enable && m_config != nullptr && m_config->GetMacroCount() > 0;
  const bool profiles = enable && m_config != nullptr && m_config->GetProfileCount() >= 2;
  for (int i = 0; i < 6; ++i) {
    const bool on = i == 2 ? macros : i == 3 ? profiles : enable;
    configurator::EnableItem(m_assignButtons[i], on);
    configurator::EnableItem(m_assignTexts[i], on);
  }
}

void CMorvelAppDlg::StoreForSelectedKey(const KeyAssignment& record, bool releaseCapture) {
  CKeyboardKeyItem* key = m_selectedKey;
  if (key == nullptr || m_config == nullptr) return;
  m_config->SetKeyAssignment(key->KeyId(), record, nullptr);
  key->SetCheck(record.kind == KEYKIND_DEFAULT ? 0 : 1);
  m_infoLocked = false;
  SyncInfoPanel();
  key->ClearSelected();
  m_selectedKey = nullptr;
  if (releaseCapture) ::ReleaseCapture();
  // The pane shows what the key does now, not what it did before.
  ShowKeyAssignmentText(key);
  RefreshAssignedMarks();
  EnableAssignButtons(false);
  SetModified(true);
}

KeyAssignment CMorvelAppDlg::LayoutDefault(int32_t keyId) {
  const KeyCode code = GlobalKeyboardDef().GetKeyDefault(keyId);
  KeyAssignment record;
  record.kind = KEYKIND_DEFAULT;
  record.payload.key.scanCode = code.code;
  record.payload.key.virtualKey = 0;
  record.payload.key.flags = code.flag != 0 ? KEYFLAG_EXTENDED : 0;
  return record;
}

void CMorvelAppDlg::AssignDefault() {
  if (m_selectedKey == nullptr || m_selectedKey->KeyId() == 0) return;
  StoreForSelectedKey(LayoutDefault(m_selectedKey->KeyId()), true);
}

void CMorvelAppDlg::AssignSingleKey() {
  if (m_selectedKey == nullptr || m_selectedKey->KeyId() == 0 || m_device == nullptr) return;
  std::wstring text;
  int16_t scanCode = 0, virtualKey = 0;
  uint8_t flags = 0;
  // The key pressed in the popup must reach it, not the key it is remapped to;
  // the device takes no mode while a write runs, so a running write ends first.
  if (!WaitForWrite()) return;
  m_device->SuspendRemapping();
  configurator::Popups().SingleKey(this, L"SingleKeyPopup.xml", text, scanCode, virtualKey, flags);
  m_device->ResumeRemapping();
  const bool modifiers = (flags & 0x0E) != 0;
  if (!((!text.empty() && scanCode != 0) || modifiers)) return;
  KeyAssignment record;
  record.kind = KEYKIND_SINGLEKEY;
  record.payload.key.scanCode = scanCode;
  record.payload.key.virtualKey = virtualKey;
  record.payload.key.flags = flags;
  StoreForSelectedKey(record, false);
}

void CMorvelAppDlg::AssignMacro() {
  if (m_selectedKey == nullptr || m_selectedKey->KeyId() == 0 || m_config == nullptr) return;
  if (m_config->GetMacroCount() < 1) return;
  std::vector<std::wstring> names;
  for (int i = 0; i < m_config->GetMacroCount(); ++i)
    if (const CMacro* macro = m_config->GetMacro(i)) names.push_back(macro->GetName());
  KeyAssignment current;
  m_config->GetKeyAssignment(current, m_selectedKey->KeyId(), nullptr);
  int playMode = 1;
  std::wstring name;
  if (current.kind == KEYKIND_MACRO) {
    playMode = current.playMode;
    if (const CMacro* macro = m_config->FindMacroByGuid(current.payload.id)) name = macro->GetName();
  }
  if (configurator::Popups().MacroAssignment(this, L"SelectMacroPopup.xml", playMode, names, name) != kPopupConfirmed ||
      name.empty())
    return;
  const CMacro* macro = m_config->FindMacroByName(name);
  if (macro == nullptr) return;
  KeyAssignment record;
  if (IsEqualGUID(macro->id, GUID_NULL))
    MakeMacroNameAssignment(record, macro->GetName(), playMode);
  else
    MakeMacroAssignment(record, macro->id, playMode);
  if (playMode == 2) {
    int count = 0;
    // The count is kept in one byte: the popup takes 1 to 255, and an empty entry
    // counts as no count at all.
    const INT_PTR answer = configurator::Popups().NumberEntry(this, L"MacroRepeatEntryPopup.xml", count);
    if (answer == kPopupConfirmed && count >= 1) {
      record.repeatCount = static_cast<uint8_t>(std::min(count, 255));
    } else {
      record.repeatCount = 0;
      record.playMode = 1;
    }
  }
  StoreForSelectedKey(record, false);
}

void CMorvelAppDlg::AssignProfileSwitch() {
  if (m_selectedKey == nullptr || m_selectedKey->KeyId() == 0 || m_config == nullptr) return;
  if (m_config->GetProfileCount() < 2) return;
  IKeyboardProfile* active = m_config->GetActiveProfile();
  std::vector<IKeyboardProfile*> offered;
  std::vector<std::wstring> names;
  for (int i = 0; i < m_config->GetProfileCount(); ++i) {
    IKeyboardProfile* profile = m_config->GetProfile(i);
    if (profile == nullptr || profile == active) continue;
    offered.push_back(profile);
    names.push_back(profile->GetName());
  }
  KeyAssignment current;
  m_config->GetKeyAssignment(current, m_selectedKey->KeyId(), nullptr);
  std::wstring name;
  if (current.kind == KEYKIND_PROFILE)
    if (IKeyboardProfile* target = m_config->FindProfileByGuid(current.payload.id)) name = target->GetName();
  if (configurator::Popups().DropdownSelect(this, L"SelectProfilePopup.xml", names, name) != kPopupConfirmed ||
      name.empty())
    return;
  // Names may differ only in case ("Work" and "work"): the profile offered under
  // exactly the chosen name is the one meant.
  IKeyboardProfile* target = nullptr;
  for (IKeyboardProfile* profile : offered)
    if (profile->GetName() == name) target = profile;
  if (target == nullptr) target = m_config->FindProfileByName(name);
  if (target == nullptr) return;
  KeyAssignment record;
  if (IsEqualGUID(target->GetId(), GUID_NULL)) {
    record.kind = KEYKIND_PROFILE_BYNAME;
    SetAssignmentText(record, target->GetName());
  } else {
    record.kind = KEYKIND_PROFILE;
    record.payload.id = target->GetId();
  }
  StoreForSelectedKey(record, false);
}

void CMorvelAppDlg::AssignLaunchProgram() {
  if (m_selectedKey == nullptr || m_selectedKey->KeyId() == 0 || m_config == nullptr) return;
  CFileDialog dialog(true, nullptr, nullptr, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY, L"*.exe|*.exe||", this);
  if (dialog.DoModal() != IDOK) return;
  const std::wstring path = dialog.GetPathName();
  if (path.empty()) return;
  if (path.size() > kLongestProgramPath) {
    configurator::Popups().Warning(this, L"PathLengthLimitReachedPopUp.xml", L"$LaunchProgram", nullptr);
    return;
  }
  CQxApp* app = m_config->FindAppByName(path);
  if (app == nullptr) app = m_config->CreateApp(path);
  if (app == nullptr) return;
  KeyAssignment record;
  if (IsEqualGUID(app->id, GUID_NULL)) {
    record.kind = KEYKIND_LAUNCH_BYPATH;
    SetAssignmentText(record, app->path);
  } else {
    record.kind = KEYKIND_LAUNCH;
    record.payload.id = app->id;
  }
  StoreForSelectedKey(record, false);
}

void CMorvelAppDlg::DisableKey() {
  if (m_selectedKey == nullptr || m_selectedKey->KeyId() == 0) return;
  KeyAssignment record;
  record.kind = KEYKIND_DISABLED;
  StoreForSelectedKey(record, true);
}
