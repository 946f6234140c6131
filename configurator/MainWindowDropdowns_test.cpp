// The main window's drop-downs against the service core in this process: what
// they are filled with, and a profile chosen in the profile drop-down.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "configurator/ElementIds.h"
#include "configurator/ItemAccess.h"
#include "configurator/MainWindow.h"
#include "configurator/testing/StartupFixture.h"
#include "device/KeyboardDef.h"
#include "gui/Messages.h"
#include "gui/controls/KeyboardKeyItem.h"
#include "gui/controls/MacroDisplayItem.h"
#include "gui/panels/DropdownListItem.h"

namespace configurator::testing {
namespace {

namespace ids = configurator::ids;
using devtest::kKeyA;
using devtest::KeyOf;

constexpr int32_t kKeyAElement = 486;  // BUTTON_KB_A

std::string Combo(const char* name, int top) {
  return "<COMBO name=\"" + std::string(name) + "\"><CBOX><RECT left=\"10\" top=\"" + std::to_string(top) +
         "\" right=\"150\" bottom=\"20\"/></CBOX><CLIST height=\"80\"/></COMBO>";
}

class MainWindowDropdowns : public MainWindowFixture {
 protected:
  void SetUp() override {
    StartupTest::SetUp();
    StageMainPage(400, 300,
                  "<GUIPANEL><BACKGROUND>Back.bmp</BACKGROUND><MASK>Mask.bmp</MASK><LISTLIST>" +
                      Combo("LIST_GLOBALPROFILELIST", 10) + "</LISTLIST></GUIPANEL>");
    folder_.WriteImage(L"Btn.bmp", 16, 16, RGB(90, 90, 90));
    folder_.WriteXml(L"ManageMacros.xml",
                     "<ITEMLIST><LISTLIST>" + Combo("LIST_GLOBALMACROLIST", 40) + Combo("LIST_GLOBAL_BASIC_COMMANDS", 70) +
                         Combo("LIST_GLOBAL_ADDITIONAL_COMMANDS", 100) +
                         "</LISTLIST><MACRODISPLAYLIST><MACRODISPLAY name=\"MACRO_DISPLAY\" max=\"50\">"
                         "<RECT left=\"200\" top=\"10\" right=\"180\" bottom=\"100\"/>"
                         "<LISTCOLUMN name=\"LCITEM_MCREVENT_DESCRIP\" type=\"STATIC\" width=\"170\"/>"
                         "</MACRODISPLAY></MACRODISPLAYLIST></ITEMLIST>");
    folder_.WriteXml(L"ManageProfiles.xml",
                     "<ITEMLIST><BUTTONLIST><BUTTON name=\"BUTTON_ENABLE_PROFILE_OSD\" ischeckbox=\"1\"><SBMN>Btn.bmp</SBMN>"
                     "<RECT left=\"10\" top=\"130\" right=\"16\" bottom=\"16\"/></BUTTON></BUTTONLIST></ITEMLIST>");
    // Two profiles whose names differ only in case, after the factory's one.
    AddDeviceProfile(L"Work");
    AddDeviceProfile(L"work");
    AddDeviceMacro(L"Alpha", {{3, 20}});
    AddDeviceMacro(L"Beta", {{3, 20}, {3, 30}});
  }

  void Open() {
    ASSERT_NO_FATAL_FAILURE(StartAndCreateWindow());
    ASSERT_EQ(app_->m_config->GetProfileCount(), 3);
    // Key A on the layout page, for its mark.
    keyA_ = AddLayoutKey(*window_, kKeyAElement, kKeyA, RECT{200, 200, 240, 240}, WS_VISIBLE);
    window_->RefreshAssignedMarks();
  }
  CDropdownListItem* Dropdown(int32_t id) {
    for (const GUIItemList* list : {&window_->Items(), static_cast<const GUIItemList*>(&window_->m_macroItems)})
      if (CGUIItem* item = FindItemById(*list, id)) return static_cast<CDropdownListItem*>(item);
    ADD_FAILURE() << "no drop-down " << id;
    return nullptr;
  }
  static std::vector<std::wstring> Entries(const CDropdownListItem* box) {
    std::vector<std::wstring> texts;
    if (box != nullptr)
      for (const ListPanelEntry& entry : box->m_entries) texts.push_back(entry.text);
    return texts;
  }
  IKeyboardProfile* ProfileNamed(const std::wstring& name) {
    for (int i = 0; i < app_->m_config->GetProfileCount(); ++i)
      if (app_->m_config->GetProfile(i)->GetName() == name) return app_->m_config->GetProfile(i);
    ADD_FAILURE() << "no profile named exactly so";
    return nullptr;
  }
  // What the drop-down does once the user chose entry `index`.
  void Choose(CDropdownListItem* box, int index) {
    box->SetCurSel(index, nullptr);
    window_->SendMessage(DropdownSelChangedMessage, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(box->m_hWnd));
  }

  ScriptedPopups popups_;
  CKeyboardKeyItem* keyA_ = nullptr;
};

TEST_F(MainWindowDropdowns, TheDropdownsHoldTheProfilesMacrosAndPredefinedCommandsInOrder) {
  Open();
  const std::wstring first = app_->m_config->GetProfile(0)->GetName();
  ASSERT_EQ(app_->m_config->GetActiveProfile(), app_->m_config->GetProfile(0));
  CDropdownListItem* profiles = Dropdown(ids::LIST_GLOBALPROFILELIST);
  EXPECT_EQ(Entries(profiles), (std::vector<std::wstring>{first, L"Work", L"work"}));
  EXPECT_EQ(profiles->m_shownText, first) << "the active profile is the one shown";
  EXPECT_EQ(Entries(Dropdown(ids::LIST_GLOBALMACROLIST)), (std::vector<std::wstring>{L"Alpha", L"Beta"}));
  EXPECT_EQ(Entries(Dropdown(ids::LIST_GLOBAL_BASIC_COMMANDS)),
            (std::vector<std::wstring>{L"$cut", L"$copy", L"$paste", L"$undo", L"$all", L"$find", L"$new", L"$print",
                                       L"$save"}));
  EXPECT_EQ(Entries(Dropdown(ids::LIST_GLOBAL_ADDITIONAL_COMMANDS)),
            (std::vector<std::wstring>{L"$swapwindows", L"$closewindow", L"$lockpc", L"$openexplorer", L"$run",
                                       L"$showdesktop", L"$zoomin", L"$zoomout"}));

  // Filled again, a drop-down shows only what is still among its entries.
  CDropdownListItem* macros = Dropdown(ids::LIST_GLOBALMACROLIST);
  macros->SetCurSel(1, nullptr);
  app_->m_config->DeleteMacro(app_->m_config->FindMacroByName(L"Beta"));
  window_->FillMacroDropdown();
  EXPECT_EQ(Entries(macros), std::vector<std::wstring>{L"Alpha"});
  EXPECT_EQ(macros->m_shownText, L"") << "a deleted macro is no longer shown";
  ASSERT_TRUE(app_->m_config->SetActiveProfile(ProfileNamed(L"work")));
  window_->FillProfileDropdown();
  EXPECT_EQ(profiles->m_shownText, L"work");
  EXPECT_EQ(profiles->GetCurSel(), 2);
}

TEST_F(MainWindowDropdowns, AChosenProfileIsTheOneAtThatPosition) {
  Open();
  CDropdownListItem* profiles = Dropdown(ids::LIST_GLOBALPROFILELIST);
  IKeyboardProfile* first = app_->m_config->GetProfile(0);
  const std::wstring firstName = first->GetName();
  // Only "work" has key A disabled and its name shown on screen.
  KeyAssignment disabled;
  disabled.kind = KEYKIND_DISABLED;
  ASSERT_TRUE(app_->m_config->SetKeyAssignment(KeyOf(kKeyA), disabled, ProfileNamed(L"work")));
  for (IKeyboardProfile* profile : {first, ProfileNamed(L"Work")}) profile->SetShowOsd(0);
  ProfileNamed(L"work")->SetShowOsd(1);
  CGUIItem* osd = FindItemById(window_->m_profileItems, ids::BUTTON_ENABLE_PROFILE_OSD);
  ASSERT_NE(osd, nullptr);

  const struct {
    const char* what;
    int index;
    std::function<void()> before;  // a change made before the choice, or null
    bool fromOtherBox;             // reported by the macro drop-down instead
    std::wstring active;           // exactly
    bool modified, keyMarked, osdTicked;
  } cases[] = {
      {"\"work\"", 2, nullptr, false, L"work", true, true, true},
      {"\"Work\"", 1, nullptr, false, L"Work", true, false, false},
      {"the active one", 0, nullptr, false, firstName, false, false, false},
      {"past the last entry", 5, nullptr, false, firstName, false, false, false},
      {"from the macro drop-down", 2, nullptr, true, firstName, false, false, false},
      {"entries no longer in step with the profiles", 2,
       [&] { ASSERT_NE(app_->m_config->RenameProfile(ProfileNamed(L"work"), L"Play"), nullptr); }, false, firstName,
       false, false, false},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(app_->m_config->SetActiveProfile(first));
    window_->FillProfileDropdown();
    window_->RefreshAssignedMarks();
    configurator::SetItemCheck(osd, false);
    window_->SetModified(false);
    if (c.before) c.before();
    if (c.fromOtherBox) {
      window_->SendMessage(DropdownSelChangedMessage, static_cast<WPARAM>(c.index),
                           reinterpret_cast<LPARAM>(Dropdown(ids::LIST_GLOBALMACROLIST)->m_hWnd));
    } else {
      Choose(profiles, c.index);
    }
    ASSERT_NE(app_->m_config->GetActiveProfile(), nullptr) << c.what;
    EXPECT_EQ(app_->m_config->GetActiveProfile()->GetName(), c.active) << c.what;
    EXPECT_EQ(profiles->m_shownText, c.active) << c.what << ": the drop-down shows the active profile";
    EXPECT_EQ(window_->m_modified, c.modified) << c.what;
    EXPECT_EQ(keyA_->GetCheck() != 0, c.keyMarked) << c.what << ": the marks are the active profile's";
    EXPECT_EQ(configurator::IsItemChecked(osd), c.osdTicked) << c.what;
  }
  EXPECT_EQ(Entries(profiles), (std::vector<std::wstring>{firstName, L"Work", L"Play"}))
      << "entries out of step are filled again";
}

TEST_F(MainWindowDropdowns, AChosenMacroIsShownInTheEventList) {
  Open();
  CGUIItem* item = FindItemById(window_->m_macroItems, ids::MACRO_DISPLAY);
  ASSERT_NE(item, nullptr);
  ASSERT_EQ(item->kind, GUIKIND_MACRODISPLAY);
  auto* display = static_cast<CMacroDisplayItem*>(item);
  CDropdownListItem* macros = Dropdown(ids::LIST_GLOBALMACROLIST);
  const struct {
    const char* what;
    int index;
    int rows, state;
  } cases[] = {
      {"the second macro", 1, 2, 1},
      {"the first macro", 0, 1, 1},
      {"past the last entry", 2, 0, 0},
  };
  for (const auto& c : cases) {
    display->ClearEvents();
    window_->SetMacroPageState(0);
    Choose(macros, c.index);
    EXPECT_EQ(display->GetItemCount(), c.rows) << c.what;
    EXPECT_EQ(window_->m_macroState, c.state) << c.what;
  }
}

}  // namespace
}  // namespace configurator::testing
