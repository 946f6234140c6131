// The macros page of the main window: the macro drop-down and the event lists,
// recording and playing macros, delays and predefined commands.
#include <windows.h>

#include <string>

#include "configurator/ElementIds.h"
#include "configurator/MainWindow.h"
#include "gui/Messages.h"

namespace ids = configurator::ids;

void CMorvelAppDlg::SetMacroPageState(int state) { m_macroState = state; }
CMacro* CMorvelAppDlg::ChosenMacro() const { return nullptr; }
std::wstring CMorvelAppDlg::ChosenCommandName(int32_t) const { return {}; }
void CMorvelAppDlg::CreateMacro() {}
void CMorvelAppDlg::RenameMacro() {}
void CMorvelAppDlg::DeleteMacro() {}
void CMorvelAppDlg::ExportMacro() {}
void CMorvelAppDlg::ImportMacro() {}
void CMorvelAppDlg::StartMacroRecording() {}
void CMorvelAppDlg::StopMacroRecording() {}
void CMorvelAppDlg::PlayMacro() {}
void CMorvelAppDlg::StopPlayback() {}
void CMorvelAppDlg::SelectFirstEvent() {}
void CMorvelAppDlg::SelectLastEvent() {}
void CMorvelAppDlg::OnIgnoreDelayClicked() {}
void CMorvelAppDlg::OnInsertDefaultDelayClicked() {}
void CMorvelAppDlg::CheckDefaultDelay() {}
void CMorvelAppDlg::InsertDelay() {}
void CMorvelAppDlg::InsertPredefinedCommands(const std::wstring&) {}
void CMorvelAppDlg::EditEventKey() {}
void CMorvelAppDlg::OnDelayEditKillFocus() {}
LRESULT CMorvelAppDlg::OnMacroMessage(UINT, WPARAM, LPARAM) { return 0; }
