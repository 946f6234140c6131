// Raw input: the registrar that asks the system for the keyboard's and the
// mouse's raw input for one window and removes the registration again, and the
// one reader of a WM_INPUT record that every handler uses. Both go through a
// seam so tests can register nothing and feed hand-built records.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace device {

class IRawInputApi {
 public:
  virtual ~IRawInputApi() = default;
  virtual BOOL RegisterDevices(const RAWINPUTDEVICE* devices, UINT count, UINT entrySize) = 0;  // RegisterRawInputDevices
  virtual UINT GetData(HRAWINPUT input, UINT command, void* data, UINT* size, UINT headerSize) = 0;  // GetRawInputData
};

// The seam in force: the system's calls unless a test set its own.
IRawInputApi& RawInputApi();
// Null puts the system's calls back.
void SetRawInputApi(IRawInputApi* api);

// One WM_INPUT record, read and checked. Its storage is aligned for RAWINPUT.
class RawInputRecord {
 public:
  const RAWINPUT* Get() const { return m_size ? reinterpret_cast<const RAWINPUT*>(m_storage.data()) : nullptr; }
  UINT Size() const { return m_size; }
  // The keyboard or mouse part, or null when the record is of another type.
  const RAWKEYBOARD* Keyboard() const;
  const RAWMOUSE* Mouse() const;

 private:
  friend bool ReadRawInput(LPARAM lParam, RawInputRecord& record);
  std::vector<uint64_t> m_storage;
  UINT m_size = 0;
};

// Reads the record of a WM_INPUT (its lParam): first the size, then a buffer of
// that size. False, leaving the record empty, when a read fails, the size is 0
// or below the header, the header's size disagrees with what was read, or the
// record is shorter than its type's structure. The caller then gives WM_INPUT
// its default handling as always.
bool ReadRawInput(LPARAM lParam, RawInputRecord& record);

}  // namespace device

// The HID usages (generic desktop page) to receive raw input for, registered for
// one target window.
class RawInputRegistrar {
 public:
  static constexpr USHORT kUsagePageGeneric = 1;
  static constexpr USHORT kUsageMouse = 2;
  static constexpr USHORT kUsageKeyboard = 6;

  RawInputRegistrar() = default;
  RawInputRegistrar(const RawInputRegistrar&) = delete;
  RawInputRegistrar& operator=(const RawInputRegistrar&) = delete;

  // Appends the usage unless it is in the list already.
  void AddUsage(uint16_t usage);
  // False when registered already, when a device array exists (a failed
  // registration stays until Unregister), for a null window, or without usages.
  // Otherwise registers every usage for the window: the mouse with
  // RIDEV_INPUTSINK, other usages also with RIDEV_NOLEGACY. The result is the
  // system's.
  bool Register(HWND target);
  // With a device array: removes every usage's registration. Then the array is
  // freed, the usages emptied and the registered flag cleared.
  void Unregister();

  const std::vector<uint16_t>& Usages() const { return m_usages; }
  const RAWINPUTDEVICE* Devices() const { return m_devices.get(); }
  size_t DeviceCount() const { return m_deviceCount; }
  bool IsRegistered() const { return m_registered != 0; }

 private:
  std::vector<uint16_t> m_usages;
  std::unique_ptr<RAWINPUTDEVICE[]> m_devices;
  size_t m_deviceCount = 0;
  uint8_t m_registered = 0;
};

// The registrar the skinned controls share (the tray's recorder has its own).
RawInputRegistrar& FrameworkRawInputRegistrar();
