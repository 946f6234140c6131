#include "gui/panels/GUIPanel.h"

#include "gui/controls/BitmapItem.h"
#include "gui/skin/SkinResourceCache.h"
#include "platform/Gdi.h"
#include "platform/StartTimes.h"

namespace {

CPanelBitmap* PanelBitmapOf(const GUIItemList& items, int32_t id) {
  CGUIItem* item = FindItemById(items, id);
  if (!item || item->kind != GUIKIND_PANELBITMAP) return nullptr;
  return static_cast<CPanelBitmap*>(item);
}

}  // namespace

CGUIPanel::CGUIPanel(const std::wstring& skinFile, UINT templateId, CWnd* parent)
    : CDialog(templateId, parent), m_ownerWnd(parent), m_skinFile(skinFile) {}

CGUIPanel::CGUIPanel(CWnd* parent, const RECT& bounds, UINT templateId)
    : CDialog(templateId, parent), m_ownerWnd(parent), m_bounds(bounds) {}

CGUIPanel::~CGUIPanel() {
  m_background = nullptr;
  m_mask = nullptr;
  FreeItemList(m_items);
}

void CGUIPanel::OnCreate() {
  // A dialog object can be created again (DoModal twice): the items of its last
  // window go first, or look-ups would find the last background, whose bitmap
  // went with that window.
  m_background = nullptr;
  m_mask = nullptr;
  m_region = nullptr;
  DestroyItemList(m_items);
  if (!m_skinFile.empty()) {
    LoadSkinFile(m_items, m_skinFile, m_hWnd);
    m_background = PanelBitmapOf(m_items, 0);
    const SIZE size = m_background ? m_background->GetSize() : SIZE{0, 0};
    // Without a background there is no size to take and no shape to cut: the
    // window keeps its template's size and stays rectangular.
    if (size.cx > 0 && size.cy > 0) {
      m_bounds.right = size.cx;
      m_bounds.bottom = size.cy;
      MoveWindow(0, 0, size.cx, size.cy, TRUE);
      m_mask = PanelBitmapOf(m_items, 1);
      if (m_mask && !m_mask->IsNull()) {
        CRgn region(BitmapToRegion(*m_mask));
        const HRGN handle = region;
        // Refused, the region is deleted with its owner.
        if (!region.IsNull() && SetWindowRgn(region, TRUE)) m_region = handle;
      }
    }
  } else {
    MoveWindow(0, 0, m_bounds.right - m_bounds.left, m_bounds.bottom - m_bounds.top, TRUE);
  }
  m_created = true;
}

void CGUIPanel::PaintBackground(HDC dc, const RECT& rect) const {
  if (!m_created || !m_background || m_background->IsNull() || !dc) return;
  CDC memory;
  if (!memory.CreateCompatibleDC(dc)) return;
  platform::SelectGuard select(memory, *m_background);
  ::BitBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, memory, 0, 0, SRCCOPY);
}

void CGUIPanel::OnPaint() {
  // Painting always validates the window, also when there is nothing to draw.
  CPaintDC dc(m_hWnd);
  RECT client{};
  GetClientRect(&client);
  PaintBackground(dc, client);
  // The program's first paint ends the start-up's timing (when it is asked for).
  platform::start_times::Report();
}

void CGUIPanel::OnDestroy() {
  // The two bitmaps go with the window; their items stay in the list until the panel goes.
  if (m_background) m_background->DeleteObject();
  if (m_mask) m_mask->DeleteObject();
  m_region = nullptr;  // the system deleted it with the window
  m_created = false;
}

bool CGUIPanel::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_CREATE:
      OnCreate();
      if (!CDialog::OnMessage(msg, wParam, lParam, result)) result = Default();
      return true;
    case WM_PAINT:
      OnPaint();
      result = 0;
      return true;
    case WM_DESTROY:
      if (!CDialog::OnMessage(msg, wParam, lParam, result)) result = Default();
      OnDestroy();
      return true;
    default:
      return CDialog::OnMessage(msg, wParam, lParam, result);
  }
}

BOOL CPopupBox::OnInitDialog() {
  BindItems();
  return CDialog::OnInitDialog();
}
