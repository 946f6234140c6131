// Fakes of the keyboard-text and raw-input seams for tests: a keyboard layout
// given as tables, and raw-input records given as bytes, with every
// registration call kept.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "device/KeyboardText.h"
#include "device/RawInput.h"

namespace device::testing {

class FakeKeyboardText : public IKeyboardText {
 public:
  FakeKeyboardText() { SetKeyboardText(this); }
  ~FakeKeyboardText() override { SetKeyboardText(nullptr); }

  std::wstring KeyNameText(LONG lParam, int) override {
    auto it = names.find(lParam);
    return it == names.end() ? std::wstring() : it->second;
  }
  std::wstring ToUnicode(UINT virtualKey, UINT) override {
    auto it = typed.find(virtualKey);
    return it == typed.end() ? std::wstring() : it->second;
  }
  UINT MapVirtualKey(UINT code, UINT mapType) override {
    if (mapType != MAPVK_VK_TO_CHAR) return 0;
    auto it = characters.find(code);
    return it == characters.end() ? 0 : it->second;
  }
  SHORT VkKeyScan(wchar_t ch) override {
    auto it = keysOf.find(ch);
    return it == keysOf.end() ? static_cast<SHORT>(-1) : it->second;
  }

  std::map<LONG, std::wstring> names;       // GetKeyNameText by its lParam
  std::map<UINT, std::wstring> typed;       // ToUnicode by virtual key
  std::map<UINT, UINT> characters;          // MapVirtualKey VK_TO_CHAR by virtual key
  std::map<wchar_t, SHORT> keysOf;          // VkKeyScan by character
};

// A keyboard record as GetRawInputData gives it.
inline std::vector<BYTE> KeyboardRecordBytes(USHORT makeCode, USHORT flags, USHORT virtualKey) {
  RAWINPUT input{};
  input.header.dwType = RIM_TYPEKEYBOARD;
  input.header.dwSize = offsetof(RAWINPUT, data) + sizeof(RAWKEYBOARD);
  input.data.keyboard.MakeCode = makeCode;
  input.data.keyboard.Flags = flags;
  input.data.keyboard.VKey = virtualKey;
  input.data.keyboard.Message = (flags & RI_KEY_BREAK) ? WM_KEYUP : WM_KEYDOWN;
  std::vector<BYTE> bytes(input.header.dwSize);
  std::memcpy(bytes.data(), &input, bytes.size());
  return bytes;
}

class FakeRawInput : public IRawInputApi {
 public:
  FakeRawInput() { SetRawInputApi(this); }
  ~FakeRawInput() override { SetRawInputApi(nullptr); }

  struct Call {
    std::vector<RAWINPUTDEVICE> devices;
    UINT entrySize;
  };

  BOOL RegisterDevices(const RAWINPUTDEVICE* devices, UINT count, UINT entrySize) override {
    calls.push_back({std::vector<RAWINPUTDEVICE>(devices, devices + count), entrySize});
    return registerResult;
  }

  // The record for a handle: its bytes; a size query answers `reportedSize`
  // when set, else the bytes' count.
  UINT GetData(HRAWINPUT input, UINT command, void* data, UINT* size, UINT headerSize) override {
    if (command != RID_INPUT || headerSize != sizeof(RAWINPUTHEADER) || !size) return static_cast<UINT>(-1);
    auto it = records.find(input);
    if (it == records.end()) return static_cast<UINT>(-1);
    const UINT have = static_cast<UINT>(it->second.size());
    if (!data) {
      *size = reportedSize ? *reportedSize : have;
      return 0;
    }
    if (*size < have) return static_cast<UINT>(-1);
    std::memcpy(data, it->second.data(), have);
    return have;
  }

  // Stores a record under a new handle and returns the WM_INPUT lParam for it.
  LPARAM Add(std::vector<BYTE> bytes) {
    HRAWINPUT handle = reinterpret_cast<HRAWINPUT>(static_cast<intptr_t>(0x1000 + records.size()));
    records[handle] = std::move(bytes);
    return reinterpret_cast<LPARAM>(handle);
  }
  LPARAM AddKey(USHORT makeCode, USHORT flags, USHORT virtualKey) {
    return Add(KeyboardRecordBytes(makeCode, flags, virtualKey));
  }

  BOOL registerResult = TRUE;
  std::optional<UINT> reportedSize;
  std::vector<Call> calls;
  std::map<HRAWINPUT, std::vector<BYTE>> records;
};

}  // namespace device::testing
