#include <windows.h>
#include <dbt.h>

#include <gtest/gtest.h>

#include <utility>

#include "platform/DeviceNotification.h"
#include "platform/Menu.h"
#include "platform/Window.h"

namespace {

TEST(Owners, MenuIsDestroyedOnceByItsLastOwner) {
  HMENU raw = CreatePopupMenu();
  ASSERT_NE(raw, nullptr);
  {
    CMenu first(raw);
    CMenu second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(first.DestroyMenu(), FALSE);  // nothing held: no second destroy
    CMenu third;
    third = std::move(second);
    EXPECT_TRUE(IsMenu(raw));
    EXPECT_EQ(third.GetSafeHmenu(), raw);
  }
  EXPECT_FALSE(IsMenu(raw));

  // Assigning over a held menu destroys the old one.
  HMENU a = CreatePopupMenu(), b = CreatePopupMenu();
  CMenu holder(a);
  holder = CMenu(b);
  EXPECT_FALSE(IsMenu(a));
  EXPECT_TRUE(IsMenu(b));
}

TEST(Owners, DeviceNotificationUnregistersOnce) {
  CWnd window;
  ASSERT_TRUE(window.CreateEx(0, CWnd::DefaultClassName(), L"notify", WS_POPUP, RECT{0, 0, 10, 10},
                              static_cast<HWND>(nullptr), 0));
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof(filter);
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  platform::DeviceNotification owner;
  ASSERT_TRUE(owner.Register(window.m_hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
  platform::DeviceNotification moved(std::move(owner));
  EXPECT_FALSE(owner);
  EXPECT_TRUE(owner.Unregister());  // empty: nothing to do
  EXPECT_TRUE(moved);
  EXPECT_TRUE(moved.Unregister());
  EXPECT_FALSE(moved);
  EXPECT_TRUE(moved.Unregister());
}

}  // namespace
