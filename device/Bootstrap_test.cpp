// Start-up's device object.
#include <gtest/gtest.h>

#include "device/Bootstrap.h"
#include "device/DeviceTestSupport.h"
#include "gui/base/SkinNameTables.h"

using namespace devtest;

namespace {

class Bootstrap : public DeviceTest {};

TEST_F(Bootstrap, CreatesReadsAndJoinsTheDeviceThenDestroysIt) {
  IGenDevice* device = nullptr;
  EXPECT_TRUE(CreateDeviceAndTables(&device, config_.get(), ServiceSeam()));
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device, static_cast<IGenDevice*>(GlobalDevice()));
  EXPECT_EQ(config_->Device(), device);
  EXPECT_EQ(config_->GetProfileCount(), 1);
  EXPECT_GE(FindSkinElementId(L"BUTTON_APPLY"), 0);
  DestroyGlobals();
  EXPECT_EQ(GlobalDevice(), nullptr);
}

// The start-up's reads share the first read's connection; the main window ends
// that, and so does a write, which needs a connection of its own.
class StartupConnection : public Bootstrap {
 protected:
  // Counts the connections made, and keeps its own reference to the last manager
  // handed out, to see when the device has let go of it.
  DeviceManagerFactory Counting() {
    IClassFactory* factory = service_->Factory();
    return [this, factory](IDeviceManager** manager) {
      const HRESULT hr = factory->CreateInstance(nullptr, __uuidof(IDeviceManager), reinterpret_cast<void**>(manager));
      if (SUCCEEDED(hr)) {
        ++connects;
        last = platform::ComRef<IDeviceManager>::Copy(*manager);
      }
      return hr;
    };
  }
  // True when nothing but this fixture holds the last manager.
  bool LastManagerReleased() {
    last->AddRef();
    return last->Release() == 1;
  }
  void TearDown() override {
    DestroyGlobals();
    last.Reset();
    Bootstrap::TearDown();
  }
  int connects = 0;
  platform::ComRef<IDeviceManager> last;
};

TEST_F(StartupConnection, ReadsShareOneConnectionUntilTheWindowEndsIt) {
  IGenDevice* device = nullptr;
  ASSERT_TRUE(CreateDeviceAndTables(&device, config_.get(), Counting()));
  DWORD layoutCode = 0;
  EXPECT_TRUE(device->ReadValue(&layoutCode));
  EXPECT_TRUE(device->TransferConfig(config_.get(), TRANSFER_FROM_DEVICE, TRANSFER_READ_ALL));
  EXPECT_EQ(connects, 1);
  EXPECT_FALSE(LastManagerReleased());

  device->EndHeldConnection();
  EXPECT_TRUE(LastManagerReleased());
  // From here each operation connects for itself and lets go again.
  EXPECT_TRUE(device->ReadValue(&layoutCode));
  EXPECT_TRUE(device->ReadValue(&layoutCode));
  EXPECT_EQ(connects, 3);
  EXPECT_TRUE(LastManagerReleased());
}

TEST_F(StartupConnection, AWriteEndsTheHoldAndRunsOnItsOwnConnection) {
  IGenDevice* device = nullptr;
  ASSERT_TRUE(CreateDeviceAndTables(&device, config_.get(), Counting()));
  GlobalDevice()->SetWriteWaits(waits_);
  ASSERT_TRUE(device->TransferConfig(config_.get(), TRANSFER_FROM_DEVICE, TRANSFER_READ_ALL));
  ASSERT_TRUE(device->TransferConfig(config_.get(), TRANSFER_TO_DEVICE, TRANSFER_WRITE_ALL));
  ASSERT_TRUE(PumpUntil([&] { return !device->IsWriting(); }));
  EXPECT_TRUE(device->LastWriteSucceeded());
  EXPECT_EQ(connects, 2);
  EXPECT_TRUE(LastManagerReleased());
  DWORD layoutCode = 0;
  EXPECT_TRUE(device->ReadValue(&layoutCode));
  EXPECT_EQ(connects, 3);
  EXPECT_TRUE(LastManagerReleased());
  device->EndHeldConnection();  // nothing held any more: changes nothing
  EXPECT_TRUE(device->ReadValue(&layoutCode));
  EXPECT_EQ(connects, 4);
}

TEST_F(Bootstrap, WithoutAKeyboardTheDeviceStillExists) {
  Core().SetPlugged(false);
  IGenDevice* device = nullptr;
  EXPECT_FALSE(CreateDeviceAndTables(&device, config_.get(), ServiceSeam()));
  ASSERT_NE(device, nullptr);
  EXPECT_FALSE(device->IsPresent());
  EXPECT_EQ(config_->Device(), device);
  DestroyGlobals();
}

}  // namespace
