// For the configurator's tests: the service core in this process behind the
// device seam, a small installation folder of its own, scripted registry,
// launcher and popups, and the application object's start pointed at them.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "configurator/App.h"
#include "configurator/MainWindow.h"
#include "configurator/popups/Popups.h"
#include "configurator/testing/Fakes.h"
#include "device/DeviceTestSupport.h"
#include "device/KeyboardDef.h"
#include "gui/controls/KeyboardKeyItem.h"
#include "gui/base/LangTable.h"
#include "gui/testing/SkinTestFolder.h"

namespace configurator::testing {

// A key item of the device key `code` on the window's layout page, as the skin
// would build it; `style` adds WS_VISIBLE where the test needs it on the screen.
inline CKeyboardKeyItem* AddLayoutKey(CMorvelAppDlg& window, int32_t elementId, uint32_t code, RECT rect,
                                      DWORD style = 0) {
  auto* key = new CKeyboardKeyItem();
  key->m_keyDef = GlobalKeyboardDef().FindDefinition(devtest::KeyOf(code));
  EXPECT_NE(key->m_keyDef, nullptr) << code;
  EXPECT_TRUE(key->Create(L"", WS_CHILD | BS_OWNERDRAW | style, rect, &window, static_cast<UINT>(elementId)));
  key->id = elementId;
  key->kind = GUIKIND_KBDKEY;
  key->hwnd = key->m_hWnd;
  key->parent = window.m_hWnd;
  window.m_layoutItems.push_back(key);
  return key;
}

// Records the popups asked for and answers them.
class ScriptedPopups final : public IPopups {
 public:
  struct Shown {
    std::wstring skinFile, heading;
    std::wstring extra;  // what a warning appends to its heading
  };
  ScriptedPopups() { SetPopups(this); }
  ~ScriptedPopups() override { SetPopups(nullptr); }
  INT_PTR Warning(CWnd*, const std::wstring& skinFile, const std::wstring& heading,
                  const std::wstring* extra) override {
    shown.push_back({skinFile, heading, extra != nullptr ? *extra : std::wstring()});
    return answer;
  }
  INT_PTR NameEntry(CWnd*, const std::wstring& skinFile, std::wstring& name) override {
    shown.push_back({skinFile, name});
    name = dropdownChoice;
    return answer;
  }
  INT_PTR NumberEntry(CWnd*, const std::wstring& skinFile, int& value) override {
    shown.push_back({skinFile, L""});
    value = number;
    return numberAnswer;
  }
  INT_PTR DropdownSelect(CWnd*, const std::wstring& skinFile, const std::vector<std::wstring>& names,
                         std::wstring& name) override {
    shown.push_back({skinFile, L""});
    offeredNames.push_back(names);
    preselected = name;
    name = dropdownChoice;
    return answer;
  }
  INT_PTR MacroAssignment(CWnd*, const std::wstring& skinFile, int& playMode, const std::vector<std::wstring>& names,
                          std::wstring& name) override {
    shown.push_back({skinFile, L""});
    offeredNames.push_back(names);
    preselected = name;
    name = macroName;
    playMode = macroMode;
    return answer;
  }
  INT_PTR SingleKey(CWnd*, const std::wstring& skinFile, std::wstring& text, int16_t& scanCode, int16_t& virtualKey,
                    uint8_t& flags) override {
    shown.push_back({skinFile, L""});
    handedKey = {text, scanCode, virtualKey, flags};
    if (whileSingleKeyOpen) whileSingleKeyOpen();
    text = singleKey.text;
    scanCode = singleKey.scanCode;
    virtualKey = singleKey.virtualKey;
    flags = singleKey.flags;
    return singleKey.text.empty() && singleKey.flags == 0 ? 2 : 1;
  }

  std::vector<Shown> shown;
  INT_PTR answer = 1;
  // The answers of the entry popups.
  int number = 0;
  INT_PTR numberAnswer = 1;
  std::wstring dropdownChoice, macroName, preselected;
  int macroMode = 1;
  struct Key {
    std::wstring text;
    int16_t scanCode = 0, virtualKey = 0;
    uint8_t flags = 0;
  };
  Key singleKey;
  // The key the last single-key popup was asked to start with.
  Key handedKey;
  // Runs while the single-key popup is open, as a key pressed then would.
  std::function<void()> whileSingleKeyOpen;
  std::vector<std::vector<std::wstring>> offeredNames;
};

class StartupTest : public devtest::DeviceTest {
 protected:
  void SetUp() override {
    devtest::DeviceTest::SetUp();
    folder_.Make(L"cfgstart");
    app_ = std::make_unique<CMorvelAppApp>();
    app_->m_environment.programFolder = AppFolder;
    app_->m_environment.instanceName = L"OVRIX_TEST_INSTANCE_" + std::to_wstring(::GetCurrentProcessId());
    app_->m_environment.registry = &registry_;
    app_->m_environment.deviceFactory = ServiceSeam();
    wchar_t current[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, current);
    savedFolder_ = current;
  }
  void TearDown() override {
    app_.reset();
    ::SetCurrentDirectoryW(savedFolder_.c_str());
    folder_.ClearSkin();
    devtest::DeviceTest::TearDown();
  }

  // The installation folder: languages English (default) and German, layouts
  // English and German; each language file has the key "$Hello".
  struct Folder : gui::testing::SkinFolder {
    void Make(const std::wstring& prefix) {
      MakeFolder(prefix);
      CreateDirectoryW((AppFolder + L"save").c_str(), nullptr);
      WriteLanguageFile(L"English.txt", L"English\nx\nHello\nHello\nEND OF FILE\n");
      WriteLanguageFile(L"German.txt", L"German\nx\nHello\nHallo\nEND OF FILE\n");
      WriteXml(L"Language.xml", R"(<ITEMLIST><LANGLIST>
          <LANG name="LANGUAGE_DEFAULT" file="English.txt"/>
          <LANG name="LANGUAGE_GERMAN" file="German.txt"/></LANGLIST></ITEMLIST>)");
      WriteXml(L"KeyboardLayout.xml", R"(<ITEMLIST><KBLAYOUTLIST>
          <KBLAYOUT name="KBLAYOUT_ENGLISH" kbdlayout="00000409"/>
          <KBLAYOUT name="KBLAYOUT_GERMAN" kbdlayout="00000407"/></KBLAYOUTLIST></ITEMLIST>)");
    }
  } folder_;

  static std::wstring Translate(const wchar_t* key) {
    std::wstring out;
    CLangTable::Translate(CurrentLangTable, key, out);
    return out;
  }

  std::unique_ptr<CMorvelAppApp> app_;
  FakeProgramRegistry registry_;
  RecordingLauncher launcher_;
  std::wstring savedFolder_;
};

// A started application and its main window, made from the test template.
class MainWindowFixture : public StartupTest {
 protected:
  static constexpr UINT kTestTemplate = 1102;
  // The main page (a plain one unless `pageXml` is given) on a background and mask
  // of the given size, and the main window's class registered under a name of the
  // tests' own: windows of the program's own class would make a configurator
  // started by another test think one runs already.
  void StageMainPage(int width, int height,
                     const std::string& pageXml = "<GUIPANEL><BACKGROUND>Back.bmp</BACKGROUND><MASK>Mask.bmp</MASK>"
                                                  "</GUIPANEL>") {
    folder_.WriteImage(L"Back.bmp", width, height, RGB(20, 30, 40));
    folder_.WriteImage(L"Mask.bmp", width, height, RGB(0, 0, 0));
    folder_.WriteXml(L"MainPage.xml", pageXml);
    ASSERT_TRUE(CMorvelAppApp::RegisterMainWindowClass(::GetModuleHandleW(nullptr), L"OVRIX_TEST_MAIN_WINDOW"));
  }
  void TearDown() override {
    window_.reset();
    StartupTest::TearDown();
  }
  // Starts the application, whose device read must succeed, and creates its window.
  void StartAndCreateWindow() {
    ASSERT_TRUE(app_->Start());
    ASSERT_TRUE(app_->m_deviceRead);
    window_ = std::make_unique<CMorvelAppDlg>(app_->m_device, app_->m_config, kTestTemplate);
    ASSERT_TRUE(window_->Create(kTestTemplate, nullptr));
  }

  std::unique_ptr<CMorvelAppDlg> window_;
};

}  // namespace configurator::testing
