// The configurator's main window: the skinned panel built from "MainPage.xml".
#pragma once
#include "gui/panels/GUIPanel.h"

class CMorvelAppDlg : public CGUIPanel {
 public:
  CMorvelAppDlg();

  BOOL OnInitDialog() override;
  void BindItems() override {}
};
