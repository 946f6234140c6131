// A skin font: the GDI font a `FONT` element describes, carrying the skin item
// header. The item owns the font; controls that draw with it only borrow the
// handle, so it lives exactly as long as the item list that holds it.
#pragma once
#include "gui/base/GUIItem.h"
#include "platform/Gdi.h"

class CFontItem : public CFont, public CGUIItem {
 public:
  CFontItem() = default;
  // The font (deleted by CFont's destructor) goes with the item.
  ~CFontItem() override = default;
};
