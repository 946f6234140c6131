// What the simulated keyboard holds, and the one text format in which the service
// stores it: the state file, profile files ("qxp") and macro files ("qxm") are all
// documents of that format with their own first line.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "service/DeviceService.h"
#include "service/DeviceServiceFormats.h"

inline constexpr DWORD kSimProductId = 0x0C41;
inline constexpr DWORD kSimVendorId = 0x2F7A;
// Longest name or path the service stores (the clients' fields hold 260 units).
inline constexpr size_t kMaxSimText = 259;
// The longest program file name of property 0x80000002, under the name the
// service's mutation tests know it by.
inline constexpr size_t kMaxProgramFileName = kMaxProgramFileChars;
inline constexpr size_t kMaxMacroEvents = 1048576;

// What the service holds at most. The loader refuses a state file over 64 MiB and
// more than kMaxSimProfiles profiles; every creation, import and event write is
// refused beyond these limits, so every state the service can reach loads again
// (the largest such state, every name at its longest, is far below 64 MiB).
inline constexpr size_t kMaxSimProfiles = 1024;
inline constexpr size_t kMaxSimMacros = 4096;
inline constexpr size_t kMaxSimApps = 4096;
inline constexpr size_t kMaxSimEventsTotal = 1048576;  // over all macros together
inline constexpr size_t kMaxStateFileBytes = 64u << 20;


// One key of the keyboard: its device key code and its code in the default layout.
struct SimKey {
  uint32_t keyCode = 0;  // scan code in bits 0-15, prefix group in bits 16-31
  uint16_t defaultScan = 0;
  bool defaultExtended = false;
};

struct SimLed {
  int32_t id = 7;
  int32_t on = 0;
  int32_t color = 0;
  int32_t effect = 0;
  int32_t time1 = 0;
  int32_t time2 = 0;
  int32_t brightness = 100;
};

struct SimProfile {
  GUID id{};
  std::wstring name;
  std::wstring program;  // property 0x80000002
  uint16_t flags = 0;    // property 0x80000003
  std::vector<DeviceKeyAssignment> keys;  // one per key of the keyboard, in key order
  std::vector<SimLed> leds;
};

struct SimMacro {
  GUID id{};
  std::wstring name;
  std::vector<DeviceMacroEvent> events;
};

struct SimApp {
  GUID id{};
  std::wstring path;
};

struct SimDevice {
  DWORD layoutCode = 0;
  DWORD firmwareMajor = 1;
  DWORD firmwareMinor = 5;
  DWORD secondMajor = 1;
  DWORD secondMinor = 2;
};

struct ServiceState {
  SimDevice device;
  std::vector<SimProfile> profiles;
  std::vector<SimMacro> macros;
  std::vector<SimApp> apps;
  GUID active{};  // all zero when no profile is active
};

// The record of a key left at its default: the key's own default code.
DeviceKeyAssignment DefaultKeyRecord(const SimKey& key);
// A new profile: every key at its default, one lighting item (id 7).
SimProfile NewSimProfile(const GUID& id, const std::vector<SimKey>& keyboard);
// First start: one profile ("Profile 1") with every key at its default, active.
ServiceState FactoryState(const std::vector<SimKey>& keyboard, const GUID& profileId);

// Records the service accepts: the types of the contract, and the all-zero record
// that a kind without a template gives.
bool IsStorableAssignment(const DeviceKeyAssignment& record);
bool IsStorableMacroEvent(const DeviceMacroEvent& event);

// Gives every profile exactly the keys of the keyboard, in key order: stored records
// for known key codes are kept, missing keys get their default, unknown codes go.
void FitProfileToKeyboard(SimProfile& profile, const std::vector<SimKey>& keyboard);

// Document kinds (first line of the file).
enum class SimDocKind { State, ProfileFile, MacroFile };

std::string WriteSimDocument(SimDocKind kind, const ServiceState& state);
// Strict reading: the right first line and version, every line well formed and within
// bounds, ending with "end". On failure `error` says what and where; `out` is then
// unspecified, so callers parse into a scratch state.
bool ReadSimDocument(SimDocKind kind, std::string_view text, ServiceState& out, std::wstring& error);

// Human-readable dump of the whole state (the control tool's "dump").
std::wstring DumpSimState(const ServiceState& state, DWORD mode, bool plugged);

std::wstring GuidText(const GUID& id);
bool ParseGuid(std::string_view text, GUID& out);
bool SameGuid(const GUID& a, const GUID& b);
bool IsZeroId(const GUID& id);
