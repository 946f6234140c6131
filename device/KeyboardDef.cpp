#include "device/KeyboardDef.h"

#include <cstring>

#include "platform/Strings.h"

namespace {

// Fixed parts of a definition record around its name.
constexpr uint64_t kNameLengthBytes = 4;
constexpr uint64_t kValuesBytes = 4;
constexpr uint64_t kCodeEntryBytes = 4;  // int16 code, uint8 flag, uint8 padding
constexpr uint64_t kBlocksBytes = uint64_t{kKeyCodeBlocks} * kKeyCodesPerBlock * kCodeEntryBytes;
constexpr std::size_t kMaxNameChars = 255;

uint32_t ReadU32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

int16_t ReadI16(const uint8_t* p) {
  return static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
}

}  // namespace

int32_t HashKeyName(std::wstring_view name) {
  uint32_t hash = 5381;
  for (wchar_t unit : name) hash = hash * 33 + static_cast<uint16_t>(unit);
  return static_cast<int32_t>(hash);
}

KeyCode ScanCodeFromSequence(const KeyCode (&block)[kKeyCodesPerBlock]) {
  if (block[0].flag == 0) return {block[0].code, 0};
  int last = 0;
  while (last + 1 < kKeyCodesPerBlock && block[last + 1].code != 0 && block[last + 1].flag == 0)
    ++last;
  return {block[last].code, block[0].flag};
}

bool IsUsableKeyName(const KeyDefinition& definition) {
  static constexpr std::wstring_view kPlaceholders[] = {L"DO NOT USE", L"UNASSIGNED", L"RESERVED",
                                                        L"None"};
  for (std::wstring_view placeholder : kPlaceholders)
    if (platform::EqualsNoCase(definition.name, placeholder)) return false;
  return definition.sequences[0][0].code >= 0;
}

CKeyboardDef::CKeyboardDef() = default;

bool CKeyboardDef::LoadKeyDefinitions(std::size_t size, const uint8_t* bytes) {
  if (bytes == nullptr || size == 0) return false;
  if (m_loaded) return true;
  m_loaded = 1;
  // Positions are 64-bit so that no length in the file can wrap them.
  const uint64_t end = size;
  if (end < 4) return false;
  const uint32_t count = ReadU32(bytes);
  uint64_t pos = 4;
  uint32_t read = 0;
  while (read < count) {
    if (end - pos < kNameLengthBytes) return false;
    const uint64_t nameBytes = ReadU32(bytes + pos);
    // A UTF-16 name has an even length; anything else is not a record of this file.
    if (nameBytes % 2 != 0) return false;
    if (end - pos - kNameLengthBytes < nameBytes + kValuesBytes + kBlocksBytes) return false;

    KeyDefinition definition;
    const uint8_t* p = bytes + pos + kNameLengthBytes;
    const std::size_t nameChars = static_cast<std::size_t>(nameBytes / 2);
    const std::size_t kept = nameChars < kMaxNameChars ? nameChars : kMaxNameChars;
    definition.name.resize(kept);
    for (std::size_t i = 0; i < kept; ++i)
      definition.name[i] = static_cast<wchar_t>(p[2 * i] | p[2 * i + 1] << 8);
    p += nameBytes;
    definition.value1 = ReadI16(p);
    definition.value2 = ReadI16(p + 2);
    p += kValuesBytes;
    for (auto& block : definition.sequences) {
      for (KeyCode& entry : block) {
        entry.code = ReadI16(p);
        entry.flag = p[2];
        p += kCodeEntryBytes;
      }
    }
    const KeyCode derived = ScanCodeFromSequence(definition.sequences[0]);
    definition.scanCode = derived.code;
    definition.extended = derived.flag;
    definition.id = HashKeyName(definition.name);
    m_definitions.push_back(definition);
    if (IsUsableKeyName(definition)) m_byId[definition.id] = definition;

    pos += kNameLengthBytes + nameBytes + kValuesBytes + kBlocksBytes;
    ++read;
    if (pos >= end) break;
  }
  return read == count && pos == end;
}

bool CKeyboardDef::LoadKeyDefaults(const uint8_t* bytes, std::size_t size) {
  if (bytes == nullptr || size < 4) return false;
  const uint64_t count = ReadU32(bytes);
  if ((uint64_t{size} - 4) / 8 != count) return false;
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t* pair = bytes + 4 + 8 * i;
    const int32_t keyId = static_cast<int32_t>(ReadU32(pair));
    const uint32_t value = ReadU32(pair + 4);
    m_defaults[keyId] = {static_cast<int16_t>(value & 0xFFFF), static_cast<uint8_t>(value >> 16)};
  }
  return true;
}

int32_t CKeyboardDef::FindKeyByScanCode(uint32_t keyCode) const {
  const auto scanCode = static_cast<int16_t>(keyCode & 0xFFFF);
  const auto flag = static_cast<uint8_t>(keyCode >> 16);
  for (const auto& [id, definition] : m_byId)
    if (definition.scanCode == scanCode && definition.extended == flag) return id;
  return 0;
}

KeyCode CKeyboardDef::GetKeyScanCode(int32_t keyId) const {
  const KeyDefinition* definition = FindDefinition(keyId);
  if (definition == nullptr) return {};
  return {definition->scanCode, definition->extended};
}

KeyCode CKeyboardDef::GetKeyDefault(int32_t keyId) const {
  const auto found = m_defaults.find(keyId);
  return found == m_defaults.end() ? KeyCode{} : found->second;
}

const KeyDefinition* CKeyboardDef::FindDefinition(int32_t keyId) const {
  const auto found = m_byId.find(keyId);
  // A record without a name (a definitions file may hold one) is no key to look up.
  if (found == m_byId.end() || found->second.name.empty()) return nullptr;
  return &found->second;
}

CKeyboardDef& GlobalKeyboardDef() {
  static CKeyboardDef* const instance = new CKeyboardDef();  // lives until the process ends
  return *instance;
}
