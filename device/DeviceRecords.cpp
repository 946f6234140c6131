#include "device/DeviceRecords.h"

#include <objbase.h>

#include <cstring>

#include "platform/Com.h"

namespace {

const CapabilityCode kOvrixCapabilities[] = {CAPABILITY_PROFILES,  CAPABILITY_KEY_ASSIGNMENTS,
                                             CAPABILITY_MACROS,    CAPABILITY_VERSIONS,
                                             CAPABILITY_PROFILE_PROPERTIES, CAPABILITY_APPLICATIONS};

constexpr uint16_t kPauseVirtualKey = 19;
constexpr uint16_t kNumLockVirtualKey = 144;
constexpr uint16_t kPauseNumLockScanCode = 0x45;

// Record offsets.
constexpr size_t kAt12 = 12, kAt14 = 14, kAt16 = 16, kAt28 = 28, kAt29 = 29;

// Play modes 3 and 4 are numbered the other way round on the device.
int32_t PlayModeToDevice(int32_t mode) {
  switch (mode) {
    case 1: return 1;
    case 2: return 2;
    case 3: return 4;
    case 4: return 3;
    default: return 0;
  }
}

int32_t PlayModeFromDevice(int32_t mode) {
  switch (mode) {
    case 1: return 1;
    case 2: return 2;
    case 4: return 3;
    case 3: return 4;
    default: return 0;
  }
}

}  // namespace

const DeviceDescriptor kOvrixDeviceDescriptor = {0x0C41, kOvrixCapabilities,
                                                 sizeof(kOvrixCapabilities) / sizeof(kOvrixCapabilities[0]),
                                                 L"PID_0C41"};

bool DeviceDescriptor::Has(CapabilityCode code) const {
  for (uint32_t i = 0; i < capabilityCount; ++i)
    if (capabilities[i] == code) return true;
  return false;
}

namespace {

// Fields of a device record sit at fixed, not always aligned offsets: they are
// copied byte-wise, never read through a cast.
template <typename T>
T ReadAt(const DeviceKeyAssignment& r, size_t offset) {
  T value;
  std::memcpy(&value, reinterpret_cast<const uint8_t*>(&r) + offset, sizeof(value));
  return value;
}

template <typename T>
void WriteAt(DeviceKeyAssignment& r, size_t offset, const T& value) {
  std::memcpy(reinterpret_cast<uint8_t*>(&r) + offset, &value, sizeof(value));
}

}  // namespace

int32_t DeviceRecordInt(const DeviceKeyAssignment& r, size_t offset) { return ReadAt<int32_t>(r, offset); }
void SetDeviceRecordInt(DeviceKeyAssignment& r, size_t offset, int32_t value) { WriteAt(r, offset, value); }
uint32_t DeviceRecordWord(const DeviceKeyAssignment& r, size_t offset) { return ReadAt<uint32_t>(r, offset); }
void SetDeviceRecordWord(DeviceKeyAssignment& r, size_t offset, uint32_t value) { WriteAt(r, offset, value); }
GUID DeviceRecordGuid(const DeviceKeyAssignment& r, size_t offset) { return ReadAt<GUID>(r, offset); }
void SetDeviceRecordGuid(DeviceKeyAssignment& r, size_t offset, const GUID& id) { WriteAt(r, offset, id); }

uint8_t DeviceRecordByte(const DeviceKeyAssignment& r, size_t offset) {
  return reinterpret_cast<const uint8_t*>(&r)[offset];
}

void SetDeviceRecordByte(DeviceKeyAssignment& r, size_t offset, uint8_t value) {
  reinterpret_cast<uint8_t*>(&r)[offset] = value;
}

bool MakeProgramFileProperty(std::wstring_view fileName, BYTE (&buffer)[kProgramFilePropertyBytes]) {
  std::memset(buffer, 0, sizeof(buffer));
  if (fileName.size() > kMaxProgramFileChars) return false;
  std::memcpy(buffer, fileName.data(), fileName.size() * sizeof(wchar_t));
  return true;
}

std::wstring ProgramFileFromProperty(const BYTE* buffer, DWORD bufferBytes, DWORD sizeOut) {
  if (!buffer) return {};
  const DWORD bytes = sizeOut < bufferBytes ? sizeOut : bufferBytes;
  std::wstring name;
  for (DWORD i = 0; i < bytes / sizeof(wchar_t); ++i) {
    wchar_t c;
    std::memcpy(&c, buffer + i * sizeof(wchar_t), sizeof(c));
    if (c == 0) break;
    name += c;
  }
  return name;
}

void InitDeviceAssignment(DeviceKeyAssignment& r, int32_t type, int32_t value, int32_t extra) {
  std::memset(&r, 0, sizeof(r));
  r.header = 1;
  r.type = type;
  switch (type) {
    case DEVICE_ASSIGN_FUNCTION:
    case DEVICE_ASSIGN_PROFILE:
      SetDeviceRecordInt(r, kAt12, value);
      break;
    case DEVICE_ASSIGN_SENSITIVITY:
      SetDeviceRecordInt(r, kAt12, value);
      SetDeviceRecordInt(r, kAt16, extra);
      break;
    case DEVICE_ASSIGN_KEY: {
      const int16_t scan = static_cast<int16_t>(extra);
      std::memcpy(reinterpret_cast<uint8_t*>(&r) + kAt12, &scan, sizeof(scan));
      SetDeviceRecordWord(r, kAt14, static_cast<uint32_t>(value));
      break;
    }
    default:  // 2, 8, 9: a zero GUID (and for 8 mode and count 0)
      break;
  }
}

void BuildAssignmentTemplates(AssignmentTemplateMap& t, DeviceMouseFlagMap& mouse) {
  t.clear();
  auto add = [&](int32_t kind, int32_t type, int32_t value, int32_t extra) {
    InitDeviceAssignment(t[kind], type, value, extra);
  };
  add(0, DEVICE_ASSIGN_KEY, 0, 0);
  add(5, DEVICE_ASSIGN_KEY, 0, 0);
  add(1, DEVICE_ASSIGN_FUNCTION, 1, 0);
  add(2, DEVICE_ASSIGN_FUNCTION, 2, 0);
  add(3, DEVICE_ASSIGN_FUNCTION, 3, 0);
  add(4, DEVICE_ASSIGN_FUNCTION, 11, 0);
  add(6, DEVICE_ASSIGN_MACRO, 0, 0);
  add(7, DEVICE_ASSIGN_MACRO, 0, 0);
  add(8, DEVICE_ASSIGN_FUNCTION, 0, 0);
  add(9, DEVICE_ASSIGN_ADVANCED, 0, 0);
  add(10, DEVICE_ASSIGN_FUNCTION, 8, 0);
  add(13, DEVICE_ASSIGN_SENSITIVITY, 1, 0);
  add(14, DEVICE_ASSIGN_SENSITIVITY, 2, 0);
  for (int32_t stage = 0; stage < 5; ++stage) add(16 + stage, DEVICE_ASSIGN_SENSITIVITY, 3, stage);
  add(21, DEVICE_ASSIGN_PROFILE, 3, 0);
  add(22, DEVICE_ASSIGN_PROFILE, 3, 0);
  for (int32_t kind = 25; kind <= 29; ++kind) add(kind, DEVICE_ASSIGN_PROFILE, 3, 0);
  add(23, DEVICE_ASSIGN_PROFILE, 2, 0);
  add(24, DEVICE_ASSIGN_PROFILE, 1, 0);
  add(32, DEVICE_ASSIGN_FUNCTION, 5, 0);
  add(33, DEVICE_ASSIGN_FUNCTION, 4, 0);
  add(40, DEVICE_ASSIGN_FUNCTION, 6, 0);
  add(41, DEVICE_ASSIGN_FUNCTION, 7, 0);
  add(62, DEVICE_ASSIGN_LAUNCH, 0, 0);

  mouse.clear();
  const int32_t buttons[5] = {1, 2, 3, 25, 26};
  for (int i = 0; i < 5; ++i) {
    const uint16_t down = static_cast<uint16_t>(1u << (2 * i));
    mouse[down] = {buttons[i], 255};
    mouse[static_cast<uint16_t>(down << 1)] = {buttons[i], 1};
  }
}

namespace {
struct Tables {
  AssignmentTemplateMap templates;
  DeviceMouseFlagMap mouse;
  Tables() { BuildAssignmentTemplates(templates, mouse); }
};
const Tables& BuiltTables() {
  static const Tables tables;
  return tables;
}
}  // namespace

void BuildAssignmentTemplates() { BuiltTables(); }
const AssignmentTemplateMap& AssignmentTemplates() { return BuiltTables().templates; }
const DeviceMouseFlagMap& DeviceMouseFlags() { return BuiltTables().mouse; }

DeviceKeyAssignment TemplateForKind(int32_t kind) {
  const auto& t = AssignmentTemplates();
  auto it = t.find(kind);
  return it != t.end() ? it->second : DeviceKeyAssignment{};
}

void ToDeviceAssignment(const KeyAssignment& a, DeviceKeyAssignment& r) {
  switch (r.type) {
    case DEVICE_ASSIGN_GUID:
    case DEVICE_ASSIGN_LAUNCH:
      SetDeviceRecordGuid(r, kAt12, a.payload.id);
      break;
    case DEVICE_ASSIGN_PROFILE:
      if (DeviceRecordInt(r, kAt12) == 3) SetDeviceRecordGuid(r, kAt16, a.payload.id);
      break;
    case DEVICE_ASSIGN_SENSITIVITY:
      if (DeviceRecordInt(r, kAt12) == 3) {
        int32_t first;
        std::memcpy(&first, a.payload.raw, sizeof(first));
        SetDeviceRecordInt(r, kAt16, first);
      }
      break;
    case DEVICE_ASSIGN_KEY: {
      const int16_t scan = a.payload.key.scanCode;
      std::memcpy(reinterpret_cast<uint8_t*>(&r) + kAt12, &scan, sizeof(scan));
      uint32_t flags = static_cast<uint32_t>(a.payload.key.flags & 0x0F) << kDeviceKeyFlagShift;
      // Pause shares its scan code with Num Lock; the extended bit tells them apart.
      if (static_cast<uint16_t>(a.payload.key.virtualKey) == kPauseVirtualKey) flags |= 1u << kDeviceKeyFlagShift;
      SetDeviceRecordWord(r, kAt14, flags);
      break;
    }
    case DEVICE_ASSIGN_MACRO:
      SetDeviceRecordGuid(r, kAt12, a.payload.id);
      SetDeviceRecordByte(r, kAt28, static_cast<uint8_t>(PlayModeToDevice(a.playMode)));
      SetDeviceRecordByte(r, kAt29, a.repeatCount);
      break;
    default:  // 1 and 6 keep the template's values
      break;
  }
}

void FromDeviceAssignment(const DeviceKeyAssignment& r, KeyAssignment& a) {
  switch (r.type) {
    case DEVICE_ASSIGN_GUID:
    case DEVICE_ASSIGN_LAUNCH:
      a.payload.id = DeviceRecordGuid(r, kAt12);
      break;
    case DEVICE_ASSIGN_PROFILE:
      a.payload.id = DeviceRecordGuid(r, kAt16);
      break;
    case DEVICE_ASSIGN_SENSITIVITY: {
      const int32_t first = DeviceRecordInt(r, kAt16);
      std::memcpy(a.payload.raw, &first, sizeof(first));
      break;
    }
    case DEVICE_ASSIGN_KEY: {
      int16_t scan;
      std::memcpy(&scan, reinterpret_cast<const uint8_t*>(&r) + kAt12, sizeof(scan));
      const uint32_t word = DeviceRecordWord(r, kAt14);
      a.payload.key.scanCode = scan;
      a.payload.key.flags = static_cast<uint8_t>((word >> kDeviceKeyFlagShift) & 0x0F);
      if (static_cast<uint16_t>(scan) == kPauseNumLockScanCode) {
        a.payload.key.flags &= static_cast<uint8_t>(~KEYFLAG_EXTENDED);
        a.payload.key.virtualKey =
            static_cast<int16_t>((word & (1u << kDeviceKeyFlagShift)) ? kPauseVirtualKey : kNumLockVirtualKey);
      }
      break;
    }
    case DEVICE_ASSIGN_MACRO:
      a.payload.id = DeviceRecordGuid(r, kAt12);
      a.playMode = PlayModeFromDevice(DeviceRecordByte(r, kAt28));
      a.repeatCount = DeviceRecordByte(r, kAt29);
      break;
    default:  // 1 and 6 leave the payload zero
      break;
  }
}

bool IsSameDeviceAssignment(const DeviceKeyAssignment& a, const DeviceKeyAssignment& b) {
  if (a.type != b.type) return false;
  switch (a.type) {
    case DEVICE_ASSIGN_FUNCTION:
    case DEVICE_ASSIGN_PROFILE:
    case DEVICE_ASSIGN_SENSITIVITY:
      return DeviceRecordInt(a, kAt12) == DeviceRecordInt(b, kAt12);
    case DEVICE_ASSIGN_GUID:
    case DEVICE_ASSIGN_KEY:
    case DEVICE_ASSIGN_ADVANCED:
    case DEVICE_ASSIGN_MACRO:
    case DEVICE_ASSIGN_LAUNCH:
      return true;
    default:
      return false;
  }
}

int32_t KindFromDeviceAssignment(const DeviceKeyAssignment& record) {
  for (const auto& [kind, t] : AssignmentTemplates())
    if (IsSameDeviceAssignment(t, record)) return kind;
  return -1;
}

size_t DeviceMacroBlobBytes(size_t count) { return sizeof(DeviceMacroBlob) + count * sizeof(DeviceMacroEvent); }

void TaskMemFree::operator()(void* memory) const { ::CoTaskMemFree(memory); }

DeviceMacroBlobPtr AllocateDeviceMacroBlob(size_t count) {
  if (count > kMaxDeviceMacroBlobEvents) return nullptr;
  const size_t bytes = DeviceMacroBlobBytes(count);
  DeviceMacroBlobPtr blob(static_cast<DeviceMacroBlob*>(::CoTaskMemAlloc(bytes)));
  if (!blob) return nullptr;
  std::memset(blob.get(), 0, bytes);
  blob->reserved = 0;
  blob->count = static_cast<LONG>(count);
  return blob;
}

bool MacroEventsToDeviceBlob(const MacroEventList& events, DeviceMacroBlob* blob) {
  if (!blob || blob->count <= 0) return false;
  const size_t room = static_cast<size_t>(blob->count);
  size_t written = 0;
  for (const MacroEvent& e : events) {
    if (written == room) break;
    DeviceMacroEvent& out = blob->events[written++];
    out = DeviceMacroEvent{0, 0};
    if (e.type == MACROEVENT_KEY) {
      const uint32_t scan = static_cast<uint32_t>(e.a) & 0xFFFF;
      const uint32_t virtualKey = (static_cast<uint32_t>(e.a) >> 16) & 0xFFFF;
      const uint8_t state = static_cast<uint8_t>(e.b & 0xFF);
      const uint8_t extended = static_cast<uint8_t>((e.b >> 8) & 0xFF);
      uint32_t flags = 0;
      if (state != kMacroStatePressed) flags |= 1;  // key up
      if (extended == 1 || virtualKey == kPauseVirtualKey) flags |= 2;
      out = DeviceMacroEvent{2, scan | (flags << 16)};
    } else if (e.type == MACROEVENT_MOUSE) {
      uint16_t flag = 0;
      for (const auto& [f, buttonState] : DeviceMouseFlags())
        if (buttonState.first == e.a && buttonState.second == (e.b & 0xFF)) flag = f;
      out = DeviceMacroEvent{1, flag};
    } else if (e.type == MACROEVENT_DELAY) {
      out = DeviceMacroEvent{3, static_cast<DWORD>(e.a)};
    }
    // Any other event type leaves a zero record, which the service refuses.
  }
  return written > 0;
}

bool DeviceBlobToMacroEvents(MacroEventList& events, const DeviceMacroBlob* blob, size_t blobBytes) {
  events.clear();
  if (!blob || blobBytes < offsetof(DeviceMacroBlob, events)) return false;
  if (blob->count < 0) return false;
  const size_t count = static_cast<size_t>(blob->count);
  if (count > (blobBytes - offsetof(DeviceMacroBlob, events)) / sizeof(DeviceMacroEvent)) return false;
  MacroEventList out;
  out.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const DeviceMacroEvent& d = blob->events[i];
    MacroEvent e;
    if (d.type == 1) {
      const auto& mouse = DeviceMouseFlags();
      auto it = mouse.find(static_cast<uint16_t>(d.data & 0xFFFF));
      e.type = MACROEVENT_MOUSE;
      if (it != mouse.end()) {
        e.a = it->second.first;
        e.b = it->second.second;
      }
    } else if (d.type == 2) {
      uint32_t scan = d.data & 0xFFFF;
      const uint32_t flags = d.data >> 16;
      const int32_t state = (flags & 1) ? kMacroStateReleased : kMacroStatePressed;
      int32_t extended = (flags & 2) ? 1 : 0;
      uint32_t virtualKey = 0;
      if (scan == kPauseNumLockScanCode) {
        extended = 0;
        virtualKey = (flags & 2) ? kPauseVirtualKey : kNumLockVirtualKey;
      }
      e.type = MACROEVENT_KEY;
      e.a = static_cast<int32_t>(scan | (virtualKey << 16));
      e.b = state | (extended << 8);
    } else if (d.type == 3) {
      e.type = MACROEVENT_DELAY;
      e.a = e.b = static_cast<int32_t>(d.data);
    } else {
      return false;  // not a record the service hands out: refuse the blob
    }
    out.push_back(e);
  }
  events = std::move(out);
  return !events.empty();
}

bool DeviceBlobToMacroEvents(MacroEventList& events, const DeviceMacroBlob* blob) {
  events.clear();
  if (!blob) return false;
  platform::ComRef<IMalloc> malloc;
  if (FAILED(CoGetMalloc(1, malloc.Out())) || !malloc) return false;
  const SIZE_T size = malloc->GetSize(const_cast<DeviceMacroBlob*>(blob));
  if (size == static_cast<SIZE_T>(-1)) return false;
  return DeviceBlobToMacroEvents(events, blob, size);
}
