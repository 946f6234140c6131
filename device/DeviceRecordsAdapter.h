// The device layer's view of the service's records: the keyboard's descriptor,
// the assignment templates, and the conversions between the service's key and
// macro records and the model's own. Kept in one namespace so that the device
// layer calls them from one place.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "device/KeyAssignment.h"
#include "device/Macro.h"
#include "service/DeviceServiceIds.h"

namespace device_records {

enum CapabilityCode : int32_t {
  CAP_PROFILES = 1,
  CAP_KEYASSIGNMENTS = 3,
  CAP_MACROS = 4,
  CAP_LIGHTING = 5,
  CAP_VERSIONS = 6,
  CAP_PROFILEPROPERTIES = 7,
  CAP_APPLICATIONS = 8,
  CAP_COLORRANGES = 9,
};

struct DeviceDescriptor {
  uint32_t productId;
  const int32_t* capabilities;
  std::size_t capabilityCount;
  const wchar_t* devicePathId;

  bool Has(int32_t capability) const {
    for (std::size_t i = 0; i < capabilityCount; ++i)
      if (capabilities[i] == capability) return true;
    return false;
  }
};

// The one keyboard this program supports.
const DeviceDescriptor& KeyboardDescriptor();

// Profile property ids.
inline constexpr DWORD kPropertyProgramFile = 0x80000002;
inline constexpr DWORD kPropertyFlags = 0x80000003;
inline constexpr std::size_t kProgramFileBytes = 256;
enum ProfileFlagBits : WORD {
  PROFILEFLAG_AUTOSWITCH = 1,
  PROFILEFLAG_UNUSED = 2,
  PROFILEFLAG_SHOWOSD = 4,
};

// Device key code: scan code in bits 0-15, prefix group in bits 16-31.
inline int16_t DeviceScanCode(uint32_t keyCode) { return static_cast<int16_t>(keyCode & 0xFFFF); }
// The key-definition flag of the prefix group: 2 means 1 (E0), 4 means 2 (E1).
inline uint8_t DeviceKeyFlag(uint32_t keyCode) {
  const uint32_t group = keyCode >> 16;
  return group == 2 ? 1 : group == 4 ? 2 : 0;
}

void BuildAssignmentTemplates();
// The kind's template (header 1, key code 0, zero ids); all zero for a kind without one.
DeviceKeyAssignment AssignmentTemplate(int32_t kind);
void InitDeviceAssignment(DeviceKeyAssignment& record, int32_t type, int32_t value, int32_t extra);
void ToDeviceAssignment(const KeyAssignment& assignment, DeviceKeyAssignment& record);
void FromDeviceAssignment(const DeviceKeyAssignment& record, KeyAssignment& assignment);
bool IsSameDeviceAssignment(const DeviceKeyAssignment& a, const DeviceKeyAssignment& b);
int32_t KindFromDeviceAssignment(const DeviceKeyAssignment& record);

// Writes the blob's events (the caller has written the header and sized the
// block for events.size() records).
void MacroEventsToDeviceBlob(const MacroEventList& events, DeviceMacroBlob* blob);
// Replaces `events` with the blob's; true when at least one event resulted.
bool DeviceBlobToMacroEvents(MacroEventList& events, const DeviceMacroBlob* blob);

}  // namespace device_records
