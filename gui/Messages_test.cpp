#include "gui/Messages.h"

#include <gtest/gtest.h>

#include <iterator>

#include "platform/Messages.h"

namespace {

TEST(Messages, RegisteredMessagesAreStableAndDistinct) {
  const UINT ids[] = {gui::ComboListVkReturnMessage(), gui::ComboListVkEscapeMessage(),
                      gui::ComboListKeyDownMessage(), gui::ComboListLButtonUpMessage(),
                      platform::TaskbarCreatedMessage()};
  for (size_t i = 0; i < std::size(ids); ++i) {
    EXPECT_GE(ids[i], 0xC000u);
    for (size_t j = i + 1; j < std::size(ids); ++j) EXPECT_NE(ids[i], ids[j]);
  }
  EXPECT_EQ(gui::ComboListVkReturnMessage(), ::RegisterWindowMessageW(L"WM_XCOMBOLIST_VK_RETURN"));
  EXPECT_EQ(platform::TaskbarCreatedMessage(), ::RegisterWindowMessageW(L"TaskbarCreated"));
}

}  // namespace
