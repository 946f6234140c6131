#include "gui/controls/EditItem.h"

#include <gtest/gtest.h>

#include <string>

#include "gui/Messages.h"
#include "platform/Gdi.h"
#include "platform/testing/GuiTestHost.h"
#include "platform/testing/MessageSequence.h"

namespace {

class EditItemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(edit.CreateEx(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, RECT{10, 10, 110, 30}, host.m_hWnd, 77));
  }
  BOOL Pre(UINT message, WPARAM wParam) {
    MSG msg{edit.m_hWnd, message, wParam, 1, 0, {}};
    return edit.PreTranslateMessage(&msg);
  }
  static void SetClipboard(const std::wstring& text) {
    ASSERT_TRUE(::OpenClipboard(nullptr));
    ::EmptyClipboard();
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    auto* chars = static_cast<wchar_t*>(::GlobalLock(block));
    text.copy(chars, text.size());
    chars[text.size()] = 0;
    ::GlobalUnlock(block);
    ::SetClipboardData(CF_UNICODETEXT, block);
    ::CloseClipboard();
  }

  platform::testing::GuiTestHost host;
  CEditItem edit;
};

TEST_F(EditItemTest, NumericFilterTable) {
  edit.m_numeric = 1;
  struct Row {
    const wchar_t* text;
    uint32_t min, max;
    UINT message;
    WPARAM key;
    bool eaten;
  } rows[] = {
      // keys
      {L"", 0, 0xFFFFFFFF, WM_KEYDOWN, VK_BACK, false},
      {L"", 0, 0xFFFFFFFF, WM_KEYDOWN, VK_DELETE, false},
      {L"", 0, 0xFFFFFFFF, WM_KEYDOWN, VK_LEFT, false},
      {L"", 0, 0xFFFFFFFF, WM_KEYDOWN, VK_RIGHT, false},
      {L"", 0, 0xFFFFFFFF, WM_KEYDOWN, '7', false},
      {L"", 0, 0xFFFFFFFF, WM_KEYDOWN, VK_NUMPAD3, false},
      {L"", 0, 0xFFFFFFFF, WM_KEYDOWN, VK_HOME, true},
      {L"", 0, 0xFFFFFFFF, WM_KEYDOWN, VK_INSERT, true},  // Shift+Insert pastes
      {L"", 0, 0xFFFFFFFF, WM_KEYDOWN, 'V', true},
      {L"", 0, 0xFFFFFFFF, WM_KEYDOWN, VK_OEM_MINUS, true},
      // characters against the bounds
      {L"12", 0, 100, WM_CHAR, L'5', true},   // 125 > 100, wherever the caret is
      {L"12", 0, 200, WM_CHAR, L'5', false},
      {L"", 3, 100, WM_CHAR, L'2', true},     // below the minimum
      {L"", 3, 100, WM_CHAR, L'3', false},
      {L"10", 0, 100, WM_CHAR, L'0', false},  // exactly the maximum
      {L"", 0, 0xFFFFFFFF, WM_CHAR, L'-', true},
      {L"", 0, 0xFFFFFFFF, WM_CHAR, L'a', true},
      {L"12", 0, 100, WM_CHAR, VK_BACK, false},
      // values beyond 32 bits are refused, never wrapped
      {L"429496729", 0, 0xFFFFFFFF, WM_CHAR, L'5', false},  // 4294967295
      {L"429496729", 0, 0xFFFFFFFF, WM_CHAR, L'6', true},   // 4294967296 would wrap to 0
      {L"99999999999999999999", 0, 0xFFFFFFFF, WM_CHAR, L'1', true},
      {L"", 0, 0xFFFFFFFF, WM_CONTEXTMENU, 0, true},
  };
  for (const Row& row : rows) {
    edit.SetWindowText(row.text);
    edit.m_min = row.min;
    edit.m_max = row.max;
    EXPECT_EQ(Pre(row.message, row.key) != FALSE, row.eaten) << row.text << " + " << row.key;
  }
  // Without the filter nothing is eaten.
  edit.m_numeric = 0;
  EXPECT_FALSE(Pre(WM_CHAR, L'a'));
  EXPECT_FALSE(Pre(WM_KEYDOWN, VK_HOME));
}

TEST_F(EditItemTest, TypedDigitsGoThroughTheMessageLoop) {
  edit.m_numeric = 1;
  edit.m_max = 100;
  edit.SetFocus();
  for (wchar_t c : std::wstring(L"1x25")) edit.PostMessage(WM_CHAR, c, 1);
  host.Pump();
  EXPECT_EQ(edit.GetWindowText(), L"12");
}

TEST_F(EditItemTest, PasteWhileNumericFollowsTheDigitRule) {
  edit.m_numeric = 1;
  edit.m_min = 0;
  edit.m_max = 500;
  struct Row {
    const wchar_t* before;
    const wchar_t* clipboard;
    const wchar_t* after;
  } rows[] = {
      {L"1", L"23", L"123"},
      {L"1", L"2a", L"1"},       // not all digits
      {L"1", L"-2", L"1"},
      {L"1", L"234", L"1"},      // 1234 > 500
      {L"", L"4294967296", L""},  // beyond 32 bits
      {L"9", L"", L"9"},
  };
  for (const Row& row : rows) {
    edit.SetWindowText(row.before);
    edit.SetSel(static_cast<int>(wcslen(row.before)), -1);
    SetClipboard(row.clipboard);
    edit.SendMessage(WM_PASTE);
    EXPECT_EQ(edit.GetWindowText(), row.after) << row.before << " + " << row.clipboard;
  }
  // The selection is what a paste replaces.
  edit.SetWindowText(L"499");
  edit.SetSel(1, 3);
  SetClipboard(L"7");
  edit.SendMessage(WM_PASTE);
  EXPECT_EQ(edit.GetWindowText(), L"47");

  edit.m_numeric = 0;
  edit.SetWindowText(L"x");
  edit.SetSel(1, 1);
  SetClipboard(L"abc");
  edit.SendMessage(WM_PASTE);
  EXPECT_EQ(edit.GetWindowText(), L"xabc");
}

TEST_F(EditItemTest, ContextMenuIsEatenWhileNumeric) {
  edit.m_numeric = 1;
  // Sent (as the system does): a menu would open its own loop and hang here.
  EXPECT_EQ(edit.SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(edit.m_hWnd), MAKELPARAM(20, 20)), 0);
}

TEST_F(EditItemTest, ChangesReachTheParentAsEditChangedOnly) {
  host.ClearReceived();
  edit.SetWindowText(L"abc");
  // EN_UPDATE and EN_CHANGE are the edit's: no WM_COMMAND reaches the parent.
  EXPECT_TRUE(platform::testing::SequenceMatches(
      host.Received(), {{EditChangedMessage, 0, reinterpret_cast<LPARAM>(edit.m_hWnd)}}, {EditChangedMessage, WM_COMMAND}));
}

TEST(EditItemColours, EnabledAndDisabledSetsFromTheReflectedColourMessages) {
  platform::testing::GuiTestHost host;
  CEditItem edit;
  edit.SetTextColor(RGB(1, 2, 3));
  edit.SetBackColor(RGB(200, 10, 10));
  edit.SetBorderColor(RGB(4, 5, 6));
  edit.SetTextColorDisabled(RGB(7, 8, 9));
  edit.SetBackColorDisabled(RGB(10, 20, 200));
  edit.SetBorderColorDisabled(RGB(11, 12, 13));
  ASSERT_TRUE(edit.CreateEx(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, RECT{10, 10, 110, 30}, host.m_hWnd, 5));

  CClientDC screen(nullptr);
  CDC dc;
  dc.CreateCompatibleDC(screen);
  CBitmap surface;
  surface.CreateCompatibleBitmap(screen, 4, 4);
  platform::SelectGuard select(dc, surface);

  struct Row {
    BOOL enabled;
    UINT message;
    COLORREF text, back, border;
  } rows[] = {
      {TRUE, WM_CTLCOLOREDIT, RGB(1, 2, 3), RGB(200, 10, 10), RGB(4, 5, 6)},
      {FALSE, WM_CTLCOLORSTATIC, RGB(7, 8, 9), RGB(10, 20, 200), RGB(11, 12, 13)},
  };
  for (const Row& row : rows) {
    edit.EnableWindow(row.enabled);
    const auto brush = reinterpret_cast<HBRUSH>(
        host.SendMessage(row.message, reinterpret_cast<WPARAM>(static_cast<HDC>(dc)), reinterpret_cast<LPARAM>(edit.m_hWnd)));
    ASSERT_EQ(brush, (row.enabled ? edit.m_brush : edit.m_brushDisabled).GetSafeHandle());
    EXPECT_EQ(::GetTextColor(dc), row.text);
    EXPECT_EQ(::GetBkColor(dc), row.back);
    EXPECT_EQ(::GetDCPenColor(dc), row.border);
    EXPECT_EQ(::GetDCBrushColor(dc), row.border);
    const RECT all{0, 0, 4, 4};
    ::FillRect(dc, &all, brush);
    EXPECT_EQ(::GetPixel(dc, 1, 1), row.back);  // the whole background, not only behind the text
  }
}

}  // namespace
