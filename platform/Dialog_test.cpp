#include "platform/Dialog.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/WinApp.h"
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

TEST(Dialog, OuterEndDialogDuringAnInnerLoopEndsTheOuterLoopOnceTheInnerReturns) {
  GuiTestHost host;
  const size_t before = platform::BoundWindowCount();
  std::vector<std::string> events;
  ScriptedDialog outer(kPopupTemplate, &host);
  outer.onInit = [](ScriptedDialog& d) { d.PostMessage(kStep); };
  outer.onStep = [&](ScriptedDialog& o) {
    ScriptedDialog inner(kPopupTemplate, &o);
    inner.onInit = [&](ScriptedDialog& i) {
      // Both run inside the inner loop, one turn apart: the outer request must
      // not end the inner loop, which goes on until its own EndDialog.
      host.RunInNextLoop([&] {
        events.push_back("outer ends");
        o.EndDialog(7);
      });
      host.RunInNextLoop([&] {
        events.push_back(i.IsModal() && i.m_hWnd ? "inner still runs" : "inner gone");
        i.EndDialog(5);
      });
    };
    events.push_back("inner returned " + std::to_string(inner.DoModal()));
    events.push_back(o.m_hWnd ? "outer window kept" : "outer window gone");
  };
  events.push_back("outer returned " + std::to_string(outer.DoModal()));
  EXPECT_EQ(events, (std::vector<std::string>{"outer ends", "inner still runs", "inner returned 5",
                                              "outer window kept", "outer returned 7"}));
  EXPECT_EQ(outer.m_hWnd, nullptr);
  EXPECT_TRUE(host.IsWindowEnabled());
  EXPECT_EQ(platform::BoundWindowCount(), before);
}

// A dialog that lives in a buffer of its own and deletes itself with its window,
// as modeless dialogs of the programs do. Its memory stays readable after the
// deletion, filled with a pattern, so that a loop that went on reading it would
// return the pattern instead of its result.
class SelfDeletingDialog : public ScriptedDialog {
 public:
  using ScriptedDialog::ScriptedDialog;
  static void* operator new(size_t size) {
    EXPECT_LE(size, sizeof(s_storage));
    return s_storage;
  }
  static void operator delete(void* p) { std::memset(p, 0xCD, sizeof(s_storage)); }
  static inline int s_deleted = 0;

 protected:
  void PostNcDestroy() override {
    ++s_deleted;
    delete this;
  }

 private:
  alignas(std::max_align_t) static inline unsigned char s_storage[1024];
};

TEST(Dialog, AnOwnerDestroyedDuringANestedLoopEndsTheLoopsItOwns) {
  struct Case {
    const char* what;
    bool destroyHost;    // else the outer dialog, the inner one's owner
    bool innerDeletes;   // the inner dialog deletes itself with its window
  } cases[] = {
      {"outer dialog destroyed", false, false},
      {"outer dialog destroyed, inner deletes itself", false, true},
      {"host destroyed", true, false},
      {"host destroyed, inner deletes itself", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const size_t before = platform::BoundWindowCount();
    SelfDeletingDialog::s_deleted = 0;
    auto host = std::make_unique<GuiTestHost>();
    HWND hostHwnd = host->m_hWnd;
    INT_PTR innerResult = 0;
    bool outerStepReturned = false;
    ScriptedDialog outer(kPopupTemplate, host.get());
    outer.onInit = [](ScriptedDialog& d) { d.PostMessage(kStep); };
    outer.onStep = [&](ScriptedDialog& o) {
      std::unique_ptr<ScriptedDialog> onStack;
      ScriptedDialog* inner = c.innerDeletes ? new SelfDeletingDialog(kPopupTemplate, &o)
                                             : (onStack = std::make_unique<ScriptedDialog>(kPopupTemplate, &o)).get();
      inner->onInit = [&](ScriptedDialog& i) {
        HWND innerHwnd = i.m_hWnd;
        host->RunInNextLoop([&, innerHwnd] {
          ::DestroyWindow(c.destroyHost ? hostHwnd : o.m_hWnd);
          EXPECT_FALSE(::IsWindow(innerHwnd));  // owned windows go with their owner
        });
      };
      innerResult = inner->DoModal();
      if (onStack) {
        EXPECT_EQ(onStack->m_hWnd, nullptr);
      }
      outerStepReturned = true;
    };
    EXPECT_EQ(outer.DoModal(), -1);
    EXPECT_EQ(innerResult, -1);
    EXPECT_TRUE(outerStepReturned);
    EXPECT_EQ(SelfDeletingDialog::s_deleted, c.innerDeletes ? 1 : 0);
    EXPECT_EQ(outer.m_hWnd, nullptr);
    if (!c.destroyHost) {
      EXPECT_TRUE(host->IsWindowEnabled());
    }
    host.reset();
    EXPECT_EQ(platform::BoundWindowCount(), before);
  }
}

TEST(Dialog, TheMainWindowDestroyedDuringAModalLoopEndsTheLoopAndThenTheProgram) {
  // A main window that opens a modal dialog when told to.
  struct MainWindow : CWnd {
    std::function<void()> onStep;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
      if (msg == kStep) {
        onStep();
        result = 0;
        return true;
      }
      return CWnd::OnMessage(msg, wp, lp, result);
    }
  };
  struct App : CWinApp {
    MainWindow main;
    INT_PTR dialogResult = 0;
    bool dialogReturned = false;
    BOOL InitInstance() override {
      if (!main.CreateEx(0, CWnd::DefaultClassName(), L"main", WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 200},
                         static_cast<HWND>(nullptr), 0))
        return FALSE;
      m_pMainWnd = &main;
      main.onStep = [this] {
        ScriptedDialog dlg(kPopupTemplate, &main);
        dlg.onInit = [](ScriptedDialog& d) { d.PostMessage(kStep); };
        dlg.onStep = [this](ScriptedDialog&) { main.DestroyWindow(); };
        dialogResult = dlg.DoModal();
        dialogReturned = true;
      };
      main.PostMessage(kStep);
      return TRUE;
    }
  };
  const size_t before = platform::BoundWindowCount();
  App app;
  // The quit posted for the main window's end passes the dialog's loop and ends the program's.
  EXPECT_EQ(app.Run(), 0);
  EXPECT_TRUE(app.dialogReturned);
  EXPECT_EQ(app.dialogResult, -1);
  EXPECT_EQ(app.m_pMainWnd, nullptr);
  EXPECT_EQ(platform::BoundWindowCount(), before);
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
