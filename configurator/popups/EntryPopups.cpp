#include "configurator/popups/EntryPopups.h"

#include <cwchar>

#include "configurator/ElementIds.h"
#include "configurator/ItemAccess.h"
#include "configurator/popups/Placement.h"
#include "gui/Messages.h"
#include "gui/controls/EditItem.h"
#include "gui/controls/SingleKeyEdit.h"

namespace ids = configurator::ids;

namespace {

constexpr UINT kPopupTemplate = 129;

CEditItem* EditOf(CGUIItem* item) {
  return item != nullptr && (item->kind == GUIKIND_EDITCTRL || item->kind == GUIKIND_EDITCTRLSK)
             ? static_cast<CEditItem*>(item)
             : nullptr;
}

std::wstring EditText(const CEditItem* edit) { return edit != nullptr ? edit->GetWindowText() : std::wstring(); }

// Modifier bits of the capture and the box each one ticks: Shift, Ctrl, Alt.
constexpr uint8_t kModifierBits[3] = {8, 4, 2};

}  // namespace

CMorvelNameEntryPopup::CMorvelNameEntryPopup(CWnd* parent, const std::wstring& skinFile, std::wstring* name)
    : CMorvelPopup(parent, skinFile), m_name(name) {}

void CMorvelNameEntryPopup::BindItems() {
  m_edit = EditOf(Item(ids::EDITCTRL_POPUP_NAMEENTRY));
  m_heading = Item(ids::TEXT_WARNDLG_HEADING);
}

BOOL CMorvelNameEntryPopup::OnInitDialog() {
  CMorvelPopup::OnInitDialog();
  if (m_heading != nullptr && m_name != nullptr && !m_name->empty())
    configurator::SetItemText(m_heading, configurator::ItemText(m_heading) + L": " + *m_name);
  if (m_edit != nullptr) {
    m_edit->SendMessage(EM_LIMITTEXT, kLongestName);
    m_edit->SetFocus();
  }
  return FALSE;
}

void CMorvelNameEntryPopup::OnOK() {
  if (m_name != nullptr) *m_name = EditText(m_edit);
  EndDialog(kPopupConfirmed);
}

CMorvelNumEntryPopup::CMorvelNumEntryPopup(CWnd* parent, const std::wstring& skinFile, int* number)
    : CMorvelPopup(parent, skinFile), m_number(number) {}

void CMorvelNumEntryPopup::BindItems() { m_edit = EditOf(Item(ids::EDITCTRL_POPUP_NUMENTRY)); }

BOOL CMorvelNumEntryPopup::OnInitDialog() {
  CMorvelPopup::OnInitDialog();
  if (m_edit != nullptr) {
    m_edit->m_numeric = 1;
    m_edit->m_min = kSmallest;
    m_edit->m_max = kLargest;
    // Enter and Esc answer this popup as they do every other one.
    m_edit->m_passesEnterAndEsc = 1;
    m_edit->SetFocus();
  }
  return FALSE;
}

void CMorvelNumEntryPopup::OnOK() {
  if (m_number != nullptr) {
    const std::wstring text = EditText(m_edit);
    // The digit filter keeps the text within 1..255; anything else reads as none.
    const long value = text.empty() ? 0 : std::wcstol(text.c_str(), nullptr, 10);
    *m_number = value >= 0 && value <= static_cast<long>(kLargest) ? static_cast<int>(value) : 0;
  }
  EndDialog(kPopupConfirmed);
}

CPellinPopupBoxSingleKeyEntry::CPellinPopupBoxSingleKeyEntry(CWnd* parent, const std::wstring& skinFile,
                                                             SingleKeyResult* result)
    : CPopupBoxSingleKeyEntryMMO(skinFile, kPopupTemplate, parent, result), m_skinName(skinFile) {}

void CPellinPopupBoxSingleKeyEntry::BindItems() {
  CPopupBoxSingleKeyEntryMMO::BindItems();
  const int32_t boxes[3] = {ids::BUTTON_CHKBOX_SLCT_SHIFT, ids::BUTTON_CHKBOX_SLCT_CTRL, ids::BUTTON_CHKBOX_SLCT_ALT};
  const int32_t texts[3] = {ids::TEXT_SLCT_SHIFT, ids::TEXT_SLCT_CTRL, ids::TEXT_SLCT_ALT};
  for (int i = 0; i < 3; ++i) {
    m_boxes[i] = FindItemById(m_items, boxes[i]);
    m_texts[i] = FindItemById(m_items, texts[i]);
  }
  m_ok = FindItemById(m_items, ids::BUTTON_POPUP_OK);
  m_cancel = FindItemById(m_items, ids::BUTTON_POPUP_CANCEL);
}

BOOL CPellinPopupBoxSingleKeyEntry::OnInitDialog() {
  const BOOL result = CPopupBoxSingleKeyEntryMMO::OnInitDialog();
  SetWindowText(m_skinName);
  configurator::CentreOverOwner(m_hWnd);
  for (CGUIItem* text : m_texts) configurator::EnableItem(text, false);
  configurator::EnableItem(m_ok, false);
  return result;
}

void CPellinPopupBoxSingleKeyEntry::OnKeyCaptured() {
  configurator::EnableItem(m_ok, true);
  CEditItemSingleKeyInputMMO* edit = KeyEditMmo();
  if (edit == nullptr) return;
  if (edit->m_modifiers != m_lastModifiers) {
    for (int i = 0; i < 3; ++i) {
      configurator::EnableItem(m_texts[i], false);
      configurator::SetItemCheck(m_boxes[i], false);
    }
    for (int i = 0; i < 3; ++i)
      if (edit->m_modifiers & kModifierBits[i]) {
        configurator::EnableItem(m_texts[i], true);
        configurator::SetItemCheck(m_boxes[i], true);
      }
    m_lastModifiers = edit->m_modifiers;
  }
  if (m_result != nullptr) {
    m_result->flags = edit->m_modifiers;
    m_result->scanCode = edit->m_capturedScanCode;
    m_result->virtualKey = edit->m_capturedVirtualKey;
  }
}

void CPellinPopupBoxSingleKeyEntry::OnOK() {
  CEditItemSingleKeyInputMMO* edit = KeyEditMmo();
  const std::wstring text = edit != nullptr ? edit->GetWindowText() : std::wstring();
  if (m_result != nullptr) m_result->name = text;
  const uint8_t modifiers = m_result != nullptr ? m_result->flags : 0;
  if (!m_enterOrEscape && (!text.empty() || modifiers != 0)) EndDialog(kPopupConfirmed);
}

void CPellinPopupBoxSingleKeyEntry::OnCancel() {
  if (m_enterOrEscape) return;
  if (m_result != nullptr) *m_result = SingleKeyResult{};
  EndDialog(kPopupCancelled);
}

bool CPellinPopupBoxSingleKeyEntry::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg == KeyCapturedMessage) {
    OnKeyCaptured();
    result = 0;
    return true;
  }
  return CPopupBoxSingleKeyEntryMMO::OnMessage(msg, wParam, lParam, result);
}

CEditKeyPopup::CEditKeyPopup(CWnd* parent, const std::wstring& skinFile, const SingleKeyResult& start,
                             SingleKeyResult* result)
    : CPopupBoxSingleKeyEntry(skinFile, kPopupTemplate, parent, result), m_start(start), m_skinName(skinFile) {}

BOOL CEditKeyPopup::OnInitDialog() {
  const BOOL result = CPopupBoxSingleKeyEntry::OnInitDialog();
  SetWindowText(m_skinName);
  configurator::CentreOverOwner(m_hWnd);
  // The event's key is shown and taken as captured: OK without a key pressed
  // answers the key the event has.
  if (m_keyEdit != nullptr && !m_start.name.empty()) {
    m_keyEdit->m_keyEvent.scanCode = static_cast<int16_t>(m_start.scanCode);
    m_keyEdit->m_keyEvent.virtualKey = static_cast<int16_t>(m_start.virtualKey);
    m_keyEdit->m_keyEvent.flags = m_start.flags & kKeyFlagExtended;
    m_keyEdit->m_keyEvent.name = m_start.name;
    m_keyEdit->ShowKeyName(m_start.name);
  }
  return result;
}
