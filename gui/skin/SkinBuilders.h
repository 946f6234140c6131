// The element builders: one free function per item element of a skin file, each
// turning one element into one skin item (or nothing), and the table the
// loader's sections find them in by element name.
#pragma once
#include <windows.h>

#include <pugixml.hpp>

#include <span>
#include <string_view>

#include "gui/GUIItem.h"
#include "gui/SkinReaders.h"

// What a section hands to the builders of its elements.
struct BuildContext {
  HWND parent = nullptr;          // the window the item's window is created under
  GUIItemList* list = nullptr;    // the list being filled (for fontid, windowid, ...)
  const SharedKeyBitmaps* sharedBitmaps = nullptr;  // keys only
  HWND panelWindow = nullptr;     // keys only: the loader's own parent window
  int stageIndex = 0;             // DPI stage windows only: position in the section
};

using ElementBuilder = CGUIItem* (*)(const pugi::xml_node& element, const BuildContext& context);

struct SkinElementBuilder {
  const char* element;
  GUIItemKind kind;
  ElementBuilder build;
};

// Every item element that a section may hold, with its builder.
std::span<const SkinElementBuilder> SkinElementBuilders();
// The row of the element name (matched exactly), or null.
const SkinElementBuilder* FindElementBuilder(std::string_view element);
// Builds the element with the builder of its name; null for an unknown element
// or when the builder built nothing.
CGUIItem* BuildElement(const pugi::xml_node& element, const BuildContext& context);

// Items without a window.
CGUIItem* BuildLanguage(const pugi::xml_node& element, HWND parent);
CGUIItem* BuildKeyboardLayout(const pugi::xml_node& element, HWND parent);
CGUIItem* BuildFont(const pugi::xml_node& element, HWND parent);

// The LOGFONT a `FONT` element describes (before its font file is registered).
LOGFONTW ReadFontDescription(const pugi::xml_node& element);

// Window elements. Until their item classes exist these build nothing.
CGUIItem* BuildBitmapItem(const pugi::xml_node& element, HWND parent);
CGUIItem* BuildBitmapWindow(const pugi::xml_node& element, HWND parent, GUIItemList& list);
CGUIItem* BuildButton(const pugi::xml_node& element, HWND parent, GUIItemList& list);
CGUIItem* BuildProfileButton(const pugi::xml_node& element, HWND parent);
CGUIItem* BuildAviButton(const pugi::xml_node& element, HWND parent);
CGUIItem* BuildVertSlider(const pugi::xml_node& element, HWND parent);
CGUIItem* BuildMultiSlider(const pugi::xml_node& element, HWND parent, GUIItemList& list);
CGUIItem* BuildApmSlider(const pugi::xml_node& element, GUIItemList& list);
CGUIItem* BuildMarker(const pugi::xml_node& element, HWND parent);
CGUIItem* BuildDpiStageWindow(const pugi::xml_node& element, HWND parent, GUIItemList& list, int stageIndex);
CGUIItem* BuildTextItem(const pugi::xml_node& element, HWND parent, GUIItemList& list);
CGUIItem* BuildEditCtrl(const pugi::xml_node& element, HWND parent, GUIItemList& list);
CGUIItem* BuildSingleKeyEdit(const pugi::xml_node& element, HWND parent, GUIItemList& list);
CGUIItem* BuildSingleKeyEditMmo(const pugi::xml_node& element, HWND parent, GUIItemList& list);
CGUIItem* BuildKeyboardKey(const pugi::xml_node& element, HWND parent, GUIItemList& list,
                           const SharedKeyBitmaps& sharedBitmaps, HWND panelWindow);
CGUIItem* BuildMacroDisplay(const pugi::xml_node& element, HWND parent, GUIItemList& list);
CGUIItem* BuildListCtrl(const pugi::xml_node& element, HWND parent, GUIItemList& list);
CGUIItem* BuildCombo(const pugi::xml_node& element, HWND parent, GUIItemList& list);
CGUIItem* BuildListPanel(const pugi::xml_node& element, HWND parent, GUIItemList& list);
