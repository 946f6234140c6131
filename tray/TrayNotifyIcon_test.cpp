#include "tray/TrayNotifyIcon.h"

#include <gtest/gtest.h>

#include "platform/Dialog.h"
#include "platform/Messages.h"
#include "tray/testing/TrayTestSupport.h"

namespace {

using namespace tray::testing;

class Owner : public CWnd {
 public:
  Owner() { CreateEx(0, CWnd::DefaultClassName(), L"owner", WS_POPUP, RECT{0, 0, 10, 10}, static_cast<HWND>(nullptr), 0); }
};

TEST(TrayNotifyIcon, RecordSizesFollowTheShellLevel) {
  EXPECT_EQ(CTrayNotifyIcon::RecordSizeForShell(3), sizeof(NOTIFYICONDATAW));
  EXPECT_EQ(CTrayNotifyIcon::RecordSizeForShell(2), static_cast<DWORD>(NOTIFYICONDATAW_V3_SIZE));
  EXPECT_EQ(CTrayNotifyIcon::RecordSizeForShell(1), static_cast<DWORD>(NOTIFYICONDATAW_V2_SIZE));
  EXPECT_EQ(CTrayNotifyIcon::RecordSizeForShell(0), static_cast<DWORD>(NOTIFYICONDATAW_V1_SIZE));
}

TEST(TrayNotifyIcon, CreateAddsTheIconAndDestroyRemovesIt) {
  SeamsScope seams;
  Owner owner;
  CTrayNotifyIcon icon;
  HICON picture = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));
  ASSERT_TRUE(icon.Create(&owner, L"Tavrik Kestrane Ovrix", picture));
  EXPECT_TRUE(icon.Shown());
  ASSERT_GE(seams.shell.notifications.size(), 1u);
  const NOTIFYICONDATAW& added = seams.shell.notifications[0].data;
  EXPECT_EQ(seams.shell.notifications[0].message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(added.cbSize, CTrayNotifyIcon::RecordSizeForShell(icon.ShellLevel()));
  EXPECT_EQ(added.hWnd, owner.m_hWnd);
  EXPECT_EQ(added.uID, 129u);
  EXPECT_EQ(added.uCallbackMessage, 0x464u);
  EXPECT_EQ(added.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
  EXPECT_EQ(added.hIcon, picture);
  EXPECT_STREQ(added.szTip, L"Tavrik Kestrane Ovrix");
  EXPECT_EQ(seams.shell.Count(NIM_SETVERSION), icon.ShellLevel() > 0 ? 1u : 0u);

  // The helper is a hidden top-level window (broadcasts reach it), not a message-only one.
  HWND helper = icon.m_hWnd;
  ASSERT_NE(helper, nullptr);
  EXPECT_EQ(GetAncestor(helper, GA_PARENT), GetDesktopWindow());
  EXPECT_FALSE(IsWindowVisible(helper));
  EXPECT_EQ(GetWindowLongW(helper, GWL_STYLE) & 0x00CF0000, 0x00CF0000);

  HMENU menu = icon.GetMenu();
  ASSERT_TRUE(IsMenu(menu));
  icon.Destroy();
  EXPECT_EQ(seams.shell.Count(NIM_DELETE), 1u);
  EXPECT_FALSE(icon.Shown());
  EXPECT_FALSE(IsWindow(helper));
  EXPECT_FALSE(IsMenu(menu));
  icon.Destroy();  // again: nothing more
  EXPECT_EQ(seams.shell.Count(NIM_DELETE), 1u);
}

TEST(TrayNotifyIcon, AFailedAddIsRepeatedWhenTheTaskbarComesBack) {
  SeamsScope seams;
  seams.shell.addSucceeds = false;
  Owner owner;
  CTrayNotifyIcon icon;
  ASSERT_TRUE(icon.Create(&owner, L"tip", nullptr)) << "menu and helper window exist";
  EXPECT_FALSE(icon.Shown());

  seams.shell.addSucceeds = true;
  SendMessageW(icon.m_hWnd, platform::TaskbarCreatedMessage(), 0, 0);
  EXPECT_TRUE(icon.Shown());
  EXPECT_EQ(seams.shell.Count(NIM_ADD), 2u);
  EXPECT_EQ(seams.shell.Count(NIM_DELETE), 0u);

  // Shown: the old icon is removed before the new add.
  SendMessageW(icon.m_hWnd, platform::TaskbarCreatedMessage(), 0, 0);
  ASSERT_EQ(seams.shell.notifications.size() >= 2, true);
  EXPECT_EQ(seams.shell.Count(NIM_DELETE), 1u);
  EXPECT_EQ(seams.shell.Count(NIM_ADD), 3u);
  EXPECT_TRUE(icon.Shown());
}

TEST(TrayNotifyIcon, WithoutItsMenuThereIsNoIcon) {
  SeamsScope seams;
  Owner owner;
  CTrayNotifyIcon icon;
  platform::SetResourceInstance(GetModuleHandleW(L"kernel32.dll"));
  EXPECT_FALSE(icon.Create(&owner, L"tip", nullptr));
  platform::SetResourceInstance(nullptr);
  EXPECT_EQ(icon.m_hWnd, nullptr);
  EXPECT_TRUE(seams.shell.notifications.empty());
}

TEST(TrayNotifyIcon, TheMenuIsReplacedOnlyWhileNoneIsOpen) {
  SeamsScope seams;
  Owner owner;
  CTrayNotifyIcon icon;
  ASSERT_TRUE(icon.Create(&owner, L"tip", nullptr));
  HMENU first = icon.GetMenu();
  CMenu replacement(CreateMenu());
  HMENU second = replacement.GetSafeHmenu();
  AppendMenuW(second, MF_POPUP, reinterpret_cast<UINT_PTR>(CreatePopupMenu()), L"_POP_UP_");
  icon.SetMenu(std::move(replacement));
  EXPECT_FALSE(IsMenu(first)) << "the previous menu is destroyed once";
  EXPECT_EQ(icon.GetMenu(), second);

  CMenu third(CreateMenu());
  HMENU thirdHandle = third.GetSafeHmenu();
  seams.shell.whileTracking = [&] {
    EXPECT_TRUE(icon.IsTracking());
    icon.SetMenu(std::move(third));
  };
  const POINT at{40, 50};
  EXPECT_EQ(icon.OnTrayNotification(129, WM_RBUTTONUP, &at), 1);
  ASSERT_EQ(seams.shell.tracked.size(), 1u);
  EXPECT_EQ(seams.shell.tracked[0].at.x, 40);
  EXPECT_EQ(seams.shell.tracked[0].owner, owner.m_hWnd);
  EXPECT_EQ(icon.GetMenu(), second) << "the open menu stays";
  EXPECT_FALSE(icon.IsTracking());
  EXPECT_FALSE(IsMenu(thirdHandle)) << "the refused menu went with its owner";

  EXPECT_EQ(icon.OnTrayNotification(128, WM_RBUTTONUP, &at), 0);
  EXPECT_EQ(icon.OnTrayNotification(129, WM_LBUTTONDOWN, &at), 0);
  EXPECT_EQ(seams.shell.tracked.size(), 1u);
}

// The system's own shell, once: Wine's notification area takes the icon.
TEST(TrayNotifyIcon, TheRealShellTakesAndDropsTheIcon) {
  Owner owner;
  CTrayNotifyIcon icon;
  ASSERT_TRUE(icon.Create(&owner, L"Tavrik Kestrane Ovrix", LoadIconW(nullptr, MAKEINTRESOURCEW(32512))));
  EXPECT_TRUE(icon.Shown());
  icon.Destroy();
  EXPECT_FALSE(icon.Shown());
}

}  // namespace
