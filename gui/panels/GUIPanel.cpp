#include "gui/panels/GUIPanel.h"

#include <utility>

#include "gui/controls/BitmapItem.h"
#include "gui/skin/SkinLoader.h"
#include "gui/skin/SkinResourceCache.h"
#include "platform/Gdi.h"
#include "platform/StartTimes.h"

namespace {

CPanelBitmap* PanelBitmapOf(const GUIItemList& items, int32_t id) {
  CGUIItem* item = FindItemById(items, id);
  if (!item || item->kind != GUIKIND_PANELBITMAP) return nullptr;
  return static_cast<CPanelBitmap*>(item);
}

gui::SkinFaultReport& CurrentSkinFaultReport() {
  static gui::SkinFaultReport report;
  return report;
}

void ShowSkinFaultBox(HWND owner, const std::wstring& path) {
  // The owner's title when it has one: the message belongs to that window.
  wchar_t ownerTitle[256] = {};
  const std::wstring title =
      owner && ::GetWindowTextW(owner, ownerTitle, 256) > 0 ? std::wstring(ownerTitle) : std::wstring(L"Kestrane Ovrix");
  const std::wstring text = L"The skin file\n" + path + L"\ncannot be loaded.";
  ::MessageBoxW(owner, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR | (owner ? 0 : MB_TASKMODAL));
}

}  // namespace

namespace gui {

SkinFaultReport SetSkinFaultReport(SkinFaultReport report) {
  return std::exchange(CurrentSkinFaultReport(), std::move(report));
}

void ReportSkinFault(HWND owner, const std::wstring& path) {
  if (const SkinFaultReport& report = CurrentSkinFaultReport()) report(owner, path);
  else ShowSkinFaultBox(owner, path);
}

}  // namespace gui

CGUIPanel::CGUIPanel(const std::wstring& skinFile, UINT templateId, CWnd* parent)
    : CDialog(templateId, parent), m_ownerWnd(parent), m_skinFile(skinFile) {}

CGUIPanel::CGUIPanel(CWnd* parent, const RECT& bounds, UINT templateId)
    : CDialog(templateId, parent), m_ownerWnd(parent), m_bounds(bounds) {}

CGUIPanel::~CGUIPanel() {
  m_background = nullptr;
  m_mask = nullptr;
  FreeItemList(m_items);
}

bool CGUIPanel::OnCreate() {
  // A dialog object can be created again (DoModal twice): the items of its last
  // window go first, or look-ups would find the last background, whose bitmap
  // went with that window.
  m_background = nullptr;
  m_mask = nullptr;
  m_region = nullptr;
  DestroyItemList(m_items);
  if (!m_skinFile.empty()) {
    const bool loaded = gui::TryLoadSkinFile(m_items, m_skinFile, m_hWnd);
    m_background = PanelBitmapOf(m_items, 0);
    const SIZE size = m_background ? m_background->GetSize() : SIZE{0, 0};
    // A panel that cannot be drawn would show as a blank box, and a popup's may
    // take every key: the user is told which file failed instead, and no window
    // is made.
    if (!loaded || size.cx <= 0 || size.cy <= 0) {
      m_background = nullptr;
      DestroyItemList(m_items);
      m_skinFault = gui::SkinFilePath(m_skinFile);
      return false;
    }
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
  } else {
    MoveWindow(0, 0, m_bounds.right - m_bounds.left, m_bounds.bottom - m_bounds.top, TRUE);
  }
  m_created = true;
  return true;
}

void CGUIPanel::ReportSkinFault() {
  if (m_skinFault.empty()) return;
  const std::wstring path = std::exchange(m_skinFault, std::wstring());
  HWND owner = m_ownerWnd && m_ownerWnd->m_hWnd ? ::GetAncestor(m_ownerWnd->m_hWnd, GA_ROOT) : nullptr;
  // A program's main window that failed its creation has already asked the
  // message loop to end; that request would close the message box at once, so
  // it waits until the user has read it.
  MSG quit{};
  const bool quitting = ::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
  gui::ReportSkinFault(owner, path);
  if (quitting) ::PostQuitMessage(static_cast<int>(quit.wParam));
}

INT_PTR CGUIPanel::DoModal() {
  m_skinFault.clear();
  const INT_PTR result = CDialog::DoModal();
  ReportSkinFault();
  return result;
}

bool CGUIPanel::Create(UINT templateId, CWnd* parent) {
  m_skinFault.clear();
  const bool created = CDialog::Create(templateId, parent);
  ReportSkinFault();
  return created;
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
      if (!OnCreate()) {
        result = -1;  // the window is not made
        return true;
      }
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
