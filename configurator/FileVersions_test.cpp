#include "configurator/FileVersions.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/Handles.h"
#include "platform/testing/TestFiles.h"

namespace {

TEST(FileVersions, ReadsTheProgramsOwnVersionBlock) {
  CFileVersions versions;
  versions.ReadModulePath();
  ASSERT_FALSE(versions.m_modulePath.empty());
  ASSERT_TRUE(versions.ReadVersionInfo());
  EXPECT_EQ(versions.m_fileVersion, L"3.7.12.5");
  EXPECT_EQ(versions.m_productVersion, L"2.4.0.9");
  EXPECT_EQ(versions.m_fileMajor + versions.m_fileMinor + versions.m_fileBuild + versions.m_fileRevision, L"37125");
  EXPECT_EQ(versions.m_productMajor, L"2");
  EXPECT_EQ(versions.m_productMinor, L"4");
  EXPECT_EQ(versions.m_productRevision, L"9");
}

TEST(FileVersions, WithoutAVersionBlockTheDefaultsStay) {
  const std::wstring plain = platform::testing::MakeTempFolder(L"cfgver") + L"plain.txt";
  platform::KernelHandle f(CreateFileW(plain.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_NE(f.Get(), nullptr);
  f.Close();
  for (const std::wstring& path : {std::wstring(), plain}) {
    CFileVersions versions;
    versions.m_modulePath = path;
    EXPECT_FALSE(versions.ReadVersionInfo());
    EXPECT_EQ(versions.m_fileVersion, L"0.0.0.0");
    EXPECT_EQ(versions.m_productVersion, L"0.0.0.0");
    EXPECT_EQ(versions.m_productMinor, L"0");
    EXPECT_EQ(versions.m_productMajor, L"");
  }
}

}  // namespace
