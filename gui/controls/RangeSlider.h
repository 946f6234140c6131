// A horizontal track divided into coloured ranges by stepped thumbs, telling its
// owner which range a click hit; and a gauge whose filled part shows a value and
// can be dragged.
#pragma once
#include <windows.h>

#include <memory>
#include <vector>

#include "gui/base/GUIItem.h"
#include "gui/controls/Sliders.h"
#include "platform/Gdi.h"
#include "platform/Window.h"

class CAPMSlider : public CWnd, public CGUIItem {
 public:
  CAPMSlider() = default;
  ~CAPMSlider() override;

  // The parent becomes the linked window; the track image is the piece of
  // `trackSource` at the rectangle; the thumb images are kept (borrowed) for thumbs.
  bool Create(HWND parent, HBITMAP trackSource, HBITMAP thumbNormal, HBITMAP thumbOver, int left, int top,
              int right, int bottom);
  void SetDefaultStages();
  // One grey per range: N thumbs make N + 1 ranges.
  void SetDefaultColours();
  void SetTickerCapRanges();
  void RemoveTickerCapRanges();
  // The range a click at client x falls in: the number of leading thumbs whose
  // stage is not above the stage at x.
  int RangeAt(int x) const;

  std::vector<COLORREF> m_colours{0};
  std::vector<std::unique_ptr<CPHSlider>> m_thumbs;
  HBITMAP m_thumbNormal = nullptr;  // borrowed from the skin cache
  HBITMAP m_thumbOver = nullptr;
  CBitmap m_trackBitmap;
  RECT m_rect{};
  HWND m_linkedWindow = nullptr;
  int m_alpha = 50;
  int m_noCapRanges = 0;
  int m_minStage = 1, m_maxStage = 32;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void Paint(HDC dc) const;
  // The x in client coordinates where a thumb at `stage` divides two ranges.
  int PositionOf(int stage, int clientWidth) const;
};

class CDMarker : public CWnd, public CGUIItem {
 public:
  CDMarker() = default;
  ~CDMarker() override = default;

  bool Create(const RECT& rect, int id, HWND parent);
  // Both images become the piece of their sources at the rectangle.
  void SetBitmaps(HBITMAP back, HBITMAP mark, int left, int top, int right, int bottom);
  // The value at parent x, within m_min..m_max (m_min for an empty gauge).
  int ValueAt(int parentX) const;

  int m_id = -1;
  CBitmap m_bmpBack;
  CBitmap m_bmpMark;
  int m_dragging = 0;
  RECT m_rect{};
  POINT m_downPoint{};
  HWND m_parent = nullptr;
  int m_min = 0;
  int m_max = 10;
  int m_value = 0;
  int m_interactive = 1;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void Release(int parentX);
  void Paint(HDC dc) const;

  int m_lastX = 0;  // the pointer's last x during a drag, in the parent's coordinates
};
