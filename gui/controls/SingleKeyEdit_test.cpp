#include "gui/controls/SingleKeyEdit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/InputFakes.h"
#include "device/RawInput.h"
#include "gui/Messages.h"
#include "platform/testing/GuiTestHost.h"

namespace {

using device::testing::FakeKeyboardText;
using device::testing::FakeRawInput;

LPARAM KeyLParam(int scan, bool up = false) {
  return static_cast<LPARAM>(1 | (scan << 16) | (up ? (3u << 30) : 0));
}

// Names by scan code (and E0), as a layout would give them.
void NameKeys(FakeKeyboardText& text) {
  const struct {
    int scan;
    bool extended;
    const wchar_t* name;
  } names[] = {{0x1E, false, L"A"}, {0x30, false, L"B"}, {0x1D, false, L"Ctrl"}, {0x2A, false, L"Shift"},
               {0x38, false, L"Alt"}, {0x4D, true, L"Right"}, {0x0F, false, L"Tab"}, {0x1C, false, L"Enter"}};
  for (const auto& n : names) text.names[(n.scan << 16) | (n.extended ? 1 << 24 : 0)] = n.name;
}

class SingleKeyEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    NameKeys(text);
    ASSERT_TRUE(edit.CreateEx(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_CENTER, RECT{10, 10, 110, 30}, host.m_hWnd, 9));
    edit.SetFocus();
  }
  void TearDown() override { FrameworkRawInputRegistrar().Unregister(); }

  FakeKeyboardText text;
  FakeRawInput raw;
  platform::testing::GuiTestHost host;
  CEditItemSingleKeyInput edit;
};

TEST_F(SingleKeyEditTest, KeyMessagesShowTheKeyAndTypeNothing) {
  edit.SendMessage(EM_LIMITTEXT, 1);  // shorter than any name: the shown key is not cut
  edit.PostMessage(WM_KEYDOWN, 'A', KeyLParam(0x1E));
  host.Pump();
  EXPECT_EQ(edit.GetWindowText(), L"A");
  edit.PostMessage(WM_KEYDOWN, VK_CONTROL, KeyLParam(0x1D));
  host.Pump();
  EXPECT_EQ(edit.GetWindowText(), L"Ctrl");
  EXPECT_EQ(edit.SendMessage(EM_GETLIMITTEXT), 1);
  // A key the field leaves to the system is eaten and changes nothing.
  edit.PostMessage(WM_KEYDOWN, VK_TAB, KeyLParam(0x0F));
  host.Pump();
  EXPECT_EQ(edit.GetWindowText(), L"Ctrl");
  EXPECT_EQ(edit.m_keyEvent.virtualKey, VK_LCONTROL);
  // Characters (typed or translated from a key) never become text.
  edit.PostMessage(WM_CHAR, L'x', 1);
  host.Pump();
  EXPECT_EQ(edit.GetWindowText(), L"Ctrl");
}

TEST_F(SingleKeyEditTest, RawKeysShowTheKeyAndRefusedRecordsChangeNothing) {
  edit.SendMessage(WM_INPUT, RIM_INPUT, raw.AddKey(0x1E, 0, 'A'));
  EXPECT_EQ(edit.GetWindowText(), L"A");
  EXPECT_EQ(edit.m_keyEvent.state, 255);
  edit.SendMessage(WM_INPUT, RIM_INPUT, raw.AddKey(0x4D, RI_KEY_E0, VK_RIGHT));
  EXPECT_EQ(edit.GetWindowText(), L"Right");
  edit.SendMessage(WM_INPUT, RIM_INPUT, raw.AddKey(0x2A, RI_KEY_E0, 0xFF));  // fake Shift
  edit.SendMessage(WM_INPUT, RIM_INPUT, raw.AddKey(0, 0, 'B'));
  raw.reportedSize = 0u;
  edit.SendMessage(WM_INPUT, RIM_INPUT, raw.AddKey(0x30, 0, 'B'));  // unreadable record
  EXPECT_EQ(edit.GetWindowText(), L"Right");
}

TEST_F(SingleKeyEditTest, RemovesOnlyItsOwnRegistrationAndAlreadyWithItsWindow) {
  ASSERT_TRUE(edit.RegisterRawKeyboard());
  ASSERT_EQ(raw.calls.size(), 1u);
  EXPECT_EQ(raw.calls[0].devices[0].hwndTarget, edit.m_hWnd);
  {
    CEditItemSingleKeyInput second;
    ASSERT_TRUE(second.CreateEx(0, L"EDIT", L"", WS_CHILD, RECT{0, 0, 5, 5}, host.m_hWnd, 10));
    EXPECT_FALSE(second.RegisterRawKeyboard());
  }
  EXPECT_EQ(raw.calls.size(), 1u);  // the second edit removed nothing
  EXPECT_TRUE(FrameworkRawInputRegistrar().IsRegistered());

  edit.DestroyWindow();  // the window goes before the object
  ASSERT_EQ(raw.calls.size(), 2u);
  EXPECT_EQ(raw.calls[1].devices[0].dwFlags, DWORD{RIDEV_REMOVE});
  EXPECT_FALSE(FrameworkRawInputRegistrar().IsRegistered());
}

TEST_F(SingleKeyEditTest, LeavesARegistrationSomeoneElseHolds) {
  RawInputRegistrar& registrar = FrameworkRawInputRegistrar();
  registrar.AddUsage(6);
  ASSERT_TRUE(registrar.Register(host.m_hWnd));  // the macro display while it records
  {
    CEditItemSingleKeyInput capture;
    ASSERT_TRUE(capture.CreateEx(0, L"EDIT", L"", WS_CHILD, RECT{0, 0, 5, 5}, host.m_hWnd, 10));
    EXPECT_FALSE(capture.RegisterRawKeyboard());
  }
  EXPECT_TRUE(registrar.IsRegistered());
  EXPECT_EQ(raw.calls.size(), 1u);
}

// ---- The combination machine ---------------------------------------------------

// Records the edit's state at each report it receives.
class ReportRecorder : public CWnd {
 public:
  struct Report {
    uint8_t modifiers;
    std::wstring text;
    std::wstring shown;
  };
  CEditItemSingleKeyInputMMO* edit = nullptr;
  std::vector<Report> reports;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (msg == KeyCapturedMessage && edit && lParam == reinterpret_cast<LPARAM>(edit->m_hWnd)) {
      reports.push_back({edit->m_modifiers, edit->m_captureText, edit->GetWindowText()});
      result = 0;
      return true;
    }
    return CWnd::OnMessage(msg, wParam, lParam, result);
  }
};

struct Key {
  int scan;
  bool down;
  int64_t second;
  bool extended = false;
};

constexpr int kA = 0x1E, kB = 0x30, kCtrl = 29, kShift = 42, kAlt = 56, kRight = 0x4D;

const wchar_t* NameOf(int scan) {
  switch (scan) {
    case kA: return L"A";
    case kB: return L"B";
    case kCtrl: return L"Ctrl";
    case kShift: return L"Shift";
    case kAlt: return L"Alt";
    case kRight: return L"Right";
    default: return L"?";
  }
}

TEST(CombinationCapture, MachineTable) {
  struct Row {
    const char* what;
    std::vector<Key> keys;
    std::vector<uint8_t> reportedModifiers;
    uint8_t modifiers;
    int state;
    int capturedScan;
    const wchar_t* text;
  } rows[] = {
      {"Ctrl+A: Ctrl; Ctrl with A; A released; Ctrl bit cleared by its release",
       {{kCtrl, true, 0}, {kA, true, 0}, {kA, false, 0}, {kCtrl, false, 0}}, {4, 4, 4}, 0, 6, kA, L"A"},
      {"a key in a later second clears the finished capture and starts anew",
       {{kA, true, 0}, {kA, false, 0}, {kB, true, 1}}, {0, 0, 0}, 0, 2, kB, L"B"},
      {"a key in the same second leaves the finished capture",
       {{kA, true, 0}, {kA, false, 0}, {kB, true, 0}}, {0, 0}, 0, 6, kA, L"A"},
      {"a modifier held after the capture lets the next key replace it",
       {{kShift, true, 0}, {kA, true, 0}, {kA, false, 0}, {kB, true, 5}}, {8, 8, 8, 8}, 8, 2, kB, L"B"},
      {"a modifier alone: pressed and released",
       {{kAlt, true, 0}, {kAlt, false, 0}}, {2, 2}, 0, 6, 0, L""},
      {"modifiers change silently while a key is captured",
       {{kA, true, 0}, {kCtrl, true, 0}, {kShift, true, 0}}, {0}, 12, 2, kA, L"A"},
      {"two modifiers, then a key",
       {{kCtrl, true, 0}, {kAlt, true, 0}, {kB, true, 0}}, {4, 6, 6}, 6, 2, kB, L"B"},
      {"the extended bit is the captured key's alone",
       {{kRight, true, 0, true}, {kRight, false, 0, true}, {kA, true, 3}}, {1, 1, 0}, 0, 2, kA, L"A"},
      {"a leftover extended bit is no modifier held",
       {{kRight, true, 0, true}, {kRight, false, 0, true}, {kB, true, 0}}, {1, 1}, 1, 6, kRight, L"Right"},
  };
  FakeKeyboardText text;
  for (const Row& row : rows) {
    platform::testing::GuiTestHost host;
    ReportRecorder owner;
    ASSERT_TRUE(owner.CreateEx(0, CWnd::DefaultClassName(), L"", WS_POPUP, RECT{0, 0, 1, 1}, static_cast<HWND>(nullptr), 0));
    CEditItemSingleKeyInputMMO edit;
    ASSERT_TRUE(edit.CreateEx(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, RECT{0, 0, 80, 20}, host.m_hWnd, 11));
    edit.SetOwner(&owner);
    owner.edit = &edit;
    int64_t now = 0;
    edit.SetClock([&now] { return now; });
    for (const Key& key : row.keys) {
      now = 1000 + key.second;
      edit.FeedKey(key.scan, key.down, key.extended, NameOf(key.scan), 0);
    }
    std::vector<uint8_t> reported;
    for (const auto& r : owner.reports) {
      reported.push_back(r.modifiers);
      EXPECT_EQ(r.shown, r.text) << row.what;  // the edit shows the capture at each report
    }
    EXPECT_EQ(reported, row.reportedModifiers) << row.what;
    EXPECT_EQ(edit.m_modifiers, row.modifiers) << row.what;
    EXPECT_EQ(edit.m_captureState, row.state) << row.what;
    EXPECT_EQ(edit.m_capturedScanCode, row.capturedScan) << row.what;
    EXPECT_EQ(edit.m_captureText, row.text) << row.what;
  }
}

TEST(CombinationCapture, RawRecordsFeedTheMachineWithoutTheFakeKeys) {
  FakeKeyboardText text;
  NameKeys(text);
  FakeRawInput raw;
  platform::testing::GuiTestHost host;
  CEditItemSingleKeyInputMMO edit;
  ASSERT_TRUE(edit.CreateEx(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, RECT{0, 0, 80, 20}, host.m_hWnd, 11));
  edit.SetClock([] { return int64_t{7}; });
  const struct {
    USHORT make, flags, vk;
  } records[] = {
      {0x1D, 0, VK_CONTROL},  {0x2A, RI_KEY_E0, 0xFF},         // fake Shift before an extended key
      {0x4D, RI_KEY_E0, VK_RIGHT}, {0x1D, RI_KEY_E1, VK_PAUSE},  // fake Ctrl of Pause
      {0x4D, RI_KEY_E0 | RI_KEY_BREAK, VK_RIGHT},
  };
  for (const auto& r : records) edit.SendMessage(WM_INPUT, RIM_INPUT, raw.AddKey(r.make, r.flags, r.vk));
  EXPECT_EQ(host.ReceivedOf(KeyCapturedMessage).size(), 3u);  // Ctrl; Ctrl with Right; Right released
  EXPECT_EQ(edit.m_capturedScanCode, 0x4D);
  EXPECT_EQ(edit.m_captureText, L"Right");
  EXPECT_EQ(edit.m_capturedVirtualKey, VK_RIGHT);
  EXPECT_EQ(edit.m_modifiers, CEditItemSingleKeyInputMMO::kModifierCtrl | CEditItemSingleKeyInputMMO::kModifierExtended);
  EXPECT_EQ(edit.GetWindowText(), L"Right");
}

TEST(CombinationCapture, KeyMessagesShowTheCaptureText) {
  FakeKeyboardText text;
  NameKeys(text);
  platform::testing::GuiTestHost host;
  CEditItemSingleKeyInputMMO edit;
  ASSERT_TRUE(edit.CreateEx(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, RECT{0, 0, 80, 20}, host.m_hWnd, 11));
  edit.SetFocus();
  edit.m_captureText = L"Ctrl";
  edit.PostMessage(WM_KEYDOWN, 'A', KeyLParam(0x1E));
  host.Pump();
  EXPECT_EQ(edit.GetWindowText(), L"Ctrl");
  EXPECT_EQ(edit.m_keyEvent.name, L"A");
}

}  // namespace
