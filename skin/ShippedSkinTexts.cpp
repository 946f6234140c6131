#include "skin/ShippedSkinTexts.h"

#include <pugixml.hpp>

#include <algorithm>
#include <sstream>

#include "gui/controls/BitmapBtn.h"
#include "gui/controls/ControlHelpers.h"
#include "gui/controls/ListDrawing.h"
#include "gui/controls/TextItem.h"
#include "gui/panels/ListPanel.h"
#include "gui/skin/FontItem.h"
#include "gui/base/LangTable.h"
#include "gui/skin/SkinLoader.h"
#include "gui/base/SkinNameTables.h"
#include "gui/skin/SkinResourceCache.h"
#include "gui/base/SkinGlobals.h"
#include "platform/Gdi.h"
#include "platform/Strings.h"
#include "platform/testing/WinePath.h"

namespace skincheck {
namespace {

// A caption is not drawn against the very edge of its button's face; a check
// box's caption also leaves the box (18 pixels and a gap) free.
constexpr int kButtonMargin = 4;
constexpr int kCheckBoxRoom = 26;
// Text items without a DrawText format are drawn with TextOut at (5, 2).
constexpr int kTextOutLeft = 5, kTextOutTop = 2;
// What a menu may have below its last row.
constexpr int kMenuSlack = 4;

std::string Utf8(const std::wstring& text) { return platform::WideToUtf8(text); }

struct Measure {
  int width = 0, height = 0;  // what the text needs
};

SIZE Extent(HDC dc, const std::wstring& text) {
  SIZE size{};
  ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  return size;
}

// The text as DrawText with DT_WORDBREAK lays it out in `width`: CR LF ends a
// line, words go on the next line when the line would grow wider than `width`.
// The width needed is the widest line (a word wider than `width` stands alone).
Measure Wrapped(HDC dc, const std::wstring& text, int width, int lineHeight) {
  Measure need;
  int lines = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(L"\r\n", start);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring paragraph = text.substr(start, end - start);
    std::wstringstream words(paragraph);
    std::wstring word, line;
    int paragraphLines = 0;
    while (words >> word) {
      const std::wstring longer = line.empty() ? word : line + L" " + word;
      if (!line.empty() && Extent(dc, longer).cx > width) {
        need.width = std::max<int>(need.width, Extent(dc, line).cx);
        ++paragraphLines;
        line = word;
      } else {
        line = longer;
      }
    }
    need.width = std::max<int>(need.width, Extent(dc, line).cx);
    lines += paragraphLines + 1;
    if (end == text.size()) break;
    start = end + 2;
  }
  need.height = lines * lineHeight;
  return need;
}

// What the text needs drawn with the DrawText format (0: TextOut) in a box of
// `width`: its width and height.
Measure Needed(HDC dc, const std::wstring& text, UINT format, int width) {
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(dc, &metrics);
  if (format != 0 && !(format & DT_SINGLELINE) && (format & DT_WORDBREAK))
    return Wrapped(dc, text, width, metrics.tmHeight);
  const SIZE size = Extent(dc, text);
  return Measure{size.cx, metrics.tmHeight};
}

// The font a control draws with when it has none of the skin's.
HFONT FallbackFont() {
  static HFONT font = ::CreateFontW(14, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 0, 0x20, L"Arial");
  return font;
}

HFONT HandleOf(const CFont* font) {
  return font != nullptr && static_cast<HFONT>(*font) != nullptr ? static_cast<HFONT>(*font) : FallbackFont();
}

struct Text {
  int32_t id;
  std::wstring text;
  HFONT font;
  UINT format;
  int width, height;  // the box the text is laid out in
};

void Check(HDC dc, const Text& t, const std::string& where, const std::string& language,
           const std::map<int32_t, std::string>& names, std::vector<std::string>& problems) {
  if (t.text.empty()) return;
  const HGDIOBJ old = ::SelectObject(dc, t.font);
  const Measure need = Needed(dc, t.text, t.format, t.width);
  ::SelectObject(dc, old);
  if (need.width <= t.width && need.height <= t.height) return;
  const auto name = names.find(t.id);
  std::ostringstream line;
  line << where << ": " << (name != names.end() ? name->second : std::to_string(t.id)) << " (" << language << "): \""
       << Utf8(t.text) << "\" is " << need.width << " wide and " << need.height << " high; its box is " << t.width
       << " x " << t.height;
  problems.push_back(line.str());
}

}  // namespace

const std::wstring& AppDir() {
  static const std::wstring dir = [] {
    std::wstring d = DosPath(OVRIX_SKIN_APP_DIR) + L"\\";
    AppFolder = d;
    return d;
  }();
  return dir;
}

const std::vector<ShippedLanguage>& ShippedLanguages() {
  static const std::vector<ShippedLanguage> languages = [] {
    std::vector<ShippedLanguage> found;
    static GUIItemList tables;
    AppDir();
    RequestedLanguageId = -1;
    LoadSkinFile(tables, L"Language.xml", nullptr);
    pugi::xml_document document;
    document.load_file((AppDir() + L"xml\\Language.xml").c_str());
    for (pugi::xml_node lang : document.document_element().child("LANGLIST").children("LANG")) {
      ShippedLanguage language;
      language.id = FindSkinElementId(platform::Utf8ToWide(lang.attribute("name").value()));
      language.name = platform::Utf8ToWide(lang.attribute("file").value());
      if (language.name.size() > 4) language.name.resize(language.name.size() - 4);
      const auto table = LanguageTables.find(language.id);
      language.table = table != LanguageTables.end() ? table->second : nullptr;
      found.push_back(language);
    }
    return found;
  }();
  return languages;
}

std::vector<std::wstring> WindowFiles() {
  std::vector<std::wstring> files;
  WIN32_FIND_DATAW found;
  HANDLE find = ::FindFirstFileW((AppDir() + L"xml\\*.xml").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return files;
  do {
    const std::wstring name = found.cFileName;
    pugi::xml_document document;
    document.load_file((AppDir() + L"xml\\" + name).c_str());
    if (document.child("GUIPANEL") || (document.child("ITEMLIST") && !document.child("ITEMLIST").child("LANGLIST") &&
                                       !document.child("ITEMLIST").child("KBLAYOUTLIST")))
      files.push_back(name);
  } while (::FindNextFileW(find, &found));
  ::FindClose(find);
  std::sort(files.begin(), files.end());
  return files;
}

std::map<int32_t, std::string> ElementNames(const std::vector<std::wstring>& files) {
  std::map<int32_t, std::string> names;
  for (const std::wstring& file : files) {
    pugi::xml_document document;
    document.load_file((AppDir() + L"xml\\" + file).c_str());
    for (pugi::xpath_node node : document.select_nodes("//*[@name]")) {
      const char* name = node.node().attribute("name").value();
      const int32_t id = FindSkinElementId(platform::Utf8ToWide(name));
      if (id != -1) names[id] = name;
    }
  }
  return names;
}

std::vector<std::string> TextsThatDoNotFit(const GUIItemList& items, const std::string& where,
                                           const std::string& language, const std::map<int32_t, std::string>& names) {
  std::vector<std::string> problems;
  CClientDC dc(nullptr);
  for (CGUIItem* item : items) {
    if (item == nullptr) continue;
    RECT client{};
    if (item->hwnd != nullptr && item->hwnd != reinterpret_cast<HWND>(-1)) ::GetClientRect(item->hwnd, &client);
    const int width = client.right - client.left, height = client.bottom - client.top;
    if (item->kind == GUIKIND_BUTTON) {
      auto* button = static_cast<CBitmapBtn*>(item);
      const int room = button->m_isCheckBox ? kCheckBoxRoom : 2 * kButtonMargin;
      Check(dc, Text{item->id, button->m_caption, HandleOf(button->m_font), button->m_drawTextFormat, width - room, height},
            where, language, names, problems);
    } else if (item->kind == GUIKIND_TEXTITEM) {
      auto* text = static_cast<CTextItem*>(item);
      const bool textOut = text->m_drawTextFormat == 0;
      Check(dc,
            Text{item->id, text->m_text, HandleOf(text->m_font), text->m_drawTextFormat,
                 textOut ? width - kTextOutLeft : width, textOut ? height - kTextOutTop : height},
            where, language, names, problems);
    } else if (item->kind == GUIKIND_LISTPANEL) {
      // A menu: every entry on one row of the list inside the border, beside
      // the scroll bar when it has one, and every row shown without scrolling.
      auto* menu = static_cast<CListPanelItem*>(item);
      const ListPanelLook& look = menu->m_look;
      const HFONT font = gui::FontOrDefault(look.font);
      const int rowHeight = gui::FontHeight(font) + 1;
      const int rowWidth = menu->m_width - 2 * look.borderWidth - std::max(0, look.scrollBarWidth);
      for (const ListPanelEntry& entry : menu->m_entries)
        Check(dc, Text{item->id, gui::TranslateText(entry.text), font, DT_SINGLELINE, rowWidth, rowHeight}, where,
              language, names, problems);
      // Its entries are all it ever shows: a menu no taller than they need, and
      // without a scroll bar that has nothing to scroll.
      const int rows = static_cast<int>(menu->m_entries.size());
      const int listHeight = menu->m_height - look.borderWidth;
      if (rows * rowHeight > listHeight || listHeight > rows * rowHeight + kMenuSlack || look.scrollBarWidth > 0) {
        const auto name = names.find(item->id);
        std::ostringstream line;
        line << where << ": " << (name != names.end() ? name->second : std::to_string(item->id)) << " (" << language
             << "): " << rows << " rows of " << rowHeight << " need " << rows * rowHeight << " high; the menu's list is "
             << listHeight << (look.scrollBarWidth > 0 ? ", with a scroll bar" : "");
        problems.push_back(line.str());
      }
    }
  }
  return problems;
}

}  // namespace skincheck
