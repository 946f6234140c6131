// The popup base that hosts a single-key edit (skin element 390) and returns the
// key captured in it. Enter and Esc are keys to capture here, not the dialog's
// OK and Cancel: only a click on OK closes the popup with the key.
#pragma once
#include <cstdint>
#include <string>

#include "gui/panels/GUIPanel.h"

class CEditItemSingleKeyInput;
class CEditItemSingleKeyInputMMO;

struct SingleKeyResult {
  std::wstring name;
  uint16_t scanCode = 0;
  uint16_t virtualKey = 0;
  // The plain edit's popup: the key's extended flag (1). The combination edit's
  // popup: its modifier bits (1 extended, 2 Alt, 4 Ctrl, 8 Shift).
  uint8_t flags = 0;
};

class CPopupBoxSingleKeyEntry : public CPopupBox {
 public:
  static constexpr int32_t kKeyEditId = 390;     // EDITCTRL_POPUP_SINGLEKEYENTRY
  static constexpr int32_t kOkButtonId = 157;    // BUTTON_POPUP_OK
  static constexpr int32_t kCancelButtonId = 158;  // BUTTON_POPUP_CANCEL

  CPopupBoxSingleKeyEntry(const std::wstring& skinFile, UINT templateId, CWnd* parent, SingleKeyResult* result);
  ~CPopupBoxSingleKeyEntry() override;

  // The popup's OK and Cancel buttons run OnOK and OnCancel; other commands are
  // the dialog's.
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  // Notes whether the last key down was Enter or Esc (a click clears it); never
  // without a key edit, so that such a popup still closes from the keyboard.
  BOOL PreTranslateMessage(MSG* msg) override;
  BOOL OnInitDialog() override;
  // Takes the shown key into the result; closes only when the edit shows a key
  // and the last key down was not Enter or Esc.
  void OnOK() override;
  // Ignored while the last key down was Enter or Esc.
  void OnCancel() override;
  void BindItems() override;

  CEditItemSingleKeyInput* m_keyEdit = nullptr;
  uint8_t m_enterOrEscape = 0;
  SingleKeyResult* m_result = nullptr;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

// The base of the combination-key popup: binds element 390 only when it is a
// combination edit. OK, the capture reports and the emptying Cancel belong to
// the popup built on it.
class CPopupBoxSingleKeyEntryMMO : public CPopupBoxSingleKeyEntry {
 public:
  using CPopupBoxSingleKeyEntry::CPopupBoxSingleKeyEntry;
  ~CPopupBoxSingleKeyEntryMMO() override;

  void BindItems() override;
  CEditItemSingleKeyInputMMO* KeyEditMmo() const;
};
