// The profiles page on the main window against the service core in this
// process: the profile list and its messages, the page's buttons, the profile
// drop-down, with popups and file dialogs answered by the test.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "configurator/ElementIds.h"
#include "configurator/ItemAccess.h"
#include "configurator/MainWindow.h"
#include "configurator/pages/Profiles.h"
#include "configurator/testing/StartupFixture.h"
#include "device/KeyboardDef.h"
#include "gui/Messages.h"
#include "gui/controls/KeyboardKeyItem.h"
#include "gui/controls/XListCtrl.h"
#include "gui/panels/DropdownListItem.h"
#include "gui/panels/ListPanel.h"
#include "gui/skin/SkinResourceCache.h"
#include "platform/FileDialog.h"

namespace configurator::testing {
namespace {

namespace ids = configurator::ids;
using devtest::kKeyA;
using devtest::kKeyB;
using devtest::KeyOf;
using devtest::NamedAssignment;

constexpr int32_t kKeyAElement = 486;  // BUTTON_KB_A
constexpr int32_t kKeyBElement = 507;  // BUTTON_KB_B
// Column ids of the list (the skin's LCITEM names).
constexpr int kActive = 0, kNumber = 1, kName = 2, kProgram = 3, kAutoSwitch = 4;

std::string Button(const char* name, int left) {
  return "<BUTTON name=\"" + std::string(name) + "\"><SBMN>Btn.bmp</SBMN><RECT left=\"" + std::to_string(left) +
         "\" top=\"400\" right=\"16\" bottom=\"16\"/></BUTTON>";
}

std::string CheckColumn(const char* name, bool exclusive) {
  return "<LISTCOLUMN name=\"" + std::string(name) + "\" type=\"CHECKBOX\" width=\"50\"" +
         (exclusive ? " exclusive=\"1\"" : "") + "><SBMN>Btn.bmp</SBMN><SBMD>Btn.bmp</SBMD>x</LISTCOLUMN>";
}

KeyAssignment SwitchById(const GUID& id) {
  KeyAssignment record;
  record.kind = KEYKIND_PROFILE;
  record.payload.id = id;
  return record;
}

class ProfilesPage : public MainWindowFixture {
 protected:
  void SetUp() override {
    StartupTest::SetUp();
    StageMainPage(700, 500,
                  "<GUIPANEL><BACKGROUND>Back.bmp</BACKGROUND><MASK>Mask.bmp</MASK><LISTLIST>"
                  "<COMBO name=\"LIST_GLOBALPROFILELIST\"><CBOX><RECT left=\"10\" top=\"10\" right=\"150\" "
                  "bottom=\"20\"/></CBOX><CLIST height=\"80\"/></COMBO></LISTLIST></GUIPANEL>");
    folder_.WriteImage(L"Btn.bmp", 16, 16, RGB(90, 90, 90));
    folder_.WriteXml(L"AssignKeys.xml", "<ITEMLIST><BUTTONLIST>" + Button("BUTTON_RESET", 10) +
                                            "</BUTTONLIST></ITEMLIST>");
    // The list's columns stand in another order than their ids: messages name
    // columns by position, the page by id.
    folder_.WriteXml(
        L"ManageProfiles.xml",
        "<ITEMLIST><BUTTONLIST>" + Button("BUTTON_NEWPROFILE", 10) + Button("BUTTON_IMPORTPROFILE", 40) +
            Button("BUTTON_EXPORTPROFILE", 70) + Button("BUTTON_SAVEPROFILE", 100) +
            Button("BUTTON_DELETEPROFILE", 130) +
            "<BUTTON name=\"BUTTON_ENABLE_PROFILE_OSD\" ischeckbox=\"1\"><SBMN>Btn.bmp</SBMN>"
            "<RECT left=\"160\" top=\"400\" right=\"16\" bottom=\"16\"/></BUTTON></BUTTONLIST>"
            "<LISTLIST><LISTCTRL name=\"LIST_PROFILELIST\"><LISTHDR backclr=\"BLACK\" fontclr=\"WHITE\"/>"
            "<RECT left=\"10\" top=\"60\" right=\"600\" bottom=\"300\"/>"
            "<LISTCOLUMN name=\"LCITEM_PROFILENAME\" type=\"STATIC\" width=\"150\">Name</LISTCOLUMN>" +
            CheckColumn("LCITEM_AUTOSWITCH", false) +
            "<LISTCOLUMN name=\"LCITEM_PROFILEEXE\" type=\"FILEDIALOG\" width=\"150\">Exe</LISTCOLUMN>" +
            CheckColumn("LCITEM_PROFILECURRENT", true) +
            "<LISTCOLUMN name=\"LCITEM_PROFILEID\" type=\"STATIC\" width=\"40\">No</LISTCOLUMN></LISTCTRL>"
            "</LISTLIST><LISTPANELLIST><LISTPANEL name=\"LISTPANEL_PROFILEOPTIONS\"><RECT left=\"0\" top=\"0\" "
            "right=\"120\" bottom=\"200\"/><LISTPANELITEMS><LISTPANELITEM>$New</LISTPANELITEM>"
            "<LISTPANELITEM>$AssignApplication</LISTPANELITEM><LISTPANELITEM>$UnassignApplication</LISTPANELITEM>"
            "</LISTPANELITEMS></LISTPANEL></LISTPANELLIST></ITEMLIST>");
  }

 public:
  // The window on its profiles page, with keys A and B on the layout page.
  void Open() {
    ASSERT_NO_FATAL_FAILURE(StartAndCreateWindow());
    config_ = app_->m_config;
    keyA_ = AddKey(kKeyAElement, kKeyA, 200);
    keyB_ = AddKey(kKeyBElement, kKeyB, 250);
    window_->RefreshAssignedMarks();
    window_->ShowPage(CMorvelAppDlg::kPageProfiles);
    ASSERT_NE(List(), nullptr);
    ASSERT_NE(List()->m_contextMenu, nullptr) << "the list opens the options menu";
  }
  CKeyboardKeyItem* AddKey(int32_t elementId, uint32_t code, int left) {
    return AddLayoutKey(*window_, elementId, code, RECT{left, 440, left + 40, 480});
  }

  CXListCtrl* List() const { return static_cast<CXListCtrl*>(FindItemById(window_->m_profileItems, ids::LIST_PROFILELIST)); }
  CListPanelItem* Menu() const {
    return static_cast<CListPanelItem*>(FindItemById(window_->m_profileItems, ids::LISTPANEL_PROFILEOPTIONS));
  }
  CDropdownListItem* Dropdown() const {
    return static_cast<CDropdownListItem*>(FindItemById(window_->Items(), ids::LIST_GLOBALPROFILELIST));
  }

  std::vector<std::wstring> Names() const {
    std::vector<std::wstring> names;
    for (int i = 0; i < config_->GetProfileCount(); ++i) names.push_back(config_->GetProfile(i)->GetName());
    return names;
  }
  std::wstring ActiveName() const {
    IKeyboardProfile* active = config_->GetActiveProfile();
    return active != nullptr ? active->GetName() : L"<none>";
  }
  IKeyboardProfile* Named(const std::wstring& name) const {
    for (int i = 0; i < config_->GetProfileCount(); ++i)
      if (config_->GetProfile(i)->GetName() == name) return config_->GetProfile(i);
    return nullptr;
  }
  // Adds profiles to the configuration only (new ones, unknown to the keyboard).
  void AddProfiles(const std::vector<std::wstring>& names) {
    for (const std::wstring& name : names) ASSERT_NE(config_->AddNewProfile(name), nullptr);
    window_->RefreshProfileViews();
  }
  std::vector<std::wstring> PopupFiles() const {
    std::vector<std::wstring> files;
    for (const auto& shown : popups_.shown) files.push_back(shown.skinFile);
    return files;
  }

  void Press(int32_t buttonId) {
    CGUIItem* button = FindItemById(window_->m_profileItems, buttonId);
    if (button == nullptr) button = FindItemById(window_->m_assignKeysItems, buttonId);
    ASSERT_NE(button, nullptr) << buttonId;
    window_->SendMessage(WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(button->hwnd));
  }
  void SelectRow(int row) {
    for (int i = 0; i < List()->GetItemCount(); ++i) List()->SetItemState(i, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (row >= 0) List()->SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
  }
  LRESULT SendList(UINT msg, int rowId, int column, const void* data) {
    ListMessageRecord record{rowId, column, data};
    return window_->SendMessage(msg, reinterpret_cast<WPARAM>(List()->m_hWnd), reinterpret_cast<LPARAM>(&record));
  }
  void Action(int rowId, const std::wstring& action) { SendList(ListActionMessage, rowId, 0, action.c_str()); }
  // A check box of the list changed: the message names the column by position.
  void Toggle(int rowId, int columnId, bool value) {
    List()->SetCellCheck(columnId, value ? 1 : 0, rowId);
    SendList(ListCheckToggledMessage, rowId, List()->ColumnInfo(columnId)->columnIndex, &value);
  }
  int Check(int rowId, int columnId) const {
    const int row = List()->FindRowById(rowId);
    const auto* records = List()->RowRecords(row);
    return records != nullptr ? (*records)[List()->ColumnInfo(columnId)->columnIndex].check : -2;
  }
  std::wstring Cell(int rowId, int columnId) const {
    return List()->GetItemText(List()->FindRowById(rowId), List()->ColumnInfo(columnId)->columnIndex);
  }
  KeyAssignment RecordOf(uint32_t code, IKeyboardProfile* profile) const {
    KeyAssignment record;
    config_->GetKeyAssignment(record, KeyOf(code), profile);
    return record;
  }

  ScriptedPopups popups_;
  FakeFileDialogs files_;
  IKeyboardConfig* config_ = nullptr;
  CKeyboardKeyItem* keyA_ = nullptr;
  CKeyboardKeyItem* keyB_ = nullptr;
};

TEST_F(ProfilesPage, TheListShowsEveryProfileWithTheActiveRowChosen) {
  AddDeviceProfile(L"Work");
  Open();
  IKeyboardProfile* work = Named(L"Work");
  ASSERT_NE(work, nullptr);
  work->SetPath(L"C:\\Games\\game.exe");
  work->SetAutoSwitch(1);
  window_->ActivateProfile(work);

  ASSERT_EQ(List()->GetItemCount(), 2);
  for (int row = 0; row < 2; ++row) EXPECT_EQ((*List()->RowRecords(row))[0].rowId, row) << "row id = profile index";
  EXPECT_EQ(Cell(1, kNumber), L"02");
  EXPECT_EQ(Cell(1, kName), L"Work");
  EXPECT_EQ(Cell(1, kProgram), L"game.exe");
  EXPECT_EQ(Check(1, kAutoSwitch), 1);
  EXPECT_EQ(Check(0, kAutoSwitch), 0);
  EXPECT_EQ(Check(1, kActive), 1);
  EXPECT_EQ(Check(0, kActive), 0);
  EXPECT_EQ(List()->GetSelectedRowId(), 1);
  EXPECT_EQ(List()->GetItemState(1, LVIS_FOCUSED), static_cast<UINT>(LVIS_FOCUSED));
  EXPECT_TRUE(window_->m_modified);
}

TEST_F(ProfilesPage, ATenthProfileIsCreatedAndTheLimitStopsNewCopyAndImport) {
  Open();
  for (int n = 2; n <= 10; ++n) {
    popups_.dropdownChoice = L"P" + std::to_wstring(n);
    Press(ids::BUTTON_NEWPROFILE);
  }
  ASSERT_EQ(config_->GetProfileCount(), 10);
  EXPECT_EQ(ActiveName(), L"P10") << "a new profile becomes active";
  EXPECT_EQ(List()->GetItemCount(), 10);
  EXPECT_EQ(List()->GetSelectedRowId(), 9);

  const struct {
    const char* what;
    std::function<void()> act;
    const wchar_t* heading;
  } cases[] = {
      {"the new button", [&] { Press(ids::BUTTON_NEWPROFILE); }, L"$CreateProfile"},
      {"the menu's new", [&] { Action(3, L"$New"); }, L"$CreateProfile"},
      {"a copy", [&] { Action(3, L"$Copy"); }, L"$Copy"},
      {"the import button", [&] { Press(ids::BUTTON_IMPORTPROFILE); }, L"$Import"},
  };
  for (const auto& c : cases) {
    popups_.shown.clear();
    popups_.dropdownChoice = L"Eleven";
    c.act();
    ASSERT_EQ(popups_.shown.size(), 1u) << c.what;
    EXPECT_EQ(popups_.shown[0].skinFile, L"ProfileLimitReachedPopup.xml") << c.what;
    EXPECT_EQ(popups_.shown[0].heading, c.heading) << c.what;
    EXPECT_EQ(config_->GetProfileCount(), 10) << c.what;
    EXPECT_TRUE(files_.requests.empty()) << c.what;
  }
}

TEST_F(ProfilesPage, CreateTakesANameOfItsOwnComparedExactly) {
  Open();
  AddProfiles({L"Work"});
  window_->SetModified(false);
  const struct {
    const char* what;
    std::wstring typed;
    INT_PTR answer;
    std::vector<std::wstring> popups;
    std::vector<std::wstring> names;
  } cases[] = {
      {"taken exactly", L"Work", 1, {L"ProfileNamePopup.xml", L"DuplicateProfileWarningPopup.xml"}, {L"Work"}},
      {"cancelled", L"Home", 2, {L"ProfileNamePopup.xml"}, {L"Work"}},
      {"empty", L"", 1, {L"ProfileNamePopup.xml"}, {L"Work"}},
      {"another case is another name", L"work", 1, {L"ProfileNamePopup.xml"}, {L"Work", L"work"}},
  };
  for (const auto& c : cases) {
    popups_.shown.clear();
    popups_.dropdownChoice = c.typed;
    popups_.answer = c.answer;
    Press(ids::BUTTON_NEWPROFILE);
    EXPECT_EQ(PopupFiles(), c.popups) << c.what;
    std::vector<std::wstring> expected = {config_->GetProfile(0)->GetName()};
    expected.insert(expected.end(), c.names.begin(), c.names.end());
    EXPECT_EQ(Names(), expected) << c.what;
  }
  EXPECT_EQ(popups_.shown[0].heading, L"") << "the name popup starts empty";
  EXPECT_EQ(ActiveName(), L"work");
  EXPECT_TRUE(window_->m_modified);
}

TEST_F(ProfilesPage, TheDuplicateWarningNamesTheProfileThatHasTheName) {
  Open();
  AddProfiles({L"Work"});
  popups_.dropdownChoice = L"Work";
  Press(ids::BUTTON_NEWPROFILE);
  SelectRow(1);
  Press(ids::BUTTON_DELETEPROFILE);  // confirmed
  SelectRow(0);
  Press(ids::BUTTON_DELETEPROFILE);
  const std::wstring first = config_->GetProfile(0)->GetName();
  std::vector<std::wstring> extras;
  for (const auto& shown : popups_.shown)
    if (shown.skinFile != L"ProfileNamePopup.xml") extras.push_back(shown.extra);
  EXPECT_EQ(extras, (std::vector<std::wstring>{L": Work", L": Work", L": " + first}));
}

TEST(ProfileCopyNames, TheFirstFreeNumberAfterTheCutName) {
  const std::wstring name25 = L"ABCDEFGHIJKLMNOPQRSTUVWXY";
  const std::set<std::wstring> none;
  const struct {
    const char* what;
    std::wstring source;
    std::set<std::wstring> taken;
    std::wstring expected;
  } cases[] = {
      {"first copy", L"Profile", {L"Profile"}, L"Profile(2)"},
      {"(2) taken", L"Profile", {L"Profile", L"Profile(2)"}, L"Profile(3)"},
      {"taken only in another case", L"Profile", {L"profile(2)"}, L"Profile(2)"},
      {"25 characters", name25, none, name25.substr(0, 18) + L"(2)"},
      {"20 characters", name25.substr(0, 20), none, name25.substr(0, 18) + L"(2)"},
      {"19 characters are kept", name25.substr(0, 19), none, name25.substr(0, 19) + L"(2)"},
  };
  for (const auto& c : cases) {
    const auto taken = [&](const std::wstring& name) { return c.taken.count(name) != 0; };
    EXPECT_EQ(configurator::CopyNameFor(c.source, taken), c.expected) << c.what;
  }
  std::set<std::wstring> all;
  for (int n = 2; n <= 99; ++n) all.insert(L"Profile(" + std::to_wstring(n) + L")");
  EXPECT_EQ(configurator::CopyNameFor(L"Profile", [&](const std::wstring& name) { return all.count(name) != 0; }),
            L"")
      << "2 to 99 all taken: no name";
}

TEST_F(ProfilesPage, ACopyOfTheRowsProfileIsCreatedAndActivated) {
  AddDeviceProfile(L"Profile");
  Open();
  IKeyboardProfile* source = Named(L"Profile");
  ASSERT_NE(source, nullptr);
  source->SetKeyAssignment(KeyOf(kKeyA), devtest::SingleKey(0x30, 0));
  AddProfiles({L"Profile(2)"});
  SelectRow(0);
  Action(1, L"$Copy");  // the row the menu was opened on, not the selected one
  EXPECT_EQ(Names().back(), L"Profile(3)");
  EXPECT_EQ(ActiveName(), L"Profile(3)");
  EXPECT_EQ(RecordOf(kKeyA, nullptr).kind, KEYKIND_SINGLEKEY) << "a copy keeps the keys";
  EXPECT_TRUE(IsZeroGuid(config_->GetActiveProfile()->GetId())) << "the copy is new to the keyboard";
  EXPECT_EQ(List()->GetSelectedRowId(), 3);
}

TEST_F(ProfilesPage, RenameNeedsANameNoProfileHasExactly) {
  AddDeviceProfile(L"Work");
  Open();
  AddProfiles({L"Home"});
  const struct {
    const char* what;
    std::wstring typed;
    INT_PTR answer;
    bool warned;
    std::wstring after;
  } cases[] = {
      {"its own name", L"Work", 1, true, L"Work"},
      {"another profile's name", L"Home", 1, true, L"Work"},
      {"cancelled", L"Job", 2, false, L"Work"},
      {"empty", L"", 1, false, L"Work"},
      {"its own name in another case", L"WORK", 1, false, L"WORK"},
  };
  for (const auto& c : cases) {
    popups_.shown.clear();
    popups_.dropdownChoice = c.typed;
    popups_.answer = c.answer;
    const std::wstring before = config_->GetProfile(1)->GetName();
    Action(1, L"$Rename");
    ASSERT_FALSE(popups_.shown.empty()) << c.what;
    EXPECT_EQ(popups_.shown[0].skinFile, L"ProfileRenamePopup.xml") << c.what;
    EXPECT_EQ(popups_.shown[0].heading, before) << c.what << ": the heading shows the current name";
    EXPECT_EQ(popups_.shown.size() == 2 && popups_.shown[1].skinFile == L"DuplicateProfileWarningPopup.xml", c.warned)
        << c.what;
    EXPECT_EQ(config_->GetProfile(1)->GetName(), c.after) << c.what;
    EXPECT_EQ(Cell(1, kName), c.after) << c.what;
  }
}

TEST_F(ProfilesPage, RenamingTheActiveProfileKeepsItActiveAndItsKeys) {
  AddDeviceProfile(L"Work");
  Open();
  window_->ActivateProfile(Named(L"Work"));
  config_->SetKeyAssignment(KeyOf(kKeyA), devtest::SingleKey(0x30, 0), nullptr);
  popups_.dropdownChoice = L"Job";
  SelectRow(1);
  window_->RenameProfile();
  ASSERT_EQ(Names()[1], L"Job");
  EXPECT_EQ(config_->GetActiveProfile(), config_->GetProfile(1)) << "the renamed object is the active one";
  EXPECT_EQ(RecordOf(kKeyA, nullptr).kind, KEYKIND_SINGLEKEY);
  EXPECT_EQ(Check(1, kActive), 1);
  EXPECT_EQ(List()->GetSelectedRowId(), 1);
}

TEST_F(ProfilesPage, RenameInPlaceTakesTheEditedTextOrPutsTheNameBack) {
  AddDeviceProfile(L"Work");
  Open();
  AddProfiles({L"Home"});
  const struct {
    const char* what;
    std::wstring text;
    bool warned;
    std::wstring after;
  } cases[] = {
      {"another profile's name", L"Home", true, L"Work"},
      {"empty", L"", false, L"Work"},
      {"a new name", L"Job", false, L"Job"},
  };
  for (const auto& c : cases) {
    popups_.shown.clear();
    List()->SetCellText(kName, c.text, 1);  // what the editor left in the cell
    SendList(ListRenameDoneMessage, 1, List()->ColumnInfo(kName)->columnIndex, c.text.c_str());
    EXPECT_EQ(PopupFiles().size(), c.warned ? 1u : 0u) << c.what;
    EXPECT_EQ(config_->GetProfile(1)->GetName(), c.after) << c.what;
    EXPECT_EQ(Cell(1, kName), c.after) << c.what;
  }
}

// The write gives a new profile the id the keyboard assigned it; a rename made
// while it runs replaces the object, which must still receive that id, or the
// next write makes the profile a second time.
TEST_F(ProfilesPage, ARenameRightAfterApplyKeepsTheIdTheWriteAssigned) {
  Open();
  const struct {
    const char* what;
    bool inPlace;
  } cases[] = {{"popup", false}, {"in place", true}};
  for (const auto& c : cases) {
    AddProfiles({L"Home"});
    const int row = config_->GetProfileCount() - 1;
    ASSERT_TRUE(window_->ApplyToDevice()) << c.what;
    ASSERT_TRUE(app_->m_device->IsWriting()) << c.what;
    const std::wstring renamed = std::wstring(L"Away ") + (c.inPlace ? L"2" : L"1");
    if (c.inPlace) {
      List()->SetCellText(kName, renamed, row);
      SendList(ListRenameDoneMessage, row, List()->ColumnInfo(kName)->columnIndex, renamed.c_str());
    } else {
      popups_.dropdownChoice = renamed;
      SelectRow(row);
      window_->RenameProfile();
    }
    EXPECT_FALSE(app_->m_device->IsWriting()) << c.what;
    IKeyboardProfile* profile = config_->GetProfile(row);
    ASSERT_NE(profile, nullptr) << c.what;
    EXPECT_EQ(profile->GetName(), renamed) << c.what;
    EXPECT_FALSE(IsEqualGUID(profile->GetId(), GUID{})) << c.what << ": the renamed profile lost the written id";
    // Written again, the keyboard holds it once, under its new name.
    ASSERT_TRUE(window_->ApplyToDevice()) << c.what;
    ASSERT_TRUE(devtest::PumpUntil([this] { return !app_->m_device->IsWriting(); })) << c.what;
    ASSERT_TRUE(app_->m_device->LastWriteSucceeded()) << c.what;
    EXPECT_EQ(app_->m_device->GetProfileCount(), config_->GetProfileCount()) << c.what;
  }
}

TEST_F(ProfilesPage, NamesDifferingInCaseCoexistAndActivateByIndex) {
  AddDeviceProfile(L"Work");
  AddDeviceProfile(L"work");
  Open();
  ASSERT_EQ(Names().size(), 3u);
  const HWND dropdown = Dropdown()->m_hWnd;
  for (const int index : {2, 1, 2, 0}) {
    window_->SendMessage(DropdownSelChangedMessage, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(dropdown));
    EXPECT_EQ(config_->GetActiveProfile(), config_->GetProfile(index)) << index;
    EXPECT_EQ(List()->GetSelectedRowId(), index) << index;
  }
  // An entry beyond the profiles activates nothing.
  window_->SendMessage(DropdownSelChangedMessage, 7, reinterpret_cast<LPARAM>(dropdown));
  EXPECT_EQ(config_->GetActiveProfile(), config_->GetProfile(0));
}

TEST_F(ProfilesPage, ActivationFromTheListActsOnTheRowItNames) {
  AddDeviceProfile(L"Work");
  AddDeviceProfile(L"work");
  Open();
  const struct {
    const char* what;
    std::function<void()> act;
    int active;
  } cases[] = {
      {"the menu's set active", [&] { Action(2, L"$SetActive"); }, 2},
      {"a double click", [&] { SendList(ListDoubleClickMessage, 1, 1, nullptr); }, 1},
      {"a double click on no row", [&] { SendList(ListDoubleClickMessage, -1, 0, nullptr); }, 1},
      {"the active box ticked", [&] { Toggle(0, kActive, true); }, 0},
      {"preview", [&] { Action(2, L"$Preview"); }, 0},
      {"the menu closed without a choice", [&] { Action(2, L""); }, 0},
  };
  for (const auto& c : cases) {
    SelectRow(-1);
    c.act();
    EXPECT_EQ(config_->GetActiveProfile(), config_->GetProfile(c.active)) << c.what;
    EXPECT_EQ(Check(c.active, kActive), 1) << c.what;
  }
  EXPECT_TRUE(popups_.shown.empty());
  // A message from another window is not the list's.
  ListMessageRecord record{2, 0, L"$SetActive"};
  window_->SendMessage(ListActionMessage, reinterpret_cast<WPARAM>(Dropdown()->m_hWnd),
                       reinterpret_cast<LPARAM>(&record));
  EXPECT_EQ(config_->GetActiveProfile(), config_->GetProfile(0));
}

TEST_F(ProfilesPage, DeleteSparesProfileZeroAndFallsBackToIt) {
  AddDeviceProfile(L"Work");
  AddDeviceProfile(L"Home");
  Open();
  window_->ActivateProfile(Named(L"Work"));
  const std::wstring first = Names()[0];
  const struct {
    const char* what;
    int selected;
    INT_PTR answer;
    std::vector<std::wstring> popups;
    std::vector<std::wstring> names;
    std::wstring active;
  } cases[] = {
      {"no row selected", -1, 1, {}, {first, L"Work", L"Home"}, L"Work"},
      {"profile 0", 0, 1, {L"DisallowDeletePopup.xml"}, {first, L"Work", L"Home"}, L"Work"},
      {"not confirmed", 1, 2, {L"ConfirmDeletePopup.xml"}, {first, L"Work", L"Home"}, L"Work"},
      {"another than the active", 2, 1, {L"ConfirmDeletePopup.xml"}, {first, L"Work"}, L"Work"},
      {"the active one", 1, 1, {L"ConfirmDeletePopup.xml"}, {first}, first},
  };
  for (const auto& c : cases) {
    popups_.shown.clear();
    popups_.answer = c.answer;
    SelectRow(c.selected);
    Press(ids::BUTTON_DELETEPROFILE);
    EXPECT_EQ(PopupFiles(), c.popups) << c.what;
    EXPECT_EQ(Names(), c.names) << c.what;
    EXPECT_EQ(ActiveName(), c.active) << c.what;
  }
  EXPECT_EQ(List()->GetItemCount(), 1);
  EXPECT_EQ(List()->GetSelectedRowId(), 0);
  EXPECT_EQ(Check(0, kActive), 1);
}

// Keys that switch to profiles in several profiles, by id and by name; names
// that differ only in case belong to different profiles. Profiles: 0 the
// keyboard's first, 1 "Other" (known to the keyboard), 2 "Work" and 3 "work"
// (both new). Keys: in profile 0, A names "work" and B names "Work"; in "Work",
// A switches to "Other" by its id; in "work", B names "Work".
class ProfileReferences;
struct ReferenceCase {
  const char* name;
  std::function<void(ProfileReferences&)> act;
  // What the keys do afterwards: "default", "id Other", "name X", or "<none>"
  // when the profile is gone. Profile 2 and 3 are looked up by index after the
  // action, since a rename changes their names.
  const wchar_t *firstA, *firstB, *workA, *lowerB;
};

void PrintTo(const ReferenceCase& c, std::ostream* out) { *out << c.name; }

class ProfileReferences : public ProfilesPage, public ::testing::WithParamInterface<ReferenceCase> {
 public:
  void Build() {
    AddDeviceProfile(L"Other");
    Open();
    AddProfiles({L"Work", L"work"});
    first_ = config_->GetProfile(0);
    work_ = config_->GetProfile(2);
    lower_ = config_->GetProfile(3);
    otherId_ = Named(L"Other")->GetId();
    ASSERT_FALSE(IsZeroGuid(otherId_));
    config_->SetKeyAssignment(KeyOf(kKeyA), NamedAssignment(KEYKIND_PROFILE_BYNAME, L"work"), first_);
    config_->SetKeyAssignment(KeyOf(kKeyB), NamedAssignment(KEYKIND_PROFILE_BYNAME, L"Work"), first_);
    config_->SetKeyAssignment(KeyOf(kKeyA), SwitchById(otherId_), work_);
    config_->SetKeyAssignment(KeyOf(kKeyB), NamedAssignment(KEYKIND_PROFILE_BYNAME, L"Work"), lower_);
    window_->RefreshAssignedMarks();
    ASSERT_EQ(keyA_->GetCheck(), 1);
  }
  std::wstring Does(IKeyboardProfile* profile, uint32_t code) {
    if (profile == nullptr) return L"<none>";
    const KeyAssignment record = RecordOf(code, profile);
    switch (record.kind) {
      case KEYKIND_DEFAULT:
        return record.payload.key.scanCode == GlobalKeyboardDef().GetKeyDefault(KeyOf(code)).code ? L"default"
                                                                                                   : L"kind 0";
      case KEYKIND_PROFILE:
        return IsEqualGUID(record.payload.id, otherId_) ? L"id Other" : L"id ?";
      case KEYKIND_PROFILE_BYNAME:
        return L"name " + GetAssignmentText(record);
      default:
        return L"kind " + std::to_wstring(record.kind);
    }
  }
  // The profile that was at `index` before the action: found by what it holds now.
  IKeyboardProfile* Former(const std::wstring& name, const std::wstring& renamed) {
    IKeyboardProfile* profile = Named(name);
    return profile != nullptr ? profile : Named(renamed);
  }
  IKeyboardProfile* first_ = nullptr;
  IKeyboardProfile* work_ = nullptr;
  IKeyboardProfile* lower_ = nullptr;
  GUID otherId_{};
};

TEST_P(ProfileReferences, DeletesAndRenamesFollowTheKeysThatSwitchToTheProfile) {
  const ReferenceCase& c = GetParam();
  Build();
  c.act(*this);
  EXPECT_EQ(Does(first_, kKeyA), c.firstA);
  EXPECT_EQ(Does(first_, kKeyB), c.firstB);
  EXPECT_EQ(Does(Former(L"Work", L"Job"), kKeyA), c.workA);
  EXPECT_EQ(Does(Former(L"work", L"Home"), kKeyB), c.lowerB);
  // The marks show the active profile (profile 0) as it is now.
  EXPECT_EQ(keyA_->GetCheck(), std::wstring(c.firstA) == L"default" ? 0 : 1);
  EXPECT_EQ(keyB_->GetCheck(), std::wstring(c.firstB) == L"default" ? 0 : 1);
  EXPECT_TRUE(window_->m_modified);
}

INSTANTIATE_TEST_SUITE_P(
    ProfilesPage, ProfileReferences,
    ::testing::Values(
        ReferenceCase{"DeleteLowerCaseWorkResetsOnlyTheKeysNamingItExactly",
                      [](ProfileReferences& t) {
                        t.SelectRow(3);
                        t.Press(ids::BUTTON_DELETEPROFILE);
                      },
                      L"default", L"name Work", L"id Other", L"<none>"},
        ReferenceCase{"DeleteWorkFromTheMenu", [](ProfileReferences& t) { t.Action(2, L"$Delete"); },
                      L"name work", L"default", L"<none>", L"default"},
        ReferenceCase{"DeleteOtherResetsTheKeyThatSwitchesByItsId",
                      [](ProfileReferences& t) { t.Action(1, L"$Delete"); }, L"name work", L"name Work", L"default",
                      L"name Work"},
        ReferenceCase{"RenameWorkInThePopupRenamesTheKeysNamingItExactly",
                      [](ProfileReferences& t) {
                        t.popups_.dropdownChoice = L"Job";
                        t.Action(2, L"$Rename");
                      },
                      L"name work", L"name Job", L"id Other", L"name Job"},
        ReferenceCase{"RenameLowerCaseWorkInPlace",
                      [](ProfileReferences& t) {
                        t.SendList(ListRenameDoneMessage, 3, t.List()->ColumnInfo(kName)->columnIndex, L"Home");
                      },
                      L"name Home", L"name Work", L"id Other", L"name Work"}),
    [](const ::testing::TestParamInfo<ReferenceCase>& info) { return std::string(info.param.name); });

TEST_F(ProfilesPage, AutomaticSwitchingNeedsALinkedProgram) {
  AddDeviceProfile(L"Work");
  Open();
  IKeyboardProfile* work = Named(L"Work");
  Toggle(1, kAutoSwitch, true);
  EXPECT_EQ(PopupFiles(), (std::vector<std::wstring>{L"SelectApplicationWarningPopup.xml"}));
  EXPECT_EQ(work->GetAutoSwitch(), 0);
  EXPECT_EQ(Check(1, kAutoSwitch), 0) << "the box is cleared again";
  EXPECT_FALSE(window_->m_modified);

  const std::wstring path = L"C:\\Games\\game.exe";
  SendList(ListAssignApplicationMessage, 1, kProgram, path.c_str());
  EXPECT_EQ(work->GetPath(), path);
  EXPECT_EQ(work->GetFileName(), L"game.exe");
  EXPECT_TRUE(window_->m_modified);
  Toggle(1, kAutoSwitch, true);
  EXPECT_EQ(work->GetAutoSwitch(), 1);
  EXPECT_EQ(popups_.shown.size(), 1u);
  Toggle(1, kAutoSwitch, false);
  EXPECT_EQ(work->GetAutoSwitch(), 0);
}

TEST_F(ProfilesPage, ALinkedProgramsFileNameMustBeShorterThan127Characters) {
  AddDeviceProfile(L"Work");
  Open();
  IKeyboardProfile* work = Named(L"Work");
  const struct {
    const char* what;
    std::wstring path;
    bool taken;
  } cases[] = {
      {"126 characters", L"C:\\Games\\" + std::wstring(122, L'g') + L".exe", true},
      {"127 characters", L"C:\\Games\\" + std::wstring(123, L'g') + L".exe", false},
      {"a long folder, a short name", L"C:\\" + std::wstring(200, L'f') + L"\\game.exe", true},
      {"unassigned", L"", true},
  };
  for (const auto& c : cases) {
    work->SetPath(L"C:\\before.exe");
    window_->FillProfileList();
    popups_.shown.clear();
    SendList(ListAssignApplicationMessage, 1, kProgram, c.path.c_str());
    EXPECT_EQ(work->GetPath(), c.taken ? c.path : L"C:\\before.exe") << c.what;
    ASSERT_EQ(PopupFiles().size(), c.taken ? 0u : 1u) << c.what;
    if (!c.taken) {
      EXPECT_EQ(popups_.shown[0].skinFile, L"FileNameLengthLimitReachedPopUp.xml");
      EXPECT_EQ(popups_.shown[0].heading, L"$AssignApplication");
      EXPECT_EQ(Cell(1, kProgram), L"before.exe") << "the cell shows the program the profile keeps";
    }
  }
}

TEST_F(ProfilesPage, TheMenuOffersUnassigningOnlyWhereAProgramIsLinked) {
  AddDeviceProfile(L"Work");
  Open();
  Named(L"Work")->SetPath(L"C:\\game.exe");
  const auto unassignFlag = [&] {
    for (const ListPanelEntry& entry : Menu()->m_entries)
      if (entry.text == L"$UnassignApplication") return static_cast<int>(entry.disabled);
    return -1;
  };
  const struct {
    const char* what;
    int row, selected, flag;
  } cases[] = {
      {"a profile with a program", 1, 0, 0},
      {"a profile without", 0, 1, 1},
      {"no row: the selected one, with a program", -1, 1, 0},
      {"no row: the selected one, without", -1, 0, 1},
  };
  for (const auto& c : cases) {
    SelectRow(c.selected);
    SendList(ListMenuOpeningMessage, c.row, 0, nullptr);
    EXPECT_EQ(unassignFlag(), c.flag) << c.what;
  }
  for (const ListPanelEntry& entry : Menu()->m_entries)
    if (entry.text != L"$UnassignApplication") {
      EXPECT_EQ(entry.disabled, 0) << "only that entry";
    }
}

TEST_F(ProfilesPage, RestoreResetsTheProfileOnlyWhenConfirmed) {
  AddDeviceProfile(L"Work");
  Open();
  IKeyboardProfile* first = config_->GetProfile(0);
  IKeyboardProfile* work = Named(L"Work");
  for (IKeyboardProfile* profile : {first, work}) {
    config_->SetKeyAssignment(KeyOf(kKeyA), devtest::SingleKey(0x30, 0), profile);
    profile->SetPath(L"C:\\game.exe");
    profile->SetAutoSwitch(1);
  }
  window_->ShowPage(CMorvelAppDlg::kPageAssignKeys | CMorvelAppDlg::kPageLayout);
  window_->SendMessage(KeyClickMessage, 0, kKeyBElement);
  ASSERT_EQ(window_->m_selectedKey, keyB_);

  popups_.answer = 2;
  Press(ids::BUTTON_RESET);
  EXPECT_EQ(RecordOf(kKeyA, first).kind, KEYKIND_SINGLEKEY) << "not confirmed";
  EXPECT_EQ(window_->m_selectedKey, keyB_);

  popups_.answer = 1;
  Press(ids::BUTTON_RESET);
  EXPECT_EQ(PopupFiles(), (std::vector<std::wstring>{L"RestorePopup.xml", L"RestorePopup.xml"}));
  EXPECT_EQ(RecordOf(kKeyA, first).kind, KEYKIND_DEFAULT);
  EXPECT_EQ(first->GetPath(), L"");
  EXPECT_EQ(first->GetAutoSwitch(), 0);
  EXPECT_EQ(window_->m_selectedKey, nullptr) << "the active profile's reset releases the key";
  EXPECT_EQ(keyA_->GetCheck(), 0);
  EXPECT_EQ(RecordOf(kKeyA, work).kind, KEYKIND_SINGLEKEY) << "only the active profile";

  window_->ShowPage(CMorvelAppDlg::kPageProfiles);
  Action(1, L"$RestoreDefault");
  EXPECT_EQ(RecordOf(kKeyA, work).kind, KEYKIND_DEFAULT);
  EXPECT_EQ(Cell(1, kProgram), L"");
  EXPECT_EQ(Check(1, kAutoSwitch), 0);
  EXPECT_EQ(config_->GetActiveProfile(), first);
}

TEST_F(ProfilesPage, ExportAndImportGoThroughTheProfileFileDialog) {
  AddDeviceProfile(L"Work");
  Open();
  const std::wstring file = AppFolder + L"save\\Work.qxp";
  files_.answer = file;
  SelectRow(1);
  Press(ids::BUTTON_EXPORTPROFILE);
  ASSERT_EQ(files_.requests.size(), 1u);
  const platform::FileDialogRequest& request = files_.requests[0];
  EXPECT_FALSE(request.open);
  EXPECT_EQ(request.defaultExtension, L"qxp");
  EXPECT_EQ(request.fileName, L".qxp");
  EXPECT_EQ(request.flags, static_cast<DWORD>(OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY));
  EXPECT_EQ(request.filter, L"qxp Profile Files (*.qxp)|*.qxp||");
  EXPECT_EQ(request.initialFolder, AppFolder + L"save\\");
  EXPECT_EQ(request.owner, window_->m_hWnd);
  ASSERT_NE(::GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES) << "the service wrote the file";
  EXPECT_TRUE(popups_.shown.empty()) << "an export is not reported";

  // Deleted and applied, then imported back.
  Press(ids::BUTTON_DELETEPROFILE);
  ASSERT_EQ(config_->GetProfileCount(), 1);
  ASSERT_TRUE(window_->ApplyToDevice());
  ASSERT_TRUE(PumpUntil([&] { return !app_->m_device->IsWriting(); }));
  ASSERT_TRUE(app_->m_device->LastWriteSucceeded());
  ASSERT_EQ(app_->m_device->GetProfileCount(), 1);
  Press(ids::BUTTON_IMPORTPROFILE);
  ASSERT_EQ(files_.requests.size(), 2u);
  EXPECT_TRUE(files_.requests[1].open);
  EXPECT_EQ(files_.requests[1].initialFolder, AppFolder + L"save\\");
  EXPECT_EQ(Names().back(), L"Work");
  EXPECT_EQ(List()->GetItemCount(), 2);
  EXPECT_TRUE(window_->m_modified);
  ::DeleteFileW(file.c_str());
}

TEST_F(ProfilesPage, ExportAndImportRightAfterApplyWaitForTheWrite) {
  AddDeviceProfile(L"Work");
  Open();
  const struct {
    const char* what;
    int32_t button;
  } cases[] = {
      {"export", ids::BUTTON_EXPORTPROFILE},
      {"import", ids::BUTTON_IMPORTPROFILE},
  };
  for (const auto& c : cases) {
    popups_.shown.clear();
    files_.requests.clear();
    window_->SetModified(true);
    ASSERT_TRUE(window_->ApplyToDevice()) << c.what;
    ASSERT_TRUE(app_->m_device->IsWriting()) << c.what;
    SelectRow(1);
    Press(c.button);  // the dialog is cancelled
    EXPECT_TRUE(popups_.shown.empty()) << c.what << ": refused as if the keyboard lacked the profile";
    EXPECT_EQ(files_.requests.size(), 1u) << c.what;
    EXPECT_FALSE(app_->m_device->IsWriting()) << c.what;
  }
}

// The initial name left as it is chooses no file: a real dialog hands it back as
// a whole path in the save folder.
TEST_F(ProfilesPage, TheUntouchedInitialNameChoosesNoFile) {
  AddDeviceProfile(L"Work");
  Open();
  files_.answer = AppFolder + L"save\\.qxp";
  SelectRow(1);
  Press(ids::BUTTON_EXPORTPROFILE);
  Press(ids::BUTTON_IMPORTPROFILE);
  EXPECT_EQ(files_.requests.size(), 2u);
  EXPECT_TRUE(Calls(L"IDeviceProfile::ExportToFile").empty());
  EXPECT_TRUE(Calls(L"IProfileManager::ImportProfile").empty());
  EXPECT_EQ(config_->GetProfileCount(), 2);
  ::DeleteFileW(files_.answer.c_str());
}

TEST_F(ProfilesPage, ExportAndImportRefusals) {
  AddDeviceProfile(L"Work");
  Open();
  const std::wstring longPath = AppFolder + L"save\\" + std::wstring(260, L'x') + L".qxp";
  const struct {
    const char* what;
    std::function<void(ProfilesPage&)> prepare;
    int32_t button;
    int row;
    std::wstring answer;
    std::vector<std::wstring> popups;
    size_t dialogs;
    int profiles;
  } cases[] = {
      {"export without a selected row", nullptr, ids::BUTTON_EXPORTPROFILE, -1, L"x", {}, 0, 2},
      {"export of a profile new to the keyboard", [](ProfilesPage& t) { t.AddProfiles({L"New"}); },
       ids::BUTTON_SAVEPROFILE, 2, L"x", {L"ExportProfileWarningPopup.xml"}, 0, 3},
      {"import while the counts differ", [](ProfilesPage& t) { t.AddProfiles({L"New"}); },
       ids::BUTTON_IMPORTPROFILE, 0, L"x", {L"ImporttProfileWarningPopup.xml"}, 0, 3},
      {"import cancelled", nullptr, ids::BUTTON_IMPORTPROFILE, 0, L"", {}, 1, 2},
      {"import of only the initial name", nullptr, ids::BUTTON_IMPORTPROFILE, 0, L".qxp", {}, 1, 2},
      {"import of a path too long", nullptr, ids::BUTTON_IMPORTPROFILE, 0, longPath,
       {L"PathLengthLimitReachedPopUp.xml"}, 1, 2},
      {"import of a file that is not there", nullptr, ids::BUTTON_IMPORTPROFILE, 0, AppFolder + L"save\\none.qxp", {},
       1, 2},
  };
  for (const auto& c : cases) {
    while (config_->GetProfileCount() > 2) config_->DeleteProfile(config_->GetProfile(2));
    window_->RefreshProfileViews();
    window_->SetModified(false);
    popups_.shown.clear();
    files_.requests.clear();
    if (c.prepare) c.prepare(*this);
    files_.answer = c.answer;
    SelectRow(c.row);
    Press(c.button);
    EXPECT_EQ(PopupFiles(), c.popups) << c.what;
    EXPECT_EQ(files_.requests.size(), c.dialogs) << c.what;
    EXPECT_EQ(config_->GetProfileCount(), c.profiles) << c.what;
    if (PopupFiles() == std::vector<std::wstring>{L"PathLengthLimitReachedPopUp.xml"}) {
      EXPECT_EQ(popups_.shown[0].heading, L"$Import");
    }
  }
}

}  // namespace
}  // namespace configurator::testing
