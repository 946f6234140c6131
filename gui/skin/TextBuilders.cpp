// Builders of the text, edit and keyboard-key elements.
// Until their item classes exist these build nothing, so a skin that lists such
// elements still loads (the section counts the elements and no items).
#include "gui/skin/SkinBuilders.h"

CGUIItem* BuildTextItem(const pugi::xml_node&, const BuildContext&) { return nullptr; }
CGUIItem* BuildEditCtrl(const pugi::xml_node&, const BuildContext&) { return nullptr; }
CGUIItem* BuildSingleKeyEdit(const pugi::xml_node&, const BuildContext&) { return nullptr; }
CGUIItem* BuildSingleKeyEditMmo(const pugi::xml_node&, const BuildContext&) { return nullptr; }
CGUIItem* BuildKeyboardKey(const pugi::xml_node&, const BuildContext&) { return nullptr; }
