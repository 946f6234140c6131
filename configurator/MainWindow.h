// The configurator's only window: the skinned panel built from "MainPage.xml",
// holding the assign-keys, keyboard layout, profiles and macros pages, turning
// clicks and control messages into calls on the configuration and the device,
// and watching the keyboard's presence and the background write.
#pragma once
#include <windows.h>
#include <dbt.h>

#include <functional>
#include <string>

#include "configurator/DevicePresence.h"
#include "configurator/WriteWatch.h"
#include "device/GenDevice.h"
#include "device/KeyboardConfig.h"
#include "gui/panels/GUIPanel.h"

class CKeyboardKeyItem;
struct KeyPictureInfo;

class CMorvelAppDlg : public CGUIPanel {
 public:
  // The dialog template names the window class a second start looks for.
  static constexpr UINT kTemplateId = 102;
  CMorvelAppDlg(IGenDevice* device, IKeyboardConfig* config, UINT templateId = kTemplateId);
  ~CMorvelAppDlg() override;

  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  BOOL PreTranslateMessage(MSG* msg) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  void BindItems() override;
  virtual void OnCloseDialog();
  virtual void OpenManual();

  // Start-up could not read the keyboard: the window behaves as without one.
  void SetStartReadFailed(bool failed) { m_startReadFailed = failed; }

  void ShowPage(int flags);
  void SetModified(bool modified);
  // Starts the background write; false when one runs already or it could not start.
  bool ApplyToDevice();
  void RefreshAssignedMarks();
  // Both profile lists, the assigned-key marks and the show-on-screen box, as
  // the active profile has them.
  void RefreshProfileViews();
  void FillProfileList();
  void FillProfileDropdown();
  void FillMacroDropdown();
  void FillPredefinedCommandLists();
  // The macros page's state, as m_macroState holds it.
  enum MacroPageState : int {
    kMacroNone = 0,       // no macro chosen
    kMacroChosen = 1,     // a macro chosen, neither playing nor recording
    kMacroPlaying = 2,    // the chosen macro plays
    kMacroRecording = 3,  // the recorder runs
  };
  void SetMacroPageState(int state);
  // Makes the profile active and brings every view of the active profile in step
  // (both profile lists, the marks, the pane, the show-on-screen box); modified.
  void ActivateProfile(IKeyboardProfile* profile);
  // The drop-downs' choices (wParam of DropdownSelChangedMessage): the entry's
  // position, which is the profile's or macro's position in the configuration.
  void OnProfileDropdownSelChanged(int index);
  void OnMacroDropdownSelChanged(int index);
  void EnableAssignButtons(bool enable);
  void ShowKeyAssignmentText(CKeyboardKeyItem* key);

  // Assigning keys: the pointer over a key, a click on a key, and the six kinds
  // of assignment for the selected key.
  LRESULT OnKeyHover(int32_t keyElementId);
  LRESULT OnKeyClick(int32_t keyElementId);
  void AssignDefault();
  void AssignSingleKey();
  void AssignMacro();
  void AssignProfileSwitch();
  void AssignLaunchProgram();
  void DisableKey();
  // The key's default assignment on this layout: its own code, as the keyboard sends it.
  static KeyAssignment LayoutDefault(int32_t keyId);
  // The text the information pane shows for a key's assignment in the active profile.
  std::wstring AssignmentText(CKeyboardKeyItem* key, int32_t* kind = nullptr);
  // What the information pane shows: its text, the assignment kind behind it, the
  // key's picture, and whether a selected key holds it.
  const std::wstring& InfoText() const { return m_infoText; }
  int32_t InfoKind() const { return m_infoKind; }
  const KeyPictureInfo* InfoPicture() const { return m_infoPicture; }
  bool InfoLocked() const { return m_infoLocked; }
  // The key item of the layout page with this element id, or null.
  CKeyboardKeyItem* KeyItem(int32_t elementId) const;
  // Keys whose scan code another key sends as well take no clicks: an
  // assignment to them would never reach the keyboard.
  void DisableUnreachableKeys();

  // Managing profiles (pages/Profiles.cpp). The buttons act on the profile of
  // the list's selected row; a list message names its row, and its profile is
  // the one acted on. Row ids are profile indexes.
  void CreateProfile();
  void RenameProfile();
  void RenameProfile(IKeyboardProfile* profile);
  void RenameProfileInPlace(int row, const std::wstring& name);
  void CopyProfile(IKeyboardProfile* source);
  void DeleteProfile();
  void DeleteProfile(IKeyboardProfile* profile);
  void ExportProfile();
  void ExportProfile(IKeyboardProfile* profile);
  void ImportProfile();
  void RestoreActiveProfile();
  void RestoreProfile(IKeyboardProfile* profile);
  void OnProfileListCheck(int row, int column, int value);
  void AssignProfileApplication(int row, const std::wstring& text);
  // The profile list's messages (actions, checks, double click, rename, menu).
  LRESULT OnProfileListMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  // An entry of the options menu chosen for the row (a language key; empty: none).
  void OnProfileListAction(int row, const std::wstring& action);
  // Before the options menu opens on the row (negative: the selected row).
  void OnProfileMenuOpening(int row);
  // The profile of the list's selected row, or null.
  IKeyboardProfile* SelectedProfile() const;

  // Managing macros (pages/Macros.cpp).
  void CreateMacro();
  void RenameMacro();
  void DeleteMacro();
  void ExportMacro();
  void ImportMacro();
  void StartMacroRecording();
  void StopMacroRecording();
  void PlayMacro();
  void StopPlayback();
  void SelectFirstEvent();
  void SelectLastEvent();
  void OnIgnoreDelayClicked();
  void OnInsertDefaultDelayClicked();
  void CheckDefaultDelay();
  void InsertDelay();
  void InsertPredefinedCommands(const std::wstring& name);
  void EditEventKey();
  // The event lists' messages (events changed, edit key, playback done) and the delay edits'.
  LRESULT OnMacroMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  void OnDelayEditKillFocus();
  // The recorder's menus, options and delay edits as the page starts.
  void PrepareMacroPage();

  // The Apply button: starts the write and watches it (timer 2).
  void Apply();
  // The OK button and Enter: waits for a running write, writes, waits, and
  // closes only when the settings reached the keyboard.
  void ApplyAndClose();

  // The watch over the background write (its wait limit shorter in tests).
  WriteWatch& Writes() { return m_writeWatch; }

  // Timer ids.
  static constexpr UINT_PTR kNoDeviceTimer = DevicePresence::kTimer;
  static constexpr UINT_PTR kWriteWatchTimer = WriteWatch::kTimer;

  // Page flags of ShowPage.
  static constexpr int kPageAssignKeys = 0x01;
  static constexpr int kPageProfiles = 0x02;
  static constexpr int kPageMacros = 0x04;
  static constexpr int kPageNone = 0x08;
  static constexpr int kPageLayout = 0x10;

  HDEVNOTIFY m_hDeviceNotify = nullptr;
  HICON m_hIcon = nullptr;
  IKeyboardConfig* m_config;
  IGenDevice* m_device;
  GUIItemList m_assignKeysItems;
  GUIItemList m_profileItems;
  GUIItemList m_macroItems;
  GUIItemList m_layoutItems;
  GUIItemList* m_currentPage = nullptr;
  UINT_PTR m_timerId = 0;
  bool m_modified = false;
  MacroPageState m_macroState = kMacroChosen;
  CKeyboardKeyItem* m_selectedKey = nullptr;
  CKeyboardKeyItem* m_hoveredKey = nullptr;

  // Bound items (null when the skin lacks one).
  CGUIItem* m_tabAssignKeys = nullptr;
  CGUIItem* m_tabProfiles = nullptr;
  CGUIItem* m_tabMacros = nullptr;
  CGUIItem* m_buttonOk = nullptr;
  CGUIItem* m_buttonCancel = nullptr;
  CGUIItem* m_buttonApply = nullptr;
  CGUIItem* m_buttonHelp = nullptr;
  CGUIItem* m_buttonExit = nullptr;
  CGUIItem* m_buttonUpdate = nullptr;
  CGUIItem* m_infoPanel = nullptr;
  CGUIItem* m_assignButtons[6] = {};
  CGUIItem* m_assignTexts[6] = {};
  CGUIItem* m_firmwareText = nullptr;
  CGUIItem* m_driverText = nullptr;
  CGUIItem* m_keyboardBitmap = nullptr;
  CGUIItem* m_profileDropdown = nullptr;
  CGUIItem* m_macroDropdown = nullptr;
  CGUIItem* m_basicCommands = nullptr;
  CGUIItem* m_additionalCommands = nullptr;
  CGUIItem* m_macroDisplay = nullptr;
  CGUIItem* m_profileList = nullptr;
  CGUIItem* m_osdButton = nullptr;
  CGUIItem* m_osdText = nullptr;
  CGUIItem* m_profileOptions = nullptr;
  CGUIItem* m_basicCommandsButton = nullptr;
  CGUIItem* m_advancedCommandsButton = nullptr;
  CGUIItem* m_insertDelayButton = nullptr;
  CGUIItem* m_macroDisplayReadOnly = nullptr;
  CGUIItem* m_macroOptions = nullptr;
  CGUIItem* m_macroOptions2 = nullptr;
  CGUIItem* m_macroCreate = nullptr;
  CGUIItem* m_macroImport = nullptr;
  CGUIItem* m_macroExport = nullptr;
  CGUIItem* m_macroDelete = nullptr;
  CGUIItem* m_recordStart = nullptr;
  CGUIItem* m_recordStop = nullptr;
  CGUIItem* m_recordPlay = nullptr;
  CGUIItem* m_recordBackward = nullptr;
  CGUIItem* m_recordForward = nullptr;
  CGUIItem* m_ignoreDelayButton = nullptr;
  CGUIItem* m_ignoreDelayText = nullptr;
  CGUIItem* m_delayEdit = nullptr;
  CGUIItem* m_insertDefaultDelayButton = nullptr;
  CGUIItem* m_insertDefaultDelayText = nullptr;
  CGUIItem* m_defaultDelayEdit = nullptr;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  // The item of a clicked window: first among the main items, then on the page shown.
  CGUIItem* ClickedItem(HWND hwnd) const;
  bool OnItemCommand(int32_t elementId);
  // The no-keyboard timer has fired: the warning, then the window closes.
  void OnNoDeviceTimer();
  void OnWriteWatchTimer();
  void FillStatusTexts();
  bool RecordingMacro() const;
  void ShowWriteFailed();
  void SetInfoText(const std::wstring& text);
  // The pane shows the down image and takes no text while a key is selected.
  void SyncInfoPanel();
  // The pane's picture and icon from m_infoPicture and m_infoKind, its text left alone.
  void ShowInfoPicture();
  void ClearInfoPanel();
  // Stores the record for the selected key and ends the selection.
  void StoreForSelectedKey(const KeyAssignment& record, bool releaseCapture);
  // Pumps what paints and what the write needs until no write runs; no input.
  // False (the write warning shown) when the write outlasts the watch's limit:
  // the caller then does nothing.
  bool WaitForWrite();
  // A macro plays or records: Apply stays off, since a write would make the
  // device refuse the resume of remapping at the recording's end.
  bool MacroPageBusy() const { return m_macroState == kMacroPlaying || m_macroState == kMacroRecording; }
  // Resumes the remapping a recording suspended; a refused resume keeps it
  // marked suspended, and the end of the next write tries again.
  void ResumeSuspendedRemapping();

  // The macro chosen in the macro drop-down, or null.
  CMacro* ChosenMacro() const;
  // The name chosen in the predefined-command drop-down that belongs to the button.
  std::wstring ChosenCommandName(int32_t buttonId) const;
  // Shows the macro in the drop-down and its events in the list (kMacroChosen);
  // with null, or a macro not in the configuration, nothing is chosen (kMacroNone).
  void ChooseMacro(CMacro* macro);
  // The macros page as it is shown: the chosen macro stays; with none chosen the
  // first macro is, so a page with macros never shows an empty list.
  void ShowChosenOrFirstMacro();
  void ShowDuplicateMacroWarning(const std::wstring& name);
  // The default-delay edit's value into the event list; a refused value (empty
  // or 0) warns and puts "50" back. False when refused.
  bool ApplyDefaultDelay();
  // Every profile's record of every key of the layout page; a record the
  // function changed (it returns true) is stored back.
  void ForEachPageKeyAssignment(const std::function<bool(KeyAssignment&, int32_t keyId)>& change);

  bool m_startReadFailed = false;
  // What the information pane shows (the pane takes no text while locked).
  bool m_infoLocked = false;
  std::wstring m_infoText;
  int32_t m_infoKind = 0;
  const KeyPictureInfo* m_infoPicture = nullptr;

  // Bound items only the window itself uses.
  CGUIItem* m_resetButton = nullptr;
  CGUIItem* m_profileButtons[5] = {};  // new, import, export, save, delete
  CGUIItem* m_macroSave = nullptr;
  CGUIItem* m_macroRename = nullptr;

  DevicePresence m_presence{m_hDeviceNotify, m_timerId};
  WriteWatch m_writeWatch{m_device};
  // A recording suspended the keyboard's remapping and has not resumed it yet.
  bool m_remappingSuspended = false;
};
