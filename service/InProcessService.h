// The stand-in service hosted in the calling thread's apartment, for tests of the
// device layer and the tray client: CoCreateInstance(CLSID_DeviceServiceClass, ...)
// then reaches this core directly. The thread must pump messages for events and
// the delayed write (see PumpUntil in service/ServiceTestSupport.h).
#pragma once
#include <memory>
#include <string>

#include "service/ServiceObjects.h"
#include "service/SimKeyboard.h"

class CInProcessDeviceService {
 public:
  // stateFile empty: nothing is persisted.
  explicit CInProcessDeviceService(const std::wstring& stateFile = L"") {
    CServiceCore::Options options;
    options.stateFile = stateFile;
    options.keyboard = SimKeyboardKeys();
    m_core = CServiceCore::Create(std::move(options));
    m_registration = std::make_unique<CServiceClassRegistration>(m_core);
  }
  ~CInProcessDeviceService() {
    m_registration.reset();
    m_core.reset();
  }
  CInProcessDeviceService(const CInProcessDeviceService&) = delete;
  CInProcessDeviceService& operator=(const CInProcessDeviceService&) = delete;

  bool Registered() const { return SUCCEEDED(m_registration->Status()); }
  // The call log, injected failures and delays, the keyboard's own actions
  // (PressKey, RaiseRecording, SetPlugged), and the state itself.
  CServiceCore& Core() { return *m_core; }

 private:
  std::shared_ptr<CServiceCore> m_core;
  std::unique_ptr<CServiceClassRegistration> m_registration;
};
