#include "device/RawInput.h"

#include <algorithm>
#include <cstddef>

namespace device {
namespace {

class SystemRawInput final : public IRawInputApi {
 public:
  BOOL RegisterDevices(const RAWINPUTDEVICE* devices, UINT count, UINT entrySize) override {
    return ::RegisterRawInputDevices(devices, count, entrySize);
  }
  UINT GetData(HRAWINPUT input, UINT command, void* data, UINT* size, UINT headerSize) override {
    return ::GetRawInputData(input, command, data, size, headerSize);
  }
};

SystemRawInput g_system;
IRawInputApi* g_inForce = &g_system;

constexpr UINT kHeaderSize = sizeof(RAWINPUTHEADER);
constexpr UINT kKeyboardSize = offsetof(RAWINPUT, data) + sizeof(RAWKEYBOARD);
constexpr UINT kMouseSize = offsetof(RAWINPUT, data) + sizeof(RAWMOUSE);
constexpr UINT kHidFixedSize = offsetof(RAWINPUT, data) + offsetof(RAWHID, bRawData);

// Whether a record of `size` bytes holds the whole structure its type promises.
bool HoldsItsType(const RAWINPUT& input, UINT size) {
  switch (input.header.dwType) {
    case RIM_TYPEKEYBOARD: return size >= kKeyboardSize;
    case RIM_TYPEMOUSE: return size >= kMouseSize;
    case RIM_TYPEHID: {
      if (size < kHidFixedSize) return false;
      const uint64_t reports = static_cast<uint64_t>(input.data.hid.dwSizeHid) * input.data.hid.dwCount;
      return reports <= size - kHidFixedSize;
    }
    default: return true;  // a type we do not read: only its header is used
  }
}

}  // namespace

IRawInputApi& RawInputApi() { return *g_inForce; }
void SetRawInputApi(IRawInputApi* api) { g_inForce = api ? api : &g_system; }

const RAWKEYBOARD* RawInputRecord::Keyboard() const {
  const RAWINPUT* input = Get();
  return input && input->header.dwType == RIM_TYPEKEYBOARD ? &input->data.keyboard : nullptr;
}

const RAWMOUSE* RawInputRecord::Mouse() const {
  const RAWINPUT* input = Get();
  return input && input->header.dwType == RIM_TYPEMOUSE ? &input->data.mouse : nullptr;
}

bool ReadRawInput(LPARAM lParam, RawInputRecord& record) {
  record.m_storage.clear();
  record.m_size = 0;
  HRAWINPUT handle = reinterpret_cast<HRAWINPUT>(lParam);
  IRawInputApi& api = RawInputApi();
  UINT size = 0;
  if (api.GetData(handle, RID_INPUT, nullptr, &size, kHeaderSize) != 0) return false;
  if (size == 0 || size < kHeaderSize) return false;
  std::vector<uint64_t> storage((size + sizeof(uint64_t) - 1) / sizeof(uint64_t), 0);
  UINT capacity = size;
  const UINT read = api.GetData(handle, RID_INPUT, storage.data(), &capacity, kHeaderSize);
  if (read == static_cast<UINT>(-1) || read < kHeaderSize || read > size) return false;
  const RAWINPUT& input = *reinterpret_cast<const RAWINPUT*>(storage.data());
  if (input.header.dwSize != read) return false;
  if (!HoldsItsType(input, read)) return false;
  record.m_storage = std::move(storage);
  record.m_size = read;
  return true;
}

}  // namespace device

void RawInputRegistrar::AddUsage(uint16_t usage) {
  if (std::find(m_usages.begin(), m_usages.end(), usage) == m_usages.end()) m_usages.push_back(usage);
}

bool RawInputRegistrar::Register(HWND target) {
  if (m_registered || m_devices || !target || m_usages.empty()) return false;
  const size_t count = m_usages.size();
  m_devices = std::make_unique<RAWINPUTDEVICE[]>(count);
  for (size_t i = 0; i < count; ++i) {
    RAWINPUTDEVICE& device = m_devices[i];
    device.usUsagePage = kUsagePageGeneric;
    device.usUsage = m_usages[i];
    device.dwFlags = m_usages[i] == kUsageMouse ? RIDEV_INPUTSINK : (RIDEV_INPUTSINK | RIDEV_NOLEGACY);
    device.hwndTarget = target;
  }
  m_deviceCount = count;
  const BOOL ok = device::RawInputApi().RegisterDevices(m_devices.get(), static_cast<UINT>(count), sizeof(RAWINPUTDEVICE));
  m_registered = ok ? 1 : 0;
  return ok != FALSE;
}

void RawInputRegistrar::Unregister() {
  if (m_devices) {
    // The array's own count: usages added after Register have no entry.
    const size_t count = m_deviceCount;
    for (size_t i = 0; i < count; ++i) {
      m_devices[i].dwFlags = RIDEV_REMOVE;
      m_devices[i].hwndTarget = nullptr;
    }
    device::RawInputApi().RegisterDevices(m_devices.get(), static_cast<UINT>(count), sizeof(RAWINPUTDEVICE));
    m_devices.reset();
    m_deviceCount = 0;
  }
  m_usages.clear();
  m_registered = 0;
}

RawInputRegistrar& FrameworkRawInputRegistrar() {
  static RawInputRegistrar registrar;
  return registrar;
}
