// The profiles page of the main window: the profile list and its options menu,
// the page's buttons, and the profile drop-down of the main page.
#include <windows.h>

#include <string>

#include "configurator/ElementIds.h"
#include "configurator/MainWindow.h"
#include "gui/Messages.h"

namespace ids = configurator::ids;

void CMorvelAppDlg::FillProfileList() {}
void CMorvelAppDlg::CreateProfile() {}
void CMorvelAppDlg::RenameProfile() {}
void CMorvelAppDlg::RenameProfileInPlace(int, const std::wstring&) {}
void CMorvelAppDlg::CopyProfile(IKeyboardProfile*) {}
void CMorvelAppDlg::DeleteProfile() {}
void CMorvelAppDlg::ExportProfile() {}
void CMorvelAppDlg::ImportProfile() {}
void CMorvelAppDlg::RestoreActiveProfile() {}
void CMorvelAppDlg::RestoreProfile(IKeyboardProfile*) {}
void CMorvelAppDlg::OnProfileListCheck(int, int, int) {}
void CMorvelAppDlg::AssignProfileApplication(int, const std::wstring&) {}
LRESULT CMorvelAppDlg::OnProfileListMessage(UINT, WPARAM, LPARAM) { return 0; }
