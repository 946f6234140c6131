// The stand-in service's core hosted in the test process, for tests of the device
// layer, the configurator and the tray client. Registered (the default), it is the
// class object of this apartment, so CoCreateInstance(CLSID_DeviceServiceClass, ...)
// reaches this core directly; unregistered, it is reached only through Factory(),
// which a device-manager seam takes. The thread must pump messages for events and
// the delayed write (see platform/testing/MessagePump.h).
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "platform/Com.h"
#include "service/ServiceObjects.h"
#include "service/SimKeyboard.h"

class CInProcessDeviceService {
 public:
  enum class Reach { Registered, FactoryOnly };

  // stateFile empty: nothing is persisted.
  explicit CInProcessDeviceService(const std::wstring& stateFile = L"", Reach reach = Reach::Registered) {
    CServiceCore::Options options;
    options.stateFile = stateFile;
    options.keyboard = SimKeyboardKeys();
    m_core = CServiceCore::Create(std::move(options));
    m_factory = platform::ComRef<IClassFactory>(NewDeviceServiceFactory(m_core));
    if (reach == Reach::Registered) m_registration = std::make_unique<CServiceClassRegistration>(m_core);
  }
  ~CInProcessDeviceService() {
    m_registration.reset();
    m_factory.Reset();
    m_core.reset();
  }
  CInProcessDeviceService(const CInProcessDeviceService&) = delete;
  CInProcessDeviceService& operator=(const CInProcessDeviceService&) = delete;

  bool Registered() const { return m_registration != nullptr && SUCCEEDED(m_registration->Status()); }
  // The service class's factory, for a device-manager seam.
  IClassFactory* Factory() const { return m_factory.Get(); }
  // The call log, injected failures and delays, the keyboard's own actions
  // (PressKey, RaiseRecording, SetPlugged), and the state itself.
  CServiceCore& Core() { return *m_core; }

 private:
  std::shared_ptr<CServiceCore> m_core;
  platform::ComRef<IClassFactory> m_factory;
  std::unique_ptr<CServiceClassRegistration> m_registration;
};
