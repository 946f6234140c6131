// What the skinned report-view lists share: a background of one colour, and for
// a list scrolled by a skinned bar beside it, no system scroll bars, the wheel
// turned into line scrolls and the bar's thumb kept where the list stands.
#pragma once
#include <windows.h>

#include <memory>
#include <optional>

#include "gui/controls/VScrollBar.h"
#include "platform/Controls.h"

class CSkinnedListView : public CListCtrl {
 public:
  // kSystem: the list view's own scroll bars and wheel (only the background is
  // the skin's). kSkinned: a CVScrollBar (optional) scrolls the list.
  enum class Scrolling { kSystem, kSkinned };
  static constexpr UINT kScrollBarId = 0xFFFF;

  CSkinnedListView(Scrolling scrolling, int rowHeight) : m_rowHeight(rowHeight), m_scrolling(scrolling) {}
  ~CSkinnedListView() override = default;

  CVScrollBar* ScrollBar() const { return m_scrollBar.get(); }
  int RowHeight() const { return m_rowHeight; }

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  // Brings the bar's thumb to the list's scroll position.
  virtual void SyncScrollBar();
  // The colour WM_ERASEBKGND fills the client area with; none where the custom
  // draw paints all of it.
  virtual std::optional<COLORREF> EraseColour() const { return std::nullopt; }
  // Makes the bar (m_scrollBar, set by the caller) a child of `parent` at `rect`,
  // scrolling this list.
  void CreateScrollBar(const RECT& rect, CWnd* parent, COLORREF background);
  // Before the rows are drawn, for a list with a bar: the background, and a line
  // of the border colour at the bar's side.
  void PaintBackgroundBesideBar(HDC dc, COLORREF background, COLORREF border, int borderWidth) const;

  std::unique_ptr<CVScrollBar> m_scrollBar;
  int m_rowHeight;

 private:
  Scrolling m_scrolling;
};
