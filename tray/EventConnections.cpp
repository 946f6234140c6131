#include "tray/EventConnections.h"

#include <utility>

STDMETHODIMP CProfileEventSink::OnActiveProfileChanged(const GUID* profileId) {
  if (!profileId) return S_OK;
  return Forward([&](IProfileEventHandler* h) { h->OnProfileChanged(profileId); });
}

STDMETHODIMP CMacroEventSink::OnRecordingStarted() {
  return Forward([](IMacroEventHandler* h) { h->OnMacroRecordStart(); });
}
STDMETHODIMP CMacroEventSink::OnRecordingStopped() {
  return Forward([](IMacroEventHandler* h) { h->OnMacroRecordStop(); });
}
STDMETHODIMP CMacroEventSink::OnRecordingFinished(int first, int keyCode) {
  return Forward([&](IMacroEventHandler* h) { h->OnMacroRecordFinish(first, keyCode); });
}
STDMETHODIMP CMacroEventSink::OnRecordingCancelled() {
  return Forward([](IMacroEventHandler* h) { h->OnMacroRecordCancel(); });
}

STDMETHODIMP CLaunchAppEventSink::OnApplicationEvent(int kind, LPCWSTR path) {
  if (!path) return S_OK;
  return Forward([&](ILaunchAppEventHandler* h) { h->OnLaunchApplication(kind, path); });
}

STDMETHODIMP CDpiEventSink::OnDPIChanged(int x, int y) {
  return Forward([&](IDpiEventHandler* h) { h->OnDpiChanged(x, y); });
}

namespace {
// HRESULT_FROM_WIN32 for an RPC status, usable as a case label.
constexpr HRESULT FromRpcStatus(long status) {
  return static_cast<HRESULT>((static_cast<unsigned long>(status) & 0xFFFFu) | (FACILITY_WIN32 << 16) | 0x80000000u);
}
}  // namespace

bool tray::IsServerGone(HRESULT hr) {
  switch (hr) {
    case RPC_E_DISCONNECTED:
    case RPC_E_SERVER_DIED:
    case RPC_E_SERVER_DIED_DNE:
    case RPC_E_INVALID_OBJECT:
    case CO_E_OBJNOTCONNECTED:
    case FromRpcStatus(RPC_S_SERVER_UNAVAILABLE):
    case FromRpcStatus(RPC_S_CALL_FAILED):
    case FromRpcStatus(RPC_S_CALL_FAILED_DNE):
      return true;
    default:
      return false;
  }
}

bool CEventConnectionBase::Answers() const {
  if (!m_point) return false;
  // Our own reference for the call: COM's wait loop may run a handler that drops
  // this connection while the call is out.
  const auto point = platform::ComRef<IConnectionPoint>::Copy(m_point.Get());
  IID iid{};
  const HRESULT hr = point->GetConnectionInterface(&iid);
  return !tray::IsServerGone(hr);
}

CEventConnectionBase::~CEventConnectionBase() {
  if (m_sinkControl) m_sinkControl->ClearHandler();
  if (m_cookie && m_point) m_point->Unadvise(m_cookie);
  m_point.Reset();
  m_sink.Reset();
  m_source.Reset();
}

bool CEventConnectionBase::Advise(IUnknown* source, REFIID iid, IUnknown* sink, tray::ClearableSink* control) {
  m_sink = platform::ComRef<IUnknown>(sink);  // the sink's creation reference, handed over
  m_sinkControl = control;
  if (!source || !sink) return false;
  m_source = platform::ComRef<IUnknown>::Copy(source);
  platform::ComRef<IConnectionPointContainer> container;
  if (FAILED(source->QueryInterface(IID_IConnectionPointContainer, container.OutVoid())) || !container) return false;
  platform::ComRef<IConnectionPoint> point;
  if (FAILED(container->FindConnectionPoint(iid, point.Out())) || !point) return false;
  DWORD cookie = 0;
  if (FAILED(point->Advise(sink, &cookie)) || cookie == 0) return false;
  m_point = std::move(point);
  m_cookie = cookie;
  return true;
}

namespace {

template <typename TConnection, typename TSink, typename TEvents, typename THandler>
std::unique_ptr<TConnection> MakeConnection(IUnknown* source, THandler* handler,
                                            bool (TConnection::*advise)(IUnknown*, REFIID, IUnknown*,
                                                                        tray::ClearableSink*)) {
  auto connection = std::make_unique<TConnection>();
  auto* sink = new TSink(handler);
  if (!((*connection).*advise)(source, __uuidof(TEvents), static_cast<TEvents*>(sink), sink)) return nullptr;
  return connection;
}

}  // namespace

std::unique_ptr<CProfileEventConnection> CProfileEventConnection::Create(IUnknown* source,
                                                                         IProfileEventHandler* handler) {
  return MakeConnection<CProfileEventConnection, CProfileEventSink, _IProfileManagerEvents>(
      source, handler, &CProfileEventConnection::Advise);
}

std::unique_ptr<CMacroEventConnection> CMacroEventConnection::Create(IUnknown* source, IMacroEventHandler* handler) {
  return MakeConnection<CMacroEventConnection, CMacroEventSink, _IOTFMacroRecordingEvents>(
      source, handler, &CMacroEventConnection::Advise);
}

std::unique_ptr<CLaunchAppEventConnection> CLaunchAppEventConnection::Create(IUnknown* source,
                                                                             ILaunchAppEventHandler* handler) {
  return MakeConnection<CLaunchAppEventConnection, CLaunchAppEventSink, _IApplicationEvent>(
      source, handler, &CLaunchAppEventConnection::Advise);
}

std::unique_ptr<CDpiEventConnection> CDpiEventConnection::Create(IDPI* source, IDpiEventHandler* handler) {
  auto connection = MakeConnection<CDpiEventConnection, CDpiEventSink, _IDPIEvents>(
      source, handler, &CDpiEventConnection::Advise);
  if (connection) source->GetDPI(&connection->m_x, &connection->m_y, &connection->m_stage);
  return connection;
}
