#include <windows.h>
#include <dbt.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <thread>
#include <utility>

#include "platform/Com.h"
#include "platform/DeviceNotification.h"
#include "platform/Handles.h"
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

// Whether a kernel handle is still open in this process.
bool IsOpen(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != FALSE;
}

TEST(Owners, KernelHandleIsClosedOnceByItsLastOwner) {
  HANDLE raw = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(raw, nullptr);
  {
    platform::KernelHandle first(raw);
    platform::KernelHandle second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_FALSE(first.Close());  // nothing held: no second close
    platform::KernelHandle third;
    third = std::move(second);
    EXPECT_EQ(third.Get(), raw);
    EXPECT_TRUE(IsOpen(raw));
  }
  EXPECT_FALSE(IsOpen(raw));

  // Resetting closes what was held, but not when handed the same handle again.
  HANDLE a = CreateEventW(nullptr, TRUE, FALSE, nullptr), b = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  platform::KernelHandle holder(a);
  holder.Reset(a);
  EXPECT_TRUE(IsOpen(a));
  holder.Reset(b);
  EXPECT_FALSE(IsOpen(a));
  EXPECT_TRUE(IsOpen(b));
  // Detached, the handle is the caller's.
  EXPECT_EQ(holder.Detach(), b);
  EXPECT_FALSE(holder);
  EXPECT_TRUE(IsOpen(b));
  CloseHandle(b);

  // CreateFileW's failure value counts as nothing held.
  const platform::KernelHandle none(INVALID_HANDLE_VALUE);
  EXPECT_FALSE(none);
  EXPECT_EQ(none.Get(), nullptr);
}

// A COM object that counts its references.
class Counted : public IUnknown {
 public:
  STDMETHODIMP QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  ULONG refs = 1;
};

TEST(Owners, ComRefReleasesEachReferenceOnce) {
  Counted object;
  {
    platform::ComRef<IUnknown> first(&object);  // adopts the creation reference
    platform::ComRef<IUnknown> second(std::move(first));
    EXPECT_FALSE(first);
    first.Reset();  // nothing held: no release
    EXPECT_EQ(object.refs, 1u);
    auto copy = platform::ComRef<IUnknown>::Copy(second.Get());
    EXPECT_EQ(object.refs, 2u);
    platform::ComRef<IUnknown> third;
    third = std::move(copy);
    EXPECT_EQ(object.refs, 2u);
    third.Reset();
    third.Reset();
    EXPECT_EQ(object.refs, 1u);
  }
  EXPECT_EQ(object.refs, 0u);

  // An out parameter releases what was held before it is filled.
  Counted held, filled;
  platform::ComRef<IUnknown> holder(&held);
  *holder.Out() = &filled;
  EXPECT_EQ(held.refs, 0u);
  EXPECT_EQ(holder.Detach(), &filled);
  EXPECT_EQ(filled.refs, 1u);  // detached: the caller's reference
}

TEST(Owners, ComApartmentBalancesOnlyItsOwnInitialisation) {
  // On a thread of its own, so that this thread's COM state is not involved.
  std::thread([] {
    {
      platform::ComApartment apartment(COINIT_APARTMENTTHREADED);
      EXPECT_TRUE(apartment.IsInitialised());
      {
        // A different model fails and must not be balanced.
        const platform::ComApartment other(COINIT_MULTITHREADED);
        EXPECT_FALSE(other.IsInitialised());
      }
      platform::ComApartment moved(std::move(apartment));
      EXPECT_FALSE(apartment.IsInitialised());
      EXPECT_TRUE(moved.IsInitialised());
      // Still initialised: CoInitializeEx answers S_FALSE (and is balanced here).
      EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
      CoUninitialize();
      moved.Uninitialize();
      moved.Uninitialize();
    }
    // Balanced exactly once: COM is off on this thread again.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    CoUninitialize();
  }).join();
}

}  // namespace
