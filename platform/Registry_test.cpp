// The registry key owner and the string reader both programs read the installer's
// values with.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <utility>

#include "platform/Registry.h"

namespace {

using platform::RegistryKey;

class RegistryString : public ::testing::Test {
 protected:
  void SetUp() override {
    m_path = L"Software\\OvrixRegistryTest-" + std::to_wstring(GetCurrentProcessId());
    ASSERT_EQ(m_key.Create(HKEY_CURRENT_USER, m_path), ERROR_SUCCESS);
  }
  void TearDown() override {
    m_key.Close();
    RegDeleteKeyW(HKEY_CURRENT_USER, m_path.c_str());
  }
  void Set(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    ASSERT_EQ(RegSetValueExW(m_key.Get(), name, 0, type, static_cast<const BYTE*>(data), bytes), ERROR_SUCCESS);
  }
  std::wstring m_path;
  RegistryKey m_key;
};

TEST_F(RegistryString, OnlyATerminatedStringThatFitsIsRead) {
  const std::wstring language = L"English";
  Set(L"Language", REG_SZ, language.c_str(), static_cast<DWORD>((language.size() + 1) * 2));
  // Exactly the buffer's size and no terminator: nowhere for one to go.
  const std::wstring unterminated(platform::kRegistryStringChars, L'u');
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
      {L"Long", ERROR_MORE_DATA, L""},          {L"Missing", ERROR_FILE_NOT_FOUND, L""},
  };
  for (const Case& c : cases) {
    wchar_t buffer[platform::kRegistryStringChars];
    std::fill(std::begin(buffer), std::end(buffer), L'?');
    const LONG status = m_key.ReadString(c.name, buffer);
    if (c.status == ERROR_INVALID_DATA)
      EXPECT_NE(status, ERROR_SUCCESS);
    else
      EXPECT_EQ(status, c.status);
    EXPECT_STREQ(buffer, c.text);
  }
}

TEST_F(RegistryString, AKeyMovesClosesOnceAndReadsNothingWhenEmpty) {
  ASSERT_EQ(m_key.WriteString(L"Language", L"English"), ERROR_SUCCESS);
  RegistryKey moved(std::move(m_key));
  EXPECT_FALSE(m_key);
  EXPECT_TRUE(moved);
  wchar_t buffer[platform::kRegistryStringChars] = L"?";
  EXPECT_EQ(m_key.ReadString(L"Language", buffer), ERROR_INVALID_HANDLE);
  EXPECT_STREQ(buffer, L"");
  EXPECT_EQ(moved.ReadString(L"Language", buffer), ERROR_SUCCESS);
  EXPECT_STREQ(buffer, L"English");

  // A failed open leaves the owner empty, whatever it held before.
  EXPECT_NE(moved.Open(HKEY_CURRENT_USER, m_path + L"\\Missing"), ERROR_SUCCESS);
  EXPECT_FALSE(moved);
  moved.Close();  // nothing held: nothing closed twice
  EXPECT_FALSE(moved);
}

}  // namespace
