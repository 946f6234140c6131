// The skinned dialog every skinned window derives from: when its window is
// created it loads its skin file into its own item list, takes the background
// image's size, cuts itself to the mask image's shape and paints the background.
// Derived panels find their items by skin element id in BindItems.
#pragma once
#include <windows.h>

#include <string>

#include "gui/GUIItem.h"
#include "platform/Dialog.h"

class CPanelBitmap;

class CGUIPanel : public CDialog {
 public:
  // A panel built from "xml\" + skinFile, from the dialog template, under the parent.
  CGUIPanel(const std::wstring& skinFile, UINT templateId, CWnd* parent);
  // A panel without a skin file: the window takes its size from the bounds.
  CGUIPanel(CWnd* parent, const RECT& bounds, UINT templateId);
  ~CGUIPanel() override;

  // Looks up the skin items the panel uses, once they exist.
  virtual void BindItems() = 0;

  // Draws the background into `dc` over `rect` from the image's origin; nothing
  // before the window's creation has finished, after its destruction, or when the
  // skin gave no background.
  void PaintBackground(HDC dc, const RECT& rect) const;

  const GUIItemList& Items() const { return m_items; }
  CPanelBitmap* Background() const { return m_background; }
  CPanelBitmap* Mask() const { return m_mask; }
  HRGN Region() const { return m_region; }
  const RECT& Bounds() const { return m_bounds; }
  bool IsCreated() const { return m_created; }

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  CWnd* m_ownerWnd;
  std::wstring m_skinFile;
  CPanelBitmap* m_background = nullptr;  // item 0 of kind 0, owned by m_items
  CPanelBitmap* m_mask = nullptr;        // item 1 of kind 0, owned by m_items
  HRGN m_region = nullptr;               // owned by the window once set
  GUIItemList m_items;
  RECT m_bounds{};
  bool m_created = false;

 private:
  void OnCreate();
  void OnPaint();
  void OnDestroy();
};

// The common base of the popups: the items are bound before the dialog's own
// initialisation runs.
class CPopupBox : public CGUIPanel {
 public:
  using CGUIPanel::CGUIPanel;
  ~CPopupBox() override = default;

  BOOL OnInitDialog() override;
  void BindItems() override {}
};
