#include "device/BaseDevice.h"

#include <utility>

namespace {

// Waits for a thread to end. On a single-threaded apartment the wait keeps serving
// incoming COM calls, so a service object living on this thread (as in tests) can
// still answer the thread being waited for.
bool WaitForThreadEnd(HANDLE thread, DWORD timeoutMs) {
  DWORD index = 0;
  const HRESULT hr = CoWaitForMultipleHandles(0, timeoutMs, 1, &thread, &index);
  if (hr == CO_E_NOTINITIALIZED) return WaitForSingleObject(thread, timeoutMs) == WAIT_OBJECT_0;
  return hr == S_OK;
}

// Gives back a marshalled interface that was never unmarshalled.
void ReleaseMarshalledStream(ComRef<IStream>& stream) {
  if (!stream) return;
  LARGE_INTEGER start{};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  CoReleaseMarshalData(stream.Get());
  stream.Reset();
}

}  // namespace

namespace device {

void WriteWaits::Linger(HANDLE wake, DWORD ms) { WaitForSingleObject(wake, ms); }

bool WriteWaits::WaitForThread(HANDLE thread, DWORD ms) { return WaitForThreadEnd(thread, ms); }

}  // namespace device

DeviceManagerFactory DefaultDeviceManagerFactory() {
  return [](IDeviceManager** manager) {
    return CoCreateInstance(CLSID_DeviceServiceClass, nullptr, kDeviceServiceContext, __uuidof(IDeviceManager),
                            reinterpret_cast<void**>(manager));
  };
}

DeviceThreadParams::DeviceThreadParams() : wake(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

DeviceThreadParams::~DeviceThreadParams() { ReleaseMarshalledStream(deviceStream); }

CDeviceConnection::CDeviceConnection()
    : m_descriptor(&kOvrixDeviceDescriptor),
      m_factory(DefaultDeviceManagerFactory()),
      m_waits(std::make_shared<device::WriteWaits>()) {}

CDeviceConnection::~CDeviceConnection() {
  WaitForWriteOnDestruction();
  ReleaseDeviceState();
}

void CDeviceConnection::ReleaseDeviceState() {
  Disconnect();
  m_present = false;
  ClearKeyCodes();
  m_firmwareVersion.clear();
  m_secondVersion.clear();
  m_device.Reset();
  m_manager.Reset();
}

bool CDeviceConnection::Connect() {
  CollectFinishedWrite();
  if (m_descriptor->productId == 0) return false;
  // Another connection is open (a running write holds one): leave it alone.
  if (m_device || m_manager) return false;
  ComRef<IDeviceManager> manager;
  if (!m_factory || FAILED(m_factory(manager.Out())) || !manager) return false;
  ComRef<IDevice> found;
  for (int index = 0; index < kMaxDeviceObjects; ++index) {
    ComRef<IDevice> candidate;
    if (FAILED(manager->GetDevice(index, candidate.Out())) || !candidate) break;
    DeviceInfo info{};
    const HRESULT hr = candidate->GetInfo(&info);
    CoTaskMemFree(info.text);
    if (FAILED(hr)) continue;  // the candidate is released with its owner
    if (info.productId == m_descriptor->productId) {
      found = std::move(candidate);
      break;
    }
  }
  m_present = static_cast<bool>(found);
  if (!found) return false;  // the manager goes with its owner
  m_manager = std::move(manager);
  m_device = std::move(found);
  return true;
}

void CDeviceConnection::Disconnect() {
  if (m_descriptor->productId == 0) return;
  m_device.Reset();
  m_manager.Reset();
}

bool CDeviceConnection::OpenForOperation() {
  if (m_holdConnection && m_device && !m_writeThread) return true;
  return Connect();
}

void CDeviceConnection::CloseAfterOperation() {
  if (!m_holdConnection) Disconnect();
}

void CDeviceConnection::EndHeldConnection() {
  if (!m_holdConnection) return;
  m_holdConnection = false;
  // A write never runs under a hold (it ends the hold first): what is open is held.
  if (!m_writeThread) Disconnect();
}

bool CDeviceConnection::CallConnected(const DeviceThreadParams::Job& job, IKeyboardConfig* config,
                                      TransferMask mask) {
  ScopedConnection connection(*this);
  if (!connection) return false;
  DeviceSession session = WindowSession();
  return job(session, config, mask);
}

bool CDeviceConnection::StartWriteThread(std::unique_ptr<DeviceThreadParams> params) {
  CollectFinishedWrite();
  if (params == nullptr || m_writeThread) return false;
  // The write's connection is its own, marshalled to its thread.
  EndHeldConnection();
  if (!Connect()) return false;
  params->device = this;
  params->keyCodes = m_keyCodes;
  params->known = m_known;
  params->waits = m_waits;
  // The thread enters its own apartment and reaches the connection's device through
  // a marshalled reference, never through this thread's pointer.
  if (!params->wake ||
      FAILED(CoMarshalInterThreadInterfaceInStream(__uuidof(IDevice), m_device.Get(), params->deviceStream.Out()))) {
    Disconnect();
    return false;
  }
  m_params = std::move(params);
  m_writing = true;
  HANDLE thread = CreateThread(nullptr, 0, WriteThreadRoutine, m_params.get(), 0, nullptr);
  if (thread == nullptr) {
    m_writing = false;
    m_params.reset();
    Disconnect();
    return false;
  }
  m_writeThread.Reset(thread);
  return true;
}

DWORD WINAPI CDeviceConnection::WriteThreadRoutine(void* param) {
  auto* params = static_cast<DeviceThreadParams*>(param);
  DWORD exitCode = 0;
  platform::ComApartment apartment(COINIT_MULTITHREADED);
  if (apartment.IsInitialised()) {
    if (params->device != nullptr && params->device->PresentFlag()) {
      ComRef<IDevice> device;
      IStream* stream = params->deviceStream.Detach();  // the call below releases it
      if (SUCCEEDED(CoGetInterfaceAndReleaseStream(stream, __uuidof(IDevice), device.OutVoid())) && device) {
        DeviceSession session{device.Get(), &params->keyCodes, &params->known, &params->stop, &params->keyTable};
        params->result = params->job && params->job(session, params->config, params->mask);
        exitCode = params->result ? 1 : 0;
        // The write counts as running a while longer; a stop request cuts this short.
        if (!params->stop.load()) params->waits->Linger(params->wake.Get(), kWriteLingerMs);
      }
    }  // the thread's own references go here, in its own apartment
    apartment.Uninitialize();
  }
  if (params->device != nullptr) params->device->m_writing = false;
  return exitCode;
}

void CDeviceConnection::CollectFinishedWrite() {
  // Only a thread that has ended completely is collected, so the window thread never
  // waits here (and never dispatches anything while it would).
  if (m_destroying || !m_writeThread || m_writing.load() ||
      WaitForSingleObject(m_writeThread.Get(), 0) != WAIT_OBJECT_0)
    return;
  EndWrite(true);
}

void CDeviceConnection::EndWrite(bool runCompletion) {
  WaitForThreadEnd(m_writeThread.Get(), INFINITE);
  m_writeThread.Close();
  std::unique_ptr<DeviceThreadParams> params = std::move(m_params);
  ReleaseMarshalledStream(params->deviceStream);
  Disconnect();  // the connection the write was started with
  m_lastWriteSucceeded = params->result;
  if (!runCompletion) return;
  m_known = std::move(params->known);
  if (params->completion) params->completion(*params);
}

void CDeviceConnection::WaitForWriteOnDestruction() {
  if (!m_writeThread) return;
  // The waits below serve incoming calls and sent messages; a handler that asks
  // IsWriting meanwhile must not collect the write from under this wait.
  m_destroying = true;
  if (!m_waits->WaitForThread(m_writeThread.Get(), kWriteWaitMs)) {
    // Asked to stop between two service calls, and waited for until it has: until
    // then it still uses its connection and its copies.
    m_params->stop = true;
    SetEvent(m_params->wake.Get());
    WaitForThreadEnd(m_writeThread.Get(), INFINITE);
  }
  EndWrite(false);
}
