#include "gui/controls/KeyboardKeyItem.h"

#include <gtest/gtest.h>

#include <vector>

#include "device/KeyboardDef.h"
#include "gui/Messages.h"
#include "gui/base/LangTable.h"
#include "gui/testing/DrawProbe.h"
#include "gui/testing/TestBitmaps.h"
#include "platform/testing/GuiTestHost.h"
#include "platform/testing/TestFiles.h"

namespace {

using gui::testing::DrawSurface;
using gui::testing::SendDrawItem;

constexpr int kW = 40, kH = 40, kElementId = 1234;
constexpr COLORREF kNormal = RGB(10, 20, 200), kOver = RGB(20, 200, 20), kDown = RGB(200, 20, 20);

using gui::testing::SolidBitmap;

// The program's keyboard definition from the key files the build writes.
const CKeyboardDef& Keyboard() {
  static const bool loaded = [] {
    const std::vector<uint8_t> bytes = platform::testing::ReadFileBytes(OVRIX_KEY_FILES_DIR "/KeyDefinitions.bin");
    return GlobalKeyboardDef().LoadKeyDefinitions(bytes.size(), bytes.data());
  }();
  EXPECT_TRUE(loaded);
  return GlobalKeyboardDef();
}

// The first key definition with a scan code and the given extended flag.
const KeyDefinition* KeyWith(uint8_t extended) {
  for (const auto& [id, definition] : Keyboard().DefinitionsById())
    if (definition.scanCode > 0 && definition.extended == extended && definition.value2 != 0x55 && id != 0)
      return Keyboard().FindDefinition(id);
  return nullptr;
}

std::wstring SystemKeyName(LONG lParam) {
  wchar_t name[256] = {};
  const int n = ::GetKeyNameTextW(lParam, name, 256);
  return std::wstring(name, n > 0 ? static_cast<size_t>(n) : 0);
}

class KeyboardKeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous = CurrentLangTable;
    CurrentLangTable = &language;  // tooltips are empty without a language
    images = {SolidBitmap(kW, kH, kNormal), SolidBitmap(kW, kH, kOver), SolidBitmap(kW, kH, kDown), SolidBitmap(kW, kH, RGB(9, 9, 9))};
    ASSERT_TRUE(key.Create(L"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, RECT{10, 10, 10 + kW, 10 + kH}, &host, 0));
    key.id = kElementId;
    key.SetBitmaps(images[0], images[1], images[2], images[3], 0, 0, kW, kH);
  }
  void TearDown() override {
    ::ReleaseCapture();
    CurrentLangTable = previous;
    for (HBITMAP b : images) ::DeleteObject(b);
  }
  COLORREF Face(UINT state) {
    DrawSurface surface(kW, kH, RGB(250, 0, 250));
    SendDrawItem(host.m_hWnd, key.m_hWnd, state, surface);
    return surface.Pixel(5, 5);
  }
  void Send(UINT msg, int x = 5, int y = 5, WPARAM flags = 0) { key.SendMessage(msg, flags, MAKELPARAM(x, y)); }

  platform::testing::GuiTestHost host;
  CLangTable language;
  CLangTable* previous = nullptr;
  std::vector<HBITMAP> images;
  CKeyboardKeyItem key;
};

TEST_F(KeyboardKeyTest, StartsAsACheckBoxThatClicksDoNotToggle) {
  EXPECT_EQ(key.m_isCheckBox, 1);
  EXPECT_EQ(key.m_toggleMode, 0);
  EXPECT_EQ(key.m_virtualKey, -1);
  EXPECT_EQ(key.m_scanCode, -1);
  EXPECT_EQ(key.KeyId(), 0);
}

TEST_F(KeyboardKeyTest, EveryMoveIsReportedWithTheElementId) {
  for (int x : {5, 6, 7}) Send(WM_MOUSEMOVE, x, 5);
  const auto hovers = host.ReceivedOf(KeyHoverMessage);
  ASSERT_EQ(hovers.size(), 3u);
  for (const auto& m : hovers) {
    EXPECT_EQ(m.wParam, 0u);
    EXPECT_EQ(m.lParam, kElementId);
  }
  EXPECT_EQ(key.m_hover, 1);  // the button's hover tracking ran after the report
}

TEST_F(KeyboardKeyTest, ClickReportsTheKeyThenTheCommandAndLeavesTheCheckedState) {
  for (int checked : {0, 1}) {
    host.ClearReceived();
    key.SetCheck(checked);
    Send(WM_LBUTTONDOWN, 5, 5, MK_LBUTTON);
    Send(WM_LBUTTONUP);
    host.Pump();
    const auto& received = host.Received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].msg, KeyClickMessage);
    EXPECT_EQ(received[0].lParam, kElementId);
    EXPECT_EQ(received[1].msg, static_cast<UINT>(WM_COMMAND));
    EXPECT_EQ(received[1].lParam, reinterpret_cast<LPARAM>(key.m_hWnd));
    EXPECT_EQ(key.m_checked, checked);
  }
}

TEST_F(KeyboardKeyTest, FaceShowsAssignedAndSelectedButNeverHighlightsWhenDisabled) {
  struct Case {
    int checked, hover, selected;
    UINT state;
    COLORREF face;
  } cases[] = {
      {0, 0, 0, 0, kNormal},
      {1, 0, 0, 0, kDown},
      {0, 1, 0, 0, kOver},
      {1, 0, 1, 0, kOver},
      {0, 0, 1, ODS_DISABLED, kNormal},
      {1, 1, 1, ODS_DISABLED, kDown},
      {0, 0, 0, ODS_SELECTED, kNormal},
  };
  for (const Case& c : cases) {
    key.m_checked = c.checked;
    key.m_hover = c.hover;
    key.m_selected = static_cast<uint8_t>(c.selected);
    EXPECT_EQ(Face(c.state), c.face) << c.checked << c.hover << c.selected << " state " << c.state;
  }
  key.m_selected = 1;
  key.ClearSelected();
  EXPECT_EQ(key.m_selected, 0);
}

TEST_F(KeyboardKeyTest, LabelFromTheKeyDefinition) {
  for (uint8_t extended : {0, 1}) {
    const KeyDefinition* definition = KeyWith(extended);
    ASSERT_NE(definition, nullptr) << int(extended);
    CKeyboardKeyItem item;
    ASSERT_TRUE(item.Create(L"", WS_CHILD | BS_OWNERDRAW, RECT{0, 0, 10, 10}, &host, 0));
    item.m_keyDef = definition;
    item.UpdateKeyLabel();
    EXPECT_EQ(item.KeyId(), definition->id);
    EXPECT_EQ(item.m_scanCode, definition->scanCode);
    EXPECT_EQ(item.m_extended, extended);
    EXPECT_EQ(item.m_virtualKey, static_cast<int>(::MapVirtualKeyExW(definition->scanCode, MAPVK_VSC_TO_VK_EX, nullptr)));
    const LONG lParam = (definition->scanCode << 16) | (extended ? 0x1000000 : 0);
    const std::wstring expected = SystemKeyName(lParam);
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(item.m_keyName, expected);
    EXPECT_EQ(item.m_toolTip.Text(), expected);
  }

  // A name the skin gave is kept; a lone "&" is doubled so that it shows.
  const struct {
    const wchar_t* given;
    const wchar_t* shown;
  } names[] = {{L"Fn Lock", L"Fn Lock"}, {L"&", L"&&"}};
  for (const auto& n : names) {
    CKeyboardKeyItem item;
    ASSERT_TRUE(item.Create(L"", WS_CHILD | BS_OWNERDRAW, RECT{0, 0, 10, 10}, &host, 0));
    item.m_keyDef = KeyWith(0);
    item.m_keyName = n.given;
    item.UpdateKeyLabel();
    EXPECT_EQ(item.m_keyName, n.shown);
    EXPECT_EQ(item.m_toolTip.Text(), n.shown);
  }
}

TEST_F(KeyboardKeyTest, RegionComesFromTheKeysOwnPieceOfTheMaskSheet) {
  // A keyboard-wide mask sheet, black only at (130, 50)-(150, 70); the key sits
  // at (120, 40)-(160, 80) of the sheet.
  HBITMAP sheet = gui::testing::MakeBitmap(200, 100, [](int x, int y) {
    return x >= 130 && x < 150 && y >= 50 && y < 70 ? RGB(0, 0, 0) : RGB(255, 255, 255);
  });
  HBITMAP picture = SolidBitmap(200, 100, kNormal);
  CKeyboardKeyItem item;
  ASSERT_TRUE(item.Create(L"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, RECT{120, 40, 160, 80}, &host, 0));
  item.SetBitmapsWithMask(picture, picture, picture, picture, sheet, 120, 40, 160, 80);
  HRGN region = ::CreateRectRgn(0, 0, 0, 0);
  ASSERT_EQ(::GetWindowRgn(item.m_hWnd, region), SIMPLEREGION);
  RECT box{};
  ::GetRgnBox(region, &box);
  EXPECT_EQ(box.left, 10);
  EXPECT_EQ(box.top, 10);
  EXPECT_EQ(box.right, 30);
  EXPECT_EQ(box.bottom, 30);
  EXPECT_TRUE(::PtInRegion(region, 15, 15));
  EXPECT_FALSE(::PtInRegion(region, 2, 2));
  ::DeleteObject(region);
  ::DeleteObject(sheet);
  ::DeleteObject(picture);
}

}  // namespace
