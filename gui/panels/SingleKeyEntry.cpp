#include "gui/panels/SingleKeyEntry.h"

#include "gui/controls/SingleKeyEdit.h"

CPopupBoxSingleKeyEntry::CPopupBoxSingleKeyEntry(const std::wstring& skinFile, UINT templateId, CWnd* parent,
                                                 SingleKeyResult* result)
    : CPopupBox(skinFile, templateId, parent), m_result(result) {}

CPopupBoxSingleKeyEntry::~CPopupBoxSingleKeyEntry() = default;

void CPopupBoxSingleKeyEntry::BindItems() {
  CGUIItem* item = FindItemById(m_items, kKeyEditId);
  m_keyEdit = item && item->kind == GUIKIND_EDITCTRLSK ? dynamic_cast<CEditItemSingleKeyInput*>(item) : nullptr;
}

BOOL CPopupBoxSingleKeyEntry::OnInitDialog() {
  CPopupBox::OnInitDialog();  // binds the items first
  if (m_keyEdit && !m_enterOrEscape) m_keyEdit->SetFocus();
  return FALSE;
}

BOOL CPopupBoxSingleKeyEntry::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (lParam) {
    if (CGUIItem* item = FindItemByHwnd(m_items, reinterpret_cast<HWND>(lParam))) {
      if (item->id == kOkButtonId) {
        OnOK();
        return TRUE;
      }
      if (item->id == kCancelButtonId) {
        OnCancel();
        return TRUE;
      }
    }
  }
  return CPopupBox::OnCommand(wParam, lParam);
}

BOOL CPopupBoxSingleKeyEntry::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN) {
    // Enter and Esc are keys to capture only where there is an edit to capture
    // them: without one they close the popup as in any other.
    m_enterOrEscape = m_keyEdit && (msg->wParam == VK_ESCAPE || msg->wParam == VK_RETURN) ? 1 : 0;
  } else if (msg->message == WM_LBUTTONDOWN) {
    m_enterOrEscape = 0;
  }
  return CPopupBox::PreTranslateMessage(msg);
}

void CPopupBoxSingleKeyEntry::OnOK() {
  std::wstring line;
  if (m_keyEdit) {
    // The first line, read within its own length.
    const LRESULT length = m_keyEdit->SendMessage(EM_LINELENGTH, 0);
    if (length > 0) {
      std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
      *reinterpret_cast<WORD*>(buffer.data()) = static_cast<WORD>(buffer.size());
      const LRESULT got = m_keyEdit->SendMessage(EM_GETLINE, 0, reinterpret_cast<LPARAM>(buffer.data()));
      buffer.resize(got > 0 && static_cast<size_t>(got) <= static_cast<size_t>(length) ? static_cast<size_t>(got) : 0);
      line = buffer;
    }
  }
  if (m_result) {
    m_result->name.clear();
    if (!line.empty()) {
      m_result->name = line;
      m_result->scanCode = static_cast<uint16_t>(m_keyEdit->m_keyEvent.scanCode);
      m_result->virtualKey = static_cast<uint16_t>(m_keyEdit->m_keyEvent.virtualKey);
      m_result->flags = m_keyEdit->m_keyEvent.flags & kKeyFlagExtended;
    }
  }
  if (!m_enterOrEscape && !line.empty()) EndDialog(IDOK);
}

void CPopupBoxSingleKeyEntry::OnCancel() {
  if (m_enterOrEscape == 1) return;
  if (m_result) m_result->name.clear();
  EndDialog(IDCANCEL);
}

bool CPopupBoxSingleKeyEntry::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
      result = Default();
      return true;
    default:
      return CPopupBox::OnMessage(msg, wParam, lParam, result);
  }
}

CPopupBoxSingleKeyEntryMMO::~CPopupBoxSingleKeyEntryMMO() = default;

void CPopupBoxSingleKeyEntryMMO::BindItems() {
  CGUIItem* item = FindItemById(m_items, kKeyEditId);
  m_keyEdit = item && item->kind == GUIKIND_EDITCTRLSK ? dynamic_cast<CEditItemSingleKeyInputMMO*>(item) : nullptr;
}

CEditItemSingleKeyInputMMO* CPopupBoxSingleKeyEntryMMO::KeyEditMmo() const {
  return static_cast<CEditItemSingleKeyInputMMO*>(m_keyEdit);
}
