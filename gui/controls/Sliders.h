// Skinned sliders that report their value to their parent with SliderChangedMessage
// (wParam the value or stage, lParam the control's id): a vertical thumb giving a
// percentage, one thumb of a stepped horizontal slider with a cap range, and the
// horizontal track that carries several such thumbs.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "gui/base/GUIItem.h"
#include "gui/controls/ControlHelpers.h"
#include "platform/Controls.h"
#include "platform/Gdi.h"
#include "platform/Window.h"

// A vertical thumb moving on a track; the top of the track is 100, the bottom 0.
class CVertSlider : public CWnd, public CGUIItem {
 public:
  CVertSlider() = default;
  ~CVertSlider() override = default;

  // The thumb's size comes from `thumb`. The window is the thumb itself, placed at
  // the track's top: a window over the whole track would sit above the track it
  // moves on and take its clicks.
  bool Create(int id, HWND parent, HBITMAP thumb, int left, int top, int right, int bottom);
  // The thumb image becomes the (0, 0) piece of `source` of the thumb's size (the
  // rectangle names where the slider lies, which is outside a thumb image).
  void SetThumbBitmap(HBITMAP source, int left, int top, int right, int bottom);

  int m_id = -1;
  int m_value = 0;
  int m_dragging = 0;
  CBitmap m_thumb;
  int m_thumbWidth = 0;
  int m_thumbHeight = 0;
  RECT m_track{};  // in the parent's client coordinates
  POINT m_downPoint{};
  HWND m_parent = nullptr;
  int m_maxValue = 0;  // with m_minValue a clamp range, used only when their sum is not 0
  int m_minValue = 0;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  // The value of the thumb where it is now, posted to the parent.
  void Release();
  void Paint(HDC dc) const;
};

// One thumb of a stepped horizontal slider: stages m_minStage..m_maxStage spread
// over the track between the offsets, the thumb held within its cap range.
class CPHSlider : public CWnd, public CGUIItem {
 public:
  CPHSlider() = default;
  ~CPHSlider() override;

  // The thumb takes ownership of both bitmaps (copies made for it). Its window is
  // the thumb's size at (0, 0); a region is cut from the normal image when
  // makeRegion is not 0.
  bool Create(HBITMAP normal, HWND parent, HBITMAP over, int makeRegion, int trackLeft, int trackTop,
              int trackRight, int trackBottom);
  // Places the thumb at the requested stage (limited to the stage range); its stage
  // is the request held within the cap range.
  void SetStage(int stage);
  // The cap range, each end held within the stage range; an inverted pair is ordered.
  void SetCapRange(int max, int min);
  void SetTooltipText(const std::wstring& text);
  // The stage a thumb centred at x (the parent's coordinates) stands for: the nearest
  // stage on the scale, within the stage range.
  int StageFromCentre(int x) const;
  // Recomputes the positions and limits from the track, the offsets and the stage range.
  void ComputeGeometry();

  BOOL PreTranslateMessage(MSG* msg) override;

  int m_stageCount = 0;
  int m_trackStart = 0;
  float m_pixelsPerStage = 0;
  int m_minThumbX = 0, m_maxThumbX = 0;
  int m_minCentre = 0, m_maxCentre = 0;
  gui::WholeWindowTip m_toolTip;
  int m_stage = 1;
  int m_leftOffset = 0, m_rightOffset = 0;
  int m_minStage = 1, m_maxStage = 32;
  int m_capMin = 1, m_capMax = 32;
  CBitmap m_bmpNormal, m_bmpOver;
  int m_thumbWidth = 0, m_thumbHeight = 0;
  HRGN m_region = nullptr;  // belongs to the window once it accepted it
  int m_dragging = 0;
  int m_hover = 0;
  RECT m_trackRect{};
  POINT m_downPoint{};
  HWND m_parent = nullptr;
  int m_interactive = 0;

  // Whether some thumb of the program has asked for the mouse's leave; one flag
  // for all thumbs.
  static bool LeaveTrackingRequested();

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  // The drag's end at parent x: the thumb settles on its stage, which is posted.
  void Release(int parentX);
  int ParentX(LPARAM clientPoint) const;
  void Paint(HDC dc) const;

  int m_lastX = 0;  // the pointer's last x during a drag, in the parent's coordinates
};

// A horizontal track with up to five stepped thumbs. The thumbs' notifications
// are passed on to the track's owner (its owner, else its parent) and to the
// linked window.
class CSliderHMulti : public CWnd, public CGUIItem {
 public:
  // Takes ownership of the thumbs: each gets the stage range 1..32, its geometry
  // and the cap range 1..32.
  explicit CSliderHMulti(std::vector<std::unique_ptr<CPHSlider>> thumbs);
  ~CSliderHMulti() override;

  // The track's size is measured from `measured`, which the call deletes.
  bool Create(HWND parent, HBITMAP measured, int left, int top, int right, int bottom);
  void SetTrackBitmap(HBITMAP source, int left, int top, int right, int bottom);
  // The offsets reach the thumbs' geometry: each thumb is put back at its stage.
  void SetLeftOffset(int value);
  void SetOffsets(int left, int right);

  int m_interactive = 1;
  CBitmap m_trackBitmap;
  int m_trackWidth = 0, m_trackHeight = 0;
  int m_leftOffset = 0, m_rightOffset = 0;
  RECT m_rect{};
  HWND m_linkedWindow = nullptr;
  std::vector<std::unique_ptr<CPHSlider>> m_thumbs;
  int m_thumbCount = 0;
  int m_minStage = 1, m_maxStage = 32;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void ApplyOffsets();
};

namespace gui {

// Posts the message to the owner window and to the linked window: never to a null
// window, and once when they are one window.
void PostToOwnerAndLinked(const CWnd& control, HWND linked, UINT msg, WPARAM wParam, LPARAM lParam);
// A region of the bitmap's size covering every pixel whose colour differs from
// the pixel at (0, 0); null without a bitmap or on failure. The caller owns it.
HRGN RegionWithoutCornerColour(HBITMAP bitmap);
// A copy of the bitmap as a DIB section of the same size; null for a null bitmap.
HBITMAP CopyAsDib(HBITMAP bitmap);
// Copies the bitmap to the DC at (x, y), w by h (nothing without a bitmap).
void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y, int w, int h);

}  // namespace gui
