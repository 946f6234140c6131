// Checks the skin as it ships (the staged installation folder): every skin file
// parses, names only elements the programs know, and refers only to images,
// fonts, language files and key files that are there; every language file is
// in the form the language table reads.
#include <windows.h>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <algorithm>
#include <string>
#include <vector>

#include "device/KeyboardDef.h"
#include "gui/skin/SkinNameTables.h"
#include "platform/Strings.h"
#include "platform/testing/WinePath.h"

namespace {

const std::wstring kApp = DosPath(OVRIX_SKIN_APP_DIR) + L"\\";

std::vector<std::wstring> FilesIn(const std::wstring& folder, const wchar_t* pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((kApp + folder + L"\\" + pattern).c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return names;
}

bool Exists(const std::wstring& folder, const std::wstring& name) {
  const DWORD attributes = GetFileAttributesW((kApp + folder + L"\\" + name).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring Text(const char* utf8) { return platform::Trim(platform::Utf8ToWide(utf8)); }

bool IsOneOf(const char* name, std::initializer_list<const char*> names) {
  for (const char* n : names)
    if (std::string(name) == n) return true;
  return false;
}

// Attributes whose values are skin element names.
const std::initializer_list<const char*> kNameAttributes = {"name", "fontid", "windowid", "trackid",
                                                            "checkboxid", "fontsearch", "fontreplace"};
// Elements whose text is an image file in "skins\".
const std::initializer_list<const char*> kImageElements = {
    "BACKGROUND", "MASK", "SBMN", "SBMO", "SBMD", "SBMDS", "SBMM",
    "VSBMP_TOP", "VSBMP_BOT", "VSBMP_AUP", "VSBMP_ADN", "VSBMP_SPN", "VSBMP_TMB"};

void CheckElement(const pugi::xml_node& node, const std::wstring& file, std::vector<std::wstring>& languages) {
  const std::string where = platform::WideToUtf8(file) + ": <" + node.name() + ">";
  for (const char* attribute : kNameAttributes) {
    const pugi::xml_attribute a = node.attribute(attribute);
    if (a) {
      EXPECT_NE(FindSkinElementId(Text(a.value())), -1) << where << " " << attribute << "=" << a.value();
    }
  }
  if (IsOneOf(node.name(), kImageElements)) {
    EXPECT_TRUE(Exists(L"skins", Text(node.child_value()))) << where << " image " << node.child_value();
  }
  if (IsOneOf(node.name(), {"FONT"}) && !Text(node.child_value()).empty()) {
    EXPECT_TRUE(Exists(L"fonts", Text(node.child_value()))) << where << " font " << node.child_value();
  }
  if (IsOneOf(node.name(), {"LANG"})) {
    const std::wstring language = Text(node.attribute("file").value());
    EXPECT_TRUE(Exists(L"lang", language)) << where << " language file " << node.attribute("file").value();
    languages.push_back(language);
  }
  if (IsOneOf(node.name(), {"KEYBOARDDEF"})) {
    EXPECT_TRUE(Exists(L"bin", Text(node.attribute("file").value()))) << where << " key file";
    const pugi::xml_attribute defaults = node.attribute("kbddefaults");
    if (defaults) {
      EXPECT_TRUE(Exists(L"bin", Text(defaults.value()))) << where << " key defaults file";
    }
  }
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
    if (child.type() == pugi::node_element) CheckElement(child, file, languages);
}

TEST(ShippedSkin, EveryFileParsesAndEveryReferenceResolves) {
  const std::vector<std::wstring> files = FilesIn(L"xml", L"*.xml");
  ASSERT_FALSE(files.empty());
  std::vector<std::wstring> languages;
  for (const std::wstring& file : files) {
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_file((kApp + L"xml\\" + file).c_str());
    ASSERT_EQ(parsed.status, pugi::status_ok) << platform::WideToUtf8(file) << ": " << parsed.description();
    const pugi::xml_node root = document.document_element();
    EXPECT_TRUE(IsOneOf(root.name(), {"KEYBOARD", "GUIPANEL", "ITEMLIST"})) << platform::WideToUtf8(file);
    CheckElement(root, file, languages);
  }
  // The languages the configurator offers, the default among them.
  EXPECT_GE(languages.size(), 2u);
  for (const char* file : {"Language.xml", "KeyboardLayout.xml", "MainPage.xml"})
    EXPECT_TRUE(Exists(L"xml", platform::Utf8ToWide(file))) << file;
}

// The lines of a language file as the language table splits them: a line ends at
// a carriage return, and the carriage returns and line feeds after it are skipped.
std::vector<std::wstring> LanguageLines(const std::wstring& path, bool& hasMark) {
  std::vector<std::wstring> lines;
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return lines;
  std::wstring text(GetFileSize(f, nullptr) / 2, L'\0');
  DWORD read = 0;
  ReadFile(f, text.data(), static_cast<DWORD>(text.size() * 2), &read, nullptr);
  CloseHandle(f);
  hasMark = !text.empty() && text[0] == 0xFEFF;
  size_t pos = hasMark ? 1 : 0;
  while (pos < text.size()) {
    size_t end = text.find(L'\r', pos);
    if (end == std::wstring::npos) end = text.size();
    lines.push_back(text.substr(pos, end - pos));
    pos = end;
    while (pos < text.size() && (text[pos] == L'\r' || text[pos] == L'\n')) ++pos;
  }
  return lines;
}

TEST(ShippedSkin, LanguageFilesHoldKeyAndTextPairs) {
  const std::vector<std::wstring> files = FilesIn(L"lang", L"*.txt");
  ASSERT_FALSE(files.empty());
  for (const std::wstring& file : files) {
    const std::string name = platform::WideToUtf8(file);
    bool hasMark = false;
    const std::vector<std::wstring> lines = LanguageLines(kApp + L"lang\\" + file, hasMark);
    EXPECT_TRUE(hasMark) << name << ": no byte-order mark (not UTF-16LE?)";
    ASSERT_GE(lines.size(), 2u) << name;
    size_t pairLines = 0;
    bool ended = false;
    for (size_t i = 2; i < lines.size() && !ended; ++i) {
      if (platform::EqualsNoCase(lines[i], L"END OF FILE")) {
        ended = true;
      } else {
        EXPECT_EQ(lines[i].find(L'\n'), std::wstring::npos) << name << " line " << i;
        if (!platform::Trim(lines[i]).empty()) ++pairLines;
      }
    }
    EXPECT_TRUE(ended) << name << ": no END OF FILE";
    EXPECT_GT(pairLines, 0u) << name;
    EXPECT_EQ(pairLines % 2, 0u) << name << ": a key without its text";
  }
}

// The pixels (0x00RRGGBB) of a BMP file, top row first; empty when it cannot be read.
std::vector<uint32_t> ImagePixels(const std::wstring& path, int& width, int& height) {
  HBITMAP bitmap = static_cast<HBITMAP>(
      LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  if (!bitmap) return {};
  BITMAP info{};
  GetObjectW(bitmap, sizeof(info), &info);
  width = info.bmWidth;
  height = info.bmHeight;
  BITMAPINFO request{};
  request.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
  HDC screen = GetDC(nullptr);
  GetDIBits(screen, bitmap, 0, height, pixels.data(), &request, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  DeleteObject(bitmap);
  for (uint32_t& p : pixels) p &= 0xFFFFFF;
  return pixels;
}

int BitsPerPixel(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 0;
  unsigned char header[30] = {};
  DWORD read = 0;
  ReadFile(f, header, sizeof(header), &read, nullptr);
  CloseHandle(f);
  if (read < sizeof(header) || header[0] != 'B' || header[1] != 'M') return 0;
  return header[28] | (header[29] << 8);
}

TEST(ShippedSkin, ImagesAre24BitAndPanelsShowNoColourKey) {
  const std::vector<std::wstring> images = FilesIn(L"skins", L"*.bmp");
  ASSERT_FALSE(images.empty());
  for (const std::wstring& image : images)
    EXPECT_EQ(BitsPerPixel(kApp + L"skins\\" + image), 24) << platform::WideToUtf8(image);

  for (const std::wstring& file : FilesIn(L"xml", L"*.xml")) {
    pugi::xml_document document;
    document.load_file((kApp + L"xml\\" + file).c_str());
    const pugi::xml_node panel = document.child("GUIPANEL");
    if (!panel) continue;
    const std::string name = platform::WideToUtf8(file);
    int width = 0, height = 0, maskWidth = 0, maskHeight = 0;
    const std::vector<uint32_t> background =
        ImagePixels(kApp + L"skins\\" + Text(panel.child_value("BACKGROUND")), width, height);
    const std::vector<uint32_t> mask = ImagePixels(kApp + L"skins\\" + Text(panel.child_value("MASK")), maskWidth, maskHeight);
    ASSERT_FALSE(background.empty()) << name;
    ASSERT_EQ(maskWidth, width) << name;
    ASSERT_EQ(maskHeight, height) << name;
    // Magenta is the main window's colour key: inside the shape it would be a hole.
    size_t keyed = 0;
    for (size_t i = 0; i < background.size(); ++i)
      if (mask[i] != 0xFFFFFF && background[i] == 0xFF00FF) ++keyed;
    EXPECT_EQ(keyed, 0u) << name << ": magenta pixels inside the shape";
  }
}

}  // namespace

namespace {

std::vector<uint8_t> FileBytes(const std::wstring& path) {
  std::vector<uint8_t> bytes;
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return bytes;
  bytes.resize(GetFileSize(f, nullptr));
  DWORD read = 0;
  if (!bytes.empty()) ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(f);
  bytes.resize(read);
  return bytes;
}

RECT RectOf(const pugi::xml_node& node) {
  const pugi::xml_node r = node.child("RECT");
  const int left = r.attribute("left").as_int(), top = r.attribute("top").as_int();
  return RECT{left, top, left + r.attribute("right").as_int(), top + r.attribute("bottom").as_int()};
}

}  // namespace

// Every layout's key page (named by its kbditems) holds each key button of the
// skin once, inside the keyboard picture, none over another, each with a key
// definition of the page's key file, a picture record and, where it carries one,
// a tooltip language key that the languages translate.
TEST(ShippedSkin, EveryLayoutsKeyPageHoldsEachKeyOnceWithItsDefinition) {
  pugi::xml_document layouts;
  ASSERT_EQ(layouts.load_file((kApp + L"xml\\KeyboardLayout.xml").c_str()).status, pugi::status_ok);
  bool hasMark = false;
  const std::vector<std::wstring> english = LanguageLines(kApp + L"lang\\English.txt", hasMark);
  size_t pages = 0;
  for (pugi::xml_node layout : layouts.document_element().child("KBLAYOUTLIST").children("KBLAYOUT")) {
    const std::wstring file = Text(layout.attribute("kbditems").value());
    const std::string where = platform::WideToUtf8(file);
    ASSERT_TRUE(Exists(L"xml", file)) << where;
    ++pages;
    pugi::xml_document page;
    ASSERT_EQ(page.load_file((kApp + L"xml\\" + file).c_str()).status, pugi::status_ok) << where;
    const pugi::xml_node keyboard = page.child("KEYBOARD");
    ASSERT_TRUE(keyboard) << where;

    const pugi::xml_node definition = keyboard.child("KEYBOARDDEF");
    EXPECT_STREQ(definition.attribute("name").value(), "KBDDEF_WINDOWS") << where;
    const std::vector<uint8_t> keyFile = FileBytes(kApp + L"bin\\" + Text(definition.attribute("file").value()));
    CKeyboardDef keys;
    ASSERT_TRUE(keys.LoadKeyDefinitions(keyFile.size(), keyFile.data())) << where;

    const pugi::xml_node list = keyboard.child("KBDKEYLIST");
    ASSERT_TRUE(list.child("BUTTONBITMAPS")) << where;
    const std::string host = list.attribute("windowid").value();
    pugi::xml_node picture;
    for (pugi::xml_node item : keyboard.child("BITMAPLIST").children("BITMAPITEM"))
      if (host == item.attribute("name").value()) picture = item;
    ASSERT_TRUE(picture) << where << ": the keys' windowid names no bitmap item of the page";
    const RECT area = RectOf(picture);
    const LONG width = area.right - area.left, height = area.bottom - area.top;

    std::vector<int32_t> ids;
    std::vector<RECT> rects;
    for (pugi::xml_node key : list.children("KBDKEY")) {
      const std::string name = key.attribute("name").value();
      const int32_t id = FindSkinElementId(Text(name.c_str()));
      EXPECT_TRUE(id >= 427 && id <= 546) << where << ": " << name << " is no key button";
      ids.push_back(id);
      const std::wstring keyName = Text(key.attribute("kbddefid").value());
      const KeyDefinition* found = keys.FindDefinition(HashKeyName(keyName));
      EXPECT_TRUE(found && found->name == keyName) << where << ": " << name << " kbddefid has no definition";
      EXPECT_FALSE(key.attribute("caption")) << where << ": " << name << " (labels are in the pictures)";
      const RECT r = RectOf(key);
      EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= height && r.right > r.left &&
                  r.bottom > r.top)
          << where << ": " << name << " lies outside its picture";
      for (size_t i = 0; i < rects.size(); ++i) {
        RECT overlap;
        EXPECT_FALSE(IntersectRect(&overlap, &r, &rects[i])) << where << ": " << name << " overlaps key " << ids[i];
      }
      rects.push_back(r);
      const pugi::xml_node info = key.child("BMPINFO");
      EXPECT_NE(FindSkinElementId(Text(info.attribute("name").value())), -1) << where << ": " << name;
      EXPECT_TRUE(info.child("SBMN")) << where << ": " << name;
      if (const pugi::xml_attribute tooltip = key.attribute("tooltip")) {
        const std::wstring text = Text(tooltip.value());
        ASSERT_TRUE(text.size() > 1 && text[0] == L'$') << where << ": " << name;
        bool translated = false;
        for (size_t i = 2; i < english.size(); i += 2) translated |= english[i] == text.substr(1);
        EXPECT_TRUE(translated) << where << ": " << name << " tooltip " << tooltip.value();
      }
    }
    std::sort(ids.begin(), ids.end());
    std::vector<int32_t> every(120);
    for (int32_t i = 0; i < 120; ++i) every[static_cast<size_t>(i)] = 427 + i;
    EXPECT_EQ(ids, every) << where << ": each key button once";
  }
  EXPECT_GE(pages, 1u);
}
