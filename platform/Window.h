// The window layer: one C++ object per window, bound to its handle before the
// window's first message, with per-class message handling chained to the base
// class and notifications reflected to the control that sent them.
//
// Every window of ours goes through one window procedure (the trampoline in
// Window.cpp). A derived class handles messages by overriding OnMessage, a
// switch over the messages it cares about that ends with a call to its base
// class's OnMessage; what no class handles goes to the window's original
// procedure (Default()).
//
// Windows live on the user-interface thread only; the handle map is not locked.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

class CRgn;

// Notifications a parent receives about a child (WM_COMMAND from a control,
// WM_NOTIFY, WM_DRAWITEM, WM_MEASUREITEM, WM_CTLCOLOR*) are first offered to the
// child's own object as kReflectBase + message. When the child handles it, the
// parent never sees it.
namespace platform {
constexpr UINT kReflectBase = 0x2000;
constexpr UINT Reflected(UINT message) { return kReflectBase + message; }
}  // namespace platform

class CWnd {
 public:
  CWnd();
  // Destroying the object of a live window destroys the window; its remaining
  // messages go to the original window procedure.
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND m_hWnd = nullptr;
  HWND GetSafeHwnd() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }

  // The object bound to a window, or null for a window that is not ours.
  static CWnd* FromHandlePermanent(HWND hwnd);

  // Plain window class registered on first use: double clicks, arrow cursor,
  // no background brush (our windows paint themselves).
  static const wchar_t* DefaultClassName();

  // CreateWindowExW with this object bound before WM_NCCREATE.
  bool CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style,
                const RECT& rect, HWND parent, UINT_PTR idOrMenu);
  bool CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style,
                const RECT& rect, CWnd* parent, UINT_PTR idOrMenu) {
    return CreateEx(exStyle, className, text, style, rect, parent ? parent->m_hWnd : nullptr, idOrMenu);
  }
  // A child or popup of the given class; a null class name is DefaultClassName().
  bool Create(const wchar_t* className, const wchar_t* text, DWORD style, const RECT& rect, CWnd* parent,
              UINT id) {
    return CreateEx(0, className ? className : DefaultClassName(), text, style, rect, parent, id);
  }
  // Binds this object to a window that exists already (a list view's header).
  bool SubclassWindow(HWND hwnd);
  bool DestroyWindow();

  // An owner of our own: child windows have no Win32 owner, yet controls report
  // to "their owner, else their parent".
  void SetOwner(CWnd* owner) { m_owner = owner ? owner->m_hWnd : nullptr; }
  void SetOwner(HWND owner) { m_owner = owner; }
  HWND GetOwnerHwnd() const;      // the owner set, else the parent
  CWnd* GetOwner() const { return FromHandlePermanent(GetOwnerHwnd()); }
  HWND GetParentHwnd() const { return ::GetParent(m_hWnd); }
  CWnd* GetParent() const { return FromHandlePermanent(GetParentHwnd()); }

  // Called before a message is translated and dispatched, for the target window
  // and each parent up to the top-level window; true eats the message.
  virtual BOOL PreTranslateMessage(MSG* msg);
  // WM_COMMAND and WM_NOTIFY that no child took by reflection; TRUE = handled.
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
  // Called once the handle is known, before the object receives messages.
  virtual void PreSubclassWindow() {}
  // Called after WM_NCDESTROY, when the object no longer has a window.
  virtual void PostNcDestroy() {}

  // The message being handled, passed to the original window procedure.
  LRESULT Default();

  // Thin wrappers; the Win32 call is the name.
  LRESULT SendMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::SendMessageW(m_hWnd, msg, wp, lp); }
  BOOL PostMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::PostMessageW(m_hWnd, msg, wp, lp); }
  BOOL ShowWindow(int cmd) const { return ::ShowWindow(m_hWnd, cmd); }
  BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
  BOOL EnableWindow(BOOL enable = TRUE) const { return ::EnableWindow(m_hWnd, enable); }
  BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
  BOOL MoveWindow(int x, int y, int w, int h, BOOL repaint = TRUE) const { return ::MoveWindow(m_hWnd, x, y, w, h, repaint); }
  BOOL SetWindowPos(HWND after, int x, int y, int w, int h, UINT flags) const { return ::SetWindowPos(m_hWnd, after, x, y, w, h, flags); }
  void Invalidate(BOOL erase = TRUE) const { ::InvalidateRect(m_hWnd, nullptr, erase); }
  void InvalidateRect(const RECT* rect, BOOL erase = TRUE) const { ::InvalidateRect(m_hWnd, rect, erase); }
  void UpdateWindow() const { ::UpdateWindow(m_hWnd); }
  void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
  void GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
  void ClientToScreen(POINT* pt) const { ::ClientToScreen(m_hWnd, pt); }
  void ScreenToClient(POINT* pt) const { ::ScreenToClient(m_hWnd, pt); }
  HWND SetCapture() const { return ::SetCapture(m_hWnd); }
  HWND SetFocus() const { return ::SetFocus(m_hWnd); }
  int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  UINT_PTR SetTimer(UINT_PTR id, UINT ms) const { return ::SetTimer(m_hWnd, id, ms, nullptr); }
  BOOL KillTimer(UINT_PTR id) const { return ::KillTimer(m_hWnd, id); }
  DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)); }
  DWORD GetExStyle() const { return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE)); }
  // Removes then adds style bits; with flags, SetWindowPos applies the frame change.
  BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0) const;
  BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT flags = 0) const;
  void SetWindowText(const std::wstring& text) const { ::SetWindowTextW(m_hWnd, text.c_str()); }
  std::wstring GetWindowText() const;
  void SetFont(HFONT font, BOOL redraw = TRUE) const { SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw); }
  HFONT GetFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }
  int SetWindowRgn(HRGN rgn, BOOL redraw) const { return ::SetWindowRgn(m_hWnd, rgn, redraw); }
  // The window takes the region over when it accepts it (the owner is left
  // empty); a region it refuses stays with the owner, which deletes it.
  int SetWindowRgn(CRgn& region, BOOL redraw) const;
  BOOL GetScrollInfo(int bar, SCROLLINFO* info, UINT mask = SIF_ALL) const;
  int SetScrollInfo(int bar, SCROLLINFO* info, BOOL redraw = TRUE) const {
    info->cbSize = sizeof(SCROLLINFO);
    return ::SetScrollInfo(m_hWnd, bar, info, redraw);
  }

  // Tooltips for parts of the window (list cells): while enabled, the message
  // loops ask OnToolHitTest which tool lies under the mouse and show one shared
  // tooltip for it, whose text the window gives on TTN_NEEDTEXTW.
  void EnableToolTips(BOOL enable = TRUE) { m_toolTipsEnabled = enable != FALSE; }
  bool ToolTipsEnabled() const { return m_toolTipsEnabled; }
  // The tool at a client point: its id with `info` filled (rect; hwnd and text
  // default to this window and LPSTR_TEXTCALLBACKW), or -1 for none.
  virtual INT_PTR OnToolHitTest(POINT point, TTTOOLINFOW* info) const;

 protected:
  // The class's message handler: true (with result set) when handled, else the
  // base class's. Also receives reflected notifications (platform::Reflected(message)).
  virtual bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // Reflection to the sending child, then OnMessage, then Default().
  virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);

  // While it lives, the next window this thread creates is bound to the object,
  // before the window's first message. Used by CreateEx (with the class name,
  // whose class then binds the windows made after this one) and the dialogs.
  class BindingScope {
   public:
    explicit BindingScope(CWnd* wnd, const wchar_t* className = nullptr);
    ~BindingScope();
    BindingScope(const BindingScope&) = delete;
    BindingScope& operator=(const BindingScope&) = delete;

   private:
    CWnd* m_previous;
    HHOOK m_previousHook;
  };

 private:
  friend LRESULT CALLBACK WindowTrampoline(HWND, UINT, WPARAM, LPARAM);
  friend LRESULT CALLBACK CreationHook(int, WPARAM, LPARAM);
  friend LRESULT CALLBACK ClassBindingProc(HWND, UINT, WPARAM, LPARAM);
  void Bind(HWND hwnd);
  bool ReflectToChild(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

  WNDPROC m_originalProc = nullptr;
  HWND m_owner = nullptr;
  bool m_toolTipsEnabled = false;
  // Made by CreateEx: its class may bind the windows made after it.
  bool m_bindClass = false;
  struct CurrentMessage {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
  } m_current{};
};

namespace platform {

// Runs PreTranslateMessage of the target window's object and of each parent's,
// up to and including the first top-level window; true when one ate the message.
bool PreTranslateThroughParents(MSG* msg);

// Windows of ours alive now (for leak checks in tests).
size_t BoundWindowCount();

// The tooltip that windows with EnableToolTips share on this thread, or null
// before the first one was needed.
HWND SharedToolTip();

}  // namespace platform
