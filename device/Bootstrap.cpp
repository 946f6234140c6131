#include "device/Bootstrap.h"

#include "device/Keyboard.h"
#include "gui/base/SkinNameTables.h"

namespace {
CKeyboard* gDevice = nullptr;
}  // namespace

CKeyboard* GlobalDevice() { return gDevice; }

bool CreateDeviceAndTables(IGenDevice** device, IKeyboardConfig* config, DeviceManagerFactory factory) {
  delete gDevice;
  gDevice = new CKeyboard();
  if (factory) gDevice->SetDeviceManagerFactory(std::move(factory));
  // The start-up's further reads use this read's connection, until the main
  // window has read the configuration (IGenDevice::EndHeldConnection).
  gDevice->HoldConnection();
  const bool read = gDevice->ReadFromDevice(config);
  if (device != nullptr) *device = gDevice;
  if (config != nullptr) config->SetDevice(gDevice);
  BuildNameTables();
  return read;
}

void DestroyGlobals() {
  delete gDevice;
  gDevice = nullptr;
}
