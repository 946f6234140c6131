// The popups on small skin files of their own, each run modally with the
// user's actions played from inside its loop.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "configurator/ElementIds.h"
#include "configurator/ItemAccess.h"
#include "configurator/popups/ChoicePopups.h"
#include "configurator/popups/EntryPopups.h"
#include "configurator/popups/Placement.h"
#include "configurator/popups/Popups.h"
#include "configurator/popups/WarningDlg.h"
#include "device/InputFakes.h"
#include "gui/controls/EditItem.h"
#include "gui/controls/SingleKeyEdit.h"
#include "gui/panels/DropdownListItem.h"
#include "gui/base/LangTable.h"
#include "gui/testing/PopupSteps.h"
#include "gui/testing/SkinTestFolder.h"
#include "platform/testing/GuiTestHost.h"
#include "platform/testing/TestFiles.h"

namespace {

namespace ids = configurator::ids;

// A popup whose script runs inside its modal loop once it is shown; a script
// that leaves it open has it ended with 99.
template <class Popup>
class Scripted : public Popup {
 public:
  using Popup::Popup;
  std::function<void(Scripted&)> script;
  std::wstring title;

  BOOL OnInitDialog() override {
    const BOOL result = Popup::OnInitDialog();
    title = this->GetWindowText();
    this->PostMessage(kRun);
    return result;
  }
  // A click on the popup's button with this element id, as the button reports it.
  void Click(int32_t id) {
    CGUIItem* button = FindItemById(this->m_items, id);
    ASSERT_NE(button, nullptr) << id;
    this->SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button->hwnd));
  }
  CGUIItem* ItemWithId(int32_t id) { return FindItemById(this->m_items, id); }

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (msg == kRun) {
      if (script) script(*this);
      this->PostMessage(kEnd);
      result = 0;
      return true;
    }
    if (msg == kEnd) {
      this->EndDialog(99);
      result = 0;
      return true;
    }
    return Popup::OnMessage(msg, wParam, lParam, result);
  }

 private:
  static constexpr UINT kRun = WM_APP + 70, kEnd = WM_APP + 71;
};

class PopupTest : public gui::testing::SkinTestFolder {
 protected:
  void SetUp() override {
    MakeFolder(L"cfgpopup");
    WriteImage(L"Back.bmp", 300, 160, RGB(40, 40, 40));
    WriteImage(L"Mask.bmp", 300, 160, RGB(0, 0, 0));
    WriteImage(L"Btn.bmp", 80, 24, RGB(90, 90, 90));
    WriteLanguageFile(L"en.txt", L"English\nx\nHeading\nThe heading\nReplaced\nAnother heading\nEND OF FILE\n");
    table_ = std::make_unique<CLangTable>();
    const std::string bytes = platform::testing::ReadWholeFile(AppFolder + L"lang\\en.txt");
    ASSERT_TRUE(CLangTable::ParseTextFile(bytes.size(), bytes.data(), table_.get()));
    CurrentLangTable = table_.get();
  }
  void TearDown() override {
    CurrentLangTable = nullptr;
    gui::testing::SkinTestFolder::TearDown();
  }
  // A popup file: background, OK and Cancel, the heading, and the given items.
  void WritePopup(const std::wstring& name, const std::string& items) {
    const std::string button = "<SBMN>Btn.bmp</SBMN><SBMO>Btn.bmp</SBMO><SBMD>Btn.bmp</SBMD><SBMDS>Btn.bmp</SBMDS>";
    WriteXml(name, "<GUIPANEL><BACKGROUND>Back.bmp</BACKGROUND><MASK>Mask.bmp</MASK><BUTTONLIST>"
                   "<BUTTON name=\"BUTTON_POPUP_OK\">" + button + "<RECT left=\"20\" top=\"120\" right=\"80\" bottom=\"24\"/></BUTTON>"
                   "<BUTTON name=\"BUTTON_POPUP_CANCEL\">" + button + "<RECT left=\"120\" top=\"120\" right=\"80\" bottom=\"24\"/></BUTTON>"
                   + extraButtons_ + "</BUTTONLIST><TEXTLIST><TEXTITEM name=\"TEXT_WARNDLG_HEADING\" textkey=\"$Heading\">"
                   "<RECT left=\"10\" top=\"10\" right=\"280\" bottom=\"20\"/></TEXTITEM>" + extraTexts_ + "</TEXTLIST>"
                   "<EDITCTRLLIST>" + items + "</EDITCTRLLIST><LISTLIST>" + extraLists_ + "</LISTLIST></GUIPANEL>");
  }
  // Chooses entry `index` of the popup's drop-down as the user does: a click
  // opens its list, whose loop then takes Home, Down as often as needed, Enter.
  template <class Popup>
  void ChooseInDropdown(Popup& popup, int index) {
    CGUIItem* box = popup.ItemWithId(ids::LIST_DROPDOWN_POPUP);
    ASSERT_NE(box, nullptr);
    host_.RunInNextLoop([index] {
      HWND list = gui::testing::PopupList(gui::testing::TopPopup());
      ASSERT_NE(list, nullptr) << "the drop-down's list did not open";
      gui::testing::PostKey(list, VK_HOME);
      for (int i = 0; i < index; ++i) gui::testing::PostKey(list, VK_DOWN);
      gui::testing::PostKey(list, VK_RETURN);
    });
    ::SendMessageW(box->hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  }
  static std::wstring Shown(CGUIItem* box) {
    return box != nullptr ? static_cast<CDropdownListItem*>(box)->m_shownText : L"<no drop-down>";
  }
  static constexpr char kDropdown[] =
      "<COMBO name=\"LIST_DROPDOWN_POPUP\"><CBOX><RECT left=\"10\" top=\"40\" right=\"200\" bottom=\"22\"/></CBOX>"
      "<CLIST height=\"90\"/></COMBO>";
  platform::testing::GuiTestHost host_;
  std::unique_ptr<CLangTable> table_;
  std::string extraButtons_, extraTexts_, extraLists_;
};

TEST_F(PopupTest, WarningAnswersOkOrCancelAndTakesItsHeading) {
  WritePopup(L"Warn.xml", "");
  const struct {
    const char* what;
    int32_t click;
    const wchar_t* replacement;
    bool extra;
    INT_PTR answer;
    std::wstring heading;
  } cases[] = {
      {"OK", ids::BUTTON_POPUP_OK, L"", false, 1, L"The heading"},
      {"Cancel", ids::BUTTON_POPUP_CANCEL, L"", false, 2, L"The heading"},
      {"a name appended", ids::BUTTON_POPUP_OK, L"", true, 1, L"The heading: Work"},
      {"a replaced heading", ids::BUTTON_POPUP_OK, L"$Replaced", true, 1, L"Another heading"},
  };
  for (const auto& c : cases) {
    const std::wstring name = L": Work";
    Scripted<CMorvelWarningDlg> popup(&host_, L"Warn.xml", c.extra ? &name : nullptr);
    popup.SetHeadingText(c.replacement);
    std::wstring heading;
    popup.script = [&](auto& p) {
      heading = configurator::ItemText(p.ItemWithId(ids::TEXT_WARNDLG_HEADING));
      p.Click(c.click);
    };
    EXPECT_EQ(popup.DoModal(), c.answer) << c.what;
    EXPECT_EQ(heading, c.heading) << c.what;
    EXPECT_EQ(popup.title, L"Warn.xml") << "a popup is titled with its skin file";
  }
}

TEST_F(PopupTest, NameEntryTakesAtMostTwentyCharacters) {
  WritePopup(L"Name.xml", "<EDITCTRL name=\"EDITCTRL_POPUP_NAMEENTRY\"><RECT left=\"10\" top=\"50\" right=\"200\" bottom=\"22\"/></EDITCTRL>");
  std::wstring name = L"Old";
  Scripted<CMorvelNameEntryPopup> popup(&host_, L"Name.xml", &name);
  std::wstring heading;
  LRESULT limit = 0;
  popup.script = [&](auto& p) {
    heading = configurator::ItemText(p.ItemWithId(ids::TEXT_WARNDLG_HEADING));
    CGUIItem* edit = p.ItemWithId(ids::EDITCTRL_POPUP_NAMEENTRY);
    limit = ::SendMessageW(edit->hwnd, EM_GETLIMITTEXT, 0, 0);
    ::SetWindowTextW(edit->hwnd, L"New name");
    p.Click(ids::BUTTON_POPUP_OK);
  };
  EXPECT_EQ(popup.DoModal(), 1);
  EXPECT_EQ(limit, 20);
  EXPECT_EQ(heading, L"The heading: Old");
  EXPECT_EQ(name, L"New name");
}

TEST_F(PopupTest, NumberEntryTakesOneTo255AndEmptyIsZero) {
  WritePopup(L"Num.xml", "<EDITCTRL name=\"EDITCTRL_POPUP_NUMENTRY\"><RECT left=\"10\" top=\"50\" right=\"80\" bottom=\"22\"/></EDITCTRL>");
  for (const std::wstring& typed : {std::wstring(L"42"), std::wstring()}) {
    int number = -5;
    Scripted<CMorvelNumEntryPopup> popup(&host_, L"Num.xml", &number);
    uint32_t min = 0, max = 0;
    popup.script = [&](auto& p) {
      auto* edit = static_cast<CEditItem*>(p.ItemWithId(ids::EDITCTRL_POPUP_NUMENTRY));
      min = edit->m_min;
      max = edit->m_max;
      // Digits that would pass 255 are refused as they are typed.
      EXPECT_FALSE(edit->AcceptsValue(256));
      edit->SetWindowText(typed);
      p.Click(ids::BUTTON_POPUP_OK);
    };
    EXPECT_EQ(popup.DoModal(), 1);
    EXPECT_EQ(min, 1u);
    EXPECT_EQ(max, 255u);
    EXPECT_EQ(number, typed.empty() ? 0 : 42);
  }
}

TEST_F(PopupTest, EnterAndEscAnswerTheNumberPopupAndTheDigitFilterStays) {
  WritePopup(L"Num.xml", "<EDITCTRL name=\"EDITCTRL_POPUP_NUMENTRY\"><RECT left=\"10\" top=\"50\" right=\"80\" bottom=\"22\"/></EDITCTRL>");
  const struct {
    const char* what;
    WPARAM key;
    INT_PTR answer;
  } cases[] = {{"Enter is OK", VK_RETURN, 1}, {"Esc is Cancel", VK_ESCAPE, 2}, {"a letter is eaten", 'X', 99}};
  for (const auto& c : cases) {
    int number = 0;
    Scripted<CMorvelNumEntryPopup> popup(&host_, L"Num.xml", &number);
    popup.script = [&](auto& p) {
      CGUIItem* edit = p.ItemWithId(ids::EDITCTRL_POPUP_NUMENTRY);
      ::SetWindowTextW(edit->hwnd, L"7");
      // Posted: the key goes through the loop's pre-translation, where the filter sits.
      gui::testing::PostKey(edit->hwnd, c.key);
    };
    EXPECT_EQ(popup.DoModal(), c.answer) << c.what;
    if (c.answer == 1) {
      EXPECT_EQ(number, 7) << c.what;
    }
  }
}

TEST_F(PopupTest, SingleKeyOkWaitsForAKeyAndEnterIsCapturedNotOk) {
  extraButtons_ =
      "<BUTTON name=\"BUTTON_CHKBOX_SLCT_SHIFT\" ischeckbox=\"1\"><SBMN>Btn.bmp</SBMN><RECT left=\"10\" top=\"90\" right=\"16\" bottom=\"16\"/></BUTTON>"
      "<BUTTON name=\"BUTTON_CHKBOX_SLCT_CTRL\" ischeckbox=\"1\"><SBMN>Btn.bmp</SBMN><RECT left=\"90\" top=\"90\" right=\"16\" bottom=\"16\"/></BUTTON>"
      "<BUTTON name=\"BUTTON_CHKBOX_SLCT_ALT\" ischeckbox=\"1\"><SBMN>Btn.bmp</SBMN><RECT left=\"170\" top=\"90\" right=\"16\" bottom=\"16\"/></BUTTON>";
  extraTexts_ =
      "<TEXTITEM name=\"TEXT_SLCT_SHIFT\" textkey=\"Shift\"><RECT left=\"30\" top=\"90\" right=\"50\" bottom=\"16\"/></TEXTITEM>"
      "<TEXTITEM name=\"TEXT_SLCT_CTRL\" textkey=\"Ctrl\"><RECT left=\"110\" top=\"90\" right=\"50\" bottom=\"16\"/></TEXTITEM>"
      "<TEXTITEM name=\"TEXT_SLCT_ALT\" textkey=\"Alt\"><RECT left=\"190\" top=\"90\" right=\"50\" bottom=\"16\"/></TEXTITEM>";
  WritePopup(L"Key.xml",
             "<EDITCTRLSKMMO name=\"EDITCTRL_POPUP_SINGLEKEYENTRY\"><RECT left=\"10\" top=\"50\" right=\"200\" bottom=\"24\"/></EDITCTRLSKMMO>");
  SingleKeyResult result;
  bool okBefore = true, okAfter = false, shiftChecked = false, shiftTextOn = false, ctrlChecked = true;
  // Enter is a key to capture here: OK right after it leaves the popup open (the
  // script then ends it with 99); after a click, OK closes it.
  for (const bool enterFirst : {true, false}) {
    Scripted<CPellinPopupBoxSingleKeyEntry> popup(&host_, L"Key.xml", &result);
    popup.script = [&](auto& p) {
      okBefore = configurator::IsItemEnabled(p.m_ok);
      CEditItemSingleKeyInputMMO* edit = p.KeyEditMmo();
      ASSERT_NE(edit, nullptr);
      edit->FeedKey(0x2A, true, false, L"Shift", VK_SHIFT);  // Shift held
      okAfter = configurator::IsItemEnabled(p.m_ok);
      shiftChecked = configurator::IsItemChecked(p.m_boxes[0]);
      ctrlChecked = configurator::IsItemChecked(p.m_boxes[1]);
      shiftTextOn = configurator::IsItemEnabled(p.m_texts[0]);
      p.m_enterOrEscape = enterFirst ? 1 : 0;
      p.Click(ids::BUTTON_POPUP_OK);
    };
    EXPECT_EQ(popup.DoModal(), enterFirst ? 99 : 1) << (enterFirst ? "after Enter" : "after a click");
    EXPECT_FALSE(okBefore) << "OK waits for a captured key";
    EXPECT_TRUE(okAfter);
    EXPECT_TRUE(shiftChecked);
    EXPECT_FALSE(ctrlChecked);
    EXPECT_TRUE(shiftTextOn);
  }
  EXPECT_EQ(result.flags & 8, 8);
}

TEST_F(PopupTest, SingleKeyCancelEmptiesTheResultUnlessEscWasTheKey) {
  WritePopup(L"Key.xml",
             "<EDITCTRLSKMMO name=\"EDITCTRL_POPUP_SINGLEKEYENTRY\"><RECT left=\"10\" top=\"50\" right=\"200\" bottom=\"24\"/></EDITCTRLSKMMO>");
  for (const bool escapeFirst : {true, false}) {
    SingleKeyResult result;
    result.name = L"stale";
    result.scanCode = 7;
    Scripted<CPellinPopupBoxSingleKeyEntry> popup(&host_, L"Key.xml", &result);
    popup.script = [&](auto& p) {
      p.m_enterOrEscape = escapeFirst ? 1 : 0;
      p.Click(ids::BUTTON_POPUP_CANCEL);
    };
    EXPECT_EQ(popup.DoModal(), escapeFirst ? 99 : 2);
    EXPECT_EQ(result.name, escapeFirst ? L"stale" : L"");
    EXPECT_EQ(result.scanCode, escapeFirst ? 7 : 0);
  }
}

TEST_F(PopupTest, DropdownSelectStartsOnExactlyTheCallersNameAndAnswersTheChoice) {
  extraLists_ = kDropdown;
  WritePopup(L"Choose.xml", "");
  const std::vector<std::wstring> names = {L"Work", L"work", L"Home"};
  const struct {
    const char* what;
    std::vector<std::wstring> names;
    const wchar_t* preselected;
    int choose;  // the entry the user picks in the list, or -1
    int32_t click;
    INT_PTR answer;
    std::wstring firstShown, name;
  } cases[] = {
      {"the caller's name", names, L"work", -1, ids::BUTTON_POPUP_OK, 1, L"work", L"work"},
      {"a name alike only in case starts on the first", names, L"HOME", -1, ids::BUTTON_POPUP_OK, 1, L"Work", L"Work"},
      {"no preselection", names, L"", -1, ids::BUTTON_POPUP_OK, 1, L"Work", L"Work"},
      {"another entry picked", names, L"Work", 1, ids::BUTTON_POPUP_OK, 1, L"Work", L"work"},
      {"cancel keeps the caller's name", names, L"work", 2, ids::BUTTON_POPUP_CANCEL, 2, L"work", L"work"},
      {"no names: OK answers no name", {}, L"Work", -1, ids::BUTTON_POPUP_OK, 1, L"", L""},
  };
  for (const auto& c : cases) {
    std::wstring name = c.preselected, firstShown;
    Scripted<CMorvelDropdownSelectPopup> popup(&host_, L"Choose.xml", c.names, &name);
    popup.script = [&](auto& p) {
      firstShown = Shown(p.ItemWithId(ids::LIST_DROPDOWN_POPUP));
      if (c.choose >= 0) ChooseInDropdown(p, c.choose);
      p.Click(c.click);
    };
    EXPECT_EQ(popup.DoModal(), c.answer) << c.what;
    EXPECT_EQ(firstShown, c.firstShown) << c.what;
    EXPECT_EQ(name, c.name) << c.what;
    EXPECT_EQ(popup.title, L"Choose.xml");
  }
}

TEST_F(PopupTest, MacroAssignmentTicksOneModeBoxAndAnswersItsMode) {
  std::string boxes;
  const char* names[] = {"BUTTON_MACRO_PLAY_ONCE", "BUTTON_MACRO_PLAY_MULTIPLE", "BUTTON_MACRO_PLAY_WHILEPRESSED",
                         "BUTTON_MACRO_PLAY_UNTILPRESSED"};
  for (int i = 0; i < 4; ++i)
    boxes += "<BUTTON name=\"" + std::string(names[i]) + "\" ischeckbox=\"1\"><SBMN>Btn.bmp</SBMN><RECT left=\"" +
             std::to_string(10 + 70 * i) + "\" top=\"80\" right=\"16\" bottom=\"16\"/></BUTTON>";
  extraButtons_ = boxes;
  extraLists_ = kDropdown;
  WritePopup(L"Macro.xml", "");
  constexpr int32_t kOnce = ids::BUTTON_MACRO_PLAY_ONCE, kMultiple = ids::BUTTON_MACRO_PLAY_MULTIPLE,
                    kWhile = ids::BUTTON_MACRO_PLAY_WHILEPRESSED, kUntil = ids::BUTTON_MACRO_PLAY_UNTILPRESSED;
  const struct {
    const char* what;
    int mode;                     // handed in
    int32_t firstTicked;          // the box ticked when the popup shows
    std::vector<int32_t> clicks;  // boxes clicked, in order; 0 unticks all four
    int answeredMode;
    int32_t lastTicked;           // 0: none
  } cases[] = {
      {"a mode outside 1..4 shows as once", 9, kOnce, {}, 1, kOnce},
      {"until pressed is mode 3", 3, kUntil, {}, 3, kUntil},
      {"while pressed is mode 4", 1, kOnce, {kWhile}, 4, kWhile},
      {"a number of times is mode 2", 4, kWhile, {kMultiple}, 2, kMultiple},
      {"the mode's own box stays ticked", 2, kMultiple, {kMultiple}, 2, kMultiple},
      {"the last click counts", 1, kOnce, {kUntil, kWhile, kOnce}, 1, kOnce},
      {"no box ticked answers once", 3, kUntil, {0}, 1, 0},
  };
  for (const auto& c : cases) {
    int mode = c.mode;
    std::wstring name = L"Second";
    const std::vector<std::wstring> macros = {L"First", L"Second"};
    std::vector<int32_t> firstTicked, lastTicked;
    Scripted<CMorvelMacroAssignmentPopup> popup(&host_, L"Macro.xml", &mode, macros, &name);
    auto ticked = [](auto& p) {
      std::vector<int32_t> out;
      for (int32_t id : {kOnce, kMultiple, kWhile, kUntil})
        if (configurator::IsItemChecked(p.ItemWithId(id))) out.push_back(id);
      return out;
    };
    popup.script = [&](auto& p) {
      firstTicked = ticked(p);
      for (int32_t id : c.clicks) {
        if (id == 0) {
          for (int32_t box : {kOnce, kMultiple, kWhile, kUntil}) configurator::SetItemCheck(p.ItemWithId(box), false);
          continue;
        }
        // A check box reports its click on the press, having flipped itself.
        ::SendMessageW(p.ItemWithId(id)->hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
        ::SendMessageW(p.ItemWithId(id)->hwnd, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
      }
      lastTicked = ticked(p);
      p.Click(ids::BUTTON_POPUP_OK);
    };
    EXPECT_EQ(popup.DoModal(), 1) << c.what;
    EXPECT_EQ(firstTicked, std::vector<int32_t>{c.firstTicked}) << c.what;
    EXPECT_EQ(lastTicked, c.lastTicked ? std::vector<int32_t>{c.lastTicked} : std::vector<int32_t>{}) << c.what;
    EXPECT_EQ(mode, c.answeredMode) << c.what;
    EXPECT_EQ(name, L"Second") << c.what << ": the macro handed in is the one chosen";
  }
}

// What the timer below works on: the popup's owner and the raw input it is fed.
HWND gKeyPopupOwner = nullptr;
device::testing::FakeRawInput* gKeyPopupInput = nullptr;

// Runs inside the popup's modal loop: feeds the key edit a raw key B, then
// clicks OK; a popup without its key edit is ended with 99.
void CALLBACK PressBAndOk(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND popup = nullptr;
  for (HWND w = ::GetWindow(::GetDesktopWindow(), GW_CHILD); w != nullptr; w = ::GetWindow(w, GW_HWNDNEXT))
    if (::GetWindow(w, GW_OWNER) == gKeyPopupOwner && ::IsWindowVisible(w)) popup = w;
  auto* box = popup != nullptr ? dynamic_cast<CPopupBoxSingleKeyEntry*>(CWnd::FromHandlePermanent(popup)) : nullptr;
  if (box == nullptr) return;  // not shown yet: the next tick
  ::KillTimer(nullptr, timer);
  if (box->m_keyEdit == nullptr) {
    box->EndDialog(99);
    return;
  }
  box->m_keyEdit->SendMessage(WM_INPUT, RIM_INPUT, gKeyPopupInput->AddKey(0x30, 0, 'B'));
  HWND ok = ::GetDlgItem(popup, ids::BUTTON_POPUP_OK);
  box->SendMessage(WM_COMMAND, MAKEWPARAM(ids::BUTTON_POPUP_OK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
}

// Runs inside the edit-key popup's loop: notes what its edit shows, then clicks
// OK with no key pressed.
std::wstring gShownAtStart;
void CALLBACK OkWithoutAKey(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND popup = nullptr;
  for (HWND w = ::GetWindow(::GetDesktopWindow(), GW_CHILD); w != nullptr; w = ::GetWindow(w, GW_HWNDNEXT))
    if (::GetWindow(w, GW_OWNER) == gKeyPopupOwner && ::IsWindowVisible(w)) popup = w;
  auto* box = popup != nullptr ? dynamic_cast<CPopupBoxSingleKeyEntry*>(CWnd::FromHandlePermanent(popup)) : nullptr;
  if (box == nullptr) return;
  ::KillTimer(nullptr, timer);
  if (box->m_keyEdit == nullptr) {
    box->EndDialog(99);
    return;
  }
  gShownAtStart = box->m_keyEdit->GetWindowText();
  HWND ok = ::GetDlgItem(popup, ids::BUTTON_POPUP_OK);
  box->SendMessage(WM_COMMAND, MAKEWPARAM(ids::BUTTON_POPUP_OK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
  // OK refused (no key shown): the popup would stay open for good.
  if (box->m_result != nullptr && box->m_result->name.empty()) box->EndDialog(99);
}

TEST_F(PopupTest, TheEditKeyPopupStartsWithTheEventsKey) {
  WritePopup(configurator::kEditKeyPopup,
             "<EDITCTRLSK name=\"EDITCTRL_POPUP_SINGLEKEYENTRY\"><RECT left=\"10\" top=\"50\" right=\"200\" "
             "bottom=\"24\"/></EDITCTRLSK>");
  gKeyPopupOwner = host_.m_hWnd;
  gShownAtStart = L"<not shown>";
  ::SetTimer(nullptr, 0, 10, OkWithoutAKey);
  std::wstring text = L"Right";
  int16_t scanCode = 0x4D, virtualKey = VK_RIGHT;
  uint8_t flags = 1;  // extended
  const INT_PTR answer =
      configurator::Popups().SingleKey(&host_, configurator::kEditKeyPopup, text, scanCode, virtualKey, flags);
  EXPECT_EQ(gShownAtStart, L"Right");
  EXPECT_EQ(answer, 1) << "OK answers the key shown";
  EXPECT_EQ(text, L"Right");
  EXPECT_EQ(scanCode, 0x4D);
  EXPECT_EQ(virtualKey, VK_RIGHT);
  EXPECT_EQ(flags, 1);
}

TEST(PopupPlacement, CentredOverTheOwnerAndKeptInTheWorkArea) {
  const RECT work{0, 0, 1280, 1000};
  const struct {
    const char* what;
    RECT owner;
    RECT placed;  // of a 200 x 100 popup
  } cases[] = {
      {"centred", {100, 100, 740, 580}, {320, 290, 520, 390}},
      {"the owner partly off the right and bottom", {1200, 960, 1840, 1440}, {1080, 900, 1280, 1000}},
      {"the owner partly off the left and top", {-600, -400, 40, 80}, {0, 0, 200, 100}},
      {"an owner smaller than the popup", {600, 500, 700, 540}, {550, 470, 750, 570}},
  };
  for (const auto& c : cases) {
    const RECT placed = configurator::CentredOver(RECT{0, 0, 200, 100}, c.owner, work);
    EXPECT_TRUE(::EqualRect(&placed, &c.placed)) << c.what << ": " << placed.left << "," << placed.top << " "
                                                 << placed.right << "," << placed.bottom;
  }
  // Larger than the work area: the top-left corner stays on it.
  const RECT huge = configurator::CentredOver(RECT{0, 0, 1400, 1200}, RECT{100, 100, 740, 580}, work);
  EXPECT_EQ(huge.left, 0);
  EXPECT_EQ(huge.top, 0);
  EXPECT_EQ(huge.right - huge.left, 1400);
}

TEST_F(PopupTest, EachKindOfPopupOpensCentredOverItsOwner) {
  extraLists_ = kDropdown;
  WritePopup(L"Any.xml",
             "<EDITCTRL name=\"EDITCTRL_POPUP_NAMEENTRY\"><RECT left=\"10\" top=\"50\" right=\"200\" bottom=\"22\"/></EDITCTRL>");
  WritePopup(L"Key.xml",
             "<EDITCTRLSKMMO name=\"EDITCTRL_POPUP_SINGLEKEYENTRY\"><RECT left=\"10\" top=\"50\" right=\"200\" bottom=\"24\"/></EDITCTRLSKMMO>");
  RECT owner{};
  ::GetWindowRect(host_.m_hWnd, &owner);
  const POINT centre{(owner.left + owner.right) / 2, (owner.top + owner.bottom) / 2};
  auto placedCentre = [](HWND popup) {
    RECT r{};
    ::GetWindowRect(popup, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  };
  POINT seen{};
  std::wstring name;
  int number = 0, mode = 1;
  SingleKeyResult key;
  const std::vector<std::wstring> names = {L"One"};
  Scripted<CMorvelWarningDlg> warning(&host_, L"Any.xml", nullptr);
  Scripted<CMorvelNameEntryPopup> nameEntry(&host_, L"Any.xml", &name);
  Scripted<CMorvelNumEntryPopup> numberEntry(&host_, L"Any.xml", &number);
  Scripted<CMorvelDropdownSelectPopup> choice(&host_, L"Any.xml", names, &name);
  Scripted<CMorvelMacroAssignmentPopup> macro(&host_, L"Any.xml", &mode, names, &name);
  Scripted<CPellinPopupBoxSingleKeyEntry> singleKey(&host_, L"Key.xml", &key);
  const std::vector<std::pair<const char*, std::function<INT_PTR()>>> popups = {
      {"warning", [&] { warning.script = [&](auto& p) { seen = placedCentre(p.m_hWnd); }; return warning.DoModal(); }},
      {"name", [&] { nameEntry.script = [&](auto& p) { seen = placedCentre(p.m_hWnd); }; return nameEntry.DoModal(); }},
      {"number", [&] { numberEntry.script = [&](auto& p) { seen = placedCentre(p.m_hWnd); }; return numberEntry.DoModal(); }},
      {"choice", [&] { choice.script = [&](auto& p) { seen = placedCentre(p.m_hWnd); }; return choice.DoModal(); }},
      {"macro", [&] { macro.script = [&](auto& p) { seen = placedCentre(p.m_hWnd); }; return macro.DoModal(); }},
      {"single key", [&] { singleKey.script = [&](auto& p) { seen = placedCentre(p.m_hWnd); }; return singleKey.DoModal(); }},
  };
  for (const auto& [what, run] : popups) {
    seen = POINT{-1, -1};
    EXPECT_EQ(run(), 99) << what;
    // Halves of odd sizes may round either way.
    EXPECT_LE(std::abs(seen.x - centre.x), 1) << what << ": " << seen.x << " for " << centre.x;
    EXPECT_LE(std::abs(seen.y - centre.y), 1) << what << ": " << seen.y << " for " << centre.y;
  }
}

TEST_F(PopupTest, TheEditKeyPopupTakesOnePlainKey) {
  device::testing::FakeRawInput raw;
  WritePopup(configurator::kEditKeyPopup,
             "<EDITCTRLSK name=\"EDITCTRL_POPUP_SINGLEKEYENTRY\"><RECT left=\"10\" top=\"50\" right=\"200\" "
             "bottom=\"24\"/></EDITCTRLSK>");
  gKeyPopupOwner = host_.m_hWnd;
  gKeyPopupInput = &raw;
  ::SetTimer(nullptr, 0, 10, PressBAndOk);
  std::wstring text;
  int16_t scanCode = 0, virtualKey = 0;
  uint8_t flags = 7;
  const INT_PTR answer =
      configurator::Popups().SingleKey(&host_, configurator::kEditKeyPopup, text, scanCode, virtualKey, flags);
  EXPECT_EQ(answer, 1);
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(scanCode, 0x30);
  EXPECT_EQ(virtualKey, 'B');
  EXPECT_EQ(flags, 0) << "one plain key: no modifiers";
}

}  // namespace
