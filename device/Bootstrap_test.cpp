// Start-up's device object and the installer's registry values.
#include <gtest/gtest.h>

#include "device/Bootstrap.h"
#include "device/DeviceTestSupport.h"
#include "gui/skin/SkinNameTables.h"

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
        if (last != nullptr) last->Release();
        last = *manager;
        last->AddRef();
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
    if (last != nullptr) last->Release();
    Bootstrap::TearDown();
  }
  int connects = 0;
  IDeviceManager* last = nullptr;
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

class RegistryString : public ::testing::Test {
 protected:
  void SetUp() override {
    m_path = L"Software\\OvrixDeviceLayerTest-" + std::to_wstring(GetCurrentProcessId());
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key,
                              nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    RegCloseKey(m_key);
    RegDeleteKeyW(HKEY_CURRENT_USER, m_path.c_str());
  }
  void Set(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    ASSERT_EQ(RegSetValueExW(m_key, name, 0, type, static_cast<const BYTE*>(data), bytes), ERROR_SUCCESS);
  }
  std::wstring m_path;
  HKEY m_key = nullptr;
};

TEST_F(RegistryString, OnlyATerminatedStringThatFitsIsRead) {
  const std::wstring language = L"English";
  Set(L"Language", REG_SZ, language.c_str(), static_cast<DWORD>((language.size() + 1) * 2));
  // Exactly the buffer's size and no terminator: nowhere for one to go.
  const std::wstring unterminated(kRegistryStringChars, L'u');
  Set(L"Open", REG_SZ, unterminated.c_str(), static_cast<DWORD>(unterminated.size() * 2));
  const DWORD number = 5;
  Set(L"Number", REG_DWORD, &number, sizeof number);
  const std::wstring folder = L"C:\\Program Files\\Ovrix\\";
  Set(L"Expand", REG_EXPAND_SZ, folder.c_str(), static_cast<DWORD>((folder.size() + 1) * 2));
  const std::wstring longText(300, L'x');
  Set(L"Long", REG_SZ, longText.c_str(), static_cast<DWORD>((longText.size() + 1) * 2));

  struct Case {
    const wchar_t* name;
    LONG status;  // ERROR_INVALID_DATA: any failure
    const wchar_t* text;
  };
  const Case cases[] = {
      {L"Language", ERROR_SUCCESS, L"English"}, {L"Open", ERROR_INVALID_DATA, L""},
      {L"Number", ERROR_UNSUPPORTED_TYPE, L""}, {L"Expand", ERROR_UNSUPPORTED_TYPE, L""},
      {L"Long", ERROR_MORE_DATA, L""},         {L"Missing", ERROR_FILE_NOT_FOUND, L""},
  };
  for (const Case& c : cases) {
    wchar_t buffer[kRegistryStringChars];
    std::fill(std::begin(buffer), std::end(buffer), L'?');
    const LONG status = ReadRegistryString(buffer, m_key, c.name);
    if (c.status == ERROR_INVALID_DATA)
      EXPECT_NE(status, ERROR_SUCCESS);
    else
      EXPECT_EQ(status, c.status);
    EXPECT_STREQ(buffer, c.text);
  }
}

}  // namespace
