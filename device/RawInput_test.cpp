#include "device/RawInput.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "device/InputFakes.h"

namespace {

using device::testing::FakeRawInput;
using device::testing::KeyboardRecordBytes;

HWND FakeWindow() { return reinterpret_cast<HWND>(static_cast<intptr_t>(0x4242)); }

TEST(RawInputRegistrar, RegistersEachUsageOnceWithItsFlags) {
  FakeRawInput api;
  RawInputRegistrar registrar;
  registrar.AddUsage(6);
  registrar.AddUsage(2);
  registrar.AddUsage(6);
  ASSERT_EQ(registrar.Usages(), (std::vector<uint16_t>{6, 2}));
  ASSERT_TRUE(registrar.Register(FakeWindow()));
  EXPECT_TRUE(registrar.IsRegistered());
  ASSERT_EQ(api.calls.size(), 1u);
  const auto& call = api.calls[0];
  EXPECT_EQ(call.entrySize, sizeof(RAWINPUTDEVICE));
  ASSERT_EQ(call.devices.size(), 2u);
  EXPECT_EQ(call.devices[0].usUsagePage, 1);
  EXPECT_EQ(call.devices[0].usUsage, 6);
  EXPECT_EQ(call.devices[0].dwFlags, DWORD{RIDEV_INPUTSINK | RIDEV_NOLEGACY});
  EXPECT_EQ(call.devices[1].usUsage, 2);
  EXPECT_EQ(call.devices[1].dwFlags, DWORD{RIDEV_INPUTSINK});
  EXPECT_EQ(call.devices[1].hwndTarget, FakeWindow());

  EXPECT_FALSE(registrar.Register(FakeWindow()));  // registered already
  EXPECT_EQ(api.calls.size(), 1u);

  registrar.Unregister();
  ASSERT_EQ(api.calls.size(), 2u);
  for (const RAWINPUTDEVICE& device : api.calls[1].devices) {
    EXPECT_EQ(device.dwFlags, DWORD{RIDEV_REMOVE});
    EXPECT_EQ(device.hwndTarget, nullptr);
  }
  EXPECT_FALSE(registrar.IsRegistered());
  EXPECT_TRUE(registrar.Usages().empty());
  EXPECT_EQ(registrar.Devices(), nullptr);
}

TEST(RawInputRegistrar, RefusesWithoutWindowOrUsagesAndAfterAFailureUntilUnregister) {
  FakeRawInput api;
  RawInputRegistrar registrar;
  EXPECT_FALSE(registrar.Register(FakeWindow()));  // no usage
  registrar.AddUsage(6);
  EXPECT_FALSE(registrar.Register(nullptr));
  EXPECT_EQ(registrar.Devices(), nullptr);
  EXPECT_TRUE(api.calls.empty());

  api.registerResult = FALSE;
  EXPECT_FALSE(registrar.Register(FakeWindow()));
  EXPECT_FALSE(registrar.IsRegistered());
  api.registerResult = TRUE;
  EXPECT_FALSE(registrar.Register(FakeWindow()));  // the failed array stays
  EXPECT_EQ(api.calls.size(), 1u);
  registrar.Unregister();
  registrar.AddUsage(6);
  EXPECT_TRUE(registrar.Register(FakeWindow()));
}

TEST(RawInputRegistrar, UnregisterWithoutRegistrationOnlyEmptiesTheUsages) {
  FakeRawInput api;
  RawInputRegistrar registrar;
  registrar.AddUsage(2);
  registrar.Unregister();
  EXPECT_TRUE(api.calls.empty());
  EXPECT_TRUE(registrar.Usages().empty());
}

TEST(RawInputRegistrar, UsagesAddedWhileRegisteredDoNotOverrunTheRemoval) {
  FakeRawInput api;
  RawInputRegistrar registrar;
  registrar.AddUsage(6);
  ASSERT_TRUE(registrar.Register(FakeWindow()));
  registrar.AddUsage(2);  // a second user asks for the mouse too; its Register is refused
  EXPECT_FALSE(registrar.Register(FakeWindow()));
  registrar.Unregister();
  ASSERT_EQ(api.calls.size(), 2u);
  ASSERT_EQ(api.calls[1].devices.size(), 1u);
  EXPECT_EQ(api.calls[1].devices[0].usUsage, 6);
}

TEST(RawInputRegistrar, RealRegistrationUnderTheSystem) {
  HWND window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  RawInputRegistrar registrar;
  registrar.AddUsage(RawInputRegistrar::kUsageKeyboard);
  ASSERT_TRUE(registrar.Register(window));
  RAWINPUTDEVICE devices[4];
  UINT count = 4;
  ASSERT_EQ(::GetRegisteredRawInputDevices(devices, &count, sizeof(RAWINPUTDEVICE)), 1u);
  EXPECT_EQ(devices[0].usUsage, 6);
  EXPECT_EQ(devices[0].hwndTarget, window);
  registrar.Unregister();
  count = 4;
  EXPECT_EQ(::GetRegisteredRawInputDevices(devices, &count, sizeof(RAWINPUTDEVICE)), 0u);
  ::DestroyWindow(window);
}

std::vector<BYTE> MouseRecordBytes() {
  RAWINPUT input{};
  input.header.dwType = RIM_TYPEMOUSE;
  input.header.dwSize = offsetof(RAWINPUT, data) + sizeof(RAWMOUSE);
  input.data.mouse.usButtonFlags = RI_MOUSE_LEFT_BUTTON_DOWN;
  std::vector<BYTE> bytes(input.header.dwSize);
  std::memcpy(bytes.data(), &input, bytes.size());
  return bytes;
}

TEST(ReadRawInput, ReadsWholeRecordsAndRefusesBadSizes) {
  FakeRawInput api;
  device::RawInputRecord record;

  ASSERT_TRUE(device::ReadRawInput(api.AddKey(0x1E, RI_KEY_BREAK, 0x41), record));
  ASSERT_NE(record.Keyboard(), nullptr);
  EXPECT_EQ(record.Keyboard()->MakeCode, 0x1E);
  EXPECT_EQ(record.Keyboard()->Flags, RI_KEY_BREAK);
  EXPECT_EQ(record.Mouse(), nullptr);

  ASSERT_TRUE(device::ReadRawInput(api.Add(MouseRecordBytes()), record));
  ASSERT_NE(record.Mouse(), nullptr);
  EXPECT_EQ(record.Mouse()->usButtonFlags, RI_MOUSE_LEFT_BUTTON_DOWN);
  EXPECT_EQ(record.Keyboard(), nullptr);

  auto shortKeyboard = KeyboardRecordBytes(0x1E, 0, 0x41);
  shortKeyboard.resize(sizeof(RAWINPUTHEADER) + 4);
  reinterpret_cast<RAWINPUTHEADER*>(shortKeyboard.data())->dwSize = static_cast<DWORD>(shortKeyboard.size());
  auto lyingHeader = KeyboardRecordBytes(0x1E, 0, 0x41);
  reinterpret_cast<RAWINPUTHEADER*>(lyingHeader.data())->dwSize += 64;
  auto headerOnly = std::vector<BYTE>(sizeof(RAWINPUTHEADER) - 1, 0);
  struct Row {
    const char* what;
    LPARAM lParam;
    std::optional<UINT> reportedSize;
  } rows[] = {
      {"no such record", 0x77, std::nullopt},
      {"size 0", api.AddKey(0x1E, 0, 0x41), 0u},
      {"size below the header", api.AddKey(0x1E, 0, 0x41), UINT{sizeof(RAWINPUTHEADER) - 1}},
      {"keyboard record shorter than its structure", api.Add(shortKeyboard), std::nullopt},
      {"header disagrees with the read", api.Add(lyingHeader), std::nullopt},
      {"read below the header", api.Add(headerOnly), UINT{sizeof(RAWINPUTHEADER)}},
  };
  for (const Row& row : rows) {
    api.reportedSize = row.reportedSize;
    EXPECT_FALSE(device::ReadRawInput(row.lParam, record)) << row.what;
    EXPECT_EQ(record.Get(), nullptr) << row.what;
    EXPECT_EQ(record.Keyboard(), nullptr) << row.what;
  }
}

}  // namespace
