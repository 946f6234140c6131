// A vertical scroll bar drawn from six skin images, beside lists that scroll by
// rows. It keeps no position of its own: it places its thumb from the owner's
// vertical scroll information and moves the owner only by posting WM_VSCROLL
// line and page requests, as a system scroll bar would.
#pragma once
#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>

#include "platform/Controls.h"
#include "platform/Gdi.h"

class CVScrollBar : public CStatic {
 public:
  // Image slots, in the order SetBitmaps takes them.
  enum Slot { kTop, kBottom, kUpArrow, kDownArrow, kSpan, kThumb, kSlotCount };
  // Arrow repeat: a first delay, then one line per step.
  static constexpr UINT_PTR kRepeatTimer = 1;
  static constexpr UINT_PTR kFirstDelayTimer = 2;
  static constexpr UINT kFirstDelayMs = 250;
  static constexpr UINT kRepeatMs = 50;

  explicit CVScrollBar(CWnd* owner = nullptr) : m_scrollOwner(owner) {}
  ~CVScrollBar() override = default;

  // The six images (cached, not owned; each may be null). With a window the
  // private copies are made at once; a thumb at 0 moves under the up arrow.
  void SetBitmaps(HBITMAP top, HBITMAP bottom, HBITMAP upArrow, HBITMAP downArrow, HBITMAP span, HBITMAP thumb);
  // The static control's creation, with SS_NOTIFY so that the bar gets its clicks.
  BOOL Create(const wchar_t* text, DWORD style, const RECT& rect, CWnd* parent, UINT id = 0xFFFF) override;
  // Places the thumb from the owner's scroll information (none that can be read:
  // at the top of the track) and redraws. Virtual so that a test can count how
  // often an owner brings the bar in step.
  virtual void UpdateThumb();

  void SetScrollOwner(CWnd* owner) { m_scrollOwner = owner; }
  CWnd* ScrollOwner() const { return m_scrollOwner; }
  int32_t ThumbTop() const { return m_thumbTop; }

  COLORREF m_backgroundColor = 0;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  struct BitmapSet {
    std::array<HBITMAP, kSlotCount> sources{};
    bool built = false;
    std::array<CBitmap, kSlotCount> copies;
    std::array<SIZE, kSlotCount> sizes{};
  };

  int Height(Slot slot) const { return m_bitmaps ? m_bitmaps->sizes[slot].cy : 0; }
  int ThumbWidth() const { return m_bitmaps ? m_bitmaps->sizes[kThumb].cx : 0; }
  int ClientHeight() const;
  int Travel() const;
  RECT UpArrowRect() const;
  RECT DownArrowRect() const;
  RECT ThumbRect() const;
  void ClampThumb();
  void BuildCopies();
  void Draw(HDC target);
  void Redraw();
  void Request(WPARAM code) const;
  bool OwnerScrollInfo(SCROLLINFO& info) const;

  void OnLButtonDown(POINT pt);
  void OnLButtonUp(POINT pt);
  void OnMouseMove(WPARAM flags, POINT pt);
  void OnTimer(UINT_PTR id);
  void OnCaptureLost();

  int32_t m_thumbTop = 0;
  bool m_upPressed = false;
  bool m_downPressed = false;
  bool m_dragging = false;
  std::unique_ptr<BitmapSet> m_bitmaps;
  CWnd* m_scrollOwner;
};
