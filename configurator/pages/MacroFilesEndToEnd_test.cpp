// Filing macros from the main window against the real DeviceService.exe (run on
// a data folder of its own, as the device layer's end to end tests run it): the
// service writes and reads the files in "save\" of the program folder, across its
// process boundary. Popups and file dialogs are answered by the test.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "configurator/ElementIds.h"
#include "configurator/MainWindow.h"
#include "configurator/testing/StartupFixture.h"
#include "gui/Messages.h"
#include "gui/panels/DropdownListItem.h"
#include "platform/FileDialog.h"
#include "service/ServiceLauncher.h"

namespace configurator::testing {
namespace {

namespace ids = configurator::ids;

const std::wstring kServiceExe = DosPath(OVRIX_SERVICE_EXE);

// Key H down, a pause, key H up, as the device keeps them (scan codes only).
MacroEvent Key(int scan, int state) { return MacroEvent{MACROEVENT_KEY, scan, state}; }
const MacroEventList kGreeting = {Key(0x23, 255), MacroEvent{MACROEVENT_DELAY, 120, 120}, Key(0x23, 1)};

std::string Rect(int left, int top, int width = 20, int height = 20) {
  return "<RECT left=\"" + std::to_string(left) + "\" top=\"" + std::to_string(top) + "\" right=\"" +
         std::to_string(width) + "\" bottom=\"" + std::to_string(height) + "\"/>";
}

std::string Buttons(const std::vector<const char*>& names, int top) {
  std::string xml;
  int left = 4;
  for (const char* name : names) {
    xml += std::string("<BUTTON name=\"") + name + "\">" + Rect(left, top) + "</BUTTON>";
    left += 24;
  }
  return xml;
}

std::string MacroDisplay(const char* name, bool readOnly) {
  return std::string("<MACRODISPLAY name=\"") + name + "\" readonly=\"" + (readOnly ? "1" : "0") + "\">" +
         Rect(4, 100, 300, 160) +
         "<LISTCOLUMN name=\"LCITEM_MCREVENT_ICON\" type=\"ICON\" width=\"30\"/>"
         "<LISTCOLUMN name=\"LCITEM_MCREVENT_DESCRIP\" type=\"STATIC\" width=\"250\"/></MACRODISPLAY>";
}

// The macros page with only what filing uses: the drop-down, the buttons and
// the event lists.
std::string MacrosPageXml() {
  return "<ITEMLIST><BUTTONLIST>" +
         Buttons({"BUTTON_MACRO_CREATE", "BUTTON_MACRO_EXPORT", "BUTTON_MACRO_IMPORT", "BUTTON_MACRO_DELETE",
                  "BUTTON_MACRO_RECORD_START", "BUTTON_MACRO_RECORD_STOP", "BUTTON_MACRO_RECORD_PLAY"},
                 40) +
         "</BUTTONLIST><MACRODISPLAYLIST>" + MacroDisplay("MACRO_DISPLAY", false) +
         MacroDisplay("MACRO_DISPLAY_READONLY", true) +
         "</MACRODISPLAYLIST><LISTLIST><COMBO name=\"LIST_GLOBALMACROLIST\"><CBOX>" + Rect(4, 300, 120, 20) +
         "</CBOX><CLIST height=\"100\"/></COMBO></LISTLIST></ITEMLIST>";
}

// The configuration as the service holds it, read by a client of its own.
struct ServiceView {
  CMorvelConfig config{L".\\"};
  bool read = false;
  ServiceView() {
    CKeyboard keyboard;
    read = keyboard.ReadFromDevice(&config) && keyboard.TransferConfig(&config, TRANSFER_FROM_DEVICE, TRANSFER_READ_ALL);
  }
};

class MacroFilesEndToEnd : public MainWindowFixture {
 protected:
  void SetUp() override {
    StartupTest::SetUp();
    // The real service in place of the in-process core: the start-up's default
    // device factory reaches it.
    ASSERT_TRUE(StopService());
    serviceFolder_ = NewDataFolder(L"ovrix-macro-files-e2e-");
    ASSERT_TRUE(StartService(kServiceExe, serviceFolder_));
    app_->m_environment.deviceFactory = {};
    StageMainPage(640, 460);
    folder_.WriteImage(L"S.bmp", 12, 12, RGB(90, 90, 90));
    folder_.WriteXml(L"ManageMacros.xml", MacrosPageXml());
    ::SetCursorPos(1200, 1000);
  }
  void TearDown() override {
    window_.reset();
    // The session's resident service is started again by the harness afterwards.
    StopService();
    MainWindowFixture::TearDown();
  }

  // A macro "Greeting", written to the service by a client of its own before the
  // configurator starts.
  void SeedService() {
    CMorvelConfig config(L".\\");
    CKeyboard keyboard;
    ASSERT_TRUE(keyboard.ReadFromDevice(&config));
    ASSERT_TRUE(keyboard.TransferConfig(&config, TRANSFER_FROM_DEVICE, TRANSFER_READ_ALL));
    CMacro* macro = config.CreateMacro(L"Greeting");
    ASSERT_NE(macro, nullptr);
    macro->events = kGreeting;
    ASSERT_TRUE(keyboard.TransferConfig(&config, TRANSFER_TO_DEVICE, TRANSFER_WRITE_ALL));
    ASSERT_TRUE(PumpUntil([&] { return !keyboard.IsWriting(); }));
    ASSERT_TRUE(keyboard.LastWriteSucceeded());
  }

  void Open() {
    ASSERT_NO_FATAL_FAILURE(StartAndCreateWindow());
    config_ = app_->m_config;
    window_->ShowWindow(SW_SHOWNA);
    window_->ShowPage(CMorvelAppDlg::kPageMacros);
  }

  CDropdownListItem* MacroDropdown() {
    return static_cast<CDropdownListItem*>(FindItemById(window_->m_macroItems, ids::LIST_GLOBALMACROLIST));
  }
  void Press(int32_t id) {
    CGUIItem* button = FindItemById(window_->m_macroItems, id);
    ASSERT_NE(button, nullptr) << id;
    window_->SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button->hwnd));
  }
  // The macro's entry chosen in the drop-down, as the user chooses it.
  void ChooseMacro(const std::wstring& name) {
    CDropdownListItem* dropdown = MacroDropdown();
    for (int i = 0; i < static_cast<int>(dropdown->m_entries.size()); ++i)
      if (dropdown->GetLBText(i) == name) {
        dropdown->SetCurSel(i, nullptr);
        window_->SendMessage(DropdownSelChangedMessage, static_cast<WPARAM>(i),
                             reinterpret_cast<LPARAM>(dropdown->m_hWnd));
        return;
      }
    ADD_FAILURE() << "no drop-down entry for the macro";
  }
  void Apply() {
    ASSERT_TRUE(window_->ApplyToDevice());
    ASSERT_TRUE(PumpUntil([&] { return !app_->m_device->IsWriting(); }));
    ASSERT_TRUE(app_->m_device->LastWriteSucceeded());
  }
  std::vector<std::wstring> PopupFiles() const {
    std::vector<std::wstring> files;
    for (const auto& shown : popups_.shown) files.push_back(shown.skinFile);
    return files;
  }
  static bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

  ScriptedPopups popups_;
  FakeFileDialogs files_;
  IKeyboardConfig* config_ = nullptr;
  std::wstring serviceFolder_;
};

TEST_F(MacroFilesEndToEnd, MacroExportedDeletedAndImportedBack) {
  SeedService();
  Open();
  const std::wstring file = AppFolder + L"save\\Greeting.qxm";

  // Exported into "save\" by the service.
  ChooseMacro(L"Greeting");
  files_.answer = file;
  Press(ids::BUTTON_MACRO_EXPORT);
  ASSERT_EQ(files_.requests.size(), 1u);
  EXPECT_EQ(files_.requests[0].initialFolder, AppFolder + L"save\\");
  ASSERT_TRUE(FileExists(file)) << "the service wrote no macro file";
  EXPECT_EQ(PopupFiles(), std::vector<std::wstring>{}) << "an export is not reported";

  // Deleted (confirmed) and applied: the service holds no macro.
  Press(ids::BUTTON_MACRO_DELETE);
  EXPECT_EQ(PopupFiles(), std::vector<std::wstring>{L"ConfirmDeleteMacroPopup.xml"});
  ASSERT_EQ(config_->GetMacroCount(), 0);
  Apply();
  {
    ServiceView service;
    ASSERT_TRUE(service.read);
    EXPECT_EQ(service.config.GetMacroCount(), 0);
  }
  ASSERT_TRUE(FileExists(file)) << "a delete takes no exported file";

  // A macro not yet applied makes the counts differ from the service's: the
  // import warns, opens no dialog and changes nothing, here or in the service.
  ASSERT_NE(config_->CreateMacro(L"Unapplied"), nullptr);
  window_->FillMacroDropdown();
  popups_.shown.clear();
  files_.requests.clear();
  window_->SetModified(false);
  Press(ids::BUTTON_MACRO_IMPORT);
  EXPECT_EQ(PopupFiles(), std::vector<std::wstring>{L"ImportMacroWarningPopup.xml"});
  EXPECT_TRUE(files_.requests.empty()) << "a dialog after the warning";
  EXPECT_EQ(config_->GetMacroCount(), 1);
  EXPECT_EQ(MacroDropdown()->m_entries.size(), 1u);
  EXPECT_FALSE(window_->m_modified);
  EXPECT_EQ(app_->m_device->GetMacroCount(), 0) << "the service took the file all the same";
  config_->DeleteMacro(config_->FindMacroByName(L"Unapplied"));
  window_->FillMacroDropdown();

  // Imported back from the file, with its events.
  popups_.shown.clear();
  Press(ids::BUTTON_MACRO_IMPORT);
  EXPECT_EQ(PopupFiles(), std::vector<std::wstring>{});
  ASSERT_EQ(files_.requests.size(), 1u);
  EXPECT_TRUE(files_.requests[0].open);
  CMacro* greeting = config_->FindMacroByName(L"Greeting");
  ASSERT_NE(greeting, nullptr) << "the macro was not imported";
  EXPECT_EQ(greeting->events, kGreeting);
  ASSERT_EQ(MacroDropdown()->m_entries.size(), 1u);
  EXPECT_EQ(MacroDropdown()->GetLBText(0), L"Greeting");
  EXPECT_TRUE(window_->m_modified);

  // Applied, the service holds it as it was, once.
  Apply();
  ServiceView service;
  ASSERT_TRUE(service.read);
  ASSERT_EQ(service.config.GetMacroCount(), 1);
  ASSERT_NE(service.config.FindMacroByName(L"Greeting"), nullptr);
  EXPECT_EQ(service.config.FindMacroByName(L"Greeting")->events, kGreeting);
  ::DeleteFileW(file.c_str());
}

}  // namespace
}  // namespace configurator::testing
