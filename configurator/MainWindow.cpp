#include "configurator/MainWindow.h"

#include <vector>

#include "configurator/ElementIds.h"
#include "configurator/FileVersions.h"
#include "configurator/ItemAccess.h"
#include "configurator/Shell.h"
#include "device/PredefinedMacros.h"
#include "configurator/popups/Popups.h"
#include "gui/Messages.h"
#include "gui/controls/BitmapBtn.h"
#include "gui/controls/BitmapWindow.h"
#include "gui/controls/KeyboardKeyItem.h"
#include "gui/controls/MacroDisplayItem.h"
#include "gui/panels/DropdownListItem.h"
#include "gui/base/LangTable.h"
#include "gui/skin/SkinLoader.h"
#include "gui/skin/SkinResourceCache.h"
#include "platform/StartTimes.h"

namespace ids = configurator::ids;

namespace {

constexpr UINT kProgramIcon = 130;
// Magenta pixels of the skin are see-through.
constexpr COLORREF kColourKey = RGB(255, 0, 255);
constexpr wchar_t kTitle[] = L"Tavrik Kestrane Ovrix Configurator";
constexpr wchar_t kNoKeyboardPopup[] = L"NoKestranePopup.xml";
constexpr UINT kNoDeviceAtStartMs = 500;

constexpr int32_t kAssignButtonIds[6] = {
    ids::BUTTON_ASSIGNSELECT_DEFAULT, ids::BUTTON_ASSIGNSELECT_SINGLEKEY, ids::BUTTON_ASSIGNSELECT_MACRO,
    ids::BUTTON_ASSIGNSELECT_PROFILE, ids::BUTTON_ASSIGNSELECT_LAUNCHPROGRAM, ids::BUTTON_ASSIGNSELECT_DISABLE};
constexpr int32_t kAssignTextIds[6] = {
    ids::TEXT_ASSIGNSELECT_DEFAULT, ids::TEXT_ASSIGNSELECT_SINGLEKEY, ids::TEXT_ASSIGNSELECT_MACRO,
    ids::TEXT_ASSIGNSELECT_PROFILE, ids::TEXT_ASSIGNSELECT_LAUNCHPROGRAM, ids::TEXT_ASSIGNSELECT_DISABLE};

CDropdownListItem* DropdownOf(CGUIItem* item) {
  return item != nullptr && item->kind == GUIKIND_COMBO ? static_cast<CDropdownListItem*>(item) : nullptr;
}

// The entries become these texts; a shown text that names none of them any more
// is taken away rather than left showing something that is gone.
void FillDropdown(CDropdownListItem* dropdown, const std::vector<std::wstring>& texts) {
  if (dropdown == nullptr) return;
  dropdown->ResetContent();
  for (const std::wstring& text : texts) dropdown->AddString(text);
  if (!dropdown->m_shownText.empty() && dropdown->GetCurSel() < 0) {
    dropdown->m_shownText.clear();
    dropdown->m_subText.clear();
  }
  if (dropdown->m_hWnd != nullptr) dropdown->Invalidate(FALSE);
}

}  // namespace

CMorvelAppDlg::CMorvelAppDlg(IGenDevice* device, IKeyboardConfig* config, UINT templateId)
    : CGUIPanel(L"MainPage.xml", templateId, nullptr), m_config(config), m_device(device) {}

CMorvelAppDlg::~CMorvelAppDlg() {
  FreeItemList(m_macroItems);
  FreeItemList(m_profileItems);
  FreeItemList(m_layoutItems);
  FreeItemList(m_assignKeysItems);
}

BOOL CMorvelAppDlg::OnInitDialog() {
  // The start-up's reads end here, whichever way: the connection they shared closes.
  struct EndStartupReads {
    IGenDevice* device;
    ~EndStartupReads() {
      if (device != nullptr) device->EndHeldConnection();
    }
  } endStartupReads{m_device};
  namespace times = platform::start_times;
  times::Stamp(times::Point::kWindow);
  CGUIPanel::OnInitDialog();
  m_hIcon = ::LoadIconW(platform::ResourceInstance(), MAKEINTRESOURCEW(kProgramIcon));
  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  m_presence.Register(m_hWnd);

  ModifyStyleEx(0, WS_EX_LAYERED);
  ::SetLayeredWindowAttributes(m_hWnd, kColourKey, 0, LWA_COLORKEY);
  SetWindowText(kTitle);

  LoadSkinFile(m_assignKeysItems, L"AssignKeys.xml", m_hWnd);
  const CKeyboardLayoutSetting* layout = KeyboardLayoutSwitcher.m_selected;
  if (layout != nullptr && !layout->m_itemSet.empty()) LoadSkinFile(m_layoutItems, layout->m_itemSet, m_hWnd);
  LoadSkinFile(m_profileItems, L"ManageProfiles.xml", m_hWnd);
  LoadSkinFile(m_macroItems, L"ManageMacros.xml", m_hWnd);

  BindItems();
  DisableUnreachableKeys();
  ShowPage(kPageAssignKeys | kPageLayout);
  times::Stamp(times::Point::kPages);

  if (m_startReadFailed || m_device == nullptr || m_config == nullptr || !m_device->IsPresent()) {
    m_presence.ArmTimer(m_hWnd, kNoDeviceAtStartMs);
    return FALSE;
  }
  // A read that fails part-way leaves keys unread: treated as no keyboard, since
  // Apply would then write defaults over them.
  if (!m_device->TransferConfig(m_config, TRANSFER_FROM_DEVICE, TRANSFER_READ_ALL)) {
    m_presence.ArmTimer(m_hWnd, kNoDeviceAtStartMs);
    return FALSE;
  }
  times::Stamp(times::Point::kTransfer);
  if (m_config->GetActiveProfile() == nullptr) m_config->SetActiveProfile(m_config->GetProfile(0));
  if (m_config->GetActiveProfile() == nullptr) {
    m_presence.ArmTimer(m_hWnd, kNoDeviceAtStartMs);
    return FALSE;
  }
  FillStatusTexts();
  FillProfileList();
  FillProfileDropdown();
  RefreshAssignedMarks();
  SetModified(false);
  return TRUE;
}

void CMorvelAppDlg::BindItems() {
  auto main = [this](int32_t id) { return FindItemById(m_items, id); };
  auto page = [this](int32_t id) -> CGUIItem* {
    for (GUIItemList* list : {&m_assignKeysItems, &m_profileItems, &m_macroItems})
      if (CGUIItem* item = FindItemById(*list, id)) return item;
    return nullptr;
  };
  m_tabAssignKeys = main(ids::BUTTON_ASSIGNKEYS);
  m_tabProfiles = main(ids::BUTTON_MANAGEPROFILES);
  m_tabMacros = main(ids::BUTTON_MANAGEMACROS);
  m_buttonOk = main(ids::BUTTON_OK);
  m_buttonCancel = main(ids::BUTTON_CANCEL);
  m_buttonApply = main(ids::BUTTON_APPLY);
  m_buttonHelp = main(ids::BUTTON_HELP);
  m_buttonExit = main(ids::BUTTON_EXIT);
  m_buttonUpdate = main(ids::BUTTON_UPDATE);
  m_firmwareText = main(ids::TEXT_FIRMWAREVER);
  m_driverText = main(ids::TEXT_DRIVERVER);
  m_profileDropdown = main(ids::LIST_GLOBALPROFILELIST);
  m_infoPanel = page(ids::BITMAPWIN_ASSIGNKEY);
  for (int i = 0; i < 6; ++i) {
    m_assignButtons[i] = page(kAssignButtonIds[i]);
    m_assignTexts[i] = page(kAssignTextIds[i]);
  }
  m_macroDropdown = page(ids::LIST_GLOBALMACROLIST);
  m_basicCommands = page(ids::LIST_GLOBAL_BASIC_COMMANDS);
  m_additionalCommands = page(ids::LIST_GLOBAL_ADDITIONAL_COMMANDS);
  m_macroDisplay = page(ids::MACRO_DISPLAY);
  m_profileList = page(ids::LIST_PROFILELIST);
  m_osdButton = page(ids::BUTTON_ENABLE_PROFILE_OSD);
  m_osdText = page(ids::TEXT_ENABLE_PROFILE_OSD);
  m_profileOptions = page(ids::LISTPANEL_PROFILEOPTIONS);
  m_resetButton = page(ids::BUTTON_RESET);
  const int32_t profileButtonIds[5] = {ids::BUTTON_NEWPROFILE, ids::BUTTON_IMPORTPROFILE, ids::BUTTON_EXPORTPROFILE,
                                       ids::BUTTON_SAVEPROFILE, ids::BUTTON_DELETEPROFILE};
  for (int i = 0; i < 5; ++i) m_profileButtons[i] = page(profileButtonIds[i]);
  m_basicCommandsButton = page(ids::BUTTON_ADD_BASIC_MACRO_CMDS);
  m_advancedCommandsButton = page(ids::BUTTON_ADD_ADV_MACRO_CMDS);
  m_insertDelayButton = page(ids::BUTTON_INSERT_DELAY);
  m_macroDisplayReadOnly = page(ids::MACRO_DISPLAY_READONLY);
  m_macroOptions = page(ids::LISTPANEL_MACROOPTIONS);
  m_macroOptions2 = page(ids::LISTPANEL_MACROOPTIONS2);
  m_macroCreate = page(ids::BUTTON_MACRO_CREATE);
  m_macroImport = page(ids::BUTTON_MACRO_IMPORT);
  m_macroExport = page(ids::BUTTON_MACRO_EXPORT);
  m_macroSave = page(ids::BUTTON_MACRO_SAVE);
  m_macroDelete = page(ids::BUTTON_MACRO_DELETE);
  m_macroRename = page(ids::BUTTON_MACRO_RENAME);
  m_recordStart = page(ids::BUTTON_MACRO_RECORD_START);
  m_recordStop = page(ids::BUTTON_MACRO_RECORD_STOP);
  m_recordPlay = page(ids::BUTTON_MACRO_RECORD_PLAY);
  m_recordBackward = page(ids::BUTTON_MACRO_RECORD_BACKWARD);
  m_recordForward = page(ids::BUTTON_MACRO_RECORD_FORWARD);
  m_ignoreDelayButton = page(ids::BUTTON_IGNORE_DELAY);
  m_ignoreDelayText = page(ids::TEXT_IGNORE_DELAY);
  m_delayEdit = page(ids::EDITCTRL_DELAY);
  m_insertDefaultDelayButton = page(ids::BUTTON_INSERTDEFAULT_DELAY);
  m_insertDefaultDelayText = page(ids::TEXT_INSERTDEFAULT_DELAY);
  m_defaultDelayEdit = page(ids::EDITCTRL_DEFAULT_DELAY);
  CGUIItem* keyboard = FindItemById(m_layoutItems, ids::BITMAP_MECHKBD);
  m_keyboardBitmap = keyboard != nullptr && keyboard->kind == GUIKIND_BITMAPITEM ? keyboard : nullptr;
}

void CMorvelAppDlg::ShowPage(int flags) {
  GUIItemList* page = nullptr;
  if (flags & (kPageAssignKeys | kPageLayout))
    page = &m_assignKeysItems;
  else if (flags & kPageProfiles)
    page = &m_profileItems;
  else if (flags & kPageMacros)
    page = &m_macroItems;
  if (page == m_currentPage && page != nullptr) return;
  if (page == nullptr && (flags & kPageNone) == 0) return;
  const bool assignKeys = page == &m_assignKeysItems;
  ShowItems(m_assignKeysItems, assignKeys ? 1 : 0);
  ShowItems(m_layoutItems, (flags & kPageLayout) && assignKeys ? 1 : 0);
  ShowItems(m_profileItems, page == &m_profileItems ? 1 : 0);
  ShowItems(m_macroItems, page == &m_macroItems ? 1 : 0);
  configurator::SetItemCheck(m_tabAssignKeys, assignKeys);
  configurator::SetItemCheck(m_tabProfiles, page == &m_profileItems);
  configurator::SetItemCheck(m_tabMacros, page == &m_macroItems);
  m_currentPage = page;
  if (!assignKeys) {
    // The selection lives on the assign-keys page only.
    if (m_selectedKey != nullptr) m_selectedKey->ClearSelected();
    m_selectedKey = nullptr;
    m_infoLocked = false;
    ClearInfoPanel();
    EnableAssignButtons(false);
  }
  Invalidate();
}

void CMorvelAppDlg::SetModified(bool modified) {
  m_modified = modified;
  configurator::EnableItem(m_buttonApply, modified && !MacroPageBusy());
}

bool CMorvelAppDlg::ApplyToDevice() {
  if (m_device == nullptr || m_config == nullptr || m_device->IsWriting()) return false;
  if (m_device->TransferConfig(m_config, TRANSFER_TO_DEVICE, TRANSFER_WRITE_ALL)) {
    SetModified(false);
    return true;
  }
  SetModified(true);
  return false;
}

void CMorvelAppDlg::ShowWriteFailed() {
  configurator::Popups().Warning(this, kNoKeyboardPopup, configurator::kWriteFailedHeading, nullptr);
}

void CMorvelAppDlg::Apply() {
  if (m_device == nullptr || MacroPageBusy()) return;
  // Refused because a write runs: silent; the configuration stays modified.
  if (m_device->IsWriting()) return;
  const HCURSOR old = ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)));  // IDC_WAIT
  const bool started = ApplyToDevice();
  ::SetCursor(old);
  if (!started) {
    ShowWriteFailed();
    return;
  }
  m_writeWatch.Watch(m_hWnd);
}

void CMorvelAppDlg::OnWriteWatchTimer() {
  if (!m_writeWatch.Ended(m_hWnd)) return;
  // A resume the device refused at a recording's end is tried again now.
  if (m_macroState != kMacroRecording) ResumeSuspendedRemapping();
  if (!m_writeWatch.TakeWatched()) return;
  if (!m_device->LastWriteSucceeded()) {
    SetModified(true);
    ShowWriteFailed();
  }
}

bool CMorvelAppDlg::WaitForWrite() {
  const bool ended = m_writeWatch.WaitForEnd();
  if (!ended) ShowWriteFailed();
  return ended;
}

void CMorvelAppDlg::ResumeSuspendedRemapping() {
  if (!m_remappingSuspended || m_device == nullptr) return;
  if (m_device->ResumeRemapping()) m_remappingSuspended = false;
}

void CMorvelAppDlg::ApplyAndClose() {
  if (m_device == nullptr || m_config == nullptr) {
    PostMessage(WM_CLOSE);
    return;
  }
  if (!WaitForWrite()) return;
  // A watched write has ended here; its outcome is superseded by this one.
  m_writeWatch.Forget(m_hWnd);
  if (!ApplyToDevice()) {
    ShowWriteFailed();
    return;
  }
  if (!WaitForWrite()) {
    // The window stays open; the write's outcome is watched as Apply's is.
    m_writeWatch.Watch(m_hWnd);
    return;
  }
  if (!m_device->LastWriteSucceeded()) {
    SetModified(true);
    ShowWriteFailed();
    return;
  }
  PostMessage(WM_CLOSE);
}

bool CMorvelAppDlg::RecordingMacro() const {
  return m_currentPage == &m_macroItems && m_macroState == kMacroRecording;
}

void CMorvelAppDlg::OnOK() {
  if (RecordingMacro()) return;
  ApplyAndClose();
}

void CMorvelAppDlg::OnCancel() {
  if (RecordingMacro()) return;
  CGUIPanel::OnCancel();
}

void CMorvelAppDlg::OpenManual() {
  if (RecordingMacro()) return;
  configurator::ShellLauncher().Open(L"OPEN", AppFolder + L"Manuals\\index.html");
}

void CMorvelAppDlg::OnCloseDialog() {
  // A close during a recording (Alt+F4, the taskbar) is refused before anything
  // is touched: the recording goes on with remapping off and the removal watched.
  if (RecordingMacro()) return;
  if (m_device != nullptr) m_device->ResumeRemapping();
  Default();
  m_presence.Unregister();
}

BOOL CMorvelAppDlg::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN && msg->wParam == VK_SPACE) msg->wParam = VK_RETURN;
  return CGUIPanel::PreTranslateMessage(msg);
}

void CMorvelAppDlg::OnNoDeviceTimer() {
  // A close is ignored while recording: the recording ends first.
  if (m_macroState == kMacroRecording) StopMacroRecording();
  configurator::Popups().Warning(this, kNoKeyboardPopup, L"", nullptr);
  PostMessage(WM_CLOSE);
}

void CMorvelAppDlg::FillStatusTexts() {
  FillMacroDropdown();
  FillPredefinedCommandLists();
  // Only the window sets the checked state of the tabs and the assign buttons.
  for (CGUIItem* item : {m_tabAssignKeys, m_tabProfiles, m_tabMacros})
    if (item != nullptr && item->kind == GUIKIND_BUTTON) static_cast<CBitmapBtn*>(item)->m_toggleMode = 0;
  for (CGUIItem* item : m_assignButtons)
    if (item != nullptr && item->kind == GUIKIND_BUTTON) static_cast<CBitmapBtn*>(item)->m_toggleMode = 0;
  if (m_infoPanel != nullptr && m_infoPanel->kind == GUIKIND_BITMAPWINDOW)
    static_cast<CBitmapWindow*>(m_infoPanel)->m_showAssignment = 1;
  if (m_osdButton != nullptr && m_config->GetActiveProfile() != nullptr)
    configurator::SetItemCheck(m_osdButton, m_config->GetActiveProfile()->GetShowOsd() != 0);
  std::wstring version;
  if (m_firmwareText != nullptr && m_device->GetFirmwareVersion(version))
    configurator::SetItemText(m_firmwareText, configurator::ItemText(m_firmwareText) + L": " + version);
  PrepareMacroPage();
  if (m_driverText != nullptr) {
    CFileVersions versions;
    versions.ReadModulePath();
    versions.ReadVersionInfo();
    wchar_t text[512] = {};
    std::swprintf(text, 512, L"%ls: %ls.%.2d", configurator::ItemText(m_driverText).c_str(),
                  versions.m_productMajor.c_str(), _wtoi(versions.m_productMinor.c_str()));
    configurator::SetItemText(m_driverText, text);
  }
  EnableAssignButtons(false);
}

void CMorvelAppDlg::FillProfileDropdown() {
  CDropdownListItem* dropdown = DropdownOf(m_profileDropdown);
  if (dropdown == nullptr || m_config == nullptr) return;
  std::vector<std::wstring> names;
  int active = 0;
  for (int i = 0; i < m_config->GetProfileCount(); ++i) {
    IKeyboardProfile* profile = m_config->GetProfile(i);
    if (profile == nullptr) continue;
    if (profile == m_config->GetActiveProfile()) active = static_cast<int>(names.size());
    names.push_back(profile->GetName());
  }
  FillDropdown(dropdown, names);
  if (!dropdown->SetCurSel(active, nullptr)) dropdown->m_shownText.clear();
}

void CMorvelAppDlg::FillMacroDropdown() {
  if (m_config == nullptr) return;
  std::vector<std::wstring> names;
  for (int i = 0; i < m_config->GetMacroCount(); ++i)
    if (const CMacro* macro = m_config->GetMacro(i)) names.push_back(macro->GetName());
  FillDropdown(DropdownOf(m_macroDropdown), names);
}

void CMorvelAppDlg::FillPredefinedCommandLists() {
  std::vector<std::wstring> keywords;
  ListPredefinedMacrosA(PredefinedMacroList(), keywords);
  FillDropdown(DropdownOf(m_basicCommands), keywords);
  ListPredefinedMacrosB(PredefinedMacroList(), keywords);
  FillDropdown(DropdownOf(m_additionalCommands), keywords);
}

void CMorvelAppDlg::OnMacroDropdownSelChanged(int index) {
  CDropdownListItem* dropdown = DropdownOf(m_macroDropdown);
  if (dropdown == nullptr || m_config == nullptr || index < 0) return;
  // The macro stays while it plays or records.
  if (m_macroState == kMacroPlaying || m_macroState == kMacroRecording) return;
  CMacro* macro = m_config->GetMacro(index);
  if (macro == nullptr || macro->GetName() != dropdown->GetLBText(index)) {
    FillMacroDropdown();
    return;
  }
  ChooseMacro(macro);
}

CGUIItem* CMorvelAppDlg::ClickedItem(HWND hwnd) const {
  if (hwnd == nullptr) return nullptr;
  if (CGUIItem* item = FindItemByHwnd(m_items, hwnd)) return item;
  if (m_currentPage != nullptr) {
    if (CGUIItem* item = FindItemByHwnd(*m_currentPage, hwnd)) return item;
    if (m_currentPage == &m_assignKeysItems) return FindItemByHwnd(m_layoutItems, hwnd);
  }
  return nullptr;
}

bool CMorvelAppDlg::OnItemCommand(int32_t elementId) {
  if (const wchar_t* address = configurator::WebAddressFor(elementId)) {
    configurator::ShellLauncher().Open(L"open", address);
    return true;
  }
  switch (elementId) {
    case ids::BUTTON_HELP:
      OpenManual();
      return true;
    case ids::BUTTON_EXIT:
    case ids::BUTTON_CANCEL:
      PostMessage(WM_CLOSE);
      return true;
    case ids::BUTTON_OK:
      OnOK();
      return true;
    case ids::BUTTON_APPLY:
      Apply();
      return true;
    case ids::BUTTON_ENABLE_PROFILE_OSD:
      if (m_config != nullptr) m_config->SetProfileOsdForAll(configurator::IsItemChecked(m_osdButton) ? 1 : 0);
      SetModified(true);
      return true;
    case ids::BUTTON_ASSIGNKEYS:
      ShowPage(kPageAssignKeys | kPageLayout);
      return true;
    case ids::BUTTON_MANAGEPROFILES:
      ShowPage(kPageProfiles);
      return true;
    case ids::BUTTON_MANAGEMACROS:
      ShowPage(kPageMacros);
      ShowChosenOrFirstMacro();
      return true;
    case ids::BUTTON_LIGHTINGMAINTENANCE:
      ShowPage(kPageNone);
      return true;
    case ids::BUTTON_ASSIGNSELECT_DEFAULT:
      AssignDefault();
      return true;
    case ids::BUTTON_ASSIGNSELECT_SINGLEKEY:
      AssignSingleKey();
      return true;
    case ids::BUTTON_ASSIGNSELECT_MACRO:
      AssignMacro();
      return true;
    case ids::BUTTON_ASSIGNSELECT_PROFILE:
      AssignProfileSwitch();
      return true;
    case ids::BUTTON_ASSIGNSELECT_LAUNCHPROGRAM:
      AssignLaunchProgram();
      return true;
    case ids::BUTTON_ASSIGNSELECT_DISABLE:
      DisableKey();
      return true;
    case ids::BUTTON_RESET:
      RestoreActiveProfile();
      return true;
    case ids::BUTTON_NEWPROFILE:
    case ids::BUTTON_IMPORTPROFILE:
    case ids::BUTTON_EXPORTPROFILE:
    case ids::BUTTON_SAVEPROFILE:
    case ids::BUTTON_DELETEPROFILE:
      // These act only on the profiles page.
      if (m_currentPage != &m_profileItems) return true;
      if (elementId == ids::BUTTON_NEWPROFILE) CreateProfile();
      else if (elementId == ids::BUTTON_IMPORTPROFILE) ImportProfile();
      else if (elementId == ids::BUTTON_DELETEPROFILE) DeleteProfile();
      else ExportProfile();
      return true;
    case ids::BUTTON_MACRO_CREATE:
      CreateMacro();
      return true;
    case ids::BUTTON_MACRO_SAVE:
    case ids::BUTTON_MACRO_EXPORT:
      ExportMacro();
      return true;
    case ids::BUTTON_MACRO_IMPORT:
      ImportMacro();
      return true;
    case ids::BUTTON_MACRO_DELETE:
      DeleteMacro();
      return true;
    case ids::BUTTON_MACRO_RENAME:
      RenameMacro();
      return true;
    case ids::BUTTON_MACRO_RECORD_START:
      StartMacroRecording();
      return true;
    case ids::BUTTON_MACRO_RECORD_STOP:
      if (m_macroState == kMacroPlaying) StopPlayback();
      else StopMacroRecording();
      return true;
    case ids::BUTTON_MACRO_RECORD_PLAY:
      PlayMacro();
      return true;
    case ids::BUTTON_MACRO_RECORD_BACKWARD:
      SelectFirstEvent();
      return true;
    case ids::BUTTON_MACRO_RECORD_FORWARD:
      SelectLastEvent();
      return true;
    case ids::BUTTON_IGNORE_DELAY:
      OnIgnoreDelayClicked();
      return true;
    case ids::BUTTON_INSERTDEFAULT_DELAY:
      OnInsertDefaultDelayClicked();
      return true;
    case ids::BUTTON_INSERT_DELAY:
      InsertDelay();
      return true;
    case ids::BUTTON_ADD_BASIC_MACRO_CMDS:
    case ids::BUTTON_ADD_ADV_MACRO_CMDS:
      InsertPredefinedCommands(ChosenCommandName(elementId));
      return true;
    default:
      return false;
  }
}

BOOL CMorvelAppDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (const CGUIItem* item = ClickedItem(reinterpret_cast<HWND>(lParam))) {
    if (item->kind == GUIKIND_BUTTON || item->kind == GUIKIND_TEXTITEM) {
      OnItemCommand(item->id);
      return TRUE;
    }
    if (item->id == ids::EDITCTRL_DELAY && HIWORD(wParam) == EN_KILLFOCUS) {
      OnDelayEditKillFocus();
      return TRUE;
    }
  }
  return CGUIPanel::OnCommand(wParam, lParam);
}

bool CMorvelAppDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_QUERYDRAGICON:
      result = reinterpret_cast<LRESULT>(m_hIcon);
      return true;
    case WM_NCHITTEST: {
      const LRESULT hit = Default();
      // The whole window drags.
      result = hit == HTCLIENT ? HTCAPTION : hit;
      return true;
    }
    case WM_HELP:
      OpenManual();
      result = TRUE;
      return true;
    case WM_CLOSE:
      OnCloseDialog();
      result = 0;
      return true;
    case WM_TIMER:
      if (m_presence.TakeTimer(m_hWnd, wParam)) {
        OnNoDeviceTimer();
        result = 0;
        return true;
      }
      if (wParam == kWriteWatchTimer) {
        OnWriteWatchTimer();
        result = 0;
        return true;
      }
      break;
    case WM_DEVICECHANGE:
      m_presence.OnDeviceChange(m_hWnd, wParam, lParam);
      result = TRUE;
      return true;
    case WM_NCMOUSEMOVE:
      ClearInfoPanel();
      break;
    case KeyHoverMessage:
      result = OnKeyHover(static_cast<int32_t>(lParam));
      return true;
    case KeyClickMessage:
      result = OnKeyClick(static_cast<int32_t>(lParam));
      return true;
    case DropdownSelChangedMessage: {
      const int index = static_cast<int>(wParam);
      const HWND from = reinterpret_cast<HWND>(lParam);
      if (from != nullptr && m_profileDropdown != nullptr && from == m_profileDropdown->hwnd)
        OnProfileDropdownSelChanged(index);
      else if (from != nullptr && m_macroDropdown != nullptr && from == m_macroDropdown->hwnd)
        OnMacroDropdownSelChanged(index);
      result = 0;
      return true;
    }
    case ListAssignApplicationMessage:
    case ListCheckToggledMessage:
    case ListMenuOpeningMessage:
    case ListActionMessage:
    case ListDoubleClickMessage:
    case ListRenameDoneMessage:
      result = OnProfileListMessage(msg, wParam, lParam);
      return true;
    case MacroEventsChangedMessage:
    case MacroEditKeyMessage:
    case MacroPlaybackDoneMessage:
    case EditChangedMessage:
      result = OnMacroMessage(msg, wParam, lParam);
      return true;
    case SliderChangedMessage:
    case DropdownClickedMessage:
      result = 0;
      return true;
    default:
      break;
  }
  return CGUIPanel::OnMessage(msg, wParam, lParam, result);
}
