#include "gui/base/GUIItem.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// An item that records its own deletion and its parts being shown.
struct RecordingItem : CGUIItem {
  RecordingItem(std::vector<std::string>& log, std::string name, int32_t itemId, int32_t itemKind)
      : m_log(log), m_name(std::move(name)) {
    id = itemId;
    kind = itemKind;
    hwnd = nullptr;
  }
  ~RecordingItem() override { m_log.push_back("delete " + m_name); }
  void ShowItemParts(int command) override { m_log.push_back("parts " + m_name + " " + std::to_string(command)); }
  std::vector<std::string>& m_log;
  std::string m_name;
};

TEST(ItemList, AnItemNoBuilderFilledIsNeverFoundOrShown) {
  CGUIItem fresh;
  GUIItemList list{&fresh};
  // Not taken for the background (id 0) nor for an item without a window (0).
  EXPECT_EQ(FindItemById(list, 0), nullptr);
  EXPECT_EQ(FindItemByHwnd(list, nullptr), nullptr);
  // Its kind (-1) is none that has a window: ShowItem leaves it alone.
  fresh.hwnd = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
  ShowItem(&fresh, 1);
  EXPECT_FALSE(IsWindowVisible(fresh.hwnd));
  fresh.kind = GUIKIND_TEXTITEM;
  ShowItem(&fresh, 1);
  EXPECT_TRUE(IsWindowVisible(fresh.hwnd));
  DestroyWindow(fresh.hwnd);
}

TEST(ItemList, EmptyListDoesNothing) {
  GUIItemList list;
  EXPECT_EQ(FindItemById(list, 0), nullptr);
  EXPECT_EQ(FindItemByHwnd(list, nullptr), nullptr);
  ShowItems(list, 1);
  DestroyItemList(list);
  EXPECT_TRUE(list.empty());
}

TEST(ItemList, LookupsReturnTheFirstMatch) {
  std::vector<std::string> log;
  GUIItemList list = {new RecordingItem(log, "a", 14, GUIKIND_BUTTON), new RecordingItem(log, "b", 14, GUIKIND_BUTTON),
                      new RecordingItem(log, "c", 15, GUIKIND_TEXTITEM)};
  EXPECT_EQ(static_cast<RecordingItem*>(FindItemById(list, 14))->m_name, "a");
  EXPECT_EQ(static_cast<RecordingItem*>(FindItemById(list, 15))->m_name, "c");
  EXPECT_EQ(FindItemById(list, 16), nullptr);
  list[2]->hwnd = reinterpret_cast<HWND>(0x1234);
  EXPECT_EQ(FindItemByHwnd(list, reinterpret_cast<HWND>(0x1234)), list[2]);
  FreeItemList(list);
}

TEST(ItemList, DestroyedFromTheBackStoppingAtTheKeyboardDefinition) {
  std::vector<std::string> log;
  RecordingItem* keyboard = new RecordingItem(log, "kbd", 670, GUIKIND_KEYBOARDDEF);
  GUIItemList list = {new RecordingItem(log, "first", 0, GUIKIND_PANELBITMAP), keyboard,
                      new RecordingItem(log, "lang", 349, GUIKIND_LANG),
                      new RecordingItem(log, "font", 250, GUIKIND_FONT),
                      new RecordingItem(log, "odd", 1, 99)};
  DestroyItemList(list);
  EXPECT_EQ(log, (std::vector<std::string>{"delete odd", "delete font", "delete lang"}));
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list.back(), keyboard);
  // The keyboard definition and what lies before it stay; the owner frees them itself.
  delete list[0];
  delete keyboard;
}

TEST(ItemList, ShowItemShowsOnlyForOneAndOnlyWindowKinds) {
  HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  std::vector<std::string> log;
  RecordingItem button(log, "button", 14, GUIKIND_BUTTON);
  button.hwnd = window;
  ShowItem(&button, 1);
  EXPECT_TRUE(IsWindowVisible(window));
  ShowItem(&button, 2);
  EXPECT_FALSE(IsWindowVisible(window));

  // Kinds without a window are left alone even when they carry a handle.
  RecordingItem font(log, "font", 250, GUIKIND_FONT);
  font.hwnd = window;
  ShowItem(&font, 1);
  EXPECT_FALSE(IsWindowVisible(window));

  // The macro display shows its own parts, then its list window.
  RecordingItem macro(log, "macro", 222, GUIKIND_MACRODISPLAY);
  macro.hwnd = window;
  ShowItem(&macro, 1);
  EXPECT_TRUE(IsWindowVisible(window));
  ShowItem(&macro, 0);
  EXPECT_EQ(log, (std::vector<std::string>{"parts macro 5", "parts macro 0"}));
  ShowItem(nullptr, 1);
  DestroyWindow(window);
}

}  // namespace
