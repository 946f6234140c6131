#include "gui/skin/SkinLoader.h"

#include <algorithm>
#include <initializer_list>

#include "device/KeyboardDef.h"
#include "gui/controls/BitmapItem.h"
#include "gui/skin/SkinBuilders.h"
#include "gui/skin/SkinLinks.h"
#include "gui/base/SkinNameTables.h"
#include "gui/skin/SkinReaders.h"
#include "gui/skin/SkinResourceCache.h"
#include "platform/StartTimes.h"
#include "platform/Strings.h"

namespace {

struct SectionElement {
  const char* name;
  bool firstOnly;
};

// Counts of one section, each kept within the 16 bits the result gives it.
struct SectionCounts {
  uint32_t met = 0;
  uint32_t built = 0;
  void Met() { met = std::min<uint32_t>(met + 1, 0xFFFF); }
  void Built() { built = std::min<uint32_t>(built + 1, 0xFFFF); }
  uint32_t Result() const { return (met << 16) | built; }
};

void Append(GUIItemList& list, CGUIItem* item, SectionCounts& counts) {
  if (!item) return;
  list.push_back(item);
  counts.Built();
}

// The plain walk: each element name in order, every element of that name (or the
// first only), each built by its builder from the table.
uint32_t WalkSection(const pugi::xml_node& container, const char* listName,
                     std::initializer_list<SectionElement> elements, GUIItemList& list, HWND parent) {
  const pugi::xml_node listNode = container.child(listName);
  if (!listNode) return 0;
  SectionCounts counts;
  BuildContext context{parent, &list};
  for (const SectionElement& element : elements) {
    for (pugi::xml_node node = listNode.child(element.name); node; node = node.next_sibling(element.name)) {
      counts.Met();
      Append(list, BuildElement(node, context), counts);
      context.stageIndex++;
      if (element.firstOnly) break;
    }
  }
  return counts.Result();
}

uint32_t LanguagesSection(const pugi::xml_node& container, GUIItemList& list, HWND parent) {
  const pugi::xml_node listNode = container.child("LANGLIST");
  if (!listNode) return 0;
  SectionCounts counts;
  for (pugi::xml_node node = listNode.child("LANG"); node; node = node.next_sibling("LANG")) {
    counts.Met();
    if (RequestedLanguageId != -1 && ReadSkinId(node) != RequestedLanguageId) continue;
    CGUIItem* table = BuildLanguage(node, BuildContext{.parent = parent, .list = &list});
    Append(list, table, counts);
    gui::RegisterLanguageTable(table);
  }
  return counts.Result();
}

uint32_t KeyboardLayoutsSection(const pugi::xml_node& container, GUIItemList& list, HWND parent) {
  const pugi::xml_node listNode = container.child("KBLAYOUTLIST");
  if (!listNode) return 0;
  SectionCounts counts;
  for (pugi::xml_node node = listNode.child("KBLAYOUT"); node; node = node.next_sibling("KBLAYOUT")) {
    counts.Met();
    CGUIItem* layout = BuildKeyboardLayout(node, BuildContext{.parent = parent, .list = &list});
    Append(list, layout, counts);
    gui::RegisterKeyboardLayout(layout);
  }
  return counts.Result();
}

uint32_t FontsSection(const pugi::xml_node& c, GUIItemList& list, HWND parent) {
  return WalkSection(c, "FONTLIST", {{"FONT", false}}, list, parent);
}
uint32_t BitmapsSection(const pugi::xml_node& c, GUIItemList& list, HWND parent) {
  return WalkSection(c, "BITMAPLIST", {{"BITMAPITEM", false}, {"BITMAPWINDOW", false}}, list, parent);
}
uint32_t ButtonsSection(const pugi::xml_node& c, GUIItemList& list, HWND parent) {
  return WalkSection(c, "BUTTONLIST", {{"BUTTON", false}, {"PROFBUTTON", true}, {"AVIBUTTON", true}}, list, parent);
}
uint32_t SlidersSection(const pugi::xml_node& c, GUIItemList& list, HWND parent) {
  return WalkSection(c, "SLIDERLIST",
                     {{"VSLIDER", false}, {"HSLIDERM", false}, {"HSLIDERMAPM", false}, {"DMARKER", false}}, list,
                     parent);
}
uint32_t TextItemsSection(const pugi::xml_node& c, GUIItemList& list, HWND parent) {
  return WalkSection(c, "TEXTLIST", {{"TEXTITEM", false}}, list, parent);
}
uint32_t DpiStageWindowsSection(const pugi::xml_node& c, GUIItemList& list, HWND parent) {
  // The walk numbers the stage windows by their position, counting every element met.
  return WalkSection(c, "DPISTAGELIST", {{"DPISTAGEWINDOW", false}}, list, parent);
}
uint32_t MacroDisplaysSection(const pugi::xml_node& c, GUIItemList& list, HWND parent) {
  return WalkSection(c, "MACRODISPLAYLIST", {{"MACRODISPLAY", false}}, list, parent);
}
uint32_t ListsSection(const pugi::xml_node& c, GUIItemList& list, HWND parent) {
  return WalkSection(c, "LISTLIST", {{"LISTCTRL", false}, {"COMBO", false}}, list, parent);
}
uint32_t ListPanelsSection(const pugi::xml_node& c, GUIItemList& list, HWND parent) {
  return WalkSection(c, "LISTPANELLIST", {{"LISTPANEL", false}}, list, parent);
}
uint32_t EditControlsSection(const pugi::xml_node& c, GUIItemList& list, HWND parent) {
  return WalkSection(c, "EDITCTRLLIST", {{"EDITCTRL", false}, {"EDITCTRLSK", false}, {"EDITCTRLSKMMO", false}},
                     list, parent);
}

uint32_t KeyboardKeysSection(const pugi::xml_node& container, GUIItemList& list, HWND parent) {
  const pugi::xml_node listNode = container.child("KBDKEYLIST");
  if (!listNode) return 0;
  const pugi::xml_node buttonBitmaps = listNode.child("BUTTONBITMAPS");
  if (!buttonBitmaps) return 0;
  // A bitmap item's header lists no window (it is never found by one); its
  // window is the object's own.
  const auto* host = dynamic_cast<const CBitmapItem*>(ReadWindowRef(listNode, "windowid", list));
  const HWND keyParent = host && host->m_hWnd ? host->m_hWnd : parent;
  const SharedKeyBitmaps shared = ReadSharedKeyBitmaps(buttonBitmaps);
  BuildContext context{keyParent, &list, &shared, parent};
  SectionCounts counts;
  for (pugi::xml_node node = listNode.child("KBDKEY"); node; node = node.next_sibling("KBDKEY")) {
    counts.Met();
    Append(list, BuildElement(node, context), counts);
  }
  return counts.Result();
}

// The keyboard definition of a KEYBOARD file: the program's one CKeyboardDef is
// filled from the key-definition file (and the key defaults, when named).
bool LoadKeyboardDefinition(const pugi::xml_node& element, HWND parent) {
  if (!element) return false;
  const int32_t id = ReadSkinId(element);
  if (id == -1) return false;
  const std::wstring file = platform::Trim(gui::AttrText(element, "file"));
  if (file.empty()) return false;
  const std::span<const uint8_t> definitions = GetCachedBinary(file);
  CKeyboardDef& keyboard = GlobalKeyboardDef();
  if (!keyboard.LoadKeyDefinitions(definitions.size(), definitions.data())) return false;
  bool result = true;
  const std::wstring defaultsFile = platform::Trim(gui::AttrText(element, "kbddefaults"));
  if (!defaultsFile.empty()) {
    const std::span<const uint8_t> defaults = GetCachedBinary(defaultsFile);
    result = keyboard.LoadKeyDefaults(defaults.data(), defaults.size());
  }
  keyboard.id = id;
  keyboard.kind = GUIKIND_KEYBOARDDEF;
  keyboard.hwnd = nullptr;
  keyboard.parent = parent;
  return result;
}

bool LoadPanelBitmap(const pugi::xml_node& element, int32_t id, GUIItemList& list, HWND parent) {
  if (!element) return false;
  CGUIItem* item = gui::BuildPanelBitmap(element, id, parent);
  if (!item) return false;
  list.push_back(item);
  return true;
}

}  // namespace

const SkinSection SkinSectionTable[kSkinSectionCount] = {
    {L"LANGUAGES", LanguagesSection},
    {L"KEYBOARD LAYOUTS", KeyboardLayoutsSection},
    {L"FONTS", FontsSection},
    {L"BITMAPS", BitmapsSection},
    {L"BUTTONS", ButtonsSection},
    {L"SLIDERS", SlidersSection},
    {L"TEXT ITEMS", TextItemsSection},
    {L"DPI STAGE WINDOWS", DpiStageWindowsSection},
    {L"MACRO DISPLAYS", MacroDisplaysSection},
    {L"LISTS", ListsSection},
    {L"LIST PANELS", ListPanelsSection},
    {L"EDIT CONTROLS", EditControlsSection},
    {L"KEYBOARD KEYS", KeyboardKeysSection},
};

void gui::RunSkinSections(const pugi::xml_node& container, GUIItemList& list, HWND parent) {
  for (const SkinSection& section : SkinSectionTable) section.handler(container, list, parent);
}

bool SkinLoader::LoadFile(HWND parent, const std::wstring& path, GUIItemList* list) {
  if (!list) return false;
  // Read within the limit of every skin file read whole, then parsed from memory;
  // the wide path opens a folder whose name is not plain ASCII.
  pugi::xml_document document;
  {
    platform::start_times::Count(platform::start_times::Work::kParse);
    platform::start_times::Scope timed(platform::start_times::Work::kParse);
    std::vector<uint8_t> bytes;
    if (!gui::ReadWholeFile(path, gui::kMaxSkinFileBytes, bytes)) return false;
    if (document.load_buffer(bytes.data(), bytes.size()).status != pugi::status_ok) return false;
  }

  if (const pugi::xml_node root = document.child("KEYBOARD")) {
    if (!LoadKeyboardDefinition(root.child("KEYBOARDDEF"), parent)) return false;
    gui::RunSkinSections(root, *list, parent);
    return true;
  }
  if (const pugi::xml_node root = document.child("GUIPANEL")) {
    if (!LoadPanelBitmap(root.child("BACKGROUND"), 0, *list, parent)) return false;
    if (!LoadPanelBitmap(root.child("MASK"), 1, *list, parent)) return false;
    gui::RunSkinSections(root, *list, parent);
    return true;
  }
  if (const pugi::xml_node root = document.child("ITEMLIST")) {
    gui::RunSkinSections(root, *list, parent);
    return true;
  }
  return false;
}

bool SkinLoader::LoadFile(HWND parent, const std::wstring& path, GUIItemList& list) {
  return LoadFile(parent, path, &list);
}

bool LoadSkinFile(GUIItemList& list, const std::wstring& fileName, HWND parent) {
  gui::TryLoadSkinFile(list, fileName, parent);
  return true;
}

namespace gui {

std::wstring SkinFilePath(const std::wstring& fileName) { return AppFolder + L"xml\\" + fileName; }

bool TryLoadSkinFile(GUIItemList& list, const std::wstring& fileName, HWND parent) {
  // The names come from skin files too (a layout entry's kbditems): only a file
  // of the "xml\" folder, named within the path limit, is loaded.
  const std::wstring path = SkinFilePath(fileName);
  if (!IsSafeSkinFileName(fileName) || path.size() >= MAX_PATH) return false;
  return SkinLoader::LoadFile(parent, path, list);
}

}  // namespace gui
