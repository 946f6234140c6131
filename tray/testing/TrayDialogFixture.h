// For the tests of the tray's hidden dialog: the dialog against the in-process
// service, with the fakes behind its seams and its own path in the installation
// folder the build stages (OVRIX_SKIN_APP_DIR).
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "gui/base/SkinNameTables.h"
#include "platform/testing/WinePath.h"
#include "tray/TrayDialog.h"
#include "tray/TrayResources.h"
#include "tray/testing/TrayTestSupport.h"

namespace tray::testing {

class TrayDialogTestBase : public InProcessServiceTest {
 protected:
  void SetUp() override {
    InProcessServiceTest::SetUp();
    seams.SetModulePath(DosPath(OVRIX_SKIN_APP_DIR) + L"\\KestraneOvrixTray.exe");
  }
  void TearDown() override {
    dialog.reset();
    BuildNameTables(NameTableSet::Configurator);
  }
  // Creates the dialog as the program's start does, and lets it connect.
  void Start() {
    dialog = std::make_unique<CPellinSysTrayDlg>();
    dialog->m_bAutoDelete = false;
    ASSERT_TRUE(dialog->Create(IDD_TRAY_DIALOG));
    PumpPending();
  }

  SeamsScope seams;
  std::unique_ptr<CPellinSysTrayDlg> dialog;
};

}  // namespace tray::testing
