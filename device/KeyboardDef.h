// The keys of the keyboard: their names, the scan-code sequences they send, and
// the default code of every key in the current keyboard layout. Both come from
// binary files in the skin's "bin\" folder; one CKeyboardDef serves the whole
// program.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "gui/base/GUIItem.h"

// One entry of a code sequence: a scan code, or a prefix byte with a non-zero flag
// (1 for E0, 2 for E1).
struct KeyCode {
  int16_t code = 0;
  uint8_t flag = 0;
};

inline constexpr int kKeyCodeBlocks = 4;
inline constexpr int kKeyCodesPerBlock = 10;

struct KeyDefinition {
  int32_t id = 0;  // HashKeyName(name)
  std::wstring name;
  int16_t value1 = -1;
  int16_t value2 = -1;
  // Block 0 is the key's scan-code sequence; the others are kept as read.
  KeyCode sequences[kKeyCodeBlocks][kKeyCodesPerBlock] = {};
  int16_t scanCode = 0;  // derived from block 0
  uint8_t extended = 0;  // derived with it
};

// The key id of a key name: djb2 over the UTF-16 units, 32-bit wrap-around.
int32_t HashKeyName(std::wstring_view name);

// {scan code, flag} of a sequence: a plain code stands for itself; after a prefix
// entry, the last of the codes that follow it.
KeyCode ScanCodeFromSequence(const KeyCode (&block)[kKeyCodesPerBlock]);

// False for the placeholder names of unused positions and for a sequence that
// starts with a negative code.
bool IsUsableKeyName(const KeyDefinition& definition);

class CKeyboardDef : public CGUIItem {
 public:
  CKeyboardDef();

  // Reads the key-definition file. False for no data; true without reading when
  // already loaded; otherwise true exactly when the data ends with the last record
  // that the count announces. Never reads past `size`.
  bool LoadKeyDefinitions(std::size_t size, const uint8_t* bytes);
  // Reads the key-defaults file: a count and that many {key id, value} pairs. False
  // (and nothing stored) when the size does not hold exactly that many pairs.
  bool LoadKeyDefaults(const uint8_t* bytes, std::size_t size);

  // The id of the first usable key (ascending ids) that sends this code: scan code in
  // bits 0-15, flag in bits 16-23. 0 when none.
  int32_t FindKeyByScanCode(uint32_t keyCode) const;
  // {scan code, flag} of the key; {0, 0} for an id without a usable definition.
  KeyCode GetKeyScanCode(int32_t keyId) const;
  // The key's default in the current layout; {0, 0} when the defaults name none.
  KeyCode GetKeyDefault(int32_t keyId) const;
  // The key's usable definition, or null.
  const KeyDefinition* FindDefinition(int32_t keyId) const;

  const std::vector<KeyDefinition>& Definitions() const { return m_definitions; }
  const std::map<int32_t, KeyDefinition>& DefinitionsById() const { return m_byId; }
  std::map<int32_t, KeyDefinition>& DefinitionsById() { return m_byId; }
  const std::map<int32_t, KeyCode>& Defaults() const { return m_defaults; }
  bool IsLoaded() const { return m_loaded != 0; }

 private:
  std::vector<KeyDefinition> m_definitions;
  std::map<int32_t, KeyDefinition> m_byId;
  std::map<int32_t, KeyCode> m_defaults;
  uint8_t m_loaded = 0;
};

// The program's one keyboard definition, filled by the skin loader.
CKeyboardDef& GlobalKeyboardDef();
