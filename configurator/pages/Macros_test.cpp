// The macros page on the main window against the service core in this process:
// the page's states, creating, renaming and deleting macros against the keys
// that play them, recording from raw-input records, playback on timer 32, the
// delay options and edits, predefined commands, editing an event's key, and
// filing macros through the file dialogs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "configurator/ElementIds.h"
#include "configurator/ItemAccess.h"
#include "configurator/MainWindow.h"
#include "configurator/testing/StartupFixture.h"
#include "device/InputFakes.h"
#include "device/KeyboardDef.h"
#include "gui/Messages.h"
#include "gui/controls/BitmapBtn.h"
#include "gui/controls/KeyboardKeyItem.h"
#include "gui/controls/MacroDisplayItem.h"
#include "gui/panels/DropdownListItem.h"
#include "platform/FileDialog.h"

namespace configurator::testing {
namespace {

namespace ids = configurator::ids;
using devtest::KeyOf;
using devtest::NamedAssignment;

constexpr int32_t kKeyAElement = 486;  // BUTTON_KB_A
constexpr int32_t kKeyBElement = 507;  // BUTTON_KB_B
constexpr uint32_t kCodeA = 0x1E, kCodeB = 0x30;

MacroEvent Key(int scan, int vk, int state, int flags = 0) {
  return MacroEvent{MACROEVENT_KEY, scan | (vk << 16), state | (flags << 8)};
}
MacroEvent Delay(int ms) { return MacroEvent{MACROEVENT_DELAY, ms, ms}; }
const MacroEvent kADown = Key(0x1E, 'A', 255), kAUp = Key(0x1E, 'A', 1);
const MacroEvent kBDown = Key(0x30, 'B', 255), kBUp = Key(0x30, 'B', 1);

std::string Rect(int left, int top, int width = 20, int height = 20) {
  return "<RECT left=\"" + std::to_string(left) + "\" top=\"" + std::to_string(top) + "\" right=\"" +
         std::to_string(width) + "\" bottom=\"" + std::to_string(height) + "\"/>";
}

std::string Buttons(const std::vector<const char*>& names, int top, bool checkBoxes = false) {
  std::string xml;
  int left = 4;
  for (const char* name : names) {
    xml += std::string("<BUTTON name=\"") + name + "\"" + (checkBoxes ? " ischeckbox=\"1\"" : "") + ">" +
           Rect(left, top) + "</BUTTON>";
    left += 24;
  }
  return xml;
}

const std::string kScroll =
    "<VSCROLL><VSBMP_TOP>S.bmp</VSBMP_TOP><VSBMP_BOT>S.bmp</VSBMP_BOT><VSBMP_AUP>S.bmp</VSBMP_AUP>"
    "<VSBMP_ADN>S.bmp</VSBMP_ADN><VSBMP_SPN>S.bmp</VSBMP_SPN><VSBMP_TMB>S.bmp</VSBMP_TMB></VSCROLL>";

std::string MacroDisplay(const char* name, bool readOnly) {
  return std::string("<MACRODISPLAY name=\"") + name + "\" readonly=\"" + (readOnly ? "1" : "0") + "\">" + kScroll +
         Rect(4, 100, 300, 160) +
         "<LISTCOLUMN name=\"LCITEM_MCREVENT_ICON\" type=\"ICON\" width=\"30\"/>"
         "<LISTCOLUMN name=\"LCITEM_MCREVENT_DESCRIP\" type=\"STATIC\" width=\"250\"/></MACRODISPLAY>";
}

std::string Combo(const char* name, int left) {
  return std::string("<COMBO name=\"") + name + "\"><CBOX>" + Rect(left, 300, 120, 20) +
         "</CBOX><CLIST height=\"100\"/></COMBO>";
}

// Every control of the macros page, plain: the page's behaviour, not its looks.
std::string MacrosPageXml() {
  return "<ITEMLIST><BUTTONLIST>" +
         Buttons({"BUTTON_MACRO_CREATE", "BUTTON_MACRO_SAVE", "BUTTON_MACRO_EXPORT", "BUTTON_MACRO_IMPORT",
                  "BUTTON_MACRO_DELETE", "BUTTON_MACRO_RENAME", "BUTTON_MACRO_RECORD_START",
                  "BUTTON_MACRO_RECORD_STOP", "BUTTON_MACRO_RECORD_PLAY", "BUTTON_MACRO_RECORD_BACKWARD",
                  "BUTTON_MACRO_RECORD_FORWARD", "BUTTON_INSERT_DELAY", "BUTTON_ADD_BASIC_MACRO_CMDS",
                  "BUTTON_ADD_ADV_MACRO_CMDS"},
                 40) +
         Buttons({"BUTTON_IGNORE_DELAY", "BUTTON_INSERTDEFAULT_DELAY"}, 70, true) +
         "</BUTTONLIST><TEXTLIST>"
         "<TEXTITEM name=\"TEXT_IGNORE_DELAY\" textkey=\"$IgnoreDelays\" checkboxid=\"BUTTON_IGNORE_DELAY\">" +
         Rect(400, 70, 80, 18) +
         "</TEXTITEM><TEXTITEM name=\"TEXT_INSERTDEFAULT_DELAY\" textkey=\"$InsertDefaultDelay\" "
         "checkboxid=\"BUTTON_INSERTDEFAULT_DELAY\">" +
         Rect(500, 70, 80, 18) + "</TEXTITEM></TEXTLIST><MACRODISPLAYLIST>" +
         MacroDisplay("MACRO_DISPLAY", false) + MacroDisplay("MACRO_DISPLAY_READONLY", true) +
         "</MACRODISPLAYLIST><LISTLIST>" + Combo("LIST_GLOBALMACROLIST", 4) +
         Combo("LIST_GLOBAL_BASIC_COMMANDS", 140) + Combo("LIST_GLOBAL_ADDITIONAL_COMMANDS", 280) +
         "</LISTLIST><LISTPANELLIST>"
         "<LISTPANEL name=\"LISTPANEL_MACROOPTIONS\">" + Rect(0, 0, 100, 60) +
         "<LISTPANELITEMS><LISTPANELITEM>$Edit</LISTPANELITEM><LISTPANELITEM>$InsertDelay</LISTPANELITEM>"
         "<LISTPANELITEM>$Delete</LISTPANELITEM></LISTPANELITEMS></LISTPANEL>"
         "<LISTPANEL name=\"LISTPANEL_MACROOPTIONS2\">" + Rect(0, 0, 100, 40) +
         "<LISTPANELITEMS><LISTPANELITEM>$InsertDelay</LISTPANELITEM><LISTPANELITEM>$Delete</LISTPANELITEM>"
         "</LISTPANELITEMS></LISTPANEL></LISTPANELLIST><EDITCTRLLIST>"
         "<EDITCTRL name=\"EDITCTRL_DELAY\" max=\"5\">" + Rect(420, 300, 60, 20) +
         "</EDITCTRL><EDITCTRL name=\"EDITCTRL_DEFAULT_DELAY\" max=\"5\">" + Rect(500, 300, 60, 20) +
         "</EDITCTRL></EDITCTRLLIST></ITEMLIST>";
}

std::string MainPageXml() {
  return "<GUIPANEL><BACKGROUND>Back.bmp</BACKGROUND><MASK>Mask.bmp</MASK><BUTTONLIST>" +
         Buttons({"BUTTON_ASSIGNKEYS", "BUTTON_MANAGEPROFILES", "BUTTON_MANAGEMACROS", "BUTTON_OK", "BUTTON_CANCEL",
                  "BUTTON_APPLY", "BUTTON_HELP", "BUTTON_EXIT", "BUTTON_UPDATE"},
                 4) +
         "</BUTTONLIST></GUIPANEL>";
}

class MacrosPage : public MainWindowFixture {
 protected:
  void SetUp() override {
    StartupTest::SetUp();
    StageMainPage(640, 360, MainPageXml());
    folder_.WriteImage(L"S.bmp", 12, 12, RGB(90, 90, 90));
    folder_.WriteXml(L"ManageMacros.xml", MacrosPageXml());
    // The stop button's two captions, told apart.
    folder_.WriteLanguageFile(L"English.txt",
                              L"English\nx\nStop\nHalt\nStopRecordingMacroEvents\nEnd the recording\nEND OF FILE\n");
    ::SetCursorPos(1200, 1000);
  }

  // The window on its macros page, with two keys on its layout page.
  void Open() {
    ASSERT_NO_FATAL_FAILURE(StartAndCreateWindow());
    config_ = app_->m_config;
    window_->ShowWindow(SW_SHOWNA);
    AddKey(kKeyAElement, kCodeA, 10);
    AddKey(kKeyBElement, kCodeB, 60);
    ASSERT_NE(Display(), nullptr);
    ASSERT_NE(Player(), nullptr);
    ASSERT_NE(Dropdown(), nullptr);
    Display()->SetTickSource([this] { return now_; });
    Press(ids::BUTTON_MANAGEMACROS);
  }
  void AddKey(int32_t elementId, uint32_t code, int left) {
    AddLayoutKey(*window_, elementId, code, RECT{left, 330, left + 30, 350});
  }

  CGUIItem* Item(int32_t id) {
    switch (id) {
      case ids::BUTTON_ASSIGNKEYS: return window_->m_tabAssignKeys;
      case ids::BUTTON_MANAGEPROFILES: return window_->m_tabProfiles;
      case ids::BUTTON_MANAGEMACROS: return window_->m_tabMacros;
      case ids::BUTTON_OK: return window_->m_buttonOk;
      case ids::BUTTON_CANCEL: return window_->m_buttonCancel;
      case ids::BUTTON_APPLY: return window_->m_buttonApply;
      case ids::BUTTON_HELP: return window_->m_buttonHelp;
      case ids::BUTTON_EXIT: return window_->m_buttonExit;
      case ids::BUTTON_UPDATE: return window_->m_buttonUpdate;
      default: return FindItemById(window_->m_macroItems, id);
    }
  }
  CMacroDisplayItem* Display() { return static_cast<CMacroDisplayItem*>(Item(ids::MACRO_DISPLAY)); }
  CMacroDisplayItem* Player() { return static_cast<CMacroDisplayItem*>(Item(ids::MACRO_DISPLAY_READONLY)); }
  CDropdownListItem* Dropdown() { return static_cast<CDropdownListItem*>(Item(ids::LIST_GLOBALMACROLIST)); }
  void Press(int32_t id) {
    CGUIItem* item = Item(id);
    ASSERT_NE(item, nullptr) << id;
    window_->SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(item->hwnd));
  }
  // A click on a check box: its state flips, then the window hears of it.
  void Tick(int32_t id, bool on) {
    if (configurator::IsItemChecked(Item(id)) == on) return;
    configurator::SetItemCheck(Item(id), on);
    Press(id);
  }
  void SetText(int32_t id, const std::wstring& text) { ::SetWindowTextW(Item(id)->hwnd, text.c_str()); }
  std::wstring Text(int32_t id) { return configurator::ItemText(Item(id)); }
  // The user chose the entry of the macro drop-down.
  void Choose(const std::wstring& name) {
    CDropdownListItem* dropdown = Dropdown();
    for (int i = 0; i < static_cast<int>(dropdown->m_entries.size()); ++i)
      if (dropdown->GetLBText(i) == name) {
        dropdown->SetCurSel(i, nullptr);
        window_->SendMessage(DropdownSelChangedMessage, static_cast<WPARAM>(i),
                             reinterpret_cast<LPARAM>(dropdown->m_hWnd));
        return;
      }
    ADD_FAILURE() << "no entry for the macro";
  }
  // The page open with a new macro "Greeting" chosen and Record pressed.
  void RecordOnANewMacro() {
    Open();
    NewMacro(L"Greeting", {});
    Choose(L"Greeting");
    Press(ids::BUTTON_MACRO_RECORD_START);
  }
  CMacro* NewMacro(const std::wstring& name, const MacroEventList& events) {
    CMacro* macro = config_->CreateMacro(name);
    macro->events = events;
    window_->FillMacroDropdown();
    return macro;
  }
  void Select(int row) {
    Display()->ClearSelection();
    if (row >= 0) Display()->SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  }
  int SelectedRow() { return Display()->GetNextItem(-1, LVNI_SELECTED); }
  // A raw-input record of key A or B reaching the event list.
  void RawKey(uint32_t code, bool down) {
    Display()->SendMessage(WM_INPUT, RIM_INPUT, raw_.AddKey(static_cast<USHORT>(code), down ? 0 : RI_KEY_BREAK,
                                                            code == kCodeA ? 'A' : 'B'));
  }
  KeyAssignment RecordOf(uint32_t code, IKeyboardProfile* profile) {
    KeyAssignment record;
    config_->GetKeyAssignment(record, KeyOf(code), profile);
    return record;
  }
  KeyAssignment DefaultOf(uint32_t code) {
    const KeyCode def = GlobalKeyboardDef().GetKeyDefault(KeyOf(code));
    KeyAssignment record;
    record.payload.key.scanCode = def.code;
    record.payload.key.flags = def.flag != 0 ? 1 : 0;
    return record;
  }
  size_t Shown(const std::wstring& skinFile) {
    size_t n = 0;
    for (const auto& shown : popups_.shown) n += shown.skinFile == skinFile ? 1 : 0;
    return n;
  }
  bool Enabled(int32_t id) { return configurator::IsItemEnabled(Item(id)); }
  static bool Visible(HWND hwnd) { return (::GetWindowLongW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0; }
  int RemapCalls() { return static_cast<int>(Calls(L"IDeviceMode::SetMode").size()); }

  ScriptedPopups popups_;
  FakeFileDialogs files_;
  device::testing::FakeRawInput raw_;
  IKeyboardConfig* config_ = nullptr;
  DWORD now_ = 5000;
};

// The 31 controls a recording locks.
constexpr int32_t kLockedControls[] = {
    ids::BUTTON_ASSIGNKEYS, ids::BUTTON_MANAGEPROFILES, ids::BUTTON_MANAGEMACROS, ids::BUTTON_OK,
    ids::BUTTON_CANCEL, ids::BUTTON_APPLY, ids::BUTTON_HELP, ids::BUTTON_EXIT, ids::BUTTON_UPDATE,
    ids::BUTTON_ADD_BASIC_MACRO_CMDS, ids::BUTTON_ADD_ADV_MACRO_CMDS, ids::LIST_GLOBAL_BASIC_COMMANDS,
    ids::LIST_GLOBAL_ADDITIONAL_COMMANDS, ids::BUTTON_INSERT_DELAY, ids::BUTTON_MACRO_CREATE,
    ids::BUTTON_MACRO_IMPORT, ids::BUTTON_MACRO_EXPORT, ids::BUTTON_MACRO_SAVE, ids::BUTTON_MACRO_DELETE,
    ids::BUTTON_MACRO_RENAME, ids::BUTTON_IGNORE_DELAY, ids::TEXT_IGNORE_DELAY, ids::BUTTON_INSERTDEFAULT_DELAY,
    ids::TEXT_INSERTDEFAULT_DELAY, ids::EDITCTRL_DELAY, ids::EDITCTRL_DEFAULT_DELAY, ids::BUTTON_MACRO_RECORD_START,
    ids::BUTTON_MACRO_RECORD_STOP, ids::BUTTON_MACRO_RECORD_PLAY, ids::BUTTON_MACRO_RECORD_BACKWARD,
    ids::BUTTON_MACRO_RECORD_FORWARD};

TEST_F(MacrosPage, EachStateEnablesItsControls) {
  Open();
  NewMacro(L"Greeting", {kADown, Delay(100), kAUp});
  const std::vector<int32_t> idleOff = {ids::BUTTON_MACRO_RECORD_STOP, ids::EDITCTRL_DEFAULT_DELAY};
  std::vector<int32_t> allButStop;
  for (int32_t id : kLockedControls)
    if (id != ids::BUTTON_MACRO_RECORD_STOP) allButStop.push_back(id);
  const struct {
    const char* what;
    std::function<void()> reach;
    int state;
    std::vector<int32_t> disabled;  // of the 31; Apply is checked apart
    const wchar_t* stopCaption;
    bool editableShown, playerShown, dropdownLocked;
  } cases[] = {
      {"no macro chosen", [] {}, 0,
       {ids::BUTTON_MACRO_RECORD_STOP, ids::BUTTON_MACRO_RECORD_PLAY, ids::BUTTON_MACRO_RECORD_BACKWARD,
        ids::BUTTON_MACRO_RECORD_FORWARD, ids::BUTTON_INSERT_DELAY, ids::EDITCTRL_DELAY, ids::EDITCTRL_DEFAULT_DELAY,
        ids::BUTTON_ADD_BASIC_MACRO_CMDS, ids::BUTTON_ADD_ADV_MACRO_CMDS, ids::LIST_GLOBAL_BASIC_COMMANDS,
        ids::LIST_GLOBAL_ADDITIONAL_COMMANDS, ids::BUTTON_IGNORE_DELAY, ids::TEXT_IGNORE_DELAY,
        ids::BUTTON_INSERTDEFAULT_DELAY, ids::TEXT_INSERTDEFAULT_DELAY},
       L"$StopRecordingMacroEvents", true, false, false},
      {"idle", [this] { Choose(L"Greeting"); }, 1, idleOff, L"$StopRecordingMacroEvents", true, false, false},
      {"idle with the default delay ticked", [this] { Tick(ids::BUTTON_INSERTDEFAULT_DELAY, true); }, 1,
       {ids::BUTTON_MACRO_RECORD_STOP}, L"$StopRecordingMacroEvents", true, false, false},
      {"playing", [this] { Press(ids::BUTTON_MACRO_RECORD_PLAY); }, 2, allButStop, L"$Stop", false, true, true},
      {"recording",
       [this] {
         Press(ids::BUTTON_MACRO_RECORD_STOP);
         Press(ids::BUTTON_MACRO_RECORD_START);
       },
       3, allButStop, L"$StopRecordingMacroEvents", true, false, true},
  };
  for (const auto& c : cases) {
    c.reach();
    ASSERT_EQ(window_->m_macroState, c.state) << c.what;
    for (int32_t id : kLockedControls) {
      if (id == ids::BUTTON_APPLY) continue;
      const bool off = std::find(c.disabled.begin(), c.disabled.end(), id) != c.disabled.end();
      EXPECT_EQ(Enabled(id), !off) << c.what << ": control " << id;
    }
    EXPECT_EQ(Text(ids::BUTTON_MACRO_RECORD_STOP), Translate(c.stopCaption)) << c.what;
    EXPECT_EQ(Visible(Display()->m_hWnd), c.editableShown) << c.what;
    EXPECT_EQ(Visible(Player()->m_hWnd), c.playerShown) << c.what;
    EXPECT_EQ(Dropdown()->m_disabled != 0, c.dropdownLocked) << c.what;
    EXPECT_EQ(::IsWindowEnabled(Player()->m_hWnd) != 0, c.playerShown) << c.what;
    if (Display()->ScrollBar() != nullptr) {
      EXPECT_EQ(Visible(Display()->ScrollBar()->m_hWnd), c.editableShown && c.state != 3) << c.what;
    }
    // Apply follows the modified flag, except while a macro plays or records: a
    // write then would make the device refuse the resume of remapping at the stop.
    for (bool modified : {false, true}) {
      window_->m_modified = modified;
      window_->SetMacroPageState(window_->m_macroState);
      EXPECT_EQ(Enabled(ids::BUTTON_APPLY), modified && c.state < 2) << c.what;
      window_->SetModified(modified);
      EXPECT_EQ(Enabled(ids::BUTTON_APPLY), modified && c.state < 2) << c.what << ", through SetModified";
    }
  }
  Press(ids::BUTTON_MACRO_RECORD_STOP);
  EXPECT_EQ(window_->m_macroState, 1);
}

// The captions the stop button was drawn with, in order (its owner draws it
// through WM_DRAWITEM, so a hook on the thread sees every paint).
class DrawnCaptions {
 public:
  explicit DrawnCaptions(CBitmapBtn* button) : button_(button) {
    current_ = this;
    hook_ = ::SetWindowsHookExW(WH_CALLWNDPROC, &DrawnCaptions::Hook, nullptr, ::GetCurrentThreadId());
  }
  ~DrawnCaptions() {
    ::UnhookWindowsHookEx(hook_);
    current_ = nullptr;
  }
  // What the screen shows once every pending paint is done.
  std::wstring Shown() {
    ::UpdateWindow(button_->m_hWnd);
    return drawn_.empty() ? L"<never drawn>" : drawn_.back();
  }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && current_ != nullptr && sent->message == WM_DRAWITEM) {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(sent->lParam);
      if (item != nullptr && item->hwndItem == current_->button_->m_hWnd)
        current_->drawn_.push_back(current_->button_->m_caption);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
  }
  static inline DrawnCaptions* current_ = nullptr;
  CBitmapBtn* button_;
  HHOOK hook_ = nullptr;
  std::vector<std::wstring> drawn_;
};

TEST_F(MacrosPage, TheStopButtonIsDrawnWithTheCaptionOfEachState) {
  Open();
  NewMacro(L"Greeting", {kADown, Delay(100), kAUp});
  Choose(L"Greeting");
  auto* stop = static_cast<CBitmapBtn*>(Item(ids::BUTTON_MACRO_RECORD_STOP));
  ASSERT_TRUE(::IsWindowVisible(stop->m_hWnd));
  DrawnCaptions drawn(stop);
  const struct {
    const char* what;
    int32_t press;
    const wchar_t* caption;
  } steps[] = {
      {"playing", ids::BUTTON_MACRO_RECORD_PLAY, L"Halt"},
      {"after playback", ids::BUTTON_MACRO_RECORD_STOP, L"End the recording"},
      {"recording", ids::BUTTON_MACRO_RECORD_START, L"End the recording"},
      {"after recording", ids::BUTTON_MACRO_RECORD_STOP, L"End the recording"},
  };
  for (const auto& step : steps) {
    Press(step.press);
    EXPECT_EQ(drawn.Shown(), step.caption) << step.what;
  }
}

TEST_F(MacrosPage, CreateChoosesTheNewMacroAndRefusesATakenNameInAnyCase) {
  Open();
  NewMacro(L"Greeting", {kADown});
  const struct {
    const char* what;
    std::wstring typed;
    INT_PTR answer;
    bool created;
    std::wstring warned;  // the name the duplicate warning shows, or empty
  } cases[] = {
      {"a new name", L"Hello", 1, true, L""},
      {"a taken name", L"Greeting", 1, false, L"Greeting"},
      {"a taken name in other letters", L"GREETING", 1, false, L"Greeting"},
      {"an empty name", L"", 1, false, L""},
      {"cancelled", L"Later", 2, false, L""},
  };
  for (const auto& c : cases) {
    popups_.shown.clear();
    window_->SetModified(false);
    Choose(L"Greeting");
    const int before = config_->GetMacroCount();
    popups_.dropdownChoice = c.typed;
    popups_.answer = c.answer;
    Press(ids::BUTTON_MACRO_CREATE);
    ASSERT_GE(popups_.shown.size(), 1u) << c.what;
    EXPECT_EQ(popups_.shown[0].skinFile, L"MacroNamePopup.xml") << c.what;
    EXPECT_EQ(config_->GetMacroCount(), before + (c.created ? 1 : 0)) << c.what;
    EXPECT_EQ(window_->m_modified, c.created) << c.what;
    if (c.created) {
      EXPECT_EQ(Dropdown()->m_shownText, c.typed) << c.what;
      EXPECT_EQ(window_->m_macroState, 1) << c.what;
      EXPECT_TRUE(Display()->Events().empty()) << c.what;
    } else {
      EXPECT_EQ(Dropdown()->m_shownText, L"Greeting") << c.what;
    }
    ASSERT_EQ(Shown(L"DuplicateMacroWarningPopup.xml"), c.warned.empty() ? 0u : 1u) << c.what;
    if (!c.warned.empty()) {
      EXPECT_EQ(popups_.shown.back().extra, L": " + c.warned) << c.what << ": the name follows the heading after \": \"";
    }
  }
}

TEST_F(MacrosPage, RenameKeepsKeysThatPlayTheMacroByName) {
  AddDeviceProfile(L"Second");
  AddDeviceMacro(L"Greeting", {{2, 0x1E}});
  Open();
  CMacro* greeting = config_->FindMacroByName(L"Greeting");
  ASSERT_NE(greeting, nullptr);
  NewMacro(L"Fresh", {kADown, kAUp});
  NewMacro(L"Other", {kBDown});
  IKeyboardProfile* first = config_->GetProfile(0);
  IKeyboardProfile* second = config_->GetProfile(1);
  KeyAssignment byId;
  MakeMacroAssignment(byId, greeting->id, MACROPLAY_ONCE);
  config_->SetKeyAssignment(KeyOf(kCodeA), NamedAssignment(KEYKIND_MACRO_BYNAME, L"fresh"), first);
  config_->SetKeyAssignment(KeyOf(kCodeB), byId, first);
  config_->SetKeyAssignment(KeyOf(kCodeA), NamedAssignment(KEYKIND_MACRO_BYNAME, L"FRESH"), second);
  config_->SetKeyAssignment(KeyOf(kCodeB), NamedAssignment(KEYKIND_MACRO_BYNAME, L"Other"), second);

  Choose(L"Fresh");
  popups_.dropdownChoice = L"Hello";
  Press(ids::BUTTON_MACRO_RENAME);
  EXPECT_EQ(popups_.shown.back().skinFile, L"MacroRenamePopup.xml");
  EXPECT_EQ(popups_.shown.back().heading, L"") << "the rename popup starts empty";
  ASSERT_EQ(config_->FindMacroByName(L"Hello"), config_->GetMacro(1));
  for (IKeyboardProfile* profile : {first, second}) {
    const KeyAssignment record = RecordOf(kCodeA, profile);
    EXPECT_EQ(record.kind, KEYKIND_MACRO_BYNAME);
    EXPECT_EQ(GetAssignmentText(record), L"Hello");
  }
  EXPECT_EQ(GetAssignmentText(RecordOf(kCodeB, second)), L"Other") << "another macro's keys stay";
  EXPECT_TRUE(IsEqualGUID(RecordOf(kCodeB, first).payload.id, greeting->id));
  EXPECT_EQ(Dropdown()->m_shownText, L"Hello");
  EXPECT_EQ(window_->m_macroState, 1);
  EXPECT_TRUE(window_->m_modified);

  // Written, the keys play the renamed macro in both profiles.
  window_->Apply();
  ASSERT_TRUE(devtest::PumpUntil([this] { return !app_->m_device->IsWriting(); }));
  const SimMacro* written = nullptr;
  for (const SimMacro& macro : State().macros)
    if (macro.name == L"Hello") written = &macro;
  ASSERT_NE(written, nullptr);
  for (const SimProfile& profile : State().profiles) {
    const DeviceKeyAssignment* record = devtest::DeviceTest::KeyRecord(profile, kCodeA);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->type, 8) << "a macro record";
    EXPECT_TRUE(IsEqualGUID(RecordGuid(*record, 12), written->id));
  }
}

TEST_F(MacrosPage, RenameGoesThroughTheListAndRefusesTakenNames) {
  Open();
  NewMacro(L"Greeting", {kADown});
  NewMacro(L"Other", {kBDown});
  const struct {
    const char* what;
    std::wstring typed;
    std::wstring nameAfter;
    std::wstring warned;
  } cases[] = {
      {"its own name", L"Greeting", L"Greeting", L""},
      {"its own name in other letters", L"GREETING", L"GREETING", L""},
      {"another macro's name", L"Other", L"GREETING", L"Other"},
      {"another macro's name in other letters", L"oTHER", L"GREETING", L"Other"},
      {"empty", L"", L"GREETING", L""},
  };
  for (const auto& c : cases) {
    popups_.shown.clear();
    Choose(config_->GetMacro(0)->GetName());
    popups_.dropdownChoice = c.typed;
    Press(ids::BUTTON_MACRO_RENAME);
    EXPECT_EQ(config_->GetMacro(0)->GetName(), c.nameAfter) << c.what;
    EXPECT_EQ(config_->GetMacro(1)->GetName(), L"Other") << c.what;
    ASSERT_EQ(Shown(L"DuplicateMacroWarningPopup.xml"), c.warned.empty() ? 0u : 1u) << c.what;
    if (!c.warned.empty()) {
      EXPECT_EQ(popups_.shown.back().extra, L": " + c.warned) << c.what << ": the name follows the heading after \": \"";
    }
  }
}

TEST_F(MacrosPage, DeleteResetsTheKeysThatPlayTheMacroInEveryProfile) {
  AddDeviceProfile(L"Second");
  AddDeviceMacro(L"Greeting", {{2, 0x1E}});
  Open();
  CMacro* greeting = config_->FindMacroByName(L"Greeting");
  NewMacro(L"Fresh", {kBDown, kBUp});
  IKeyboardProfile* first = config_->GetProfile(0);
  IKeyboardProfile* second = config_->GetProfile(1);
  KeyAssignment byId;
  MakeMacroAssignment(byId, greeting->id, MACROPLAY_ONCE);
  config_->SetKeyAssignment(KeyOf(kCodeA), byId, first);
  config_->SetKeyAssignment(KeyOf(kCodeB), NamedAssignment(KEYKIND_MACRO_BYNAME, L"greeting"), first);
  config_->SetKeyAssignment(KeyOf(kCodeA), NamedAssignment(KEYKIND_MACRO_BYNAME, L"GREETING"), second);
  config_->SetKeyAssignment(KeyOf(kCodeB), NamedAssignment(KEYKIND_MACRO_BYNAME, L"Fresh"), second);
  window_->RefreshAssignedMarks();

  Choose(L"Greeting");
  popups_.answer = 2;
  Press(ids::BUTTON_MACRO_DELETE);
  EXPECT_EQ(config_->GetMacroCount(), 2) << "not confirmed";
  EXPECT_EQ(popups_.shown.back().skinFile, L"ConfirmDeleteMacroPopup.xml");
  EXPECT_EQ(popups_.shown.back().extra, L": Greeting");

  popups_.answer = 1;
  Press(ids::BUTTON_MACRO_DELETE);
  ASSERT_EQ(config_->GetMacroCount(), 1);
  const struct {
    uint32_t code;
    IKeyboardProfile* profile;
  } reset[] = {{kCodeA, first}, {kCodeB, first}, {kCodeA, second}};
  for (const auto& r : reset) {
    const KeyAssignment record = RecordOf(r.code, r.profile);
    EXPECT_EQ(record.kind, KEYKIND_DEFAULT);
    EXPECT_EQ(record.payload.key.scanCode, DefaultOf(r.code).payload.key.scanCode);
  }
  EXPECT_EQ(GetAssignmentText(RecordOf(kCodeB, second)), L"Fresh");
  EXPECT_EQ(window_->KeyItem(kKeyAElement)->GetCheck(), 0) << "the mark goes with it";
  EXPECT_EQ(Dropdown()->m_shownText, L"Fresh") << "the first macro is chosen";
  EXPECT_EQ(Display()->Events(), (MacroEventList{kBDown, kBUp}));
  EXPECT_EQ(window_->m_macroState, 1);
  EXPECT_TRUE(window_->m_modified);

  Press(ids::BUTTON_MACRO_DELETE);
  EXPECT_EQ(config_->GetMacroCount(), 0);
  EXPECT_EQ(RecordOf(kCodeB, second).kind, KEYKIND_DEFAULT);
  EXPECT_TRUE(Dropdown()->m_entries.empty());
  EXPECT_EQ(Dropdown()->m_shownText, L"");
  EXPECT_TRUE(Display()->Events().empty());
  EXPECT_EQ(window_->m_macroState, 0);
}

TEST_F(MacrosPage, RecordingTakesRawInputWithItsDelays) {
  Open();
  struct Case {
    const char* what;
    bool ignoreDelays, fixedDelay;
    std::wstring defaultDelay;
    MacroEventList recorded;
    bool warned;
  };
  const Case cases[] = {
      {"measured pauses", false, false, L"50", {kADown, Delay(300), kAUp, Delay(1000), kBDown, Delay(40), kBUp}, false},
      {"delays ignored", true, false, L"50", {kADown, kAUp, kBDown, kBUp}, false},
      {"a fixed delay", false, true, L"120", {kADown, Delay(120), kAUp, Delay(120), kBDown, Delay(120), kBUp}, false},
      {"a fixed delay of 0 is refused, and the recording starts",
       false, true, L"0", {kADown, Delay(50), kAUp, Delay(50), kBDown, Delay(50), kBUp}, true},
      {"a long number is held to the cap", false, true, L"123456789012345678901",
       {kADown, Delay(0xFFFFFF), kAUp, Delay(0xFFFFFF), kBDown, Delay(0xFFFFFF), kBUp}, false},
  };
  int n = 0;
  for (const Case& c : cases) {
    popups_.shown.clear();
    CMacro* macro = NewMacro(L"Take " + std::to_wstring(++n), {});
    Choose(macro->GetName());
    window_->SetModified(false);
    Tick(ids::BUTTON_IGNORE_DELAY, false);
    Tick(ids::BUTTON_INSERTDEFAULT_DELAY, false);
    SetText(ids::EDITCTRL_DEFAULT_DELAY, c.defaultDelay);
    Tick(ids::BUTTON_IGNORE_DELAY, c.ignoreDelays);
    Tick(ids::BUTTON_INSERTDEFAULT_DELAY, c.fixedDelay);
    const int calls = RemapCalls();

    Press(ids::BUTTON_MACRO_RECORD_START);
    ASSERT_EQ(window_->m_macroState, 3) << c.what;
    EXPECT_EQ(Core().Mode(), 2) << c.what << ": remapping suspended while recording";
    auto* start = static_cast<CBitmapBtn*>(Item(ids::BUTTON_MACRO_RECORD_START));
    EXPECT_NE(start->m_blinkBitmap, nullptr) << c.what;
    EXPECT_EQ(start->m_blinkInterval, 500) << c.what;
    EXPECT_EQ(Display()->m_excludedWindow, Item(ids::BUTTON_MACRO_RECORD_STOP)->hwnd);
    EXPECT_EQ(Shown(L"DefaultDelayWarningPopup.xml"), c.warned ? 1u : 0u) << c.what;
    if (c.warned) {
      EXPECT_EQ(Text(ids::EDITCTRL_DEFAULT_DELAY), L"50") << c.what;
    }
    RawKey(kCodeA, true);
    now_ += 300;
    RawKey(kCodeA, false);
    now_ += 1000;
    RawKey(kCodeB, true);
    RawKey(kCodeB, true);  // a repeat of the held key
    now_ += 40;
    RawKey(kCodeB, false);
    Press(ids::BUTTON_MACRO_RECORD_STOP);

    EXPECT_EQ(window_->m_macroState, 1) << c.what;
    EXPECT_EQ(macro->events, c.recorded) << c.what;
    EXPECT_TRUE(window_->m_modified) << c.what;
    EXPECT_EQ(start->m_blinkBitmap, nullptr) << c.what;
    EXPECT_EQ(start->m_blinkInterval, 0) << c.what;
    EXPECT_EQ(Core().Mode(), 1) << c.what;
    EXPECT_EQ(RemapCalls(), calls + 2) << c.what << ": suspended and resumed once each";
  }
}

TEST_F(MacrosPage, RecordingThatCannotStartLeavesNothingSuspended) {
  Open();
  const int calls = RemapCalls();
  // No macro chosen: the new-macro popup instead.
  popups_.answer = 2;
  Press(ids::BUTTON_MACRO_RECORD_START);
  ASSERT_EQ(popups_.shown.size(), 1u);
  EXPECT_EQ(popups_.shown[0].skinFile, L"MacroNamePopup.xml");
  EXPECT_EQ(RemapCalls(), calls);

  NewMacro(L"Greeting", {});
  Choose(L"Greeting");
  raw_.registerResult = FALSE;
  Press(ids::BUTTON_MACRO_RECORD_START);
  EXPECT_EQ(window_->m_macroState, 1);
  EXPECT_EQ(Core().Mode(), 1) << "resumed at once";
  EXPECT_EQ(RemapCalls(), calls + 2);
  EXPECT_EQ(static_cast<CBitmapBtn*>(Item(ids::BUTTON_MACRO_RECORD_START))->m_blinkBitmap, nullptr);
  Press(ids::BUTTON_MACRO_RECORD_STOP);
  EXPECT_EQ(RemapCalls(), calls + 2) << "a stop without a recording resumes nothing";
}

// Apply during a recording starts no write; a resume the device refuses at the
// stop leaves remapping marked suspended, and the end of the next write resumes it.
TEST_F(MacrosPage, ARefusedResumeAtTheStopIsTriedAgainWhenTheWriteEnds) {
  RecordOnANewMacro();
  ASSERT_EQ(window_->m_macroState, 3);
  window_->SetModified(true);
  Press(ids::BUTTON_APPLY);
  EXPECT_FALSE(app_->m_device->IsWriting()) << "no write during the recording";
  Core().SetFaultOnCall(L"IDeviceMode::SetMode", E_FAIL, 1);
  Press(ids::BUTTON_MACRO_RECORD_STOP);
  ASSERT_EQ(window_->m_macroState, 1);
  ASSERT_EQ(Core().Mode(), 2) << "the resume was refused";
  Press(ids::BUTTON_APPLY);
  ASSERT_TRUE(app_->m_device->IsWriting());
  ASSERT_TRUE(devtest::PumpUntil([&] { return !app_->m_device->IsWriting(); }));
  window_->SendMessage(WM_TIMER, CMorvelAppDlg::kWriteWatchTimer);
  EXPECT_EQ(Core().Mode(), 1);
}

TEST_F(MacrosPage, TheNoKeyboardCloseEndsARecordingFirst) {
  RecordOnANewMacro();
  ASSERT_EQ(window_->m_macroState, 3);
  std::vector<uint8_t> removal(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) + 200, 0);
  auto* broadcast = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(removal.data());
  const std::wstring name = L"\\\\?\\HID#VID_2F7A&PID_0C41#{378de44c}";
  broadcast->dbcc_size = static_cast<DWORD>(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) +
                                            (name.size() + 1) * sizeof(wchar_t));
  broadcast->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  std::memcpy(broadcast->dbcc_name, name.c_str(), name.size() * sizeof(wchar_t));
  window_->SendMessage(WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(removal.data()));
  window_->SendMessage(WM_TIMER, CMorvelAppDlg::kNoDeviceTimer);
  EXPECT_EQ(Shown(L"NoKestranePopup.xml"), 1u);
  EXPECT_FALSE(Display()->IsRecording());
  EXPECT_EQ(Core().Mode(), 1);
  devtest::PumpUntil([] { return true; }, 0);
  EXPECT_FALSE(::IsWindowVisible(window_->m_hWnd)) << "the window closes";
}

TEST_F(MacrosPage, PlaybackShowsTheEventsOnTimer32AndReturnsToIdle) {
  Open();
  NewMacro(L"Greeting", {kADown, Delay(100), kAUp, Delay(200), kBDown});
  Choose(L"Greeting");
  Press(ids::BUTTON_MACRO_RECORD_PLAY);
  ASSERT_EQ(window_->m_macroState, 2);
  EXPECT_EQ(Player()->Events(), (MacroEventList{kADown}));
  Player()->SendMessage(WM_TIMER, CMacroDisplayItem::kPlaybackTimer);
  EXPECT_EQ(Player()->Events(), (MacroEventList{kADown, kAUp}));
  Player()->SendMessage(WM_TIMER, CMacroDisplayItem::kPlaybackTimer);
  EXPECT_EQ(window_->m_macroState, 1) << "the end of the preview";
  EXPECT_TRUE(Player()->Events().empty());
  EXPECT_FALSE(Visible(Player()->m_hWnd));

  // Stopped half-way: idle again, and a late tick shows nothing more.
  Press(ids::BUTTON_MACRO_RECORD_PLAY);
  ASSERT_EQ(window_->m_macroState, 2);
  Press(ids::BUTTON_MACRO_RECORD_STOP);
  EXPECT_EQ(window_->m_macroState, 1);
  EXPECT_FALSE(Player()->IsPlaying());
  Player()->SendMessage(WM_TIMER, CMacroDisplayItem::kPlaybackTimer);
  EXPECT_TRUE(Player()->Events().empty());
  EXPECT_EQ(window_->m_macroState, 1);

  // A macro without events ends its preview at once.
  NewMacro(L"Empty", {});
  Choose(L"Empty");
  Press(ids::BUTTON_MACRO_RECORD_PLAY);
  EXPECT_EQ(window_->m_macroState, 1);
}

TEST_F(MacrosPage, BackwardAndForwardSelectTheFirstAndTheLastEvent) {
  Open();
  NewMacro(L"Greeting", {kADown, kAUp, kBDown});
  NewMacro(L"Empty", {});
  const struct {
    const wchar_t* macro;
    int32_t button;
    int selected;
  } cases[] = {
      {L"Greeting", ids::BUTTON_MACRO_RECORD_BACKWARD, 0},
      {L"Greeting", ids::BUTTON_MACRO_RECORD_FORWARD, 2},
      {L"Empty", ids::BUTTON_MACRO_RECORD_FORWARD, -1},
      {L"Empty", ids::BUTTON_MACRO_RECORD_BACKWARD, -1},
  };
  for (const auto& c : cases) {
    Choose(c.macro);
    Select(1 < Display()->GetItemCount() ? 1 : -1);
    Press(c.button);
    EXPECT_EQ(SelectedRow(), c.selected) << c.button;
  }
}

TEST_F(MacrosPage, InsertDelayPutsTheTypedDelayAfterTheSelectedEvent) {
  Open();
  CMacro* macro = NewMacro(L"Greeting", {kADown, kAUp});
  const struct {
    const char* what;
    int selected;
    std::wstring typed;
    MacroEventList events;
    int selectedAfter;
  } cases[] = {
      {"after the first event", 0, L"250", {kADown, Delay(250), kAUp}, 1},
      {"after the last event", 1, L"7", {kADown, kAUp, Delay(7)}, 2},
      {"a long number is held to the cap", 0, L"99999999999999999999999", {kADown, Delay(0xFFFFFF), kAUp}, 1},
      {"0", 0, L"0", {kADown, kAUp}, 0},
      {"empty", 0, L"", {kADown, kAUp}, 0},
      {"no event selected", -1, L"250", {kADown, kAUp}, -1},
  };
  for (const auto& c : cases) {
    macro->events = {kADown, kAUp};
    Choose(L"Greeting");
    window_->SetModified(false);
    Select(c.selected);
    SetText(ids::EDITCTRL_DELAY, c.typed);
    Press(ids::BUTTON_INSERT_DELAY);
    EXPECT_EQ(macro->events, c.events) << c.what;
    EXPECT_EQ(Display()->Events(), c.events) << c.what;
    EXPECT_EQ(SelectedRow(), c.selectedAfter) << c.what;
    EXPECT_EQ(window_->m_modified, c.events.size() == 3) << c.what;
  }
}

TEST_F(MacrosPage, PredefinedCommandsGoAfterTheSelectedEventOrFirst) {
  Open();
  CMacro* macro = NewMacro(L"Greeting", {kADown, kAUp});
  const MacroEvent ctrlDown = Key(0x1D, 0xA2, 255), ctrlUp = Key(0x1D, 0xA2, 1);
  const MacroEvent altDown = Key(0x38, 0xA4, 255), altUp = Key(0x38, 0xA4, 1);
  const MacroEvent cDown = Key(0x2E, 'C', 255), cUp = Key(0x2E, 'C', 1);
  const MacroEvent tabDown = Key(0x0F, 0x09, 255), tabUp = Key(0x0F, 0x09, 1);
  const struct {
    const char* what;
    int32_t button;
    std::wstring command;
    int selected;
    MacroEventList events;
    int selectedAfter;
  } cases[] = {
      {"copy after the first event", ids::BUTTON_ADD_BASIC_MACRO_CMDS, L"$copy", 0,
       {kADown, ctrlDown, cDown, cUp, ctrlUp, kAUp}, 4},
      {"switch windows at the start", ids::BUTTON_ADD_ADV_MACRO_CMDS, L"$swapwindows", -1,
       {altDown, tabDown, tabUp, altUp, kADown, kAUp}, 3},
  };
  for (const auto& c : cases) {
    macro->events = {kADown, kAUp};
    Choose(L"Greeting");
    Select(c.selected);
    auto* commands = static_cast<CDropdownListItem*>(
        Item(c.button == ids::BUTTON_ADD_BASIC_MACRO_CMDS ? ids::LIST_GLOBAL_BASIC_COMMANDS
                                                          : ids::LIST_GLOBAL_ADDITIONAL_COMMANDS));
    int entry = -1;
    for (int i = 0; i < static_cast<int>(commands->m_entries.size()); ++i)
      if (commands->GetLBText(i) == c.command) entry = i;
    ASSERT_GE(entry, 0) << c.what;
    commands->SetCurSel(entry, nullptr);
    Press(c.button);
    EXPECT_EQ(macro->events, c.events) << c.what;
    EXPECT_EQ(SelectedRow(), c.selectedAfter) << c.what;
  }
  // A name that is no command changes nothing.
  window_->SetModified(false);
  window_->InsertPredefinedCommands(L"$nothing");
  EXPECT_EQ(macro->events.size(), 6u);
  EXPECT_FALSE(window_->m_modified);
}

TEST_F(MacrosPage, EditEventKeyChangesTheEventOnlyWhenConfirmed) {
  Open();
  CMacro* macro = NewMacro(L"Greeting", {});
  const MacroEvent leftCtrl = Key(0x1D, 0xA2, 255);
  const struct {
    const char* what;
    MacroEvent event;
    std::wstring text;
    int16_t scan, vk;
    uint8_t flags;
    bool popup;
    MacroEvent after;
  } cases[] = {
      {"another key", kADown, L"B", 0x30, 'B', 0, true, kBDown},
      {"a release keeps its state", kAUp, L"B", 0x30, 'B', 0, true, kBUp},
      {"the same key", kADown, L"A", 0x1E, 'A', 0, true, kADown},
      {"the right key of a pair", leftCtrl, L"Ctrl", 0x1D, static_cast<int16_t>(0xA3), 1, true,
       Key(0x1D, 0xA3, 255, 1)},
      {"cancelled, with a key in its fields", kADown, L"", 0x30, 'B', 0, true, kADown},
      {"a delay has no key", Delay(40), L"B", 0x30, 'B', 0, false, Delay(40)},
  };
  for (const auto& c : cases) {
    macro->events = {c.event};
    Choose(L"Greeting");
    Select(0);
    window_->SetModified(false);
    popups_.shown.clear();
    popups_.singleKey = {c.text, c.scan, c.vk, c.flags};
    window_->SendMessage(MacroEditKeyMessage, 0, ids::MACRO_DISPLAY);
    EXPECT_EQ(Shown(L"EditKeyPopup.xml"), c.popup ? 1u : 0u) << c.what;
    EXPECT_EQ(macro->events, MacroEventList{c.after}) << c.what;
    EXPECT_EQ(window_->m_modified, !(c.after == c.event)) << c.what;
  }
  EXPECT_EQ(Core().Mode(), 1) << "remapping resumed after each popup";
}

TEST_F(MacrosPage, EditingAKeyStartsWithItAndTakesTheOtherHalfOfItsPressAlong) {
  Open();
  CMacro* macro = NewMacro(L"Greeting", {});
  const MacroEvent kCDown = Key(0x2E, 'C', 255), kCUp = Key(0x2E, 'C', 1);
  const MacroEvent leftCtrlDown = Key(0x1D, VK_LCONTROL, 255), rightCtrlUp = Key(0x1D, VK_RCONTROL, 1, 1);
  const struct {
    const char* what;
    MacroEventList before;
    int row;  // the event edited; it becomes C
    MacroEventList after;
  } cases[] = {
      {"a press takes the first later release along", {kADown, kBDown, kAUp, kADown, kAUp}, 0,
       {kCDown, kBDown, kCUp, kADown, kAUp}},
      {"a release takes the last earlier press along", {kADown, kAUp, kADown, kBDown, kAUp}, 4,
       {kADown, kAUp, kCDown, kBDown, kCUp}},
      {"a press with no release changes alone", {kBUp, kADown, kBDown}, 1, {kBUp, kCDown, kBDown}},
      {"a release with no press changes alone", {kAUp, kADown}, 0, {kCUp, kADown}},
      {"the right Ctrl is another key than the left", {leftCtrlDown, rightCtrlUp}, 0, {kCDown, rightCtrlUp}},
  };
  popups_.singleKey = {L"C", 0x2E, 'C', 0};
  for (const auto& c : cases) {
    macro->events = c.before;
    Choose(L"Greeting");
    Select(c.row);
    window_->SendMessage(MacroEditKeyMessage, 0, ids::MACRO_DISPLAY);
    EXPECT_EQ(macro->events, c.after) << c.what;
    EXPECT_EQ(Display()->Events(), c.after) << c.what;
  }
  // The popup starts with the edited event's key: an extended key keeps its flag.
  macro->events = {Key(0x4D, VK_RIGHT, 255, 1)};
  Choose(L"Greeting");
  Select(0);
  window_->SendMessage(MacroEditKeyMessage, 0, ids::MACRO_DISPLAY);
  EXPECT_EQ(popups_.handedKey.scanCode, 0x4D);
  EXPECT_EQ(popups_.handedKey.virtualKey, VK_RIGHT);
  EXPECT_EQ(popups_.handedKey.flags & kKeyFlagExtended, kKeyFlagExtended);
  std::wstring name;
  GetKeyDisplayName(VK_RIGHT, name, 0x4D, true);
  EXPECT_EQ(popups_.handedKey.text, name);
}

TEST_F(MacrosPage, TheDelayOptionsAreNeverBothOnAndTheDelayEditsHoldTheirBounds) {
  Open();
  NewMacro(L"Greeting", {kADown});
  Choose(L"Greeting");
  Tick(ids::BUTTON_INSERTDEFAULT_DELAY, true);
  EXPECT_EQ(Display()->m_fixedDelay, 1);
  EXPECT_TRUE(Enabled(ids::EDITCTRL_DEFAULT_DELAY));
  Tick(ids::BUTTON_IGNORE_DELAY, true);
  EXPECT_EQ(Display()->m_ignoreDelays, 1);
  EXPECT_EQ(Display()->m_fixedDelay, 0);
  EXPECT_FALSE(configurator::IsItemChecked(Item(ids::BUTTON_INSERTDEFAULT_DELAY)));
  EXPECT_FALSE(Enabled(ids::EDITCTRL_DEFAULT_DELAY));
  Tick(ids::BUTTON_INSERTDEFAULT_DELAY, true);
  EXPECT_EQ(Display()->m_ignoreDelays, 0);
  EXPECT_FALSE(configurator::IsItemChecked(Item(ids::BUTTON_IGNORE_DELAY)));

  // Typed into the default-delay edit while its box is ticked.
  const struct {
    const char* what;
    std::wstring typed;
    int delay;
    bool warned;
  } cases[] = {
      {"a delay", L"300", 300, false},
      {"0", L"0", 50, true},
      {"empty", L"", 50, true},
      {"a long number", L"4294967297000", CMacroDisplayItem::kMaxDelayMs, false},
  };
  for (const auto& c : cases) {
    popups_.shown.clear();
    SetText(ids::EDITCTRL_DEFAULT_DELAY, c.typed);
    EXPECT_EQ(Display()->m_defaultDelay, c.delay) << c.what;
    EXPECT_EQ(Shown(L"DefaultDelayWarningPopup.xml"), c.warned ? 1u : 0u) << c.what;
    EXPECT_EQ(Text(ids::EDITCTRL_DEFAULT_DELAY), c.warned ? L"50" : c.typed) << c.what;
  }
  Tick(ids::BUTTON_INSERTDEFAULT_DELAY, false);
  popups_.shown.clear();
  SetText(ids::EDITCTRL_DEFAULT_DELAY, L"0");
  EXPECT_TRUE(popups_.shown.empty()) << "no check while the box is off";

  // The insert-delay edit gives the list its default delay when it loses the focus.
  auto killFocus = [this] {
    window_->SendMessage(WM_COMMAND, MAKEWPARAM(ids::EDITCTRL_DELAY, EN_KILLFOCUS),
                         reinterpret_cast<LPARAM>(Item(ids::EDITCTRL_DELAY)->hwnd));
  };
  SetText(ids::EDITCTRL_DELAY, L"75");
  killFocus();
  EXPECT_EQ(Display()->m_defaultDelay, 75);
  SetText(ids::EDITCTRL_DELAY, L"");
  killFocus();
  EXPECT_EQ(Display()->m_defaultDelay, 75);
  SetText(ids::EDITCTRL_DELAY, L"98765432109876543210");
  killFocus();
  EXPECT_EQ(Display()->m_defaultDelay, CMacroDisplayItem::kMaxDelayMs);
}

TEST_F(MacrosPage, ExportAndImportGoThroughTheDialogsOfTheSaveFolder) {
  AddDeviceMacro(L"Greeting", {{2, 0x1E}});
  Open();
  NewMacro(L"Fresh", {kADown});
  Choose(L"Fresh");
  Press(ids::BUTTON_MACRO_EXPORT);
  EXPECT_EQ(popups_.shown.back().skinFile, L"ExportMacroWarningPopup.xml") << "not on the keyboard yet";
  EXPECT_EQ(popups_.shown.back().extra, L": Fresh");
  EXPECT_TRUE(files_.requests.empty());

  Press(ids::BUTTON_MACRO_IMPORT);
  EXPECT_EQ(popups_.shown.back().skinFile, L"ImportMacroWarningPopup.xml") << "the counts differ";
  EXPECT_TRUE(files_.requests.empty());
  config_->DeleteMacro(config_->FindMacroByName(L"Fresh"));
  window_->FillMacroDropdown();

  Choose(L"Greeting");
  const std::wstring file = AppFolder + L"save\\greeting.qxm";
  files_.answer = file;
  Press(ids::BUTTON_MACRO_SAVE);
  ASSERT_EQ(files_.requests.size(), 1u);
  const platform::FileDialogRequest& request = files_.requests[0];
  EXPECT_FALSE(request.open);
  EXPECT_EQ(request.defaultExtension, L"qxm");
  EXPECT_EQ(request.fileName, L".qxm");
  EXPECT_EQ(request.filter, L"qxm Macro Files (*.qxm)|*.qxm||");
  EXPECT_EQ(request.initialFolder, AppFolder + L"save\\");
  EXPECT_EQ(request.flags, static_cast<DWORD>(OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY));
  EXPECT_EQ(Calls(L"IDeviceMacro::ExportToFile").size(), 1u);
  // The initial name left as it is: a real dialog hands it back as a whole path.
  files_.answer = AppFolder + L"save\\.qxm";
  Press(ids::BUTTON_MACRO_EXPORT);
  EXPECT_EQ(Calls(L"IDeviceMacro::ExportToFile").size(), 1u);

  // Back from the file once the macro is gone from both sides.
  State().macros.clear();
  config_->DeleteMacro(config_->FindMacroByName(L"Greeting"));
  window_->FillMacroDropdown();
  window_->SetModified(false);
  files_.answer = L"C:\\" + std::wstring(250, L'm') + L".qxm";  // 257 characters
  Press(ids::BUTTON_MACRO_IMPORT);
  EXPECT_EQ(popups_.shown.back().skinFile, L"PathLengthLimitReachedPopUp.xml");
  EXPECT_EQ(popups_.shown.back().heading, L"$Import");
  EXPECT_EQ(config_->GetMacroCount(), 0);
  files_.answer = AppFolder + L"save\\.qxm";
  Press(ids::BUTTON_MACRO_IMPORT);
  EXPECT_TRUE(Calls(L"IMacroManager::ImportMacro").empty()) << "the initial name chooses no file";
  files_.answer = file;
  Press(ids::BUTTON_MACRO_IMPORT);
  EXPECT_TRUE(files_.requests.back().open);
  EXPECT_EQ(files_.requests.back().initialFolder, AppFolder + L"save\\");
  ASSERT_NE(config_->FindMacroByName(L"Greeting"), nullptr);
  EXPECT_EQ(Dropdown()->m_entries.size(), 1u);
  EXPECT_TRUE(window_->m_modified);
  // With nothing chosen before, the imported macro is chosen and shown.
  EXPECT_EQ(Dropdown()->m_shownText, L"Greeting");
  EXPECT_EQ(Display()->Events().size(), config_->FindMacroByName(L"Greeting")->events.size());
  EXPECT_FALSE(Display()->Events().empty());
  EXPECT_EQ(window_->m_macroState, 1);
}

TEST_F(MacrosPage, ThePageShowsTheChosenMacroOrElseTheFirst) {
  AddDeviceMacro(L"Greeting", {{2, 0x1E}});
  AddDeviceMacro(L"Farewell", {{2, 0x30}});
  Open();  // the macros tab pressed with no macro chosen
  EXPECT_EQ(Dropdown()->m_shownText, L"Greeting");
  EXPECT_EQ(Display()->Events().size(), config_->FindMacroByName(L"Greeting")->events.size());
  EXPECT_FALSE(Display()->Events().empty());
  EXPECT_EQ(window_->m_macroState, 1);

  Choose(L"Farewell");
  Press(ids::BUTTON_MANAGEPROFILES);
  Press(ids::BUTTON_MANAGEMACROS);
  EXPECT_EQ(Dropdown()->m_shownText, L"Farewell") << "the macro chosen stays";
  EXPECT_EQ(window_->m_macroState, 1);

  // Without macros the page is empty, with nothing to play.
  for (const wchar_t* name : {L"Greeting", L"Farewell"}) config_->DeleteMacro(config_->FindMacroByName(name));
  window_->FillMacroDropdown();
  Press(ids::BUTTON_MANAGEPROFILES);
  Press(ids::BUTTON_MANAGEMACROS);
  EXPECT_EQ(Dropdown()->m_shownText, L"");
  EXPECT_EQ(window_->m_macroState, 0);
}

TEST_F(MacrosPage, FilingAndRecordingRightAfterApplyWaitForTheWrite) {
  AddDeviceMacro(L"Greeting", {{2, 0x1E}});
  Open();
  Choose(L"Greeting");
  const struct {
    const char* what;
    int32_t button;
    bool dialog;
  } cases[] = {
      {"export", ids::BUTTON_MACRO_EXPORT, true},
      {"import", ids::BUTTON_MACRO_IMPORT, true},
      {"record", ids::BUTTON_MACRO_RECORD_START, false},
  };
  for (const auto& c : cases) {
    popups_.shown.clear();
    files_.requests.clear();
    window_->SetModified(true);
    ASSERT_TRUE(window_->ApplyToDevice()) << c.what;
    ASSERT_TRUE(app_->m_device->IsWriting()) << c.what;
    Press(c.button);  // a dialog is cancelled
    EXPECT_TRUE(popups_.shown.empty()) << c.what << ": refused for what the busy device did not answer";
    EXPECT_EQ(files_.requests.size(), c.dialog ? 1u : 0u) << c.what;
    EXPECT_FALSE(app_->m_device->IsWriting()) << c.what;
  }
  ASSERT_EQ(window_->m_macroState, 3);
  EXPECT_EQ(Core().Mode(), 2) << "the recording suspended remapping";
  Press(ids::BUTTON_MACRO_RECORD_STOP);
  EXPECT_EQ(Core().Mode(), 1);
}

TEST_F(MacrosPage, OkCancelAndHelpDoNothingWhileRecording) {
  RecordOnANewMacro();
  ASSERT_EQ(window_->m_macroState, 3);
  window_->SetModified(true);
  const size_t writes = Calls(L"IKeyAssignments::SetAssignments").size();
  const size_t opened = launcher_.calls.size();
  const HDEVNOTIFY notification = window_->m_hDeviceNotify;
  window_->SendMessage(WM_HELP, 0, 0);
  window_->SendMessage(WM_COMMAND, IDOK, 0);
  window_->SendMessage(WM_COMMAND, IDCANCEL, 0);
  window_->SendMessage(WM_CLOSE);
  devtest::PumpUntil([] { return true; }, 0);
  EXPECT_EQ(launcher_.calls.size(), opened) << "no manual";
  EXPECT_EQ(Calls(L"IKeyAssignments::SetAssignments").size(), writes) << "no write";
  EXPECT_TRUE(::IsWindowVisible(window_->m_hWnd)) << "still open";
  EXPECT_EQ(window_->m_macroState, 3);
  // The refused close touched nothing: the recording goes on unremapped, and an
  // unplugged keyboard is still seen.
  EXPECT_EQ(Core().Mode(), 2);
  EXPECT_EQ(window_->m_hDeviceNotify, notification);
  Press(ids::BUTTON_MACRO_RECORD_STOP);
  window_->SendMessage(WM_HELP, 0, 0);
  ASSERT_EQ(launcher_.calls.size(), opened + 1) << "the manual once the recording ended";
  EXPECT_NE(launcher_.calls.back().file.find(L"Manuals\\index.html"), std::wstring::npos);
}

}  // namespace
}  // namespace configurator::testing
