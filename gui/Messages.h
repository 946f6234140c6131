// The private messages with which skinned controls report to their owner window,
// and the registered messages of the combo list.
#pragma once
#include <windows.h>

constexpr UINT SliderChangedMessage = 0x446;         // posted; value or stage; control id
constexpr UINT MarkerMovedMessage = 0x450;           // posted; value; control id
constexpr UINT ListAssignApplicationMessage = 0x52D;  // list window; record
constexpr UINT ListCheckToggledMessage = 0x52E;      // list window; record
constexpr UINT ListPanelItemChosenMessage = 0x530;   // posted; sub-entry index or -1; row item id
constexpr UINT DpiStageClickedMessage = 0x5F4;       // stage index; element id
constexpr UINT ApmRangeReachedMessage = 0x5F6;       // posted; range index; element id
constexpr UINT ListClickDoneMessage = 0x5FC;         // row id or -1; list window
constexpr UINT ListDoubleClickMessage = 0x604;       // list window; record
constexpr UINT ListActionMessage = 0x608;            // list window; record
constexpr UINT ListRenameDoneMessage = 0x609;        // list window; record
constexpr UINT ListMenuOpeningMessage = 0x610;       // list window; record
constexpr UINT DropdownSelChangedMessage = 0x614;    // entry index; drop-down window
constexpr UINT DropdownClickedMessage = 0x634;       // 0; drop-down window
constexpr UINT ScrollRowsMessage = 0x658;            // rows to scroll; unused
constexpr UINT MacroEventsChangedMessage = 0x6BC;    // 0; element id
constexpr UINT MacroEditKeyMessage = 0x6BD;          // 0; element id
constexpr UINT MacroPlaybackDoneMessage = 0x6BE;     // 0; element id
constexpr UINT KeyHoverMessage = 0x720;              // 0; element id
constexpr UINT KeyClickMessage = 0x721;              // 0; element id
constexpr UINT EditChangedMessage = 0x784;           // 0; edit window
constexpr UINT KeyCapturedMessage = 0x785;           // 0; edit window

namespace gui {

// Registered once per process (the numbers differ from run to run; never hard-code them).
UINT ComboListVkReturnMessage();   // "WM_XCOMBOLIST_VK_RETURN"
UINT ComboListVkEscapeMessage();   // "WM_XCOMBOLIST_VK_ESCAPE"
UINT ComboListKeyDownMessage();    // "WM_XCOMBOLIST_KEYDOWN"
UINT ComboListLButtonUpMessage();  // "WM_XCOMBOLIST_LBUTTONUP"

}  // namespace gui
