// Assigning keys on the main window: selecting keys, the six kinds of
// assignment with their popups answered by the test, the marks of assigned
// keys and the information pane's text.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "configurator/ElementIds.h"
#include "configurator/MainWindow.h"
#include "configurator/testing/StartupFixture.h"
#include "device/KeyboardDef.h"
#include "gui/Messages.h"
#include "gui/controls/KeyboardKeyItem.h"
#include "platform/FileDialog.h"
#include "platform/testing/TestIds.h"

namespace configurator::testing {
namespace {

namespace ids = configurator::ids;
using devtest::KeyOf;

constexpr int32_t kKeyAElement = 486;   // BUTTON_KB_A
constexpr int32_t kKeyBElement = 507;   // BUTTON_KB_B
constexpr uint32_t kCodeA = 0x1E, kCodeB = 0x30, kCodeBackslash = 0x2B;

class AssignKeysTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    StartupTest::SetUp();
    StageMainPage(600, 300);
  }

  // The window with two keys on its layout page and the six assign buttons.
  void Open() {
    ASSERT_NO_FATAL_FAILURE(StartAndCreateWindow());
    keyA_ = AddKey(kKeyAElement, kCodeA, 10);
    keyB_ = AddKey(kKeyBElement, kCodeB, 60);
    for (int i = 0; i < 6; ++i) AddButton(ids::BUTTON_ASSIGNSELECT_DEFAULT + i, 10 + 40 * i);
    window_->BindItems();
    window_->EnableAssignButtons(false);
    window_->RefreshAssignedMarks();
  }
  CKeyboardKeyItem* AddKey(int32_t elementId, uint32_t code, int left) {
    CKeyboardKeyItem* key = AddLayoutKey(*window_, elementId, code, RECT{left, 200, left + 40, 240}, WS_VISIBLE);
    key->UpdateKeyLabel();
    return key;
  }
  void AddButton(int32_t elementId, int left) {
    auto* button = new CBitmapBtn();
    EXPECT_TRUE(button->Create(L"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, RECT{left, 10, left + 30, 40}, window_.get(),
                               static_cast<UINT>(elementId)));
    button->id = elementId;
    button->kind = GUIKIND_BUTTON;
    button->hwnd = button->m_hWnd;
    window_->m_assignKeysItems.push_back(button);
  }
  void Click(int32_t elementId) { window_->SendMessage(KeyClickMessage, 0, elementId); }
  void Press(int32_t buttonId) {
    CGUIItem* button = FindItemById(window_->m_assignKeysItems, buttonId);
    ASSERT_NE(button, nullptr);
    window_->SendMessage(WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(button->hwnd));
  }
  KeyAssignment RecordOf(uint32_t code) {
    KeyAssignment record;
    app_->m_config->GetKeyAssignment(record, KeyOf(code), nullptr);
    return record;
  }
  bool Enabled(int32_t id) {
    CGUIItem* item = FindItemById(window_->m_assignKeysItems, id);
    return item != nullptr && ::IsWindowEnabled(item->hwnd);
  }

  ScriptedPopups popups_;
  FakeFileDialogs files_;
  CKeyboardKeyItem* keyA_ = nullptr;
  CKeyboardKeyItem* keyB_ = nullptr;
};

TEST_F(AssignKeysTest, ClicksSelectMoveAndReleaseTheKey) {
  Open();
  EXPECT_FALSE(Enabled(ids::BUTTON_ASSIGNSELECT_DEFAULT));
  Click(kKeyAElement);
  EXPECT_EQ(window_->m_selectedKey, keyA_);
  EXPECT_EQ(keyA_->m_selected, 1);
  EXPECT_TRUE(window_->InfoLocked());
  EXPECT_TRUE(Enabled(ids::BUTTON_ASSIGNSELECT_DEFAULT));
  EXPECT_TRUE(Enabled(ids::BUTTON_ASSIGNSELECT_DISABLE));
  // One profile and no macro: those two kinds are not offered.
  EXPECT_FALSE(Enabled(ids::BUTTON_ASSIGNSELECT_MACRO));
  EXPECT_FALSE(Enabled(ids::BUTTON_ASSIGNSELECT_PROFILE));

  Click(kKeyBElement);
  EXPECT_EQ(window_->m_selectedKey, keyB_);
  EXPECT_EQ(keyA_->m_selected, 0);
  EXPECT_EQ(keyB_->m_selected, 1);
  EXPECT_TRUE(window_->InfoLocked());

  Click(kKeyBElement);
  EXPECT_EQ(window_->m_selectedKey, nullptr);
  EXPECT_EQ(keyB_->m_selected, 0);
  EXPECT_FALSE(window_->InfoLocked());
  EXPECT_FALSE(Enabled(ids::BUTTON_ASSIGNSELECT_DEFAULT));
  Click(999);  // no key: nothing
  EXPECT_EQ(window_->m_selectedKey, nullptr);
}

TEST_F(AssignKeysTest, MacroAndProfileKindsNeedAMacroAndASecondProfile) {
  AddDeviceProfile(L"Second");
  AddDeviceMacro(L"Greeting", {{3, 20}});
  Open();
  Click(kKeyAElement);
  EXPECT_TRUE(Enabled(ids::BUTTON_ASSIGNSELECT_MACRO));
  EXPECT_TRUE(Enabled(ids::BUTTON_ASSIGNSELECT_PROFILE));
}

TEST_F(AssignKeysTest, DisableAndDefaultStoreTheirRecordAndTheMark) {
  Open();
  Click(kKeyAElement);
  Press(ids::BUTTON_ASSIGNSELECT_DISABLE);
  EXPECT_EQ(RecordOf(kCodeA).kind, KEYKIND_DISABLED);
  EXPECT_EQ(keyA_->GetCheck(), 1);
  EXPECT_EQ(window_->m_selectedKey, nullptr);
  EXPECT_TRUE(window_->m_modified);
  EXPECT_FALSE(Enabled(ids::BUTTON_ASSIGNSELECT_DEFAULT));

  Click(kKeyAElement);
  Press(ids::BUTTON_ASSIGNSELECT_DEFAULT);
  const KeyAssignment back = RecordOf(kCodeA);
  EXPECT_EQ(back.kind, KEYKIND_DEFAULT);
  EXPECT_EQ(back.payload.key.scanCode, GlobalKeyboardDef().GetKeyDefault(KeyOf(kCodeA)).code);
  EXPECT_EQ(keyA_->GetCheck(), 0);
  // Without a selected key the buttons do nothing.
  window_->SetModified(false);
  Press(ids::BUTTON_ASSIGNSELECT_DISABLE);
  EXPECT_EQ(RecordOf(kCodeA).kind, KEYKIND_DEFAULT);
  EXPECT_FALSE(window_->m_modified);
}

TEST_F(AssignKeysTest, SingleKeyStoresTheCapturedKeyOrOnlyModifiers) {
  Open();
  const struct {
    const char* what;
    std::wstring text;
    int16_t scan, vk;
    uint8_t flags;
    bool stored;
  } cases[] = {
      {"a key", L"B", 0x30, 'B', 0, true},
      {"only Shift", L"", 0, 0, 8, true},
      {"cancelled", L"", 0, 0, 0, false},
      {"an extended key without modifiers and no text", L"", 0x4D, VK_RIGHT, 1, false},
  };
  for (const auto& c : cases) {
    KeyAssignment none;
    app_->m_config->SetKeyAssignment(KeyOf(kCodeA), none, nullptr);
    popups_.singleKey = {c.text, c.scan, c.vk, c.flags};
    Click(kKeyAElement);
    Press(ids::BUTTON_ASSIGNSELECT_SINGLEKEY);
    const KeyAssignment record = RecordOf(kCodeA);
    EXPECT_EQ(record.kind == KEYKIND_SINGLEKEY, c.stored) << c.what;
    if (c.stored) {
      EXPECT_EQ(record.payload.key.scanCode, c.scan) << c.what;
      EXPECT_EQ(record.payload.key.virtualKey, c.vk) << c.what;
      EXPECT_EQ(record.payload.key.flags, c.flags) << c.what;
    }
    if (window_->m_selectedKey != nullptr) Click(kKeyAElement);
  }
  // Remapping is suspended while the popup is open and resumed after it.
  EXPECT_NE(FirstCall(L"IDeviceMode::SetMode"), -1);
}

// The popup must capture the key itself, not the one the keyboard remaps it to:
// the device takes no mode while a write runs, so a write started by Apply ends
// before remapping is suspended.
TEST_F(AssignKeysTest, SingleKeyRightAfterApplyCapturesWithRemappingOff) {
  Open();
  int modeWhileOpen = 0;
  popups_.whileSingleKeyOpen = [&] { modeWhileOpen = Core().Mode(); };
  popups_.singleKey = {L"B", 0x30, 'B', 0};
  window_->SetModified(true);
  ASSERT_TRUE(window_->ApplyToDevice());
  ASSERT_TRUE(app_->m_device->IsWriting());
  Click(kKeyAElement);
  Press(ids::BUTTON_ASSIGNSELECT_SINGLEKEY);
  EXPECT_EQ(modeWhileOpen, 2) << "remapping suspended while the popup is open";
  EXPECT_EQ(Core().Mode(), 1) << "and resumed after it";
  EXPECT_EQ(RecordOf(kCodeA).kind, KEYKIND_SINGLEKEY);
}

TEST_F(AssignKeysTest, MacroKindByIdOrNameAndTheRepeatCount) {
  AddDeviceMacro(L"Greeting", {{3, 20}});
  Open();
  app_->m_config->CreateMacro(L"Fresh");  // not on the keyboard yet
  const struct {
    const char* what;
    const wchar_t* macro;
    int mode;
    INT_PTR countAnswer;
    int count;
    int32_t kind;
    int32_t playMode;
    uint8_t repeat;
  } cases[] = {
      {"a macro on the keyboard", L"Greeting", 1, 0, 0, KEYKIND_MACRO, 1, 0},
      {"a new macro goes by name", L"Fresh", 4, 0, 0, KEYKIND_MACRO_BYNAME, 4, 0},
      {"a count of 200", L"Greeting", 2, 1, 200, KEYKIND_MACRO, 2, 200},
      {"a count of 255 is kept whole", L"Greeting", 2, 1, 255, KEYKIND_MACRO, 2, 255},
      {"an empty count", L"Greeting", 2, 1, 0, KEYKIND_MACRO, 1, 0},
      {"a cancelled count", L"Greeting", 2, 2, 7, KEYKIND_MACRO, 1, 0},
  };
  for (const auto& c : cases) {
    popups_.macroName = c.macro;
    popups_.macroMode = c.mode;
    popups_.numberAnswer = c.countAnswer;
    popups_.number = c.count;
    Click(kKeyAElement);
    Press(ids::BUTTON_ASSIGNSELECT_MACRO);
    const KeyAssignment record = RecordOf(kCodeA);
    EXPECT_EQ(record.kind, c.kind) << c.what;
    EXPECT_EQ(record.playMode, c.playMode) << c.what;
    EXPECT_EQ(record.repeatCount, c.repeat) << c.what;
  }
  ASSERT_FALSE(popups_.offeredNames.empty());
  EXPECT_EQ(popups_.offeredNames.back(), (std::vector<std::wstring>{L"Greeting", L"Fresh"}));
}

TEST_F(AssignKeysTest, ProfileSwitchGoesToTheProfileOfExactlyTheChosenName) {
  AddDeviceProfile(L"Work");
  Open();
  IKeyboardProfile* lower = app_->m_config->AddNewProfile(L"work");  // new: no id yet
  popups_.dropdownChoice = L"work";
  Click(kKeyAElement);
  Press(ids::BUTTON_ASSIGNSELECT_PROFILE);
  KeyAssignment record = RecordOf(kCodeA);
  ASSERT_EQ(record.kind, KEYKIND_PROFILE_BYNAME);
  EXPECT_EQ(GetAssignmentText(record), L"work");
  ASSERT_FALSE(popups_.offeredNames.empty());
  for (const std::wstring& name : popups_.offeredNames.back())
    EXPECT_NE(name, app_->m_config->GetActiveProfile()->GetName()) << "the active profile is not offered";

  popups_.dropdownChoice = L"Work";
  Click(kKeyAElement);
  Press(ids::BUTTON_ASSIGNSELECT_PROFILE);
  record = RecordOf(kCodeA);
  ASSERT_EQ(record.kind, KEYKIND_PROFILE);
  EXPECT_TRUE(IsEqualGUID(record.payload.id, app_->m_config->FindProfileByName(L"Work")->GetId()));
  EXPECT_NE(lower, nullptr);
}

TEST_F(AssignKeysTest, LaunchProgramRefusesALongPathAndStoresAShortOne) {
  Open();
  files_.answer = L"C:\\" + std::wstring(253, L'p') + L".exe";  // 260 characters
  Click(kKeyAElement);
  Press(ids::BUTTON_ASSIGNSELECT_LAUNCHPROGRAM);
  EXPECT_EQ(RecordOf(kCodeA).kind, KEYKIND_DEFAULT);
  ASSERT_EQ(popups_.shown.size(), 1u);
  EXPECT_EQ(popups_.shown[0].skinFile, L"PathLengthLimitReachedPopUp.xml");
  EXPECT_EQ(popups_.shown[0].heading, L"$LaunchProgram");
  ASSERT_EQ(files_.requests.size(), 1u);
  EXPECT_EQ(files_.requests[0].flags & (OFN_FILEMUSTEXIST | OFN_HIDEREADONLY),
            static_cast<DWORD>(OFN_FILEMUSTEXIST | OFN_HIDEREADONLY));

  files_.answer = L"C:\\Tools\\calc.exe";
  if (window_->m_selectedKey == nullptr) Click(kKeyAElement);
  Press(ids::BUTTON_ASSIGNSELECT_LAUNCHPROGRAM);
  const KeyAssignment record = RecordOf(kCodeA);
  ASSERT_EQ(record.kind, KEYKIND_LAUNCH_BYPATH);
  EXPECT_EQ(GetAssignmentText(record), L"C:\\Tools\\calc.exe");
  EXPECT_NE(app_->m_config->FindAppByName(L"C:\\Tools\\calc.exe"), nullptr);
  EXPECT_EQ(window_->AssignmentText(keyA_), L" calc.exe");
}

TEST_F(AssignKeysTest, TheInformationPaneNamesEachKind) {
  Open();
  CMacro* macro = app_->m_config->CreateMacro(L"Hello");
  KeyAssignment byName;
  MakeMacroNameAssignment(byName, L"Hello", 1);
  KeyAssignment unknownMacro;
  MakeMacroAssignment(unknownMacro, platform::testing::TestId(77, 0x5A), 1);
  KeyAssignment disabled;
  disabled.kind = KEYKIND_DISABLED;
  KeyAssignment emptyKey;
  emptyKey.kind = KEYKIND_SINGLEKEY;
  const KeyAssignment path = devtest::NamedAssignment(KEYKIND_LAUNCH_BYPATH, L"D:\\Games\\run.me.exe");
  const KeyAssignment profile = devtest::NamedAssignment(KEYKIND_PROFILE_BYNAME, L"Later");
  const struct {
    const char* what;
    KeyAssignment record;
    std::wstring text;
  } cases[] = {
      {"macro by name", byName, L" Hello"},
      {"a macro id nobody has", unknownMacro, L""},
      {"disabled", disabled, L" "},
      {"single key without a scan code", emptyKey, L""},
      {"program by path", path, L" run.me.exe"},
      {"profile by name", profile, L" Later"},
      {"the default", KeyAssignment{}, keyA_->m_keyName},
  };
  for (const auto& c : cases) {
    app_->m_config->SetKeyAssignment(KeyOf(kCodeA), c.record, nullptr);
    int32_t kind = -1;
    EXPECT_EQ(window_->AssignmentText(keyA_, &kind), c.text) << c.what;
    EXPECT_EQ(kind, c.record.kind) << c.what;
  }
  EXPECT_NE(macro, nullptr);
}

TEST_F(AssignKeysTest, HoverShowsTheKeyUnlessOneIsSelected) {
  Open();
  KeyAssignment disabled;
  disabled.kind = KEYKIND_DISABLED;
  app_->m_config->SetKeyAssignment(KeyOf(kCodeB), disabled, nullptr);
  window_->SendMessage(KeyHoverMessage, 0, kKeyBElement);
  EXPECT_EQ(window_->m_hoveredKey, keyB_);
  EXPECT_EQ(window_->InfoText(), L" ");
  EXPECT_EQ(window_->InfoKind(), KEYKIND_DISABLED);
  window_->SendMessage(WM_NCMOUSEMOVE, HTCAPTION, 0);
  EXPECT_EQ(window_->InfoText(), L"");
  EXPECT_EQ(window_->InfoKind(), 0);

  window_->SendMessage(KeyHoverMessage, 0, kKeyAElement);
  Click(kKeyAElement);
  const std::wstring shown = window_->InfoText();
  window_->SendMessage(KeyHoverMessage, 0, kKeyBElement);
  window_->SendMessage(WM_NCMOUSEMOVE, HTCAPTION, 0);
  EXPECT_EQ(window_->InfoText(), shown) << "a selected key keeps the pane";
  // Leaving the page releases the selection.
  window_->ShowPage(CMorvelAppDlg::kPageProfiles);
  EXPECT_EQ(window_->m_selectedKey, nullptr);
  EXPECT_EQ(keyA_->m_selected, 0);
  EXPECT_FALSE(window_->InfoLocked());
  EXPECT_EQ(window_->InfoText(), L"");
}

TEST_F(AssignKeysTest, ThePaneShowsTheNewAssignmentRightAfterItIsStored) {
  Open();
  popups_.singleKey = {L"B", 0x30, 'B', 0};
  const struct {
    const char* what;
    int32_t button;
    int32_t kind;
  } cases[] = {
      {"disabled", ids::BUTTON_ASSIGNSELECT_DISABLE, KEYKIND_DISABLED},
      {"a single key", ids::BUTTON_ASSIGNSELECT_SINGLEKEY, KEYKIND_SINGLEKEY},
      {"back to the default", ids::BUTTON_ASSIGNSELECT_DEFAULT, KEYKIND_DEFAULT},
  };
  for (const auto& c : cases) {
    // The mouse goes from the key to the button: no hover in between.
    window_->SendMessage(KeyHoverMessage, 0, kKeyAElement);
    Click(kKeyAElement);
    Press(c.button);
    ASSERT_EQ(RecordOf(kCodeA).kind, c.kind) << c.what;
    EXPECT_EQ(window_->InfoKind(), c.kind) << c.what;
    EXPECT_EQ(window_->InfoText(), window_->AssignmentText(keyA_)) << c.what;
    EXPECT_EQ(window_->InfoPicture(), &keyA_->m_pictureInfo) << c.what;
    EXPECT_FALSE(window_->InfoLocked()) << c.what;
  }
}

TEST_F(AssignKeysTest, WhileAKeyIsSelectedThePictureFollowsTheHoverAndTheTextStays) {
  Open();
  KeyAssignment disabled;
  disabled.kind = KEYKIND_DISABLED;
  app_->m_config->SetKeyAssignment(KeyOf(kCodeB), disabled, nullptr);
  window_->SendMessage(KeyHoverMessage, 0, kKeyAElement);
  Click(kKeyAElement);
  const std::wstring text = window_->InfoText();
  ASSERT_EQ(text, keyA_->m_keyName);

  window_->SendMessage(KeyHoverMessage, 0, kKeyBElement);
  EXPECT_EQ(window_->InfoPicture(), &keyB_->m_pictureInfo);
  EXPECT_EQ(window_->InfoKind(), KEYKIND_DISABLED);
  EXPECT_EQ(window_->InfoText(), text) << "the selected key's text stays";

  window_->SendMessage(KeyHoverMessage, 0, kKeyAElement);
  EXPECT_EQ(window_->InfoPicture(), &keyA_->m_pictureInfo);
  EXPECT_EQ(window_->InfoKind(), KEYKIND_DEFAULT);
  EXPECT_EQ(window_->InfoText(), text);
}

TEST_F(AssignKeysTest, AKeyWhoseScanCodeAnotherKeySendsTakesNoClicks) {
  Open();
  CKeyboardKeyItem* iso = AddKey(538, kCodeBackslash, 110);       // BUTTON_KB_EU1_NOTE2
  CKeyboardKeyItem* backslash = AddKey(477, kCodeBackslash, 160);  // BUTTON_KB_VRTLINE
  // Both keys send 2B; the key definitions give the code to the backslash key.
  iso->m_keyDef = GlobalKeyboardDef().FindDefinition(HashKeyName(L"EU1_NOTE2"));
  backslash->m_keyDef = GlobalKeyboardDef().FindDefinition(HashKeyName(L"VRTLINE"));
  ASSERT_NE(iso->m_keyDef, nullptr);
  ASSERT_NE(backslash->m_keyDef, nullptr);
  window_->DisableUnreachableKeys();
  EXPECT_FALSE(::IsWindowEnabled(iso->m_hWnd));
  EXPECT_TRUE(::IsWindowEnabled(backslash->m_hWnd));
  EXPECT_TRUE(::IsWindowEnabled(keyA_->m_hWnd));
}

}  // namespace
}  // namespace configurator::testing
