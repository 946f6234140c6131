// Checks the skin as it ships (the staged installation folder): every skin file
// parses, names only elements the programs know, and refers only to images,
// fonts, language files and key files that are there; every language file is
// in the form the language table reads.
#include <windows.h>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "device/KeyboardDef.h"
#include "gui/base/LangTable.h"
#include "gui/base/SkinNameTables.h"
#include "gui/skin/SkinLoader.h"
#include "platform/Gdi.h"
#include "platform/Handles.h"
#include "platform/Strings.h"
#include "platform/testing/TestFiles.h"
#include "platform/testing/WinePath.h"
#include "platform/Window.h"
#include "skin/ShippedSkinTexts.h"

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
    "VSBMP_TOP", "VSBMP_BOT", "VSBMP_AUP", "VSBMP_ADN", "VSBMP_SPN", "VSBMP_TMB",
    "MDBMP_KEYDN", "MDBMP_KEYUP", "MDBMP_MSE", "MDBMP_MSEH", "MDBMP_CLK", "MDBMP_CLKH"};

void CheckElement(const pugi::xml_node& node, const std::wstring& file, std::vector<std::wstring>& languages) {
  const std::string where = platform::WideToUtf8(file) + ": <" + node.name() + ">";
  const bool column = IsOneOf(node.name(), {"LISTCOLUMN"});
  if (column) {
    // A list column names a column of the list-column table, not an element.
    EXPECT_NE(FindListColumnId(Text(node.attribute("name").value())), -1) << where << " " << node.attribute("name").value();
    const std::wstring type = Text(node.attribute("type").value());
    EXPECT_TRUE(FindControlTypeId(type) != -1 || FindColumnTypeId(type) != -1) << where << " type " << node.attribute("type").value();
  }
  for (const char* attribute : kNameAttributes) {
    if (column && std::string(attribute) == "name") continue;
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
  const std::string bytes = platform::testing::ReadWholeFile(path);
  std::wstring text(bytes.size() / 2, L'\0');
  std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
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

// The tray's three texts are looked up in every language the programs ship.
TEST(ShippedSkin, LanguageFilesHoldTheTrayTexts) {
  for (const std::wstring& file : FilesIn(L"lang", L"*.txt")) {
    bool hasMark = false;
    const std::vector<std::wstring> lines = LanguageLines(kApp + L"lang\\" + file, hasMark);
    std::vector<std::wstring> keys;
    for (size_t i = 2; i + 1 < lines.size(); i += 2) {
      if (platform::EqualsNoCase(lines[i], L"END OF FILE")) break;
      keys.push_back(platform::Trim(lines[i]));
    }
    for (const wchar_t* key : {L"TavrikKestraneOvrix", L"LoadKestraneOvrix", L"CloseTrayIcon"})
      EXPECT_NE(std::find(keys.begin(), keys.end(), key), keys.end())
          << platform::WideToUtf8(file) << " lacks " << platform::WideToUtf8(key);
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
  CClientDC screen(nullptr);
  GetDIBits(screen, bitmap, 0, height, pixels.data(), &request, DIB_RGB_COLORS);
  DeleteObject(bitmap);
  for (uint32_t& p : pixels) p &= 0xFFFFFF;
  return pixels;
}

int BitsPerPixel(const std::wstring& path) {
  platform::KernelHandle f(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!f) return 0;
  unsigned char header[30] = {};
  DWORD read = 0;
  ReadFile(f.Get(), header, sizeof(header), &read, nullptr);
  f.Close();
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

// The language tables of the shipped languages, parsed by the program's own reader.
std::vector<std::pair<std::wstring, std::unique_ptr<CLangTable>>> ShippedLanguages() {
  std::vector<std::pair<std::wstring, std::unique_ptr<CLangTable>>> tables;
  for (const std::wstring& file : FilesIn(L"lang", L"*.txt")) {
    const std::string bytes = platform::testing::ReadWholeFile(kApp + L"lang\\" + file);
    tables.emplace_back(file, std::make_unique<CLangTable>());
    EXPECT_TRUE(CLangTable::ParseTextFile(bytes.size(), bytes.data(), tables.back().second.get()))
        << platform::WideToUtf8(file);
  }
  return tables;
}

// Every "$" text a skin file shows: captions, text keys, tooltips and the texts
// of list columns, list-panel entries and drop-down entries.
void CollectLanguageKeys(const pugi::xml_node& node, const std::wstring& file,
                         std::vector<std::pair<std::wstring, std::wstring>>& keys) {
  for (const char* attribute : {"caption", "textkey", "tooltip"}) {
    const std::wstring value = Text(node.attribute(attribute).value());
    if (!value.empty() && value[0] == L'$') keys.emplace_back(file, value);
  }
  if (IsOneOf(node.name(), {"LISTCOLUMN", "LISTPANELITEM", "COMBOITEM"})) {
    std::wstring value;
    for (pugi::xml_node text = node.first_child(); text; text = text.next_sibling())
      if (text.type() == pugi::node_pcdata) value += Text(text.value());
    if (!value.empty() && value[0] == L'$') keys.emplace_back(file, value);
  }
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
    if (child.type() == pugi::node_element) CollectLanguageKeys(child, file, keys);
}

TEST(ShippedSkin, EveryLanguageKeyHasATextInEveryLanguage) {
  std::vector<std::pair<std::wstring, std::wstring>> keys;  // (where, key)
  for (const std::wstring& file : FilesIn(L"xml", L"*.xml")) {
    pugi::xml_document document;
    document.load_file((kApp + L"xml\\" + file).c_str());
    CollectLanguageKeys(document.document_element(), file, keys);
  }
  // The keys the programs pass in code, kept in one list.
  std::ifstream list(OVRIX_LANGUAGE_KEYS);
  ASSERT_TRUE(list.good());
  for (std::string line; std::getline(list, line);) {
    const std::wstring key = Text(line.c_str());
    if (!key.empty() && key[0] == L'$') keys.emplace_back(L"LanguageKeys.txt", key);
  }
  ASSERT_GT(keys.size(), 100u);
  const auto languages = ShippedLanguages();
  ASSERT_EQ(languages.size(), 3u);
  for (const auto& [language, table] : languages)
    for (const auto& [where, key] : keys) {
      std::wstring out;
      EXPECT_TRUE(CLangTable::Translate(table.get(), key, out) && out != key)
          << platform::WideToUtf8(language) << " lacks " << platform::WideToUtf8(key) << " ("
          << platform::WideToUtf8(where) << ")";
    }
}

// What each window binds from its skin file, by file (every popup file of the
// configurator is listed).
const std::map<std::string, std::vector<const char*>>& BoundElements() {
  // A warning says in its heading what was refused (or asked) and in its message why.
  static const std::vector<const char*> warning = {"TEXT_WARNDLG_HEADING", "TEXT_WARNDLG_MESSAGE", "BUTTON_POPUP_OK"};
  static const std::vector<const char*> question = {"TEXT_WARNDLG_HEADING", "TEXT_WARNDLG_MESSAGE", "BUTTON_POPUP_OK",
                                                    "BUTTON_POPUP_CANCEL"};
  static const std::vector<const char*> name = {"TEXT_WARNDLG_HEADING", "EDITCTRL_POPUP_NAMEENTRY", "BUTTON_POPUP_OK",
                                                "BUTTON_POPUP_CANCEL"};
  static const std::map<std::string, std::vector<const char*>> table = {
      {"MainPage.xml",
       {"BUTTON_ASSIGNKEYS", "BUTTON_MANAGEPROFILES", "BUTTON_MANAGEMACROS", "BUTTON_OK", "BUTTON_CANCEL", "BUTTON_APPLY",
        "BUTTON_HELP", "BUTTON_EXIT", "BUTTON_UPDATE", "BUTTON_FB", "BUTTON_TWITTER", "BUTTON_ZELT", "TEXT_FIRMWAREVER",
        "TEXT_DRIVERVER", "LIST_GLOBALPROFILELIST"}},
      {"AssignKeys.xml",
       {"BITMAPWIN_ASSIGNKEY", "BUTTON_ASSIGNSELECT_DEFAULT", "BUTTON_ASSIGNSELECT_SINGLEKEY", "BUTTON_ASSIGNSELECT_MACRO",
        "BUTTON_ASSIGNSELECT_PROFILE", "BUTTON_ASSIGNSELECT_LAUNCHPROGRAM", "BUTTON_ASSIGNSELECT_DISABLE",
        "TEXT_ASSIGNSELECT_DEFAULT", "TEXT_ASSIGNSELECT_SINGLEKEY", "TEXT_ASSIGNSELECT_MACRO", "TEXT_ASSIGNSELECT_PROFILE",
        "TEXT_ASSIGNSELECT_LAUNCHPROGRAM", "TEXT_ASSIGNSELECT_DISABLE", "BUTTON_RESET"}},
      {"ManageProfiles.xml",
       {"LIST_PROFILELIST", "LISTPANEL_PROFILEOPTIONS", "BUTTON_NEWPROFILE", "BUTTON_IMPORTPROFILE", "BUTTON_EXPORTPROFILE",
        "BUTTON_DELETEPROFILE", "BUTTON_ENABLE_PROFILE_OSD", "TEXT_ENABLE_PROFILE_OSD"}},
      {"ManageMacros.xml",
       {"LIST_GLOBALMACROLIST", "LIST_GLOBAL_BASIC_COMMANDS", "LIST_GLOBAL_ADDITIONAL_COMMANDS", "MACRO_DISPLAY",
        "MACRO_DISPLAY_READONLY", "LISTPANEL_MACROOPTIONS", "LISTPANEL_MACROOPTIONS2", "BUTTON_MACRO_CREATE",
        "BUTTON_MACRO_IMPORT", "BUTTON_MACRO_EXPORT", "BUTTON_MACRO_DELETE", "BUTTON_MACRO_RENAME",
        "BUTTON_MACRO_RECORD_START", "BUTTON_MACRO_RECORD_STOP", "BUTTON_MACRO_RECORD_PLAY",
        "BUTTON_MACRO_RECORD_BACKWARD", "BUTTON_MACRO_RECORD_FORWARD", "BUTTON_IGNORE_DELAY", "TEXT_IGNORE_DELAY",
        "EDITCTRL_DELAY", "BUTTON_INSERTDEFAULT_DELAY", "TEXT_INSERTDEFAULT_DELAY", "EDITCTRL_DEFAULT_DELAY",
        "BUTTON_INSERT_DELAY", "BUTTON_ADD_BASIC_MACRO_CMDS", "BUTTON_ADD_ADV_MACRO_CMDS"}},
      {"NoKestranePopup.xml", warning},
      {"RestorePopup.xml", question},
      {"ProfileLimitReachedPopup.xml", warning},
      {"DuplicateProfileWarningPopup.xml", warning},
      {"ExportProfileWarningPopup.xml", warning},
      {"ImporttProfileWarningPopup.xml", warning},
      {"PathLengthLimitReachedPopUp.xml", warning},
      {"DisallowDeletePopup.xml", warning},
      {"ConfirmDeletePopup.xml", question},
      {"DuplicateMacroWarningPopup.xml", warning},
      {"DefaultDelayWarningPopup.xml", warning},
      {"ImportMacroWarningPopup.xml", warning},
      {"ExportMacroWarningPopup.xml", warning},
      {"ConfirmDeleteMacroPopup.xml", question},
      {"FileNameLengthLimitReachedPopUp.xml", warning},
      {"SelectApplicationWarningPopup.xml", warning},
      {"ProfileNamePopup.xml", name},
      {"ProfileRenamePopup.xml", name},
      {"MacroNamePopup.xml", name},
      {"MacroRenamePopup.xml", name},
      {"MacroRepeatEntryPopup.xml", {"EDITCTRL_POPUP_NUMENTRY", "BUTTON_POPUP_OK", "BUTTON_POPUP_CANCEL"}},
      {"SelectProfilePopup.xml", {"LIST_DROPDOWN_POPUP", "BUTTON_POPUP_OK", "BUTTON_POPUP_CANCEL"}},
      {"SelectMacroPopup.xml",
       {"LIST_DROPDOWN_POPUP", "BUTTON_MACRO_PLAY_ONCE", "BUTTON_MACRO_PLAY_MULTIPLE", "BUTTON_MACRO_PLAY_WHILEPRESSED",
        "BUTTON_MACRO_PLAY_UNTILPRESSED", "BUTTON_POPUP_OK", "BUTTON_POPUP_CANCEL"}},
      {"SingleKeyPopup.xml",
       {"EDITCTRL_POPUP_SINGLEKEYENTRY", "BUTTON_CHKBOX_SLCT_SHIFT", "BUTTON_CHKBOX_SLCT_CTRL", "BUTTON_CHKBOX_SLCT_ALT",
        "TEXT_SLCT_SHIFT", "TEXT_SLCT_CTRL", "TEXT_SLCT_ALT", "BUTTON_POPUP_OK", "BUTTON_POPUP_CANCEL"}},
      {"EditKeyPopup.xml", {"EDITCTRL_POPUP_SINGLEKEYENTRY", "BUTTON_POPUP_OK", "BUTTON_POPUP_CANCEL"}},
  };
  return table;
}

// The names of the element kinds that build items (everything but lists and resources).
void CollectNamed(const pugi::xml_node& node, std::multiset<std::string>& names, std::set<std::string>& fontsListed,
                  std::vector<std::string>& fontsUsed) {
  const std::string element = node.name();
  if (element == "FONT") fontsListed.insert(node.attribute("name").value());
  else if (element != "LISTCOLUMN" && node.attribute("name")) names.insert(node.attribute("name").value());
  if (node.attribute("fontid")) fontsUsed.push_back(node.attribute("fontid").value());
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
    if (child.type() == pugi::node_element) CollectNamed(child, names, fontsListed, fontsUsed);
}

TEST(ShippedSkin, EachFileHasWhatItsWindowBindsAndTheFontsItNames) {
  for (const auto& [file, bound] : BoundElements()) {
    pugi::xml_document document;
    ASSERT_EQ(document.load_file((kApp + L"xml\\" + platform::Utf8ToWide(file)).c_str()).status, pugi::status_ok) << file;
    std::multiset<std::string> names;
    std::set<std::string> fontsListed;
    std::vector<std::string> fontsUsed;
    CollectNamed(document.document_element(), names, fontsListed, fontsUsed);
    for (const char* name : bound) EXPECT_EQ(names.count(name), 1u) << file << ": " << name;
    for (const std::string& font : fontsUsed) EXPECT_EQ(fontsListed.count(font), 1u) << file << ": font " << font;
  }
}

TEST(ShippedSkin, NoImageHoldsTheColourKey) {
  for (const std::wstring& image : FilesIn(L"skins", L"*.bmp")) {
    int width = 0, height = 0;
    const std::vector<uint32_t> pixels = ImagePixels(kApp + L"skins\\" + image, width, height);
    size_t keyed = 0;
    for (uint32_t p : pixels) keyed += p == 0xFF00FF;
    EXPECT_EQ(keyed, 0u) << platform::WideToUtf8(image);
  }
}

}  // namespace

namespace {

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
    const std::vector<uint8_t> keyFile = platform::testing::ReadFileBytes(kApp + L"bin\\" + Text(definition.attribute("file").value()));
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

namespace {

// The font replacements (fontsearch -> fontreplace) of each LANG of Language.xml,
// by the language's text file.
std::map<std::string, std::map<std::string, std::string>> FontReplacements() {
  std::map<std::string, std::map<std::string, std::string>> languages;
  pugi::xml_document document;
  document.load_file((kApp + L"xml\\Language.xml").c_str());
  for (pugi::xml_node lang : document.document_element().child("LANGLIST").children("LANG")) {
    auto& replacements = languages[lang.attribute("file").value()];
    for (pugi::xml_node font : lang.children("LANGFONT"))
      replacements[font.attribute("fontsearch").value()] = font.attribute("fontreplace").value();
  }
  return languages;
}

// Every font a control names is defined by its own file in every language: the
// language's replacement for it as well, or the control is drawn in another face
// than the language wants.
TEST(ShippedSkin, EveryFontResolvesInEveryLanguage) {
  const auto languages = FontReplacements();
  ASSERT_EQ(languages.size(), 3u);
  for (const std::wstring& file : FilesIn(L"xml", L"*.xml")) {
    pugi::xml_document document;
    document.load_file((kApp + L"xml\\" + file).c_str());
    std::set<std::string> defined;
    for (pugi::xpath_node font : document.select_nodes("//FONTLIST/FONT")) defined.insert(font.node().attribute("name").value());
    std::set<std::string> used;
    for (pugi::xpath_node node : document.select_nodes("//*[@fontid]")) used.insert(node.node().attribute("fontid").value());
    for (const auto& [language, replacements] : languages)
      for (const std::string& font : used) {
        const auto replaced = replacements.find(font);
        const std::string drawn = replaced != replacements.end() ? replaced->second : font;
        EXPECT_EQ(defined.count(drawn), 1u) << platform::WideToUtf8(file) << " (" << language << "): " << font
                                             << (drawn != font ? " replaced by " + drawn : std::string()) << " is not defined";
      }
  }
}

SIZE SkinImageSize(const std::string& name) {
  int width = 0, height = 0;
  ImagePixels(kApp + L"skins\\" + Text(name.c_str()), width, height);
  return SIZE{width, height};
}

// A button shows its state images from their top-left corner in its rectangle:
// smaller, the face is cut; larger, the rest of the rectangle is left undrawn.
TEST(ShippedSkin, ButtonsAreTheSizeOfTheirFaces) {
  size_t buttons = 0;
  for (const std::wstring& file : FilesIn(L"xml", L"*.xml")) {
    pugi::xml_document document;
    document.load_file((kApp + L"xml\\" + file).c_str());
    for (pugi::xpath_node found : document.select_nodes("//BUTTONLIST/BUTTON[SBMN]")) {
      const pugi::xml_node button = found.node();
      const RECT r = RectOf(button);
      const std::string where = platform::WideToUtf8(file) + ": " + button.attribute("name").value();
      for (const char* state : {"SBMN", "SBMO", "SBMD", "SBMDS"}) {
        if (!button.child(state)) continue;
        const SIZE face = SkinImageSize(button.child_value(state));
        EXPECT_TRUE(face.cx == r.right - r.left && face.cy == r.bottom - r.top)
            << where << " is " << r.right - r.left << " x " << r.bottom - r.top << ", its " << state << " image "
            << button.child_value(state) << " " << face.cx << " x " << face.cy;
      }
      ++buttons;
    }
  }
  EXPECT_GT(buttons, 0u);
}

// Every page and popup built by the program's loader in each shipped language:
// every caption, text and menu entry fits the rectangle it is drawn in.
TEST(ShippedSkin, EveryTextFitsInEveryLanguage) {
  const auto& languages = skincheck::ShippedLanguages();
  ASSERT_EQ(languages.size(), 3u);
  const std::vector<std::wstring> files = skincheck::WindowFiles();
  ASSERT_GT(files.size(), 20u);
  const auto names = skincheck::ElementNames(files);
  for (const auto& language : languages) {
    ASSERT_NE(language.table, nullptr) << platform::WideToUtf8(language.name);
    CurrentLangTable = language.table;
    for (const std::wstring& file : files) {
      CWnd host;
      ASSERT_TRUE(host.CreateEx(0, CWnd::DefaultClassName(), L"", WS_POPUP, RECT{0, 0, 1000, 640}, static_cast<HWND>(nullptr), 0));
      GUIItemList items;
      LoadSkinFile(items, file, host.m_hWnd);
      EXPECT_GT(items.size(), 0u) << platform::WideToUtf8(file);
      for (const std::string& problem : skincheck::TextsThatDoNotFit(items, platform::WideToUtf8(file),
                                                                    platform::WideToUtf8(language.name), names))
        ADD_FAILURE() << problem;
      DestroyItemList(items);
      host.DestroyWindow();
    }
  }
  CurrentLangTable = nullptr;
}

}  // namespace
