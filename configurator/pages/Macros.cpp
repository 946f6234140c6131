// The macros page of the main window: the macro drop-down and the event lists,
// recording and playing macros, delays and predefined commands.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cwchar>
#include <optional>
#include <string>

#include "configurator/ElementIds.h"
#include "configurator/ItemAccess.h"
#include "configurator/MainWindow.h"
#include "configurator/popups/Popups.h"
#include "configurator/popups/WarningDlg.h"
#include "device/KeyEvent.h"
#include "device/Macro.h"
#include "device/KeyboardDef.h"
#include "device/PredefinedMacros.h"
#include "gui/Messages.h"
#include "gui/controls/BitmapBtn.h"
#include "gui/controls/EditItem.h"
#include "gui/controls/KeyboardKeyItem.h"
#include "gui/controls/MacroDisplayItem.h"
#include "gui/panels/DropdownListItem.h"
#include "gui/panels/ListPanel.h"
#include "gui/skin/SkinResourceCache.h"
#include "platform/FileDialog.h"

namespace ids = configurator::ids;
using configurator::EnableItem;

namespace {

constexpr wchar_t kDuplicatePopup[] = L"DuplicateMacroWarningPopup.xml";
constexpr wchar_t kDefaultDelayPopup[] = L"DefaultDelayWarningPopup.xml";
constexpr wchar_t kDefaultDelayText[] = L"50";
constexpr int kDefaultDelayMs = 50;
// CreateMacro stops here.
constexpr int kMostMacros = 65536;
constexpr UINT kBlinkMs = 500;
constexpr wchar_t kMacroExtension[] = L"qxm";
// The macro files' dialogs start with this name; a chosen name must be longer.
constexpr wchar_t kInitialFileName[] = L".qxm";
constexpr wchar_t kMacroFilter[] = L"qxm Macro Files (*.qxm)|*.qxm||";
constexpr size_t kLongestImportPath = 255;
// The key items of the layout page, BUTTON_KB_ESC to BUTTON_KB_LANG1_HANG_ENG.
constexpr int32_t kFirstKeyItem = 427;
constexpr int32_t kLastKeyItem = 546;

CMacroDisplayItem* DisplayOf(CGUIItem* item) {
  return item != nullptr && item->kind == GUIKIND_MACRODISPLAY ? static_cast<CMacroDisplayItem*>(item) : nullptr;
}

CDropdownListItem* DropdownOf(CGUIItem* item) {
  return item != nullptr && item->kind == GUIKIND_COMBO ? static_cast<CDropdownListItem*>(item) : nullptr;
}

CEditItem* EditOf(CGUIItem* item) {
  return item != nullptr && item->kind == GUIKIND_EDITCTRL ? static_cast<CEditItem*>(item) : nullptr;
}

CBitmapBtn* ButtonOf(CGUIItem* item) {
  return item != nullptr && item->kind == GUIKIND_BUTTON ? static_cast<CBitmapBtn*>(item) : nullptr;
}

CListPanelItem* ListPanelOf(CGUIItem* item) {
  return item != nullptr && item->kind == GUIKIND_LISTPANEL ? static_cast<CListPanelItem*>(item) : nullptr;
}

// What a warning appends to its heading to name the macro, as the profile
// warnings do: "Delete the macro: Greeting", never "Delete the macroGreeting".
std::wstring NameSuffix(const std::wstring& name) { return L": " + name; }

bool SameNameNoCase(const std::wstring& a, const std::wstring& b) { return ::_wcsicmp(a.c_str(), b.c_str()) == 0; }

// A delay typed into one of the delay edits: none for an empty text or 0;
// otherwise its value read with saturation and held to the recording cap, so a
// long number never wraps round to a small or negative delay.
std::optional<int> TypedDelay(const std::wstring& text) {
  const uint64_t value = CEditItem::TextValue(text);
  if (value == 0) return std::nullopt;
  return static_cast<int>(std::min<uint64_t>(value, CMacroDisplayItem::kMaxDelayMs));
}

// A button's caption does not repaint the button: one whose enabled state stays
// would go on showing its old caption until something else repaints it.
void SetCaptionAndRepaint(CGUIItem* button, const wchar_t* caption) {
  const std::wstring before = configurator::ItemText(button);
  configurator::SetItemText(button, caption);
  if (button != nullptr && button->hwnd != nullptr && ::IsWindow(button->hwnd) &&
      configurator::ItemText(button) != before)
    ::InvalidateRect(button->hwnd, nullptr, FALSE);
}

// Selects and focuses the row alone and scrolls it into view; no row for -1.
void SelectRow(CMacroDisplayItem* display, int row) {
  if (display == nullptr || display->m_hWnd == nullptr) return;
  display->ClearSelection();
  if (row < 0 || row >= display->GetItemCount()) return;
  display->SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  display->EnsureVisible(row, FALSE);
}

// Whether a path the file dialog gave back names a file beyond the initial name:
// the dialog hands back a whole path, so its file name part is what counts.
bool NamesAChosenFile(const std::wstring& path) {
  const size_t separator = path.find_last_of(L"\\/:");
  const size_t nameChars = separator == std::wstring::npos ? path.size() : path.size() - separator - 1;
  return nameChars > std::wcslen(kInitialFileName);
}

int SelectedRow(CMacroDisplayItem* display) {
  if (display == nullptr || display->m_hWnd == nullptr) return -1;
  const int row = display->GetNextItem(-1, LVNI_SELECTED);
  return row >= 0 && row < static_cast<int>(display->Events().size()) ? row : -1;
}

bool IsKeyEvent(const MacroEvent& event, uint8_t state) {
  return event.type == MACROEVENT_KEY && static_cast<uint8_t>(event.b & 0xFF) == state;
}

// One physical key: the scan code and the extended flag (left and right Ctrl
// share a scan code).
bool SameKey(const MacroEvent& a, const MacroEvent& b) {
  return (a.a & 0xFFFF) == (b.a & 0xFFFF) && ((a.b >> 8) & kKeyFlagExtended) == ((b.b >> 8) & kKeyFlagExtended);
}

// The other half of a key event's press and release: for a press the first
// later release of the same key, for a release the last earlier press of it;
// -1 when there is none.
int PartnerRow(const MacroEventList& events, int row) {
  const MacroEvent& event = events[static_cast<size_t>(row)];
  if (IsKeyEvent(event, kMacroStatePressed)) {
    for (size_t i = static_cast<size_t>(row) + 1; i < events.size(); ++i)
      if (IsKeyEvent(events[i], kMacroStateReleased) && SameKey(events[i], event)) return static_cast<int>(i);
  } else if (IsKeyEvent(event, kMacroStateReleased)) {
    for (int i = row - 1; i >= 0; --i)
      if (IsKeyEvent(events[static_cast<size_t>(i)], kMacroStatePressed) && SameKey(events[static_cast<size_t>(i)], event))
        return i;
  }
  return -1;
}

// The key event with another key, its press or release kept.
MacroEvent WithKey(const MacroEvent& event, int16_t scanCode, int16_t virtualKey, uint8_t flags) {
  MacroEvent changed = event;
  changed.a = static_cast<uint16_t>(scanCode) | (static_cast<int32_t>(static_cast<uint16_t>(virtualKey)) << 16);
  changed.b = (event.b & 0xFF) | (static_cast<int32_t>(flags) << 8);
  return changed;
}

}  // namespace

// ---- the page's state ----

void CMorvelAppDlg::PrepareMacroPage() {
  if (CMacroDisplayItem* display = DisplayOf(m_macroDisplay)) {
    display->m_keyMenu = ListPanelOf(m_macroOptions);
    display->m_mouseMenu = ListPanelOf(m_macroOptions2);
    display->m_ignoreDelays = 0;
    display->m_fixedDelay = 0;
  }
  configurator::SetItemCheck(m_ignoreDelayButton, false);
  configurator::SetItemCheck(m_insertDefaultDelayButton, false);
  if (CEditItem* edit = EditOf(m_delayEdit)) {
    edit->m_numeric = 1;
    edit->m_max = CMacroDisplayItem::kMaxDelayMs;
  }
  if (CEditItem* edit = EditOf(m_defaultDelayEdit)) {
    edit->m_numeric = 1;
    edit->m_max = CMacroDisplayItem::kMaxDelayMs;
    edit->SetWindowText(kDefaultDelayText);
  }
  EnableItem(m_defaultDelayEdit, false);
}

void CMorvelAppDlg::SetMacroPageState(int state) {
  m_macroState = static_cast<MacroPageState>(state);
  CGUIItem* const locked[] = {
      m_tabAssignKeys,       m_tabProfiles,          m_tabMacros,         m_buttonOk,
      m_buttonCancel,        m_buttonApply,          m_buttonHelp,        m_buttonExit,
      m_buttonUpdate,        m_basicCommandsButton,  m_advancedCommandsButton,
      m_basicCommands, m_additionalCommands, m_insertDelayButton,
      m_macroCreate,         m_macroImport,          m_macroExport,       m_macroSave,
      m_macroDelete,         m_macroRename,          m_ignoreDelayButton, m_ignoreDelayText,
      m_insertDefaultDelayButton, m_insertDefaultDelayText, m_delayEdit, m_defaultDelayEdit,
      m_recordStart,         m_recordStop,           m_recordPlay,        m_recordBackward,
      m_recordForward};
  // The caption first: enabling the button repaints it with whatever caption it has.
  SetCaptionAndRepaint(m_recordStop, state == kMacroPlaying ? L"$Stop" : L"$StopRecordingMacroEvents");
  const bool busy = state == kMacroPlaying || state == kMacroRecording;
  for (CGUIItem* item : locked) EnableItem(item, !busy);
  if (state == kMacroNone) {
    for (CGUIItem* item : {m_recordStop, m_recordPlay, m_recordBackward, m_recordForward, m_insertDelayButton,
                           m_delayEdit, m_defaultDelayEdit, m_basicCommandsButton, m_advancedCommandsButton,
                           m_basicCommands, m_additionalCommands, m_ignoreDelayButton,
                           m_ignoreDelayText, m_insertDefaultDelayButton, m_insertDefaultDelayText})
      EnableItem(item, false);
  } else if (state == kMacroChosen) {
    EnableItem(m_recordStop, false);
    EnableItem(m_defaultDelayEdit, configurator::IsItemChecked(m_insertDefaultDelayButton));
  } else {
    EnableItem(m_recordStop, true);
  }
  EnableItem(m_macroDropdown, !busy);

  // The two lists lie over each other: the read-only one shows only while a macro plays.
  CMacroDisplayItem* display = DisplayOf(m_macroDisplay);
  CMacroDisplayItem* player = DisplayOf(m_macroDisplayReadOnly);
  const bool pageShown = m_currentPage == &m_macroItems;
  EnableItem(display, state != kMacroPlaying);
  EnableItem(player, state == kMacroPlaying);
  if (pageShown) {
    if (display != nullptr) display->ShowWithScrollBar(state == kMacroPlaying ? SW_HIDE : SW_SHOW);
    if (display != nullptr && state == kMacroRecording && display->ScrollBar() != nullptr &&
        display->ScrollBar()->m_hWnd)
      display->ScrollBar()->ShowWindow(SW_HIDE);
    if (player != nullptr) player->ShowWithScrollBar(state == kMacroPlaying ? SW_SHOW : SW_HIDE);
  }
  // Not while a macro plays or records: a write then would make the device refuse
  // the resume of remapping when the recording stops.
  EnableItem(m_buttonApply, m_modified && !MacroPageBusy());
}

CMacro* CMorvelAppDlg::ChosenMacro() const {
  CDropdownListItem* dropdown = DropdownOf(m_macroDropdown);
  if (dropdown == nullptr || m_config == nullptr) return nullptr;
  const int index = dropdown->GetCurSel();
  if (index < 0) return nullptr;
  // The entries follow the macro list, one for each macro in its order.
  CMacro* macro = m_config->GetMacro(index);
  if (macro != nullptr && macro->GetName() == dropdown->GetLBText(index)) return macro;
  return m_config->FindMacroByName(dropdown->GetLBText(index));
}

void CMorvelAppDlg::ChooseMacro(CMacro* macro) {
  CDropdownListItem* dropdown = DropdownOf(m_macroDropdown);
  CMacroDisplayItem* display = DisplayOf(m_macroDisplay);
  int index = -1;
  if (m_config != nullptr && macro != nullptr)
    for (int i = 0; i < m_config->GetMacroCount(); ++i)
      if (m_config->GetMacro(i) == macro) index = i;
  if (dropdown != nullptr) {
    if (index < 0 || !dropdown->SetCurSel(index, nullptr)) {
      dropdown->m_shownText.clear();
      dropdown->m_subText.clear();
      index = -1;
    }
    if (dropdown->m_hWnd != nullptr) dropdown->Invalidate(FALSE);
  }
  if (display != nullptr) {
    if (index >= 0) display->LoadEvents(&macro->events);
    else display->ClearEvents();
  }
  SetMacroPageState(index >= 0 ? kMacroChosen : kMacroNone);
}

void CMorvelAppDlg::ShowChosenOrFirstMacro() {
  if (ChosenMacro() != nullptr) {
    SetMacroPageState(kMacroChosen);
    return;
  }
  ChooseMacro(m_config != nullptr ? m_config->GetMacro(0) : nullptr);
}

std::wstring CMorvelAppDlg::ChosenCommandName(int32_t buttonId) const {
  CDropdownListItem* dropdown =
      DropdownOf(buttonId == ids::BUTTON_ADD_BASIC_MACRO_CMDS ? m_basicCommands : m_additionalCommands);
  if (dropdown == nullptr) return {};
  const int index = dropdown->GetCurSel();
  return index < 0 ? std::wstring() : dropdown->GetLBText(index);
}

// ---- creating, renaming, deleting, filing ----

void CMorvelAppDlg::ShowDuplicateMacroWarning(const std::wstring& name) {
  // The list refuses a name that differs only in case: the warning names the
  // macro that holds it.
  const CMacro* holder = m_config != nullptr ? m_config->FindMacroByName(name) : nullptr;
  const std::wstring shown = NameSuffix(holder != nullptr ? holder->GetName() : name);
  configurator::Popups().Warning(this, kDuplicatePopup, L"", &shown);
}

void CMorvelAppDlg::CreateMacro() {
  if (m_config == nullptr || m_config->GetMacroCount() >= kMostMacros) return;
  std::wstring name;
  if (configurator::Popups().NameEntry(this, L"MacroNamePopup.xml", name) != kPopupConfirmed || name.empty()) return;
  CMacro* macro = m_config->CreateMacro(name);
  if (macro == nullptr) {
    ShowDuplicateMacroWarning(name);
    return;
  }
  SetModified(true);
  FillMacroDropdown();
  ChooseMacro(macro);
}

void CMorvelAppDlg::RenameMacro() {
  CMacro* macro = ChosenMacro();
  if (macro == nullptr || m_config == nullptr) return;
  std::wstring name;
  if (configurator::Popups().NameEntry(this, L"MacroRenamePopup.xml", name) != kPopupConfirmed || name.empty())
    return;
  const std::wstring old = macro->GetName();
  if (name == old) return;
  // Through the list, which keeps names unique without regard to case: two
  // macros differing only in case would make every reference by name ambiguous.
  if (!m_config->RenameMacro(macro, name)) {
    ShowDuplicateMacroWarning(name);
    return;
  }
  // Keys that play the macro by name follow it; else they would reach the
  // keyboard as their default at the next Apply.
  ForEachPageKeyAssignment([&](KeyAssignment& record, int32_t) {
    if (record.kind != KEYKIND_MACRO_BYNAME || !SameNameNoCase(GetAssignmentText(record), old)) return false;
    SetAssignmentText(record, macro->GetName());
    return true;
  });
  FillMacroDropdown();
  SetModified(true);
  ChooseMacro(macro);
}

void CMorvelAppDlg::DeleteMacro() {
  CMacro* macro = ChosenMacro();
  if (macro == nullptr || m_config == nullptr) return;
  const std::wstring name = macro->GetName();
  const std::wstring suffix = NameSuffix(name);
  if (configurator::Popups().Warning(this, L"ConfirmDeleteMacroPopup.xml", L"", &suffix) != kPopupConfirmed) return;
  const GUID id = macro->id;
  ForEachPageKeyAssignment([&](KeyAssignment& record, int32_t keyId) {
    // A macro the keyboard has not yet got has no id: no key names it by one.
    const bool byId = record.kind == KEYKIND_MACRO && !IsZeroGuid(id) && IsEqualGUID(record.payload.id, id);
    const bool byName = record.kind == KEYKIND_MACRO_BYNAME && SameNameNoCase(GetAssignmentText(record), name);
    if (!byId && !byName) return false;
    record = LayoutDefault(keyId);
    return true;
  });
  m_config->DeleteMacro(macro);
  FillMacroDropdown();
  SetModified(true);
  RefreshAssignedMarks();
  ChooseMacro(m_config->GetMacro(0));
}

void CMorvelAppDlg::ForEachPageKeyAssignment(const std::function<bool(KeyAssignment&, int32_t)>& change) {
  if (m_config == nullptr) return;
  for (int i = 0; i < m_config->GetProfileCount(); ++i) {
    IKeyboardProfile* profile = m_config->GetProfile(i);
    if (profile == nullptr) continue;
    for (int32_t elementId = kFirstKeyItem; elementId <= kLastKeyItem; ++elementId) {
      CKeyboardKeyItem* key = KeyItem(elementId);
      if (key == nullptr || key->KeyId() == 0) continue;
      KeyAssignment record;
      m_config->GetKeyAssignment(record, key->KeyId(), profile);
      if (change(record, key->KeyId())) m_config->SetKeyAssignment(key->KeyId(), record, profile);
    }
  }
}

void CMorvelAppDlg::ExportMacro() {
  CMacro* macro = ChosenMacro();
  if (macro == nullptr || m_device == nullptr) return;
  // The device answers nothing while a write runs: asked then, it would call
  // the macro "not on the keyboard".
  if (!WaitForWrite()) return;
  if (IsZeroGuid(macro->id) || !m_device->MacroExists(macro)) {
    const std::wstring suffix = NameSuffix(macro->GetName());
    configurator::Popups().Warning(this, L"ExportMacroWarningPopup.xml", L"", &suffix);
    return;
  }
  CFileDialog dialog(false, kMacroExtension, kInitialFileName, OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY, kMacroFilter,
                     this);
  dialog.m_request.initialFolder = AppFolder + L"save\\";
  if (dialog.DoModal() != IDOK) return;
  const std::wstring path = dialog.GetPathName();
  if (!NamesAChosenFile(path)) return;
  // What the export answers is not shown: the service keeps no state for it.
  m_device->ExportMacroFile(path, macro);
}

void CMorvelAppDlg::ImportMacro() {
  if (m_device == nullptr || m_config == nullptr) return;
  // A running write is waited for, since the device counts nothing while it runs.
  if (!WaitForWrite()) return;
  if (m_config->GetMacroCount() != m_device->GetMacroCount()) {
    configurator::Popups().Warning(this, L"ImportMacroWarningPopup.xml", L"", nullptr);
    return;
  }
  CFileDialog dialog(true, kMacroExtension, kInitialFileName, OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY, kMacroFilter,
                     this);
  dialog.m_request.initialFolder = AppFolder + L"save\\";
  if (dialog.DoModal() != IDOK) return;
  const std::wstring path = dialog.GetPathName();
  if (!NamesAChosenFile(path)) return;
  if (path.size() > kLongestImportPath) {
    configurator::Popups().Warning(this, L"PathLengthLimitReachedPopUp.xml", L"$Import", nullptr);
    return;
  }
  if (!m_device->ImportMacroFile(path, m_config)) return;
  FillMacroDropdown();
  SetModified(true);
  ShowChosenOrFirstMacro();
}

// ---- recording and playing ----

void CMorvelAppDlg::StartMacroRecording() {
  CMacro* macro = ChosenMacro();
  if (macro == nullptr) {
    CreateMacro();
    return;
  }
  CMacroDisplayItem* display = DisplayOf(m_macroDisplay);
  if (display == nullptr || display->IsRecording() || m_device == nullptr) return;
  // The keys pressed must reach the recorder as they are, not as remapped; a
  // running write is waited for, since the device takes no mode meanwhile.
  if (!WaitForWrite()) return;
  if (!m_remappingSuspended) {
    m_device->SuspendRemapping();
    m_remappingSuspended = true;
  }
  if (configurator::IsItemChecked(m_insertDefaultDelayButton)) ApplyDefaultDelay();
  if (!display->ToggleRecording()) {
    // Nothing records: nothing may stay suspended either.
    ResumeSuspendedRemapping();
    return;
  }
  display->SetFocus();
  SetMacroPageState(kMacroRecording);
  if (CBitmapBtn* button = ButtonOf(m_recordStart)) button->StartBlink(kBlinkMs);
  display->m_excludedWindow = m_recordStop != nullptr ? m_recordStop->hwnd : nullptr;
  Invalidate();
}

void CMorvelAppDlg::StopMacroRecording() {
  CMacroDisplayItem* display = DisplayOf(m_macroDisplay);
  ResumeSuspendedRemapping();
  if (display == nullptr || !display->IsRecording()) return;
  display->ToggleRecording();
  CMacro* macro = ChosenMacro();
  if (macro != nullptr) {
    macro->events = display->Events();
    SetModified(true);
  }
  if (CBitmapBtn* button = ButtonOf(m_recordStart)) button->StopBlink();
  SetMacroPageState(macro != nullptr ? kMacroChosen : kMacroNone);
  Invalidate();
}

void CMorvelAppDlg::PlayMacro() {
  CMacro* macro = ChosenMacro();
  CMacroDisplayItem* player = DisplayOf(m_macroDisplayReadOnly);
  if (macro == nullptr || player == nullptr || m_macroState != kMacroChosen) return;
  // The state first: a macro without events ends its preview at once.
  SetMacroPageState(kMacroPlaying);
  player->PlayEvents(macro->events);
}

void CMorvelAppDlg::StopPlayback() {
  if (CMacroDisplayItem* player = DisplayOf(m_macroDisplayReadOnly)) {
    player->StopPlayback();
    player->ClearEvents();
  }
  SetMacroPageState(ChosenMacro() != nullptr ? kMacroChosen : kMacroNone);
}

void CMorvelAppDlg::SelectFirstEvent() {
  CMacroDisplayItem* display = DisplayOf(m_macroDisplay);
  if (display == nullptr) return;
  SelectRow(display, display->Events().empty() ? -1 : 0);
  display->SetFocus();
}

void CMorvelAppDlg::SelectLastEvent() {
  CMacroDisplayItem* display = DisplayOf(m_macroDisplay);
  if (display == nullptr) return;
  SelectRow(display, static_cast<int>(display->Events().size()) - 1);
  display->SetFocus();
}

// ---- delays ----

void CMorvelAppDlg::OnIgnoreDelayClicked() {
  CMacroDisplayItem* display = DisplayOf(m_macroDisplay);
  const bool ticked = configurator::IsItemChecked(m_ignoreDelayButton);
  if (display != nullptr) display->m_ignoreDelays = ticked ? 1 : 0;
  if (!ticked) return;
  configurator::SetItemCheck(m_insertDefaultDelayButton, false);
  if (display != nullptr) display->m_fixedDelay = 0;
  EnableItem(m_defaultDelayEdit, false);
}

void CMorvelAppDlg::OnInsertDefaultDelayClicked() {
  CMacroDisplayItem* display = DisplayOf(m_macroDisplay);
  const bool ticked = configurator::IsItemChecked(m_insertDefaultDelayButton);
  if (display != nullptr) display->m_fixedDelay = ticked ? 1 : 0;
  if (ticked) {
    configurator::SetItemCheck(m_ignoreDelayButton, false);
    if (display != nullptr) display->m_ignoreDelays = 0;
  }
  EnableItem(m_defaultDelayEdit, ticked);
}

bool CMorvelAppDlg::ApplyDefaultDelay() {
  CMacroDisplayItem* display = DisplayOf(m_macroDisplay);
  const std::optional<int> delay = TypedDelay(configurator::ItemText(m_defaultDelayEdit));
  if (delay) {
    if (display != nullptr) display->m_defaultDelay = *delay;
    return true;
  }
  // The list keeps a delay it can use: the one the edit shows again.
  if (display != nullptr) display->m_defaultDelay = kDefaultDelayMs;
  configurator::Popups().Warning(this, kDefaultDelayPopup, L"", nullptr);
  configurator::SetItemText(m_defaultDelayEdit, kDefaultDelayText);
  return false;
}

void CMorvelAppDlg::CheckDefaultDelay() {
  if (!configurator::IsItemChecked(m_insertDefaultDelayButton)) return;
  ApplyDefaultDelay();
}

void CMorvelAppDlg::OnDelayEditKillFocus() {
  CMacroDisplayItem* display = DisplayOf(m_macroDisplay);
  const std::optional<int> delay = TypedDelay(configurator::ItemText(m_delayEdit));
  if (display != nullptr && delay) display->m_defaultDelay = *delay;
}

void CMorvelAppDlg::InsertDelay() {
  CMacro* macro = ChosenMacro();
  CMacroDisplayItem* display = DisplayOf(m_macroDisplay);
  const std::optional<int> delay = TypedDelay(configurator::ItemText(m_delayEdit));
  const int selected = SelectedRow(display);
  if (!delay || macro == nullptr || selected < 0) return;
  MacroEventList events = display->Events();
  events.insert(events.begin() + selected + 1, MacroEvent{MACROEVENT_DELAY, *delay, *delay});
  macro->events = events;
  display->LoadEvents(&macro->events);
  SelectRow(display, selected + 1);
  SetModified(true);
}

void CMorvelAppDlg::InsertPredefinedCommands(const std::wstring& name) {
  CMacro* macro = ChosenMacro();
  CMacroDisplayItem* display = DisplayOf(m_macroDisplay);
  MacroEventList commands;
  FindPredefinedMacro(name, PredefinedMacroList(), commands);
  if (commands.empty() || macro == nullptr || display == nullptr) return;
  const int at = SelectedRow(display) + 1;  // the start when nothing is selected
  MacroEventList events = display->Events();
  events.insert(events.begin() + at, commands.begin(), commands.end());
  macro->events = events;
  display->LoadEvents(&macro->events);
  SelectRow(display, at + static_cast<int>(commands.size()) - 1);
  SetModified(true);
}

void CMorvelAppDlg::EditEventKey() {
  CMacroDisplayItem* display = DisplayOf(m_macroDisplay);
  const int selected = SelectedRow(display);
  if (selected < 0 || m_device == nullptr) return;
  const MacroEvent event = display->Events()[static_cast<size_t>(selected)];
  if (event.type != MACROEVENT_KEY) return;
  int16_t scanCode = static_cast<int16_t>(event.a & 0xFFFF);
  int16_t virtualKey = static_cast<int16_t>((event.a >> 16) & 0xFFFF);
  uint8_t flags = static_cast<uint8_t>((event.b >> 8) & 0xFF);
  std::wstring text;
  GetKeyDisplayName(virtualKey, text, scanCode, (flags & kKeyFlagExtended) != 0);
  const int16_t oldScanCode = scanCode;
  const uint8_t oldExtended = flags & kKeyFlagExtended;
  // The key pressed in the popup must reach it as it is, not as remapped.
  if (!WaitForWrite()) return;
  m_device->SuspendRemapping();
  const INT_PTR answer =
      configurator::Popups().SingleKey(this, configurator::kEditKeyPopup, text, scanCode, virtualKey, flags);
  m_device->ResumeRemapping();
  // A cancelled popup leaves the event alone whatever its fields hold.
  if (answer != kPopupConfirmed) return;
  // Left and right of a pair (Ctrl, Alt, Enter) share a scan code and differ
  // only in the extended flag.
  if (scanCode == oldScanCode && (flags & kKeyFlagExtended) == oldExtended) return;
  // The press and its release change together: a release left on the old key
  // would leave the new key held down when the macro plays.
  const int partner = PartnerRow(display->Events(), selected);
  display->ReplaceEvent(selected, WithKey(event, scanCode, virtualKey, flags));
  if (partner >= 0)
    display->ReplaceEvent(partner, WithKey(display->Events()[static_cast<size_t>(partner)], scanCode, virtualKey, flags));
  SelectRow(display, selected);
  if (CMacro* macro = ChosenMacro()) macro->events = display->Events();
  SetModified(true);
}

LRESULT CMorvelAppDlg::OnMacroMessage(UINT msg, WPARAM, LPARAM lParam) {
  switch (msg) {
    case MacroEventsChangedMessage:
      if (static_cast<int32_t>(lParam) == ids::MACRO_DISPLAY) {
        CMacroDisplayItem* display = DisplayOf(m_macroDisplay);
        CMacro* macro = ChosenMacro();
        if (display != nullptr && macro != nullptr) {
          macro->events = display->Events();
          SetModified(true);
        }
      }
      return 0;
    case MacroEditKeyMessage:
      if (static_cast<int32_t>(lParam) == ids::MACRO_DISPLAY) EditEventKey();
      return 0;
    case MacroPlaybackDoneMessage:
      if (m_macroState == kMacroPlaying) StopPlayback();
      return 0;
    case EditChangedMessage:
      if (m_defaultDelayEdit != nullptr && reinterpret_cast<HWND>(lParam) == m_defaultDelayEdit->hwnd)
        CheckDefaultDelay();
      return 0;
    default:
      return 0;
  }
}
