// The element builders: one free function per item element of a skin file, each
// turning one element into one skin item (or nothing), and the table the
// loader's sections find them in by element name.
#pragma once
#include <windows.h>

#include <pugixml.hpp>

#include <span>
#include <string_view>

#include "gui/base/GUIItem.h"
#include "gui/skin/SkinReaders.h"

// What a section hands to the builders of its elements.
struct BuildContext {
  HWND parent = nullptr;          // the window the item's window is created under
  GUIItemList* list = nullptr;    // the list being filled (for fontid, windowid, ...)
  const SharedKeyBitmaps* sharedBitmaps = nullptr;  // keys only
  HWND panelWindow = nullptr;     // keys only: the loader's own parent window
  int stageIndex = 0;             // DPI stage windows only: position in the section

  // The list being filled; an empty list stands in for a caller that has none.
  // Builders only search it: the loader appends what they return.
  const GUIItemList& List() const;
  // The shared key images; none for a caller that has none.
  const SharedKeyBitmaps& SharedBitmaps() const;
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

// Every builder takes the element and the section's context, so the table above
// lists the builders themselves.
// Items without a window (SkinBuilders.cpp).
CGUIItem* BuildLanguage(const pugi::xml_node& element, const BuildContext& context);
CGUIItem* BuildKeyboardLayout(const pugi::xml_node& element, const BuildContext& context);
CGUIItem* BuildFont(const pugi::xml_node& element, const BuildContext& context);

// The LOGFONT a `FONT` element describes (before its font file is registered).
namespace gui {
LOGFONTW ReadFontDescription(const pugi::xml_node& element);
}  // namespace gui

// Bitmaps and buttons (BitmapBuilders.cpp).
CGUIItem* BuildBitmapItem(const pugi::xml_node& element, const BuildContext& context);
CGUIItem* BuildBitmapWindow(const pugi::xml_node& element, const BuildContext& context);
CGUIItem* BuildButton(const pugi::xml_node& element, const BuildContext& context);
CGUIItem* BuildProfileButton(const pugi::xml_node& element, const BuildContext& context);
CGUIItem* BuildAviButton(const pugi::xml_node& element, const BuildContext& context);
// Sliders, the marker and DPI stage panes (SliderBuilders.cpp).
CGUIItem* BuildVertSlider(const pugi::xml_node& element, const BuildContext& context);
CGUIItem* BuildMultiSlider(const pugi::xml_node& element, const BuildContext& context);
CGUIItem* BuildApmSlider(const pugi::xml_node& element, const BuildContext& context);
CGUIItem* BuildMarker(const pugi::xml_node& element, const BuildContext& context);
CGUIItem* BuildDpiStageWindow(const pugi::xml_node& element, const BuildContext& context);
// Texts, edits and keyboard keys (TextBuilders.cpp).
CGUIItem* BuildTextItem(const pugi::xml_node& element, const BuildContext& context);
CGUIItem* BuildEditCtrl(const pugi::xml_node& element, const BuildContext& context);
CGUIItem* BuildSingleKeyEdit(const pugi::xml_node& element, const BuildContext& context);
CGUIItem* BuildSingleKeyEditMmo(const pugi::xml_node& element, const BuildContext& context);
CGUIItem* BuildKeyboardKey(const pugi::xml_node& element, const BuildContext& context);
// Lists (ListBuilders.cpp).
CGUIItem* BuildMacroDisplay(const pugi::xml_node& element, const BuildContext& context);
CGUIItem* BuildListCtrl(const pugi::xml_node& element, const BuildContext& context);
CGUIItem* BuildCombo(const pugi::xml_node& element, const BuildContext& context);
CGUIItem* BuildListPanel(const pugi::xml_node& element, const BuildContext& context);
