#include "gui/controls/MacroDisplayItem.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device/InputFakes.h"
#include "gui/Messages.h"
#include "gui/panels/ListPanel.h"
#include "gui/testing/PopupSteps.h"
#include "gui/testing/TestBitmaps.h"
#include "platform/testing/GuiTestHost.h"
#include "platform/testing/MessageSequence.h"

using namespace gui::testing;

namespace {

constexpr int kId = 77;

std::vector<BYTE> MouseRecord(USHORT buttonFlags) {
  RAWINPUT input{};
  input.header.dwType = RIM_TYPEMOUSE;
  input.header.dwSize = offsetof(RAWINPUT, data) + sizeof(RAWMOUSE);
  input.data.mouse.usButtonFlags = buttonFlags;
  std::vector<BYTE> bytes(input.header.dwSize);
  std::memcpy(bytes.data(), &input, bytes.size());
  return bytes;
}

MacroEvent Key(int scan, int vk, int state) { return MacroEvent{MACROEVENT_KEY, scan | (vk << 16), state}; }
MacroEvent Mouse(int button, int state) { return MacroEvent{MACROEVENT_MOUSE, button, state}; }
MacroEvent Delay(int ms) { return MacroEvent{MACROEVENT_DELAY, ms, ms}; }

class MacroDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::SetCursorPos(730, 570);
    Make(false, nullptr);
  }
  void TearDown() override { ::ReleaseCapture(); }
  void Make(bool readOnly, CVScrollBar* bar, int barWidth = 0) {
    item = std::make_unique<CMacroDisplayItem>(0, readOnly);
    item->id = kId;
    item->SetTickSource([this] { return now; });
    ASSERT_TRUE(item->CreateList(bar, barWidth, RECT{10, 10, 310, 10 + 10 * 19 + 1}, host.m_hWnd, 12));
    ASSERT_TRUE(item->InsertColumn(CMacroDisplayItem::kColumnIcon, 0, 28));
    ASSERT_TRUE(item->InsertColumn(CMacroDisplayItem::kColumnDescription, 0, 200));
  }
  void Input(std::vector<BYTE> bytes) {
    item->SendMessage(WM_INPUT, RIM_INPUT, raw.Add(std::move(bytes)));
  }
  std::vector<MacroEvent> WithoutDelays() {
    std::vector<MacroEvent> out;
    for (const auto& e : item->Events())
      if (e.type != MACROEVENT_DELAY) out.push_back(e);
    return out;
  }
  size_t Count(UINT msg) { return host.ReceivedOf(msg).size(); }
  std::wstring Description(int row) { return item->GetItemText(row, 1); }

  device::testing::FakeRawInput raw;
  device::testing::FakeKeyboardText keyText;
  platform::testing::GuiTestHost host;
  DWORD now = 1000;
  std::unique_ptr<CMacroDisplayItem> item;
};

TEST_F(MacroDisplayTest, RawInputRecordsEachKnownFlagAndDropsRepeats) {
  struct Case {
    const char* what;
    std::vector<std::vector<BYTE>> records;
    std::vector<MacroEvent> events;  // delays left out
  };
  const USHORT e0 = RI_KEY_E0, up = RI_KEY_BREAK;
  const Case cases[] = {
      {"one flag", {MouseRecord(RI_MOUSE_LEFT_BUTTON_DOWN)}, {Mouse(1, 255)}},
      {"two flags in one word", {MouseRecord(RI_MOUSE_LEFT_BUTTON_UP | RI_MOUSE_RIGHT_BUTTON_DOWN)},
       {Mouse(1, 1), Mouse(2, 255)}},
      {"extra buttons", {MouseRecord(RI_MOUSE_BUTTON_4_DOWN | RI_MOUSE_BUTTON_5_UP)}, {Mouse(25, 255), Mouse(26, 1)}},
      {"wheel only", {MouseRecord(RI_MOUSE_WHEEL)}, {}},
      {"unknown bits", {MouseRecord(0x800)}, {}},
      {"repeats", {device::testing::KeyboardRecordBytes(0x1E, 0, 'A'), device::testing::KeyboardRecordBytes(0x1E, 0, 'A'),
                   device::testing::KeyboardRecordBytes(0x1E, up, 'A')},
       {}},  // filled below: one press and one release
      {"left and right Ctrl", {device::testing::KeyboardRecordBytes(0x1D, 0, VK_CONTROL),
                               device::testing::KeyboardRecordBytes(0x1D, e0, VK_CONTROL)},
       {}},
  };
  for (const auto& c : cases) {
    item->ClearEvents();
    ASSERT_TRUE(item->ToggleRecording()) << c.what;
    for (const auto& r : c.records) Input(r);
    const auto events = WithoutDelays();
    if (std::string(c.what) == "repeats") {
      ASSERT_EQ(events.size(), 2u) << c.what;
      EXPECT_EQ(events[0].b & 0xFF, 255);
      EXPECT_EQ(events[1].b & 0xFF, 1);
    } else if (std::string(c.what) == "left and right Ctrl") {
      EXPECT_EQ(events.size(), 2u) << "held keys are told apart by the E0 flag";
    } else {
      EXPECT_EQ(events, c.events) << c.what;
    }
    EXPECT_FALSE(item->ToggleRecording());
    // Releasing whatever is held keeps the next case clean.
    item->ToggleRecording();
    Input(device::testing::KeyboardRecordBytes(0x1E, up, 'A'));
    Input(device::testing::KeyboardRecordBytes(0x1D, up, VK_CONTROL));
    Input(device::testing::KeyboardRecordBytes(0x1D, up | e0, VK_CONTROL));
    item->ToggleRecording();
  }
  EXPECT_EQ(raw.calls.size() % 2, 0u) << "every registration undone";
}

TEST_F(MacroDisplayTest, DelaysFromTheClock) {
  ASSERT_TRUE(item->ToggleRecording());
  Input(MouseRecord(RI_MOUSE_LEFT_BUTTON_DOWN));
  now += 300;
  Input(MouseRecord(RI_MOUSE_LEFT_BUTTON_UP));
  now += 0x2000000;
  Input(MouseRecord(RI_MOUSE_LEFT_BUTTON_DOWN));
  EXPECT_EQ(item->Events(), (MacroEventList{Mouse(1, 255), Delay(300), Mouse(1, 1), Delay(0xFFFFFF), Mouse(1, 255)}));
  item->m_ignoreDelays = 1;
  now += 40;
  Input(MouseRecord(RI_MOUSE_LEFT_BUTTON_UP));
  EXPECT_EQ(item->Events().back(), Mouse(1, 1));
  item->m_ignoreDelays = 0;
  item->m_fixedDelay = 1;
  item->m_defaultDelay = 70;
  Input(MouseRecord(RI_MOUSE_RIGHT_BUTTON_DOWN));
  EXPECT_EQ(item->Events()[item->Events().size() - 2], Delay(70));
  EXPECT_EQ(Description(static_cast<int>(item->Events().size()) - 2).substr(0, 5), L"0.070");
  item->ToggleRecording();

  // The excluded window holding the capture: its clicks are not recorded.
  CWnd other;
  ASSERT_TRUE(other.CreateEx(0, CWnd::DefaultClassName(), L"", WS_CHILD | WS_VISIBLE, RECT{400, 10, 450, 60}, &host, 13));
  item->m_excludedWindow = other.m_hWnd;
  item->ToggleRecording();
  const size_t before = item->Events().size();
  other.SetCapture();
  Input(MouseRecord(RI_MOUSE_LEFT_BUTTON_DOWN));
  EXPECT_EQ(item->Events().size(), before);
  ::ReleaseCapture();
  item->ToggleRecording();
}

TEST_F(MacroDisplayTest, ARecordingOntoEventsCountsItsFirstPauseFromItsStart) {
  const MacroEventList shown{Key(0x1E, 'A', 255), Key(0x1E, 'A', 1)};
  ASSERT_TRUE(item->LoadEvents(&shown));
  now += 5000000;  // long after the clock was last read
  ASSERT_TRUE(item->ToggleRecording());
  now += 120;
  Input(MouseRecord(RI_MOUSE_LEFT_BUTTON_DOWN));
  EXPECT_EQ(item->Events(), (MacroEventList{shown[0], shown[1], Delay(120), Mouse(1, 255)}));
  item->ToggleRecording();
}

TEST_F(MacroDisplayTest, DestroyedWhileRecordingUnregistersAndReleasesTheCapture) {
  ASSERT_TRUE(item->ToggleRecording());
  item->SetCapture();
  const size_t calls = raw.calls.size();
  item->DestroyWindow();
  EXPECT_EQ(raw.calls.size(), calls + 1) << "the registration is removed";
  EXPECT_EQ(raw.calls.back().devices[0].dwFlags & RIDEV_REMOVE, static_cast<DWORD>(RIDEV_REMOVE));
  EXPECT_EQ(::GetCapture(), nullptr);
}

TEST_F(MacroDisplayTest, DelayEditing) {
  struct Case {
    const char* what;
    const wchar_t* text;  // null: Esc
    int expected;
    size_t messages;  // kEither: Wine's list view ends an emptied edit as cancelled
  };
  constexpr size_t kEither = 99;
  const Case cases[] = {
      {"Esc", nullptr, 1001, 0},  {"empty", L"", 1001, kEither},     {"zero", L"0", 1001, 1},
      {"letters", L"12a", 1001, 1}, {"above the cap", L"99999999", 1001, 1}, {"valid", L"250", 250, 1},
  };
  for (const auto& c : cases) {
    const MacroEventList events{Delay(1001), Key(0x1E, 'A', 255)};
    ASSERT_TRUE(item->LoadEvents(&events));
    host.ClearReceived();
    item->SetFocus();
    HWND editor = reinterpret_cast<HWND>(item->SendMessage(LVM_EDITLABELW, 0));
    ASSERT_NE(editor, nullptr) << c.what;
    wchar_t start[16] = {};
    ::GetWindowTextW(editor, start, 16);
    EXPECT_STREQ(start, L"1001") << "from the event's milliseconds";
    EXPECT_TRUE(item->IsLabelEditOpen());
    if (c.text) {
      ::SendMessageW(editor, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(c.text));
      ::SendMessageW(editor, WM_KEYDOWN, VK_RETURN, 0);
    } else {
      ::SendMessageW(editor, WM_KEYDOWN, VK_ESCAPE, 0);
    }
    host.Pump();
    EXPECT_FALSE(item->IsLabelEditOpen()) << c.what;
    EXPECT_EQ(item->Events()[0], Delay(c.expected)) << c.what;
    EXPECT_EQ(Description(0), CMacroDisplayItem::DelayText(c.expected)) << c.what;
    if (c.messages != kEither) {
      EXPECT_EQ(Count(MacroEventsChangedMessage), c.messages) << c.what;
    }
  }
  // A key row refuses the edit.
  EXPECT_EQ(item->SendMessage(LVM_EDITLABELW, 1), 0);
  EXPECT_FALSE(item->IsLabelEditOpen());
  EXPECT_EQ(item->Events()[1], Key(0x1E, 'A', 255));
}

TEST_F(MacroDisplayTest, MenuCommands) {
  CListPanelItem menu(120, 60);
  menu.SetEntries({ListPanelEntry{L"$InsertDelay"}, ListPanelEntry{L"$Delete"}, ListPanelEntry{L"$Edit"}});
  item->m_keyMenu = &menu;
  item->m_defaultDelay = 60;
  MacroEventList events{Key(0x1E, 'A', 255), Key(0x1E, 'A', 1)};
  item->LoadEvents(&events);
  host.ClearReceived();
  auto choose = [&](int row, int entry) {
    host.RunInNextLoop([entry] {
      HWND list = PopupList(TopPopup());
      PostKey(list, VK_HOME);
      for (int i = 0; i < entry; ++i) PostKey(list, VK_DOWN);
      PostKey(list, VK_RETURN);
    });
    RECT r{};
    item->GetItemRect(row, &r, LVIR_BOUNDS);
    item->SendMessage(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(40, (r.top + r.bottom) / 2));
    host.Pump();
  };
  choose(0, 0);  // insert a delay after row 0
  EXPECT_EQ(item->Events(), (MacroEventList{Key(0x1E, 'A', 255), Delay(60), Key(0x1E, 'A', 1)}));
  EXPECT_EQ(item->GetNextItem(-1, LVNI_SELECTED), 1);
  choose(0, 2);  // "$Edit" on a key row: the owner edits it
  choose(2, 1);  // "$Delete" on the last row: nothing selected afterwards
  EXPECT_EQ(item->Events(), (MacroEventList{Key(0x1E, 'A', 255), Delay(60)}));
  EXPECT_EQ(item->GetNextItem(-1, LVNI_SELECTED), -1);
  // One report per command, in the commands' order; the edit changes nothing itself.
  EXPECT_TRUE(platform::testing::SequenceMatches(
      host.Received(), {{MacroEventsChangedMessage, 0, kId}, {MacroEditKeyMessage, 0, kId}, {MacroEventsChangedMessage, 0, kId}},
      {MacroEventsChangedMessage, MacroEditKeyMessage, MacroPlaybackDoneMessage}));
}

TEST_F(MacroDisplayTest, PlaybackShowsRowsByTimerAndStops) {
  Make(true, nullptr);
  const MacroEventList macro{Key(0x1E, 'A', 255), Delay(100), Mouse(1, 255), Delay(50), Key(0x1E, 'A', 1)};
  item->PlayEvents(macro);
  EXPECT_EQ(item->GetItemCount(), 1);
  item->SendMessage(WM_TIMER, CMacroDisplayItem::kPlaybackTimer);
  EXPECT_EQ(item->GetItemCount(), 2);
  EXPECT_EQ(item->Events(), (MacroEventList{Key(0x1E, 'A', 255), Mouse(1, 255)})) << "no delay rows";
  item->SendMessage(WM_TIMER, CMacroDisplayItem::kPlaybackTimer);
  EXPECT_EQ(item->GetItemCount(), 0) << "emptied at the end";
  EXPECT_EQ(Count(MacroPlaybackDoneMessage), 1u);

  item->PlayEvents(macro);
  item->StopPlayback();
  item->SendMessage(WM_TIMER, CMacroDisplayItem::kPlaybackTimer);
  EXPECT_EQ(item->GetItemCount(), 1);
  EXPECT_EQ(Count(MacroPlaybackDoneMessage), 1u) << "a stopped preview reports nothing";
  item->PlayEvents(macro);
  item->DestroyWindow();
  host.Pump();
  EXPECT_EQ(Count(MacroPlaybackDoneMessage), 1u);

  // An editable list does not play.
  Make(false, nullptr);
  item->PlayEvents(macro);
  EXPECT_EQ(item->GetItemCount(), 0);
}

TEST_F(MacroDisplayTest, RowTexts) {
  EXPECT_EQ(CMacroDisplayItem::DelayText(1001).substr(0, 5), L"1.001");
  EXPECT_EQ(CMacroDisplayItem::MouseText(1, 255), L"$LeftButtonDown");
  EXPECT_EQ(CMacroDisplayItem::MouseText(26, 1), L"$Button5Up");
  EXPECT_EQ(CMacroDisplayItem::MouseText(40, 1), L"Button40Up");
  EXPECT_EQ(CMacroDisplayItem::MouseText(-3, 255), L"Button-3Down");
  EXPECT_FALSE(item->ReplaceEvent(0, Delay(5))) << "nothing to replace";
  MacroEventList events{Delay(5)};
  item->LoadEvents(&events);
  EXPECT_FALSE(item->ReplaceEvent(1, Delay(6)));
  EXPECT_FALSE(item->ReplaceEvent(-1, Delay(6)));
  EXPECT_TRUE(item->ReplaceEvent(0, Mouse(2, 1)));
  EXPECT_EQ(item->Events(), (MacroEventList{Mouse(2, 1)}));
  EXPECT_FALSE(item->LoadEvents(nullptr));
}

TEST_F(MacroDisplayTest, SkinnedBarScrollsTheList) {
  std::vector<HBITMAP> images;
  for (int i = 0; i < 6; ++i) images.push_back(gui::testing::MakeBitmap(12, i == 5 ? 20 : 10, [](int, int) { return RGB(5, 5, 5); }));
  auto* bar = new CVScrollBar;
  bar->SetBitmaps(images[0], images[1], images[2], images[3], images[4], images[5]);
  Make(false, bar, 12);
  MacroEventList events;
  for (int i = 0; i < 50; ++i) events.push_back(Delay(i + 1));
  item->LoadEvents(&events);
  item->EnsureVisible(0, FALSE);
  host.Pump();
  const int shown = item->GetCountPerPage();
  ASSERT_GE(shown, 5);
  auto top = [&] {
    host.Pump();
    return item->GetTopIndex();
  };
  item->SendMessage(WM_VSCROLL, SB_TOP);
  EXPECT_EQ(top(), 0);
  RECT client{};
  item->ScrollBar()->GetClientRect(&client);
  // The down arrow sits above the bottom cap (both 10 high).
  const int downY = client.bottom - 15;
  item->ScrollBar()->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, downY));
  item->ScrollBar()->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(3, downY));
  EXPECT_EQ(top(), 1);
  const int thumbBefore = item->ScrollBar()->ThumbTop();
  // Below the thumb: a page.
  item->ScrollBar()->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, downY - 20));
  item->ScrollBar()->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(3, downY - 20));
  EXPECT_EQ(top(), 1 + shown);
  EXPECT_GT(item->ScrollBar()->ThumbTop(), thumbBefore);
  // One wheel notch up: one row.
  item->SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
  EXPECT_EQ(top(), shown);
  // A new row at the end becomes visible.
  ASSERT_TRUE(item->ToggleRecording());
  Input(MouseRecord(RI_MOUSE_LEFT_BUTTON_DOWN));
  item->ToggleRecording();
  const int last = item->GetItemCount() - 1;
  EXPECT_GE(last, top());
  EXPECT_LT(last, top() + shown + 1);
  ::ReleaseCapture();
  item.reset();
  for (HBITMAP b : images) ::DeleteObject(b);
}

TEST_F(MacroDisplayTest, AListGoneLeavesALaterListsImageListAlone) {
  // A freed image list's handle is handed out again to the next one made: the
  // list that goes must not destroy it a second time.
  auto old = std::move(item);
  old->DestroyWindow();
  Make(false, nullptr);
  const auto images = reinterpret_cast<HIMAGELIST>(item->SendMessage(LVM_GETIMAGELIST, LVSIL_SMALL));
  ASSERT_NE(images, nullptr);
  old.reset();
  int width = 0, height = 0;
  EXPECT_TRUE(::ImageList_GetIconSize(images, &width, &height));
  EXPECT_EQ(width, 28);
}

TEST_F(MacroDisplayTest, ALoadSelectsOnceAndStepsTheBarOnceWhateverItsLength) {
  struct CountingBar : CVScrollBar {
    void UpdateThumb() override {
      ++updates;
      CVScrollBar::UpdateThumb();
    }
    int updates = 0;
  };
  auto* bar = new CountingBar;
  Make(false, bar, 12);
  // Rows newly selected, from the list view's change notices.
  host.SetRecordCopier(WM_NOTIFY, [](platform::testing::SentMessage& record, WPARAM, LPARAM lParam) {
    const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
    if (change->hdr.code == LVN_ITEMCHANGED)
      record.values = {change->iItem, static_cast<int64_t>(change->uNewState), static_cast<int64_t>(change->uOldState)};
  });
  auto selections = [&] {
    int n = 0;
    for (const auto& r : host.ReceivedOf(WM_NOTIFY))
      if (r.notifyCode == LVN_ITEMCHANGED && r.values.size() == 3 && (r.values[1] & LVIS_SELECTED) &&
          !(r.values[2] & LVIS_SELECTED))
        ++n;
    return n;
  };
  for (const size_t length : {size_t{1}, size_t{2000}}) {
    SCOPED_TRACE(length);
    MacroEventList events;
    for (size_t i = 0; i < length; ++i) events.push_back(i % 2 ? Delay(static_cast<int>(i)) : Mouse(1, 255));
    host.ClearReceived();
    bar->updates = 0;
    ASSERT_TRUE(item->LoadEvents(&events));
    EXPECT_EQ(selections(), 1);
    EXPECT_EQ(bar->updates, 1);
    EXPECT_EQ(item->Events(), events);
    const int last = static_cast<int>(length) - 1;
    EXPECT_EQ(item->GetItemCount(), static_cast<int>(length));
    EXPECT_EQ(item->GetNextItem(-1, LVNI_SELECTED), last) << "the last row, as each added row was";
    EXPECT_GE(last, item->GetTopIndex());
    EXPECT_LT(last, item->GetTopIndex() + item->GetCountPerPage() + 1) << "and in view";
    EXPECT_EQ(Description(last), length % 2 ? CMacroDisplayItem::MouseText(1, 255) : CMacroDisplayItem::DelayText(last));
  }
}

TEST_F(MacroDisplayTest, KeysTheKeyEventTakesNeverReachTheList) {
  struct Case {
    const char* what;
    UINT message;
    WPARAM key;
    LPARAM flags;
    BOOL eaten;
  };
  constexpr LPARAM kRepeat = 1 << 30;
  const Case cases[] = {
      {"arrow", WM_KEYDOWN, VK_DOWN, 0, TRUE},      {"Home", WM_KEYDOWN, VK_HOME, 0, TRUE},
      {"Space", WM_KEYDOWN, VK_SPACE, 0, TRUE},     {"Tab", WM_KEYDOWN, VK_TAB, 0, TRUE},
      {"a repeat", WM_KEYDOWN, 'A', kRepeat, TRUE}, {"letter", WM_KEYDOWN, 'A', 0, FALSE},
      {"Enter", WM_KEYDOWN, VK_RETURN, 0, FALSE},   {"F2", WM_KEYDOWN, VK_F2, 0, FALSE},
      {"arrow up", WM_KEYUP, VK_DOWN, 0, FALSE},    {"a character", WM_CHAR, ' ', 0, FALSE},
  };
  for (const bool readOnly : {false, true}) {
    Make(readOnly, nullptr);
    for (const auto& c : cases) {
      MSG msg{item->m_hWnd, c.message, c.key, c.flags | 1};
      EXPECT_EQ(item->PreTranslateMessage(&msg), readOnly ? FALSE : c.eaten) << c.what << (readOnly ? ", read-only" : "");
    }
  }
  // A letter that reaches the list searches nothing: the selection stays.
  const MacroEventList events{Key(0x1E, 'A', 255), Key(0x1E, 'A', 1)};
  Make(false, nullptr);
  ASSERT_TRUE(item->LoadEvents(&events));
  item->SetFocus();
  item->SendMessage(WM_KEYDOWN, 'A', 0x1E0001);
  item->SendMessage(WM_CHAR, 'a', 0x1E0001);
  EXPECT_EQ(item->GetNextItem(-1, LVNI_SELECTED), 1);
}

}  // namespace
