// The drop-down list of a choice cell of the skinned list control: a popup
// holding a list box and its own scroll bar, which tells its owner about keys
// and clicks with the four registered combo-list messages.
#pragma once
#include <windows.h>

#include "platform/Controls.h"

class CXComboList : public CWnd {
 public:
  // The list box and the scroll bar are the popup's children.
  static constexpr UINT kListBoxId = 1;
  static constexpr UINT kScrollBarId = 2;
  static constexpr int kScrollBarWidth = 11;

  // The owner gets the messages; it creates, destroys and deletes the popup.
  explicit CXComboList(CWnd* owner) : m_owner(owner) {}
  ~CXComboList() override = default;

  // Gives the list box the focus; on the first call shrinks the popup to whole
  // rows; places the list box and the scroll bar and brings the scroll bar to
  // the selected entry.
  void PlaceAndShow();
  BOOL PreTranslateMessage(MSG* msg) override;

  CListBox& ListBox() { return m_listBox; }
  CScrollBar& ScrollBar() { return m_scrollBar; }
  int Rows() const { return m_rows; }

  CListBox m_listBox;
  CScrollBar m_scrollBar;
  CWnd* m_owner;
  int m_focusLosses = 0;
  int m_firstPlacement = 1;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void Notify(UINT msg) const;
  int Maximum() const;
  void SetPosition(int position);
  void OnKeyDown(WPARAM key);
  void OnVScroll(WPARAM wParam, LPARAM lParam);

  int m_rows = 0;
  int m_listHeight = 0;
};
