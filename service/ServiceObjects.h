// The COM face of the service core: the device manager class (DeviceServiceClass)
// with every object reached from it, and the private control class. The same
// objects serve DeviceService.exe and tests that host the core in their process.
#pragma once
#include <windows.h>

#include <memory>

#include "service/DeviceServiceIds.h"
#include "service/ServiceCore.h"

// Class factories of the two classes, bound to one core.
IClassFactory* NewDeviceServiceFactory(std::shared_ptr<CServiceCore> core);
IClassFactory* NewDeviceServiceControlFactory(std::shared_ptr<CServiceCore> core);

// Both class objects registered for the calling apartment (CoRegisterClassObject,
// local server, many uses) and revoked again by the destructor.
class CServiceClassRegistration {
 public:
  explicit CServiceClassRegistration(std::shared_ptr<CServiceCore> core);
  ~CServiceClassRegistration();
  CServiceClassRegistration(const CServiceClassRegistration&) = delete;
  CServiceClassRegistration& operator=(const CServiceClassRegistration&) = delete;
  HRESULT Status() const { return m_status; }

 private:
  DWORD m_serviceCookie = 0;
  DWORD m_controlCookie = 0;
  HRESULT m_status = E_FAIL;
};
