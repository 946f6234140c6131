#include "platform/Dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/testing/GuiTestHost.h"

namespace {

using platform::testing::GuiTestHost;

constexpr UINT kPopupTemplate = 129;  // holds an edit control, id 1000
constexpr int kEditId = 1000;
constexpr UINT kStep = WM_APP + 1;

// A dialog whose behaviour each test supplies.
class ScriptedDialog : public CDialog {
 public:
  using CDialog::CDialog;
  std::function<void(ScriptedDialog&)> onInit;
  std::function<void(ScriptedDialog&)> onStep;
  std::vector<UINT> preTranslated;  // messages aimed at the edit that PreTranslateMessage saw
  std::vector<UINT> seen;
  bool ownerEnabledDuringLoop = true;

  BOOL OnInitDialog() override {
    seen.push_back(WM_INITDIALOG);
    if (onInit) onInit(*this);
    return TRUE;
  }
  BOOL PreTranslateMessage(MSG* msg) override {
    if (msg->hwnd == GetDlgItem(kEditId)) preTranslated.push_back(msg->message);
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_F5) {
      EndDialog(-1);
      return TRUE;
    }
    return CDialog::PreTranslateMessage(msg);
  }

 protected:
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
    if (msg == WM_NCCREATE || msg == WM_CREATE) seen.push_back(msg);
    if (msg == kStep) {
      if (onStep) onStep(*this);
      result = 0;
      return true;
    }
    return CDialog::OnMessage(msg, wp, lp, result);
  }
};

TEST(Dialog, ModalDialogFromTemplateIsBoundBeforeCreationAndEndsWithItsResult) {
  GuiTestHost host;
  for (INT_PTR wanted : {INT_PTR{-1}, INT_PTR{0}, INT_PTR{IDOK}, INT_PTR{12345}}) {
    ScriptedDialog dlg(kPopupTemplate, &host);
    bool ownerDisabled = false;
    dlg.onInit = [](ScriptedDialog& d) { d.PostMessage(kStep); };
    dlg.onStep = [&](ScriptedDialog& d) {
      ownerDisabled = !host.IsWindowEnabled();
      d.EndDialog(wanted);
    };
    EXPECT_EQ(dlg.DoModal(), wanted);
    EXPECT_EQ(dlg.seen, (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_INITDIALOG}));
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(host.IsWindowEnabled());
    EXPECT_EQ(dlg.m_hWnd, nullptr);
  }
}

TEST(Dialog, EndDialogDuringInitDialogNeverEntersTheLoop) {
  GuiTestHost host;
  ScriptedDialog dlg(kPopupTemplate, &host);
  dlg.onInit = [](ScriptedDialog& d) { d.EndDialog(-1); };
  EXPECT_EQ(dlg.DoModal(), -1);
  EXPECT_TRUE(host.IsWindowEnabled());
}

TEST(Dialog, MissingTemplateFails) {
  ScriptedDialog dlg(4242);
  EXPECT_EQ(dlg.DoModal(), -1);
  EXPECT_FALSE(dlg.Create(4242));
}

TEST(Dialog, NestedLoopsEachSeePostedKeysInPreTranslateMessage) {
  GuiTestHost host;
  ScriptedDialog outer(kPopupTemplate, &host);
  INT_PTR innerResult = 0;
  std::vector<UINT> innerSaw;
  bool outerDisabledDuringInner = false;
  outer.onInit = [](ScriptedDialog& d) { d.PostMessage(kStep); };
  outer.onStep = [&](ScriptedDialog& o) {
    ScriptedDialog inner(kPopupTemplate, &o);
    inner.onInit = [](ScriptedDialog& d) {
      // Posted, not sent: a sent key would skip the loop and PreTranslateMessage.
      ::PostMessageW(d.GetDlgItem(kEditId), WM_KEYDOWN, 'A', 0);
      ::PostMessageW(d.GetDlgItem(kEditId), WM_KEYDOWN, VK_F5, 0);
    };
    inner.onStep = [&](ScriptedDialog&) {};
    innerResult = inner.DoModal();
    innerSaw = inner.preTranslated;
    outerDisabledDuringInner = true;  // reached only after the inner loop ended
    // The outer loop goes on: a key posted to the outer edit ends it in turn.
    ::PostMessageW(o.GetDlgItem(kEditId), WM_KEYDOWN, VK_F5, 0);
  };
  EXPECT_EQ(outer.DoModal(), -1);
  EXPECT_EQ(innerResult, -1);
  EXPECT_EQ(innerSaw, (std::vector<UINT>{WM_KEYDOWN, WM_KEYDOWN}));
  EXPECT_TRUE(outerDisabledDuringInner);
  EXPECT_EQ(outer.preTranslated, std::vector<UINT>{WM_KEYDOWN});
  EXPECT_TRUE(host.IsWindowEnabled());
}

TEST(Dialog, EnterAndEscapeReachOnOkAndOnCancel) {
  struct Dlg : ScriptedDialog {
    using ScriptedDialog::ScriptedDialog;
    int ok = 0, cancel = 0;
    void OnOK() override {
      ++ok;
      CDialog::OnOK();
    }
    void OnCancel() override {
      ++cancel;
      CDialog::OnCancel();
    }
  };
  GuiTestHost host;
  for (WPARAM key : {WPARAM{VK_RETURN}, WPARAM{VK_ESCAPE}}) {
    Dlg dlg(kPopupTemplate, &host);
    dlg.onInit = [key](ScriptedDialog& d) {
      ::SetFocus(d.GetDlgItem(kEditId));
      ::PostMessageW(d.GetDlgItem(kEditId), WM_KEYDOWN, key, 0);
    };
    const INT_PTR r = dlg.DoModal();
    EXPECT_EQ(r, key == VK_RETURN ? IDOK : IDCANCEL);
    EXPECT_EQ(dlg.ok + dlg.cancel, 1);
  }
}

TEST(Dialog, QuitEndsNestedLoopsAndStaysQueued) {
  GuiTestHost host;
  ScriptedDialog dlg(kPopupTemplate, &host);
  dlg.onInit = [](ScriptedDialog&) { ::PostQuitMessage(3); };
  EXPECT_EQ(dlg.DoModal(), -1);
  MSG msg;
  ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 3u);
}

TEST(Dialog, ModelessDialogAndApplicationLoop) {
  struct App : CWinApp {
    ScriptedDialog* dlg = nullptr;
    BOOL InitInstance() override {
      dlg = new ScriptedDialog(102);
      dlg->onInit = [](ScriptedDialog& d) { d.PostMessage(kStep); };
      dlg->onStep = [](ScriptedDialog& d) { d.DestroyWindow(); };
      if (!dlg->Create(102)) return FALSE;
      m_pMainWnd = dlg;
      return TRUE;
    }
    int ExitInstance() override {
      delete dlg;
      return 9;
    }
  } app;
  ASSERT_EQ(platform::CurrentApp(), &app);
  // Destroying the main window ends the loop and clears the pointer.
  EXPECT_EQ(app.Run(), 9);
  EXPECT_EQ(app.m_pMainWnd, nullptr);
}

}  // namespace
