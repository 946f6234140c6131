// The skinned dialog every skinned window derives from: when its window is
// created it loads its skin file into its own item list, takes the background
// image's size, cuts itself to the mask image's shape and paints the background.
// Derived panels find their items by skin element id in BindItems.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "gui/base/GUIItem.h"
#include "platform/Dialog.h"

class CPanelBitmap;

namespace gui {
// How a panel's skin file that cannot be loaded is told to the user: a plain
// message box that names the file (the skin is what failed, so nothing skinned
// can say it). Tests put their own, so that nothing waits for a click.
using SkinFaultReport = std::function<void(HWND owner, const std::wstring& path)>;
// Puts `report` in force (an empty one: the message box); returns the one before.
SkinFaultReport SetSkinFaultReport(SkinFaultReport report);
void ReportSkinFault(HWND owner, const std::wstring& path);
}  // namespace gui

class CGUIPanel : public CDialog {
 public:
  // A panel built from "xml\" + skinFile, from the dialog template, under the
  // parent. A skin file that cannot be loaded, or that gives no background (no
  // size, nothing to draw), is reported and the window is not made: Create fails
  // and DoModal returns -1, so no blank window is left that the keys cannot close.
  CGUIPanel(const std::wstring& skinFile, UINT templateId, CWnd* parent);
  // A panel without a skin file: the window takes its size from the bounds.
  CGUIPanel(CWnd* parent, const RECT& bounds, UINT templateId);
  ~CGUIPanel() override;

  // Looks up the skin items the panel uses, once they exist.
  virtual void BindItems() = 0;

  // The dialog's own, and then a skin file that could not be used is reported
  // (after the failed creation, so that no half-made window waits behind it).
  INT_PTR DoModal() override;
  bool Create(UINT templateId, CWnd* parent = nullptr);

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
  std::wstring m_skinFault;  // the path of a skin file that could not be used, until reported

 private:
  // False when the skin file cannot be used (noted for the report; the creation fails).
  bool OnCreate();
  void ReportSkinFault();
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
