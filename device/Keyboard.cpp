#include "device/Keyboard.h"

#include <cstring>

#include "device/KeyboardConfig.h"
#include "device/KeyboardDef.h"


namespace {

using device::IsNamedKind;

// Records a write may change: by-name ones it resolves, and ones that switch to a
// profile, play a macro or launch a program by id, which it points again when it
// had to make the target anew.
bool IsRewritableKind(int32_t kind) {
  return IsNamedKind(kind) || kind == KEYKIND_PROFILE || kind == KEYKIND_MACRO || kind == KEYKIND_LAUNCH;
}

bool SameRecord(const KeyAssignment& a, const KeyAssignment& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The write gave the copy an id other than the one copied (created, or made anew
// after the device lost the object), and the live object still has the copied one.
bool IsNewId(const GUID& copied, const GUID& written, const GUID& liveNow) {
  return !IsZeroGuid(written) && !IsEqualGUID(written, copied) && IsEqualGUID(liveNow, copied);
}

template <typename TGet>
bool Contains(int count, TGet get, const void* object) {
  for (int i = 0; i < count; ++i)
    if (get(i) == object) return true;
  return false;
}

}  // namespace

CKeyboard::CKeyboard() = default;

CKeyboard::~CKeyboard() {
  // The write thread runs this object's jobs: it must have ended before any part of
  // the object goes.
  WaitForWriteOnDestruction();
}

int32_t CKeyboard::KeyIdFromDeviceCode(uint32_t deviceKeyCode) {
  const auto scanCode = static_cast<uint16_t>(DeviceKeyScanCode(deviceKeyCode));
  const uint32_t flag = DeviceKeyDefinitionFlag(deviceKeyCode);
  return GlobalKeyboardDef().FindKeyByScanCode(scanCode | flag << 16);
}

KeyAssignment CKeyboard::DefaultKeyAssignment(int32_t keyId, uint32_t deviceKeyCode) {
  const CKeyboardDef& keyboard = GlobalKeyboardDef();
  KeyCode code{};
  if (keyId != 0) code = keyboard.GetKeyDefault(keyId);
  if (code.code == 0 && keyId != 0) code = keyboard.GetKeyScanCode(keyId);
  if (code.code == 0)
    code = KeyCode{static_cast<int16_t>(DeviceKeyScanCode(deviceKeyCode)), DeviceKeyDefinitionFlag(deviceKeyCode)};
  KeyAssignment record;
  record.kind = KEYKIND_DEFAULT;
  record.payload.key.scanCode = code.code;
  record.payload.key.virtualKey = 0;
  record.payload.key.flags = code.flag != 0 ? KEYFLAG_EXTENDED : 0;
  return record;
}

bool CKeyboard::IsKeyDefault(int32_t keyId, uint32_t deviceKeyCode, const KeyAssignment& record) {
  // A key sent with a modifier is a different key, whatever its scan code.
  if (record.payload.key.flags & (KEYFLAG_ALT | KEYFLAG_CTRL | KEYFLAG_SHIFT)) return false;
  const KeyAssignment standard = DefaultKeyAssignment(keyId, deviceKeyCode);
  if (standard.payload.key.scanCode != record.payload.key.scanCode) return false;
  const bool standardPrefixed = (standard.payload.key.flags & KEYFLAG_EXTENDED) != 0;
  // Scan code 0x45 is Num Lock without a prefix and Pause with one; the record tells
  // them apart by its virtual key, since its extended bit is cleared on reading.
  const bool prefixed = record.payload.key.scanCode == 0x45 ? record.payload.key.virtualKey == 19
                                                             : (record.payload.key.flags & KEYFLAG_EXTENDED) != 0;
  return prefixed == standardPrefixed;
}

device::ResolvedKeyTable CKeyboard::ResolveKeyTable(const std::vector<uint32_t>& deviceKeyCodes) {
  device::ResolvedKeyTable table;
  table.reserve(deviceKeyCodes.size());
  for (const uint32_t code : deviceKeyCodes) {
    const int32_t keyId = KeyIdFromDeviceCode(code);
    table.push_back(device::ResolvedKey{code, keyId, DefaultKeyAssignment(keyId, code)});
  }
  return table;
}

bool CKeyboard::TransferConfig(IKeyboardConfig* config, int direction, TransferMask mask) {
  if (config == nullptr) return false;
  if (direction == TRANSFER_FROM_DEVICE)
    return CallConnected(
        [this](DeviceSession& session, IKeyboardConfig* target, TransferMask steps) {
          return ReadConfigJob(session, target, steps);
        },
        config, mask);
  if (direction == TRANSFER_TO_DEVICE) return StartWrite(config, mask);
  return false;
}

bool CKeyboard::StartWrite(IKeyboardConfig* config, TransferMask mask) {
  CollectFinishedWrite();
  if (IsWriting()) return false;
  auto snapshot = std::make_shared<CConfigSnapshot>();
  if (!snapshot->Take(config)) return false;
  // Filled here, on the window thread, so that the write thread only ever reads them.
  BuildAssignmentTemplates();
  auto params = std::make_unique<DeviceThreadParams>();
  params->config = snapshot->Copy();
  params->mask = mask;
  params->keyTable = ResolveKeyTable(KeyCodes());
  params->job = [this](DeviceSession& session, IKeyboardConfig* copy, TransferMask steps) {
    return WriteConfigJob(session, copy, steps);
  };
  params->completion = [snapshot, config, mask](DeviceThreadParams& ended) {
    snapshot->CarryBack(config, ended.result, mask);
  };
  return StartWriteThread(std::move(params));
}

bool CKeyboard::LastWriteSucceeded() {
  CollectFinishedWrite();
  return LastWriteResult();
}

bool CKeyboard::GetFirmwareVersion(std::wstring& out) {
  out = m_firmwareVersion;
  return true;
}

bool CKeyboard::GetSecondVersion(std::wstring& out) {
  out = m_secondVersion;
  return true;
}

uint32_t CKeyboard::GetProductId() { return Descriptor().productId; }

// ---- the write's copy of the configuration

CConfigSnapshot::CConfigSnapshot() = default;
CConfigSnapshot::~CConfigSnapshot() = default;

IKeyboardConfig* CConfigSnapshot::Copy() const { return m_copy.get(); }

bool CConfigSnapshot::Take(IKeyboardConfig* live) {
  if (live == nullptr) return false;
  // Every change up to here is in the copy; a later one is not, and keeps its mark.
  m_stamp = device::LatestChangeStamp();
  m_copy = std::make_unique<CMorvelConfig>(std::wstring());
  IKeyboardProfile* liveActive = live->GetActiveProfile();
  for (int i = 0; i < live->GetProfileCount(); ++i) {
    IKeyboardProfile* source = live->GetProfile(i);
    IKeyboardProfile* copied = m_copy->AddProfileCopy(source);
    const auto* keys = dynamic_cast<const CBaseProfile*>(source);
    if (copied == nullptr || keys == nullptr) return false;
    ProfileLink link{source, copied, source->GetId(), {}};
    for (const auto& [keyId, record] : keys->KeyMap())
      if (IsRewritableKind(record.kind)) link.rewritableKeys.emplace(keyId, record);
    m_profiles.push_back(std::move(link));
    if (source == liveActive) m_copy->SetActiveProfile(copied);
  }
  for (int i = 0; i < live->GetMacroCount(); ++i) {
    CMacro* source = live->GetMacro(i);
    if (source == nullptr) return false;
    CMacro* copied = m_copy->CreateMacro(source->GetName());
    if (copied == nullptr) return false;
    copied->id = source->id;
    copied->events = source->events;
    copied->filePath = source->filePath;
    copied->deviceName = source->deviceName;
    copied->deviceEvents = source->deviceEvents;
    m_macros.push_back(MacroLink{source, copied, source->id});
  }
  for (int i = 0; i < live->GetAppCount(); ++i) {
    CQxApp* source = live->GetApp(i);
    if (source == nullptr) return false;
    CQxApp* copied = m_copy->CreateApp(source->path);
    if (copied == nullptr) return false;
    copied->id = source->id;
    copied->devicePath = source->devicePath;
    m_apps.push_back(AppLink{source, copied, source->id});
  }
  // The copy's active choice is marked as the live one is, not by the copying.
  const auto* liveMarks = dynamic_cast<const CMorvelConfig*>(live);
  m_copy->SetActiveMark(liveMarks != nullptr ? liveMarks->ActiveMark() : device::NewChangeStamp());
  return true;
}

void CConfigSnapshot::CarryBack(IKeyboardConfig* live, bool succeeded, TransferMask mask) const {
  if (live == nullptr || m_copy == nullptr) return;
  const bool keysWritten = (mask & 0x002) != 0;
  const bool propertiesWritten = (mask & 0x100) != 0;
  for (const ProfileLink& link : m_profiles) {
    if (!Contains(live->GetProfileCount(), [&](int i) { return static_cast<void*>(live->GetProfile(i)); }, link.live))
      continue;  // deleted (or replaced by a rename) meanwhile
    auto* current = dynamic_cast<CBaseProfile*>(link.live);
    if (current == nullptr) continue;
    const GUID written = link.copy->GetId();
    const bool created = IsNewId(link.id, written, link.live->GetId());
    if (created) link.live->SetId(written);
    if (succeeded)
      current->ClearMarks(m_stamp, keysWritten, propertiesWritten);
    else if (created)
      current->MarkEverything();  // made on the device, but perhaps not filled
    for (const auto& [keyId, original] : link.rewritableKeys) {
      KeyAssignment rewritten;
      m_copy->GetKeyAssignment(rewritten, keyId, link.copy);
      const auto now = current->KeyMap().find(keyId);
      if (now == current->KeyMap().end() || !SameRecord(now->second, original)) continue;  // changed meanwhile
      if (SameRecord(rewritten, original)) {
        // A name not resolved stays by name, its key at its default on the device:
        // the next write tries again.
        if (IsNamedKind(original.kind)) current->MarkKey(keyId);
        continue;
      }
      live->SetKeyAssignment(keyId, rewritten, link.live);
      // The device holds the rewritten record only when the write succeeded.
      if (succeeded) current->ClearKeyMark(keyId);
    }
  }
  if (!succeeded) {
    // Ids the device gave stay known, so nothing is made twice; every mark stays.
    for (const MacroLink& link : m_macros) {
      if (!Contains(live->GetMacroCount(), [&](int i) { return static_cast<void*>(live->GetMacro(i)); }, link.live))
        continue;
      if (IsNewId(link.id, link.copy->id, link.live->id)) link.live->id = link.copy->id;
    }
    for (const AppLink& link : m_apps) {
      if (!Contains(live->GetAppCount(), [&](int i) { return static_cast<void*>(live->GetApp(i)); }, link.live))
        continue;
      if (IsNewId(link.id, link.copy->id, link.live->id)) link.live->id = link.copy->id;
    }
    return;
  }
  if (auto* marks = dynamic_cast<CMorvelConfig*>(live); marks != nullptr && (mask & 0x30F) != 0 &&
                                                         marks->ActiveMark() <= m_stamp)
    marks->SetActiveMark(0);
  for (const MacroLink& link : m_macros) {
    if (!Contains(live->GetMacroCount(), [&](int i) { return static_cast<void*>(live->GetMacro(i)); }, link.live))
      continue;
    if (IsNewId(link.id, link.copy->id, link.live->id)) link.live->id = link.copy->id;
    if (mask & 0x010) link.live->HeldByDevice(*link.copy);
  }
  for (const AppLink& link : m_apps) {
    if (!Contains(live->GetAppCount(), [&](int i) { return static_cast<void*>(live->GetApp(i)); }, link.live))
      continue;
    if (IsNewId(link.id, link.copy->id, link.live->id)) link.live->id = link.copy->id;
    if (mask & 0x200) link.live->HeldByDevice(*link.copy);
  }
}
