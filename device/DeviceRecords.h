// The records exchanged with the device service and the fixed rules that turn the
// model's records (KeyAssignment, MacroEvent) into them and back. The interfaces
// and the wire records themselves (DeviceInfo, DeviceKeyAssignment,
// DeviceMacroBlob, DeviceMacroEvent) come from service/DeviceService.idl.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "device/KeyAssignment.h"
#include "device/Macro.h"
#include "service/DeviceServiceFormats.h"
#include "service/DeviceServiceIds.h"

// ---- the supported keyboard

enum CapabilityCode : uint32_t {
  CAPABILITY_PROFILES = 1,
  CAPABILITY_KEY_ASSIGNMENTS = 3,
  CAPABILITY_MACROS = 4,
  CAPABILITY_LIGHTING = 5,
  CAPABILITY_VERSIONS = 6,
  CAPABILITY_PROFILE_PROPERTIES = 7,
  CAPABILITY_APPLICATIONS = 8,
  CAPABILITY_COLOR_RANGES = 9,
};

struct DeviceDescriptor {
  uint32_t productId;  // 0 means no device at all
  const CapabilityCode* capabilities;
  uint32_t capabilityCount;
  const wchar_t* devicePathId;  // matched against device-interface names

  bool Has(CapabilityCode code) const;
};

// The Kestrane Ovrix: product 0x0C41, capabilities 1, 3, 4, 6, 7, 8, "PID_0C41".
extern const DeviceDescriptor kOvrixDeviceDescriptor;

// ---- transfers

using TransferMask = uint16_t;
inline constexpr TransferMask TRANSFER_PROFILES = 0x30F;  // any of these bits
inline constexpr TransferMask TRANSFER_KEY_ASSIGNMENTS = 0x002;
inline constexpr TransferMask TRANSFER_LIGHTING = 0x004;
inline constexpr TransferMask TRANSFER_MACROS = 0x010;
inline constexpr TransferMask TRANSFER_COLOR_RANGES = 0x080;
inline constexpr TransferMask TRANSFER_PROFILE_PROPERTIES = 0x100;
inline constexpr TransferMask TRANSFER_APPLICATIONS = 0x200;
inline constexpr TransferMask TRANSFER_WRITE_ALL = 0x3FF;
inline constexpr TransferMask TRANSFER_READ_ALL = 0x31F;

// ---- wire records

#if defined(__i386__)
static_assert(sizeof(DeviceInfo) == 28, "DeviceInfo is 28 bytes on the 32-bit target");
#else
static_assert(sizeof(DeviceInfo) == 32);
#endif
static_assert(offsetof(DeviceInfo, productId) == 4);
static_assert(offsetof(DeviceInfo, secondMajor) == 8);
static_assert(offsetof(DeviceInfo, secondMinor) == 12);
static_assert(offsetof(DeviceInfo, firmwareMajor) == 16);
static_assert(offsetof(DeviceInfo, firmwareMinor) == 20);
static_assert(offsetof(DeviceInfo, text) == 24);

static_assert(sizeof(DeviceKeyAssignment) == 32);
static_assert(offsetof(DeviceKeyAssignment, keyCode) == 4);
static_assert(offsetof(DeviceKeyAssignment, type) == 8);
static_assert(offsetof(DeviceKeyAssignment, payload) == 12);
static_assert(sizeof(DeviceAssignmentCount) == 8 && offsetof(DeviceAssignmentCount, count) == 4);
static_assert(sizeof(DeviceMacroEvent) == 8);
static_assert(offsetof(DeviceMacroBlob, count) == 4 && offsetof(DeviceMacroBlob, events) == 8);

// `DeviceAssignmentType` values (offset 8).
enum DeviceAssignmentType : int32_t {
  DEVICE_ASSIGN_FUNCTION = 1,
  DEVICE_ASSIGN_GUID = 2,
  DEVICE_ASSIGN_PROFILE = 3,
  DEVICE_ASSIGN_SENSITIVITY = 4,
  DEVICE_ASSIGN_KEY = 5,
  DEVICE_ASSIGN_ADVANCED = 6,
  DEVICE_ASSIGN_MACRO = 8,
  DEVICE_ASSIGN_LAUNCH = 9,
};

// Key-flag word bits (offset 14 of a type-5 record) for the flags byte values 1, 2, 4, 8.
inline constexpr uint32_t kDeviceKeyFlagShift = 24;

// Fields at record offsets, read and written byte-wise (offset 14 is unaligned).
int32_t DeviceRecordInt(const DeviceKeyAssignment& record, size_t offset);
void SetDeviceRecordInt(DeviceKeyAssignment& record, size_t offset, int32_t value);
uint32_t DeviceRecordWord(const DeviceKeyAssignment& record, size_t offset);
void SetDeviceRecordWord(DeviceKeyAssignment& record, size_t offset, uint32_t value);
GUID DeviceRecordGuid(const DeviceKeyAssignment& record, size_t offset);
void SetDeviceRecordGuid(DeviceKeyAssignment& record, size_t offset, const GUID& id);
uint8_t DeviceRecordByte(const DeviceKeyAssignment& record, size_t offset);
void SetDeviceRecordByte(DeviceKeyAssignment& record, size_t offset, uint8_t value);

// ---- profile properties (their ids and flag bits: service/DeviceServiceFormats.h)

// The 256-byte buffer of property 0x80000002; false (buffer all zero) for a name of
// 128 characters or more.
bool MakeProgramFileProperty(std::wstring_view fileName, BYTE (&buffer)[kProgramFilePropertyBytes]);
// The name in a property buffer as the service returned it: a size out larger than
// the buffer is clamped to the buffer, and the text ends at the first NUL or at the
// end of what was stored, whichever comes first.
std::wstring ProgramFileFromProperty(const BYTE* buffer, DWORD bufferBytes, DWORD sizeOut);

// ---- templates and conversions

using AssignmentTemplateMap = std::map<int32_t, DeviceKeyAssignment>;  // by assignment kind
using DeviceMouseFlagMap = std::map<uint16_t, std::pair<int32_t, int32_t>>;  // flag -> (button, state)

// Zeroes the record, then sets header 1, the type and the type's values.
void InitDeviceAssignment(DeviceKeyAssignment& record, int32_t type, int32_t value, int32_t extra);
// Fills both maps (the same contents every time).
void BuildAssignmentTemplates(AssignmentTemplateMap& templates, DeviceMouseFlagMap& mouseFlags);
// The process's maps, built once on first use (so threads that read them never see
// a refill); calling it again changes nothing.
void BuildAssignmentTemplates();
const AssignmentTemplateMap& AssignmentTemplates();
const DeviceMouseFlagMap& DeviceMouseFlags();
// The template of a kind; an all-zero record for a kind without one.
DeviceKeyAssignment TemplateForKind(int32_t kind);

// `record` already holds the kind's template and the key code; fills the payload.
void ToDeviceAssignment(const KeyAssignment& assignment, DeviceKeyAssignment& record);
// `assignment` already holds its kind and a zero payload; fills the payload.
void FromDeviceAssignment(const DeviceKeyAssignment& record, KeyAssignment& assignment);
bool IsSameDeviceAssignment(const DeviceKeyAssignment& a, const DeviceKeyAssignment& b);
// The first kind (ascending) whose template matches; -1 when none does.
int32_t KindFromDeviceAssignment(const DeviceKeyAssignment& record);

// Bytes of a blob holding `count` events as the service allocates it (header, events
// and one spare record).
size_t DeviceMacroBlobBytes(size_t count);
// The largest number of events a blob is made for.
inline constexpr size_t kMaxDeviceMacroBlobEvents = size_t{1} << 20;
struct TaskMemFree {
  void operator()(void* memory) const;
};
// A blob from the task allocator, as the service takes it.
using DeviceMacroBlobPtr = std::unique_ptr<DeviceMacroBlob, TaskMemFree>;
// A zeroed blob with room for `count` events and its header {0, count}; null for
// more than kMaxDeviceMacroBlobEvents or when the allocator has no memory.
DeviceMacroBlobPtr AllocateDeviceMacroBlob(size_t count);
// The caller has written the header {0, n}; writes one record per event, never more
// than the header's count. True when at least one record was written.
bool MacroEventsToDeviceBlob(const MacroEventList& events, DeviceMacroBlob* blob);
// Empties `events`, then appends one event per record. A blob whose count is
// negative or does not fit `blobBytes`, or that holds a record of an unknown type,
// is refused whole (false, no events). True when at least one event results.
bool DeviceBlobToMacroEvents(MacroEventList& events, const DeviceMacroBlob* blob, size_t blobBytes);
// The same for a blob from the service (CoTaskMemAlloc), sized by the task allocator.
bool DeviceBlobToMacroEvents(MacroEventList& events, const DeviceMacroBlob* blob);
