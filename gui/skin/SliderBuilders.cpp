// Builders of the slider, marker and DPI stage elements.
// Until their item classes exist these build nothing, so a skin that lists such
// elements still loads (the section counts the elements and no items).
#include "gui/skin/SkinBuilders.h"

CGUIItem* BuildVertSlider(const pugi::xml_node&, const BuildContext&) { return nullptr; }
CGUIItem* BuildMultiSlider(const pugi::xml_node&, const BuildContext&) { return nullptr; }
CGUIItem* BuildApmSlider(const pugi::xml_node&, const BuildContext&) { return nullptr; }
CGUIItem* BuildMarker(const pugi::xml_node&, const BuildContext&) { return nullptr; }
CGUIItem* BuildDpiStageWindow(const pugi::xml_node&, const BuildContext&) { return nullptr; }
