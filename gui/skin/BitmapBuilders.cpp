// Builders of the bitmap and button elements.
// Until their item classes exist these build nothing, so a skin that lists such
// elements still loads (the section counts the elements and no items).
#include "gui/skin/SkinBuilders.h"

CGUIItem* BuildBitmapItem(const pugi::xml_node&, const BuildContext&) { return nullptr; }
CGUIItem* BuildBitmapWindow(const pugi::xml_node&, const BuildContext&) { return nullptr; }
CGUIItem* BuildButton(const pugi::xml_node&, const BuildContext&) { return nullptr; }
CGUIItem* BuildProfileButton(const pugi::xml_node&, const BuildContext&) { return nullptr; }
CGUIItem* BuildAviButton(const pugi::xml_node&, const BuildContext&) { return nullptr; }
