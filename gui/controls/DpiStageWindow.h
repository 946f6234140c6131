// A clickable pane showing one sensitivity stage of a pointing device: a heading
// and one value box, or an X and a Y box, drawn from skin images, with a selected
// look. A click selects the stage and tells the parent which stage it is.
#pragma once
#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "gui/base/GUIItem.h"
#include "gui/controls/ControlHelpers.h"
#include "platform/Controls.h"
#include "platform/Gdi.h"

// One picture area of the skin: a name, the images it names and its rectangle.
struct DpiPictureArea {
  std::wstring name;
  HBITMAP image = nullptr;  // borrowed from the skin cache
  HBITMAP mask = nullptr;
  RECT rect{};
};
// One text area of the skin: a name, a language key or plain text, a rectangle.
struct DpiTextArea {
  std::wstring name;
  std::wstring text;
  RECT rect{};
};

class CDPIStageWindow : public CStatic, public CGUIItem {
 public:
  explicit CDPIStageWindow(int stageIndex);
  ~CDPIStageWindow() override = default;

  // Creates the pane (a static that takes clicks) and fills its blocks and labels
  // from the skin's areas.
  bool Create(HWND parent, const std::vector<DpiPictureArea>& pictures, const std::vector<DpiTextArea>& texts,
              const RECT& rect, UINT id);
  void SetHeading(const std::wstring& text);
  void SetTooltipText(const std::wstring& text);
  BOOL PreTranslateMessage(MSG* msg) override;

  struct Block {
    CBitmap bitmap;
    CBitmap second;
    RECT rect{};
  };
  struct Label {
    std::wstring text;
    RECT rect{};
  };
  // 0 the pane (normal and selected faces), 1 the single box, 2 and 3 the X and Y boxes.
  std::array<Block, 4> m_blocks;
  std::wstring m_heading;
  Label m_headingArea, m_xLabel, m_yLabel, m_dpiLabel, m_dpiXLabel, m_dpiYLabel;
  std::wstring m_valueText = L"0", m_valueXText = L"0", m_valueYText = L"0";
  BYTE m_enabled = 1;
  BYTE m_selected = 0;
  BYTE m_visible = 0;  // nothing is painted while 0
  HWND m_previousFocus = nullptr;
  HFONT m_font = nullptr;  // borrowed from the skin's font item
  COLORREF m_textColour = 0;
  UINT m_drawTextFormat = DT_SINGLELINE | DT_VCENTER;
  BYTE m_caseMode = 0;
  int m_stageIndex = 0;
  int m_value = 0, m_valueX = 0, m_valueY = 0;
  BYTE m_xyMode = 0;
  gui::WholeWindowTip m_toolTip;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void Paint(HDC dc);
};
