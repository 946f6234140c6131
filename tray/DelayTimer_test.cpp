#include "tray/DelayTimer.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "device/InputFakes.h"

// Recorded events compare and print by their two fields.
inline bool operator==(const DeviceMacroEvent& a, const DeviceMacroEvent& b) {
  return a.type == b.type && a.data == b.data;
}
inline std::ostream& operator<<(std::ostream& out, const DeviceMacroEvent& e) {
  return out << "{" << e.type << ", 0x" << std::hex << e.data << std::dec << "}";
}

namespace {

using device::testing::FakeRawInput;

// One input as the recorder sees it: at a tick, a record's bytes.
struct Input {
  DWORD at;
  std::vector<BYTE> bytes;
};

std::vector<BYTE> Key(USHORT make, USHORT flags, USHORT vk = 0x41) {
  return device::testing::KeyboardRecordBytes(make, flags, vk);
}

std::vector<BYTE> Mouse(USHORT buttonFlags, USHORT buttonData = 0, LONG dx = 0) {
  RAWINPUT input{};
  input.header.dwType = RIM_TYPEMOUSE;
  input.header.dwSize = offsetof(RAWINPUT, data) + sizeof(RAWMOUSE);
  input.data.mouse.usButtonFlags = buttonFlags;
  input.data.mouse.usButtonData = buttonData;
  input.data.mouse.lLastX = dx;
  std::vector<BYTE> bytes(input.header.dwSize);
  std::memcpy(bytes.data(), &input, bytes.size());
  return bytes;
}

// A keyboard record cut short: its header and size claim less than a keyboard part.
std::vector<BYTE> ShortKey() {
  std::vector<BYTE> bytes = Key(0x1E, 0);
  const DWORD size = offsetof(RAWINPUT, data) + 4;
  bytes.resize(size);
  reinterpret_cast<RAWINPUTHEADER*>(bytes.data())->dwSize = size;
  return bytes;
}

std::vector<BYTE> Hid() {
  std::vector<BYTE> bytes(offsetof(RAWINPUT, data) + offsetof(RAWHID, bRawData), 0);
  auto* header = reinterpret_cast<RAWINPUTHEADER*>(bytes.data());
  header->dwType = RIM_TYPEHID;
  header->dwSize = static_cast<DWORD>(bytes.size());
  return bytes;
}

DeviceMacroEvent KeyRec(USHORT make, USHORT flags) { return {kRecorderKey, make | (DWORD{flags} << 16)}; }
DeviceMacroEvent Button(USHORT flag, USHORT data = 0) { return {kRecorderMouseButton, flag | (DWORD{data} << 16)}; }
DeviceMacroEvent Delay(DWORD ms) { return {kRecorderDelay, ms}; }


class RecorderTest : public ::testing::Test {
 protected:
  void SetUp() override { recorder.SetClock([this] { return now; }); }
  std::vector<DeviceMacroEvent> Record(DWORD startAt, const std::vector<Input>& inputs) {
    now = startAt;
    recorder.Start();
    for (const Input& input : inputs) {
      now = input.at;
      recorder.OnRawInput(raw.Add(input.bytes));
    }
    return recorder.Events();
  }

  FakeRawInput raw;
  CDelayTimer recorder;
  DWORD now = 0;
};

TEST_F(RecorderTest, RecordsKeysButtonsAndDelays) {
  struct Case {
    const char* what;
    DWORD start;
    std::vector<Input> inputs;
    std::vector<DeviceMacroEvent> events;
  };
  const Case cases[] = {
      {"press and release 120 ms later: no delay before the first event",
       1000,
       {{1500, Key(0x1E, 0)}, {1620, Key(0x1E, RI_KEY_BREAK)}},
       {KeyRec(0x1E, 0), Delay(120), KeyRec(0x1E, 1)}},
      {"a held key: one press, the release kept",
       0,
       {{10, Key(0x1E, 0)}, {40, Key(0x1E, 0)}, {70, Key(0x1E, 0)}, {90, Key(0x1E, RI_KEY_BREAK)}},
       {KeyRec(0x1E, 0), Delay(80), KeyRec(0x1E, 1)}},
      {"the same key pressed again after another key is no repeat",
       0,
       {{0, Key(0x1E, 0)}, {5, Key(0x30, 0)}, {9, Key(0x1E, 0)}},
       {KeyRec(0x1E, 0), Delay(5), KeyRec(0x30, 0), Delay(4), KeyRec(0x1E, 0)}},
      {"an extended key keeps its E0 flag; the system's fake Shift around it is dropped",
       0,
       {{0, Key(0x2A, RI_KEY_E0, 0xFF)}, {1, Key(0x48, RI_KEY_E0, VK_UP)}, {2, Key(0x2A, RI_KEY_E0 | RI_KEY_BREAK, 0xFF)}},
       {KeyRec(0x48, RI_KEY_E0)}},
      {"the longest delay is 0xFFFFFF ms",
       0,
       {{0, Key(0x1E, 0)}, {0x1000000 + 5, Key(0x1E, RI_KEY_BREAK)}},
       {KeyRec(0x1E, 0), Delay(0xFFFFFF), KeyRec(0x1E, 1)}},
      {"the tick count wrapping round",
       0xFFFFFFF0,
       {{0xFFFFFFF0, Key(0x1E, 0)}, {0x10, Key(0x1E, RI_KEY_BREAK)}},
       {KeyRec(0x1E, 0), Delay(0x20), KeyRec(0x1E, 1)}},
      {"one button flag is kept with its movement and data",
       0,
       {{0, Mouse(RI_MOUSE_LEFT_BUTTON_DOWN, 0, 12)}, {30, Mouse(RI_MOUSE_LEFT_BUTTON_UP)},
        {40, Mouse(RI_MOUSE_BUTTON_5_DOWN, 7)}},
       {Button(0x001), Delay(30), Button(0x002), Delay(10), Button(0x100, 7)}},
      {"movement alone, the wheel and several flags at once are dropped",
       0,
       {{0, Mouse(0, 0, 5)}, {1, Mouse(RI_MOUSE_WHEEL, 120)},
        {2, Mouse(RI_MOUSE_LEFT_BUTTON_DOWN | RI_MOUSE_RIGHT_BUTTON_DOWN)}},
       {}},
      {"short records and other types are dropped",
       0,
       {{0, ShortKey()}, {1, Hid()}, {2, Key(0x1E, 0)}},
       {KeyRec(0x1E, 0)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Record(c.start, c.inputs), c.events);
  }
}

TEST_F(RecorderTest, NothingWhileNotRecordingAndStopKeepsTheEvents) {
  now = 5;
  recorder.OnRawInput(raw.AddKey(0x1E, 0, 0x41));
  EXPECT_TRUE(recorder.Events().empty());
  EXPECT_FALSE(recorder.IsRecording());

  Record(0, {{0, Key(0x1E, 0)}});
  recorder.Stop();
  recorder.OnRawInput(raw.AddKey(0x30, 0, 0x42));
  EXPECT_EQ(recorder.Events(), std::vector<DeviceMacroEvent>{KeyRec(0x1E, 0)});
  recorder.Start();
  EXPECT_TRUE(recorder.Events().empty()) << "a new start begins a new list";
  recorder.Clear();
  EXPECT_FALSE(recorder.IsRecording());
}

// The list ends at the service's limit: a delay and an event that would pass it are both left out.
TEST_F(RecorderTest, TheListStopsAtTheServicesLimit) {
  RAWINPUT press{};
  press.header.dwType = RIM_TYPEKEYBOARD;
  press.header.dwSize = offsetof(RAWINPUT, data) + sizeof(RAWKEYBOARD);
  RAWINPUT release = press;
  release.data.keyboard.Flags = RI_KEY_BREAK;
  recorder.Start();
  for (size_t i = 0; recorder.Events().size() < tray::kMaxRecordedEvents - 1; ++i) {
    press.data.keyboard.MakeCode = release.data.keyboard.MakeCode = static_cast<USHORT>(0x10 + i % 2);
    recorder.OnRecord(i % 2 ? release : press);
  }
  const size_t before = recorder.Events().size();
  ASSERT_EQ(before, tray::kMaxRecordedEvents - 1);
  recorder.OnRecord(release);
  EXPECT_EQ(recorder.Events().size(), before);
  EXPECT_EQ(recorder.Events().back().type, kRecorderKey);
}

}  // namespace
