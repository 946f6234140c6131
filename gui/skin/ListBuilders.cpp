// Builders of the list elements.
// Until their item classes exist these build nothing, so a skin that lists such
// elements still loads (the section counts the elements and no items).
#include "gui/skin/SkinBuilders.h"

CGUIItem* BuildMacroDisplay(const pugi::xml_node&, const BuildContext&) { return nullptr; }
CGUIItem* BuildListCtrl(const pugi::xml_node&, const BuildContext&) { return nullptr; }
CGUIItem* BuildCombo(const pugi::xml_node&, const BuildContext&) { return nullptr; }
CGUIItem* BuildListPanel(const pugi::xml_node&, const BuildContext&) { return nullptr; }
