// The stand-in device service's core: the simulated keyboard's state, its
// persistence, its event sinks, its log, and the test seams (call log, injected
// failures and delays). It lives on one thread, the thread that serves the COM
// calls (an apartment of its own), so its state is not locked; events and the
// delayed write are posted to that thread's message queue and run from there
// (the queue of posted events is the one thing another thread may touch).
//
// DeviceService.exe hosts one core; tests host one in their own process (see
// ServiceObjects.h) and reach it through the same COM interfaces.
#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Com.h"
#include "service/ServiceState.h"

enum class EventSource { Profile, Recording, Application, Dpi };
inline constexpr int kEventSourceCount = 4;

// Failure statuses of the service.
inline constexpr HRESULT kErrNoMoreItems = HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS);
inline constexpr HRESULT kErrNotFound = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
inline constexpr HRESULT kErrUnplugged = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
inline constexpr HRESULT kErrBadFormat = HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
// The service holds as much as it may (see kMaxSimProfiles and the rest).
inline constexpr HRESULT kErrFull = HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_QUOTA);

// The event interface raised by a source.
const IID& EventIid(EventSource source);

// True for the statuses of a call that could not reach its target process.
bool IsRpcFailure(HRESULT hr);

class CServiceCore {
 public:
  struct Options {
    std::wstring stateFile;  // empty: the state is not persisted
    std::wstring logFile;    // empty: no log file
    std::vector<SimKey> keyboard;
    UINT flushDelayMs = 1000;
    // The log is moved aside (to "<log>.old") whenever it grows past this.
    DWORD logLimitBytes = 4u << 20;
  };

  // Creates the core on the calling thread, which must run a message loop, and
  // loads the state file (or the factory state).
  static std::shared_ptr<CServiceCore> Create(Options options);
  ~CServiceCore();
  CServiceCore(const CServiceCore&) = delete;
  CServiceCore& operator=(const CServiceCore&) = delete;

  // Start of every interface method: records the call, applies an injected delay
  // and failure, and refuses device calls while the keyboard is unplugged.
  HRESULT Enter(const wchar_t* method, bool needsDevice = true);
  // status >= 0 with delay 0 removes the fault. `method` is "Interface::Method" or
  // a bare method name that matches it on every interface.
  void SetFault(const std::wstring& method, HRESULT status, DWORD delayMs);
  // Only the call-th call of `method` (1 = the next), counted from now, fails with
  // `status`; the fault is gone once it has fired.
  void SetFaultOnCall(const std::wstring& method, HRESULT status, DWORD call);
  void ClearFaults();
  std::vector<std::wstring> CallLog() const;
  void ClearCallLog();

  ServiceState& State() { return m_state; }
  const std::vector<SimKey>& Keyboard() const { return m_options.keyboard; }
  bool Plugged() const { return m_plugged; }
  void SetPlugged(bool plugged);
  int Mode() const { return m_mode; }
  void SetMode(int mode);

  SimProfile* FindProfile(const GUID& id);
  SimMacro* FindMacro(const GUID& id);
  SimApp* FindApp(const GUID& id);
  GUID NewId();
  // S_OK when this many more profiles, macros and programs, and `addedEvents` macro
  // events in place of `removedEvents`, stay within the service's limits; kErrFull
  // (logged with `what`) otherwise.
  HRESULT CheckRoom(const wchar_t* what, size_t profiles, size_t macros, size_t apps, size_t addedEvents,
                    size_t removedEvents = 0);
  size_t TotalEvents() const;

  // A change to the state: written within the flush delay, or when the operation
  // (its device manager) ends, whichever comes first.
  void Changed();
  void OperationStarted();
  void OperationEnded();
  // Writes the state now if it changed (temporary file, flushed, then replacing).
  bool Flush();
  bool Dirty() const { return m_dirty; }

  // Operations the interfaces and the control tool share.
  HRESULT ActivateProfile(const GUID& id);
  HRESULT DeleteProfile(const GUID& id);
  // S_OK when the key did something, S_FALSE when not.
  HRESULT PressKey(DWORD keyCode);
  void ResetToFactory();
  HRESULT ImportProfileFile(const std::wstring& path, GUID& newId);
  HRESULT ExportProfileFile(const GUID& id, const std::wstring& path);
  HRESULT ImportMacroFile(const std::wstring& path, GUID& newId);
  HRESULT ExportMacroFile(const GUID& id, const std::wstring& path);

  // Event sinks, shared by every event source object of their kind.
  DWORD AddSink(EventSource source, IUnknown* sink);  // 0 when refused
  bool RemoveSink(EventSource source, DWORD cookie);
  size_t SinkCount(EventSource source) const;
  void RaiseProfileChanged(const GUID& id);
  // step: 1 started, 2 stopped, 3 finished (with the key code), 4 cancelled.
  void RaiseRecording(int step, DWORD keyCode);
  void RaiseApplication(int kind, const std::wstring& path);
  // Runs the posted events and the due write now (tests; the service's loop does
  // it as messages arrive).
  void DispatchPending();

  void Log(const std::wstring& line);
  // What the start found (state file read, missing, or kept aside).
  const std::wstring& StartNotice() const { return m_startNotice; }

  void SetShutdownHandler(std::function<void()> handler) { m_shutdown = std::move(handler); }
  void RequestShutdown();

 private:
  explicit CServiceCore(Options options);
  void Load();
  void MoveAsideLog() const;
  void Post(std::function<void()> event);
  void Fire(EventSource source, const std::function<HRESULT(IUnknown*)>& call, const wchar_t* name);
  bool ReadFileText(const std::wstring& path, std::string& text, std::wstring& error) const;
  bool WriteFileAtomically(const std::wstring& path, const std::string& text, std::wstring& error) const;
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  struct Fault {
    HRESULT status = S_OK;
    DWORD delayMs = 0;
    DWORD onCall = 0;  // 0: every call; otherwise only this one
    DWORD seen = 0;    // calls of the method since the fault was set
  };
  struct Sink {
    DWORD cookie;
    platform::ComRef<IUnknown> sink;  // the event interface
  };

  Options m_options;
  ServiceState m_state;
  bool m_plugged = true;
  int m_mode = 1;
  bool m_dirty = false;
  bool m_timerArmed = false;
  int m_operations = 0;
  HWND m_window = nullptr;
  std::map<std::wstring, Fault> m_faults;
  std::deque<std::wstring> m_callLog;
  std::vector<Sink> m_sinks[kEventSourceCount];
  DWORD m_nextCookie = 1;
  std::mutex m_pendingLock;
  std::deque<std::function<void()>> m_pending;
  std::wstring m_startNotice;
  std::function<void()> m_shutdown;
};
