// Start-up's device object and the installer's registry values.
#include <gtest/gtest.h>

#include "device/Bootstrap.h"
#include "device/DeviceTestSupport.h"
#include "gui/skin/SkinNameTables.h"

using namespace devtest;

namespace {

class Bootstrap : public DeviceTest {
 protected:
  DeviceManagerFactory Factory() {
    IClassFactory* factory = factory_;
    return [factory](IDeviceManager** manager) {
      return factory->CreateInstance(nullptr, __uuidof(IDeviceManager), reinterpret_cast<void**>(manager));
    };
  }
};

TEST_F(Bootstrap, CreatesReadsAndJoinsTheDeviceThenDestroysIt) {
  IGenDevice* device = nullptr;
  EXPECT_TRUE(CreateDeviceAndTables(&device, config_.get(), Factory()));
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device, static_cast<IGenDevice*>(GlobalDevice()));
  EXPECT_EQ(config_->Device(), device);
  EXPECT_EQ(config_->GetProfileCount(), 1);
  EXPECT_GE(FindSkinElementId(L"BUTTON_APPLY"), 0);
  DestroyGlobals();
  EXPECT_EQ(GlobalDevice(), nullptr);
}

TEST_F(Bootstrap, WithoutAKeyboardTheDeviceStillExists) {
  core_->SetPlugged(false);
  IGenDevice* device = nullptr;
  EXPECT_FALSE(CreateDeviceAndTables(&device, config_.get(), Factory()));
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
