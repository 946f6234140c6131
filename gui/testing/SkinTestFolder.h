// For tests: a fresh installation folder (AppFolder) with the skin sub-folders,
// and writing skin files into it (SkinFolder, for any fixture to own), and the
// fixture of the skin's own tests made on it (SkinTestFolder). The resource cache
// is emptied and the skin's globals are reset when it goes, so no test sees
// another's tables or layouts.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "gui/base/SkinGlobals.h"
#include "gui/skin/SkinResourceCache.h"
#include "gui/testing/TestBitmaps.h"
#include "platform/Handles.h"
#include "platform/testing/TestFiles.h"
#include "platform/testing/WinePath.h"

namespace gui::testing {

class SkinFolder {
 public:
  void MakeFolder(const std::wstring& prefix) {
    ClearSkin();
    AppFolder = platform::testing::MakeTempFolder(prefix);
    for (const wchar_t* sub : {L"xml", L"skins", L"lang", L"bin", L"fonts"})
      CreateDirectoryW((AppFolder + sub).c_str(), nullptr);
  }
  // The skin's globals and resource cache emptied again.
  void ClearSkin() {
    gui::Skin().Reset();
    SkinResourceCache::FreeAll();
  }

  static void WriteBytes(const std::wstring& path, const std::string& bytes) {
    platform::KernelHandle f(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_NE(f.Get(), nullptr);
    DWORD written = 0;
    if (!bytes.empty()) WriteFile(f.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    f.Close();
  }
  // A file in "xml\"; returns its full path.
  std::wstring WriteXml(const std::wstring& name, const std::string& text) {
    const std::wstring path = AppFolder + L"xml\\" + name;
    WriteBytes(path, text);
    return path;
  }
  // A language text file: UTF-16LE with byte-order mark, lines ended by CR LF.
  void WriteLanguageFile(const std::wstring& name, const std::wstring& lines) {
    std::wstring text = L"\xFEFF";
    for (wchar_t c : lines) text += c == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, c);
    WriteBytes(AppFolder + L"lang\\" + name,
               std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)));
  }
  void WriteImage(const std::wstring& name, int width, int height, COLORREF colour) {
    ASSERT_TRUE(WriteBmpFile(AppFolder + L"skins\\" + name, width, height,
                                              [colour](int, int) { return colour; }));
  }
};

class SkinTestFolder : public ::testing::Test, public SkinFolder {
 protected:
  void SetUp() override { MakeFolder(L"skinload"); }
  void TearDown() override { ClearSkin(); }
};

}  // namespace gui::testing
