// Macros (named lists of recorded input events that a key can play) and linked
// applications (programs that a key can launch), with the owning lists that the
// configuration keeps of each.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum MacroEventType : int32_t {
  MACROEVENT_KEY = 0,
  MACROEVENT_MOUSE = 1,
  MACROEVENT_DELAY = 2,
};

// Byte 0 of `b` for key and mouse events.
inline constexpr uint8_t kMacroStatePressed = 255;
inline constexpr uint8_t kMacroStateReleased = 1;

// One step of a macro. Key: a = scan code | virtual key << 16, b = state | flags << 8.
// Mouse: a = button (1 left, 2 right, 3 middle, 25 and 26 the extra buttons),
// b = state. Delay: a = b = milliseconds.
struct MacroEvent {
  int32_t type = MACROEVENT_KEY;
  int32_t a = 0;
  int32_t b = 0;
  bool operator==(const MacroEvent&) const = default;
};
static_assert(sizeof(MacroEvent) == 12);

using MacroEventList = std::vector<MacroEvent>;

namespace MacroEventVector {
// False when index is not below the count; else removes that event.
bool EraseAt(MacroEventList& events, std::size_t index);
// False when index is not below the count; else the event at index is replaced.
bool ReplaceAt(MacroEventList& events, std::size_t index, const MacroEvent& event);
// The event at index; std::out_of_range when index is not below the count.
MacroEvent& At(MacroEventList& events, std::size_t index);
}  // namespace MacroEventVector

inline constexpr std::size_t kMacroNameChars = 256;  // the terminating zero included

// A 64-bit fingerprint of a name or path, or of an event list; never 0, which
// stands for "not known".
uint64_t Fingerprint(std::wstring_view text);
uint64_t Fingerprint(const MacroEventList& events);

inline bool IsZeroGuid(const GUID& id) {
  static constexpr GUID kZero{};
  return IsEqualGUID(id, kZero) != 0;
}

class CMacro {
 public:
  CMacro() = default;
  // The name is cut to 255 characters.
  CMacro(std::wstring_view name, const MacroEventList& events);

  // The name, read up to its terminator within the 256-unit field.
  std::wstring GetName() const;
  // Replaces the name, cut to 255 characters; the rest of the field is zeroed.
  void SetName(std::wstring_view name);
  void SetFilePath(const std::wstring& path) { filePath = path; }
  void GetId(GUID& out) const { out = id; }

  // Same id, names equal without regard to case, and the same events in order.
  bool operator==(const CMacro& other) const;

  // Whether the name or the events differ from what the device holds as far as the
  // configuration knows (what it last read from or wrote to the device): a write
  // sends only those. Fingerprints rather than marks, since the window code edits
  // the event list in place.
  bool NameDiffersFromDevice() const { return deviceName == 0 || deviceName != Fingerprint(GetName()); }
  bool EventsDifferFromDevice() const { return deviceEvents == 0 || deviceEvents != Fingerprint(events); }
  // The device now holds this name and these events (read, or written from `written`).
  void HeldByDevice(const CMacro& written) {
    deviceName = Fingerprint(written.GetName());
    deviceEvents = Fingerprint(written.events);
  }

  wchar_t name[kMacroNameChars] = {};
  GUID id{};
  MacroEventList events;
  std::wstring filePath;
  // Fingerprints of the name and events the device holds; 0 when not known.
  uint64_t deviceName = 0;
  uint64_t deviceEvents = 0;
};

// The macros of the configuration in creation order; owns them. No two names are
// equal without regard to case.
class CMacroList {
 public:
  CMacroList() = default;
  CMacroList(const CMacroList&) = delete;
  CMacroList& operator=(const CMacroList&) = delete;

  // The first macro whose name equals `name` without regard to case, or null.
  CMacro* FindByName(std::wstring_view name) const;
  // The first macro with this id; null for the all-zero id, which no device
  // macro has.
  CMacro* FindById(const GUID& id) const;
  // A new macro at the end; null when the name (cut to 255 characters) is taken.
  CMacro* Create(std::wstring_view name, const MacroEventList& events);
  // Removes and deletes this very macro; a pointer not in the list changes nothing.
  void Delete(CMacro* macro);
  // Gives the macro a new name (cut to 255 characters). Refused (false) when
  // another macro has that name without regard to case, or the macro is not in the
  // list; a change of letter case of its own name is allowed.
  bool Rename(CMacro* macro, std::wstring_view name);

  std::size_t Count() const { return m_macros.size(); }
  // Null for an index outside 0..count-1.
  CMacro* At(std::ptrdiff_t index) const;
  void Clear() { m_macros.clear(); }

 private:
  std::vector<std::unique_ptr<CMacro>> m_macros;
};

class CQxApp {
 public:
  explicit CQxApp(std::wstring_view programPath) : path(programPath) {}
  // Same id and the same path character for character.
  bool operator==(const CQxApp& other) const;

  // As for macros: whether the path differs from the one the device holds.
  bool PathDiffersFromDevice() const { return devicePath == 0 || devicePath != Fingerprint(path); }
  void HeldByDevice(const CQxApp& written) { devicePath = Fingerprint(written.path); }

  std::wstring path;
  GUID id{};
  uint64_t devicePath = 0;  // fingerprint of the path the device holds; 0 when not known
};

// The linked applications of the configuration in creation order; owns them. No
// two paths are equal without regard to case.
class CQxAppList {
 public:
  CQxAppList() = default;
  CQxAppList(const CQxAppList&) = delete;
  CQxAppList& operator=(const CQxAppList&) = delete;

  CQxApp* FindByName(std::wstring_view path) const;
  // Null for the all-zero id.
  CQxApp* FindById(const GUID& id) const;
  // Null when the path is taken.
  CQxApp* Create(std::wstring_view path);
  void Delete(CQxApp* app);

  std::size_t Count() const { return m_apps.size(); }
  CQxApp* At(std::ptrdiff_t index) const;
  void Clear() { m_apps.clear(); }

 private:
  std::vector<std::unique_ptr<CQxApp>> m_apps;
};
