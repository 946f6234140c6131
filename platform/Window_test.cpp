#include "platform/Window.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/Gdi.h"
#include "platform/testing/GuiTestHost.h"
#include "platform/testing/MessageSequence.h"

namespace {

using platform::testing::ExpectedSequence;
using platform::testing::GuiTestHost;
using platform::testing::MessageSet;
using platform::testing::SentMessage;
using platform::testing::SequenceMatches;

// The messages of a window's creation and destruction that every class gets
// exactly once; the rest (sizes, frame changes, class-specific set-up) differ
// between classes and between Wine and Windows.
const MessageSet kLifeMessages{WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY};

// Records every message it is handed, and the reflected ones apart.
class RecordingWnd : public CWnd {
 public:
  std::vector<UINT> seen;
  std::vector<UINT> reflected;
  bool takeReflected = false;
  int preSubclassCalls = 0;
  bool* ncDestroyed = nullptr;
  bool deleteSelf = false;

 protected:
  void PreSubclassWindow() override {
    ++preSubclassCalls;
    EXPECT_NE(m_hWnd, nullptr);
  }
  void PostNcDestroy() override {
    if (ncDestroyed) *ncDestroyed = true;
    if (deleteSelf) delete this;
  }
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
    if (msg >= platform::kReflectBase && msg < platform::kReflectBase + 0x200) {
      reflected.push_back(msg - platform::kReflectBase);
      if (takeReflected) {
        result = 0x55;
        return true;
      }
      return false;
    }
    seen.push_back(msg);
    return CWnd::OnMessage(msg, wp, lp, result);
  }
};

size_t IndexOf(const std::vector<UINT>& v, UINT msg) {
  return static_cast<size_t>(std::find(v.begin(), v.end(), msg) - v.begin());
}

TEST(Window, BoundBeforeTheFirstMessageForEveryClassKind) {
  GuiTestHost host;
  const wchar_t* classes[] = {CWnd::DefaultClassName(), L"BUTTON", L"STATIC", L"EDIT", WC_LISTVIEWW,
                              L"LISTBOX", L"SCROLLBAR", ANIMATE_CLASSW};
  for (const wchar_t* cls : classes) {
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, cls, L"x", WS_CHILD | WS_VISIBLE, RECT{0, 0, 50, 20}, &host, 1)) << cls;
    EXPECT_EQ(CWnd::FromHandlePermanent(wnd.m_hWnd), &wnd);
    ASSERT_FALSE(wnd.seen.empty());
    // A child window's life starts with WM_NCCREATE; nothing came before it.
    EXPECT_EQ(wnd.seen.front(), static_cast<UINT>(WM_NCCREATE)) << cls;
    EXPECT_EQ(wnd.preSubclassCalls, 1) << cls;
    // The object sees the whole life, each step once and in order, the last
    // message included.
    ASSERT_TRUE(wnd.DestroyWindow()) << cls;
    EXPECT_TRUE(SequenceMatches(wnd.seen, {WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY},
                                kLifeMessages))
        << cls;
    EXPECT_EQ(wnd.seen.back(), static_cast<UINT>(WM_NCDESTROY)) << cls;
  }
}

// After the first window of a class, the class's own procedure binds the
// windows made through objects; windows made without one keep their class's
// behaviour and stay unbound.
TEST(Window, LaterWindowsOfAClassAreBoundAsTheFirstAndOthersAreLeftAlone) {
  GuiTestHost host;
  for (const wchar_t* cls : {L"BUTTON", L"EDIT", WC_LISTVIEWW, CWnd::DefaultClassName()}) {
    RecordingWnd first, second;
    ASSERT_TRUE(first.CreateEx(0, cls, L"a", WS_CHILD, RECT{0, 0, 50, 20}, &host, 1)) << cls;
    HWND plain = ::CreateWindowExW(0, cls, L"b", WS_CHILD, 0, 0, 50, 20, host.m_hWnd, nullptr, nullptr, nullptr);
    ASSERT_TRUE(second.CreateEx(0, cls, L"c", WS_CHILD, RECT{0, 0, 50, 20}, &host, 2)) << cls;
    EXPECT_EQ(CWnd::FromHandlePermanent(plain), nullptr) << cls;
    EXPECT_EQ(CWnd::FromHandlePermanent(second.m_hWnd), &second) << cls;
    EXPECT_EQ(second.preSubclassCalls, 1) << cls;
    EXPECT_EQ(second.seen.front(), static_cast<UINT>(WM_NCCREATE)) << cls;
    // Both reach the class's own procedure: it keeps the text it was given.
    wchar_t text[8] = {};
    ::GetWindowTextW(plain, text, 8);
    EXPECT_STREQ(text, L"b") << cls;
    EXPECT_EQ(second.GetWindowText(), L"c") << cls;
    ::DestroyWindow(plain);
    ASSERT_TRUE(second.DestroyWindow()) << cls;
    EXPECT_TRUE(SequenceMatches(second.seen, {WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}, kLifeMessages))
        << cls;
  }
}

std::vector<UINT> g_firstProc, g_secondProc;
LRESULT CALLBACK FirstProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  g_firstProc.push_back(msg);
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}
LRESULT CALLBACK SecondProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  g_secondProc.push_back(msg);
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

// A class registered again under its name has its own procedure, which the
// windows then made reach, and they are bound as the first ones were.
TEST(Window, AClassRegisteredAgainKeepsItsNewProcedure) {
  GuiTestHost host;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"OvrixRegisteredTwice";
  for (WNDPROC proc : {&FirstProc, &SecondProc}) {
    wc.lpfnWndProc = proc;
    ASSERT_NE(::RegisterClassExW(&wc), 0);
    for (int i = 0; i < 2; ++i) {
      g_firstProc.clear();
      g_secondProc.clear();
      RecordingWnd wnd;
      ASSERT_TRUE(wnd.CreateEx(0, wc.lpszClassName, L"", WS_CHILD, RECT{0, 0, 5, 5}, &host, 1));
      EXPECT_EQ(wnd.seen.front(), static_cast<UINT>(WM_NCCREATE));
      EXPECT_EQ(CWnd::FromHandlePermanent(wnd.m_hWnd), &wnd);
      EXPECT_FALSE((proc == &FirstProc ? g_firstProc : g_secondProc).empty());
      EXPECT_TRUE((proc == &FirstProc ? g_secondProc : g_firstProc).empty());
      ASSERT_TRUE(wnd.DestroyWindow());
    }
    ASSERT_TRUE(::UnregisterClassW(wc.lpszClassName, wc.hInstance));
  }
}

TEST(Window, TopLevelWindowOfOurClassSeesItsCreation) {
  RecordingWnd wnd;
  ASSERT_TRUE(wnd.CreateEx(0, CWnd::DefaultClassName(), L"top", WS_OVERLAPPEDWINDOW, RECT{0, 0, 100, 100},
                           static_cast<HWND>(nullptr), 0));
  // Top-level windows may be asked for their size limits before WM_NCCREATE;
  // nothing else comes before it.
  const auto ncCreate = wnd.seen.begin() + static_cast<std::ptrdiff_t>(IndexOf(wnd.seen, WM_NCCREATE));
  EXPECT_TRUE(std::all_of(wnd.seen.begin(), ncCreate, [](UINT m) { return m == WM_GETMINMAXINFO; }));
  EXPECT_TRUE(SequenceMatches(wnd.seen, {WM_NCCREATE, WM_CREATE}, kLifeMessages));
  EXPECT_EQ(::GetClassLongPtrW(wnd.m_hWnd, GCL_STYLE) & CS_DBLCLKS, static_cast<ULONG_PTR>(CS_DBLCLKS));
  EXPECT_EQ(::GetClassLongPtrW(wnd.m_hWnd, GCLP_HBRBACKGROUND), 0u);
}

TEST(Window, SubclassesAnExistingWindowAndDefaultReachesItsProcedure) {
  GuiTestHost host;
  HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 50, 20, host.m_hWnd, nullptr, nullptr, nullptr);
  RecordingWnd wnd;
  ASSERT_TRUE(wnd.SubclassWindow(edit));
  EXPECT_EQ(wnd.preSubclassCalls, 1);
  EXPECT_FALSE(RecordingWnd().SubclassWindow(edit));  // bound once only
  wnd.seen.clear();
  ::SetWindowTextW(edit, L"hello");
  EXPECT_EQ(wnd.GetWindowText(), L"hello");            // the edit's own procedure stored it
  EXPECT_TRUE(SequenceMatches(wnd.seen, {WM_SETTEXT, WM_GETTEXTLENGTH, WM_GETTEXT}));
}

// A parent that records what reached its own handlers.
class ParentWnd : public CWnd {
 public:
  std::vector<UINT> handled;

 protected:
  BOOL OnCommand(WPARAM, LPARAM) override {
    handled.push_back(WM_COMMAND);
    return TRUE;
  }
  BOOL OnNotify(WPARAM, LPARAM, LRESULT* result) override {
    handled.push_back(WM_NOTIFY);
    *result = 7;
    return TRUE;
  }
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
    if (msg == WM_CTLCOLORSTATIC || msg == WM_DRAWITEM || msg == WM_MEASUREITEM) {
      handled.push_back(msg);
      result = 1;
      return true;
    }
    return CWnd::OnMessage(msg, wp, lp, result);
  }
};

TEST(Window, NotificationsReachTheChildObjectFirstFromAnyParent) {
  GuiTestHost host;
  // The parent is a plain child window, as a bitmap item is for keyboard keys.
  ParentWnd parent;
  ASSERT_TRUE(parent.CreateEx(0, CWnd::DefaultClassName(), L"", WS_CHILD | WS_VISIBLE, RECT{0, 0, 300, 200}, &host, 5));
  RecordingWnd child;
  ASSERT_TRUE(child.CreateEx(0, L"BUTTON", L"b", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, RECT{0, 0, 40, 20}, &parent, 42));

  NMHDR nm{child.m_hWnd, 42, NM_CLICK};
  DRAWITEMSTRUCT dis{};
  dis.CtlType = ODT_BUTTON;
  dis.CtlID = 42;
  dis.hwndItem = child.m_hWnd;
  MEASUREITEMSTRUCT mis{};
  mis.CtlType = ODT_LISTBOX;
  mis.CtlID = 42;
  struct Case {
    UINT msg;
    WPARAM wp;
    LPARAM lp;
  } cases[] = {
      {WM_COMMAND, MAKEWPARAM(42, BN_CLICKED), reinterpret_cast<LPARAM>(child.m_hWnd)},
      {WM_NOTIFY, 42, reinterpret_cast<LPARAM>(&nm)},
      {WM_DRAWITEM, 42, reinterpret_cast<LPARAM>(&dis)},
      {WM_MEASUREITEM, 42, reinterpret_cast<LPARAM>(&mis)},
      {WM_CTLCOLORSTATIC, 0, reinterpret_cast<LPARAM>(child.m_hWnd)},
  };
  for (bool childTakes : {true, false}) {
    child.takeReflected = childTakes;
    for (const auto& c : cases) {
      child.reflected.clear();
      parent.handled.clear();
      const LRESULT r = ::SendMessageW(parent.m_hWnd, c.msg, c.wp, c.lp);
      ASSERT_EQ(child.reflected, std::vector<UINT>{c.msg}) << std::hex << c.msg;
      if (childTakes) {
        EXPECT_TRUE(parent.handled.empty()) << std::hex << c.msg;
        if (c.msg != WM_COMMAND) {
          EXPECT_EQ(r, 0x55);
        }
      } else {
        EXPECT_EQ(parent.handled, std::vector<UINT>{c.msg}) << std::hex << c.msg;
      }
    }
  }
  // A menu command (no control window) is the parent's alone.
  child.reflected.clear();
  parent.handled.clear();
  ::SendMessageW(parent.m_hWnd, WM_COMMAND, 100, 0);
  EXPECT_TRUE(child.reflected.empty());
  EXPECT_EQ(parent.handled, std::vector<UINT>{WM_COMMAND});
}

TEST(Window, OwnerIsTheOneSetElseTheParent) {
  GuiTestHost host;
  CWnd other, child;
  ASSERT_TRUE(other.CreateEx(0, CWnd::DefaultClassName(), L"", WS_CHILD, RECT{0, 0, 10, 10}, &host, 1));
  ASSERT_TRUE(child.CreateEx(0, CWnd::DefaultClassName(), L"", WS_CHILD, RECT{0, 0, 10, 10}, &host, 2));
  CWnd plain;
  ASSERT_TRUE(plain.Create(nullptr, L"", WS_CHILD, RECT{0, 0, 10, 10}, &host, 3));
  wchar_t cls[64] = {};
  ::GetClassNameW(plain.m_hWnd, cls, 64);
  EXPECT_STREQ(cls, CWnd::DefaultClassName());
  EXPECT_EQ(child.GetOwnerHwnd(), host.m_hWnd);
  EXPECT_EQ(child.GetOwner(), &host);
  child.SetOwner(&other);
  EXPECT_EQ(child.GetOwner(), &other);
  other.DestroyWindow();  // an owner that is gone no longer counts
  EXPECT_EQ(child.GetOwner(), &host);
}

TEST(Window, DestroyingObjectAndWindowInEitherOrder) {
  GuiTestHost host;
  const size_t before = platform::BoundWindowCount();

  // Object first: the window goes with it.
  auto* first = new RecordingWnd;
  ASSERT_TRUE(first->CreateEx(0, L"BUTTON", L"", WS_CHILD, RECT{0, 0, 10, 10}, &host, 1));
  HWND firstHwnd = first->m_hWnd;
  delete first;
  EXPECT_FALSE(::IsWindow(firstHwnd));
  EXPECT_EQ(platform::BoundWindowCount(), before);

  // Window first: the object lets go of the handle and learns of it.
  bool gone = false;
  RecordingWnd second;
  second.ncDestroyed = &gone;
  ASSERT_TRUE(second.CreateEx(0, L"STATIC", L"", WS_CHILD, RECT{0, 0, 10, 10}, &host, 2));
  ::DestroyWindow(second.m_hWnd);
  EXPECT_TRUE(gone);
  EXPECT_EQ(second.m_hWnd, nullptr);
  EXPECT_TRUE(SequenceMatches(second.seen, {WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY},
                              kLifeMessages));
  EXPECT_EQ(second.seen.back(), static_cast<UINT>(WM_NCDESTROY));
  EXPECT_EQ(platform::BoundWindowCount(), before);

  // An object that deletes itself when its window is destroyed (through the parent).
  bool selfGone = false;
  auto* self = new RecordingWnd;
  self->deleteSelf = true;
  self->ncDestroyed = &selfGone;
  CWnd parent;
  ASSERT_TRUE(parent.CreateEx(0, CWnd::DefaultClassName(), L"", WS_CHILD, RECT{0, 0, 10, 10}, &host, 3));
  ASSERT_TRUE(self->CreateEx(0, L"EDIT", L"", WS_CHILD, RECT{0, 0, 10, 10}, &parent, 4));
  parent.DestroyWindow();
  EXPECT_TRUE(selfGone);
  EXPECT_EQ(platform::BoundWindowCount(), before);
}

TEST(Window, FailedCreationLeavesNoBinding) {
  const size_t before = platform::BoundWindowCount();
  RecordingWnd wnd;
  EXPECT_FALSE(wnd.CreateEx(0, L"NoSuchClassAnywhere", L"", WS_POPUP, RECT{0, 0, 1, 1}, static_cast<HWND>(nullptr), 0));
  EXPECT_EQ(wnd.m_hWnd, nullptr);
  // The next window created is not bound to the object by mistake.
  HWND plain = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(CWnd::FromHandlePermanent(plain), nullptr);
  ::DestroyWindow(plain);
  EXPECT_EQ(platform::BoundWindowCount(), before);
}

// Children created while the parent handles WM_CREATE are bound to their own objects.
class ParentMakingChildren : public CWnd {
 public:
  RecordingWnd child;

 protected:
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
    if (msg == WM_CREATE) {
      child.CreateEx(0, L"BUTTON", L"", WS_CHILD, RECT{0, 0, 5, 5}, this, 9);
      result = 0;
      return true;
    }
    return CWnd::OnMessage(msg, wp, lp, result);
  }
};

TEST(Window, NestedCreationBindsEachObject) {
  GuiTestHost host;
  ParentMakingChildren parent;
  ASSERT_TRUE(parent.CreateEx(0, CWnd::DefaultClassName(), L"", WS_CHILD, RECT{0, 0, 50, 50}, &host, 1));
  ASSERT_NE(parent.child.m_hWnd, nullptr);
  EXPECT_EQ(::GetParent(parent.child.m_hWnd), parent.m_hWnd);
  EXPECT_EQ(CWnd::FromHandlePermanent(parent.child.m_hWnd), &parent.child);
}

TEST(Window, PreTranslateWalksFromTargetToTopLevel) {
  struct Eater : CWnd {
    std::vector<HWND>* order;
    bool eat = false;
    BOOL PreTranslateMessage(MSG* msg) override {
      order->push_back(m_hWnd);
      (void)msg;
      return eat;
    }
  };
  GuiTestHost host;
  std::vector<HWND> order;
  Eater middle, leaf;
  middle.order = leaf.order = &order;
  ASSERT_TRUE(middle.CreateEx(0, CWnd::DefaultClassName(), L"", WS_CHILD, RECT{0, 0, 50, 50}, &host, 1));
  ASSERT_TRUE(leaf.CreateEx(0, L"BUTTON", L"", WS_CHILD, RECT{0, 0, 5, 5}, &middle, 2));
  MSG msg{leaf.m_hWnd, WM_KEYDOWN, VK_F5, 0, 0, {}};
  EXPECT_FALSE(platform::PreTranslateThroughParents(&msg));
  EXPECT_EQ(order, (std::vector<HWND>{leaf.m_hWnd, middle.m_hWnd}));  // the host does not eat
  order.clear();
  middle.eat = true;
  EXPECT_TRUE(platform::PreTranslateThroughParents(&msg));
  EXPECT_EQ(order, (std::vector<HWND>{leaf.m_hWnd, middle.m_hWnd}));
}

TEST(Window, APaintHandlerThatDrawsNothingStillValidates) {
  struct Painter : CWnd {
    bool draw = false;
    int paints = 0;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
      if (msg == WM_PAINT) {
        ++paints;
        if (draw) CPaintDC dc(m_hWnd);
        result = 0;
        return true;  // handled, painted or not
      }
      return CWnd::OnMessage(msg, wp, lp, result);
    }
  };
  GuiTestHost host;
  for (bool draw : {false, true}) {
    Painter wnd;
    wnd.draw = draw;
    ASSERT_TRUE(wnd.CreateEx(0, CWnd::DefaultClassName(), L"", WS_CHILD | WS_VISIBLE, RECT{0, 0, 40, 40}, &host, 1));
    wnd.Invalidate();
    wnd.UpdateWindow();
    RECT update{};
    EXPECT_FALSE(::GetUpdateRect(wnd.m_hWnd, &update, FALSE)) << draw;
    host.Pump();
    EXPECT_EQ(wnd.paints, 1) << draw;
  }
}

TEST(Window, ToolHitTestsDriveTheSharedTooltip) {
  struct Cells : CWnd {
    INT_PTR OnToolHitTest(POINT pt, TTTOOLINFOW* info) const override {
      if (pt.x >= 100) return -1;
      const int cell = pt.y / 20;
      info->rect = RECT{0, cell * 20, 100, cell * 20 + 20};
      return cell + 1;
    }
  };
  GuiTestHost host;
  Cells cells;
  ASSERT_TRUE(cells.CreateEx(0, CWnd::DefaultClassName(), L"", WS_CHILD | WS_VISIBLE, RECT{0, 0, 200, 100}, &host, 1));
  cells.EnableToolTips();
  auto moveTo = [&](int x, int y) {
    POINT screen{x, y};
    ::ClientToScreen(cells.m_hWnd, &screen);
    MSG msg{cells.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y), ::GetTickCount(), screen};
    platform::PreTranslateThroughParents(&msg);
  };
  auto currentTool = [&]() -> INT_PTR {
    HWND tip = platform::SharedToolTip();
    if (!tip || ::SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0) != 1) return -1;
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ::SendMessageW(tip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&ti));
    EXPECT_EQ(ti.hwnd, cells.m_hWnd);
    return static_cast<INT_PTR>(ti.uId);
  };
  moveTo(10, 45);
  EXPECT_EQ(currentTool(), 3);
  moveTo(12, 47);  // same cell: same tool
  EXPECT_EQ(currentTool(), 3);
  moveTo(10, 5);
  EXPECT_EQ(currentTool(), 1);
  moveTo(150, 5);  // no tool there
  EXPECT_EQ(currentTool(), -1);
  cells.EnableToolTips(FALSE);
  moveTo(10, 5);
  EXPECT_EQ(currentTool(), -1);
}

TEST(Window, ARegionIsTakenOverByTheWindowOrDeletedByItsOwner) {
  GuiTestHost host;
  CWnd shaped;
  ASSERT_TRUE(shaped.CreateEx(0, CWnd::DefaultClassName(), L"", WS_CHILD, RECT{0, 0, 20, 20}, &host, 1));
  CRgn accepted;
  accepted.CreateRectRgn(0, 0, 5, 5);
  EXPECT_NE(shaped.SetWindowRgn(accepted, FALSE), 0);
  EXPECT_TRUE(accepted.IsNull());  // the window's now (Wine even deletes the handle at once)

  CWnd noWindow;
  HRGN refusedHandle;
  {
    CRgn refused;
    refused.CreateRectRgn(0, 0, 5, 5);
    refusedHandle = refused;
    EXPECT_EQ(noWindow.SetWindowRgn(refused, FALSE), 0);
    EXPECT_FALSE(refused.IsNull());
  }
  EXPECT_EQ(::GetObjectType(refusedHandle), 0u);  // gone with its owner
}

// A control whose own window procedure records what it is handed.
std::vector<platform::testing::RecordedMessage> g_handed;
LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  g_handed.push_back({msg, wp, lp});
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

// Takes its reflected commands and passes them on with Default().
class DefaultingChild : public CWnd {
 protected:
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
    if (msg == platform::Reflected(WM_COMMAND)) {
      result = Default();
      return true;
    }
    return CWnd::OnMessage(msg, wp, lp, result);
  }
};

TEST(Window, DefaultInAReflectedHandlerPassesTheReflectedMessage) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = RecordingProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"OvrixRecordingControl";
  ::RegisterClassExW(&wc);
  GuiTestHost host;
  ParentWnd parent;
  ASSERT_TRUE(parent.CreateEx(0, CWnd::DefaultClassName(), L"", WS_CHILD | WS_VISIBLE, RECT{0, 0, 100, 100}, &host, 5));
  DefaultingChild child;
  ASSERT_TRUE(child.CreateEx(0, L"OvrixRecordingControl", L"", WS_CHILD, RECT{0, 0, 10, 10}, &parent, 42));
  // The child handles a message of its own first, so that a stale one is at hand.
  child.SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"x"));
  g_handed.clear();
  const WPARAM wp = MAKEWPARAM(42, BN_CLICKED);
  const LPARAM lp = reinterpret_cast<LPARAM>(child.m_hWnd);
  ::SendMessageW(parent.m_hWnd, WM_COMMAND, wp, lp);
  const MessageSet about{WM_SETTEXT, WM_COMMAND, platform::Reflected(WM_COMMAND)};
  EXPECT_TRUE(SequenceMatches(g_handed, {{platform::Reflected(WM_COMMAND), wp, lp}}, about));
  EXPECT_TRUE(parent.handled.empty());
  // Afterwards Default() is about the child's own messages again: the reflected
  // command is not handed on a second time.
  g_handed.clear();
  const LPARAM text = reinterpret_cast<LPARAM>(L"y");
  child.SendMessage(WM_SETTEXT, 0, text);
  EXPECT_TRUE(SequenceMatches(g_handed, {{WM_SETTEXT, 0, text}}, about));
}

}  // namespace
