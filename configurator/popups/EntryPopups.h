// The popups that ask for something: a name, a number, and the key a key sends
// (one key with Shift, Ctrl and Alt).
#pragma once
#include <string>

#include "configurator/popups/WarningDlg.h"
#include "gui/panels/SingleKeyEntry.h"

class CEditItem;

class CMorvelNameEntryPopup : public CMorvelPopup {
 public:
  // `name`: in, shown after the heading when not empty; out, the typed text.
  CMorvelNameEntryPopup(CWnd* parent, const std::wstring& skinFile, std::wstring* name);
  void BindItems() override;
  BOOL OnInitDialog() override;
  void OnOK() override;

  static constexpr int kLongestName = 20;
  std::wstring* m_name;
  CEditItem* m_edit = nullptr;
  CGUIItem* m_heading = nullptr;
};

class CMorvelNumEntryPopup : public CMorvelPopup {
 public:
  CMorvelNumEntryPopup(CWnd* parent, const std::wstring& skinFile, int* number);
  void BindItems() override;
  BOOL OnInitDialog() override;
  void OnOK() override;

  // The count is kept in one byte: the edit takes 1 to 255.
  static constexpr uint32_t kSmallest = 1;
  static constexpr uint32_t kLargest = 255;
  int* m_number;
  CEditItem* m_edit = nullptr;
};

// The single-key popup: the combination edit, its three modifier boxes with
// their texts, OK (enabled once a key was captured) and Cancel.
class CPellinPopupBoxSingleKeyEntry : public CPopupBoxSingleKeyEntryMMO {
 public:
  CPellinPopupBoxSingleKeyEntry(CWnd* parent, const std::wstring& skinFile, SingleKeyResult* result);
  void BindItems() override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;

  CGUIItem* m_boxes[3] = {};  // Shift, Ctrl, Alt
  CGUIItem* m_texts[3] = {};
  CGUIItem* m_ok = nullptr;
  CGUIItem* m_cancel = nullptr;
  uint8_t m_lastModifiers = 0;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void OnKeyCaptured();
  std::wstring m_skinName;
};

// The plain single-key popup that edits a macro event's key: it starts with that
// key shown and captured.
class CEditKeyPopup : public CPopupBoxSingleKeyEntry {
 public:
  CEditKeyPopup(CWnd* parent, const std::wstring& skinFile, const SingleKeyResult& start, SingleKeyResult* result);
  BOOL OnInitDialog() override;

 private:
  SingleKeyResult m_start;
  std::wstring m_skinName;
};
