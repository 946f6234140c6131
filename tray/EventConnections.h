// The tray's connections to the device service's events. Each connection owns a
// small COM sink that forwards the events to a plain handler interface, which the
// main dialog implements. A connection exists only when it is advised: creation
// fails (null) without a container, a connection point or a successful Advise.
#pragma once
#include <windows.h>
#include <ocidl.h>

#include <memory>

#include "platform/Com.h"
#include "service/DeviceServiceIds.h"

class IProfileEventHandler {
 public:
  virtual void OnProfileChanged(const GUID* profileId) = 0;

 protected:
  ~IProfileEventHandler() = default;
};

class IMacroEventHandler {
 public:
  virtual void OnMacroRecordStart() = 0;
  virtual void OnMacroRecordStop() = 0;
  virtual void OnMacroRecordCancel() = 0;
  virtual void OnMacroRecordFinish(int first, int deviceKeyCode) = 0;

 protected:
  ~IMacroEventHandler() = default;
};

class ILaunchAppEventHandler {
 public:
  virtual void OnLaunchApplication(int kind, const wchar_t* path) = 0;

 protected:
  ~ILaunchAppEventHandler() = default;
};

class IDpiEventHandler {
 public:
  virtual void OnDpiChanged(int x, int y) = 0;

 protected:
  ~IDpiEventHandler() = default;
};

namespace tray {
// A call's result that says the object behind a proxy no longer exists: the
// server's process ended or is unreachable, or the object was disconnected.
bool IsServerGone(HRESULT hr);

// What a connection needs of its sink beyond IUnknown.
class ClearableSink {
 public:
  virtual void ClearHandler() = 0;

 protected:
  ~ClearableSink() = default;
};
}  // namespace tray

// Reference counting and QueryInterface (IUnknown and the event interface) of a
// sink. The count is a plain integer: the sink lives in the single-threaded
// apartment of the tray's one thread.
template <typename TEvents>
class IUnknownImpl : public TEvents {
 public:
  virtual ~IUnknownImpl() = default;
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != __uuidof(TEvents)) return E_NOINTERFACE;
    *ppv = static_cast<TEvents*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++m_refs); }
  STDMETHODIMP_(ULONG) Release() override {
    const long n = --m_refs;
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }

 private:
  long m_refs = 1;
};

// A sink forwards to its handler while one is set; it holds a reference to itself
// during the call (the handler may drop the connection that owns the sink).
template <typename TEvents, typename THandler>
class CEventSinkBase : public IUnknownImpl<TEvents>, public tray::ClearableSink {
 public:
  explicit CEventSinkBase(THandler* handler) : m_handler(handler) {}
  void ClearHandler() override { m_handler = nullptr; }
  THandler* Handler() const { return m_handler; }

 protected:
  template <typename F>
  HRESULT Forward(F call) {
    if (!m_handler) return S_OK;
    this->AddRef();
    call(m_handler);
    this->Release();
    return S_OK;
  }

 private:
  THandler* m_handler;
};

class CProfileEventSink : public CEventSinkBase<_IProfileManagerEvents, IProfileEventHandler> {
 public:
  using CEventSinkBase::CEventSinkBase;
  STDMETHODIMP OnActiveProfileChanged(const GUID* profileId) override;
};

class CMacroEventSink : public CEventSinkBase<_IOTFMacroRecordingEvents, IMacroEventHandler> {
 public:
  using CEventSinkBase::CEventSinkBase;
  STDMETHODIMP OnRecordingStarted() override;
  STDMETHODIMP OnRecordingStopped() override;
  STDMETHODIMP OnRecordingFinished(int first, int keyCode) override;
  STDMETHODIMP OnRecordingCancelled() override;
};

class CLaunchAppEventSink : public CEventSinkBase<_IApplicationEvent, ILaunchAppEventHandler> {
 public:
  using CEventSinkBase::CEventSinkBase;
  STDMETHODIMP OnApplicationEvent(int kind, LPCWSTR path) override;
};

class CDpiEventSink : public CEventSinkBase<_IDPIEvents, IDpiEventHandler> {
 public:
  using CEventSinkBase::CEventSinkBase;
  STDMETHODIMP OnDPIChanged(int x, int y) override;
};

// One advised connection: the event source, the connection point Advise was
// called on, the cookie, and the sink's creation reference. Its end first stops
// the sink from calling the handler (an event may arrive inside Unadvise), then
// unadvises on the same point, then drops its sink reference: the sink itself
// goes when COM and the service let go of it too.
class CEventConnectionBase {
 public:
  virtual ~CEventConnectionBase();
  CEventConnectionBase(const CEventConnectionBase&) = delete;
  CEventConnectionBase& operator=(const CEventConnectionBase&) = delete;
  DWORD Cookie() const { return m_cookie; }
  // One call through the held connection point: false when it fails because the
  // service's side is gone (its process ended, or the point was disconnected), so
  // no event will come through this connection again. Any other answer, failures
  // included, comes from a service that still runs.
  bool Answers() const;

 protected:
  CEventConnectionBase() = default;
  // Takes the sink's creation reference and advises it for `iid` on the source;
  // false when the source has no container or connection point, or Advise fails.
  bool Advise(IUnknown* source, REFIID iid, IUnknown* sink, tray::ClearableSink* control);

 private:
  platform::ComRef<IUnknown> m_source;
  platform::ComRef<IConnectionPoint> m_point;
  platform::ComRef<IUnknown> m_sink;
  tray::ClearableSink* m_sinkControl = nullptr;
  DWORD m_cookie = 0;
};

class CProfileEventConnection : public CEventConnectionBase {
 public:
  static std::unique_ptr<CProfileEventConnection> Create(IUnknown* source, IProfileEventHandler* handler);
};

class CMacroEventConnection : public CEventConnectionBase {
 public:
  static std::unique_ptr<CMacroEventConnection> Create(IUnknown* source, IMacroEventHandler* handler);
};

class CLaunchAppEventConnection : public CEventConnectionBase {
 public:
  static std::unique_ptr<CLaunchAppEventConnection> Create(IUnknown* source, ILaunchAppEventHandler* handler);
};

class CDpiEventConnection : public CEventConnectionBase {
 public:
  // The source is the active profile's IDPI; its GetDPI is read right after advising.
  static std::unique_ptr<CDpiEventConnection> Create(IDPI* source, IDpiEventHandler* handler);
  int m_x = 0, m_y = 0, m_stage = 0;
};
