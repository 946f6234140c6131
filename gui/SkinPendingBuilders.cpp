// Builders of the window elements whose item classes do not exist yet: each
// builds nothing, so a skin that lists such elements still loads (the section
// counts the elements and no items).
#include "gui/SkinBuilders.h"

CGUIItem* BuildBitmapItem(const pugi::xml_node&, HWND) { return nullptr; }
CGUIItem* BuildBitmapWindow(const pugi::xml_node&, HWND, GUIItemList&) { return nullptr; }
CGUIItem* BuildButton(const pugi::xml_node&, HWND, GUIItemList&) { return nullptr; }
CGUIItem* BuildProfileButton(const pugi::xml_node&, HWND) { return nullptr; }
CGUIItem* BuildAviButton(const pugi::xml_node&, HWND) { return nullptr; }
CGUIItem* BuildVertSlider(const pugi::xml_node&, HWND) { return nullptr; }
CGUIItem* BuildMultiSlider(const pugi::xml_node&, HWND, GUIItemList&) { return nullptr; }
CGUIItem* BuildApmSlider(const pugi::xml_node&, GUIItemList&) { return nullptr; }
CGUIItem* BuildMarker(const pugi::xml_node&, HWND) { return nullptr; }
CGUIItem* BuildDpiStageWindow(const pugi::xml_node&, HWND, GUIItemList&, int) { return nullptr; }
CGUIItem* BuildTextItem(const pugi::xml_node&, HWND, GUIItemList&) { return nullptr; }
CGUIItem* BuildEditCtrl(const pugi::xml_node&, HWND, GUIItemList&) { return nullptr; }
CGUIItem* BuildSingleKeyEdit(const pugi::xml_node&, HWND, GUIItemList&) { return nullptr; }
CGUIItem* BuildSingleKeyEditMmo(const pugi::xml_node&, HWND, GUIItemList&) { return nullptr; }
CGUIItem* BuildKeyboardKey(const pugi::xml_node&, HWND, GUIItemList&, const SharedKeyBitmaps&, HWND) { return nullptr; }
CGUIItem* BuildMacroDisplay(const pugi::xml_node&, HWND, GUIItemList&) { return nullptr; }
CGUIItem* BuildListCtrl(const pugi::xml_node&, HWND, GUIItemList&) { return nullptr; }
CGUIItem* BuildCombo(const pugi::xml_node&, HWND, GUIItemList&) { return nullptr; }
CGUIItem* BuildListPanel(const pugi::xml_node&, HWND, GUIItemList&) { return nullptr; }
