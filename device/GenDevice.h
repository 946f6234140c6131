// What the window code sees of the keyboard: one device object that reads the
// configuration from the device service, writes it back on a background thread,
// and carries out the single device operations (files, remapping, counts).
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "device/DeviceRecords.h"
#include "device/KeyboardConfig.h"

enum TransferDirection : int {
  TRANSFER_TO_DEVICE = 0,
  TRANSFER_FROM_DEVICE = 1,
};

class IGenDevice {
 public:
  virtual bool ReadFromDevice(IKeyboardConfig* config) = 0;
  virtual void ReleaseAll() = 0;
  virtual bool IsWriting() = 0;
  virtual bool ImportMacroFile(const std::wstring& path, IKeyboardConfig* config) = 0;
  virtual bool ExportMacroFile(const std::wstring& path, CMacro* macro) = 0;
  virtual bool MacroExists(CMacro* macro) = 0;
  virtual bool ImportProfileFile(const std::wstring& path, IKeyboardConfig* config) = 0;
  virtual bool ExportProfileFile(const std::wstring& path, IKeyboardProfile* profile) = 0;
  virtual bool ProfileExists(IKeyboardProfile* profile) = 0;
  virtual bool SuspendRemapping() = 0;
  virtual bool ResumeRemapping() = 0;
  virtual bool ReadValue(DWORD* out) = 0;
  // Direction 1 reads synchronously; direction 0 starts the background write and
  // returns whether it started.
  virtual bool TransferConfig(IKeyboardConfig* config, int direction, TransferMask mask) = 0;
  virtual bool IsPresent() = 0;
  virtual bool GetFirmwareVersion(std::wstring& out) = 0;
  virtual bool GetSecondVersion(std::wstring& out) = 0;
  virtual uint32_t GetProductId() = 0;
  virtual int GetProfileCount() = 0;
  virtual int GetMacroCount() = 0;
  // The outcome of the last background write that has ended (true before any):
  // the window marks its configuration modified again when it failed.
  virtual bool LastWriteSucceeded() = 0;
  // The start-up's reads are done: the connection they shared is closed, and each
  // operation from here on connects for itself.
  virtual void EndHeldConnection() = 0;

 protected:
  ~IGenDevice() = default;  // deleted through its class only
};
