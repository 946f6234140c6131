#include "gui/panels/SingleKeyEntry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/InputFakes.h"
#include "device/RawInput.h"
#include "gui/controls/SingleKeyEdit.h"
#include "gui/testing/SkinTestFolder.h"

namespace {

using device::testing::FakeKeyboardText;
using device::testing::FakeRawInput;

LPARAM KeyLParam(int scan) { return static_cast<LPARAM>(1 | (scan << 16)); }

// Posts the given messages once the popup's items are bound, so they pass
// through the modal loop as a user's would.
template <typename Base>
class ScriptedPopup : public Base {
 public:
  struct Step {
    bool toEdit;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
  };
  using Base::Base;
  BOOL OnInitDialog() override {
    const BOOL result = Base::OnInitDialog();
    focusOnEdit = this->m_keyEdit && ::GetFocus() == this->m_keyEdit->m_hWnd;
    for (const Step& step : script) {
      HWND target = step.toEdit && this->m_keyEdit ? this->m_keyEdit->m_hWnd : this->m_hWnd;
      ::PostMessageW(target, step.msg, step.wParam, step.lParam);
    }
    return result;
  }
  std::vector<Step> script;
  bool focusOnEdit = false;
};

class SingleKeyEntryTest : public gui::testing::SkinTestFolder {
 protected:
  void SetUp() override {
    gui::testing::SkinTestFolder::SetUp();
    WriteImage(L"bg.bmp", 120, 60, RGB(0, 0, 90));
    WriteImage(L"mask.bmp", 120, 60, RGB(0, 0, 0));
    text.names[0x1C << 16] = L"Enter";
    text.names[0x01 << 16] = L"Esc";
    text.names[0x1E << 16] = L"A";
  }
  void TearDown() override {
    FrameworkRawInputRegistrar().Unregister();
    gui::testing::SkinTestFolder::TearDown();
  }
  void WritePopup(const std::wstring& name, const char* element) {
    WriteXml(name, std::string("<GUIPANEL><BACKGROUND>bg.bmp</BACKGROUND><MASK>mask.bmp</MASK><EDITCTRLLIST><") +
                       element + " name=\"EDITCTRL_POPUP_SINGLEKEYENTRY\"><RECT left=\"10\" top=\"10\" right=\"80\" "
                       "bottom=\"20\"/></" + element + "></EDITCTRLLIST></GUIPANEL>");
  }

  FakeKeyboardText text;
  FakeRawInput raw;
};

using Popup = ScriptedPopup<CPopupBoxSingleKeyEntry>;

TEST_F(SingleKeyEntryTest, EnterAndEscAreKeysAndOnlyOkClosesWithTheKey) {
  WritePopup(L"SingleKey.xml", "EDITCTRLSK");
  struct Row {
    const char* what;
    WPARAM key;
    int scan;
    const wchar_t* name;
  } rows[] = {{"Enter", VK_RETURN, 0x1C, L"Enter"}, {"Esc", VK_ESCAPE, 0x01, L"Esc"}, {"A", 'A', 0x1E, L"A"}};
  for (const Row& row : rows) {
    SingleKeyResult result;
    result.name = L"old";
    Popup popup(L"SingleKey.xml", 129, nullptr, &result);
    popup.script = {
        {true, WM_KEYDOWN, row.key, KeyLParam(row.scan)},
        {false, WM_COMMAND, IDCANCEL, 0},  // what Esc would give: ignored after Enter or Esc
        {false, WM_COMMAND, IDOK, 0},      // what Enter would give: no close yet
        {false, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5)},  // the user goes for the OK button
        {false, WM_COMMAND, IDOK, 0},
    };
    const bool enterOrEsc = row.key != 'A';
    if (!enterOrEsc) popup.script.erase(popup.script.begin() + 1, popup.script.begin() + 3);
    EXPECT_EQ(popup.DoModal(), IDOK) << row.what;
    EXPECT_TRUE(popup.focusOnEdit) << row.what;
    EXPECT_EQ(result.name, row.name) << row.what;
    EXPECT_EQ(result.scanCode, row.scan) << row.what;
    EXPECT_EQ(result.virtualKey, row.key) << row.what;
    EXPECT_EQ(result.flags, 0) << row.what;
  }
}

TEST_F(SingleKeyEntryTest, CancelEmptiesTheNameAndOkWithoutAKeyStaysOpen) {
  WritePopup(L"SingleKey.xml", "EDITCTRLSK");
  SingleKeyResult result;
  result.name = L"old";
  Popup popup(L"SingleKey.xml", 129, nullptr, &result);
  popup.script = {{false, WM_COMMAND, IDOK, 0}, {false, WM_COMMAND, IDCANCEL, 0}};
  EXPECT_EQ(popup.DoModal(), IDCANCEL);
  EXPECT_EQ(result.name, L"");
}

TEST_F(SingleKeyEntryTest, BindsOnlyTheEditItsKindAsks) {
  WritePopup(L"Plain.xml", "EDITCTRLSK");
  WritePopup(L"Combination.xml", "EDITCTRLSKMMO");
  WriteXml(L"Text.xml",
           "<GUIPANEL><BACKGROUND>bg.bmp</BACKGROUND><MASK>mask.bmp</MASK><EDITCTRLLIST>"
           "<EDITCTRL name=\"EDITCTRL_POPUP_SINGLEKEYENTRY\"/></EDITCTRLLIST></GUIPANEL>");
  struct Row {
    const wchar_t* file;
    bool plainBinds, combinationBinds;
  } rows[] = {{L"Plain.xml", true, false}, {L"Combination.xml", true, true}, {L"Text.xml", false, false}};
  for (const Row& row : rows) {
    CPopupBoxSingleKeyEntry plain(row.file, 129, nullptr, nullptr);
    ASSERT_TRUE(plain.Create(129));
    EXPECT_EQ(plain.m_keyEdit != nullptr, row.plainBinds);
    plain.DestroyWindow();
    CPopupBoxSingleKeyEntryMMO combination(row.file, 129, nullptr, nullptr);
    ASSERT_TRUE(combination.Create(129));
    EXPECT_EQ(combination.KeyEditMmo() != nullptr, row.combinationBinds);
    combination.DestroyWindow();
  }
}

TEST_F(SingleKeyEntryTest, ThePopupsWindowTakesItsEditsRegistrationWithIt) {
  WritePopup(L"SingleKey.xml", "EDITCTRLSK");
  Popup popup(L"SingleKey.xml", 129, nullptr, nullptr);
  popup.script = {{false, WM_COMMAND, IDCANCEL, 0}};
  popup.DoModal();
  ASSERT_EQ(raw.calls.size(), 2u);
  EXPECT_EQ(raw.calls[1].devices[0].dwFlags, DWORD{RIDEV_REMOVE});
  EXPECT_FALSE(FrameworkRawInputRegistrar().IsRegistered());
}

TEST_F(SingleKeyEntryTest, WithoutAKeyEditEscStillCloses) {
  // A popup whose skin lacks the key edit captures nothing: Esc and the close
  // box end it as any popup.
  WriteXml(L"Text.xml",
           "<GUIPANEL><BACKGROUND>bg.bmp</BACKGROUND><MASK>mask.bmp</MASK><EDITCTRLLIST>"
           "<EDITCTRL name=\"EDITCTRL_POPUP_SINGLEKEYENTRY\"/></EDITCTRLLIST></GUIPANEL>");
  // Id 99 ends a popup that stayed open, so that the test ends either way.
  struct EndablePopup : Popup {
    using Popup::Popup;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
      if (LOWORD(wParam) != 99) return Popup::OnCommand(wParam, lParam);
      EndDialog(99);
      return TRUE;
    }
  };
  for (const UINT close : {UINT{WM_COMMAND}, UINT{WM_CLOSE}}) {
    SingleKeyResult result;
    EndablePopup popup(L"Text.xml", 129, nullptr, &result);
    popup.script = {{false, WM_KEYDOWN, VK_ESCAPE, KeyLParam(0x01)},
                    {false, close, close == WM_COMMAND ? WPARAM{IDCANCEL} : 0, 0},
                    {false, WM_COMMAND, 99, 0}};
    EXPECT_EQ(popup.DoModal(), IDCANCEL) << (close == WM_CLOSE ? "the close box" : "Esc");
  }
}

}  // namespace
