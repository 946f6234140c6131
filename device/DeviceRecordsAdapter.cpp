#include "device/DeviceRecordsAdapter.h"

#include <cstring>
#include <map>

namespace device_records {

namespace {

constexpr int32_t kCapabilities[] = {CAP_PROFILES,    CAP_KEYASSIGNMENTS,    CAP_MACROS,
                                     CAP_VERSIONS,    CAP_PROFILEPROPERTIES, CAP_APPLICATIONS};
constexpr DeviceDescriptor kKeyboard{0x0C41, kCapabilities, sizeof kCapabilities / sizeof kCapabilities[0],
                                     L"PID_0C41"};

constexpr uint32_t kKeyFlagBits[4] = {0x1000000, 0x2000000, 0x4000000, 0x8000000};
constexpr int16_t kPauseScanCode = 0x45;
constexpr int16_t kVirtualKeyPause = 19;
constexpr int16_t kVirtualKeyNumLock = 144;

// Payload offsets are counted from the record's start, as the record's layout gives them.
template <typename T>
void Put(DeviceKeyAssignment& record, std::size_t offset, const T& value) {
  std::memcpy(record.payload + (offset - 12), &value, sizeof value);
}
template <typename T>
T Get(const DeviceKeyAssignment& record, std::size_t offset) {
  T value{};
  std::memcpy(&value, record.payload + (offset - 12), sizeof value);
  return value;
}

struct MouseFlag {
  uint16_t flag;
  int32_t button;
  uint8_t state;
};
constexpr MouseFlag kMouseFlags[] = {
    {0x001, 1, 255},  {0x002, 1, 1},  {0x004, 2, 255},  {0x008, 2, 1},  {0x010, 3, 255},
    {0x020, 3, 1},    {0x040, 25, 255}, {0x080, 25, 1}, {0x100, 26, 255}, {0x200, 26, 1},
};

std::map<int32_t, DeviceKeyAssignment>& Templates() {
  static std::map<int32_t, DeviceKeyAssignment> templates;
  return templates;
}

void AddTemplate(int32_t kind, int32_t type, int32_t value, int32_t extra) {
  DeviceKeyAssignment record;
  InitDeviceAssignment(record, type, value, extra);
  Templates()[kind] = record;
}

}  // namespace

const DeviceDescriptor& KeyboardDescriptor() { return kKeyboard; }

void InitDeviceAssignment(DeviceKeyAssignment& record, int32_t type, int32_t value, int32_t extra) {
  std::memset(&record, 0, sizeof record);
  record.header = 1;
  record.type = type;
  switch (type) {
    case 1:
    case 3:
      Put<int32_t>(record, 12, value);
      break;
    case 4:
      Put<int32_t>(record, 12, value);
      Put<int32_t>(record, 16, extra);
      break;
    case 5:
      Put<int16_t>(record, 12, static_cast<int16_t>(extra));
      Put<uint32_t>(record, 14, static_cast<uint32_t>(value));
      break;
    default:
      break;
  }
}

void BuildAssignmentTemplates() {
  Templates().clear();
  AddTemplate(0, 5, 0, 0);
  AddTemplate(5, 5, 0, 0);
  AddTemplate(1, 1, 1, 0);
  AddTemplate(2, 1, 2, 0);
  AddTemplate(3, 1, 3, 0);
  AddTemplate(4, 1, 11, 0);
  AddTemplate(6, 8, 0, 0);
  AddTemplate(7, 8, 0, 0);
  AddTemplate(8, 1, 0, 0);
  AddTemplate(9, 6, 0, 0);
  AddTemplate(10, 1, 8, 0);
  AddTemplate(13, 4, 1, 0);
  AddTemplate(14, 4, 2, 0);
  for (int32_t stage = 0; stage < 5; ++stage) AddTemplate(16 + stage, 4, 3, stage);
  AddTemplate(21, 3, 3, 0);
  AddTemplate(22, 3, 3, 0);
  for (int32_t kind = 25; kind <= 29; ++kind) AddTemplate(kind, 3, 3, 0);
  AddTemplate(23, 3, 2, 0);
  AddTemplate(24, 3, 1, 0);
  AddTemplate(32, 1, 5, 0);
  AddTemplate(33, 1, 4, 0);
  AddTemplate(40, 1, 6, 0);
  AddTemplate(41, 1, 7, 0);
  AddTemplate(62, 9, 0, 0);
}

DeviceKeyAssignment AssignmentTemplate(int32_t kind) {
  if (Templates().empty()) BuildAssignmentTemplates();
  const auto found = Templates().find(kind);
  if (found == Templates().end()) return DeviceKeyAssignment{};
  return found->second;
}

void ToDeviceAssignment(const KeyAssignment& assignment, DeviceKeyAssignment& record) {
  switch (record.type) {
    case 2:
    case 9:
      Put(record, 12, assignment.payload.id);
      break;
    case 3:
      if (Get<int32_t>(record, 12) == 3) Put(record, 16, assignment.payload.id);
      break;
    case 4:
      if (Get<int32_t>(record, 12) == 3) {
        int32_t word = 0;
        std::memcpy(&word, assignment.payload.raw, sizeof word);
        Put(record, 16, word);
      }
      break;
    case 5: {
      Put<int16_t>(record, 12, assignment.payload.key.scanCode);
      uint32_t flags = 0;
      for (int bit = 0; bit < 4; ++bit)
        if (assignment.payload.key.flags & (1u << bit)) flags |= kKeyFlagBits[bit];
      if (assignment.payload.key.virtualKey == kVirtualKeyPause) flags |= kKeyFlagBits[0];
      Put<uint32_t>(record, 14, flags);
      break;
    }
    case 8: {
      Put(record, 12, assignment.payload.id);
      const int32_t mode = assignment.playMode;
      const uint8_t device = mode == 1 ? 1 : mode == 2 ? 2 : mode == 3 ? 4 : mode == 4 ? 3 : 0;
      Put<uint8_t>(record, 28, device);
      Put<uint8_t>(record, 29, assignment.repeatCount);
      break;
    }
    default:
      break;
  }
}

void FromDeviceAssignment(const DeviceKeyAssignment& record, KeyAssignment& assignment) {
  switch (record.type) {
    case 2:
    case 9:
      assignment.payload.id = Get<GUID>(record, 12);
      break;
    case 3:
      assignment.payload.id = Get<GUID>(record, 16);
      break;
    case 4: {
      const int32_t word = Get<int32_t>(record, 16);
      std::memcpy(assignment.payload.raw, &word, sizeof word);
      break;
    }
    case 5: {
      const int16_t scan = Get<int16_t>(record, 12);
      const uint32_t flags = Get<uint32_t>(record, 14);
      uint8_t byte = 0;
      for (int bit = 0; bit < 4; ++bit)
        if (flags & kKeyFlagBits[bit]) byte |= static_cast<uint8_t>(1u << bit);
      assignment.payload.key.scanCode = scan;
      if (scan == kPauseScanCode) {
        byte &= static_cast<uint8_t>(~KEYFLAG_EXTENDED);
        assignment.payload.key.virtualKey = (flags & kKeyFlagBits[0]) ? kVirtualKeyPause : kVirtualKeyNumLock;
      }
      assignment.payload.key.flags = byte;
      break;
    }
    case 8: {
      assignment.payload.id = Get<GUID>(record, 12);
      const uint8_t device = Get<uint8_t>(record, 28);
      assignment.playMode = device == 1 ? 1 : device == 2 ? 2 : device == 4 ? 3 : device == 3 ? 4 : 0;
      assignment.repeatCount = Get<uint8_t>(record, 29);
      break;
    }
    default:
      break;
  }
}

bool IsSameDeviceAssignment(const DeviceKeyAssignment& a, const DeviceKeyAssignment& b) {
  if (a.type != b.type) return false;
  switch (a.type) {
    case 1:
    case 3:
    case 4:
      return Get<int32_t>(a, 12) == Get<int32_t>(b, 12);
    case 2:
    case 5:
    case 6:
    case 8:
    case 9:
      return true;
    default:
      return false;
  }
}

int32_t KindFromDeviceAssignment(const DeviceKeyAssignment& record) {
  if (Templates().empty()) BuildAssignmentTemplates();
  for (const auto& [kind, candidate] : Templates())
    if (IsSameDeviceAssignment(candidate, record)) return kind;
  return -1;
}

void MacroEventsToDeviceBlob(const MacroEventList& events, DeviceMacroBlob* blob) {
  for (std::size_t i = 0; i < events.size(); ++i) {
    const MacroEvent& event = events[i];
    DeviceMacroEvent& out = blob->events[i];
    out = DeviceMacroEvent{};
    uint16_t low = 0, high = 0;
    switch (event.type) {
      case MACROEVENT_KEY: {
        out.type = 2;
        low = static_cast<uint16_t>(event.a & 0xFFFF);
        const auto virtualKey = static_cast<uint16_t>((static_cast<uint32_t>(event.a) >> 16) & 0xFFFF);
        const auto state = static_cast<uint8_t>(event.b & 0xFF);
        const auto extended = static_cast<uint8_t>((event.b >> 8) & 0xFF);
        if (state != kMacroStatePressed) high |= 1;
        if (extended == 1 || virtualKey == static_cast<uint16_t>(kVirtualKeyPause)) high |= 2;
        out.data = static_cast<DWORD>(low) | static_cast<DWORD>(high) << 16;
        break;
      }
      case MACROEVENT_MOUSE:
        out.type = 1;
        for (const MouseFlag& row : kMouseFlags)
          if (row.button == event.a && row.state == static_cast<uint8_t>(event.b & 0xFF)) {
            out.data = row.flag;
            break;
          }
        break;
      case MACROEVENT_DELAY:
        out.type = 3;
        out.data = static_cast<DWORD>(event.a);
        break;
      default:
        break;
    }
  }
}

bool DeviceBlobToMacroEvents(MacroEventList& events, const DeviceMacroBlob* blob) {
  events.clear();
  if (blob == nullptr || blob->count <= 0) return false;
  for (LONG i = 0; i < blob->count; ++i) {
    const DeviceMacroEvent& in = blob->events[i];
    MacroEvent event;
    const auto low = static_cast<uint16_t>(in.data & 0xFFFF);
    const auto high = static_cast<uint16_t>(in.data >> 16);
    switch (in.type) {
      case 1:
        event.type = MACROEVENT_MOUSE;
        for (const MouseFlag& row : kMouseFlags)
          if (row.flag == low) {
            event.a = row.button;
            event.b = row.state;
          }
        break;
      case 2: {
        event.type = MACROEVENT_KEY;
        int32_t virtualKey = 0;
        uint8_t extended = (high & 2) ? 1 : 0;
        if (low == static_cast<uint16_t>(kPauseScanCode)) {
          virtualKey = (high & 2) ? kVirtualKeyPause : kVirtualKeyNumLock;
          extended = 0;
        }
        const uint8_t state = (high & 1) ? kMacroStateReleased : kMacroStatePressed;
        event.a = static_cast<int32_t>(low) | virtualKey << 16;
        event.b = state | extended << 8;
        break;
      }
      case 3:
        event.type = MACROEVENT_DELAY;
        event.a = event.b = static_cast<int32_t>(in.data);
        break;
      default:
        continue;
    }
    events.push_back(event);
  }
  return !events.empty();
}

}  // namespace device_records
