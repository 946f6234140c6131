// The list of a macro's events (MACRODISPLAY): key and mouse button presses
// and releases and the delays between them. It records events from raw input
// (CMacroRecorder), shows and edits a macro's events through a right-click menu,
// and plays a macro back as a timed preview on the screen (CMacroPlayer; nothing
// is sent to the system).
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "device/KeyEvent.h"
#include "device/Macro.h"
#include "gui/base/GUIItem.h"
#include "gui/controls/ContextMenu.h"
#include "gui/controls/MacroPlayer.h"
#include "gui/controls/MacroRecorder.h"
#include "gui/controls/SkinnedListView.h"
#include "gui/controls/VScrollBar.h"
#include "platform/Controls.h"
#include "platform/Gdi.h"

class CFontItem;

// The language keys of the mouse buttons, by button code.
extern const std::array<const wchar_t*, 27> MouseButtonNameTable;

class CMacroDisplayItem : public CSkinnedListView, public CGUIItem {
 public:
  enum Icon { kIconKeyDown = 0, kIconKeyUp = 1, kIconDelay = 2, kIconDelaySelected = 3, kIconMouse = 4,
              kIconMouseSelected = 5, kIconCount = 6 };
  static constexpr int kColumnIcon = 5;         // LCITEM_MCREVENT_ICON
  static constexpr int kColumnDescription = 6;  // LCITEM_MCREVENT_DESCRIP
  static constexpr UINT_PTR kPlaybackTimer = 32;
  static constexpr int kMaxDelayMs = 0xFFFFFF;

  CMacroDisplayItem(int maximum, bool readOnly);
  ~CMacroDisplayItem() override;

  // Creates the list in `rect` less the scroll bar's width at the right, and
  // the scroll bar (owned; null for none) at the right edge.
  bool CreateList(CVScrollBar* scrollBar, int scrollBarWidth, const RECT& rect, HWND parent, UINT id);
  // The six event icons (skin images, copied).
  void SetIcons(HBITMAP keyDown, HBITMAP keyUp, HBITMAP mouse, HBITMAP mouseSelected, HBITMAP delay,
                HBITMAP delaySelected);
  // At most two columns (icon, description); false for id -1 or a third.
  bool InsertColumn(int columnId, int alignment, int width);

  bool ToggleRecording();
  void ClearEvents();
  bool LoadEvents(const MacroEventList* events);
  // Read-only lists only: shows a copy of the events one after another, each
  // delay waited on timer 32; ends with MacroPlaybackDoneMessage.
  void PlayEvents(const MacroEventList& events);
  // Ends a preview at once, without MacroPlaybackDoneMessage.
  void StopPlayback();
  bool IsPlaying() const { return m_player.IsPlaying(); }
  bool ReplaceEvent(int index, const MacroEvent& event);
  void ClearSelection();
  bool AddKeyEvent();
  bool AddMouseEvent();
  bool AddRow(const MacroEvent& event, bool repaint, int index);
  const MacroEventList& Events() const { return m_events; }
  bool IsRecording() const { return m_recorder.IsRecording(); }
  bool IsLabelEditOpen() const { return m_labelEdit != 0; }

  void ShowWithScrollBar(int show);
  void ShowItemParts(int showCommand) override;

  // The clock of the delays (GetTickCount unless a test sets its own).
  void SetTickSource(std::function<DWORD()> ticks) { m_recorder.SetTickSource(std::move(ticks)); }

  BOOL PreTranslateMessage(MSG* msg) override;

  // The text a row shows for an event.
  static std::wstring DelayText(int milliseconds);
  static std::wstring MouseText(int button, int state);

  struct ColumnInfo {
    int index;
    int alignment;  // 0 left, 1 right, 2 centre
  };
  std::map<int, ColumnInfo> m_columns;
  std::array<CBitmap, kIconCount> m_icons;
  CFontItem* m_font = nullptr;
  COLORREF m_textColour = 0xFFFFFF;
  COLORREF m_selectedTextColour = 0;
  COLORREF m_backColour = 0;
  COLORREF m_selectedBackColour = 0xFFFFFF;
  COLORREF m_borderColour = 0xFFFFFF;
  int m_borderWidth = 1;
  gui::IContextMenu* m_keyMenu = nullptr;    // key and delay rows
  gui::IContextMenu* m_mouseMenu = nullptr;  // mouse rows
  uint8_t m_ignoreDelays = 0;
  uint8_t m_fixedDelay = 0;
  int m_defaultDelay = 50;
  HWND m_excludedWindow = nullptr;

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void SyncScrollBar() override;
  std::optional<COLORREF> EraseColour() const override { return m_backColour; }

 private:
  int DescriptionColumn() const;
  int IconOfRow(int row) const;
  // The description a row shows (its event's), empty while its delay is edited.
  std::wstring RowText(int row) const;
  void OnGetDispInfo(NMLVDISPINFOW* info);
  // Tells the list view the number of events.
  void SetRowCount(bool rowsMoved);
  void SelectRow(int row);
  void Notify(UINT msg);
  void OnRButtonDown(POINT pt);
  void OnCommand(const std::wstring& command);
  bool OnBeginLabelEdit(NMLVDISPINFOW* info);
  void OnEndLabelEdit(NMLVDISPINFOW* info);
  LRESULT OnCustomDraw(NMLVCUSTOMDRAW* draw);
  void DrawCell(HDC dc, int row, int column);
  void OnMouseMove();

  int m_scrollBarWidth = 0;
  MacroEventList m_events;
  int m_maximum;
  uint8_t m_captured = 0;
  uint8_t m_readOnly;
  uint8_t m_labelEdit = 0;
  bool m_loading = false;
  int m_editRow = -1;
  CMacroRecorder m_recorder;
  CMacroPlayer m_player;
};
