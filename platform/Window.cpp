#include "platform/Window.h"

#include "platform/WinApp.h"
#include "platform/Gdi.h"
#include "platform/StartTimes.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

// Handle -> binding. The entry outlives its object when the object is
// destroyed first: the window then keeps its original procedure until
// WM_NCDESTROY removes the entry.
struct Binding {
  CWnd* object;
  WNDPROC original;
};
// Never destroyed: window objects with static storage may still unbind while
// the program's static objects are destroyed at exit.
std::unordered_map<HWND, Binding>& Bindings() {
  static auto* const map = new std::unordered_map<HWND, Binding>;
  return *map;
}

// The object waiting for the next window that this thread creates.
thread_local CWnd* t_pendingObject = nullptr;
// The creation hook of the window being created, while it waits for that window.
thread_local HHOOK t_creationHook = nullptr;
thread_local unsigned t_paintsBegun = 0;

HWND ChildOfNotification(HWND self, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      return reinterpret_cast<HWND>(lParam);  // 0 for menus and accelerators
    case WM_NOTIFY:
      return lParam ? reinterpret_cast<const NMHDR*>(lParam)->hwndFrom : nullptr;
    case WM_DRAWITEM: {
      const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      return (dis && dis->CtlType != ODT_MENU) ? dis->hwndItem : nullptr;
    }
    case WM_MEASUREITEM: {
      const auto* mis = reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam);
      return (mis && mis->CtlType != ODT_MENU) ? ::GetDlgItem(self, static_cast<int>(mis->CtlID)) : nullptr;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<HWND>(lParam);
    default:
      (void)wParam;
      return nullptr;
  }
}

// Classes whose procedure binds the window being created to its object. A
// thread-wide creation hook would cost the system a round of requests for
// every window made (and for every other creation-time event of the thread);
// the first window of each class is bound through a hook that lives for that
// one creation, and the class's procedure is then replaced by ClassBindingProc,
// which binds at the window's first message (nothing reaches a window before
// it) and otherwise hands every message to the class's own procedure.
struct ClassBinding {
  ATOM atom;
  WNDPROC original;   // the class's own procedure
  WNDPROC installed;  // ClassBindingProc as the class hands it out
};

std::mutex& ClassBindingsLock() {
  static auto* const lock = new std::mutex;
  return *lock;
}

std::vector<ClassBinding>& ClassBindings() {
  static auto* const list = new std::vector<ClassBinding>;
  return *list;
}

const ClassBinding* FindClassBinding(ATOM atom) {
  for (const ClassBinding& binding : ClassBindings())
    if (binding.atom == atom) return &binding;
  return nullptr;
}

WNDPROC OriginalClassProc(HWND hwnd) {
  const ATOM atom = static_cast<ATOM>(::GetClassLongPtrW(hwnd, GCW_ATOM));
  std::lock_guard<std::mutex> guard(ClassBindingsLock());
  const ClassBinding* binding = FindClassBinding(atom);
  return binding ? binding->original : nullptr;
}

// True when windows of the class that this name creates are bound by the
// class's procedure (the name is resolved as CreateWindowExW resolves it).
bool BoundByClass(const wchar_t* className) {
  WNDCLASSEXW info{};
  info.cbSize = sizeof(info);
  const ATOM atom = ::GetClassInfoExW(::GetModuleHandleW(nullptr), className, &info);
  if (atom == 0) return false;
  std::lock_guard<std::mutex> guard(ClassBindingsLock());
  const ClassBinding* binding = FindClassBinding(atom);
  // A class registered again under the same atom has its own procedure.
  return binding != nullptr && binding->installed == info.lpfnWndProc;
}

bool IsInstalledClassBinding(WNDPROC proc) {
  std::lock_guard<std::mutex> guard(ClassBindingsLock());
  for (const ClassBinding& binding : ClassBindings())
    if (binding.installed == proc) return true;
  return false;
}

}  // namespace

LRESULT CALLBACK WindowTrampoline(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto& map = Bindings();
  auto it = map.find(hwnd);
  if (it == map.end()) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  const Binding binding = it->second;

  if (!binding.object) {
    const LRESULT r = ::CallWindowProcW(binding.original, hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) map.erase(hwnd);
    return r;
  }

  CWnd* wnd = binding.object;
  const auto saved = wnd->m_current;
  wnd->m_current = {msg, wParam, lParam};
  if (msg == WM_NCDESTROY) {
    // The original procedure finishes its own clean-up first; then the object
    // lets go of the handle and may delete itself.
    const LRESULT r = wnd->WindowProc(msg, wParam, lParam);
    map.erase(hwnd);
    if (CWinApp* app = platform::CurrentApp(); app && app->m_pMainWnd == wnd) {
      // The main window is gone: the program's message loop ends.
      app->m_pMainWnd = nullptr;
      ::PostQuitMessage(0);
    }
    wnd->m_hWnd = nullptr;
    wnd->m_originalProc = nullptr;
    wnd->m_current = saved;
    wnd->PostNcDestroy();
    return r;
  }
  const LRESULT r = wnd->WindowProc(msg, wParam, lParam);
  // The handler may have destroyed the window and deleted its object.
  auto after = map.find(hwnd);
  if (after != map.end() && after->second.object == wnd) wnd->m_current = saved;
  return r;
}

LRESULT CALLBACK ClassBindingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (t_pendingObject && Bindings().count(hwnd) == 0) {
    CWnd* wnd = t_pendingObject;
    t_pendingObject = nullptr;
    wnd->Bind(hwnd);
    return WindowTrampoline(hwnd, msg, wParam, lParam);
  }
  const WNDPROC original = OriginalClassProc(hwnd);
  return original ? ::CallWindowProcW(original, hwnd, msg, wParam, lParam)
                  : ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Makes the class of a window just bound bind the windows made after it.
static void BindClass(HWND hwnd) {
  const ATOM atom = static_cast<ATOM>(::GetClassLongPtrW(hwnd, GCW_ATOM));
  const auto current = reinterpret_cast<WNDPROC>(::GetClassLongPtrW(hwnd, GCLP_WNDPROC));
  std::lock_guard<std::mutex> guard(ClassBindingsLock());
  auto& list = ClassBindings();
  auto it = std::find_if(list.begin(), list.end(), [atom](const ClassBinding& b) { return b.atom == atom; });
  if (it != list.end() && it->installed == current) return;
  const auto original = reinterpret_cast<WNDPROC>(
      ::SetClassLongPtrW(hwnd, GCLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ClassBindingProc)));
  if (original == nullptr) return;
  const ClassBinding binding{atom, original, reinterpret_cast<WNDPROC>(::GetClassLongPtrW(hwnd, GCLP_WNDPROC))};
  if (it != list.end())
    *it = binding;
  else
    list.push_back(binding);
}

LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam) {
  const HHOOK hook = t_creationHook;
  if (code == HCBT_CREATEWND && t_pendingObject) {
    CWnd* wnd = t_pendingObject;
    t_pendingObject = nullptr;
    // Its work done: the hook goes before the window's first message, so that
    // windows made while this one is created do not pass through it.
    t_creationHook = nullptr;
    ::UnhookWindowsHookEx(hook);
    const HWND hwnd = reinterpret_cast<HWND>(wParam);
    wnd->Bind(hwnd);
    if (wnd->m_bindClass) BindClass(hwnd);
  }
  return ::CallNextHookEx(hook, code, wParam, lParam);
}

// Binding through the class where the class binds, else through a creation
// hook for this one window. Nested creation (children made during a parent's
// WM_CREATE) needs no bookkeeping beyond the saved pending object.
CWnd::BindingScope::BindingScope(CWnd* wnd, const wchar_t* className)
    : m_previous(t_pendingObject), m_previousHook(t_creationHook) {
  t_pendingObject = wnd;
  wnd->m_bindClass = className != nullptr;
  if (className != nullptr && BoundByClass(className)) {
    t_creationHook = nullptr;
    return;
  }
  t_creationHook = ::SetWindowsHookExW(WH_CBT, CreationHook, nullptr, ::GetCurrentThreadId());
}

CWnd::BindingScope::~BindingScope() {
  // A creation that failed before its window existed leaves its hook behind.
  if (t_creationHook) ::UnhookWindowsHookEx(t_creationHook);
  t_creationHook = m_previousHook;
  t_pendingObject = m_previous;
}

namespace platform {

namespace {

thread_local HWND t_toolTip = nullptr;
thread_local HWND t_toolWindow = nullptr;
thread_local INT_PTR t_toolId = -1;

bool IsMouseMessage(UINT msg) {
  return msg == WM_MOUSEMOVE || msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP || msg == WM_RBUTTONDOWN ||
         msg == WM_RBUTTONUP || msg == WM_MBUTTONDOWN || msg == WM_MBUTTONUP;
}

void DropCurrentTool() {
  if (t_toolTip && t_toolId != -1) {
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ti.hwnd = t_toolWindow;
    ti.uId = static_cast<UINT_PTR>(t_toolId);
    ::SendMessageW(t_toolTip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  }
  t_toolWindow = nullptr;
  t_toolId = -1;
}

// The mouse messages of the loops drive the shared tooltip: the window with
// tooltips enabled under the mouse names its tool, which replaces the last one.
void FilterToolTipMessage(const MSG* msg) {
  if (!IsMouseMessage(msg->message)) return;
  CWnd* owner = nullptr;
  for (HWND hwnd = msg->hwnd; hwnd && !owner;) {
    CWnd* wnd = CWnd::FromHandlePermanent(hwnd);
    if (wnd && wnd->ToolTipsEnabled()) owner = wnd;
    if (!(::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD)) break;
    hwnd = ::GetParent(hwnd);
  }
  if (t_toolTip && !::IsWindow(t_toolTip)) {
    t_toolTip = nullptr;
    t_toolId = -1;
  }
  if (!owner) {
    DropCurrentTool();
    return;
  }
  if (!t_toolTip) {
    t_toolTip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, L"", WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  ::GetAncestor(owner->m_hWnd, GA_ROOT), nullptr, nullptr, nullptr);
    if (!t_toolTip) return;
    ::SendMessageW(t_toolTip, TTM_ACTIVATE, TRUE, 0);
  }
  POINT pt = msg->pt;
  ::ScreenToClient(owner->m_hWnd, &pt);
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof(ti);
  const INT_PTR id = owner->OnToolHitTest(pt, &ti);
  if (id != t_toolId || owner->m_hWnd != t_toolWindow) {
    DropCurrentTool();
    if (id != -1) {
      if (!ti.hwnd) ti.hwnd = owner->m_hWnd;
      ti.uId = static_cast<UINT_PTR>(id);
      if (!ti.lpszText) ti.lpszText = LPSTR_TEXTCALLBACKW;
      ::SendMessageW(t_toolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
      t_toolWindow = ti.hwnd;
      t_toolId = id;
    }
  }
  if (t_toolId != -1) {
    // The tooltip matches relayed messages to its tool by window and client point.
    MSG relay = *msg;
    relay.hwnd = owner->m_hWnd;
    relay.lParam = MAKELPARAM(pt.x, pt.y);
    ::SendMessageW(t_toolTip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relay));
  }
}

}  // namespace

HWND SharedToolTip() { return t_toolTip && ::IsWindow(t_toolTip) ? t_toolTip : nullptr; }

bool PreTranslateThroughParents(MSG* msg) {
  FilterToolTipMessage(msg);
  for (HWND hwnd = msg->hwnd; hwnd;) {
    if (CWnd* wnd = CWnd::FromHandlePermanent(hwnd)) {
      if (wnd->PreTranslateMessage(msg)) return true;
    }
    // A handler may have destroyed the window.
    if (!::IsWindow(hwnd) || !(::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD)) break;
    hwnd = ::GetParent(hwnd);
  }
  return false;
}

size_t BoundWindowCount() { return Bindings().size(); }

void NoteBeginPaint() { ++t_paintsBegun; }

}  // namespace platform

CWnd::CWnd() = default;

CWnd::~CWnd() {
  if (!m_hWnd) return;
  auto it = Bindings().find(m_hWnd);
  if (it != Bindings().end()) it->second.object = nullptr;
  HWND hwnd = m_hWnd;
  m_hWnd = nullptr;
  ::DestroyWindow(hwnd);
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
  if (!hwnd) return nullptr;
  auto it = Bindings().find(hwnd);
  return it == Bindings().end() ? nullptr : it->second.object;
}

const wchar_t* CWnd::DefaultClassName() {
  static const wchar_t* const name = [] {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = nullptr;
    wc.lpszClassName = L"OvrixWindow";
    ::RegisterClassExW(&wc);
    return L"OvrixWindow";
  }();
  return name;
}

void CWnd::Bind(HWND hwnd) {
  m_hWnd = hwnd;
  Bindings()[hwnd] = Binding{this, nullptr};
  PreSubclassWindow();
  m_originalProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowTrampoline)));
  // A window of a binding class: its own procedure is the class's original one.
  if (m_originalProc == &ClassBindingProc || IsInstalledClassBinding(m_originalProc)) {
    if (const WNDPROC original = OriginalClassProc(hwnd)) m_originalProc = original;
  }
  Bindings()[hwnd].original = m_originalProc;
}

bool CWnd::CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style,
                    const RECT& rect, HWND parent, UINT_PTR idOrMenu) {
  if (m_hWnd) return false;
  BindingScope binding(this, className);
  platform::start_times::Count(platform::start_times::Work::kWindows);
  platform::start_times::Scope timed(platform::start_times::Work::kWindows);
  HWND hwnd = ::CreateWindowExW(exStyle, className, text ? text : L"", style, rect.left, rect.top,
                                rect.right - rect.left, rect.bottom - rect.top, parent,
                                reinterpret_cast<HMENU>(idOrMenu), ::GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) {
    // A window that failed in WM_NCCREATE/WM_CREATE is gone; so is its binding.
    m_hWnd = nullptr;
    return false;
  }
  return m_hWnd == hwnd;
}

bool CWnd::SubclassWindow(HWND hwnd) {
  if (m_hWnd || !hwnd || !::IsWindow(hwnd) || FromHandlePermanent(hwnd)) return false;
  Bind(hwnd);
  return true;
}

bool CWnd::DestroyWindow() {
  if (!m_hWnd) return false;
  return ::DestroyWindow(m_hWnd) != FALSE;
}

HWND CWnd::GetOwnerHwnd() const {
  if (m_owner && ::IsWindow(m_owner)) return m_owner;
  return m_hWnd ? ::GetParent(m_hWnd) : nullptr;
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }
INT_PTR CWnd::OnToolHitTest(POINT, TTTOOLINFOW*) const { return -1; }
BOOL CWnd::OnCommand(WPARAM, LPARAM) { return FALSE; }
BOOL CWnd::OnNotify(WPARAM, LPARAM, LRESULT*) { return FALSE; }

LRESULT CWnd::Default() {
  if (!m_hWnd) return 0;
  if (!m_originalProc) return ::DefWindowProcW(m_hWnd, m_current.msg, m_current.wParam, m_current.lParam);
  return ::CallWindowProcW(m_originalProc, m_hWnd, m_current.msg, m_current.wParam, m_current.lParam);
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags) const {
  const DWORD style = GetStyle();
  const DWORD next = (style & ~remove) | add;
  if (next == style) return FALSE;
  ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(next));
  if (flags) ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
  return TRUE;
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT flags) const {
  const DWORD style = GetExStyle();
  const DWORD next = (style & ~remove) | add;
  if (next == style) return FALSE;
  ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, static_cast<LONG_PTR>(next));
  if (flags) ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
  return TRUE;
}

std::wstring CWnd::GetWindowText() const {
  const int n = ::GetWindowTextLengthW(m_hWnd);
  if (n <= 0) return {};
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  const int got = ::GetWindowTextW(m_hWnd, text.data(), n + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

int CWnd::SetWindowRgn(CRgn& region, BOOL redraw) const {
  const int accepted = m_hWnd ? ::SetWindowRgn(m_hWnd, region, redraw) : 0;
  if (accepted) region.Detach();
  return accepted;
}

BOOL CWnd::GetScrollInfo(int bar, SCROLLINFO* info, UINT mask) const {
  info->cbSize = sizeof(SCROLLINFO);
  info->fMask = mask;
  return ::GetScrollInfo(m_hWnd, bar, info);
}

bool CWnd::ReflectToChild(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  HWND child = ChildOfNotification(m_hWnd, msg, wParam, lParam);
  if (!child || child == m_hWnd) return false;
  // Only to our own children: a window that passes its children's notifications
  // on (a bitmap item forwards their commands) has offered them already, and a
  // second offer would handle them twice.
  if (::GetAncestor(child, GA_PARENT) != m_hWnd) return false;
  CWnd* wnd = FromHandlePermanent(child);
  if (!wnd) return false;
  result = 0;
  // Default() in the reflected handler hands the child's procedure the reflected
  // message, not whatever the child was handling before.
  const UINT reflected = platform::Reflected(msg);
  const auto saved = wnd->m_current;
  wnd->m_current = {reflected, wParam, lParam};
  const bool handled = wnd->OnMessage(reflected, wParam, lParam, result);
  // The handler may have destroyed the child and deleted its object.
  if (FromHandlePermanent(child) == wnd) wnd->m_current = saved;
  return handled;
}

bool CWnd::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_COMMAND:
      if (OnCommand(wParam, lParam)) {
        result = 0;
        return true;
      }
      return false;
    case WM_NOTIFY: {
      LRESULT r = 0;
      if (OnNotify(wParam, lParam, &r)) {
        result = r;
        return true;
      }
      return false;
    }
    default:
      return false;
  }
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (ReflectToChild(msg, wParam, lParam, result)) return result;
  if (msg == WM_PAINT) {
    const unsigned before = t_paintsBegun;
    if (!OnMessage(msg, wParam, lParam, result)) return Default();
    // A handler that took WM_PAINT without painting (nothing to draw yet, or
    // no longer) would otherwise be sent WM_PAINT again and again.
    if (t_paintsBegun == before && m_hWnd) ::ValidateRect(m_hWnd, nullptr);
    return result;
  }
  if (OnMessage(msg, wParam, lParam, result)) return result;
  return Default();
}
