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
    core_ = CServiceCore::Create(std::move(options));
    registration_ = std::make_unique<CServiceClassRegistration>(core_);
  }
  ~CInProcessDeviceService() {
    registration_.reset();
    core_.reset();
  }
  CInProcessDeviceService(const CInProcessDeviceService&) = delete;
  CInProcessDeviceService& operator=(const CInProcessDeviceService&) = delete;

  bool Registered() const { return SUCCEEDED(registration_->Status()); }
  // The call log, injected failures and delays, the keyboard's own actions
  // (PressKey, RaiseRecording, SetPlugged), and the state itself.
  CServiceCore& Core() { return *core_; }

 private:
  std::shared_ptr<CServiceCore> core_;
  std::unique_ptr<CServiceClassRegistration> registration_;
};
